// A Python 3 script on pymodbus that reads every entry and prints map, address, name and
// value, tab-separated. Floats are put together with struct in the chosen order, without
// pymodbus' own payload decoder (its defaults changed between versions); the unit keyword is
// found from the client's signature ("slave" up to 3.9, "device_id" after).
#include <sstream>

#include "export/export_formats.h"
#include "export/export_text.h"

namespace r770::exporting {
namespace {

constexpr int kMaxBits = 2000;
constexpr int kMaxFloats = 62;

constexpr const char* kBody = R"PY(

def decode_float(first, second):
    """The float of two registers whose bytes travel in the order ORDER."""
    wire = struct.pack(">HH", first, second)
    value = bytes(wire[ORDER.index(letter)] for letter in "ABCD")
    return struct.unpack(">f", value)[0]


def float_text(value):
    """The shortest text that reads back as the same single-precision value."""
    for digits in range(6, 10):
        text = "%.*g" % (digits, value)
        if struct.unpack(">f", struct.pack(">f", float(text)))[0] == value:
            return text
    return repr(value)


def main():
    client = ModbusTcpClient(HOST, port=PORT, timeout=TIMEOUT)
    if not client.connect():
        print("нет соединения с %s:%d" % (HOST, PORT), file=sys.stderr)
        return 1
    params = inspect.signature(client.read_coils).parameters
    unit = {("device_id" if "device_id" in params else "slave"): UNIT}
    readers = {1: client.read_coils, 2: client.read_discrete_inputs,
               3: client.read_holding_registers, 4: client.read_input_registers}
    status = 0
    for key, function, start, entries in BLOCKS:
        count = len(entries) if function <= 2 else 2 * len(entries)
        try:
            answer = readers[function](start, count=count, **unit)
            failed = answer.isError()
        except Exception as error:  # no answer, connection lost
            answer, failed = error, True
        for i, (address, name) in enumerate(entries):
            if failed:
                print("%s\t%d\t%s\t-\t%s" % (key, address, name, answer))
                status = 1
            elif function <= 2:
                print("%s\t%d\t%s\t%d" % (key, address, name, 1 if answer.bits[i] else 0))
            else:
                regs = answer.registers
                value = decode_float(regs[2 * i], regs[2 * i + 1])
                print("%s\t%d\t%s\t%s" % (key, address, name, float_text(value)))
    client.close()
    return status


if __name__ == "__main__":
    sys.exit(main())
)PY";

}  // namespace

ExportResult ExportPymodbus(const ExportInput& in) {
  std::ostringstream out;
  out << "#!/usr/bin/env python3\n";
  out << "# pymodbus: чтение карт регистров " << kModuleTitle;
  if (!in.documentName.empty()) out << " (документ " << OneLine(in.documentName) << ")";
  out << ".\n";
  out << "# Выводит по строке на запись: карта, адрес, параметр, значение (через табуляцию).\n";
  out << "# Для pymodbus 3.0 (Debian 12) и новее.\n";
  out << "import inspect\nimport struct\nimport sys\n\n";
  // Debian's pymodbus 3.0 loads its serial client with the package: without
  // python3-serial-asyncio (only recommended) the import fails.
  out << "try:\n    from pymodbus.client import ModbusTcpClient\nexcept ImportError as error:\n"
         "    sys.exit(\"pymodbus не загружается (%s); в Debian нужен и пакет python3-serial-asyncio\" % "
         "error)\n\n";
  out << "HOST = " << PythonString(in.link.host) << "\n";
  out << "PORT = " << in.link.port << "\n";
  out << "UNIT = " << int(in.link.unit) << "\n";
  out << "TIMEOUT = " << in.link.timeoutSec << "\n";
  out << "# Порядок байт чисел с плавающей запятой: A - старший байт, буквы в порядке передачи.\n";
  out << "ORDER = \"" << WireOrderName(in.link.order) << "\"\n\n";
  out << "# (карта, функция, первый адрес, [(адрес, параметр), ...]): одно чтение на блок\n";
  out << "BLOCKS = [\n";
  for (const TagBlock& b : ContiguousBlocks(in.tags, kMaxBits, kMaxFloats)) {
    out << "    (\"" << MapKey(b.kind) << "\", " << MapReadFunction(b.kind) << ", " << b.start << ", [\n";
    for (std::size_t index : b.tags) {
      const ExportTag& t = in.tags[index];
      out << "        (" << t.address << ", " << PythonString(t.name) << "),\n";
    }
    out << "    ]),\n";
  }
  out << "]\n" << kBody;
  return OneFile(out.str());
}

}  // namespace r770::exporting
