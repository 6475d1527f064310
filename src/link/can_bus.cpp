#include "link/can_bus.h"

#include <algorithm>
#include <chrono>

#include "common/number_forms.h"

namespace r770 {
namespace {

// Log mark of the adapter variant: variant 0 has none, variant 1 "M".
// Frames one receive line shows at most.
constexpr int kSkippedPerLine = 16;

const char* VariantMark(int variant) { return variant == 1 ? "M" : ""; }

std::int64_t SteadyNs() {
  using namespace std::chrono;
  return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

std::uint8_t CanSpeedCode(std::int32_t kbaud) {
  switch (kbaud) {
    case 150:
      return 0x43;
    case 100:
      return 0x45;
    case 50:
      return 0x4B;
    case 20:
      return 0x5D;
    default:
      return 0x41;  // 300 kbaud, and any speed the adapter does not know
  }
}

InitBlockBytes BuildInitBlock(std::uint8_t ownNode, std::int32_t kbaud) {
  InitBlockBytes b{};
  for (int g = 0; g < 6; ++g) b[g * 4] = ownNode;
  b[24] = 0xFF;
  b[28] = 0xFF;
  b[32] = 0x02;
  b[33] = 0xE0;
  b[34] = CanSpeedCode(kbaud);
  unsigned sum = 0;
  for (int i = 0; i < 35; ++i) sum += b[i];
  b[35] = static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
  return b;
}

int CheckInitAnswer(std::span<const std::uint8_t> answer, int& variant, std::string& line) {
  variant = 0;
  line = "Инициализация CAN-BUS получены данные : " + FormatBytes(answer);
  if (answer.size() < 3) return kDataLength;
  int v;
  if (answer[0] == 0x30)
    v = 0;
  else if (answer[0] == 0x40)
    v = 1;
  else
    return kBadResetAnswer;
  if (answer[1] != 0x0A || answer[2] != 0x0D) return kBadResetAnswer;
  variant = v;
  return kOk;
}

int CheckCanAnswer(std::span<const std::uint8_t> a, std::span<const std::uint8_t> r, int d,
                   std::uint8_t ownNode, std::span<std::uint8_t> out, int& delivered) {
  delivered = 0;
  if (a.size() < kCanFrameSize || r.size() < kCanFrameSize) return kDataLength;
  if ((a[1] & 0x60) != (r[1] & 0x60)) return kCanPacketMismatch;
  if (a[0] != ownNode || a[5] != r[0]) return kOtherNode;
  if (d < 0 || d > 7 || (a[4] & 0x0F) != d + 1) return kDataLength;
  const auto n = std::min<std::size_t>(static_cast<std::size_t>(d), out.size());
  std::copy_n(a.begin() + 6, n, out.begin());
  delivered = d;
  return kOk;
}

T_CanBus::T_CanBus(const TCANbusLink& link, Clock& clock, SerialOpener opener)
    : T_Comport(link, clock, std::move(opener)) {
  OwnNode = static_cast<std::uint8_t>(link.OwnNode);
  InitBlock = BuildInitBlock(OwnNode, link.Speed);
  AdapterVariant = 0;
}

T_CanBus::~T_CanBus() = default;

int T_CanBus::ConfigureLine(int& writeTimeoutPerByteMs) {
  SetSpeedIndex(6);
  SetLineMode();
  writeTimeoutPerByteMs = 10;
  return ResetAdapter();
}

int T_CanBus::ResetAdapter() {
  DiscardInput();
  SetTimeouts(1000, 10);
  // The adapter resets on a DTR pulse; a pseudo-terminal has no DTR line and the simulated
  // adapter takes the init block itself as the reset.
  RaiseDtr();
  GetClock().SleepMs(100);
  DropDtr();
  GetClock().SleepMs(100);
  if (!WritePort(InitBlock)) return kSerialWriteFailed;
  std::uint8_t answer[3] = {};
  std::size_t n = ReadPort(answer);
  if (n == 0) return kAdapterSilent;
  std::string line;
  int code = r770::CheckInitAnswer(std::span<const std::uint8_t>(answer, n), AdapterVariant, line);
  if (code != kOk || AdapterVariant == 1) Log(line + " " + VariantMark(AdapterVariant));
  return code;
}

int T_CanBus::CheckCarrier() {
  const std::int64_t start = SteadyNs();
  int code = kOk;
  if (AdapterVariant != 1) {
    for (int pass = 0; pass < 2; ++pass) {
      std::uint32_t status = ModemStatus();
      if (status & kModemCarrier) {
        RaiseRts();
        code = kOk;
      } else {
        code = ResetAdapter();
        Log("(" + Hex4(status) + " and MS_RLSD_ON)<>MS_RLSD_ON  kod_v=" + std::to_string(code) +
            ErrorText(code == kAdapterSilent ? kAdapterSilent : kNoCarrier));
      }
      if (code == kOk) break;
    }
  }
  Timing.carrierNs += SteadyNs() - start;
  ++Timing.carrierCalls;
  return code;
}

int T_CanBus::CheckCanAnswer(std::span<const std::uint8_t> answer, std::span<const std::uint8_t> request,
                             int d, std::span<std::uint8_t> out, int& delivered) const {
  return r770::CheckCanAnswer(answer, request, d, OwnNode, out, delivered);
}

int T_CanBus::Exchange(int expected, std::uint8_t /*address*/, std::span<const std::uint8_t> request,
                       std::span<std::uint8_t> out, int& delivered) {
  delivered = 0;
  std::array<std::uint8_t, kCanFrameSize> frame{};
  std::copy_n(request.begin(), std::min(request.size(), kCanFrameSize), frame.begin());
  frame[1] = NextPacketNumber();
  const std::string sendLine = ">> " + FormatBytes(frame);
  const int attempts = Retries > 1 ? Retries : 1;
  SetTimeouts(10, 10);

  int code = kNoAnswer;
  for (int attempt = 0; attempt < attempts && code == kNoAnswer; ++attempt) {
    int c = CheckCarrier();
    if (c != kOk) {
      Log(sendLine + " эти данные хотели послать, но не вышло");
      code = c;
    } else {
      Log(sendLine);
      DrainInput();
      DiscardInput();
      if (!WritePort(frame)) {
        code = kSerialWriteFailed;
      } else {
        SetTimeouts(10, 10);
        code = kNoAnswer;
        const std::int64_t deadline = GetClock().NowMs() + 1000LL * TimeoutSec;
        std::string receiveLine = "<< ";
        std::array<std::uint8_t, kCanFrameSize> answer{};
        std::size_t have = 0;
        int skipped = 0;
        while (GetClock().NowMs() <= deadline) {
          std::uint8_t b = 0;
          if (ReadPort({&b, 1}) != 1) continue;
          receiveLine += Hex2(b) + " ";
          answer[have++] = b;
          if (have < kCanFrameSize) continue;
          Log(receiveLine);
          code = CheckCanAnswer(answer, frame, expected, out, delivered);
          if (code == kOk || code == kDataLength) break;
          have = 0;  // not ours: listen for the next 13 bytes
          // The receive line shows the frames skipped before; a line that floods with
          // frames starts afresh now and then instead of growing without end.
          if (++skipped % kSkippedPerLine == 0) receiveLine = "<< ";
        }
      }
    }
    if (code != kOk && code != kDataLength) GetClock().SleepMs(100);
  }
  return code;
}

}  // namespace r770
