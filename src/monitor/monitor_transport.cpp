#include "monitor/monitor_transport.h"

#include <algorithm>
#include <cerrno>

namespace r770 {

bool TcpModbusTransport::Connect(const std::string& host, std::uint16_t port, int timeoutMs) {
  receiveTimeoutMs_ = 0;
  client_.RemoteHost = host;
  client_.RemotePort = std::to_string(port);
  if (!client_.Connect(std::max(timeoutMs, 1))) return false;
  // A send never waits longer than an answer may take.
  if (!client_.SetSendTimeout(std::max(timeoutMs, 1))) {
    client_.Close();
    return false;
  }
  return true;
}

bool TcpModbusTransport::Send(std::span<const std::uint8_t> frame) {
  std::size_t sent = 0;
  while (sent < frame.size()) {
    long n = client_.Send(frame.subspan(sent));
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

ReceiveResult TcpModbusTransport::Receive(std::span<std::uint8_t> data, int timeoutMs) {
  // A receive time-out of 0 would wait for ever. The socket keeps its time-out between
  // calls: it is set again only when the wait must be shorter, or may be much longer (a
  // shorter wait just comes back to the caller, who waits again until its deadline).
  timeoutMs = std::max(timeoutMs, 1);
  if (timeoutMs < receiveTimeoutMs_ || timeoutMs > 2 * receiveTimeoutMs_) {
    if (!client_.SetReceiveTimeout(timeoutMs)) {
      ReceiveResult r;
      r.error = EBADF;
      return r;
    }
    receiveTimeoutMs_ = timeoutMs;
  }
  return client_.Receive(data);
}

}  // namespace r770
