// The test client against the simulator's Modbus/TCP server over loopback, checked against
// libmodbus's own client; and the whole road from a configuration written with the module
// commands to the values the test client reads.
#include <gtest/gtest.h>
#include <modbus.h>

#include <cerrno>
#include <functional>
#include <memory>

#include "common/clock.h"
#include "common/day_log.h"
#include "fake_dialogs.h"
#include "ft12_server.h"
#include "link/link_types.h"
#include "link/module_commands.h"
#include "modbus_module_maps.h"
#include "modbus_server.h"
#include "modbus_test/command_test_link.h"
#include "modbus_test/modbus_frames.h"
#include "modbus_test/modbus_read_form.h"
#include "sim_module.h"
#include "temp_dir.h"

namespace r770 {
namespace {

using sim::ModbusMapEntry;
using sim::ModbusMaps;
using sim::ModbusServer;
using sim::ModbusServerOptions;
using test::FakeBusy;
using test::FakeDialogs;
using test::ReadFileBytes;
using test::TempDir;

// A libmodbus client on the server's port.
struct LibClient {
  modbus_t* ctx;
  explicit LibClient(int port) : ctx(modbus_new_tcp("127.0.0.1", port)) {
    modbus_set_response_timeout(ctx, 0, 300000);
    connected = modbus_connect(ctx) == 0;
  }
  ~LibClient() {
    modbus_close(ctx);
    modbus_free(ctx);
  }
  bool connected = false;
};

// The reading window's model on a real test link, logging into a temporary folder.
struct TestClient {
  TempDir dir;
  DayLog log{SystemClock(), dir.path()};
  ProgramSettings settings;
  FakeDialogs dialogs;
  FakeBusy busy;
  CommandTestLink link;
  ModbusReadForm form{settings, dialogs, busy, link, log};

