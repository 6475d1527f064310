// Signals at the r770ctl program itself (a child process): Ctrl-C during a search ends the
// program at once, during a write it stops the exchange between two commands, as "Прервать"
// does, and during the monitor it ends the cycle and prints the summary; SIGTERM always ends
// the program. A FIFO where the program writes its files never holds it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <mutex>

#include "common/clock.h"
#include "common/day_log.h"
#include "ft12_server.h"
#include "pump_database.h"
#include "sim_module.h"
#include "sim_servers.h"
#include "temp_dir.h"

extern char** environ;

namespace r770 {
namespace {

struct InterruptCase {
  const char* name;
  const char* command;
  sim::Ft12Faults faults;
  int framesBeforeCtrlC;   // requests the simulator has taken when the signal comes
  const char* stderrText;  // what the program says when it stops
  int signal = SIGINT;
  int exitCode = 130;
};

void PrintTo(const InterruptCase& c, std::ostream* os) { *os << c.name; }

const InterruptCase kCases[] = {
    // The search probes 01..FF of a silent module: minutes unless Ctrl-C ends it.
    {"search_ends_at_once", "search", {.silent = true}, 1, "r770ctl: прервано"},
    // Every answer comes 20 ms late: a full write would take half a minute.
    {"write_stops_between_commands", "write", {.delayMs = 20}, 12, "Запись прервана"},
    // SIGTERM (as `timeout` sends it) ends a write at once, not as a first Ctrl-C.
    {"write_ends_on_sigterm", "write", {.delayMs = 20}, 12, "r770ctl: прервано", SIGTERM, 143},
    {"search_ends_on_sigterm", "search", {.silent = true}, 1, "r770ctl: прервано", SIGTERM, 143},
};

// The child's end: its exit code, 1000 + the signal that killed it, or -1 when it had to be
// killed because it still ran after `seconds`.
int WaitAtMost(pid_t pid, int seconds) {
  auto status = std::async(std::launch::async, [pid] {
    int st = 0;
    return ::waitpid(pid, &st, 0) == pid ? st : -1;
  });
  bool killed = false;
  if (status.wait_for(std::chrono::seconds(seconds)) == std::future_status::timeout) {
    ::kill(pid, SIGKILL);
    killed = true;
  }
  const int st = status.get();
  if (killed || st < 0) return -1;
  return WIFEXITED(st) ? WEXITSTATUS(st) : 1000 + WTERMSIG(st);
}

// Starts program with args; stderr goes to errPath (or errFd when it is not -1), stdout to
// outFd (or /dev/null when -1).
pid_t SpawnProgram(const std::string& program, std::vector<std::string> args, const std::string& errPath,
                   int outFd = -1, int errFd = -1) {
  args.insert(args.begin(), program);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (errFd >= 0)
    posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
  else
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
  if (outFd >= 0)
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
  else
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

class CtlInterrupt : public ::testing::TestWithParam<InterruptCase> {
 protected:
  void SetUp() override {
    bus.Add(0x05, 0x1101, {.stopDelayMs = 0});
    sim::Ft12ServerOptions o;
    o.port = 0;
    o.faults = GetParam().faults;
    server = std::make_unique<sim::Ft12Server>(bus, o);
    server->onTraffic = [this](bool incoming, std::span<const std::uint8_t>) {
      if (!incoming) return;
      std::lock_guard lock(mutex);
      ++pieces;
      changed.notify_all();
    };
    std::string error;
    ASSERT_TRUE(server->Start(&error)) << error;
    test::PumpDatabase db = test::WritePumpDatabase(dir.path());
    settingsPath = db.settingsPath;
    document = dir.File("doc.bmt");
    ASSERT_EQ(Spawn({"--settings", settingsPath, "demo-document", document, "--db", db.root}).Wait(), 0);
  }
  void TearDown() override { server->Stop(); }

  struct Child {
    pid_t pid = -1;
    int Wait() { return WaitAtMost(pid, 120); }
  };
  Child Spawn(std::vector<std::string> args) {
    return {SpawnProgram(R770CTL_PATH, args, dir.File("stderr.txt"))};
  }

  test::TempDir dir;
  sim::SimBus bus;
  std::unique_ptr<sim::Ft12Server> server;
  std::string settingsPath, document;
  std::mutex mutex;
  std::condition_variable changed;
  int pieces = 0;
};

TEST_P(CtlInterrupt, ASignalEndsTheProgramWithItsCode) {
  const InterruptCase& c = GetParam();
  std::vector<std::string> args{"--settings", settingsPath, c.command};
  if (std::string(c.command) == "write") args.push_back(document);
  const std::string tcp = "127.0.0.1:" + std::to_string(server->Port());
  for (const std::string& a :
       {std::string("--tcp"), tcp, std::string("--net"), std::string("05"), std::string("--retries"),
        std::string("1"), std::string("--timeout"), std::string("1")})
    args.push_back(a);
  Child child = Spawn(args);
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(
        changed.wait_for(lock, std::chrono::seconds(60), [&] { return pieces >= c.framesBeforeCtrlC; }))
        << "the exchange never started: " << test::ReadFileBytes(dir.File("stderr.txt"));
  }
  const auto sent = std::chrono::steady_clock::now();
  ASSERT_EQ(::kill(child.pid, c.signal), 0);
  EXPECT_EQ(child.Wait(), c.exitCode);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
  std::printf("%s: ended %.3f s after the signal\n", c.name, seconds);
  EXPECT_NE(test::ReadFileBytes(dir.File("stderr.txt")).find(c.stderrText), std::string::npos)
      << test::ReadFileBytes(dir.File("stderr.txt"));
}

INSTANTIATE_TEST_SUITE_P(Ctl, CtlInterrupt, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A copy of the program in the test's folder, so that its day log lies there; the module
// simulator with its Modbus/TCP server, and the demo document written into it.
class CtlChildFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    program = dir.File("r770ctl");
    std::filesystem::copy_file(R770CTL_PATH, program);
    ASSERT_EQ(sim.Start(sim.bus.Add(0x05, 0x1101, {.stopDelayMs = 0})), "");
    test::PumpDatabase db = test::WritePumpDatabase(dir.path());
    settingsPath = db.settingsPath;
    document = dir.File("doc.bmt");
    ASSERT_EQ(Run({"demo-document", document, "--db", db.root}), 0) << Err();
    tcp = {"--tcp", sim.Tcp(), "--net", "05", "--retries", "1", "--timeout", "1"};
    modbusHost = {"--host", "127.0.0.1", "--port", std::to_string(sim.modbus->Port()), "--timeout", "1"};
  }
  void TearDown() override { sim.Stop(); }
  std::vector<std::string> Args(std::vector<std::string> args, const std::vector<std::string>& more = {}) {
    args.insert(args.begin(), {"--settings", settingsPath});
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }
  int Run(std::vector<std::string> args, const std::vector<std::string>& more = {}) {
    return WaitAtMost(SpawnProgram(program, Args(std::move(args), more), dir.File("stderr.txt")), 60);
  }
  std::string Err() { return test::ReadFileBytes(dir.File("stderr.txt")); }

