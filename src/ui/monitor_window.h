// "Монитор карты": the live map monitor window, drawing MonitorForm — the table of every
// mapped entry with its value, the trend plot of the ticked register entries, recording and
// coil commands. A timer drives the form; the exchange itself runs on the form's worker
// thread, so the window never waits for the module. The window is modeless: it stays open
// beside the main window while the document is edited, and the main window tells it when
// the document may have changed.
#pragma once
#include <QDialog>
#include <map>
#include <memory>
#include <vector>

#include "monitor/monitor_form.h"

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QLineSeries;
class QPushButton;
class QScrollArea;
class QTableWidget;
class QTimer;
class QValueAxis;

namespace r770 {

class MonitorWindow : public QDialog {
  Q_OBJECT
 public:
  MonitorWindow(const Configuration& cfg, const ProgramSettings& settings, Dialogs& dialogs, QWidget* parent,
                MonitorForm::TransportFactory transports = {});
  ~MonitorWindow() override;

  MonitorForm& Form() { return *form_; }
  // Builds the table from the maps (unless the monitor runs) and shows the window, or brings
  // it to the front when it is open; returns at once.
  void Open();
  // The same without showing the window (tests, screenshots).
  void Prepare();
  // The document may have changed: the maps are read again (see MonitorForm).
  void DocumentChanged();

  QPushButton* StartButton() const { return start_; }
  QPushButton* RecordButton() const { return record_; }
  QPushButton* CoilOnButton() const { return coilOn_; }
  QPushButton* CoilOffButton() const { return coilOff_; }
  QLineEdit* PeriodEdit() const { return period_; }
  QComboBox* MapFilter() const { return mapFilter_; }
  QComboBox* DialectChoice() const { return dialect_; }
  QLineEdit* TextFilter() const { return textFilter_; }
  QTableWidget* Table() const { return table_; }
  QChartView* ChartView() const { return chartView_; }
  QLabel* StatusLabel() const { return status_; }
  QScrollArea* StatusArea() const { return statusArea_; }
  // Series of the plot, by point: the first run of values (the one in the legend), and every
  // run, one line between two gaps.
  QLineSeries* Series(int point) const;
  std::vector<QLineSeries*> SeriesRuns(int point) const;

  void reject() override;

 private:
  void Tick();
  void Render();
  void RenderTable();
  void RenderChart();
  int CurrentPoint() const;
  void FitNoteColumn();
  void DropSeries();

  std::unique_ptr<MonitorForm> form_;
  QPushButton* start_ = nullptr;
  QPushButton* record_ = nullptr;
  QPushButton* coilOn_ = nullptr;
  QPushButton* coilOff_ = nullptr;
  QLineEdit* period_ = nullptr;
  QComboBox* mapFilter_ = nullptr;
  QComboBox* dialect_ = nullptr;
  QLineEdit* textFilter_ = nullptr;
  QTableWidget* table_ = nullptr;
  QChart* chart_ = nullptr;
  QChartView* chartView_ = nullptr;
  QValueAxis* axisX_ = nullptr;
  QValueAxis* axisY_ = nullptr;
  QLabel* status_ = nullptr;
  QScrollArea* statusArea_ = nullptr;
  QTimer* timer_ = nullptr;
  std::map<int, std::vector<QLineSeries*>> series_;
  int renderedCycles_ = -1;
  bool rendering_ = false;
};

}  // namespace r770
