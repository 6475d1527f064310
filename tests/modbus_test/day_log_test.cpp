#include "common/day_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/program_path.h"
#include "temp_dir.h"

namespace r770 {
namespace {

using test::ReadFileBytes;
using test::TempDir;

TEST(DayLog, FileNameAndLineForms) {
  struct Case {
    LocalTime t;
    const char* name;
    const char* stamp;
  } cases[] = {
      {{2026, 12, 6, 9, 5, 7, 3}, "06_12_26.Txt", "09:05:07:003 : "},
      {{2000, 1, 31, 23, 59, 59, 999}, "31_01_00.Txt", "23:59:59:999 : "},
      {{2109, 10, 1, 0, 0, 0, 0}, "01_10_09.Txt", "00:00:00:000 : "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DayLogFileName(c.t), c.name);
    EXPECT_EQ(DayLogLine(c.t, "x"), std::string(c.stamp) + "x");
  }
}

TEST(DayLog, AppendsLinesInCodePage1251ToTheDaysFile) {
  TempDir dir;
  FakeClock clock;
  clock.SetLocalBase({2026, 12, 6, 10, 0, 0, 0});
  DayLog log(clock, dir.path());
  ASSERT_EQ(log.CurrentPath(), dir.File("06_12_26.Txt"));

  ASSERT_TRUE(log.Write("Чтение >> 00 01"));
  clock.Advance(1234);
  ASSERT_TRUE(log.Write("<< 02"));
  // "Чтение" in code page 1251.
  EXPECT_EQ(ReadFileBytes(dir.File("06_12_26.Txt")),
            "10:00:00:000 : \xD7\xF2\xE5\xED\xE8\xE5 >> 00 01\r\n"
            "10:00:01:234 : << 02\r\n");

  // A second writer on the same day appends to the same file.
  DayLog other(clock, dir.path());
  ASSERT_TRUE(other.Write("3"));
  EXPECT_TRUE(ReadFileBytes(dir.File("06_12_26.Txt")).ends_with("<< 02\r\n10:00:01:234 : 3\r\n"));
}

TEST(DayLog, NextDayGoesToANewFile) {
  TempDir dir;
  FakeClock clock;
  DayLog log(clock, dir.path());
  clock.SetLocalBase({2026, 12, 6, 23, 59, 59, 999});
  ASSERT_TRUE(log.Write("a"));
  clock.SetLocalBase({2026, 12, 7, 0, 0, 0, 0});
  ASSERT_TRUE(log.Write("b"));
  EXPECT_EQ(ReadFileBytes(dir.File("06_12_26.Txt")), "23:59:59:999 : a\r\n");
  EXPECT_EQ(ReadFileBytes(dir.File("07_12_26.Txt")), "00:00:00:000 : b\r\n");
}

TEST(DayLog, FailureReturnsFalse) {
  TempDir dir;
  FakeClock clock;
  DayLog missing(clock, dir.File("no/such/folder"));
  EXPECT_FALSE(missing.Write("x"));
  // A folder in place of the day's file.
  DayLog blocked(clock, dir.path());
  ASSERT_EQ(0, ::mkdir(blocked.CurrentPath().c_str(), 0755));
  EXPECT_FALSE(blocked.Write("x"));
  // A FIFO nobody reads in place of the day's file: refused at once, never waited on.
  TempDir other;
  DayLog fifo(clock, other.path());
  ASSERT_EQ(0, ::mkfifo(fifo.CurrentPath().c_str(), 0644));
  EXPECT_FALSE(fifo.Write("x"));
}

TEST(DayLog, DefaultFolderIsTheProgramFolder) {
  TempDir dir;
  OverrideProgramFolder(dir.path());
  FakeClock clock;
  DayLog log(clock);
  EXPECT_TRUE(log.Write("x"));
  OverrideProgramFolder("");
  EXPECT_EQ(ReadFileBytes(dir.File("06_12_26.Txt")), "10:00:00:000 : x\r\n");
}

}  // namespace
}  // namespace r770
