// "Монитор карты": form model of the live map monitor. Every non-empty entry of the four
// maps is read from the module's Modbus/TCP server, cycle after cycle, and shown by the name
// the map editors give it; values of up to eight register entries are kept for trend plots;
// every cycle can be recorded to a CSV file; a coil can be written after a confirmation.
//
// The exchange runs on a worker thread: the window calls Tick() from its timer, which takes
// the results of a finished cycle and starts the next one when the poll period is over; no
// call here waits for the network.
//
// The window stays open while the document is edited, created or loaded: the document is
// read on the window's thread only (Show, Start, DocumentChanged) into points of its own,
// and the worker sees nothing but copies of those.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "document/configuration.h"
#include "document/program_settings.h"
#include "monitor/monitor_poller.h"
#include "monitor/monitor_recorder.h"
#include "monitor/monitor_worker.h"

namespace r770 {

class Dialogs;

inline constexpr const char* kMonitorColumns[7] = {
    "Карта", "№", "Адрес Modbus", "Параметр", "Значение", "Время изменения", "Примечание"};

struct MonitorRow {
  int point = 0;  // index into Points()
  std::string map, row, address, name, value, changedAt, note;
  bool highlighted = false;  // changed in the last cycle
  bool trendable = false;    // a register entry
  bool trended = false;
  bool writable = false;  // a coil
};

struct TrendSample {
  double seconds = 0;  // since the monitor was started
  double value = 0;
  bool gap = false;  // no value at this time: the module did not answer
};

// The last values of one trend in a ring of fixed capacity: memory stays the same however
// long the monitor runs.
class TrendBuffer {
 public:
  explicit TrendBuffer(std::size_t capacity);
  void Add(double seconds, double value);
  // No value at `seconds`: the line is broken there (a run of gaps is kept as one).
  void AddGap(double seconds);
  std::size_t Size() const { return size_; }
  std::size_t Capacity() const { return ring_.size(); }
  // Oldest first.
  TrendSample At(std::size_t i) const;
  // The samples at or after fromSeconds, oldest first.
  std::vector<TrendSample> Since(double fromSeconds) const;
  // The same cut into the runs of values between gaps, oldest first; no run is empty.
  std::vector<std::vector<TrendSample>> Runs(double fromSeconds) const;

 private:
  std::vector<TrendSample> ring_;
  std::size_t head_ = 0;  // where the next sample goes
  std::size_t size_ = 0;
};

class MonitorForm {
 public:
  static constexpr const char* kCaption = "Монитор карты";
  static constexpr const char* kStartButton = "Пуск";
  static constexpr const char* kStopButton = "Стоп";
  static constexpr const char* kPeriodLabel = "Период опроса, мс";
  static constexpr const char* kMapFilterLabel = "Карта";
  static constexpr const char* kAllMaps = "Все карты";
  static constexpr const char* kTextFilterLabel = "Поиск";
  static constexpr const char* kRecordButton = "Запись в файл";
  static constexpr const char* kRecordStopButton = "Остановить запись";
  static constexpr const char* kCoilOnButton = "Включить Coil";
  static constexpr const char* kCoilOffButton = "Отключить Coil";
  static constexpr const char* kTrendCaption = "График";
  static constexpr int kDefaultPeriodMs = 1000;
  static constexpr int kMinPeriodMs = 100;
  static constexpr int kMaxPeriodMs = 3600000;
  static constexpr const char* kBadPeriodMessage =
      "Неверно введен период опроса: целое число миллисекунд от 100 до 3600000";
  static constexpr int kMaxTrends = 8;
  static constexpr int kTrendSpanSeconds = 600;  // the last ten minutes are plotted
  // Samples a trend keeps: the span at the shortest period.
  static constexpr std::size_t kTrendCapacity = kTrendSpanSeconds * 1000 / kMinPeriodMs;

  using TransportFactory = std::function<std::unique_ptr<ModbusTransport>()>;

  // cfg and settings are read on the window's thread only (at Show and Start); transports
  // come from `transports` (none: TCP). threaded: exchange on a worker thread (else inside
  // Tick, for tests).
  MonitorForm(const Configuration& cfg, const ProgramSettings& settings, Dialogs& dialogs,
              Clock& clock = SystemClock(), TransportFactory transports = {}, bool threaded = true);
  ~MonitorForm();

  // Decimal separator of the values shown (the locale's).
  std::string decimalSeparator = ",";
  // Field "Период опроса, мс".
  std::string periodText = std::to_string(kDefaultPeriodMs);
  // Filters: map (none: every map) and text (part of the name or the address, any case).
  std::optional<MapKind> mapFilter;
  std::string textFilter;

