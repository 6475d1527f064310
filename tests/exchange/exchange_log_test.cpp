#include "exchange/exchange_log.h"

#include <gtest/gtest.h>

#include "common/codec.h"
#include "exchange/exchange_view.h"
#include "temp_dir.h"

namespace r770 {
namespace {

struct LogOnlyView : ExchangeView {
  std::vector<std::string> lines;
  int cleared = 0;
  void LogAppended(const std::string& l) override { lines.push_back(l); }
  void LogCleared() override {
    lines.clear();
    ++cleared;
  }
  void SetBusy(bool) override {}
  void PumpEvents() override {}
  void Information(const std::string&) override {}
  bool Confirm(const std::string&) override { return false; }
  void SetMainStatus(const std::string&) override {}
  void UpdateDocumentMenus(bool) override {}
};

TEST(ExchangeLog, DayFileNameAndLineFormat) {
  test::TempDir dir;
  FakeClock clock;
  clock.SetLocalBase({2026, 12, 6, 9, 5, 7, 30});
  ExchangeLog log(clock, dir.path());
  log.Add("WriteCommon");
  clock.Advance(1234);
  log.Add("127.0.0.1 (CAF8) >> 10 41 01 42 16");
  EXPECT_EQ(log.CurrentPath(), dir.File("06_12_26.Txt"));
  EXPECT_EQ(test::ReadFileBytes(dir.File("06_12_26.Txt")),
            "09:05:07:030 : WriteCommon\r\n"
            "09:05:08:264 : 127.0.0.1 (CAF8) >> 10 41 01 42 16\r\n");
  // A second window opening of the same day appends to the same file, in code page 1251.
  ExchangeLog again(clock, dir.path());
  again.Add("WrModbus пересчет KC");
  EXPECT_EQ(test::ReadFileBytes(dir.File("06_12_26.Txt")),
            "09:05:07:030 : WriteCommon\r\n"
            "09:05:08:264 : 127.0.0.1 (CAF8) >> 10 41 01 42 16\r\n"
            "09:05:08:264 : " +
                Utf8ToCp1251("WrModbus пересчет KC") + "\r\n");
}

TEST(ExchangeLog, ViewEmptiedOncePastFiveHundredLines) {
  test::TempDir dir;
  FakeClock clock;
  ExchangeLog log(clock, dir.path());
  LogOnlyView view;
  log.SetView(&view);
  for (int i = 0; i < 501; ++i) log.Add("line " + std::to_string(i));
  EXPECT_EQ(log.Lines().size(), 501u);  // 500 held: the 501st still goes in
  EXPECT_EQ(view.cleared, 0);
  log.Add("line 501");
  EXPECT_EQ(view.cleared, 1);
  EXPECT_EQ(log.Lines(), std::vector<std::string>{"line 501"});
  EXPECT_EQ(view.lines, log.Lines());
}

TEST(ExchangeLog, UnwritableFileIsReportedOnceAndLoggingGoesOn) {
  test::TempDir dir;
  FakeClock clock;
  ExchangeLog log(clock, dir.File("no such folder"));
  LogOnlyView view;
  log.SetView(&view);
  log.Add("one");
  log.Add("two");
  ASSERT_EQ(view.lines.size(), 3u);
  EXPECT_EQ(view.lines[0], "one");
  EXPECT_NE(view.lines[1].find("Не удается записать журнал обмена в файл"), std::string::npos);
  EXPECT_NE(view.lines[1].find("06_12_26.Txt"), std::string::npos);
  EXPECT_EQ(view.lines[2], "two");
  // Shown anew: the view is emptied and a failure is reported again.
  log.Clear();
  log.Add("three");
  EXPECT_EQ(view.lines.size(), 2u);
}

}  // namespace
}  // namespace r770
