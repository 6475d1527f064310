#include "link/serial_device.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace r770 {
namespace {

std::int64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Every system call that can be interrupted goes through here.
template <typename F>
auto RetryEintr(F f) {
  for (;;) {
    auto r = f();
    if (r == -1 && errno == EINTR) continue;
    return r;
  }
}

// Waits out the rest of a time-out without watching any descriptor, so that a device which
// has gone away costs its time-outs like a silent one instead of making callers spin.
void WaitUntil(std::int64_t deadline) {
  for (;;) {
    std::int64_t left = deadline - SteadyMs();
    if (left <= 0) return;
    ::poll(nullptr, 0, static_cast<int>(left));
  }
}

struct SpeedCode {
  int baud;
  speed_t code;
};
constexpr SpeedCode kSpeeds[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},
                                 {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};

speed_t SpeedToCode(int baud) {
  for (const auto& s : kSpeeds)
    if (s.baud == baud) return s.code;
  return B115200;
}

int CodeToSpeed(speed_t code) {
  for (const auto& s : kSpeeds)
    if (s.code == code) return s.baud;
  return 0;
}

class PosixSerial final : public SerialDevice {
 public:
  explicit PosixSerial(int fd) : fd_(fd) {}
  ~PosixSerial() override {
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);  // the advisory lock goes with the descriptor
  }

  bool GetLine(SerialLineSettings& s) override {
    termios t{};
    if (RetryEintr([&] { return ::tcgetattr(fd_, &t); }) != 0) return false;
    s.baud = CodeToSpeed(::cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
      case CS5:
        s.dataBits = 5;
        break;
      case CS6:
        s.dataBits = 6;
        break;
      case CS7:
        s.dataBits = 7;
        break;
      default:
        s.dataBits = 8;
        break;
    }
    s.parity = (t.c_cflag & PARENB) != 0;
    s.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    s.ctsFlow = (t.c_cflag & CRTSCTS) != 0;
    return true;
  }

  bool SetLine(const SerialLineSettings& s) override {
    termios t{};
    if (RetryEintr([&] { return ::tcgetattr(fd_, &t); }) != 0) return false;
    MakeRaw(t);
    ::cfsetispeed(&t, SpeedToCode(s.baud));
    ::cfsetospeed(&t, SpeedToCode(s.baud));
    t.c_cflag &= ~CSIZE;
    t.c_cflag |= s.dataBits == 5 ? CS5 : s.dataBits == 6 ? CS6 : s.dataBits == 7 ? CS7 : CS8;
    if (s.parity) {
      t.c_cflag |= PARENB;
      t.c_iflag |= INPCK;
    } else {
      t.c_cflag &= ~PARENB;
      t.c_iflag &= ~INPCK;
    }
    if (s.stopBits == 2)
      t.c_cflag |= CSTOPB;
    else
      t.c_cflag &= ~CSTOPB;
    if (s.ctsFlow)
      t.c_cflag |= CRTSCTS;
    else
      t.c_cflag &= ~CRTSCTS;
    return RetryEintr([&] { return ::tcsetattr(fd_, TCSANOW, &t); }) == 0;
  }

  bool SetTimeouts(int readTotalMs, int writePerByteMs) override {
    readTotalMs_ = readTotalMs;
    writePerByteMs_ = writePerByteMs;
    return true;
  }

  bool DiscardInput() override {
    return RetryEintr([&] { return ::tcflush(fd_, TCIFLUSH); }) == 0;
  }

  bool SetDtr(bool on) override { return SetLineBit(TIOCM_DTR, on); }
  bool SetRts(bool on) override { return SetLineBit(TIOCM_RTS, on); }

  std::uint32_t ModemStatus() override {
    int bits = 0;
    // A pseudo-terminal has no modem lines: no carrier, nothing else either.
    if (RetryEintr([&] { return ::ioctl(fd_, TIOCMGET, &bits); }) != 0) return 0;
    std::uint32_t s = 0;
    if (bits & TIOCM_CTS) s |= kModemCts;
    if (bits & TIOCM_DSR) s |= kModemDsr;
    if (bits & TIOCM_RNG) s |= kModemRing;
    if (bits & TIOCM_CAR) s |= kModemCarrier;
    return s;
  }

