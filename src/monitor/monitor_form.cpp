#include "monitor/monitor_form.h"

#include <algorithm>
#include <cstdio>

#include "common/codec.h"
#include "common/dialogs.h"
#include "common/number_forms.h"

namespace r770 {
namespace {

// Lower case of the Cyrillic and Latin letters, for the text filter.
std::u32string Folded(const std::string& text) {
  std::u32string s = Utf8ToU32(text);
  for (char32_t& c : s) {
    if (c >= U'A' && c <= U'Z')
      c += 0x20;
    else if (c >= 0x410 && c <= 0x42F)
      c += 0x20;
    else if (c == 0x401)
      c = 0x451;
  }
  return s;
}

std::string ClockText(const LocalTime& t) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", t.hour, t.minute, t.second, t.millisecond);
  return buf;
}

}  // namespace

// ---- TrendBuffer ----

TrendBuffer::TrendBuffer(std::size_t capacity) : ring_(std::max<std::size_t>(capacity, 1)) {}

void TrendBuffer::Add(double seconds, double value) {
  ring_[head_] = {seconds, value, false};
  head_ = (head_ + 1) % ring_.size();
  size_ = std::min(size_ + 1, ring_.size());
}

TrendSample TrendBuffer::At(std::size_t i) const {
  return ring_[(head_ + ring_.size() - size_ + i) % ring_.size()];
}

void TrendBuffer::AddGap(double seconds) {
  if (size_ > 0 && At(size_ - 1).gap) return;
  Add(seconds, 0);
  ring_[(head_ + ring_.size() - 1) % ring_.size()].gap = true;
}

std::vector<std::vector<TrendSample>> TrendBuffer::Runs(double fromSeconds) const {
  std::vector<std::vector<TrendSample>> runs(1);
  for (const TrendSample& s : Since(fromSeconds)) {
    if (!s.gap)
      runs.back().push_back(s);
    else if (!runs.back().empty())
      runs.emplace_back();
  }
  if (runs.back().empty()) runs.pop_back();
  return runs;
}

std::vector<TrendSample> TrendBuffer::Since(double fromSeconds) const {
  std::vector<TrendSample> out;
  for (std::size_t i = 0; i < size_; ++i) {
    TrendSample s = At(i);
    if (s.seconds >= fromSeconds) out.push_back(s);
  }
  return out;
}

// ---- the exchange side ----

struct MonitorForm::Session {
  std::uint64_t id = 0;
  std::unique_ptr<ModbusTransport> transport;
  std::unique_ptr<MonitorPoller> poller;
};

struct MonitorForm::Outcome {
  std::uint64_t session = 0;
  bool write = false;
  CycleReport report;
  std::vector<PointReading> readings;
  LocalTime time;
  std::int64_t nowMs = 0;
  CoilWriteResult written;
  std::uint16_t coil = 0;
};

MonitorForm::MonitorForm(const Configuration& cfg, const ProgramSettings& settings, Dialogs& dialogs,
                         Clock& clock, TransportFactory transports, bool threaded)
    : cfg_(cfg),
      settings_(settings),
      dialogs_(dialogs),
      clock_(clock),
      transports_(std::move(transports)),
      worker_(std::make_unique<MonitorWorker>(threaded)) {
  if (!transports_) transports_ = [] { return std::make_unique<TcpModbusTransport>(); };
  status_ = "Остановлен";
  if (!settings_.Path.empty() &&
      ReadMonitorCsvDialect(settings_.Path) == kCsvDialectKeys[static_cast<int>(CsvDialect::Russian)])
    dialect_ = CsvDialect::Russian;
}

MonitorForm::~MonitorForm() {
  if (session_) session_->poller->Cancel();
  worker_.reset();  // joins: the job under way ends within one answer time
}

