#include "ui/monitor_window.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QLocale>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "ui/qt_support.h"

namespace r770 {
namespace {

using Form = MonitorForm;
// Column 0 holds the trend check box; the form's columns follow.
constexpr int kTrendColumn = 0;
constexpr int kFirstColumn = 1;
constexpr int kTickMs = 50;
const QColor kChangedColour(255, 236, 150);
constexpr std::size_t kMaxPlotted = 1500;

}  // namespace

MonitorWindow::MonitorWindow(const Configuration& cfg, const ProgramSettings& settings, Dialogs& dialogs,
                             QWidget* parent, MonitorForm::TransportFactory transports)
    : QDialog(parent),
      form_(std::make_unique<MonitorForm>(cfg, settings, dialogs, SystemClock(), std::move(transports))) {
  setWindowTitle(Q(Form::kCaption));
  setModal(false);
  form_->decimalSeparator = S(QLocale().decimalPoint());

  auto* layout = new QVBoxLayout(this);
  auto* controls = new QHBoxLayout();
  start_ = new QPushButton(Q(Form::kStartButton), this);
  start_->setAutoDefault(false);
  controls->addWidget(start_);
  controls->addWidget(new QLabel(Q(Form::kPeriodLabel), this));
  period_ = new QLineEdit(this);
  period_->setMaximumWidth(80);
  controls->addWidget(period_);
  controls->addSpacing(12);
  controls->addWidget(new QLabel(Q(Form::kMapFilterLabel), this));
  mapFilter_ = new QComboBox(this);
  mapFilter_->addItem(Q(Form::kAllMaps));
  for (MapKind k : kAllMapKinds) mapFilter_->addItem(Q(MapTitle(k)));
  controls->addWidget(mapFilter_);
  controls->addWidget(new QLabel(Q(Form::kTextFilterLabel), this));
  textFilter_ = new QLineEdit(this);
  controls->addWidget(textFilter_, 1);
  record_ = new QPushButton(Q(Form::kRecordButton), this);
  record_->setAutoDefault(false);
  controls->addWidget(record_);
  layout->addLayout(controls);

  auto* splitter = new QSplitter(Qt::Vertical, this);
  table_ = new QTableWidget(0, kFirstColumn + 7, splitter);
  QStringList titles{Q(Form::kTrendCaption)};
  for (const char* t : kMonitorColumns) titles << Q(t);
  table_->setHorizontalHeaderLabels(titles);
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  // The note column is as wide as its longest note (FitNoteColumn): the table scrolls
  // sideways on a narrow screen rather than cut a note.
  table_->horizontalHeader()->setStretchLastSection(false);
  table_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  const int widths[] = {60, 120, 40, 110, 300, 100, 130, 200};
  for (int c = 0; c < 8; ++c) table_->setColumnWidth(c, widths[c]);

  chart_ = new QChart();
  chart_->legend()->setAlignment(Qt::AlignRight);
  axisX_ = new QValueAxis(chart_);
  axisX_->setTitleText(Q("с"));
  axisX_->setLabelFormat("%.0f");
  axisY_ = new QValueAxis(chart_);
  chart_->addAxis(axisX_, Qt::AlignBottom);
  chart_->addAxis(axisY_, Qt::AlignLeft);
  chartView_ = new QChartView(chart_, splitter);
  chartView_->setRenderHint(QPainter::Antialiasing);
  chartView_->setMinimumHeight(160);
  splitter->setStretchFactor(0, 3);
  splitter->setStretchFactor(1, 2);
  layout->addWidget(splitter, 1);

  auto* bottom = new QHBoxLayout();
  coilOn_ = new QPushButton(Q(Form::kCoilOnButton), this);
  coilOff_ = new QPushButton(Q(Form::kCoilOffButton), this);
  for (QPushButton* b : {coilOn_, coilOff_}) {
    b->setAutoDefault(false);
    bottom->addWidget(b);
  }
  bottom->addStretch(1);
  bottom->addWidget(new QLabel(Q("Формат записи"), this));
  dialect_ = new QComboBox(this);
  for (const char* name : kCsvDialectNames) dialect_->addItem(Q(name));
  dialect_->setCurrentIndex(static_cast<int>(form_->Dialect()));
  bottom->addWidget(dialect_);
  layout->addLayout(bottom);
  // The status line scrolls sideways when it is longer than the window is wide.
  status_ = new QLabel(this);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  statusArea_ = new QScrollArea(this);
  statusArea_->setWidget(status_);
  statusArea_->setWidgetResizable(true);
  statusArea_->setFrameShape(QFrame::NoFrame);
  statusArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  statusArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  statusArea_->setFixedHeight(status_->sizeHint().height() +
                              statusArea_->horizontalScrollBar()->sizeHint().height() + 2);
  layout->addWidget(statusArea_);

  connect(start_, &QPushButton::clicked, this, [this] {
    form_->periodText = S(period_->text());
    if (form_->Running())
      form_->Stop();
    else
      form_->Start();
    Render();
  });
  connect(period_, &QLineEdit::editingFinished, this, [this] {
    form_->periodText = S(period_->text());
    form_->ApplyPeriod();
    Render();
  });
  connect(mapFilter_, &QComboBox::currentIndexChanged, this, [this](int index) {
    form_->mapFilter.reset();
    if (index > 0) form_->mapFilter = kAllMapKinds[static_cast<std::size_t>(index - 1)];
    RenderTable();
  });
  connect(textFilter_, &QLineEdit::textChanged, this, [this](const QString& text) {
    form_->textFilter = S(text);
    RenderTable();
  });
  connect(dialect_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) form_->SetDialect(static_cast<CsvDialect>(index));
  });
  connect(record_, &QPushButton::clicked, this, [this] {
    form_->ToggleRecording();
    Render();
  });
  connect(coilOn_, &QPushButton::clicked, this, [this] {
    form_->WriteCoil(CurrentPoint(), true);
    Render();
  });
  connect(coilOff_, &QPushButton::clicked, this, [this] {
    form_->WriteCoil(CurrentPoint(), false);
    Render();
  });
  connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (rendering_ || item->column() != kTrendColumn) return;
    const int point = item->data(Qt::UserRole).toInt();
    form_->SetTrend(point, item->checkState() == Qt::Checked);
    Render();
  });
  connect(table_, &QTableWidget::currentCellChanged, this, [this] { Render(); });

  timer_ = new QTimer(this);
  timer_->setInterval(kTickMs);
  connect(timer_, &QTimer::timeout, this, [this] { Tick(); });
  resize(1000, 580);  // fits a 1024x600 screen
}

