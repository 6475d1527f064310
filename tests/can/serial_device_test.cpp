// The POSIX serial device on a real pseudo-terminal: raw bytes both ways, read and write
// time-outs, exclusive use, missing devices, a device whose other end goes away.
#include "link/serial_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace r770 {
namespace {

// The far end of a pseudo-terminal, standing in for the adapter.
class PtyPair {
 public:
  PtyPair() {
    char name[256] = {};
    termios raw{};
    ::cfmakeraw(&raw);
    if (::openpty(&master_, &slave_, name, &raw, nullptr) == 0) path_ = name;
  }
  ~PtyPair() {
    CloseMaster();
    if (slave_ >= 0) ::close(slave_);
  }
  const std::string& path() const { return path_; }
  // The slave stays open here so that a hang-up only comes from closing the master.
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  void Send(const std::vector<std::uint8_t>& b) {
    ASSERT_EQ(::write(master_, b.data(), b.size()), static_cast<ssize_t>(b.size()));
  }
  std::vector<std::uint8_t> Receive(std::size_t n, int timeoutMs = 1000) {
    std::vector<std::uint8_t> out;
    while (out.size() < n) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, timeoutMs) <= 0) break;
      std::uint8_t buf[256];
      ssize_t r = ::read(master_, buf, std::min(sizeof buf, n - out.size()));
      if (r <= 0) break;
      out.insert(out.end(), buf, buf + r);
    }
    return out;
  }

 private:
  int master_ = -1, slave_ = -1;
  std::string path_;
};

TEST(PosixSerial, CarriesRawBytesBothWaysWithItsTimeouts) {
  PtyPair pty;
  ASSERT_FALSE(pty.path().empty());
  auto r = OpenPosixSerial(pty.path());
  ASSERT_TRUE(r.device) << SerialOpenErrorText(r.error, r.sysError);
  auto& dev = *r.device;

  SerialLineSettings s;
  ASSERT_TRUE(dev.GetLine(s));
  s.baud = 115200;
  s.dataBits = 8;
  s.ctsFlow = true;
  ASSERT_TRUE(dev.SetLine(s));
  SerialLineSettings back;
  ASSERT_TRUE(dev.GetLine(back));
  EXPECT_EQ(back.baud, 115200);
  EXPECT_EQ(back.dataBits, 8);

  // Bytes that a cooked line would translate or swallow pass unchanged.
  const std::vector<std::uint8_t> frame = {0x0A, 0x0D, 0x03, 0x04, 0x11, 0x13, 0x7F, 0xFF, 0x00};
  ASSERT_TRUE(dev.SetTimeouts(10, 10));
  ASSERT_EQ(dev.Write(frame.data(), frame.size()), static_cast<long>(frame.size()));
  EXPECT_EQ(pty.Receive(frame.size()), frame);

  pty.Send(frame);
  std::vector<std::uint8_t> in(frame.size());
  ASSERT_TRUE(dev.SetTimeouts(1000, 10));
  EXPECT_EQ(dev.Read(in.data(), in.size()), frame.size());
  EXPECT_EQ(in, frame);

  // A read of more than has come returns what has come once its time-out runs out.
  pty.Send({0x40, 0x0A});
  ASSERT_TRUE(dev.SetTimeouts(20, 10));
  std::uint8_t three[3] = {};
  EXPECT_EQ(dev.Read(three, 3), 2u);
  EXPECT_EQ(three[0], 0x40);
  EXPECT_EQ(dev.Read(three, 3), 0u);

  // Waiting input is discarded.
  pty.Send({1, 2, 3});
  std::uint8_t one = 0;
  ASSERT_EQ(dev.Read(&one, 1), 1u);  // the bytes have reached the port
  EXPECT_TRUE(dev.DiscardInput());
  EXPECT_EQ(dev.Read(three, 3), 0u);

  // A pseudo-terminal has no modem lines: no carrier, and DTR/RTS requests fail harmlessly.
  EXPECT_EQ(dev.ModemStatus() & kModemCarrier, 0u);
  dev.SetDtr(true);
  dev.SetDtr(false);
  dev.SetRts(true);
  EXPECT_EQ(dev.Write(frame.data(), 1), 1);
}

TEST(PosixSerial, RefusesMissingBusyAndNonTerminalDevices) {
  PtyPair pty;
  auto first = OpenPosixSerial(pty.path());
  ASSERT_TRUE(first.device);
  auto second = OpenPosixSerial(pty.path());
  EXPECT_FALSE(second.device);
  EXPECT_EQ(second.error, SerialOpenError::Busy);
  EXPECT_EQ(SerialOpenErrorText(second.error, second.sysError), "устройство занято другим приложением");
  first.device.reset();
  EXPECT_TRUE(OpenPosixSerial(pty.path()).device) << "closing gives the device free again";

  struct Case {
    std::string path;
    SerialOpenError error;
    const char* text;  // what the log says of it
  } cases[] = {{"/dev/r770-no-such-port", SerialOpenError::Missing, "нет такого устройства"},
               {"", SerialOpenError::Missing, "нет такого устройства"},
               {"/dev/null", SerialOpenError::NotTty, "устройство не является последовательным портом"}};
  for (const auto& c : cases) {
    auto r = OpenPosixSerial(c.path);
    EXPECT_FALSE(r.device) << c.path;
    EXPECT_EQ(r.error, c.error) << c.path;
    EXPECT_EQ(SerialOpenErrorText(r.error, r.sysError), c.text) << c.path;
  }
  EXPECT_EQ(SerialOpenErrorText(SerialOpenError::Other, 5), "ошибка открытия, код системы 5");
}

TEST(PosixSerial, DeviceWhoseOtherEndVanishesFailsWritesAndReadsNothing) {
  PtyPair pty;
  auto r = OpenPosixSerial(pty.path());
  ASSERT_TRUE(r.device);
  auto& dev = *r.device;
  pty.CloseMaster();
  ASSERT_TRUE(dev.SetTimeouts(10, 10));
  std::uint8_t buf[13] = {};
  EXPECT_EQ(dev.Read(buf, sizeof buf), 0u);
  EXPECT_EQ(dev.Write(buf, sizeof buf), -1);
}

}  // namespace
}  // namespace r770