void MonitorForm::BuildPoints(std::vector<MonitorPoint> points, bool keepTrendHistory) {
  // An entry that is still there (same map, address and name) keeps its ticked trend.
  std::map<int, TrendBuffer> trends;
  for (auto& [point, trend] : trends_) {
    const MonitorPoint& old = points_[static_cast<std::size_t>(point)];
    for (std::size_t i = 0; i < points.size(); ++i) {
      const MonitorPoint& p = points[i];
      if (p.kind == old.kind && p.address == old.address && p.name == old.name) {
        trends.emplace(static_cast<int>(i),
                       keepTrendHistory ? std::move(trend) : TrendBuffer(kTrendCapacity));
        break;
      }
    }
  }
  trends_ = std::move(trends);
  points_ = std::move(points);
  readings_.assign(points_.size(), PointReading{});
  BuildRows();
}

void MonitorForm::BuildRows() {
  rows_.resize(points_.size());
  for (std::size_t i = 0; i < points_.size(); ++i) {
    const MonitorPoint& p = points_[i];
    const PointReading& r = readings_[i];
    MonitorRow& row = rows_[i];
    row.point = static_cast<int>(i);
    row.map = MapTitle(p.kind);
    row.row = std::to_string(p.row + 1);
    row.address = std::to_string(p.address);
    row.name = p.name;
    row.value = r.valid ? r.value : std::string();
    row.changedAt = r.seen ? ClockText(r.changedAt) : std::string();
    row.note = r.note;
    row.highlighted = r.changed;
    row.trendable = !IsBitMap(p.kind);
    row.trended = trends_.count(static_cast<int>(i)) != 0;
    row.writable = p.kind == MapKind::TU;
  }
}

void MonitorForm::Show() {
  if (running_ || DocumentBusy()) return;
  BuildPoints(CollectMonitorPoints(cfg_), false);
}

