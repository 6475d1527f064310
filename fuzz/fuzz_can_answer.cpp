// Fuzzes the CAN-BUS adapter's answer checks and the frame exchange: any bytes from the
// adapter, as a reset answer, as one answer frame or as the stream heard during a request,
// end in a code of the table without reading outside the frames.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "../tests/can/fake_serial.h"
#include "link/can_bus.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace r770;
  if (size < 2) return 0;
  const int d = static_cast<int>(data[0] % 10) - 1;  // -1 .. 8: beyond a frame on both sides
  const std::uint8_t ownNode = data[1];
  std::span<const std::uint8_t> rest(data + 2, size - 2);

  // Reset answer: its first bytes, whatever they are.
  int variant = -1;
  std::string line;
  int code = CheckInitAnswer(rest.first(rest.size() < 5 ? rest.size() : 5), variant, line);
  Check(code == 0 || code == 17 || code == 24);
  Check(code == 0 ? (variant == 0 || variant == 1) : variant == 0);
  Check(line.rfind("Инициализация CAN-BUS получены данные : ", 0) == 0);

  // One answer frame against a request made of the bytes after it (both may be short).
  std::span<const std::uint8_t> answer = rest.first(rest.size() < 13 ? rest.size() : 13);
  std::span<const std::uint8_t> request = rest.subspan(answer.size());
  if (request.size() > 13) request = request.first(13);
  std::vector<std::uint8_t> out(8, 0xEE);
  int delivered = -1;
  code = CheckCanAnswer(answer, request, d, ownNode, std::span<std::uint8_t>(out.data(), 7), delivered);
  Check(code == 0 || code == 17 || code == 22 || code == 23);
  Check(code == 0 ? delivered == d : delivered == 0);
  Check(out[7] == 0xEE);
  if (code == 0)
    for (int i = 0; i < d; ++i) Check(out[i] == answer[6 + i]);

  // The whole stream as what the adapter says during one request.
  FakeClock clock;
  auto state = std::make_shared<test::FakeSerialState>(clock);
  test::FakeOpener opener{state, {}, {}};
  std::vector<std::uint8_t> stream(rest.begin(), rest.end());
  state->onFrame = [&stream](const test::Bytes&) { return std::vector<test::Bytes>{stream}; };
  TCANbusLink link;
  link.OwnNode = ownNode;
  link.Retries = 2;
  link.TimeoutSec = 1;
  T_CanBus engine(link, clock, opener.Get());
  std::string description;
  Check(engine.Open(description) == 0);
  test::Bytes frame = {0x05, 0, 0, 0, 4, ownNode, 0x02, 0x1A, 0xF0, 0, 0, 0, 0};
  std::vector<std::uint8_t> buf(8, 0xEE);
  const int want = d < 0 ? 1 : d;
  code = engine.Exchange(want, 0x05, frame, std::span<std::uint8_t>(buf.data(), 7), delivered);
  Check(code == 0 || code == 1 || code == 17 || code == 22 || code == 23);
  Check(buf[7] == 0xEE);
  Check(clock.NowMs() < 2 * (1000 + 10 + 100) + 400 + 1000);  // no wait past the deadlines
  return 0;
}
