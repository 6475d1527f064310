// A Modbus/TCP server made of libmodbus's own mapping and reply, served on a thread over
// loopback, with a hook that makes it misbehave on purpose for chosen requests (an exception,
// no answer, the connection closed).
#pragma once
#include <modbus.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

namespace r770::test {

// Puts a float into two registers in one of the four byte orders of the Modbus/TCP test:
// the value's bytes B3 (most significant) .. B0 travel as D1 D2 D3 D4 =
//   B0 B1 B2 B3 (neither box), B1 B0 B3 B2 (swap), B3 B2 B1 B0 (invert), B2 B3 B0 B1 (both),
// and each register carries two of them, the first one high.
inline void SetFloatPair(std::uint16_t* regs, float value, bool invert, bool swap) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const std::uint8_t b[4] = {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                             static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
  std::uint8_t d[4];
  if (!invert && !swap) {
    d[0] = b[0];
    d[1] = b[1];
    d[2] = b[2];
    d[3] = b[3];
  } else if (!invert) {
    d[0] = b[1];
    d[1] = b[0];
    d[2] = b[3];
    d[3] = b[2];
  } else if (!swap) {
    d[0] = b[3];
    d[1] = b[2];
    d[2] = b[1];
    d[3] = b[0];
  } else {
    d[0] = b[2];
    d[1] = b[3];
    d[2] = b[0];
    d[3] = b[1];
  }
  regs[0] = static_cast<std::uint16_t>(d[0] << 8 | d[1]);
  regs[1] = static_cast<std::uint16_t>(d[2] << 8 | d[3]);
}

// The module's own order (swap only): low word first, each register high byte first.
inline void SetModuleFloat(std::uint16_t* regs, float value) { SetFloatPair(regs, value, false, true); }

class LibModbusServer {
 public:
  // Short: an answer of the right function that carries no data (byte count 0).
  enum class Action { Reply, Exception, Silent, Close, Short };
  struct Verdict {
    Action action = Action::Reply;
    int exception = 0;
  };
  // function, first address, quantity (or value for writes) of one request.
  using Hook = std::function<Verdict(int function, int address, int quantity)>;

  LibModbusServer() {
    mapping_ = modbus_mapping_new(0x10000, 0x10000, 0x10000, 0x10000);
    ctx_ = modbus_new_tcp("127.0.0.1", 0);
    listen_ = modbus_tcp_listen(ctx_, 4);
    if (!mapping_ || !ctx_ || listen_ < 0 || ::pipe(wake_) != 0) throw std::runtime_error("libmodbus server");
    sockaddr_in a{};
    socklen_t len = sizeof a;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~LibModbusServer() {
    char b = 0;
    [[maybe_unused]] ssize_t n = ::write(wake_[1], &b, 1);
    thread_.join();
    for (int fd : {listen_, wake_[0], wake_[1]}) ::close(fd);
    modbus_free(ctx_);
    modbus_mapping_free(mapping_);
  }

  int Port() const { return port_; }
  // Changes the served tables (under the server's lock).
  void With(const std::function<void(modbus_mapping_t&)>& change) {
    std::lock_guard lock(mutex_);
    change(*mapping_);
  }
  void SetHook(Hook hook) {
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
  }
  int Requests() const { return requests_; }
  int Connections() const { return connections_; }

 private:
  void Run() {
    std::set<int> clients;
    std::uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
    for (;;) {
      fd_set reads;
      FD_ZERO(&reads);
      FD_SET(wake_[0], &reads);
      FD_SET(listen_, &reads);
      int top = std::max(wake_[0], listen_);
      for (int fd : clients) {
        FD_SET(fd, &reads);
        top = std::max(top, fd);
      }
      if (::select(top + 1, &reads, nullptr, nullptr, nullptr) < 0) continue;
      if (FD_ISSET(wake_[0], &reads)) break;
      if (FD_ISSET(listen_, &reads)) {
        int fd = ::accept(listen_, nullptr, nullptr);
        if (fd >= 0) {
          clients.insert(fd);
          ++connections_;
        }
      }
      for (auto it = clients.begin(); it != clients.end();) {
        const int fd = *it;
        bool drop = false;
        if (FD_ISSET(fd, &reads)) {
          modbus_set_socket(ctx_, fd);
          const int rc = modbus_receive(ctx_, query);
          drop = rc < 0 || (rc > 0 && !Serve(query, rc));
        }
        if (drop) {
          ::close(fd);
          it = clients.erase(it);
        } else {
          ++it;
        }
      }
    }
    for (int fd : clients) ::close(fd);
  }

  // False: the connection is to be closed.
  bool Serve(const std::uint8_t* query, int length) {
    ++requests_;
    std::lock_guard lock(mutex_);
    Verdict v;
    if (hook_) v = hook_(query[7], query[8] << 8 | query[9], query[10] << 8 | query[11]);
    switch (v.action) {
      case Action::Close:
        return false;
      case Action::Silent:
        return true;
      case Action::Exception:
        modbus_reply_exception(ctx_, query, v.exception);
        return true;
      case Action::Reply:
        modbus_reply(ctx_, query, length, mapping_);
        return true;
      case Action::Short: {
        const std::uint8_t answer[] = {query[0], query[1], 0, 0, 0, 3, query[6], query[7], 0};
        return ::send(modbus_get_socket(ctx_), answer, sizeof answer, MSG_NOSIGNAL) == sizeof answer;
      }
    }
    return true;
  }

  modbus_mapping_t* mapping_ = nullptr;
  modbus_t* ctx_ = nullptr;
  int listen_ = -1;
  int wake_[2] = {-1, -1};
  int port_ = 0;
  std::mutex mutex_;
  Hook hook_;
  std::atomic<int> requests_{0};
  std::atomic<int> connections_{0};
  std::thread thread_;
};

}  // namespace r770::test
