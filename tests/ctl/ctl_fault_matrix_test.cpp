// r770ctl's search, write and read against the module simulator with every fault it can
// inject, over TCP and over the CAN-BUS adapter on a pseudo-terminal. Each row: the failing
// session reports the error code and its text and exits 1 within the time its attempts and
// answer time allow, a failed read leaves the output file as it was, every frame on the wire
// is in the day's exchange log, the settings file stays as it was found, and a second session
// on the same link succeeds once the fault is lifted.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>

#include "can_frontend.h"
#include "common/number_forms.h"
#include "common/program_path.h"
#include "ctl.h"
#include "ft12_server.h"
#include "link/exchange_engine.h"
#include "pump_database.h"
#include "sim_module.h"
#include "temp_dir.h"

namespace r770 {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Link timing of every session: attempts per request and answer time in seconds.
constexpr int kRetries = 2;
constexpr int kAnswerSec = 1;
// What one unanswered request costs at most by the rules of the links: on TCP each attempt
// waits the answer time and then pauses a second; on the adapter each attempt waits the
// answer time and pauses 100 ms, with a reset (two 100 ms pauses and a 1 s read) before it
// when the adapter reports carrier.
constexpr double kTcpSilentRequest = kRetries * (kAnswerSec + 1.0);
constexpr double kCanSilentRequest = kRetries * (kAnswerSec + 0.1);
constexpr double kCanNoCarrierRequest = kRetries * (kAnswerSec + 0.1 + 1.2);
constexpr double kAdapterOpen = 0.1 + 0.2 + 1.0;  // speed pause, DTR pulse, reset answer wait
constexpr double kStopWait = 10.0, kRunWait = 2.0;
// Round trips of a full write: login, state, stop, ten parameters, 816 elements (+12 array
// frames on the adapter), the checksum read and a few state polls; each answered quickly.
constexpr double kAnsweredRequest = 0.05;

constexpr std::uint8_t kNet = 0x05;

enum class Link { Tcp, Can };

// Bytes that went over the wire, as the simulator saw them.
class Traffic {
 public:
  void Add(bool incoming, std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    auto& to = incoming ? in_ : out_;
    to.push_back(Bytes(bytes.begin(), bytes.end()));
    changed_.notify_all();
  }
  // Waits (bounded) until the simulator has taken at least `bytes` incoming bytes.
  bool WaitIncoming(std::size_t bytes) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return Size(in_) >= bytes; });
  }
  std::vector<Bytes> In() {
    std::lock_guard lock(mutex_);
    return in_;
  }
  std::vector<Bytes> Out() {
    std::lock_guard lock(mutex_);
    return out_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    in_.clear();
    out_.clear();
  }

 private:
  static std::size_t Size(const std::vector<Bytes>& v) {
    std::size_t n = 0;
    for (const auto& b : v) n += b.size();
    return n;
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Bytes> in_, out_;
};

std::string HexText(const std::vector<Bytes>& pieces) {
  std::string s;
  for (const auto& p : pieces) s += FormatBytes(p);
  return s;
}

// The traffic lines of the day's log: what was sent (">> ") and what was received ("<< "),
// each as the log shows the bytes ("10 41 ... "). A frame the adapter link could not send
// (its line ends in " эти данные хотели послать, но не вышло") is left out.
struct LoggedTraffic {
  std::vector<std::string> sent, received;
};

LoggedTraffic ReadTrafficLines(const std::string& folder) {
  LoggedTraffic t;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".Txt") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const auto text = line.find(" : ");
      if (text == std::string::npos) continue;
      line = line.substr(text + 3);
      for (const char* mark : {">> ", "<< "}) {
        const auto at = line.find(mark);
        if (at == std::string::npos) continue;
        std::string bytes = line.substr(at + 3);
        const auto cut = bytes.find_first_not_of("0123456789ABCDEF ");
        if (cut != std::string::npos) {
          if (bytes.find("эти данные хотели послать") != std::string::npos) break;  // not sent
          bytes.resize(cut);
        }
        (mark[0] == '>' ? t.sent : t.received).push_back(bytes);
        break;
      }
    }
  }
  return t;
}