  test::TempDir dir;
  test::SimServers sim;
  std::string program, settingsPath, document;
  std::vector<std::string> tcp, modbusHost;
};

TEST_F(CtlChildFiles, AFifoWhereTheProgramWritesNeverHoldsIt) {
  // Nobody reads the FIFOs: an open() for writing would wait for ever.
  const std::string dayLog = dir.File(DayLogFileName(SystemClock().LocalNow()));
  ASSERT_EQ(::mkfifo(dayLog.c_str(), 0644), 0);
  const std::string fifo = dir.File("out.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const std::string notAFile = "Путь " + fifo + " не указывает на обычный файл";
  // The exchange says on stderr that its day log is not kept, and goes on.
  const std::string noLog = "Не удается записать журнал обмена в файл " + dayLog;
  struct Case {
    std::vector<std::string> args;
    const std::vector<std::string>* link;
    int code;
    std::string err;  // a part of what the program says on stderr
  };
  const Case cases[] = {
      {{"search", "--from", "05", "--to", "05"}, &tcp, 0, noLog},
      {{"write", document, "--restart", "yes"}, &tcp, 0, noLog},
      {{"read", dir.File("back.bmt")}, &tcp, 0, noLog},
      {{"modbus-read", "100"}, &modbusHost, 0, ""},
      {{"monitor", document, "--count", "1", "--csv", fifo}, &modbusHost, 1, notAFile},
      {{"export-csv", document, "-o", fifo}, nullptr, 1, notAFile},
      {{"read", fifo}, &tcp, 1, notAFile},
  };
  const std::vector<std::string> none;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    EXPECT_EQ(Run(c.args, c.link ? *c.link : none), c.code) << Err();
    EXPECT_NE(Err().find(c.err), std::string::npos) << Err();
  }
}

TEST_F(CtlChildFiles, CtrlCEndsTheMonitorAfterItsCycleWithTheSummary) {
  ASSERT_EQ(Run({"write", document, "--restart", "yes"}, tcp), 0) << Err();
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const pid_t pid = SpawnProgram(program, Args({"monitor", document, "--period", "600000"}, modbusHost),
                                 dir.File("stderr.txt"), out[1]);
  ::close(out[1]);
  // The first cycle's lines: the program is in its pause before the next cycle.
  char c = 0;
  ASSERT_EQ(::read(out[0], &c, 1), 1) << Err();
  ASSERT_EQ(::kill(pid, SIGINT), 0);
  EXPECT_EQ(WaitAtMost(pid, 30), 130) << Err();
  ::close(out[0]);
  EXPECT_NE(Err().find("r770ctl: циклов 1, с ответом 1"), std::string::npos) << Err();
}

// On a terminal the search shows the number it probes and what it has found as it goes.
TEST_F(CtlChildFiles, SearchOnATerminalShowsEachNumberAndWhatItFound) {
  int master = -1, slave = -1;
  ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  const pid_t pid = SpawnProgram(program, Args({"search", "--from", "04", "--to", "06"}, tcp), "", -1, slave);
  ::close(slave);
  std::string screen;
  char buffer[4096];
  for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
    screen.append(buffer, static_cast<std::size_t>(n));
  ::close(master);
  EXPECT_EQ(WaitAtMost(pid, 60), 0) << screen;
  for (const char* line : {"\r  номер 04 (1 из 3), найдено: нет", "\r  номер 05 (2 из 3), найдено: нет",
                           "\r  номер 06 (3 из 3), найдено: 05"})
    EXPECT_NE(screen.find(line), std::string::npos) << line << "\n" << screen;
}

}  // namespace
}  // namespace r770