bool MonitorForm::DocumentChanged() {
  if (DocumentBusy()) return false;
  std::vector<MonitorPoint> points = CollectMonitorPoints(cfg_);
  if (points == points_) return false;
  if (!running_) {
    BuildPoints(std::move(points), false);
    return true;
  }
  RetireSession();
  BuildPoints(std::move(points), true);
  NewSession();
  cyclePending_ = false;
  nextCycleMs_ = clock_.NowMs();
  const LocalTime t = clock_.LocalNow();
  char at[16];
  std::snprintf(at, sizeof at, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  planNote_ = std::string("карты изменены, опрос начат заново в ") + at;
  status_ = StatusText();
  Tick();
  return true;
}

bool MonitorForm::ApplyPeriod() {
  auto v = ParseUDec(Trim(periodText));
  const bool ok =
      v && *v >= static_cast<std::uint32_t>(kMinPeriodMs) && *v <= static_cast<std::uint32_t>(kMaxPeriodMs);
  if (ok)
    periodMs_ = static_cast<int>(*v);
  else
    dialogs_.Information(kBadPeriodMessage);
  periodText = std::to_string(periodMs_);
  return ok;
}

void MonitorForm::NewSession() {
  auto session = std::make_shared<Session>();
  session->id = session_ ? session_->id + 1 : 1;
  session->transport = transports_();
  session->poller = std::make_unique<MonitorPoller>(points_, MonitorLinkFrom(settings_), *session->transport,
                                                    clock_, decimalSeparator);
  session_ = std::move(session);
}

void MonitorForm::Start() {
  if (running_ || !ApplyPeriod()) return;
  BuildPoints(DocumentBusy() ? points_ : CollectMonitorPoints(cfg_), false);
  NewSession();
  running_ = true;
  cyclePending_ = false;
  cycles_ = 0;
  totalErrors_ = 0;
  planNote_.clear();
  last_ = CycleReport{};
  startedMs_ = clock_.NowMs();
  nextCycleMs_ = startedMs_;
  trendNow_ = 0;
  status_ = "Опрос " + settings_.IP_AdrTest + ":" + std::to_string(settings_.PortTcpTest);
  Tick();
}

void MonitorForm::RetireSession() {
  if (!session_) return;
  std::shared_ptr<Session> session = session_;
  session->poller->Cancel();
  worker_->Post([session] { session->poller->Close(); });
}

void MonitorForm::Stop() {
  const bool wasRunning = running_;
  running_ = false;
  RetireSession();
  if (wasRunning) status_ = "Остановлен. " + StatusText();
}

void MonitorForm::PostCycle() {
  cyclePending_ = true;
  std::shared_ptr<Session> session = session_;
  worker_->Post([this, session] {
    Outcome o;
    o.session = session->id;
    o.report = session->poller->Cycle();
    o.readings = session->poller->Readings();
    o.time = clock_.LocalNow();
    o.nowMs = clock_.NowMs();
    std::lock_guard lock(mailboxMutex_);
    mailbox_.push_back(std::move(o));
  });
}

void MonitorForm::Tick() {
  Collect();
  if (running_ && !cyclePending_ && clock_.NowMs() >= nextCycleMs_) {
    // The next cycle is due a period after this one began; a late cycle starts at once.
    nextCycleMs_ = std::max(nextCycleMs_ + periodMs_, clock_.NowMs());
    PostCycle();
    Collect();  // without a worker thread the cycle is done already
  }
}

void MonitorForm::Settle() {
  worker_->Drain();
  Collect();
}

void MonitorForm::Collect() {
  std::vector<Outcome> outcomes;
  {
    std::lock_guard lock(mailboxMutex_);
    outcomes.swap(mailbox_);
  }
  for (Outcome& o : outcomes) Apply(o);
}

void MonitorForm::Apply(Outcome& o) {
  // A coil command is told even when the plan has been restarted since it was sent.
  if (o.write) {
    writePending_ = false;
    const std::string coil = "Coil " + std::to_string(o.coil);
    coilResult_ = "Команда в " + coil + (o.written.ok ? " выполнена" : " не выполнена");
    status_ = cycles_ > 0 ? StatusText() : coilResult_;
    if (!o.written.ok) dialogs_.Information("Команда в " + coil + " не выполнена: " + o.written.note);
    return;
  }
  if (!session_ || o.session != session_->id) return;  // of a plan since replaced
  cyclePending_ = false;
  if (!running_) return;
  ++cycles_;
  last_ = o.report;
  totalErrors_ += o.report.errors;
  readings_ = std::move(o.readings);
  trendNow_ = static_cast<double>(o.nowMs - startedMs_) / 1000.0;
  for (auto& [point, trend] : trends_) {
    const PointReading& r = readings_[static_cast<std::size_t>(point)];
    if (r.valid)
      trend.Add(trendNow_, r.number);
    else
      trend.AddGap(trendNow_);  // no line across an outage
  }
  if (recorder_.IsOpen()) {
    std::string error;
    if (!recorder_.Append(o.time, points_, readings_, error)) {
      recorder_.Close();
      dialogs_.Information(error);
    }
  }
  BuildRows();
  status_ = StatusText();
}

std::string MonitorForm::StatusText() const {
  auto ms = [this](double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    std::string s = buf;
    auto dot = s.find('.');
    if (dot != std::string::npos) s.replace(dot, 1, decimalSeparator);
    return s;
  };
  std::string s = "Циклов: " + std::to_string(cycles_);
  if (cycles_ > 0 && !last_.connected) {
    s += " | нет связи с " + settings_.IP_AdrTest + ":" + std::to_string(settings_.PortTcpTest);
    if (last_.retryInMs > 0) s += ", повтор через " + std::to_string((last_.retryInMs + 999) / 1000) + " с";
  } else {
    s += " | запросов за цикл: " + std::to_string(last_.requests) +
         " | время обмена: " + ms(last_.roundTripMs) + " мс";
  }
  s += " | ошибок: " + std::to_string(totalErrors_);
  if (!planNote_.empty()) s += " | " + planNote_;
  if (!coilResult_.empty()) s += " | " + coilResult_;  // until the next command
  return s;
}

std::vector<int> MonitorForm::VisibleRows() const {
  std::vector<int> out;
  const std::u32string needle = Folded(Trim(textFilter));
  for (const MonitorRow& row : rows_) {
    const MonitorPoint& p = points_[static_cast<std::size_t>(row.point)];
    if (mapFilter && p.kind != *mapFilter) continue;
    if (!needle.empty() && Folded(row.name).find(needle) == std::u32string::npos &&
        Utf8ToU32(row.address).find(needle) == std::u32string::npos)
      continue;
    out.push_back(row.point);
  }
  return out;
}

bool MonitorForm::SetTrend(int point, bool on) {
  if (point < 0 || point >= static_cast<int>(points_.size())) return false;
  if (!on) {
    trends_.erase(point);
    BuildRows();
    return true;
  }
  if (IsBitMap(points_[static_cast<std::size_t>(point)].kind)) return false;
  if (trends_.count(point)) return true;
  if (static_cast<int>(trends_.size()) >= kMaxTrends) {
    dialogs_.Information("Графики можно построить не более чем для " + std::to_string(kMaxTrends) +
                         " параметров");
    return false;
  }
  trends_.emplace(point, TrendBuffer(kTrendCapacity));
  BuildRows();
  return true;
}

std::vector<int> MonitorForm::TrendPoints() const {
  std::vector<int> out;
  for (const auto& [point, trend] : trends_) out.push_back(point);
  return out;
}

const TrendBuffer* MonitorForm::Trend(int point) const {
  auto it = trends_.find(point);
  return it == trends_.end() ? nullptr : &it->second;
}

void MonitorForm::ToggleRecording() {
  if (recorder_.IsOpen()) {
    recorder_.Close();
    return;
  }
  auto path = dialogs_.SaveFile({{"Файлы CSV (*.csv)", "*.csv"}, {"Все файлы (*.*)", "*.*"}});
  if (!path || path->empty()) return;
  std::string error;
  if (!recorder_.Open(WithCsvExtension(*path), dialect_, error)) dialogs_.Information(error);
}

bool MonitorForm::SetDialect(CsvDialect dialect) {
  if (dialect == dialect_) return true;
  dialect_ = dialect;
  if (settings_.Path.empty()) return true;
  const std::string error =
      WriteMonitorCsvDialect(settings_.Path, kCsvDialectKeys[static_cast<int>(dialect)]);
  if (error.empty()) return true;
  dialogs_.Information(error);
  return false;
}

void MonitorForm::WriteCoil(int point, bool on) {
  if (point < 0 || point >= static_cast<int>(points_.size()) || writePending_) return;
  const MonitorPoint& p = points_[static_cast<std::size_t>(point)];
  if (p.kind != MapKind::TU) return;
  const std::string question = "Отправить команду в Coil " + std::to_string(p.address) + " (параметр \"" +
                               p.name + "\"): " + (on ? "включить (1)" : "отключить (0)") + "?";
  // Enter must never switch a coil: the question's default answer is No.
  coilResult_.clear();
  if (!dialogs_.ConfirmDefaultNo(question)) {
    coilResult_ = "Команда не отправлена";
    status_ = cycles_ > 0 ? StatusText() : coilResult_;
    return;
  }
  if (!session_) NewSession();  // not started yet: a connection for the command
  writePending_ = true;
  std::shared_ptr<Session> session = session_;
  const std::uint16_t address = p.address;
  worker_->Post([this, session, address, on] {
    Outcome o;
    o.session = session->id;
    o.write = true;
    o.coil = address;
    o.written = session->poller->WriteCoil(address, on);
    std::lock_guard lock(mailboxMutex_);
    mailbox_.push_back(std::move(o));
  });
  Collect();
}

}  // namespace r770
