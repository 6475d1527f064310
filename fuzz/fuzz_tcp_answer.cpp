// Fuzzes the answer path of the TCP engine's Transact through the socket seam: the peer's
// receive calls are played from the input (data segments, failures, end of stream), both in
// FT1.2 mode and in raw mode. Every outcome must be a code of the table and stay in bounds.
// Input: attempts (low 2 bits + 1), expected length (low 4 bits), then segments, each a
// length byte L (0: peer closed, 255: receive failure, else L bytes of data).
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/clock.h"
#include "frame_codes.h"
#include "link/tcp_link.h"

namespace {

class PlayedPeer : public r770::SocketCalls {
 public:
  PlayedPeer(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  int Socket(int, int, int) override { return 1000; }
  int Connect(int, const sockaddr*, socklen_t) override { return 0; }
  int Fcntl(int, int, int) override { return 0; }
  int SetSockOpt(int, int, int, const void*, socklen_t) override { return 0; }
  int Shutdown(int, int) override { return 0; }
  int Close(int) override { return 0; }
  ssize_t Send(int, const void*, std::size_t n, int) override { return static_cast<ssize_t>(n); }
  ssize_t Recv(int, void* buffer, std::size_t n, int flags) override {
    if ((flags & MSG_DONTWAIT) || at_ >= size_) {
      errno = EAGAIN;
      return -1;
    }
    const std::size_t length = data_[at_++];
    if (length == 0) return 0;
    if (length == 255) {
      errno = ECONNRESET;
      return -1;
    }
    std::size_t k = length;
    if (k > size_ - at_) k = size_ - at_;
    if (k > n) k = n;
    if (k == 0) return 0;
    std::memcpy(buffer, data_ + at_, k);
    at_ += k;
    return static_cast<ssize_t>(k);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  r770::TTCPLink link;
  link.Host = "127.0.0.1";
  link.Port = 51960;
  link.Retries = (data[0] & 3) + 1;
  const std::size_t expected = data[1] & 0x0F;
  r770::FakeClock clock;
  for (int raw = 0; raw < 2; ++raw) {
    PlayedPeer peer(data + 2, size - 2);
    r770::T_TCPObmen engine(link, clock, peer);
    std::string description;
    if (engine.Open(description) != 0) __builtin_trap();
    std::vector<std::uint8_t> out(raw ? 255 : expected);
    int delivered = -1;
    int code;
    if (raw) {
      const std::uint8_t request[] = {0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x00, 0x00, 0x02};
      code = engine.Transact(request, 0, r770::RawMode, 0, 0, out, delivered);
      if (code != 0 && code != 1) __builtin_trap();
      if (code == 0 && (delivered < 1 || delivered > 255)) __builtin_trap();
    } else {
      code = engine.ReadParam(0x01, 0xF01A, out);
      if (!r770::fuzz::IsFrameCheckCode(code)) __builtin_trap();
    }
  }
  return 0;
}