  long Write(const std::uint8_t* data, std::size_t n) override {
    // A per-byte time-out of 0 means no time limit.
    const bool limited = writePerByteMs_ > 0;
    const std::int64_t deadline =
        SteadyMs() + static_cast<std::int64_t>(writePerByteMs_) * static_cast<std::int64_t>(n);
    std::size_t done = 0;
    while (done < n) {
      ssize_t w = RetryEintr([&] { return ::write(fd_, data + done, n - done); });
      if (w > 0) {
        done += static_cast<std::size_t>(w);
        continue;
      }
      if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return -1;
      int wait = -1;
      if (limited) {
        std::int64_t left = deadline - SteadyMs();
        if (left <= 0) break;
        wait = static_cast<int>(left);
      }
      pollfd p{fd_, POLLOUT, 0};
      int r = RetryEintr([&] { return ::poll(&p, 1, wait); });
      if (r < 0) return -1;
      if (r == 0) break;  // the write time-out ran out: what went out is the result
      if ((p.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(p.revents & POLLOUT)) return -1;
    }
    return static_cast<long>(done);
  }

  std::size_t Read(std::uint8_t* data, std::size_t n) override {
    // In raw mode without VMIN/VTIME a read with nothing waiting returns 0 at once, so the
    // waiting is done by poll; a hang-up or error wakes poll for good, and then the rest of
    // the time-out is waited out as on a silent line.
    const std::int64_t deadline = SteadyMs() + (readTotalMs_ > 0 ? readTotalMs_ : 0);
    std::size_t got = 0;
    while (got < n) {
      std::int64_t left = deadline - SteadyMs();
      pollfd p{fd_, POLLIN, 0};
      int pr = RetryEintr([&] { return ::poll(&p, 1, static_cast<int>(left > 0 ? left : 0)); });
      if (pr == 0) break;  // the time-out ran out
      bool gone = pr < 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL));
      if (!gone && (p.revents & POLLIN)) {
        ssize_t r = RetryEintr([&] { return ::read(fd_, data + got, n - got); });
        if (r > 0) {
          got += static_cast<std::size_t>(r);
          continue;
        }
        gone = r == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
      }
      if (gone) {
        WaitUntil(deadline);
        break;
      }
    }
    return got;
  }

 private:
  static void MakeRaw(termios& t) {
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
  }

  bool SetLineBit(int bit, bool on) {
    // Fails on a pseudo-terminal, which has no DTR or RTS line; callers ignore that.
    return RetryEintr([&] { return ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit); }) == 0;
  }

  int fd_;
  int readTotalMs_ = 0;
  int writePerByteMs_ = 0;
};

SerialOpenError ErrorOf(int e) {
  switch (e) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTDIR:
      return SerialOpenError::Missing;
    case EBUSY:
    case EWOULDBLOCK:
      return SerialOpenError::Busy;
    case EACCES:
    case EPERM:
    case EROFS:
      return SerialOpenError::NoPermission;
    case ENOTTY:
      return SerialOpenError::NotTty;
    default:
      return SerialOpenError::Other;
  }
}

}  // namespace

SerialOpenResult OpenPosixSerial(const std::string& path) {
  SerialOpenResult res;
  auto fail = [&](int e) {
    res.error = ErrorOf(e);
    res.sysError = e;
    return std::move(res);
  };
  if (path.empty()) return fail(ENOENT);
  // Non-blocking, so that opening a real port does not wait for carrier; every read and
  // write then waits in poll under its time-out.
  int fd = RetryEintr([&] { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
  if (fd < 0) return fail(errno);
  auto closeFail = [&](int e) {
    ::close(fd);
    return fail(e);
  };
  if (!::isatty(fd)) return closeFail(ENOTTY);
  if (RetryEintr([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) != 0)
    return closeFail(errno == EWOULDBLOCK ? EBUSY : errno);
  if (::ioctl(fd, TIOCEXCL) != 0) return closeFail(errno);
  termios t{};
  if (RetryEintr([&] { return ::tcgetattr(fd, &t); }) != 0) return closeFail(errno);
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  if (RetryEintr([&] { return ::tcsetattr(fd, TCSANOW, &t); }) != 0) {
    int e = errno;
    ::ioctl(fd, TIOCNXCL);
    return closeFail(e);
  }
  res.device = std::make_unique<PosixSerial>(fd);
  return res;
}

std::string SerialOpenErrorText(SerialOpenError e, int sysError) {
  switch (e) {
    case SerialOpenError::None:
      return "открыто";
    case SerialOpenError::Missing:
      return "нет такого устройства";
    case SerialOpenError::Busy:
      return "устройство занято другим приложением";
    case SerialOpenError::NoPermission:
      return "нет прав доступа к устройству";
    case SerialOpenError::NotTty:
      return "устройство не является последовательным портом";
    case SerialOpenError::Other:
      break;
  }
  return "ошибка открытия, код системы " + std::to_string(sysError);
}

}  // namespace r770
