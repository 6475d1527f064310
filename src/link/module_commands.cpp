#include "link/module_commands.h"

#include <array>
#include <map>

#include "common/number_forms.h"
#include "link/can_bus_factory.h"
#include "link/tcp_link.h"

namespace r770 {

namespace {

std::unique_ptr<TBase_Obmen> g_engine;
std::uint8_t g_lastRunState = 0;
Clock* g_clock = nullptr;

std::map<std::uint8_t, EngineFactory>& Factories() {
  static std::map<std::uint8_t, EngineFactory> factories;
  return factories;
}

std::unique_ptr<TBase_Obmen> MakeEngine(const TCustomLink& link, Clock& clock) {
  auto& factories = Factories();
  if (auto it = factories.find(link.Kind); it != factories.end()) return it->second(link, clock);
  if (link.Kind == kLinkCanBus) return MakeCanBusEngine(link, clock);
  if (link.Kind == kLinkTcp) {
    if (const auto* tcp = dynamic_cast<const TTCPLink*>(&link))
      return std::make_unique<T_TCPObmen>(*tcp, clock);
  }
  return nullptr;
}

void SetText(std::string* text, const std::string& value) {
  if (text) *text = value;
}

// The code's text for the functions that report every outcome.
int Report(int code, std::string* text) {
  SetText(text, ErrorText(code));
  return code;
}

int NoEngine(std::string* text) {
  SetText(text, kNoLinkText);
  return -1;
}

void SetCode(int* out, int code) {
  if (out) *out = code;
}

}  // namespace

void SetEngineFactory(std::uint8_t kind, EngineFactory factory) {
  if (factory)
    Factories()[kind] = std::move(factory);
  else
    Factories().erase(kind);
}

void SetLinkClock(Clock* clock) { g_clock = clock; }

TBase_Obmen* CurrentEngine() { return g_engine.get(); }

std::uint8_t LastRunState() { return g_lastRunState; }

bool OpenLink(const TCustomLink& link, std::string* text, LogFn handler, void* context, int* codeOut) {
  SetText(text, "");
  g_engine.reset();
  g_engine = MakeEngine(link, g_clock ? *g_clock : SystemClock());
  if (!g_engine) {
    SetText(text, kNoLinkText);
    SetCode(codeOut, -1);
    return false;
  }
  g_engine->OnLog = handler;
  g_engine->OnLogContext = context;
  std::string description;
  const int code = g_engine->Open(description);
  SetCode(codeOut, code);
  SetText(text, ErrorText(code));
  if (code != 0 && handler) handler(context, description + ErrorText(code), 1);
  if (code > 0) SetText(text, description + "\r" + Trim(ErrorText(code)));
  return code == 0;
}

bool CloseLink() {
  g_engine.reset();
  return true;
}

int ProbeModule(std::uint8_t net, FoundFn handler, void* context) {
  if (!g_engine) return -1;
  g_engine->OverrideTiming(1, 1);
  std::uint16_t deviceType = 0;
  const int code = g_engine->ReadDeviceType(net, deviceType);
  if (code == kOk && handler) handler(context, deviceType, net);
  g_engine->RestoreTiming();
  return code;
}

bool LoginModule(std::uint8_t net, std::uint8_t level, std::string* text, int* codeOut) {
  if (!g_engine) return SetCode(codeOut, NoEngine(text)), false;
  const int code = g_engine->OpenAccess(net, level);
  if (code != kOk) SetText(text, ErrorText(code));
  SetCode(codeOut, code);
  return code == kOk;
}

int WriteModuleParam(std::uint8_t net, std::uint16_t param, std::span<const std::uint8_t> data,
                     std::string* text) {
  if (!g_engine) return NoEngine(text);
  return Report(g_engine->WriteParam(net, param, data), text);
}

int WriteModuleElement(std::uint8_t net, std::uint16_t param, std::span<const std::uint8_t> data, bool first,
                       std::uint16_t index, std::string* text) {
  if (!g_engine) return NoEngine(text);
  return Report(g_engine->WriteElement(net, param, index, data, first), text);
}

int WriteModuleArray(std::uint8_t net, std::uint16_t param, int elementSize, int count,
                     std::span<const std::uint8_t> data, std::string* text) {
  if (!g_engine) return NoEngine(text);
  if (count <= 0) return Report(kOk, text);
  // The caller's data must hold every element; indexes are 16-bit.
  if (elementSize < 1 || count > 0x10000 ||
      data.size() < static_cast<std::size_t>(count) * static_cast<std::size_t>(elementSize))
    return Report(kDataLength, text);
  const auto s = static_cast<std::size_t>(elementSize);
  int code = kOk;
  for (int i = 0; i < count && code == kOk; ++i) {
    code = g_engine->WriteElement(net, param, static_cast<std::uint16_t>(i),
                                  data.subspan(static_cast<std::size_t>(i) * s, s), i == 0);
  }
  return Report(code, text);
}

bool SetRunState(std::uint8_t net, bool stop, std::string* text, int* codeOut) {
  if (!g_engine) return SetCode(codeOut, NoEngine(text)), false;
  SetCode(codeOut, kOk);
  auto fail = [text, codeOut](int code) {
    SetText(text, ErrorText(code));
    SetCode(codeOut, code);
    return false;
  };
  std::array<std::uint8_t, 1> state{};
  int code = g_engine->ReadParam(net, ParamRunState, state);
  if (code != kOk) return fail(code);
  g_lastRunState = state[0];

  const std::uint8_t target = stop ? 1 : 0;
  const std::uint8_t confirming = stop ? 0x81 : 0;
  const std::int64_t waitMs = stop ? 10000 : 2000;
  if (state[0] == target || state[0] == confirming) return Report(kOk, text), true;

  const std::array<std::uint8_t, 1> value{target};
  code = g_engine->WriteParam(net, ParamRunState, value);
  if (code != kOk) return fail(code);

  Clock& clock = g_engine->GetClock();
  const std::int64_t deadline = clock.NowMs() + waitMs;
  while (clock.NowMs() < deadline) {
    clock.SleepMs(100);
    code = g_engine->ReadParam(net, ParamRunState, state);
    if (code == kOk && state[0] == confirming) return Report(kOk, text), true;
  }
  if (code == kOk) code = stop ? kNotStopped : kNotRunning;
  return fail(code);
}

int ReadModuleParam(std::uint8_t net, std::uint16_t param, std::span<std::uint8_t> buffer,
                    std::string* text) {
  if (!g_engine) return NoEngine(text);
  return Report(g_engine->ReadParam(net, param, buffer), text);
}

int ReadModuleElement(std::uint8_t net, std::uint16_t param, std::uint16_t index, int elementSize,
                      std::span<std::uint8_t> buffer, std::string* text) {
  if (!g_engine) return NoEngine(text);
  if (elementSize < 1 || buffer.size() < static_cast<std::size_t>(elementSize))
    return Report(kDataLength, text);
  return Report(g_engine->ReadElement(net, param, index, buffer.first(static_cast<std::size_t>(elementSize))),
                text);
}

int ReadModuleArray(std::uint8_t net, std::uint16_t param, int count, int elementSize,
                    std::span<std::uint8_t> buffer, std::string* text) {
  if (!g_engine) return NoEngine(text);
  if (count <= 0) return Report(kOk, text);
  if (elementSize < 1 || count > 0x10000 ||
      buffer.size() < static_cast<std::size_t>(count) * static_cast<std::size_t>(elementSize))
    return Report(kDataLength, text);
  const auto s = static_cast<std::size_t>(elementSize);
  int code = kOk;
  for (int i = 0; i < count && code == kOk; ++i) {
    code = g_engine->ReadElement(net, param, static_cast<std::uint16_t>(i),
                                 buffer.subspan(static_cast<std::size_t>(i) * s, s));
  }
  return Report(code, text);
}

int RawExchange(std::span<const std::uint8_t> request, std::span<std::uint8_t> buffer, int& answerLength,
                std::string* text) {
  answerLength = 0;
  auto* tcp = dynamic_cast<T_TCPObmen*>(g_engine.get());
  if (!tcp) return NoEngine(text);
  return Report(tcp->Transact(request, 0, RawMode, 0, 0, buffer, answerLength), text);
}

}  // namespace r770
