#include "ft12_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace r770::sim {

namespace {

std::uint8_t Sum(std::span<const std::uint8_t> bytes) {
  std::uint8_t sum = 0;
  for (std::uint8_t b : bytes) sum = static_cast<std::uint8_t>(sum + b);
  return sum;
}

void SleepMs(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SendAll(int fd, const std::uint8_t* data, std::size_t n) {
  while (n > 0) {
    const ssize_t sent = ::send(fd, data, n, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return;
    data += sent;
    n -= static_cast<std::size_t>(sent);
  }
}

}  // namespace

std::optional<Ft12Request> TakeFt12Request(std::vector<std::uint8_t>& stream) {
  std::size_t at = 0;
  std::optional<Ft12Request> found;
  while (at < stream.size()) {
    const std::size_t left = stream.size() - at;
    const std::uint8_t* b = stream.data() + at;
    if (b[0] == 0x10) {
      if (left < 9) break;
      if (Sum({b + 1, 6}) == b[7] && b[8] == 0x16) {
        found = Ft12Request{b[1], b[2], {b + 3, b + 7}};
        at += 9;
        break;
      }
    } else if (b[0] == 0x68) {
      if (left < 4) break;
      if (b[3] == 0x68 && b[1] == b[2] && b[1] >= 2) {
        const std::size_t total = std::size_t{b[1]} + 6;
        if (left < total) break;
        if (Sum({b + 4, std::size_t{b[1]}}) == b[total - 2] && b[total - 1] == 0x16) {
          found = Ft12Request{b[4], b[5], {b + 6, b + total - 2}};
          at += total;
          break;
        }
      }
    }
    ++at;  // not the start of a valid frame: skip one byte and look again
  }
  stream.erase(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(at));
  return found;
}

std::vector<std::uint8_t> FrameFt12Answer(const SimReply& reply, std::uint8_t control, std::uint8_t address) {
  switch (reply.kind) {
    case SimReply::None:
      return {};
    case SimReply::Positive:
      return {0xA2};
    case SimReply::Negative:
      return {0xE5};
    case SimReply::Data:
      break;
  }
  std::vector<std::uint8_t> frame;
  const auto& d = reply.data;
  if (d.size() <= 4) {
    frame = {0x10, control, address};
    for (std::size_t i = 0; i < 4; ++i) frame.push_back(i < d.size() ? d[i] : 0);
    frame.push_back(Sum({frame.data() + 1, 6}));
  } else {
    const auto l2 = static_cast<std::uint8_t>(d.size() + 2);
    frame = {0x68, l2, l2, 0x68, control, address};
    frame.insert(frame.end(), d.begin(), d.end());
    frame.push_back(Sum({frame.data() + 4, d.size() + 2}));
  }
  frame.push_back(0x16);
  return frame;
}

Ft12Server::Ft12Server(SimBus& bus, Ft12ServerOptions options) : bus_(bus), options_(std::move(options)) {}

Ft12Server::~Ft12Server() { Stop(); }

void Ft12Server::SetFaults(const Ft12Faults& faults) {
  std::lock_guard lock(faultsMutex_);
  options_.faults = faults;
}

Ft12Faults Ft12Server::Faults() const {
  std::lock_guard lock(faultsMutex_);
  return options_.faults;
}

void Ft12Server::Sent(std::span<const std::uint8_t> bytes) {
  if (onTraffic && !bytes.empty()) onTraffic(false, bytes);
}

bool Ft12Server::Start(std::string* error) {
  auto fail = [&](const std::string& message) {
    if (error) *error = message + ": " + std::strerror(errno);
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
    return false;
  };
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(options_.port));
  if (options_.port < 0 || options_.port > 65535 ||
      inet_pton(AF_INET, options_.listen.c_str(), &address.sin_addr) != 1) {
    if (error) *error = "неверный адрес или порт: " + options_.listen + ":" + std::to_string(options_.port);
    return false;
  }
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) return fail("не удалось создать сокет");
  const int one = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0)
    return fail("не удалось занять " + options_.listen + ":" + std::to_string(options_.port));
  if (::listen(listenFd_, 8) < 0) return fail("не удалось начать прием соединений");
  socklen_t length = sizeof address;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  if (::pipe2(wakeFds_, O_CLOEXEC) < 0) return fail("не удалось создать канал");
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void Ft12Server::Stop() {
  if (thread_.joinable()) {
    const std::uint8_t byte = 1;
    while (::write(wakeFds_[1], &byte, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
  }
  for (int& fd : wakeFds_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  if (listenFd_ >= 0) ::close(listenFd_);
  listenFd_ = -1;
}

void Ft12Server::EndClient(Client& client) {
  // Only our direction is shut: the peer sees the end of the stream, and what it still sends
  // is taken and dropped, so it never meets a reset.
  ::shutdown(client.fd, SHUT_WR);
  client.ended = true;
  client.stream.clear();
}

void Ft12Server::CloseClient(Client& client) {
  if (client.fd >= 0) {
    ::shutdown(client.fd, SHUT_RDWR);
    ::close(client.fd);
  }
  client.fd = -1;
  for (const auto& module : bus_.Modules()) module->ResetAccess();
  if (onConnectionClosed) onConnectionClosed();
}

void Ft12Server::Serve() {
  std::vector<pollfd> fds;
  for (;;) {
    fds.clear();
    fds.push_back({wakeFds_[0], POLLIN, 0});
    fds.push_back({listenFd_, POLLIN, 0});
    for (const auto& c : clients_) fds.push_back({c.fd, POLLIN, 0});
    const int ready = ::poll(fds.data(), fds.size(), -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents) break;
    // Clients first (their poll entries match clients_ by position), then new connections.
    for (std::size_t i = 0; i < clients_.size(); ++i) {
      if (!fds[i + 2].revents) continue;
      Client& c = clients_[i];
      std::uint8_t buffer[4096];
      const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n <= 0) {
        CloseClient(c);
        continue;
      }
      if (onTraffic) onTraffic(true, {buffer, static_cast<std::size_t>(n)});
      if (c.ended) continue;
      c.stream.insert(c.stream.end(), buffer, buffer + n);
      if (!ServeClient(c)) EndClient(c);
    }
    std::erase_if(clients_, [](const Client& c) { return c.fd < 0; });
    if (fds[1].revents & POLLIN) {
      const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) {
        ++connections_;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        Client c;
        c.fd = fd;
        if (Faults().closeAfter == 0) EndClient(c);
        clients_.push_back(std::move(c));
      }
    }
  }
  for (auto& c : clients_) CloseClient(c);
  clients_.clear();
}

bool Ft12Server::ServeClient(Client& client) {
  while (auto request = TakeFt12Request(client.stream)) {
    const Ft12Faults f = Faults();
    ++framesReceived_;
    if (f.silent) continue;
    SimModule* module = bus_.Find(request->address);
    if (!module) continue;  // nobody with that number on the bus
    const SimReply reply = module->HandleFt12(request->data);
    std::uint8_t control = request->control & 0x0F;
    if (f.wrongPacket) control = (control + 1) & 0x0F;
    std::uint8_t address = module->Net();
    if (f.wrongAddress) ++address;
    auto answer = FrameFt12Answer(reply, control, address);
    if (answer.empty()) continue;
    if (answer.size() > 1 && f.badChecksumEvery > 0 && ++framedAnswers_ % f.badChecksumEvery == 0)
      ++answer[answer.size() - 2];
    SleepMs(f.delayMs);
    SendAnswer(client.fd, answer, f);
    ++client.answered;
    if (f.closeAfter >= 0 && client.answered >= f.closeAfter) return false;
  }
  return true;
}

void Ft12Server::SendAnswer(int fd, const std::vector<std::uint8_t>& bytes, const Ft12Faults& faults) {
  if (faults.splitAnswers && bytes.size() > 1) {
    const std::size_t half = bytes.size() / 2;
    Sent({bytes.data(), half});
    SendAll(fd, bytes.data(), half);
    SleepMs(faults.splitGapMs);
    Sent({bytes.data() + half, bytes.size() - half});
    SendAll(fd, bytes.data() + half, bytes.size() - half);
  } else {
    Sent(bytes);
    SendAll(fd, bytes.data(), bytes.size());
  }
}

}  // namespace r770::sim
