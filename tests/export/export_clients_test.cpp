// The exported scripts run by the real clients (Debian's mbpoll and pymodbus) against the
// simulator's Modbus/TCP server, in each of the four float byte orders: every value they read
// must be the value the map monitor reads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

#include "common/program_path.h"
#include "ctl.h"
#include "export/map_export.h"
#include "ft12_server.h"
#include "modbus_module_maps.h"
#include "modbus_server.h"
#include "sim_module.h"
#include "temp_dir.h"

namespace r770 {
namespace {

struct Proc {
  int code = -1;
  std::string out, err;
};

// A child process with its standard output captured (stderr goes to a file).
Proc Shell(const std::string& command, const std::string& errFile) {
  Proc r;
  FILE* p = ::popen((command + " 2>" + errFile).c_str(), "r");
  if (!p) return r;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
  const int status = ::pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.err = test::ReadFileBytes(errFile);
  return r;
}

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> out;
  std::stringstream in(text);
  for (std::string piece; std::getline(in, piece, sep);) out.push_back(piece);
  return out;
}

// "map address" -> value text.
using Values = std::map<std::string, std::string>;

class ExportClientsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OverrideProgramFolder(dir.path());  // the exchange log of the write goes here
    Proc db = Shell(std::string("'") + R770_DEMO_DB + "' '" + dir.File("db") + "'", dir.File("demo-db.err"));
    ASSERT_EQ(db.code, 0) << db.err;
    const std::string root = dir.File("db");
    settings = dir.File("r770cfg.ini");
    test::WriteFileBytes(settings, "[BaseL8]\r\nWay=" + root + "\r\nWayAlg=" + root +
                                       "/ALG\r\nWayMod=" + root + "/MOD\r\nWayTask=" + root + "/TASK\r\n");
    module = &bus.Add(0x01, 0x1101);
    sim::Ft12ServerOptions fo;
    fo.listen = "127.0.0.1";
    fo.port = 0;
    ft12 = std::make_unique<sim::Ft12Server>(bus, fo);
    std::string error;
    ASSERT_TRUE(ft12->Start(&error)) << error;
    doc = dir.File("demo.bmt");
    Proc r = Ctl({"demo-document", doc, "--db", root});
    ASSERT_EQ(r.code, 0) << r.err;
    r = Ctl({"write", doc, "--tcp", "127.0.0.1:" + std::to_string(ft12->Port()), "--net", "01", "--restart",
             "yes"});
    ASSERT_EQ(r.code, 0) << r.err;
  }
  void TearDown() override {
    ft12->Stop();
    OverrideProgramFolder("");
  }

  Proc Ctl(std::vector<std::string> args) {
    std::ostringstream out, err;
    ctl::Io io{out, err, settings};
    Proc r;
    r.code = ctl::Main(args, io);
    r.out = out.str();
    r.err = err.str();
    return r;
  }

  test::TempDir dir;
  sim::SimBus bus;
  sim::SimModule* module = nullptr;
  std::unique_ptr<sim::Ft12Server> ft12;
  std::string settings, doc;
};

// mbpoll prints a banner per command, its data type, then "[address]: \tvalue" lines.
Values ParseMbpoll(const std::string& out, WireOrder order) {
  Values values;
  std::string map;
  std::map<int, std::uint16_t> pending;  // registers of a hex read, by address
  auto flushHex = [&] {
    for (auto it = pending.begin(); it != pending.end(); ++it) {
      auto next = std::next(it);
      if (next == pending.end() || next->first != it->first + 1) break;
      const std::array<std::uint8_t, 4> wire{
          static_cast<std::uint8_t>(it->second >> 8), static_cast<std::uint8_t>(it->second),
          static_cast<std::uint8_t>(next->second >> 8), static_cast<std::uint8_t>(next->second)};
      values[map + " " + std::to_string(it->first)] = std::to_string(DecodeWireFloat(wire, order));
      it = next;
    }
    pending.clear();
  };
  for (const std::string& line : Split(out, '\n')) {
    if (line.rfind("Data type", 0) == 0) {
      flushHex();
      map = line.find("coil") != std::string::npos             ? "coils"
            : line.find("discrete input") != std::string::npos ? "di"
            : line.find("holding") != std::string::npos        ? "hr"
                                                               : "ir";
      continue;
    }
    if (line.empty() || line[0] != '[') continue;
    const std::size_t close = line.find("]:");
    const int address = std::stoi(line.substr(1, close - 1));
    std::string value = line.substr(close + 2);
    value.erase(0, value.find_first_not_of(" \t"));
    if (value.rfind("0x", 0) == 0) {
      pending[address] = static_cast<std::uint16_t>(std::stoul(value, nullptr, 16));
    } else {
      values[map + " " + std::to_string(address)] = value;
    }
  }
  flushHex();
  return values;
}

