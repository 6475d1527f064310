// A process that saves is killed at random moments: the file it was replacing must always
// be one whole version, and the temporary a killed save leaves goes with the next save.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "controller_database.h"
#include "document/document_file.h"
#include "temp_dir.h"
#include "two_documents.h"

namespace r770 {
namespace {

constexpr int kKills = 200;

struct NullView : DocumentView {
  std::vector<std::string> messages;
  void ProgressStep() override {}
  void PumpEvents() override {}
  void Information(const std::string& text) override { messages.push_back(text); }
  void SetStatus(const std::string&) override {}
  void OpenControllerEditor() override {}
};

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Runs the saving helper with args, lets it complete a random number of saves (none
// included) and kills it after a random pause of up to 2 ms. False when the helper ended
// on its own, which only a failed save does.
bool RunAndKill(const std::vector<std::string>& args, std::mt19937& rng) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  bool alive = true;
  const int saves = std::uniform_int_distribution<int>(0, 3)(rng);
  for (int i = 0; i < saves && alive; ++i) {
    char c;
    alive = read(fds[0], &c, 1) == 1;
  }
  // The pause only spreads the moments of the kill over the save.
  timespec pause{0, std::uniform_int_distribution<long>(0, 2'000'000)(rng)};
  nanosleep(&pause, nullptr);
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  close(fds[0]);
  return alive && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

// A kill leaves the page cache intact, so a memory-backed folder shows the same as a disk
// and spares the test the waits of fsync.
std::string KillFolderParent() {
  struct stat st {};
  if (stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) && access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return std::filesystem::temp_directory_path().string();
}

class KillTest : public ::testing::Test {
 protected:
  test::TempDir dir{KillFolderParent()};
  std::mt19937 rng;
  unsigned seed = std::random_device{}();

  void SetUp() override { rng.seed(seed); }

  // Kills the helper kKills times; after each kill the file must be one of the two
  // versions (checked by isWhole), and the next save by this process (save) must leave
  // the file alone in its folder.
  void KillRepeatedly(const std::vector<std::string>& args, const std::string& path,
                      const std::function<void(int)>& isWhole, const std::function<void()>& save) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    int leftTemporaries = 0;
    for (int k = 0; k < kKills; ++k) {
      SCOPED_TRACE("kill " + std::to_string(k));
      ASSERT_TRUE(RunAndKill(args, rng));
      if (FolderEntries(dir.path()).size() > 1) ++leftTemporaries;
      isWhole(k);
      if (HasFatalFailure() || HasFailure()) return;
      save();
      ASSERT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"file"});
    }
    // How often a kill caught a save between creating its temporary and the rename.
    std::cout << "kills that left a temporary: " << leftTemporaries << " of " << kKills << "\n";
  }
};

TEST_F(KillTest, DocumentIsAlwaysOneWholeVersion) {
  ControllerDatabase cdb;
  std::vector<std::string> taskFiles;
  for (std::uint16_t nset : {1, 2, 3})
    taskFiles.push_back(cdb.Controller("c" + std::to_string(nset) + ".tsk", nset));
  const ProgramSettings& settings = cdb.settings;

  const std::string path = dir.File("file");
  Configuration docs[2];
  for (int v = 0; v < 2; ++v) test::FillDocument(docs[v], v, taskFiles);
  NullView view;
  auto save = [&](int v) {
    docs[v].SetAllChanged();
    ASSERT_TRUE(SaveDocument(docs[v], path, view));
  };
  // A re-save moves the rewritten sections behind the maps once; from then on each
  // version has one image.
  std::string images[2];
  for (int v : {0, 1, 0, 1, 0}) {
    save(v);
    images[v] = test::ReadFileBytes(path);
  }
  ASSERT_NE(images[0], images[1]);

  auto isWhole = [&](int) {
    const std::string bytes = test::ReadFileBytes(path);
    const int v = bytes == images[0] ? 0 : bytes == images[1] ? 1 : -1;
    ASSERT_NE(v, -1) << "a mixed or partial file:\n" << bytes;
    Configuration loaded;
    NullView lv;
    ASSERT_TRUE(LoadDocument(loaded, settings, path, lv));
    EXPECT_EQ(lv.messages, std::vector<std::string>{});
    EXPECT_EQ(loaded.Common, docs[v].Common);
    for (MapKind k : kAllMapKinds) EXPECT_EQ(loaded.Map(k), docs[v].Map(k));
    ASSERT_EQ(loaded.Controllers.size(), docs[v].Controllers.size());
    for (std::size_t i = 0; i < loaded.Controllers.size(); ++i) {
      EXPECT_EQ(loaded.Controllers[i].Nset, docs[v].Controllers[i].Nset);
      EXPECT_EQ(loaded.Controllers[i].Task->TaskFilePath(), docs[v].Controllers[i].Task->TaskFilePath());
    }
  };
  std::vector<std::string> args{SAVE_LOOP, "document", path};
  args.insert(args.end(), taskFiles.begin(), taskFiles.end());
  KillRepeatedly(args, path, isWhole, [&] { save(0); });
}

TEST_F(KillTest, SettingsFileIsAlwaysOneWholeVersion) {
  const std::string path = dir.File("file");
  std::string images[2];
  for (int v : {0, 1}) {
    ASSERT_EQ(WriteExchangeSettings(path, test::SettingsTexts(v)), "");
    images[v] = test::ReadFileBytes(path);
  }
  ASSERT_NE(images[0], images[1]);
  // What each version reads as.
  struct Read {
    LinkKindSetting kind;
    int port, speed;
    std::uint32_t pc;
    int module, time, retries;
    std::string ip;
    int tcpPort;
  };
  const Read expected[2] = {{LinkKindSetting::CanBus, 0, 0, 0, 1, 2, 3, "192.168.0.1", 51960},
                            {LinkKindSetting::Ethernet, 4, 3, 0x1F, 0x7E, 9, 20, "10.0.0.77", 502}};
  auto isWhole = [&](int) {
    const std::string bytes = test::ReadFileBytes(path);
    const int v = bytes == images[0] ? 0 : bytes == images[1] ? 1 : -1;
    ASSERT_NE(v, -1) << "a mixed or partial file:\n" << bytes;
    ProgramSettings s;
    ASSERT_EQ(ReadProgramSettings(path, s), "");
    const Read& e = expected[v];
    EXPECT_EQ(s.LinkKind, e.kind);
    EXPECT_EQ(s.ComPortIndex, e.port);
    EXPECT_EQ(s.AdapterSpeedIndex, e.speed);
    EXPECT_EQ(s.PcNetNumber, e.pc);
    EXPECT_EQ(s.ModuleNetNumber, e.module);
    EXPECT_EQ(s.AnswerTimeSec, e.time);
    EXPECT_EQ(s.Retries, e.retries);
    EXPECT_EQ(s.ModuleIP, e.ip);
    EXPECT_EQ(s.ModulePort, e.tcpPort);
  };
  KillRepeatedly({SAVE_LOOP, "settings", path}, path, isWhole,
                 [&] { ASSERT_EQ(WriteExchangeSettings(path, test::SettingsTexts(0)), ""); });
}

}  // namespace
}  // namespace r770
