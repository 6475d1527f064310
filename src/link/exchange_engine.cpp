#include "link/exchange_engine.h"

#include <algorithm>
#include <array>

namespace r770 {

namespace {

constexpr std::array<const char*, 36> kErrorTexts{
#include "link/error_texts.inc"
};

void PutWord(std::vector<std::uint8_t>& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

// A request block: the length byte, then the user bytes.
std::vector<std::uint8_t> Ft12Block(const std::vector<std::uint8_t>& userData) {
  std::vector<std::uint8_t> block;
  block.reserve(userData.size() + 1);
  block.push_back(static_cast<std::uint8_t>(userData.size()));
  block.insert(block.end(), userData.begin(), userData.end());
  return block;
}

}  // namespace

std::string ErrorText(int code) {
  if (code >= 0 && code < static_cast<int>(kErrorTexts.size())) return kErrorTexts[code];
  return "Неопределенный код ошибки " + std::to_string(code);
}

std::string FormatBytes(std::span<const std::uint8_t> bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 3);
  for (std::uint8_t b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0x0F]);
    text.push_back(' ');
  }
  return text;
}

std::vector<std::uint8_t> BuildFrame(std::span<const std::uint8_t> block, std::uint8_t packet,
                                     std::uint8_t address) {
  if (block.empty()) return {};
  const std::size_t len = block[0];
  if (len < 1 || len > kMaxBlockData || block.size() < len + 1) return {};
  const auto data = block.subspan(1, len);
  const std::uint8_t control = static_cast<std::uint8_t>(0x40 + packet);
  std::vector<std::uint8_t> frame;
  std::uint8_t sum = static_cast<std::uint8_t>(control + address);
  if (len > 4) {
    frame.reserve(len + 8);
    const auto l2 = static_cast<std::uint8_t>(len + 2);
    frame.insert(frame.end(), {0x68, l2, l2, 0x68, control, address});
    for (std::uint8_t b : data) {
      frame.push_back(b);
      sum = static_cast<std::uint8_t>(sum + b);
    }
  } else {
    frame.reserve(9);
    frame.insert(frame.end(), {0x10, control, address});
    for (std::size_t i = 0; i < 4; ++i) {
      const std::uint8_t b = i < len ? data[i] : 0;
      frame.push_back(b);
      sum = static_cast<std::uint8_t>(sum + b);
    }
  }
  frame.push_back(sum);
  frame.push_back(0x16);
  return frame;
}

int CheckFrame(std::span<const std::uint8_t> received, int expected, std::uint8_t address,
               std::uint8_t packet, std::span<std::uint8_t> out, int& delivered) {
  delivered = 0;
  const std::size_t n = received.size();
  if (n == 0) return kNoAnswer;
  const auto& b = received;
  if (b[0] == 0xA2) return kPositiveReceipt;
  if (b[0] == 0xE5) return kNegativeReceipt;

  std::size_t h = 1;  // position of the control byte
  bool isLong = false;
  int dataLength = 4;
  if (b[0] == 0x68) {
    if (n < 4 || b[3] != 0x68) return kSecondStartByte;
    if (b[1] != b[2]) return kLengthBytesDiffer;
    h = 4;
    isLong = true;
    dataLength = b[1] - 2;
  }
  // A byte that was not received matches nothing.
  if (n <= h || b[h] != (packet & 0x0F)) return kPacketMismatch;
  if (n <= h + 1 || b[h + 1] != address) return kAddressMismatch;
  // The checksum and end byte positions follow from the count received, so in an answer cut
  // short they fall on the control or address byte (the first segment 10 01 01 81 of a split
  // answer sums to its checksum and fails on its end byte); nothing past the end is read.
  std::uint8_t sum = 0;
  for (std::size_t i = h; i + 3 <= n; ++i) sum = static_cast<std::uint8_t>(sum + b[i]);
  if (sum != b[n - 2]) return kChecksum;
  if (b[n - 1] != 0x16) return kEndByte;
  if (expected > 0 && isLong && dataLength != expected) return kDataLength;

  // The data actually received lie between the address byte and the checksum; an answer
  // that does not hold the expected count (a long frame whose length bytes point past the
  // received bytes, a cut short frame) cannot deliver it.
  const std::size_t available = n >= h + 4 ? n - h - 4 : 0;
  const std::size_t want = expected > 0 ? static_cast<std::size_t>(expected) : 0;
  if (want > available) return kDataLength;
  const std::size_t count = std::min(want, out.size());
  std::copy_n(b.begin() + static_cast<std::ptrdiff_t>(h + 2), count, out.begin());
  delivered = static_cast<int>(count);
  return kOk;
}

std::vector<std::uint8_t> BuildCanRequest(std::uint8_t address, std::uint8_t ownNode,
                                          std::span<const std::uint8_t> codeAndArgs) {
  std::vector<std::uint8_t> frame(kCanFrameSize, 0);
  const std::size_t k = std::min<std::size_t>(codeAndArgs.size(), kCanFrameSize - 6);
  frame[0] = address;
  frame[4] = static_cast<std::uint8_t>(k + 1);
  frame[5] = ownNode;
  std::copy_n(codeAndArgs.begin(), k, frame.begin() + 6);
  return frame;
}

TBase_Obmen::TBase_Obmen(const TCustomLink& link, Clock& clock)
    : Link(link),
      FrameMode(link.Kind == kLinkCanBus ? FrameCan : FrameFt12),
      LineMode(link.Kind == kLinkCanBus ? LineCanAdapter : 0),
      TimeoutSec(link.TimeoutSec),
      Retries(link.Retries),
      clock_(clock) {}

