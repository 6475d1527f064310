// Module commands: the protocol surface the exchange procedures use. This layer owns the one
// current engine (CurrentEngine), opens and closes it for a link record, and offers the
// commands that probe, log in, read and write parameters and array elements, stop and
// restart the device, and pass raw bytes on the TCP link.
//
// Functions returning a code give 0 on success, -1 when no engine exists (text "Не
// установлены параметры связи"), otherwise an error code of ErrorText. The text argument
// is optional (nullptr: not wanted).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "common/clock.h"
#include "link/exchange_engine.h"
#include "link/link_types.h"

namespace r770 {

inline constexpr const char* kNoLinkText = "Не установлены параметры связи";

// Called by ProbeModule with (context, device type word, network number) when a device answered.
using FoundFn = void (*)(void* context, std::uint16_t deviceType, std::uint8_t netNumber);

// Makes the engine of one link kind (not yet opened); none when it cannot.
using EngineFactory = std::function<std::unique_ptr<TBase_Obmen>(const TCustomLink&, Clock&)>;
// Replaces the maker of a link kind; an empty factory restores the built-in one
// (kind 3: MakeCanBusEngine, kind 4: T_TCPObmen).
void SetEngineFactory(std::uint8_t kind, EngineFactory factory);
// Clock given to the engines made by OpenLink from now on; nullptr restores SystemClock().
void SetLinkClock(Clock* clock);

TBase_Obmen* CurrentEngine();
// The run-state byte the latest SetRunState read first (0 = running).
std::uint8_t LastRunState();

// code (optional) receives the opening's error code (-1 for a link kind without an engine).
bool OpenLink(const TCustomLink& link, std::string* text, LogFn handler, void* context, int* code = nullptr);
bool CloseLink();
int ProbeModule(std::uint8_t net, FoundFn handler, void* context);
// code (optional) receives the error code behind a failure (0 on success).
bool LoginModule(std::uint8_t net, std::uint8_t level, std::string* text, int* code = nullptr);
int WriteModuleParam(std::uint8_t net, std::uint16_t param, std::span<const std::uint8_t> data,
                     std::string* text);
int WriteModuleElement(std::uint8_t net, std::uint16_t param, std::span<const std::uint8_t> data, bool first,
                       std::uint16_t index, std::string* text);
// `data` holds count × elementSize bytes.
int WriteModuleArray(std::uint8_t net, std::uint16_t param, int elementSize, int count,
                     std::span<const std::uint8_t> data, std::string* text);
// stop = true stops the device (waits up to 10 s for 0x81), false puts it into operation
// (waits up to 2 s for 0); the waits run on the engine's clock. code (optional) receives the
// error code behind a failure (29 or 30 when the state did not follow), 0 on success.
bool SetRunState(std::uint8_t net, bool stop, std::string* text, int* code = nullptr);
// Reads buffer.size() bytes of parameter `param`.
int ReadModuleParam(std::uint8_t net, std::uint16_t param, std::span<std::uint8_t> buffer, std::string* text);
int ReadModuleElement(std::uint8_t net, std::uint16_t param, std::uint16_t index, int elementSize,
                      std::span<std::uint8_t> buffer, std::string* text);
// `buffer` takes count × elementSize bytes.
int ReadModuleArray(std::uint8_t net, std::uint16_t param, int count, int elementSize,
                    std::span<std::uint8_t> buffer, std::string* text);
// Passes `request` unframed over the TCP link; the first received segment (at most 255
// bytes) goes to `buffer`, its count to answerLength. -1 when the engine is not a TCP engine.
int RawExchange(std::span<const std::uint8_t> request, std::span<std::uint8_t> buffer, int& answerLength,
                std::string* text);

}  // namespace r770
