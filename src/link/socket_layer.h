// Blocking IPv4 TCP client for the TCP link, on a thin seam over the socket system calls so
// that tests can inject short sends, failing time-out setters and receive failures.
#pragma once
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace r770 {

// The system calls the TCP client makes. Each method behaves as its namesake (result and
// errno); the default implementation calls the system.
class SocketCalls {
 public:
  virtual ~SocketCalls() = default;
  virtual int Socket(int domain, int type, int protocol);
  virtual int Connect(int fd, const sockaddr* addr, socklen_t len);
  virtual int Poll(pollfd* fds, nfds_t n, int timeoutMs);
  virtual int GetSockOpt(int fd, int level, int name, void* value, socklen_t* len);
  virtual int SetSockOpt(int fd, int level, int name, const void* value, socklen_t len);
  virtual int Fcntl(int fd, int cmd, int arg);
  virtual ssize_t Send(int fd, const void* data, std::size_t n, int flags);
  virtual ssize_t Recv(int fd, void* data, std::size_t n, int flags);
  virtual int Shutdown(int fd, int how);
  virtual int Close(int fd);
  virtual int GetAddrInfo(const char* node, const char* service, const addrinfo* hints, addrinfo** result);
  virtual void FreeAddrInfo(addrinfo* info);
};

// The process-wide seam that calls the system.
SocketCalls& SystemSocketCalls();

// Outcome of one receive call.
struct ReceiveResult {
  enum Status { Data, Closed, Failed } status = Failed;
  std::size_t count = 0;  // bytes received with Data
  int error = 0;          // errno with Failed (EAGAIN/EWOULDBLOCK for the time-out)
};

// TTcpClient: a blocking IPv4 stream socket to one remote host and port.
class TTcpClient {
 public:
  explicit TTcpClient(SocketCalls& calls = SystemSocketCalls());
  ~TTcpClient();
  TTcpClient(const TTcpClient&) = delete;
  TTcpClient& operator=(const TTcpClient&) = delete;

  std::string RemoteHost;
  std::string RemotePort;  // a service name or a decimal port

  // Connects to RemoteHost:RemotePort. A host beginning with a digit is a dotted address,
  // any other is looked up by name; the port is looked up as a service first. The connect
  // itself gives up after `connectTimeoutMs`. True when connected.
  bool Connect(int connectTimeoutMs);
  bool Active() const { return fd_ >= 0; }
  bool SetReceiveTimeout(int ms);
  bool SetSendTimeout(int ms);
  // One send call (EINTR retried); the count of bytes accepted, -1 on failure.
  long Send(std::span<const std::uint8_t> data);
  // One receive call for at most data.size() bytes, waiting up to the receive time-out.
  ReceiveResult Receive(std::span<std::uint8_t> data);
  // Takes whatever has already arrived, without waiting (at most 16 KB); the bytes taken.
  std::vector<std::uint8_t> TakeWaitingInput();
  // Shuts a connected socket down in both directions and closes it.
  void Close();

 private:
  bool SetTimeout(int option, int ms);
  bool ResolveAddress(sockaddr_storage& address, socklen_t& length);

  SocketCalls& calls_;
  int fd_ = -1;
  bool connected_ = false;
};

}  // namespace r770