  explicit TestClient(int port) {
    settings.IP_AdrTest = "127.0.0.1";
    settings.PortTcpTest = static_cast<std::uint16_t>(port);
    settings.TimeAnswerTest = 1;
  }
  ~TestClient() { form.RequestClose(); }
  const std::vector<ModbusReadRow>& Read(const std::string& registers) {
    form.registersText = registers;
    form.Read();
    return form.Rows();
  }
};

ModbusMaps FixtureMaps() {
  ModbusMaps m;
  m[sim::kMapHoldingRegisters] = {{1, 0x10, 100}, {2, 0x11, 102}, {255, 0x12, 200}, {3, 0x13, 7},
                                  {4, 0x14, 300}, {5, 0x15, 400}, {6, 0x16, 40000}};
  m[sim::kMapInputRegisters] = {{1, 0x20, 10}, {1, 0x21, 11}};
  m[sim::kMapCoils] = {{1, 0x30, 5}, {1, 0x31, 6}};
  m[sim::kMapDiscreteInputs] = {{1, 0x40, 7}, {1, 0x41, 8}, {255, 0x42, 9}};
  return m;
}

struct ServerFixture : ::testing::Test {
  std::unique_ptr<ModbusServer> server;
  void SetUp() override {
    ModbusServerOptions o;
    o.port = 0;
    o.fixed = true;
    o.exceptions = {{300, 4}, {400, 15}};
    o.silent = {500};
    server = std::make_unique<ModbusServer>(o, [] { return FixtureMaps(); });
    std::string error;
    ASSERT_TRUE(server->Start(error)) << error;
  }
};

std::string ExpectedText(std::uint16_t address) {
  return FormatTestFloat(sim::SimulatedFloat(address, 0), ",");
}

TEST_F(ServerFixture, TestClientAndLibmodbusAgreeOnEveryHoldingRegister) {
  LibClient lib(server->Port());
  ASSERT_TRUE(lib.connected);
  TestClient client(server->Port());
  const std::uint16_t addresses[] = {100, 102, 7, 40000};
  const auto& rows = client.Read("100,102,7,40000");
  ASSERT_EQ(rows.size(), 5u);
  for (std::size_t i = 0; i < 4; ++i) {
    std::uint16_t regs[2];
    ASSERT_EQ(modbus_read_registers(lib.ctx, addresses[i], 2, regs), 2) << addresses[i];
    // Low word first, each register high byte first.
    std::string libText = FormatTestFloat(modbus_get_float_cdab(regs), ",");
    EXPECT_EQ(libText, ExpectedText(addresses[i]));
    EXPECT_EQ(rows[i].value, libText) << addresses[i];
    EXPECT_EQ(rows[i].note, "");
  }
  EXPECT_EQ(rows[0].value, "100,2500");
  EXPECT_EQ(rows[3].value, "40000,2500");
  EXPECT_TRUE(client.dialogs.shown.empty());
  // The traffic went to the day's log.
  std::string log = ReadFileBytes(client.log.CurrentPath());
  EXPECT_NE(log.find(">> 00 00 00 00 00 06 01 03 00 64 00 02"), std::string::npos) << log;
  EXPECT_NE(log.find("<< 00 00 00 00 00 07 01 03 04"), std::string::npos) << log;
}

TEST_F(ServerFixture, ExceptionsReachTheTestClient) {
  TestClient client(server->Port());
  const auto& rows = client.Read("200,101,300,400,65535");
  ASSERT_EQ(rows.size(), 6u);
  const char* address = "Неверный адрес данных или нет ответа от Slave устройства (код ошибки 2)";
  EXPECT_EQ(rows[0].note, address);  // an empty entry publishes nothing
  // 101..102 is the high half of one value and the low half of the next: no error.
  EXPECT_EQ(rows[1].note, "");
  EXPECT_EQ(rows[2].note, "Неверная длина ответа (код ошибки 4)");                    // exception 4
  EXPECT_EQ(rows[3].note, "Выбранный шлюз выдал ошибку при ответе (код ошибки 11)");  // 15
  EXPECT_EQ(rows[4].note, address);  // 65535..65536 runs off the address space
  // Every exception was asked twice.
  EXPECT_EQ(server->Answered(), 2 * 4 + 1);
}

TEST_F(ServerFixture, OtherTablesAndRefusalsThroughLibmodbus) {
  LibClient lib(server->Port());
  ASSERT_TRUE(lib.connected);
  std::uint16_t words[2];
  // Input Registers carry float pairs in the order of the Holding Registers.
  ASSERT_EQ(modbus_read_input_registers(lib.ctx, 10, 2, words), 2);
  EXPECT_EQ(modbus_get_float_cdab(words), sim::SimulatedRamp(10, 0));
  EXPECT_EQ(modbus_get_float_cdab(words), 10.5f);
  std::uint8_t bits[3];
  ASSERT_EQ(modbus_read_bits(lib.ctx, 5, 2, bits), 2);
  EXPECT_EQ(bits[0], 1);
  EXPECT_EQ(bits[1], 0);
  ASSERT_EQ(modbus_read_input_bits(lib.ctx, 7, 2, bits), 2);
  EXPECT_EQ(bits[0], 1);
  EXPECT_EQ(bits[1], 0);

  struct Refusal {
    const char* what;
    std::function<int()> call;
    int error;
  } refusals[] = {
      {"input bit of an empty entry", [&] { return modbus_read_input_bits(lib.ctx, 9, 1, bits); }, EMBXILADD},
      {"coils beyond the map", [&] { return modbus_read_bits(lib.ctx, 5, 3, bits); }, EMBXILADD},
      {"holding range over a gap", [&] { return modbus_read_registers(lib.ctx, 102, 4, words); }, EMBXILADD},
      {"write", [&] { return modbus_write_register(lib.ctx, 100, 1); }, EMBXILFUN},
      {"coil write outside the map", [&] { return modbus_write_bit(lib.ctx, 7, 1); }, EMBXILADD},
      {"chosen exception", [&] { return modbus_read_registers(lib.ctx, 299, 2, words); }, EMBXSFAIL},
      {"silent address", [&] { return modbus_read_registers(lib.ctx, 500, 1, words); }, ETIMEDOUT},
  };
  for (const auto& r : refusals) {
    errno = 0;
    EXPECT_EQ(r.call(), -1) << r.what;
    EXPECT_EQ(errno, r.error) << r.what << ": " << modbus_strerror(errno);
  }
}

TEST_F(ServerFixture, CoilWritesChangeTheCoil) {
  LibClient lib(server->Port());
  ASSERT_TRUE(lib.connected);
  std::uint8_t bits[2];
  ASSERT_EQ(modbus_read_bits(lib.ctx, 5, 2, bits), 2);
  EXPECT_EQ(bits[0], 1);
  EXPECT_EQ(server->WrittenCoil(5), std::nullopt);
  ASSERT_EQ(modbus_write_bit(lib.ctx, 5, 0), 1);
  ASSERT_EQ(modbus_write_bit(lib.ctx, 6, 1), 1);
  EXPECT_EQ(server->WrittenCoil(5), std::optional<bool>(false));
  ASSERT_EQ(modbus_read_bits(lib.ctx, 5, 2, bits), 2);
  EXPECT_EQ(bits[0], 0);
  EXPECT_EQ(bits[1], 1);
  // A value other than FF00 or 0000 is refused and changes nothing.
  const std::uint8_t raw[] = {1, 5, 0, 6, 0x12, 0x34};  // unit and PDU; libmodbus adds the header
  std::uint8_t answer[MODBUS_TCP_MAX_ADU_LENGTH];
  ASSERT_EQ(modbus_send_raw_request(lib.ctx, raw, 6), 12);
  ASSERT_EQ(modbus_receive_confirmation(lib.ctx, answer), 9);
  EXPECT_EQ(answer[7], 0x85);
  EXPECT_EQ(answer[8], MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE);
  EXPECT_EQ(server->WrittenCoil(6), std::optional<bool>(true));
}

TEST(ModbusSimValues, DeterministicSlowMeasurements) {
  // Each address swings by 5 around address + 0.25 with a period of 60 + address % 17 seconds:
  // at a quarter period it stands 5 above, at three quarters 5 below.
  const struct {
    std::uint16_t a;
    double period;
  } swings[] = {{0, 60}, {7, 67}, {100, 75}, {65534, 76}};
  for (const auto& [a, period] : swings) {
    EXPECT_EQ(sim::SimulatedFloat(a, 0), static_cast<float>(a + 0.25)) << a;
    EXPECT_EQ(sim::SimulatedFloat(a, period / 4), static_cast<float>(a + 5.25)) << a;
    EXPECT_EQ(sim::SimulatedFloat(a, 3 * period / 4), static_cast<float>(a - 4.75)) << a;
    EXPECT_EQ(sim::SimulatedFloat(a, period), sim::SimulatedFloat(a, 0)) << a;
    EXPECT_NE(sim::SimulatedFloat(a, 10), sim::SimulatedFloat(a, 0));
    for (double t : {1.0, 15.0, 33.3, 1000.0})
      EXPECT_LE(std::abs(sim::SimulatedFloat(a, t) - (a + 0.25)), 5.01) << a << " " << t;
  }
  EXPECT_EQ(sim::SimulatedRamp(10, 0), 10.5f);
  EXPECT_EQ(sim::SimulatedRamp(10, 30), 13.5f);
  EXPECT_EQ(sim::SimulatedRamp(10, 1000), 10.5f);  // the ramp starts again
  EXPECT_TRUE(sim::SimulatedBit(7, 0));
  EXPECT_FALSE(sim::SimulatedBit(7, 5));
}

TEST(ModbusSimOptions, CommandLine) {
  std::vector<std::string> args = {"--port",
                                   "0",
                                   "--modbus-port",
                                   "1502",
                                   "--modbus-fixed",
                                   "--modbus-exception",
                                   "100:2",
                                   "--modbus-silent",
                                   "0x20",
                                   "--modbus-net",
                                   "1A",
                                   "--modbus-listen",
                                   "0.0.0.0",
                                   "--silent"};
  ModbusServerOptions o;
  bool enabled = false;
  EXPECT_EQ(sim::ExtractModbusOptions(args, o, enabled), "");
  EXPECT_EQ(args, (std::vector<std::string>{"--port", "0", "--silent"}));  // the others stay
  EXPECT_TRUE(enabled);
  EXPECT_EQ(o.port, 1502);
  EXPECT_TRUE(o.fixed);
  EXPECT_EQ(o.exceptions, (std::map<std::uint16_t, std::uint8_t>{{100, 2}}));
  EXPECT_EQ(o.silent, (std::set<std::uint16_t>{0x20}));
  EXPECT_EQ(o.net, std::optional<std::uint8_t>(0x1A));
  EXPECT_EQ(o.bindAddress, "0.0.0.0");

  struct Bad {
    std::vector<std::string> args;
    std::string message;
  } bad[] = {
      {{"--modbus-port", "70000"}, "неверный порт для --modbus-port: \"70000\""},
      {{"--modbus-port"}, "параметру --modbus-port нужно значение"},
      {{"--modbus-exception", "100"}, "для --modbus-exception нужно АДРЕС:КОД, получено \"100\""},
      {{"--modbus-exception", "100:256"}, "для --modbus-exception нужно АДРЕС:КОД, получено \"100:256\""},
      {{"--modbus-silent", "-1"}, "неверный адрес для --modbus-silent: \"-1\""},
      {{"--modbus-net", "100"}, "неверный сетевой номер для --modbus-net: \"100\""},
      {{"--modbus-order", "XYZW"}, "для --modbus-order нужно ABCD, CDAB, BADC или DCBA, получено \"XYZW\""},
      // An unknown --modbus- option takes its value before it is refused.
      {{"--modbus-what", "1"}, "неизвестный параметр --modbus-what (см. --help)"},
      {{"--modbus-what"}, "параметру --modbus-what нужно значение"},
  };
  for (const Bad& b : bad) {
    std::vector<std::string> args = b.args;
    bool en = false;
    ModbusServerOptions x;
    EXPECT_EQ(sim::ExtractModbusOptions(args, x, en), b.message) << b.args[0];
    EXPECT_FALSE(en) << b.args[0];
    EXPECT_EQ(args, b.args) << "a refused line stays as it was";
  }
}

// End to end: the configuration's Holding Registers map written into the simulated module
// with the module commands over its FT1.2 front-end, then read by the test client from the
// module's Modbus/TCP server.
TEST(ModbusSimEndToEnd, WrittenMapIsPublished) {
  sim::SimBus bus;
  sim::SimModule& module = bus.Add(0x05, 0x1101);
  sim::Ft12ServerOptions ft12;
  ft12.port = 0;
  sim::Ft12Server ft12Server(bus, ft12);
  std::string error;
  ASSERT_TRUE(ft12Server.Start(&error)) << error;
  ModbusServerOptions mo;
  mo.port = 0;
  mo.fixed = true;
  ModbusServer modbus(mo, sim::SnapshotOf(module));
  ASSERT_TRUE(modbus.Start(error)) << error;

  TTCPLink link;
  link.Host = "127.0.0.1";
  link.Port = ft12Server.Port();
  link.TimeoutSec = 1;
  link.Retries = 1;
  std::string text;
  ASSERT_TRUE(OpenLink(
      link, &text, [](void*, const std::string&, int) {}, nullptr))
      << text;
  ASSERT_TRUE(LoginModule(0x05, 2, &text)) << text;
  // Entries 0 and 1 of the Holding Registers map (k = 3): controllers 1 and 2, parameters
  // 0x0101 and 0x0102, Modbus addresses 1000 and 1010.
  struct Element {
    std::uint16_t param;
    std::uint16_t index;
    std::vector<std::uint8_t> bytes;
  };
  const Element elements[] = {
      {0x307, 0, {0x01, 0x01}}, {0x307, 1, {0x02, 0x01}}, {0x303, 0, {0x01}},
      {0x303, 1, {0x02}},       {0x30B, 0, {0xE8, 0x03}}, {0x30B, 1, {0xF2, 0x03}},
  };
  for (const auto& e : elements)
    ASSERT_EQ(WriteModuleElement(0x05, e.param, e.bytes, e.index == 0, e.index, &text), 0)
        << std::hex << e.param << " " << text;
  CloseLink();

  TestClient client(modbus.Port());
  const auto& rows = client.Read("1000,1010,1002");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (ModbusReadRow{"1", "1000", "1000,2500", ""}));
  EXPECT_EQ(rows[1], (ModbusReadRow{"2", "1010", "1010,2500", ""}));
  EXPECT_EQ(rows[2].note, "Неверный адрес данных или нет ответа от Slave устройства (код ошибки 2)");
}

}  // namespace
}  // namespace r770
