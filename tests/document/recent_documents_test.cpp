#include "document/recent_documents.h"

#include <gtest/gtest.h>

#include "common/codec.h"
#include "document/program_settings.h"
#include "temp_dir.h"

namespace r770 {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

TEST(RecentDocuments, NewestFirstWithoutRepeatsAtMostEight) {
  struct Case {
    const char* name;
    std::vector<std::string> before;
    std::string opened;
    std::vector<std::string> after;
  };
  const Case cases[] = {
      {"first", {}, "/d/a.bmt", {"/d/a.bmt"}},
      {"new one goes first", {"/d/a.bmt", "/d/b.bmt"}, "/d/c.bmt", {"/d/c.bmt", "/d/a.bmt", "/d/b.bmt"}},
      {"known one moves up",
       {"/d/a.bmt", "/d/b.bmt", "/d/c.bmt"},
       "/d/c.bmt",
       {"/d/c.bmt", "/d/a.bmt", "/d/b.bmt"}},
      {"ninth falls off",
       {"1", "2", "3", "4", "5", "6", "7", "8"},
       "9",
       {"9", "1", "2", "3", "4", "5", "6", "7"}},
      {"empty path changes nothing", {"/d/a.bmt"}, "", {"/d/a.bmt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(WithRecent(c.before, c.opened), c.after);
  }
}

TEST(RecentDocuments, SurviveTheWritersOfOtherSections) {
  TempDir dir;
  const std::string path = dir.File("r770cfg.ini");
  const std::vector<std::string> list{"/home/инженер/котельная.bmt", "/tmp/b.bmt"};
  ASSERT_EQ(WriteRecentDocuments(path, list), "");
  ASSERT_EQ(WriteWindowPlace(path, {10, 20, 800, 600, true}), "");

  // Every window that writes the settings file erases only its own section.
  ProgramSettings s;
  ASSERT_EQ(WriteDatabasePaths(path, s), "");
  ASSERT_EQ(WriteDisplayChoices(path, true, false), "");
  ASSERT_EQ(WriteModbusTest(path, s), "");
  ASSERT_EQ(WriteExchangeSettings(path, ExchangeSettingsTexts{}), "");
  ASSERT_EQ(WriteExchangeWindowClose(path, 0, 1), "");

  EXPECT_EQ(ReadRecentDocuments(path), list);
  EXPECT_EQ(ReadWindowPlace(path), (WindowPlace{10, 20, 800, 600, true}));
  // Names on disk are code page 1251 like the rest of the file.
  EXPECT_NE(ReadFileBytes(path).find(Utf8ToCp1251("котельная")), std::string::npos);
}

TEST(RecentDocuments, PathsOutsideTheCodePageComeBackWhole) {
  TempDir dir;
  const std::string path = dir.File("r770cfg.ini");
  const std::vector<std::string> list{"/home/jürgen/Ölpumpe 100%.bmt", "/srv/站/a.bmt", "utf8:/odd.bmt",
                                      "/home/инженер/котельная.bmt"};
  ASSERT_EQ(WriteRecentDocuments(path, list), "");
  EXPECT_EQ(ReadRecentDocuments(path), list);
  const std::string bytes = ReadFileBytes(path);
  EXPECT_EQ(bytes.find('?'), std::string::npos);
  EXPECT_NE(bytes.find("File1=utf8:/home/j%C3%BCrgen/%C3%96lpumpe 100%25.bmt\r\n"), std::string::npos)
      << bytes;
  // A path the code page holds is stored as it is.
  EXPECT_NE(bytes.find("File4=" + Utf8ToCp1251("/home/инженер/котельная.bmt") + "\r\n"), std::string::npos);
  // A broken escape is taken literally rather than dropped.
  WriteFileBytes(path, "[LastDocuments]\r\nFile1=utf8:/a%G1%4\r\n");
  EXPECT_EQ(ReadRecentDocuments(path), (std::vector<std::string>{"/a%G1%4"}));
}

TEST(RecentDocuments, ReadSkipsEmptyAndRepeatedKeysAndRewriteDropsOldOnes) {
  TempDir dir;
  const std::string path = dir.File("r770cfg.ini");
  WriteFileBytes(
      path, "[LastDocuments]\r\nFile1=/a.bmt\r\nFile2=\r\nFile3=/a.bmt\r\nFile4=/b.bmt\r\nFile9=/z.bmt\r\n");
  EXPECT_EQ(ReadRecentDocuments(path), (std::vector<std::string>{"/a.bmt", "/b.bmt"}));
  ASSERT_EQ(WriteRecentDocuments(path, {"/c.bmt"}), "");
  EXPECT_EQ(ReadRecentDocuments(path), (std::vector<std::string>{"/c.bmt"}));
  EXPECT_EQ(ReadFileBytes(path).find("/z.bmt"), std::string::npos);
}

TEST(WindowPlaceTest, AbsentOrBrokenPlaceIsNone) {
  TempDir dir;
  const std::string path = dir.File("r770cfg.ini");
  EXPECT_FALSE(ReadWindowPlace(path));
  for (const char* text : {"[MainWindow]\r\nLeft=1\r\nTop=2\r\nWidth=abc\r\nHeight=500\r\n",
                           "[MainWindow]\r\nLeft=1\r\nTop=2\r\nWidth=30\r\nHeight=500\r\n",
                           "[MainWindow]\r\nLeft=1\r\nWidth=800\r\nHeight=500\r\n"}) {
    WriteFileBytes(path, text);
    EXPECT_FALSE(ReadWindowPlace(path)) << text;
  }
}

TEST(WindowPlaceTest, FitBringsTheWindowOntoTheScreen) {
  const WindowPlace screen{0, 0, 1366, 740};
  struct Case {
    WindowPlace stored, fitted;
  };
  const Case cases[] = {
      {{100, 50, 900, 500}, {100, 50, 900, 500}},     // fits: unchanged
      {{1200, 600, 900, 500}, {466, 240, 900, 500}},  // off the right and bottom
      {{-300, -40, 900, 500}, {0, 0, 900, 500}},      // off the left and top
      {{0, 0, 2560, 1400}, {0, 0, 1366, 740}},        // larger than the screen
  };
  for (const Case& c : cases) EXPECT_EQ(FitWindowPlace(c.stored, screen), c.fitted);
}

}  // namespace
}  // namespace r770
