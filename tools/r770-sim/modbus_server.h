// The simulator's Modbus/TCP server: publishes what the register maps written into the
// simulated module promise. Built on libmodbus; runs on its own thread and reads the maps
// through a snapshot function that must be safe to call from that thread.
//
//   Holding Registers (map 3): a 32-bit float over two registers from the entry's address,
//     low word first, each register high byte first (CDAB; --modbus-order sets another);
//     a measurement swinging slowly.
//   Input Registers (map 2): a float pair laid out the same way; a slow ramp.
//   Coils (map 1) and Discrete Inputs (map 0): one bit at the entry's address, toggling.
//     A coil written with function 5 keeps the written value.
// Entries whose controller is 255 are empty. An address no entry maps answers exception 2;
// other functions answer exception 1.
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace r770::sim {

// One entry of a register map as the module holds it (arrays 0x300+k, 0x304+k, 0x308+k).
struct ModbusMapEntry {
  std::uint8_t controller = 0xFF;
  std::uint16_t parameter = 0xFFFF;
  std::uint16_t address = 0xFFFF;
};

// The four maps by the module's map number k: 0 Discrete Inputs, 1 Coils, 2 Input Registers,
// 3 Holding Registers.
using ModbusMaps = std::array<std::vector<ModbusMapEntry>, 4>;
inline constexpr int kMapDiscreteInputs = 0;
inline constexpr int kMapCoils = 1;
inline constexpr int kMapInputRegisters = 2;
inline constexpr int kMapHoldingRegisters = 3;

struct ModbusServerOptions {
  std::string bindAddress;                           // empty: the FT1.2 front-end's address
  int port = 502;                                    // 0: any free port (see ModbusServer::Port)
  std::optional<std::uint8_t> net;                   // module to publish; none: the first on the bus
  bool fixed = false;                                // values frozen at their time-0 form
  std::map<std::uint16_t, std::uint8_t> exceptions;  // address -> exception code to answer
  std::set<std::uint16_t> silent;                    // addresses whose requests get no answer
  // Byte order of the floats on the wire: the value's bytes A (most significant) .. D in the
  // order they travel, first register first.
  std::string order = "CDAB";
};

// Takes the Modbus options out of the command line arguments ("--modbus-port N",
// "--modbus-listen ADDR", "--modbus-net NN", "--modbus-fixed", "--modbus-exception ADDR:CODE",
// "--modbus-silent ADDR", "--modbus-order ABCD|CDAB|BADC|DCBA"; numbers decimal or 0x-hexadecimal, the
// network number hexadecimal), leaving the others. enabled becomes true with --modbus-port. Empty on success,
// else a message.
std::string ExtractModbusOptions(std::vector<std::string>& args, ModbusServerOptions& options, bool& enabled);
// Help lines of the Modbus options.
const char* ModbusHelpText();

// The simulated measurement of a Holding Registers entry at `address`, `seconds` after the
// server started: address + 0.25 at time 0, then a slow swing of at most ±5.
float SimulatedFloat(std::uint16_t address, double seconds);
// The measurement of an Input Registers entry: address + 0.5 at time 0, rising by 0.1 per
// second and starting again every 1000 seconds.
float SimulatedRamp(std::uint16_t address, double seconds);
// The bit of a Coils or Discrete Inputs entry: odd addresses 1 at time 0, flipping every 5 s.
bool SimulatedBit(std::uint16_t address, double seconds);

class ModbusServer {
 public:
  using SnapshotFn = std::function<ModbusMaps()>;

  ModbusServer(ModbusServerOptions options, SnapshotFn snapshot);
  ~ModbusServer();
  ModbusServer(const ModbusServer&) = delete;
  ModbusServer& operator=(const ModbusServer&) = delete;

  // Binds, listens and starts the serving thread. False with error set when it cannot.
  bool Start(std::string& error);
  // Stops the thread and closes every connection.
  void Stop();
  // The port listened on (the chosen one when options.port was 0).
  int Port() const { return port_; }
  // Requests answered so far (exceptions included, silent ones not).
  int Answered() const { return answered_.load(); }
  // The value last written into the coil at `address` with function 5, if any.
  std::optional<bool> WrittenCoil(std::uint16_t address) const;

 private:
  void Run();
  // Answers one request (context: the thread's libmodbus context, fd: its connection).
  void Serve(void* context, int fd, const std::uint8_t* query, int length, double seconds);
  // Function 5 on a mapped coil: the coil takes the value and the request is echoed.
  void WriteCoil(void* context, const std::uint8_t* query, int length, std::uint16_t address);

  ModbusServerOptions options_;
  SnapshotFn snapshot_;
  int port_ = 0;
  int listenFd_ = -1;
  int wakeFd_[2] = {-1, -1};
  std::thread thread_;
  std::atomic<int> answered_{0};
  mutable std::mutex coilsMutex_;
  std::map<std::uint16_t, bool> writtenCoils_;
};

}  // namespace r770::sim
