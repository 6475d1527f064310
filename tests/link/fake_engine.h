// An engine without a transport: it records every request and answers from a script.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "link/exchange_engine.h"

namespace r770::test {

struct RecordedRequest {
  std::vector<std::uint8_t> bytes;  // the RequestBlock or the CanFrame as handed to Exchange
  int expected = 0;
  std::uint8_t address = 0;
  std::int32_t timeoutSec = 0;  // the engine's timing at the time of the request
  std::int32_t retries = 0;
};

class FakeEngine : public TBase_Obmen {
 public:
  // Answers one request: fills `out` and `delivered`, returns the code.
  using Script = std::function<int(const RecordedRequest&, std::span<std::uint8_t> out, int& delivered)>;

  FakeEngine(const TCustomLink& link, Clock& clock) : TBase_Obmen(link, clock) {}
  ~FakeEngine() override { Close(); }

  int Exchange(int expected, std::uint8_t address, std::span<const std::uint8_t> request,
               std::span<std::uint8_t> out, int& delivered) override {
    RecordedRequest r{{request.begin(), request.end()}, expected, address, TimeoutSec, Retries};
    requests.push_back(r);
    delivered = 0;
    return script ? script(r, out, delivered) : 0;
  }
  int Open(std::string& description) override {
    description = "FAKE ";
    ++opened;
    return openCode;
  }
  void Close() override {
    if (closed) ++*closed;
  }

  Script script;
  std::vector<RecordedRequest> requests;
  int openCode = 0;
  int opened = 0;
  int* closed = nullptr;
};

// Script helper: answers every request with `code` and the given data bytes.
inline FakeEngine::Script AnswerWith(int code, std::vector<std::uint8_t> data = {}) {
  return [code, data](const RecordedRequest& r, std::span<std::uint8_t> out, int& delivered) {
    if (code != 0) return code;
    for (std::size_t i = 0; i < data.size() && i < out.size(); ++i) out[i] = data[i];
    delivered = r.expected;
    return 0;
  };
}

}  // namespace r770::test
