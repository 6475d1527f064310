#include "common/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "temp_dir.h"

namespace r770 {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// The id of a process that ran and is gone.
long DeadPid() {
  pid_t pid = fork();
  if (pid == 0) _exit(0);
  int status = 0;
  waitpid(pid, &status, 0);
  return pid;
}

TEST(FileIo, ReplacesTheWholeFileAndKeepsItsRights) {
  TempDir dir;
  const std::string path = dir.File("doc.bmt");
  ASSERT_EQ(WriteFileAtomically(path, "first"), "");
  EXPECT_EQ(ReadFileBytes(path), "first");
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  ASSERT_EQ(WriteFileAtomically(path, std::string(100000, 'x')), "");
  EXPECT_EQ(ReadFileBytes(path), std::string(100000, 'x'));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_FALSE(Exists(TemporaryFileName(path, getpid())));
}

TEST(FileIo, TemporariesOfDeadWritersGoWithTheNextWrite) {
  TempDir dir;
  const std::string path = dir.File("doc.bmt");
  const std::string dead = TemporaryFileName(path, DeadPid());
  const std::string alive = TemporaryFileName(path, getppid());  // a running writer's
  const std::string otherFile = TemporaryFileName(dir.File("other.bmt"), DeadPid());
  const std::string notOurs = path + ".tmpx1";
  for (const std::string& p : {dead, alive, otherFile, notOurs}) WriteFileBytes(p, "partial");
  ASSERT_EQ(WriteFileAtomically(path, "new"), "");
  EXPECT_FALSE(Exists(dead));
  EXPECT_TRUE(Exists(alive));
  EXPECT_TRUE(Exists(otherFile));
  EXPECT_TRUE(Exists(notOurs));
  EXPECT_EQ(ReadFileBytes(path), "new");
}

// What is not a regular file is refused on reading (without blocking on a FIFO) and on
// writing, and stays as it was.
TEST(FileIo, OnlyRegularFilesAreReadOrReplaced) {
  TempDir dir;
  const std::string fifo = dir.File("fifo.bmt");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  struct Case {
    std::string path;
    const char* message;  // start of the message, followed by the path
    bool absent;
    bool writable;  // a write may create the file
  };
  const Case cases[] = {
      {dir.path(), "Путь ", false, false},
      {fifo, "Путь ", false, false},
      {"/dev/null", "Путь ", false, false},
      {dir.File("missing.bmt"), "Не удалось прочитать файл ", true, true},
      {dir.File("missing/x.bmt"), "Не удалось прочитать файл ", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string bytes = "left";
    bool absent = !c.absent;
    const std::string read = ReadRegularFile(c.path, &bytes, &absent);
    EXPECT_EQ(read.rfind(c.message + c.path, 0), 0u) << read;
    EXPECT_EQ(bytes, "");
    EXPECT_EQ(absent, c.absent);
    const std::string written = WriteFileAtomically(c.path, "new");
    if (c.writable) {
      EXPECT_EQ(written, "");
      EXPECT_EQ(ReadFileBytes(c.path), "new");
    } else {
      EXPECT_NE(written.find(c.path), std::string::npos) << written;
    }
  }
  struct stat st {};
  ASSERT_EQ(stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  ASSERT_EQ(stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_EQ(WriteFileAtomically(dir.File("missing/x.bmt"), "new"),
            "Не удалось записать файл " + dir.File("missing/x.bmt") + ": " + std::strerror(ENOENT));

  const std::string big = dir.File("big.ini");
  WriteFileBytes(big, std::string(2000, 'a'));
  std::string bytes;
  EXPECT_EQ(ReadRegularFile(big, &bytes, nullptr, 1999), "Файл " + big + " слишком велик (2000 байт)");
  EXPECT_EQ(ReadRegularFile(big, &bytes, nullptr, 2000), "");
  EXPECT_EQ(bytes.size(), 2000u);
}

// Appending writers (the day log, the monitor's CSV) open only regular files: a FIFO is
// refused at once instead of waiting for a reader, a missing file is created.
TEST(FileIo, AppendOpensOnlyRegularFiles) {
  TempDir dir;
  const std::string fifo = dir.File("log.Txt");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  const std::string old = dir.File("old.csv");
  WriteFileBytes(old, "a\r\n");
  struct Case {
    std::string path;
    std::string message;  // empty: opened
    std::string after;    // the file's bytes after appending "b"
  };
  const Case cases[] = {
      {fifo, "Путь " + fifo + " не указывает на обычный файл", ""},
      {"/dev/null", "Путь /dev/null не указывает на обычный файл", ""},
      {dir.path(), "Путь " + dir.path() + " указывает на папку, а не на файл", ""},
      {dir.File("missing/x.csv"),
       "Не удалось открыть файл " + dir.File("missing/x.csv") + ": " + std::strerror(ENOENT), ""},
      {dir.File("new.csv"), "", "b"},
      {old, "", "a\r\nb"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string error;
    const int fd = OpenForAppend(c.path, &error);
    if (!c.message.empty()) {
      EXPECT_EQ(fd, -1);
      EXPECT_EQ(error, c.message);
      continue;
    }
    ASSERT_GE(fd, 0) << error;
    EXPECT_TRUE(WriteAllBytes(fd, "b"));
    close(fd);
    EXPECT_EQ(ReadFileBytes(c.path), c.after);
  }
}

}  // namespace
}  // namespace r770
