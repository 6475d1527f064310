#include "link/tcp_link.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

#include "common/number_forms.h"

namespace r770 {

namespace {

// The answer wait in ms; a wait of 0 would make the socket wait for ever, so at least 1 s.
int WaitMs(std::int32_t timeoutSec) {
  const std::int64_t sec = std::clamp<std::int64_t>(timeoutSec, 1, INT_MAX / 1000);
  return static_cast<int>(sec * 1000);
}

}  // namespace

T_TCPObmen::T_TCPObmen(const TTCPLink& link, Clock& clock, SocketCalls& calls)
    : TBase_Obmen(link, clock), Client(calls), tcpLink_(link) {
  FrameMode = FrameFt12;
  Client.RemoteHost = link.Host;
  Client.RemotePort = std::to_string(link.Port);
}

T_TCPObmen::~T_TCPObmen() { T_TCPObmen::Close(); }

int T_TCPObmen::Open(std::string& description) {
  Close();
  description = tcpLink_.Host + " (" + std::to_string(tcpLink_.Port) + ") ";
  LogPrefix = tcpLink_.Host + " (" + Hex(static_cast<std::uint32_t>(tcpLink_.Port), 4) + ") ";
  const int waitMs = WaitMs(TimeoutSec);
  // The connect is bounded by the answer wait so that an unreachable host cannot hang the program.
  if (!Client.Connect(waitMs)) return kTcpConnect;
  if (!Client.SetReceiveTimeout(waitMs)) return kTcpReceiveTimeout;
  if (!Client.SetSendTimeout(waitMs)) return kTcpSendTimeout;
  return kOk;
}

void T_TCPObmen::Close() { Client.Close(); }

int T_TCPObmen::Exchange(int expected, std::uint8_t address, std::span<const std::uint8_t> request,
                         std::span<std::uint8_t> out, int& delivered) {
  delivered = 0;
  const std::uint8_t packet = NextPacketNumber();
  const auto frame = BuildFrame(request, packet, address);
  if (frame.empty()) return kDataLength;
  return Transact(frame, expected, static_cast<std::uint8_t>(FrameFt12), address, packet, out, delivered);
}

int T_TCPObmen::Transact(std::span<const std::uint8_t> frame, int expected, std::uint8_t mode,
                         std::uint8_t address, std::uint8_t packet, std::span<std::uint8_t> out,
                         int& delivered) {
  delivered = 0;
  const std::string sendLine = LogPrefix + ">> " + FormatBytes(frame);
  int code = kNoAnswer;
  std::array<std::uint8_t, 256> buffer{};
  // Bytes left over from an earlier request (a late answer, the tail of a split one) would be
  // taken for the answer to this frame: they go, logged like every byte received, before the
  // frame's first sending. Between the attempts nothing is thrown away, so a late answer to
  // this very frame is taken by the next attempt.
  if (Retries > 0) {
    const auto stale = Client.TakeWaitingInput();
    if (!stale.empty()) Log(LogPrefix + "<< " + FormatBytes(stale));
  }
  for (int attempt = 0; attempt < Retries && code == kNoAnswer; ++attempt) {
    Log(sendLine);
    const long sent = Client.Send(frame);
    if (sent < static_cast<long>(frame.size())) continue;

    buffer.fill(0);
    const ReceiveResult r = Client.Receive(std::span(buffer.data(), 255));
    if (r.status == ReceiveResult::Failed) {
      Log("SOCKET_ERROR");
      GetClock().SleepMs(1000);
      continue;
    }
    if (r.status == ReceiveResult::Closed) continue;

    const auto received = std::span<const std::uint8_t>(buffer.data(), r.count);
    Log(LogPrefix + "<< " + FormatBytes(received));
    if (mode == RawMode) {
      const std::size_t n = std::min(r.count, out.size());
      std::memcpy(out.data(), buffer.data(), n);
      delivered = static_cast<int>(n);
      code = kOk;
    } else {
      code = CheckFrame(received, expected, address, packet, out, delivered);
    }
  }
  return code;
}

}  // namespace r770
