#include "link/socket_layer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace r770 {

int SocketCalls::Socket(int domain, int type, int protocol) { return ::socket(domain, type, protocol); }
int SocketCalls::Connect(int fd, const sockaddr* addr, socklen_t len) { return ::connect(fd, addr, len); }
int SocketCalls::Poll(pollfd* fds, nfds_t n, int timeoutMs) { return ::poll(fds, n, timeoutMs); }
int SocketCalls::GetSockOpt(int fd, int level, int name, void* value, socklen_t* len) {
  return ::getsockopt(fd, level, name, value, len);
}
int SocketCalls::SetSockOpt(int fd, int level, int name, const void* value, socklen_t len) {
  return ::setsockopt(fd, level, name, value, len);
}
int SocketCalls::Fcntl(int fd, int cmd, int arg) { return ::fcntl(fd, cmd, arg); }
ssize_t SocketCalls::Send(int fd, const void* data, std::size_t n, int flags) {
  return ::send(fd, data, n, flags);
}
ssize_t SocketCalls::Recv(int fd, void* data, std::size_t n, int flags) { return ::recv(fd, data, n, flags); }
int SocketCalls::Shutdown(int fd, int how) { return ::shutdown(fd, how); }
int SocketCalls::Close(int fd) { return ::close(fd); }
int SocketCalls::GetAddrInfo(const char* node, const char* service, const addrinfo* hints,
                             addrinfo** result) {
  return ::getaddrinfo(node, service, hints, result);
}
void SocketCalls::FreeAddrInfo(addrinfo* info) { ::freeaddrinfo(info); }

SocketCalls& SystemSocketCalls() {
  static SocketCalls calls;
  return calls;
}

TTcpClient::TTcpClient(SocketCalls& calls) : calls_(calls) {}

TTcpClient::~TTcpClient() { Close(); }

bool TTcpClient::ResolveAddress(sockaddr_storage& address, socklen_t& length) {
  sockaddr_in in{};
  in.sin_family = AF_INET;

  // The port: a service name first, otherwise a decimal number.
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (RemotePort.empty()) return false;
  hints.ai_flags = AI_PASSIVE;
  if (calls_.GetAddrInfo(nullptr, RemotePort.c_str(), &hints, &found) != 0 || !found) return false;
  in.sin_port = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_port;
  calls_.FreeAddrInfo(found);

  if (RemoteHost.empty()) return false;
  if (RemoteHost[0] >= '0' && RemoteHost[0] <= '9') {
    if (inet_pton(AF_INET, RemoteHost.c_str(), &in.sin_addr) != 1) return false;
  } else {
    hints.ai_flags = 0;
    found = nullptr;
    if (calls_.GetAddrInfo(RemoteHost.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
    in.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    calls_.FreeAddrInfo(found);
  }
  std::memset(&address, 0, sizeof address);
  std::memcpy(&address, &in, sizeof in);
  length = sizeof in;
  return true;
}

bool TTcpClient::Connect(int connectTimeoutMs) {
  Close();
  sockaddr_storage address{};
  socklen_t length = 0;
  if (!ResolveAddress(address, length)) return false;

  fd_ = calls_.Socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return false;

  // A non-blocking connect bounded by the time-out, then back to blocking mode.
  const int flags = calls_.Fcntl(fd_, F_GETFL, 0);
  if (flags < 0 || calls_.Fcntl(fd_, F_SETFL, flags | O_NONBLOCK) < 0) {
    Close();
    return false;
  }
  int rc;
  do {
    rc = calls_.Connect(fd_, reinterpret_cast<const sockaddr*>(&address), length);
  } while (rc < 0 && errno == EINTR);
  if (rc < 0 && errno != EINPROGRESS) {
    Close();
    return false;
  }
  if (rc < 0) {
    using Steady = std::chrono::steady_clock;
    const auto deadline = Steady::now() + std::chrono::milliseconds(connectTimeoutMs);
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
      if (left <= 0) {
        Close();
        return false;
      }
      pollfd p{fd_, POLLOUT, 0};
      const int ready = calls_.Poll(&p, 1, static_cast<int>(left));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) {
        Close();
        return false;
      }
      break;
    }
    int error = 0;
    socklen_t len = sizeof error;
    if (calls_.GetSockOpt(fd_, SOL_SOCKET, SO_ERROR, &error, &len) < 0 || error != 0) {
      Close();
      return false;
    }
  }
  if (calls_.Fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) < 0) {
    Close();
    return false;
  }
  // Requests and answers are small frames that must leave at once.
  const int one = 1;
  calls_.SetSockOpt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  connected_ = true;
  return true;
}

bool TTcpClient::SetTimeout(int option, int ms) {
  if (fd_ < 0) return false;
  timeval tv{};
  tv.tv_sec = ms / 1000;
  tv.tv_usec = (ms % 1000) * 1000;
  return calls_.SetSockOpt(fd_, SOL_SOCKET, option, &tv, sizeof tv) == 0;
}

bool TTcpClient::SetReceiveTimeout(int ms) { return SetTimeout(SO_RCVTIMEO, ms); }
bool TTcpClient::SetSendTimeout(int ms) { return SetTimeout(SO_SNDTIMEO, ms); }

long TTcpClient::Send(std::span<const std::uint8_t> data) {
  if (fd_ < 0) return -1;
  ssize_t n;
  do {
    n = calls_.Send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return static_cast<long>(n);
}

ReceiveResult TTcpClient::Receive(std::span<std::uint8_t> data) {
  ReceiveResult result;
  if (fd_ < 0) {
    result.error = EBADF;
    return result;
  }
  ssize_t n;
  do {
    n = calls_.Recv(fd_, data.data(), data.size(), 0);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    result.error = errno;
  } else if (n == 0) {
    result.status = ReceiveResult::Closed;
  } else {
    result.status = ReceiveResult::Data;
    result.count = static_cast<std::size_t>(n) <= data.size() ? static_cast<std::size_t>(n) : data.size();
  }
  return result;
}

std::vector<std::uint8_t> TTcpClient::TakeWaitingInput() {
  std::vector<std::uint8_t> taken;
  if (fd_ < 0) return taken;
  std::uint8_t scratch[256];
  for (int i = 0; i < 64; ++i) {
    const ssize_t n = calls_.Recv(fd_, scratch, sizeof scratch, MSG_DONTWAIT);
    if (n > 0) taken.insert(taken.end(), scratch, scratch + n);
    if (n <= 0 && !(n < 0 && errno == EINTR)) break;
  }
  return taken;
}

void TTcpClient::Close() {
  if (fd_ < 0) return;
  if (connected_) calls_.Shutdown(fd_, SHUT_RDWR);
  calls_.Close(fd_);
  fd_ = -1;
  connected_ = false;
}

}  // namespace r770
