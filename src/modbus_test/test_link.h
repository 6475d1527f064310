// The link the Modbus/TCP test reads through: opening a TCP link to the module, passing raw
// request bytes and taking the first answer segment, closing. The program uses the module
// command layer (OpenLink, RawExchange, CloseLink); tests put a scripted module in its place.
#pragma once
#include <cstdint>
#include <span>
#include <string>

namespace r770 {

struct TestLinkParams {
  std::string Host;
  std::uint16_t Port = 0;
  std::int32_t TimeoutSec = 1;
  std::int32_t Retries = 2;
};

// Log handler of the link: (context, text, kind).
using TestLogFn = void (*)(void* context, const std::string& text, int kind);

class ModbusTestLink {
 public:
  virtual ~ModbusTestLink() = default;
  // Opens the link anew (whatever was open before is closed). text: "  OK" or the reason.
  virtual bool Open(const TestLinkParams& params, std::string& text, TestLogFn log, void* context) = 0;
  // Sends the request as it is; on code 0 `answer` holds the received bytes (at most its
  // size) and `length` their count. text: the message of the code.
  virtual int RawExchange(std::span<const std::uint8_t> request, std::span<std::uint8_t> answer, int& length,
                          std::string& text) = 0;
  virtual void Close() = 0;
};

}  // namespace r770
