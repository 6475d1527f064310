#include "can_frontend.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "arg_parser.h"

namespace r770::sim {

namespace {

constexpr std::size_t kInitSize = 36;
constexpr std::size_t kFrameSize = 13;
// A unit left half-sent for this long is dropped: the computer has moved on.
constexpr int kStaleUnitMs = 50;

bool IsInitBlock(std::span<const std::uint8_t> b) {
  if (b.size() < kInitSize) return false;
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < kInitSize; ++i) sum = static_cast<std::uint8_t>(sum + b[i]);
  return sum == 0 && b[24] == 0xFF && b[28] == 0xFF && b[32] == 0x02 && b[33] == 0xE0;
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

std::optional<CanUnit> TakeCanUnit(std::vector<std::uint8_t>& stream) {
  std::size_t at = 0;
  std::optional<CanUnit> found;
  while (stream.size() - at >= 2) {
    const std::uint8_t* b = stream.data() + at;
    const std::size_t left = stream.size() - at;
    if (b[1] & 0x80) {  // a request's packet byte: 0x80, 0xA0, 0xC0 or 0xE0
      if (left < kFrameSize) break;
      found = CanUnit{CanUnit::Frame, {b, b + kFrameSize}};
      at += kFrameSize;
      break;
    }
    if (b[1] == 0) {  // an init block: node, then three zero bytes
      if (left < kInitSize) break;
      if (IsInitBlock({b, kInitSize})) {
        found = CanUnit{CanUnit::Init, {b, b + kInitSize}};
        at += kInitSize;
        break;
      }
    }
    ++at;  // neither: skip one byte and look again
  }
  stream.erase(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(at));
  return found;
}

std::vector<std::uint8_t> CanResetAnswer(int variant) {
  return {static_cast<std::uint8_t>(variant == 0 ? 0x30 : 0x40), 0x0A, 0x0D};
}

std::optional<std::vector<std::uint8_t>> AnswerCanFrame(SimBus& bus, std::span<const std::uint8_t> f,
                                                        const CanFaults& faults) {
  if (f.size() < kFrameSize || faults.silent) return std::nullopt;
  SimModule* module = bus.Find(f[0]);
  if (!module) return std::nullopt;
  // Count of meaningful bytes from byte 5 on: the source, then the code and its arguments.
  const std::size_t count = std::min<std::size_t>(f[4] & 0x0F, 8);
  if (count < 2) return std::nullopt;
  const SimReply reply = module->HandleCan(f.subspan(6, count - 1));
  if (reply.kind == SimReply::None) return std::nullopt;
  std::vector<std::uint8_t> data;
  if (reply.kind == SimReply::Data) data = reply.data;
  if (data.size() > 7) data.resize(7);
  std::vector<std::uint8_t> a(kFrameSize, 0);
  a[0] = static_cast<std::uint8_t>(f[5] + (faults.wrongNode ? 1 : 0));
  a[1] = static_cast<std::uint8_t>(faults.wrongPacket ? f[1] ^ 0x20 : f[1]);
  a[4] = static_cast<std::uint8_t>(data.size() + (faults.badCount ? 2 : 1));
  a[5] = module->Net();
  std::copy(data.begin(), data.end(), a.begin() + 6);
  return a;
}

CanFrontend::CanFrontend(SimBus& bus, CanFrontendOptions options) : bus_(bus), options_(options) {}

CanFrontend::~CanFrontend() { Stop(); }

bool CanFrontend::Start(std::string* error) {
  termios raw{};
  ::cfmakeraw(&raw);
  raw.c_cflag |= CLOCAL | CREAD;
  char name[256] = {};
  if (::openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
    if (error) *error = std::string("не удалось открыть псевдотерминал: ") + std::strerror(errno);
    return false;
  }
  devicePath_ = name;
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
  if (::pipe2(wakeFds_, O_CLOEXEC) != 0) {
    if (error) *error = std::string("pipe: ") + std::strerror(errno);
    CloseFd(master_);
    CloseFd(slave_);
    return false;
  }
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void CanFrontend::Stop() {
  if (thread_.joinable()) {
    const std::uint8_t byte = 1;
    while (::write(wakeFds_[1], &byte, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
  }
  for (int& fd : wakeFds_) CloseFd(fd);
  CloseFd(master_);
  CloseFd(slave_);
}

void CanFrontend::Hangup() {
  hangup_ = true;
  if (thread_.joinable()) {
    const std::uint8_t byte = 2;
    while (::write(wakeFds_[1], &byte, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
  }
}

void CanFrontend::Send(std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return;
    pollfd p{master_, POLLOUT, 0};
    if (::poll(&p, 1, 100) <= 0) return;  // nobody reads the line: the answer is lost
  }
}

void CanFrontend::SetFaults(const CanFaults& faults) {
  std::lock_guard lock(faultsMutex_);
  options_.faults = faults;
}

CanFaults CanFrontend::Faults() const {
  std::lock_guard lock(faultsMutex_);
  return options_.faults;
}

void CanFrontend::Handle(const CanUnit& unit) {
  const CanFaults faults = Faults();
  if (unit.kind == CanUnit::Init) {
    ++resets_;
    ownNode_ = unit.bytes[0];
    // Resetting the adapter touches nothing behind it: the modules keep their access levels
    // and run states (an adapter that reports carrier is reset before every frame).
    if (!faults.adapterSilent) Send(CanResetAnswer(faults.noCarrier ? 0 : options_.variant));
    return;
  }
  ++frames_;
  if (onTraffic) onTraffic(true, unit.bytes);
  if (faults.noCarrier) return;
  if (auto answer = AnswerCanFrame(bus_, unit.bytes, faults)) {
    if (onTraffic) onTraffic(false, *answer);
    Send(*answer);
  }
}

void CanFrontend::Serve() {
  std::vector<std::uint8_t> stream;
  for (;;) {
    pollfd fds[2] = {{wakeFds_[0], POLLIN, 0}, {master_, POLLIN, 0}};
    const int ready = ::poll(fds, 2, stream.empty() ? -1 : kStaleUnitMs);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents) break;
    if (ready == 0) {
      stream.clear();  // half a unit and then silence
      continue;
    }
    if (fds[1].revents & POLLIN) {
      std::uint8_t buffer[4096];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n <= 0) {
        // Without a slave side the master only reports hang-ups; wait for the wake-up.
        ::poll(fds, 1, -1);
        break;
      }
      stream.insert(stream.end(), buffer, buffer + n);
      // A flood of bytes that are no unit must not pile up.
      if (stream.size() > 1 << 16) stream.erase(stream.begin(), stream.end() - kInitSize);
      while (auto unit = TakeCanUnit(stream)) Handle(*unit);
    } else if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      ::poll(fds, 1, -1);
      break;
    }
  }
  if (hangup_) {
    CloseFd(master_);
    CloseFd(slave_);
  }
}

bool TakeCanOptions(std::vector<std::string>& args, CanFrontendOptions& options) {
  bool can = false;
  auto on = [](bool& flag) { return [&flag] { flag = true; }; };
  cli::ArgParser()
      .Flag("--can", on(can))
      .Flag("--variant0", [&] { options.variant = 0; })
      .Flag("--wrong-node", on(options.faults.wrongNode))
      .Flag("--bad-count", on(options.faults.badCount))
      .Flag("--adapter-silent", on(options.faults.adapterSilent))
      .Flag("--no-carrier", on(options.faults.noCarrier))
      .Take(args);
  return can;
}

std::string CanHelpText() {
  return "\n"
         "Адаптер CAN-BUS на псевдотерминале:\n"
         "  --can                    открыть псевдотерминал и отвечать на нем как адаптер CAN-BUS;\n"
         "                           печатается имя устройства - его указывают в файле настроек\n"
         "                           конфигуратора, раздел [ComPorts], например COM2=/dev/pts/5\n"
         "  --variant0               отвечать на сброс 30 0A 0D (по умолчанию 40 0A 0D; у\n"
         "                           псевдотерминала нет линии несущей, и при 30 0A 0D конфигуратор\n"
         "                           инициализирует адаптер перед каждым кадром)\n"
         "  --wrong-node             отвечать на узел с соседним номером\n"
         "  --bad-count              отвечать с длиной на байт больше, чем данных\n"
         "  --adapter-silent         адаптер не отвечает на сброс (блок инициализации)\n"
         "  --no-carrier             адаптер потерял шину: на сброс отвечает 30 0A 0D (вариант с\n"
         "                           проверкой несущей), кадры никуда не уходят\n"
         "  --silent, --wrong-packet действуют и на кадры CAN-BUS (на сброс адаптер отвечает всегда)\n";
}

}  // namespace r770::sim
