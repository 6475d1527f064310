// T_TCPObmen: the exchange engine on a TCP connection to the module's Ethernet interface.
// It carries FT1.2 frames, and unframed bytes in RawMode for the Modbus/TCP test.
#pragma once
#include <string>

#include "link/exchange_engine.h"
#include "link/socket_layer.h"

namespace r770 {

class T_TCPObmen : public TBase_Obmen {
 public:
  T_TCPObmen(const TTCPLink& link, Clock& clock = SystemClock(), SocketCalls& calls = SystemSocketCalls());
  ~T_TCPObmen() override;

  int Exchange(int expected, std::uint8_t address, std::span<const std::uint8_t> request,
               std::span<std::uint8_t> out, int& delivered) override;
  int Transact(std::span<const std::uint8_t> frame, int expected, std::uint8_t mode, std::uint8_t address,
               std::uint8_t packet, std::span<std::uint8_t> out, int& delivered) override;
  int Open(std::string& description) override;
  void Close() override;

  // Host + " (" + port as at least four upper-case hex digits + ") ", ahead of every traffic line.
  std::string LogPrefix;
  TTcpClient Client;

 private:
  const TTCPLink& tcpLink_;
};

}  // namespace r770