MonitorWindow::~MonitorWindow() {
  timer_->stop();
  form_->Stop();
}

void MonitorWindow::Prepare() {
  form_->Show();
  renderedCycles_ = -1;
  timer_->start();
  Render();
}

void MonitorWindow::Open() {
  if (!isVisible()) {
    Prepare();
    show();
  }
  raise();
  activateWindow();
}

void MonitorWindow::DocumentChanged() {
  // A closed monitor reads the maps when it is opened again.
  if (!isVisible() && !form_->Running()) return;
  if (!form_->DocumentChanged()) return;
  // The points are numbered anew: every line of the plot is drawn again.
  DropSeries();
  renderedCycles_ = -1;
  Render();
}

void MonitorWindow::DropSeries() {
  for (auto& [point, runs] : series_)
    for (QLineSeries* series : runs) {
      chart_->removeSeries(series);
      delete series;
    }
  series_.clear();
}

void MonitorWindow::reject() {
  form_->Stop();
  if (form_->Recording()) form_->ToggleRecording();
  timer_->stop();
  QDialog::reject();
}

void MonitorWindow::Tick() {
  form_->Tick();
  if (form_->Cycles() != renderedCycles_ || Q(form_->Status()) != status_->text()) Render();
}

int MonitorWindow::CurrentPoint() const {
  const int row = table_->currentRow();
  QTableWidgetItem* item = row >= 0 ? table_->item(row, kTrendColumn) : nullptr;
  return item ? item->data(Qt::UserRole).toInt() : -1;
}

QLineSeries* MonitorWindow::Series(int point) const {
  auto it = series_.find(point);
  return it == series_.end() || it->second.empty() ? nullptr : it->second.front();
}

std::vector<QLineSeries*> MonitorWindow::SeriesRuns(int point) const {
  auto it = series_.find(point);
  return it == series_.end() ? std::vector<QLineSeries*>{} : it->second;
}

void MonitorWindow::Render() {
  start_->setText(Q(form_->Running() ? Form::kStopButton : Form::kStartButton));
  period_->setEnabled(!form_->Running());
  if (!period_->hasFocus()) period_->setText(Q(form_->periodText));
  record_->setText(Q(form_->Recording() ? Form::kRecordStopButton : Form::kRecordButton));
  dialect_->setEnabled(!form_->Recording());
  const int point = CurrentPoint();
  const bool coil = point >= 0 && form_->Rows()[static_cast<std::size_t>(point)].writable;
  coilOn_->setEnabled(coil && !form_->CoilWritePending());
  coilOff_->setEnabled(coil && !form_->CoilWritePending());
  status_->setText(Q(form_->Status()));
  if (form_->Cycles() != renderedCycles_) {
    renderedCycles_ = form_->Cycles();
    RenderTable();
    RenderChart();
  } else {
    RenderTable();
  }
}

