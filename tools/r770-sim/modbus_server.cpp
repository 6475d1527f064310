#include "modbus_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <modbus.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <numbers>
#include <optional>

#include "arg_parser.h"
#include "common/number_forms.h"
#include "sim_options.h"

namespace r770::sim {
namespace {

constexpr int kHeaderLength = 7;  // MBAP header of Modbus/TCP

struct MappingDeleter {
  void operator()(modbus_mapping_t* m) const { modbus_mapping_free(m); }
};
using Mapping = std::unique_ptr<modbus_mapping_t, MappingDeleter>;

// The exception answer built by hand, for codes libmodbus will not send (12 and above).
bool SendRawException(int fd, const std::uint8_t* request, std::uint8_t code) {
  std::uint8_t rsp[9] = {
      request[0], request[1], 0, 0, 0, 3, request[6], static_cast<std::uint8_t>(request[7] | 0x80), code};
  return ::send(fd, rsp, sizeof rsp, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof rsp);
}

bool RangeHits(std::uint16_t address, int count, std::uint16_t target) {
  return target >= address && static_cast<int>(target) < static_cast<int>(address) + count;
}

}  // namespace

float SimulatedFloat(std::uint16_t address, double seconds) {
  const double period = 60.0 + address % 17;  // each address swings at its own pace
  return static_cast<float>(address + 0.25 + 5.0 * std::sin(2 * std::numbers::pi * seconds / period));
}

float SimulatedRamp(std::uint16_t address, double seconds) {
  return static_cast<float>(address + 0.5 + std::fmod(seconds, 1000.0) / 10.0);
}

bool SimulatedBit(std::uint16_t address, double seconds) {
  return ((address + static_cast<long long>(seconds / 5)) & 1) != 0;
}

std::string ExtractModbusOptions(std::vector<std::string>& args, ModbusServerOptions& o, bool& enabled) {
  using Value = cli::ArgParser::Value;
  auto number = [](const std::string& text, long max) -> std::optional<long> {
    auto n = ParseIntKey(Trim(text));
    if (!n || *n < 0 || *n > max) return std::nullopt;
    return static_cast<long>(*n);
  };
  // Every --modbus- option but --modbus-fixed takes a value.
  auto withValue = [](const char* name, std::function<std::string(const std::string&)> apply) {
    return [name, apply](const Value& v) { return v ? apply(*v) : NeedsValue(name); };
  };
  return cli::ArgParser()
      .Prefix("--modbus-")
      .Flag("--modbus-fixed", [&] { o.fixed = true; })
      .Option("--modbus-port", withValue("--modbus-port",
                                         [&](const std::string& v) {
                                           auto n = number(v, 65535);
                                           if (!n) return "неверный порт для --modbus-port: \"" + v + "\"";
                                           o.port = static_cast<int>(*n);
                                           enabled = true;
                                           return std::string();
                                         }))
      .Option("--modbus-listen", withValue("--modbus-listen",
                                           [&](const std::string& v) {
                                             o.bindAddress = v;
                                             return std::string();
                                           }))
      .Option("--modbus-net", withValue("--modbus-net",
                                        [&](const std::string& v) {
                                          auto n = ParseHex(Trim(v));
                                          if (!n || *n > 0xFF)
                                            return "неверный сетевой номер для --modbus-net: \"" + v + "\"";
                                          o.net = static_cast<std::uint8_t>(*n);
                                          return std::string();
                                        }))
      .Option("--modbus-order",
              withValue("--modbus-order",
                        [&](const std::string& v) {
                          if (v != "ABCD" && v != "CDAB" && v != "BADC" && v != "DCBA")
                            return "для --modbus-order нужно ABCD, CDAB, BADC или DCBA, получено \"" + v +
                                   "\"";
                          o.order = v;
                          return std::string();
                        }))
      .Option("--modbus-silent", withValue("--modbus-silent",
                                           [&](const std::string& v) {
                                             auto n = number(v, 65535);
                                             if (!n)
                                               return "неверный адрес для --modbus-silent: \"" + v + "\"";
                                             o.silent.insert(static_cast<std::uint16_t>(*n));
                                             return std::string();
                                           }))
      .Option("--modbus-exception",
              withValue("--modbus-exception",
                        [&](const std::string& v) {
                          auto colon = v.find(':');
                          std::optional<long> address, code;
                          if (colon != std::string::npos) {
                            address = number(v.substr(0, colon), 65535);
                            code = number(v.substr(colon + 1), 255);
                          }
                          if (!address || !code)
                            return "для --modbus-exception нужно АДРЕС:КОД, получено \"" + v + "\"";
                          o.exceptions[static_cast<std::uint16_t>(*address)] =
                              static_cast<std::uint8_t>(*code);
                          return std::string();
                        }))
      // An unknown --modbus- option still takes its value first, as the known ones do.
      .Unknown(cli::ArgValue::Next,
               [](const std::string& a, const Value& v) {
                 return v ? "неизвестный параметр " + a + " (см. --help)" : NeedsValue(a);
               })
      .Take(args);
}

const char* ModbusHelpText() {
  return "\n"
         "Сервер Modbus/TCP (публикует карты регистров, записанные в модуль):\n"
         "  --modbus-port N          включить сервер Modbus/TCP на порту N (0 - любой свободный)\n"
         "  --modbus-listen ADDR     адрес сервера Modbus/TCP (по умолчанию как у --listen)\n"
         "  --modbus-net NN          модуль, чьи карты публикуются (по умолчанию первый из --net)\n"
         "  --modbus-fixed           значения не меняются со временем (адрес + 0,25 для Holding,\n"
         "                           адрес + 0,5 для Input Registers)\n"
         "  --modbus-exception A:K   на запросы, задевающие адрес A, отвечать исключением K\n"
         "  --modbus-silent A        на запросы, задевающие адрес A, не отвечать\n"
         "  --modbus-order ORDER     порядок байт чисел: ABCD, CDAB (по умолчанию), BADC или DCBA\n"
         "                           (A - старший байт, буквы в порядке передачи)\n"
         "Holding и Input Registers: число с плавающей запятой в двух регистрах начиная с адреса\n"
         "записи, по умолчанию младшее слово первым, в каждом регистре старший байт первым; Coils и "
         "Discrete\n"
         "Inputs - биты. Запись Coil (функция 5) меняет его значение. Адрес без записи в карте -\n"
         "исключение 2.\n";
}

ModbusServer::ModbusServer(ModbusServerOptions options, SnapshotFn snapshot)
    : options_(std::move(options)), snapshot_(std::move(snapshot)) {}

ModbusServer::~ModbusServer() { Stop(); }

bool ModbusServer::Start(std::string& error) {
  if (thread_.joinable()) return true;
  if (options_.bindAddress.empty()) options_.bindAddress = "127.0.0.1";
  modbus_t* ctx = modbus_new_tcp(options_.bindAddress.c_str(), options_.port);
  if (!ctx) {
    error = std::string("modbus_new_tcp: ") + modbus_strerror(errno);
    return false;
  }
  listenFd_ = modbus_tcp_listen(ctx, 8);
  int listenErrno = errno;
  modbus_free(ctx);  // the serving thread makes its own context
  if (listenFd_ < 0) {
    error = "Modbus/TCP: нельзя открыть порт " + std::to_string(options_.port) + ": " +
            std::strerror(listenErrno);
    return false;
  }
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  if (pipe2(wakeFd_, O_CLOEXEC) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    ::close(listenFd_);
    listenFd_ = -1;
    return false;
  }
  thread_ = std::thread([this] { Run(); });
  return true;
}

void ModbusServer::Stop() {
  if (thread_.joinable()) {
    char b = 0;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_[1], &b, 1);
    thread_.join();
  }
  for (int& fd : {std::ref(listenFd_), std::ref(wakeFd_[0]), std::ref(wakeFd_[1])}) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

void ModbusServer::Run() {
  modbus_t* ctx = modbus_new_tcp(options_.bindAddress.c_str(), options_.port);
  if (!ctx) return;
  const auto started = std::chrono::steady_clock::now();
  std::set<int> clients;
  std::uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];

