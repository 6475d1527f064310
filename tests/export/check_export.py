#!/usr/bin/python3
"""Reads an exported map with the parser of its format and checks it against the entries the
test placed: check_export.py FORMAT ORDER UNIT HOST PORT EXPECT PATH
EXPECT: one line per entry, "map address row name-in-hex". Prints what is wrong; exit 1."""
import csv
import glob
import json
import os
import re
import sys
import tomllib
import xml.etree.ElementTree as ET

import yaml

fmt, order, unit, host, port, expect_path, path = sys.argv[1:8]
unit, port = int(unit), int(port)
errors = []


def check(condition, message):
    if not condition:
        errors.append(message)


entries = []
with open(expect_path, encoding="utf-8") as f:
    for line in f:
        kind, address, row, name = line.split()
        entries.append((kind, int(address), int(row), bytes.fromhex(name).decode("utf-8")))
bits = {"coils", "di"}


def expected(kinds):
    return sorted((k, a, n) for k, a, _, n in entries if k in kinds)


def unique(names, what):
    check(len(names) == len(set(names)), "%s: names repeat: %r" % (what, names))


if fmt == "json":
    doc = json.load(open(path, encoding="utf-8"))
    check(doc["schema"] == "r770ctl-tags/1", "schema")
    check(doc["link"] == {"host": host, "port": port, "unit": unit, "order": order, "timeoutSec": 1}, "link %r" % doc["link"])
    got = []
    for t in doc["tags"]:
        k, a = t["map"], t["address"]
        got.append((k, a, t["name"]))
        check(t["oneBased"] == a + 1, "oneBased %r" % t)
        prefix = {"coils": "0", "di": "1", "hr": "4", "ir": "3"}[k]
        check(t["modicon"] == "%s%05d" % (prefix, a + 1), "modicon %r" % t)
        check(t["function"] == {"coils": 1, "di": 2, "hr": 3, "ir": 4}[k], "function %r" % t)
        check(t["type"] == ("bool" if k in bits else "float32"), "type %r" % t)
        check(t["order"] == (None if k in bits else order), "order %r" % t)
        check(t["access"] == ("RW" if k == "coils" else "R"), "access %r" % t)
    check(sorted(got) == expected(bits | {"hr", "ir"}), "tags %r" % got)
    unique([t["label"] for t in doc["tags"]], "labels")

elif fmt == "homeassistant":
    text = open(path, encoding="utf-8").read()
    doc = yaml.safe_load(text)
    hubs = doc["modbus"]
    check(len(hubs) == 1, "one hub")
    hub = hubs[0]
    check(hub["type"] == "tcp" and hub["host"] == host and hub["port"] == port, "hub %r" % hub)
    swap = {"ABCD": None, "CDAB": "word", "BADC": "byte", "DCBA": "word_byte"}[order]
    got = []
    for section, types in (("sensors", {"holding": "hr", "input": "ir"}),
                           ("binary_sensors", {"coil": "coils", "discrete_input": "di"})):
        items = hub.get(section, [])
        unique([s["name"] for s in items], section)
        for s in items:
            k = types[s["input_type"]]
            check(s.get("slave", s.get("device_address")) == unit, "unit %r" % s)
            if section == "sensors":
                check(s["data_type"] == "float32", "data_type %r" % s)
                check("count" not in s, "count with float32 %r" % s)
                check(s.get("swap") == swap, "swap %r" % s)
            got.append((k, s["address"], s["name"]))
    unique([s["unique_id"] for sec in ("sensors", "binary_sensors") for s in hub.get(sec, [])], "unique_id")
    check("swap: none" not in text, "swap: none")
    for k, a, n in expected(bits | {"hr", "ir"}):
        check(any(g[0] == k and g[1] == a and n in g[2] for g in got), "missing %r" % ((k, a, n),))
    check(len(got) == len(entries), "count %d" % len(got))

elif fmt == "telegraf":
    doc = tomllib.load(open(path, "rb"))
    plugins = doc["inputs"]["modbus"]
    check(len(plugins) == 1, "one plugin")
    p = plugins[0]
    check(p["controller"] == "tcp://%s:%d" % (host, port) and p["slave_id"] == unit, "link %r" % p)
    check(p.get("configuration_type", "register") == "register", "style")
    names = []
    got = []
    for key, k in (("coils", "coils"), ("discrete_inputs", "di"), ("holding_registers", "hr"), ("input_registers", "ir")):
        for f in p.get(key, []):
            names.append(f["name"])
            if k in bits:
                check(len(f["address"]) == 1, "bit address %r" % f)
            else:
                check(f["data_type"] == "FLOAT32-IEEE", "data_type %r" % f)
                check(f["byte_order"] == order, "byte_order %r" % f)
                check(f["address"] == [f["address"][0], f["address"][0] + 1], "address pair %r" % f)
            got.append((k, f["address"][0], f["name"]))
    unique(names, "fields")
    for k, a, n in expected(bits | {"hr", "ir"}):
        check(any(g[0] == k and g[1] == a and n in g[2] for g in got), "missing %r" % ((k, a, n),))

