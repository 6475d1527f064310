// The connection the map monitor polls over: one TCP connection kept open from cycle to
// cycle, with every wait bounded by the caller. Tests put a scripted peer in its place.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "link/socket_layer.h"

namespace r770 {

class ModbusTransport {
 public:
  virtual ~ModbusTransport() = default;
  // Connects anew (whatever was open is closed first), giving up after timeoutMs.
  virtual bool Connect(const std::string& host, std::uint16_t port, int timeoutMs) = 0;
  virtual bool Connected() const = 0;
  // Sends the whole frame; false when it did not leave whole.
  virtual bool Send(std::span<const std::uint8_t> frame) = 0;
  // Waits at most timeoutMs (at least 1) for bytes. Failed with EAGAIN: nothing came in time.
  virtual ReceiveResult Receive(std::span<std::uint8_t> data, int timeoutMs) = 0;
  virtual void Close() = 0;
};

// The program's transport: TTcpClient with the receive time-out set per wait.
class TcpModbusTransport final : public ModbusTransport {
 public:
  explicit TcpModbusTransport(SocketCalls& calls = SystemSocketCalls()) : client_(calls) {}
  bool Connect(const std::string& host, std::uint16_t port, int timeoutMs) override;
  bool Connected() const override { return client_.Active(); }
  bool Send(std::span<const std::uint8_t> frame) override;
  ReceiveResult Receive(std::span<std::uint8_t> data, int timeoutMs) override;
  void Close() override { client_.Close(); }

 private:
  TTcpClient client_;
  int receiveTimeoutMs_ = 0;  // the socket's receive time-out as last set
};

}  // namespace r770