  while (true) {
    fd_set reads;
    FD_ZERO(&reads);
    FD_SET(wakeFd_[0], &reads);
    FD_SET(listenFd_, &reads);
    int top = std::max(wakeFd_[0], listenFd_);
    for (int fd : clients) {
      FD_SET(fd, &reads);
      top = std::max(top, fd);
    }
    if (::select(top + 1, &reads, nullptr, nullptr, nullptr) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (FD_ISSET(wakeFd_[0], &reads)) break;
    if (FD_ISSET(listenFd_, &reads)) {
      int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0 && fd < FD_SETSIZE)
        clients.insert(fd);
      else if (fd >= 0)
        ::close(fd);
    }
    for (auto it = clients.begin(); it != clients.end();) {
      int fd = *it;
      if (!FD_ISSET(fd, &reads)) {
        ++it;
        continue;
      }
      modbus_set_socket(ctx, fd);
      int rc = modbus_receive(ctx, query);
      if (rc < 0) {  // closed by the peer or a garbled frame: drop the connection
        ::close(fd);
        it = clients.erase(it);
        continue;
      }
      if (rc >= kHeaderLength + 1) {
        double seconds =
            options_.fixed
                ? 0.0
                : std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        Serve(ctx, fd, query, rc, seconds);
      }
      ++it;
    }
  }
  for (int fd : clients) ::close(fd);
  modbus_free(ctx);
}