elif fmt == "modbusscope":
    root = ET.parse(path).getroot()
    check(root.tag == "modbusscope" and root.get("datalevel") == "5", "root")
    c = root.find("modbus/connection")
    check(c.findtext("type") == "tcp" and c.findtext("ip") == host and int(c.findtext("port")) == port, "connection")
    d = root.find("modbus/device")
    check(int(d.findtext("slaveid")) == unit and d.findtext("connectionid") == c.findtext("connectionid"), "device")
    check(d.findtext("int32littleendian") == ("true" if order == "CDAB" else "false"), "endianness")
    got = []
    for r in root.findall("scope/register"):
        m = re.fullmatch(r"\$\{([cdhi])(\d+)@" + d.findtext("deviceid") + r"(:f32b)?\}", r.findtext("expression"))
        check(m is not None, "expression %r" % r.findtext("expression"))
        if m:
            k = {"c": "coils", "d": "di", "h": "hr", "i": "ir"}[m.group(1)]
            check((m.group(3) is None) == (k in bits), "type %r" % r.findtext("expression"))
            got.append((k, int(m.group(2)), r.findtext("text")))
    for k, a, n in expected(bits | {"hr", "ir"}):
        check(any(g[0] == k and g[1] == a and n in g[2] for g in got), "missing %r" % ((k, a, n),))
    check(len(got) == len(entries), "count")

elif fmt == "modbustools":
    project = ET.parse(os.path.join(path, "r770.pjc")).getroot()
    p = project.find("ports/port")
    check(p.findtext("type") == "TCP" and p.findtext("host") == host and int(p.findtext("port")) == port, "port")
    d = project.find("devices/device")
    check(d.findtext("portName") == p.findtext("name") and int(d.findtext("unit")) == unit, "device")
    orders = {("LessSignifiedFirst", "MostSignifiedFirst"): "ABCD", ("LessSignifiedFirst", "LessSignifiedFirst"): "CDAB",
              ("MostSignifiedFirst", "MostSignifiedFirst"): "BADC", ("MostSignifiedFirst", "LessSignifiedFirst"): "DCBA"}
    prefixes = {"0": "coils", "1": "di", "4": "hr", "3": "ir"}
    for source in ("pjc", "csv"):
        got = []
        if source == "csv":
            with open(os.path.join(path, "r770-dataview.csv"), encoding="utf-8", newline="") as f:
                rows = list(csv.reader(f, delimiter=";"))
            check(rows[0][:3] == ["device", "address", "format"], "header %r" % rows[0])
            items = [dict(zip(rows[0], r)) for r in rows[1:]]
        else:
            items = [{e.tag: e.text for e in item} for item in project.findall("dataviews/dataview/item")]
        for it in items:
            check(it["device"] == d.findtext("name"), "%s device %r" % (source, it["device"]))
            check(re.fullmatch(r"[0134]\d{5}", it["address"]) is not None, "address %r" % it["address"])
            k = prefixes[it["address"][0]]
            check(it["format"] == ("Bool" if k in bits else "Float"), "format %r" % it)
            if k not in bits:
                check(orders.get((it["byteOrder"], it["registerOrder"])) == order, "order %r" % it)
            got.append((k, int(it["address"][1:]) - 1, it["comment"]))
        for k, a, n in expected(bits | {"hr", "ir"}):
            check(any(g[0] == k and g[1] == a and n in g[2] for g in got), "%s missing %r" % (source, (k, a, n)))
        check(len(got) == len(entries), "%s count" % source)

elif fmt == "openmodscan":
    types = {"Coils": "coils", "DiscreteInputs": "di", "HoldingRegisters": "hr", "InputRegisters": "ir"}
    got = []
    titles = []
    for name in sorted(glob.glob(os.path.join(path, "*.xml"))):
        root = ET.parse(name).getroot()
        check(root.tag == "FormModScan", "root " + name)
        dd = root.find("DisplayDefinition")
        titles.append(dd.get("FormName"))
        check(dd.get("ZeroBasedAddress") == "true" and int(dd.get("DeviceId")) == unit, "definition " + name)
        k = types[dd.get("PointType")]
        start, length = int(dd.get("PointAddress")), int(dd.get("Length"))
        check(1 <= length <= 125, "length " + name)
        if k not in bits:
            mode = {"ABCD": ("FloatingPt", "Direct"), "CDAB": ("SwappedFP", "Direct"),
                    "BADC": ("FloatingPt", "Swapped"), "DCBA": ("SwappedFP", "Swapped")}[order]
            check((root.get("DataDisplayMode"), root.get("ByteOrder")) == mode, "mode " + name)
        for desc in root.findall("AddressDescriptionMap/Description"):
            a = int(desc.get("Address"))
            check(start <= a < start + length, "address outside the window " + name)
            if k not in bits:
                check((a - start) % 2 == 0, "float pair off the window's pairs " + name)
            got.append((k, a, desc.text))
    unique(titles, "window titles")
    check(sorted(got) == sorted((k, a, n) for k, a, _, n in entries if True), "descriptions %r" % got)

elif fmt == "mbpoll":
    check(os.system("sh -n '%s'" % path) == 0, "shell syntax")
    text = open(path, encoding="utf-8").read()
    for k, a, _, n in entries:
        check(n.replace("\t", "\\x09") in text, "name %r" % n)

elif fmt == "pymodbus":
    import py_compile
    py_compile.compile(path, doraise=True)

for e in errors:
    print(e)
sys.exit(1 if errors else 0)
