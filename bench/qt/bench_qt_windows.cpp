// Opening the Discrete Inputs editor window on a large configuration (64 controllers offering
// 200 bit parameters each), offscreen: the form model's work plus filling and drawing the
// tree and table widgets.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTest>

#include "../../tests/editors/large_database.h"
#include "fake_dialogs.h"
#include "ui/register_map_window.h"

namespace {

using r770::test::LargeConfiguration;

LargeConfiguration& Large() {
  static LargeConfiguration large;
  return large;
}

// The window created, opened and shown until it is on the (offscreen) screen.
void BM_FirstOpeningDiscreteInputsWindow(benchmark::State& state) {
  LargeConfiguration& l = Large();
  r770::test::FakeDialogs dialogs;
  for (auto _ : state) {
    r770::TFModbusTC w(l.cfg, l.settings, dialogs);
    w.Prepare();
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) state.SkipWithError("the window was never shown");
    benchmark::DoNotOptimize(w.Tree()->topLevelItemCount());
  }
}
BENCHMARK(BM_FirstOpeningDiscreteInputsWindow)->Unit(benchmark::kMillisecond);

// The shown window opened again: the tree is rebuilt and drawn.
void BM_ReopeningDiscreteInputsWindow(benchmark::State& state) {
  LargeConfiguration& l = Large();
  r770::test::FakeDialogs dialogs;
  r770::TFModbusTC w(l.cfg, l.settings, dialogs);
  w.Prepare();
  w.show();
  if (!QTest::qWaitForWindowExposed(&w)) state.SkipWithError("the window was never shown");
  for (auto _ : state) {
    w.Prepare();
    QApplication::processEvents();
    benchmark::DoNotOptimize(w.Tree()->topLevelItemCount());
  }
  state.counters["controllers"] = w.Tree()->topLevelItemCount();
}
BENCHMARK(BM_ReopeningDiscreteInputsWindow)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