  // The window is shown: the table is built from the maps (unless the monitor runs).
  void Show();
  // The document may have changed (edited, created, loaded): the maps are read again and,
  // when they differ, the table is built anew; a running monitor restarts its plan with
  // them at once and says so in its status line. True when the maps differed.
  bool DocumentChanged();
  // While it answers true the document is half made (a load or save runs): it is not read,
  // and "Пуск" polls the maps read before.
  std::function<bool()> documentBusy;
  // "Пуск": the period is taken, the points are built again and polling begins; a period
  // that is refused starts nothing.
  void Start();
  // "Стоп": no further cycles; the connection is closed.
  void Stop();
  bool Running() const { return running_; }
  // The poll period field was left: a number of milliseconds from 100 to 3600000; anything
  // else is refused with a message and the field shows the previous value again.
  bool ApplyPeriod();
  int PeriodMs() const { return periodMs_; }
  // Timer of the window: takes finished work, starts the next cycle when it is due.
  void Tick();
  // Blocks until the worker is idle, then Tick (tests and screenshots only).
  void Settle();

  const std::vector<MonitorPoint>& Points() const { return points_; }
  const std::vector<MonitorRow>& Rows() const { return rows_; }
  // Rows passing both filters, as indexes into Rows().
  std::vector<int> VisibleRows() const;
  const std::string& Status() const { return status_; }
  int Cycles() const { return cycles_; }
  const CycleReport& LastReport() const { return last_; }
  // Points left with a note, summed over every cycle since "Пуск" (the status line's
  // "ошибок").
  long long TotalErrors() const { return totalErrors_; }

  // Trend of a register entry ticked or cleared; false when refused (not a register entry,
  // or eight are plotted already: message).
  bool SetTrend(int point, bool on);
  std::vector<int> TrendPoints() const;
  const TrendBuffer* Trend(int point) const;
  // Seconds since Start of the latest cycle (the right end of the plot).
  double TrendNow() const { return trendNow_; }

  // "Запись в файл": asks for a file (".csv" added to a name without an extension) and
  // starts recording in the chosen dialect; pressed again, stops.
  void ToggleRecording();
  // Dialect of the next recording; the choice is kept in the settings file (section
  // "Monitor") and read back by the next monitor. False with a message when it cannot be
  // written there (the choice holds for this window all the same).
  CsvDialect Dialect() const { return dialect_; }
  bool SetDialect(CsvDialect dialect);
  bool Recording() const { return recorder_.IsOpen(); }
  const std::string& RecordPath() const { return recorder_.Path(); }

  // A command to the coil of `point`: only after a confirmation naming the address and the
  // parameter, whose default answer is No; the answer comes with a later Tick.
  void WriteCoil(int point, bool on);
  // The outcome of the last coil command ("Команда в Coil 2 выполнена"), shown in the status
  // line after the cycle figures until the next command.
  const std::string& CoilResult() const { return coilResult_; }
  bool CoilWritePending() const { return writePending_; }

 private:
  struct Session;
  struct Outcome;
  void BuildPoints(std::vector<MonitorPoint> points, bool keepTrendHistory);
  bool DocumentBusy() const { return documentBusy && documentBusy(); }
  // Stops the exchange of the current session (its results are ignored from now on).
  void RetireSession();
  void BuildRows();
  // A new connection and poller for the current points; results of older ones are ignored.
  void NewSession();
  void PostCycle();
  void Collect();
  void Apply(Outcome& outcome);
  std::string StatusText() const;

  const Configuration& cfg_;
  const ProgramSettings& settings_;
  Dialogs& dialogs_;
  Clock& clock_;
  TransportFactory transports_;

  std::vector<MonitorPoint> points_;
  std::vector<PointReading> readings_;
  std::vector<MonitorRow> rows_;
  std::map<int, TrendBuffer> trends_;
  MonitorRecorder recorder_;

  int periodMs_ = kDefaultPeriodMs;
  CsvDialect dialect_ = CsvDialect::Rfc4180;
  long long totalErrors_ = 0;
  std::string planNote_;  // the plan restarted on a changed document
  std::string coilResult_;
  bool running_ = false;
  bool cyclePending_ = false;
  bool writePending_ = false;
  std::int64_t startedMs_ = 0;
  std::int64_t nextCycleMs_ = 0;
  double trendNow_ = 0;
  int cycles_ = 0;
  CycleReport last_;
  std::string status_;

  std::shared_ptr<Session> session_;
  // Results handed over by the worker.
  std::mutex mailboxMutex_;
  std::vector<Outcome> mailbox_;
  // Declared last: destroyed first, so no job outlives what it uses.
  std::unique_ptr<MonitorWorker> worker_;
};

}  // namespace r770