std::string Joined(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& x : v) s += x;
  return s;
}

struct FaultCase {
  const char* name;
  Link link;
  const char* command;  // search, write or read
  sim::Ft12Faults tcp;
  sim::CanFaults can;
  sim::SimBehaviour module;
  std::vector<std::string> extra;  // further arguments of the command
  int code;                        // the error code r770ctl reports
  const char* text;                // and its message text
  double boundSec;                 // what the attempts and answer times allow
  bool answerCut = false;          // the last answer was still on its way when the session ended
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

const char* kNoAnswerText = "  Нет ответа от прибора ";

// A full write over the link, answered at once.
constexpr double kFullWrite = 840 * kAnsweredRequest;

const FaultCase kCases[] = {
    {"tcp_silent", Link::Tcp, "read", {.silent = true}, {}, {}, {}, 1, kNoAnswerText, kTcpSilentRequest},
    {"tcp_closed_mid_write",
     Link::Tcp,
     "write",
     {.closeAfter = 20},
     {},
     {},
     {},
     1,
     kNoAnswerText,
     kRetries * 0.1 + kFullWrite},
    // The first segment 10 01 05 02: where its checksum should stand, the address 05 is not
    // the sum 01 of the control byte (with the address 01 it would fail on its end byte).
    {"tcp_split_answer",
     Link::Tcp,
     "read",
     {.splitAnswers = true, .splitGapMs = 500},
     {},
     {},
     {},
     12,
     "  Несовпадение контрольной суммы передачи",
     1.0,
     true},
    {"tcp_bad_checksum",
     Link::Tcp,
     "search",
     {.badChecksumEvery = 1},
     {},
     {},
     {},
     12,
     "  Несовпадение контрольной суммы передачи",
     1.0},
    {"tcp_wrong_packet",
     Link::Tcp,
     "write",
     {.wrongPacket = true},
     {},
     {},
     {},
     7,
     "  Несовпадение номера пакета в управляющем байте ",
     1.0},
    {"tcp_wrong_address",
     Link::Tcp,
     "read",
     {.wrongAddress = true},
     {},
     {},
     {},
     8,
     "  Несовпадение адреса приема и передачи",
     1.0},
    {"tcp_access_refused",
     Link::Tcp,
     "write",
     {},
     {},
     {.refuseAccess = true},
     {},
     26,
     "  Несоответствие пароля и уровня доступа к параметрам",
     1.0},
    {"tcp_access_refused_read",
     Link::Tcp,
     "read",
     {},
     {},
     {.refuseAccess = true},
     {},
     26,
     "  Несоответствие пароля и уровня доступа к параметрам",
     1.0},
    {"tcp_never_stops",
     Link::Tcp,
     "write",
     {},
     {},
     {.neverStops = true},
     {},
     29,
     "  Контроллер не перешел в состояние \"СТОП\"",
     kStopWait + 100 * kAnsweredRequest},
    {"tcp_never_runs",
     Link::Tcp,
     "write",
     {},
     {},
     {.neverRuns = true},
     {"--restart", "yes"},
     30,
     "  Контроллер не перешел в состояние \"ПУСК\"",
     kFullWrite + kRunWait + 20 * kAnsweredRequest},
    {"can_silent",
     Link::Can,
     "read",
     {},
     {.silent = true},
     {},
     {},
     1,
     kNoAnswerText,
     kAdapterOpen + kCanSilentRequest},
    {"can_adapter_silent",
     Link::Can,
     "search",
     {},
     {.adapterSilent = true},
     {},
     {},
     20,
     "Ошибка инициализации CAN-контроллера - нет ответа после команды сброс",
     kAdapterOpen},
    {"can_no_carrier",
     Link::Can,
     "write",
     {},
     {.noCarrier = true},
     {},
     {},
     1,
     kNoAnswerText,
     kAdapterOpen + kCanNoCarrierRequest},
    {"can_wrong_packet",
     Link::Can,
     "read",
     {},
     {.wrongPacket = true},
     {},
     {},
     22,
     "  Ошибка обмена - несовпадение номера пакета",
     kAdapterOpen + 1.0},
    {"can_wrong_node",
     Link::Can,
     "write",
     {},
     {.wrongNode = true},
     {},
     {},
     23,
     "  Получен ответ от контроллера с другим номером ",
     kAdapterOpen + kAnswerSec},
    {"can_bad_count",
     Link::Can,
     "search",
     {},
     {.badCount = true},
     {},
     {},
     17,
     "  Несовпадение полученой длины данных и ожидаемой ",
     kAdapterOpen + 1.0},
    {"can_access_refused",
     Link::Can,
     "read",
     {},
     {},
     {.refuseAccess = true},
     {},
     26,
     "  Несоответствие пароля и уровня доступа к параметрам",
     kAdapterOpen + 1.0},
    {"can_never_stops",
     Link::Can,
     "write",
     {},
     {},
     {.neverStops = true},
     {},
     29,
     "  Контроллер не перешел в состояние \"СТОП\"",
     kAdapterOpen + kStopWait + 100 * kAnsweredRequest},
};

struct Figure {
  std::string name;
  double seconds, bound;
};
std::vector<Figure>& Figures() {
  static std::vector<Figure> figures;
  return figures;
}

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {
 protected:
  static void TearDownTestSuite() {
    // The measured figures, for the record (never asserted tightly).
    std::printf("\n%-26s %10s %10s\n", "fault", "elapsed,s", "bound,s");
    for (const auto& f : Figures()) std::printf("%-26s %10.2f %10.2f\n", f.name.c_str(), f.seconds, f.bound);
  }

  void SetUp() override {
    OverrideProgramFolder(dir.path());  // the day's exchange log goes here
    sim::SimBehaviour plain;
    plain.stopDelayMs = 50;
    module = &bus.Add(kNet, 0x1101, plain);
    const FaultCase& c = GetParam();
    module->SetBehaviour({.stopDelayMs = 50,
                          .neverStops = c.module.neverStops,
                          .neverRuns = c.module.neverRuns,
                          .refuseAccess = c.module.refuseAccess});

    test::PumpDatabase db = test::WritePumpDatabase(dir.path());
    settingsPath = db.settingsPath;
    ASSERT_FALSE(settingsPath.empty());
    document = dir.File("doc.bmt");
    Result r = Run({"demo-document", document, "--db", db.root});
    ASSERT_EQ(r.code, 0) << r.err;

    std::string error;
    if (c.link == Link::Tcp) {
      sim::Ft12ServerOptions o;
      o.port = 0;
      o.faults = c.tcp;
      tcp = std::make_unique<sim::Ft12Server>(bus, o);
      tcp->onTraffic = [this](bool in, std::span<const std::uint8_t> b) { traffic.Add(in, b); };
      ASSERT_TRUE(tcp->Start(&error)) << error;
      linkArgs = {"--tcp", "127.0.0.1:" + std::to_string(tcp->Port())};
    } else {
      sim::CanFrontendOptions o;
      o.faults = c.can;
      can = std::make_unique<sim::CanFrontend>(bus, o);
      can->onTraffic = [this](bool in, std::span<const std::uint8_t> b) { traffic.Add(in, b); };
      ASSERT_TRUE(can->Start(&error)) << error;
      // The adapter's port: COM2 names the pseudo-terminal.
      test::WriteFileBytes(settingsPath, test::ReadFileBytes(settingsPath) +
                                             "[ComPorts]\r\nCOM2=" + can->DevicePath() + "\r\n");
      linkArgs = {"--can", "COM2", "--node", "7E", "--speed", "100"};
    }
    for (const char* a : {"--net", "05", "--retries", "2", "--timeout", "1"}) linkArgs.push_back(a);
  }
  void TearDown() override {
    if (tcp) tcp->Stop();
    if (can) can->Stop();
    OverrideProgramFolder("");
  }

  struct Result {
    int code;
    std::string out, err;
  };
  Result Run(std::vector<std::string> args) {
    std::ostringstream out, err;
    ctl::Io io{out, err, settingsPath};
    const int code = ctl::Main(args, io);
    return {code, out.str(), err.str()};
  }
  // The row's command with its link options.
  std::vector<std::string> Command(const std::string& output) {
    const FaultCase& c = GetParam();
    std::vector<std::string> args{c.command};
    if (std::string(c.command) == "write") args.push_back(document);
    if (std::string(c.command) == "read") args.push_back(output);
    if (std::string(c.command) == "search") {
      for (const char* a : {"--from", "05", "--to", "05"}) args.push_back(a);
    }
    args.insert(args.end(), linkArgs.begin(), linkArgs.end());
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    return args;
  }
  void LiftFaults() {
    if (tcp) tcp->SetFaults({});
    if (can) can->SetFaults({});
    module->SetBehaviour({.stopDelayMs = 50});
  }

  test::TempDir dir;
  sim::SimBus bus;
  sim::SimModule* module = nullptr;
  std::unique_ptr<sim::Ft12Server> tcp;
  std::unique_ptr<sim::CanFrontend> can;
  Traffic traffic;
  std::string settingsPath, document;
  std::vector<std::string> linkArgs;
};

TEST_P(FaultMatrix, FailsWithItsCodeLogsEveryFrameAndTheNextSessionSucceeds) {
  const FaultCase& c = GetParam();
  const std::string output = dir.File("read.bmt");
  const std::string before = "a document that was here before\r\n";
  test::WriteFileBytes(output, before);
  const std::string settingsBefore = test::ReadFileBytes(settingsPath);

  const auto start = std::chrono::steady_clock::now();
  Result r = Run(Command(output));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  Figures().push_back({c.name, seconds, c.boundSec});

  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("r770ctl: код ошибки " + std::to_string(c.code) + "\n"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("завершен"), std::string::npos) << r.out;
  // Generous: the bound doubled and five seconds more, so a loaded machine cannot fail it.
  EXPECT_LT(seconds, 2 * c.boundSec + 5) << "bound " << c.boundSec << " s";
  EXPECT_EQ(test::ReadFileBytes(output), before) << "a failed read writes no output file";
  EXPECT_EQ(test::ReadFileBytes(settingsPath), settingsBefore);

  // Every frame that went over the wire is in the log, in order.
  LoggedTraffic logged = ReadTrafficLines(dir.path());
  const std::string sent = Joined(logged.sent);
  ASSERT_TRUE(traffic.WaitIncoming(sent.size() / 3))
      << "the simulator did not get what the log says was sent";
  EXPECT_EQ(sent, HexText(traffic.In()));
  const std::string answers = HexText(traffic.Out());
  if (c.link == Link::Tcp) {
    const std::string received = Joined(logged.received);
    if (c.answerCut)
      EXPECT_EQ(answers.rfind(received, 0), 0u) << received << "\nis not the start of\n" << answers;
    else
      EXPECT_EQ(received, answers);
  } else {
    // An adapter receive line shows the frames skipped before the one taken as well.
    const std::string received = Joined(logged.received);
    std::size_t at = 0;
    for (const Bytes& frame : traffic.Out()) {
      at = received.find(FormatBytes(frame), at);
      ASSERT_NE(at, std::string::npos) << FormatBytes(frame) << " is not in the log";
    }
  }
  if (c.code != 20) {
    EXPECT_FALSE(logged.sent.empty()) << "the session sent nothing";
  }

  // The same session once the fault is lifted.
  LiftFaults();
  r = Run(Command(output));
  EXPECT_EQ(r.code, 0) << r.err;
  const std::string command = c.command;
  if (command == "write") {
    EXPECT_NE(r.out.find("Запись завершена"), std::string::npos) << r.out;
  } else if (command == "search") {
    EXPECT_EQ(r.out, "05\tR-770 TCP/Modbus\t(выбран)\n");
  } else {
    EXPECT_NE(test::ReadFileBytes(output), before);
    EXPECT_EQ(Run({"show", output}).code, 0);
  }
  EXPECT_EQ(test::ReadFileBytes(settingsPath), settingsBefore) << "the settings file stays as found";
}

INSTANTIATE_TEST_SUITE_P(Links, FaultMatrix, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace r770