TBase_Obmen::~TBase_Obmen() = default;

int TBase_Obmen::ConfigureLine(int& writeTimeoutPerByteMs) {
  writeTimeoutPerByteMs = 0;
  return kOk;
}

int TBase_Obmen::Transact(std::span<const std::uint8_t>, int, std::uint8_t, std::uint8_t, std::uint8_t,
                          std::span<std::uint8_t>, int& delivered) {
  delivered = 0;
  return -1;
}

void TBase_Obmen::Log(const std::string& text) {
  if (OnLog) OnLog(OnLogContext, text, 0);
}

void TBase_Obmen::OverrideTiming(std::int32_t timeoutSec, std::int32_t retries) {
  TimeoutSec = timeoutSec;
  Retries = retries;
}

void TBase_Obmen::RestoreTiming() {
  TimeoutSec = Link.TimeoutSec;
  Retries = Link.Retries;
}

std::uint8_t TBase_Obmen::NextPacketNumber() {
  if (FrameMode == FrameCan) {
    if (PacketCounter == 0x80 || PacketCounter == 0xA0 || PacketCounter == 0xC0)
      PacketCounter += 0x20;
    else
      PacketCounter = 0x80;
  } else {
    if (PacketCounter >= 15)
      PacketCounter = 0;
    else
      ++PacketCounter;
  }
  return static_cast<std::uint8_t>(PacketCounter & 0xFF);
}

int TBase_Obmen::Request(std::uint8_t address, std::uint8_t ft12Code, std::uint8_t canCode,
                         std::span<const std::uint8_t> args, int expectedFt12, int expectedCan,
                         std::span<std::uint8_t> out, int& delivered) {
  delivered = 0;
  std::vector<std::uint8_t> body;
  body.reserve(args.size() + 1);
  if (FrameMode == FrameCan) {
    // A CanFrame holds the code and at most six argument bytes; the answer at most 7 data bytes.
    if (args.size() > kCanFrameSize - 7 || expectedCan > 7) return kDataLength;
    body.push_back(canCode);
    body.insert(body.end(), args.begin(), args.end());
    const auto frame = BuildCanRequest(address, OwnNode, body);
    return Exchange(expectedCan, address, frame, out, delivered);
  }
  if (args.size() + 1 > kMaxBlockData) return kDataLength;
  body.push_back(ft12Code);
  body.insert(body.end(), args.begin(), args.end());
  const auto block = Ft12Block(body);
  return Exchange(expectedFt12, address, block, out, delivered);
}

int TBase_Obmen::ReadParam(std::uint8_t address, std::uint16_t param, std::span<std::uint8_t> out) {
  std::vector<std::uint8_t> args;
  PutWord(args, param);
  const int n = static_cast<int>(out.size());
  int delivered = 0;
  return Request(address, 0x01, 0x02, args, n, n, out, delivered);
}

int TBase_Obmen::WriteParam(std::uint8_t address, std::uint16_t param, std::span<const std::uint8_t> data) {
  if (data.empty() || (FrameMode == FrameCan && data.size() > 4)) return kDataLength;
  std::vector<std::uint8_t> args;
  PutWord(args, param);
  args.insert(args.end(), data.begin(), data.end());
  std::array<std::uint8_t, 1> answer{};
  int delivered = 0;
  const int code = Request(address, 0x05, 0x03, args, 0, 1, answer, delivered);
  return code == kPositiveReceipt ? kOk : code;
}

int TBase_Obmen::WriteElement(std::uint8_t address, std::uint16_t param, std::uint16_t index,
                              std::span<const std::uint8_t> data, bool first) {
  if (data.empty() || (FrameMode == FrameCan && data.size() > 4)) return kDataLength;
  std::array<std::uint8_t, 1> answer{};
  int delivered = 0;
  std::vector<std::uint8_t> args;
  if (FrameMode == FrameCan) {
    if (first) {
      // The array is chosen by a frame of its own before its first element.
      PutWord(args, param);
      int code = Request(address, 0x00, 0x06, args, 0, 1, answer, delivered);
      if (code == kPositiveReceipt) code = kOk;
      if (code != kOk) return code;
      args.clear();
    }
    PutWord(args, index);
  } else {
    PutWord(args, param);
    PutWord(args, index);
  }
  args.insert(args.end(), data.begin(), data.end());
  const int code = Request(address, 0x16, 0x07, args, 0, 1, answer, delivered);
  return code == kPositiveReceipt ? kOk : code;
}

int TBase_Obmen::OpenAccess(std::uint8_t address, std::uint8_t level) {
  const std::array<std::uint8_t, 1> args{level};
  std::array<std::uint8_t, 1> answer{};
  int delivered = 0;
  const int code = Request(address, 0x17, 0x05, args, 1, 1, answer, delivered);
  if (code != kOk) return code;
  return (answer[0] & 0x0F) == level ? kOk : kAccessDenied;
}

int TBase_Obmen::ReadElement(std::uint8_t address, std::uint16_t param, std::uint16_t index,
                             std::span<std::uint8_t> out) {
  std::vector<std::uint8_t> args;
  PutWord(args, param);
  PutWord(args, index);
  const int s = static_cast<int>(out.size());
  int delivered = 0;
  return Request(address, 0x15, 0x08, args, s, s, out, delivered);
}

int TBase_Obmen::ReadDeviceType(std::uint8_t address, std::uint16_t& deviceType) {
  std::array<std::uint8_t, 2> answer{};
  const int code = ReadParam(address, ParamDeviceType, answer);
  if (code == kOk) deviceType = static_cast<std::uint16_t>(answer[0] + 256 * answer[1]);
  return code;
}

}  // namespace r770
