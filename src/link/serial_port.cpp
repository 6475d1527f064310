#include "link/serial_port.h"

#include <chrono>

namespace r770 {
namespace {

std::int64_t SteadyNs() {
  using namespace std::chrono;
  return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

std::string DefaultComDevice(int portNumber) { return "/dev/ttyS" + std::to_string(portNumber - 1); }

T_Comport::T_Comport(const TRSLink& link, Clock& clock, SerialOpener opener)
    : TBase_Obmen(link, clock), RSLink(link), opener_(std::move(opener)) {}

T_Comport::~T_Comport() { T_Comport::Close(); }

int T_Comport::Open(std::string& description) {
  if (PortHandle) Close();
  description = "COM" + std::to_string(RSLink.PortNumber);
  devicePath_ = RSLink.DevicePath.empty() ? DefaultComDevice(RSLink.PortNumber) : RSLink.DevicePath;
  SerialOpenResult r = opener_ ? opener_(devicePath_) : SerialOpenResult{};
  if (!r.device) {
    // The user sees which device stood behind the port name and why it failed.
    Log("Не удалось открыть порт " + description + " (устройство " + devicePath_ +
        "): " + SerialOpenErrorText(r.error, r.sysError));
    return kPortOpenFailed;
  }
  PortHandle = std::move(r.device);
  int writePerByte = 0;
  int code = ConfigureLine(writePerByte);
  SetTimeouts(120, writePerByte);
  DiscardInput();
  return code;
}

void T_Comport::Close() {
  if (!PortHandle) return;
  SerialLineSettings s;
  if (PortHandle->GetLine(s)) {
    s.parity = false;
    s.ctsFlow = false;
    PortHandle->SetLine(s);
  }
  PortHandle.reset();
}

int T_Comport::SetSpeedIndex(int index) {
  if (PortHandle) {
    SerialLineSettings s;
    PortHandle->GetLine(s);
    if (index >= 0 && index < 7) s.baud = kSerialSpeeds[index];
    s.dataBits = 8;
    PortHandle->SetLine(s);
  }
  GetClock().SleepMs(100);
  return index;
}

void T_Comport::SetLineMode() {
  if (!PortHandle) return;
  SerialLineSettings s;
  PortHandle->GetLine(s);
  s.parity = false;
  s.dataBits = 8;
  s.baud = 115200;
  s.stopBits = 1;
  s.ctsFlow = true;
  PortHandle->SetLine(s);
}

void T_Comport::SetTimeouts(int readTotalMs, int writePerByteMs) {
  if (PortHandle) PortHandle->SetTimeouts(readTotalMs, writePerByteMs);
}

void T_Comport::DrainInput() {
  std::int64_t start = SteadyNs();
  SetTimeouts(10, 500);
  std::uint8_t b = 0;
  // A line that never falls silent (a babbling device) would hold this loop for ever; it
  // ends after the answer time of a request (at least a second) and the frame goes out anyway.
  const std::int64_t limit = GetClock().NowMs() + 1000LL * (TimeoutSec > 1 ? TimeoutSec : 1);
  for (long i = 0; i < (1L << 24); ++i) {
    if (ReadPort({&b, 1}) == 0) break;
    if ((i & 255) == 255 && GetClock().NowMs() > limit) break;
  }
  Timing.drainNs += SteadyNs() - start;
  ++Timing.drainCalls;
}

bool T_Comport::DiscardInput() { return PortHandle && PortHandle->DiscardInput(); }
bool T_Comport::RaiseDtr() { return PortHandle && PortHandle->SetDtr(true); }
bool T_Comport::DropDtr() { return PortHandle && PortHandle->SetDtr(false); }
bool T_Comport::RaiseRts() { return PortHandle && PortHandle->SetRts(true); }
std::uint32_t T_Comport::ModemStatus() { return PortHandle ? PortHandle->ModemStatus() : 0; }

bool T_Comport::WritePort(std::span<const std::uint8_t> data) {
  return PortHandle && PortHandle->Write(data.data(), data.size()) >= 0;
}

std::size_t T_Comport::ReadPort(std::span<std::uint8_t> data) {
  if (!PortHandle) return 0;
  std::size_t n = PortHandle->Read(data.data(), data.size());
  return n > data.size() ? data.size() : n;
}

}  // namespace r770
