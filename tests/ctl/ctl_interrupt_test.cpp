// Ctrl-C at the r770ctl program itself (a child process): during a search it ends the program
// at once; during a write it stops the exchange between two commands, as "Прервать" does.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "ft12_server.h"
#include "pump_database.h"
#include "sim_module.h"
#include "temp_dir.h"

extern char** environ;

namespace r770 {
namespace {

struct InterruptCase {
  const char* name;
  const char* command;
  sim::Ft12Faults faults;
  int framesBeforeCtrlC;  // requests the simulator has taken when Ctrl-C comes
  const char* stderrText;  // what the program says when it stops
};

void PrintTo(const InterruptCase& c, std::ostream* os) { *os << c.name; }

const InterruptCase kCases[] = {
    // The search probes 01..FF of a silent module: minutes unless Ctrl-C ends it.
    {"search_ends_at_once", "search", {.silent = true}, 1, "r770ctl: прервано"},
    // Every answer comes 20 ms late: a full write would take half a minute.
    {"write_stops_between_commands", "write", {.delayMs = 20}, 12, "Запись прервана"},
};

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
    int Wait() {
      int status = 0;
      if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    }
  };
  Child Spawn(std::vector<std::string> args) {
    args.insert(args.begin(), R770CTL_PATH);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string err = dir.File("stderr.txt");
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    Child child;
    EXPECT_EQ(posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return child;
  }

  test::TempDir dir;
  sim::SimBus bus;
  std::unique_ptr<sim::Ft12Server> server;
  std::string settingsPath, document;
  std::mutex mutex;
  std::condition_variable changed;
  int pieces = 0;
};

TEST_P(CtlInterrupt, CtrlCEndsTheProgramWithExit130) {
  const InterruptCase& c = GetParam();
  std::vector<std::string> args{"--settings", settingsPath, c.command};
  if (std::string(c.command) == "write") args.push_back(document);
  const std::string tcp = "127.0.0.1:" + std::to_string(server->Port());
  for (const std::string& a : {std::string("--tcp"), tcp, std::string("--net"), std::string("05"),
                               std::string("--retries"), std::string("1"), std::string("--timeout"),
                               std::string("1")})
    args.push_back(a);
  Child child = Spawn(args);
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(60), [&] { return pieces >= c.framesBeforeCtrlC; }))
        << "the exchange never started: " << test::ReadFileBytes(dir.File("stderr.txt"));
  }
  const auto sent = std::chrono::steady_clock::now();
  ASSERT_EQ(::kill(child.pid, SIGINT), 0);
  EXPECT_EQ(child.Wait(), 130);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
  std::printf("%s: ended %.3f s after Ctrl-C\n", c.name, seconds);
  EXPECT_NE(test::ReadFileBytes(dir.File("stderr.txt")).find(c.stderrText), std::string::npos)
      << test::ReadFileBytes(dir.File("stderr.txt"));
}

INSTANTIATE_TEST_SUITE_P(Ctl, CtlInterrupt, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace r770