// pymodbus script and monitor lines: fields split by tabs; the map and address at `first`.
Values ParseColumns(const std::string& out, std::size_t first) {
  Values values;
  for (const std::string& line : Split(out, '\n')) {
    const auto f = Split(line, '\t');
    if (f.size() < first + 4) continue;
    values[f[first] + " " + f[first + 1]] = f[first + 3];
  }
  return values;
}

void ExpectSame(const Values& monitor, const Values& client, const std::string& what) {
  EXPECT_EQ(client.size(), monitor.size()) << what;
  for (const auto& [key, expected] : monitor) {
    auto it = client.find(key);
    ASSERT_NE(it, client.end()) << what << ": no value for " << key;
    const double a = std::stod(expected), b = std::stod(it->second);
    EXPECT_LE(std::fabs(a - b), 1e-4 + 1e-5 * std::fabs(a))
        << what << ", " << key << ": " << it->second << " <> " << expected;
  }
}

TEST_F(ExportClientsTest, MbpollAndPymodbusReadWhatTheMonitorReadsInEveryOrder) {
  for (WireOrder order : kAllWireOrders) {
    const std::string name = WireOrderName(order);
    SCOPED_TRACE(name);
    sim::ModbusServerOptions mo;
    mo.bindAddress = "127.0.0.1";
    mo.port = 0;
    mo.fixed = true;  // still values: every client reads the same
    mo.order = name;
    sim::ModbusServer server(mo, sim::SnapshotOf(*module));
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    const std::string port = std::to_string(server.Port());
    const std::vector<std::string> link{"--host", "127.0.0.1", "--port", port, "--order", name};

    auto with = [&](std::vector<std::string> args) {
      args.insert(args.end(), link.begin(), link.end());
      return args;
    };
    Proc r = Ctl(with({"monitor", doc, "--count", "1", "--all"}));
    ASSERT_EQ(r.code, 0) << r.err;
    const Values monitor = ParseColumns(r.out, 1);
    ASSERT_GT(monitor.size(), 40u) << r.out;
    for (const auto& [key, value] : monitor) {
      // The simulator's still values: the address + 0.25 (Holding), + 0.5 (Input Registers).
      const auto f = Split(key, ' ');
      const double address = std::stod(f[1]);
      if (f[0] == "hr") {
        EXPECT_EQ(std::stod(value), address + 0.25) << key;
      } else if (f[0] == "ir") {
        EXPECT_EQ(std::stod(value), address + 0.5) << key;
      }
    }

    // The same cycle for scripts: one JSON object per entry, then the summary.
    r = Ctl(with({"monitor", doc, "--count", "1", "--json"}));
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string jsonLines = dir.File("monitor-" + name + ".json");
    test::WriteFileBytes(jsonLines, r.out);
    Proc parsed = Shell(
        "/usr/bin/python3 -c 'import json,sys\n"
        "rows = [json.loads(l) for l in open(sys.argv[1])]\n"
        "for row in rows[:-1]: print(row[\"map\"], row[\"address\"], row[\"name\"], row[\"value\"], "
        "sep=\"\\t\")\n"
        "print(rows[-1][\"summary\"][\"entries\"])' '" +
            jsonLines + "'",
        dir.File("json.err"));
    ASSERT_EQ(parsed.code, 0) << parsed.err << r.out;
    EXPECT_EQ(parsed.out.substr(parsed.out.rfind('\n', parsed.out.size() - 2) + 1),
              std::to_string(monitor.size()) + "\n");
    ExpectSame(monitor, ParseColumns(parsed.out, 0), "monitor --json " + name);

    const std::string script = dir.File("map-" + name + ".sh");
    r = Ctl(with({"export", doc, "--format", "mbpoll", "-o", script}));
    ASSERT_EQ(r.code, 0) << r.err;
    Proc mb = Shell("sh '" + script + "'", dir.File("mbpoll.err"));
    ASSERT_EQ(mb.code, 0) << mb.out << mb.err;
    ExpectSame(monitor, ParseMbpoll(mb.out, order), "mbpoll " + name);

    const std::string py = dir.File("map-" + name + ".py");
    r = Ctl(with({"export", doc, "--format", "pymodbus", "-o", py}));
    ASSERT_EQ(r.code, 0) << r.err;
    Proc pm = Shell("/usr/bin/python3 '" + py + "'", dir.File("pymodbus.err"));
    ASSERT_EQ(pm.code, 0) << pm.out << pm.err;
    ExpectSame(monitor, ParseColumns(pm.out, 0), "pymodbus " + name);
    server.Stop();
  }
}

}  // namespace
}  // namespace r770