void ModbusServer::Serve(void* context, int fd, const std::uint8_t* query, int length, double seconds) {
  auto* ctx = static_cast<modbus_t*>(context);
  const int function = query[kHeaderLength];
  const bool ranged = function >= 1 && function <= 4 && length >= kHeaderLength + 5;
  const std::uint16_t address =
      length >= kHeaderLength + 3
          ? static_cast<std::uint16_t>(query[kHeaderLength + 1] << 8 | query[kHeaderLength + 2])
          : 0;
  const int count = ranged ? (query[kHeaderLength + 3] << 8 | query[kHeaderLength + 4]) : 1;

  // The count goes up before the reply leaves, so a client holding its answer sees it.
  auto exception = [&](unsigned code) {
    ++answered_;
    if (code < MODBUS_EXCEPTION_MAX)
      modbus_reply_exception(ctx, query, code);
    else
      SendRawException(fd, query, static_cast<std::uint8_t>(code));
  };

  // Triggers of the command line come first, as a misbehaving device would.
  for (std::uint16_t a : options_.silent)
    if (RangeHits(address, count, a)) return;
  for (const auto& [a, code] : options_.exceptions)
    if (RangeHits(address, count, a)) return exception(code);

  if (function == 5 && length >= kHeaderLength + 5) {
    ModbusMaps maps = snapshot_();
    for (const ModbusMapEntry& e : maps[kMapCoils])
      if (e.controller != 0xFF && e.address == address) return WriteCoil(ctx, query, length, address);
    return exception(MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
  }
  if (!ranged) return exception(MODBUS_EXCEPTION_ILLEGAL_FUNCTION);
  const bool bits = function <= 2;
  if (count < 1 || count > (bits ? MODBUS_MAX_READ_BITS : MODBUS_MAX_READ_REGISTERS))
    return exception(MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE);
  if (address + count > 0x10000) return exception(MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);

  const int map = function == 1   ? kMapCoils
                  : function == 2 ? kMapDiscreteInputs
                  : function == 3 ? kMapHoldingRegisters
                                  : kMapInputRegisters;
  ModbusMaps maps = snapshot_();
  // Value of every address the map covers; the first entry to claim an address keeps it.
  std::map<std::uint16_t, std::uint16_t> values;
  std::map<std::uint16_t, bool> written;
  if (map == kMapCoils) {
    std::lock_guard lock(coilsMutex_);
    written = writtenCoils_;
  }
  for (const ModbusMapEntry& e : maps[map]) {
    if (e.controller == 0xFF) continue;
    if (map == kMapHoldingRegisters || map == kMapInputRegisters) {
      if (!RangeHits(address, count, e.address) &&
          !(e.address < 0xFFFF && RangeHits(address, count, e.address + 1)))
        continue;
      float f = map == kMapHoldingRegisters ? SimulatedFloat(e.address, seconds)
                                            : SimulatedRamp(e.address, seconds);
      std::uint32_t raw;
      std::memcpy(&raw, &f, sizeof raw);
      // Wire byte i carries the value byte named by the order's i-th letter (A = bits 31..24).
      std::uint8_t wire[4];
      for (int i = 0; i < 4; ++i)
        wire[i] =
            static_cast<std::uint8_t>(raw >> (8 * (3 - (options_.order[static_cast<std::size_t>(i)] - 'A'))));
      values.emplace(e.address, static_cast<std::uint16_t>(wire[0] << 8 | wire[1]));
      if (e.address < 0xFFFF)
        values.emplace(static_cast<std::uint16_t>(e.address + 1),
                       static_cast<std::uint16_t>(wire[2] << 8 | wire[3]));
    } else if (RangeHits(address, count, e.address)) {
      auto w = written.find(e.address);
      values.emplace(e.address, w != written.end() ? w->second : SimulatedBit(e.address, seconds));
    }
  }
  for (int a = address; a < address + count; ++a)
    if (!values.count(static_cast<std::uint16_t>(a))) return exception(MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);

  Mapping m(modbus_mapping_new_start_address(function == 1 ? address : 0, function == 1 ? count : 0,
                                             function == 2 ? address : 0, function == 2 ? count : 0,
                                             function == 3 ? address : 0, function == 3 ? count : 0,
                                             function == 4 ? address : 0, function == 4 ? count : 0));
  if (!m) return exception(MODBUS_EXCEPTION_SLAVE_OR_SERVER_FAILURE);
  for (int i = 0; i < count; ++i) {
    std::uint16_t v = values[static_cast<std::uint16_t>(address + i)];
    switch (function) {
      case 1:
        m->tab_bits[i] = v ? 1 : 0;
        break;
      case 2:
        m->tab_input_bits[i] = v ? 1 : 0;
        break;
      case 3:
        m->tab_registers[i] = v;
        break;
      default:
        m->tab_input_registers[i] = v;
        break;
    }
  }
  ++answered_;
  modbus_reply(ctx, query, length, m.get());
}

}  // namespace r770::sim

namespace r770::sim {

std::optional<bool> ModbusServer::WrittenCoil(std::uint16_t address) const {
  std::lock_guard lock(coilsMutex_);
  auto it = writtenCoils_.find(address);
  if (it == writtenCoils_.end()) return std::nullopt;
  return it->second;
}

void ModbusServer::WriteCoil(void* context, const std::uint8_t* query, int length, std::uint16_t address) {
  auto* ctx = static_cast<modbus_t*>(context);
  // libmodbus checks the value (0xFF00 or 0x0000, else exception 3) and echoes the request.
  Mapping m(modbus_mapping_new_start_address(address, 1, 0, 0, 0, 0, 0, 0));
  if (!m) {
    ++answered_;
    modbus_reply_exception(ctx, query, MODBUS_EXCEPTION_SLAVE_OR_SERVER_FAILURE);
    return;
  }
  const int value = query[kHeaderLength + 3] << 8 | query[kHeaderLength + 4];
  if (value == 0xFF00 || value == 0x0000) {
    std::lock_guard lock(coilsMutex_);
    writtenCoils_[address] = value == 0xFF00;
  }
  ++answered_;
  modbus_reply(ctx, query, length, m.get());
}

}  // namespace r770::sim