void MonitorWindow::RenderTable() {
  rendering_ = true;
  const std::vector<int> visible = form_->VisibleRows();
  table_->setRowCount(static_cast<int>(visible.size()));
  for (int r = 0; r < static_cast<int>(visible.size()); ++r) {
    const MonitorRow& row = form_->Rows()[static_cast<std::size_t>(visible[static_cast<std::size_t>(r)])];
    const std::string* cells[7] = {&row.map,   &row.row,       &row.address, &row.name,
                                   &row.value, &row.changedAt, &row.note};
    QTableWidgetItem* check = table_->item(r, kTrendColumn);
    if (!check) {
      check = new QTableWidgetItem();
      table_->setItem(r, kTrendColumn, check);
    }
    check->setData(Qt::UserRole, row.point);
    if (row.trendable) {
      check->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
      check->setCheckState(row.trended ? Qt::Checked : Qt::Unchecked);
    } else {
      check->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      check->setData(Qt::CheckStateRole, QVariant());
    }
    for (int c = 0; c < 7; ++c) {
      QTableWidgetItem* item = table_->item(r, kFirstColumn + c);
      if (!item) {
        item = new QTableWidgetItem();
        table_->setItem(r, kFirstColumn + c, item);
      }
      const QString text = Q(*cells[c]);
      if (item->text() != text) item->setText(text);
      const QBrush brush = row.highlighted && c == 4 ? QBrush(kChangedColour) : QBrush();
      if (item->background() != brush) item->setBackground(brush);
    }
  }
  rendering_ = false;
  FitNoteColumn();
}

void MonitorWindow::FitNoteColumn() {
  constexpr int kNote = kFirstColumn + 6;
  const QFontMetrics metrics(table_->font());
  QTableWidgetItem* title = table_->horizontalHeaderItem(kNote);
  int width =
      title ? QFontMetrics(table_->horizontalHeader()->font()).horizontalAdvance(title->text()) + 24 : 0;
  for (int r = 0; r < table_->rowCount(); ++r)
    if (QTableWidgetItem* item = table_->item(r, kNote); item && !item->text().isEmpty())
      width = std::max(width, metrics.horizontalAdvance(item->text()) + 2 * metrics.averageCharWidth());
  width = std::max(width, 200);
  if (table_->columnWidth(kNote) != width) table_->setColumnWidth(kNote, width);
}

void MonitorWindow::RenderChart() {
  const std::vector<int> points = form_->TrendPoints();
  // Series of trends no longer ticked go.
  for (auto it = series_.begin(); it != series_.end();) {
    if (std::find(points.begin(), points.end(), it->first) == points.end()) {
      for (QLineSeries* series : it->second) {
        chart_->removeSeries(series);
        delete series;
      }
      it = series_.erase(it);
    } else {
      ++it;
    }
  }
  const double now = form_->TrendNow();
  const double from = std::max(0.0, now - Form::kTrendSpanSeconds);
  double low = 0, high = 0;
  bool any = false;
  for (int point : points) {
    // One line per run of values: where the module did not answer the plot has a gap.
    const TrendBuffer* trend = form_->Trend(point);
    const std::vector<std::vector<TrendSample>> runs =
        trend ? trend->Runs(from) : std::vector<std::vector<TrendSample>>{};
    std::vector<QLineSeries*>& lines = series_[point];
    const std::size_t wanted = std::max<std::size_t>(runs.size(), 1);  // the legend keeps one
    while (lines.size() > wanted) {
      chart_->removeSeries(lines.back());
      delete lines.back();
      lines.pop_back();
    }
    while (lines.size() < wanted) {
      auto* series = new QLineSeries();
      chart_->addSeries(series);
      series->attachAxis(axisX_);
      series->attachAxis(axisY_);
      if (lines.empty()) {
        const MonitorRow& row = form_->Rows()[static_cast<std::size_t>(point)];
        series->setName(Q(row.address + " " + row.name));
      } else {
        series->setPen(lines.front()->pen());
        for (QLegendMarker* marker : chart_->legend()->markers(series)) marker->setVisible(false);
      }
      lines.push_back(series);
    }
    std::size_t total = 0;
    for (const auto& run : runs) total += run.size();
    // At most about kMaxPlotted points a trend: the plot is a few hundred pixels wide.
    const std::size_t step = total / kMaxPlotted + 1;
    for (std::size_t r = 0; r < wanted; ++r) {
      QList<QPointF> samples;
      if (r < runs.size()) {
        const std::vector<TrendSample>& run = runs[r];
        for (std::size_t i = 0; i < run.size(); ++i) {
          const TrendSample& s = run[i];
          if (i % step != 0 && i + 1 != run.size()) continue;
          samples.append(QPointF(s.seconds, s.value));
          if (!std::isfinite(s.value)) continue;
          low = any ? std::min(low, s.value) : s.value;
          high = any ? std::max(high, s.value) : s.value;
          any = true;
        }
      }
      lines[r]->replace(samples);
    }
  }
  axisX_->setRange(from, std::max(now, from + 10));
  if (any) {
    const double margin = std::max((high - low) * 0.05, 0.5);
    axisY_->setRange(low - margin, high + margin);
  }
}

}  // namespace r770
