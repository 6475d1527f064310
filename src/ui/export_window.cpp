#include "ui/export_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "ui/qt_support.h"

namespace r770 {

ExportWindow::ExportWindow(const Configuration& cfg, const ProgramSettings& settings, Dialogs& dialogs,
                           QWidget* parent)
    : QDialog(parent), form_(cfg, settings, dialogs) {
  setWindowTitle(Q(kExportCaption));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout();
  layout->addLayout(grid);

  format_ = new QComboBox(this);
  for (ExportFormat f : kAllExportFormats) format_->addItem(Q(ExportFormatTitle(f)));
  host_ = new QLineEdit(this);
  port_ = new QLineEdit(this);
  unit_ = new QLineEdit(this);
  unit_->setMaxLength(2);
  order_ = new QComboBox(this);
  for (WireOrder o : kAllWireOrders) order_->addItem(Q(ExportOrderTitle(o)));
  grid->addWidget(new QLabel(Q(kExportFormatLabel), this), 0, 0);
  grid->addWidget(format_, 0, 1, 1, 3);
  grid->addWidget(new QLabel(Q(kExportHostLabel), this), 1, 0);
  grid->addWidget(host_, 1, 1);
  grid->addWidget(new QLabel(Q(kExportPortLabel), this), 1, 2);
  grid->addWidget(port_, 1, 3);
  grid->addWidget(new QLabel(Q(kExportUnitLabel), this), 2, 0);
  grid->addWidget(unit_, 2, 1);
  grid->addWidget(new QLabel(Q(kExportOrderLabel), this), 3, 0);
  grid->addWidget(order_, 3, 1, 1, 3);

  auto* mapsGroup = new QGroupBox(Q(kExportMapsGroup), this);
  auto* mapsLayout = new QHBoxLayout(mapsGroup);
  for (MapKind k : kAllMapKinds) {
    auto* box = new QCheckBox(Q(MapTitle(k)), mapsGroup);
    maps_[static_cast<std::size_t>(k)] = box;
    mapsLayout->addWidget(box);
    connect(box, &QCheckBox::toggled, this, [this, k](bool on) {
      form_.SetMap(k, on);
      Render();
    });
  }
  layout->addWidget(mapsGroup);

  preview_ = new QPlainTextEdit(this);
  preview_->setReadOnly(true);
  preview_->setLineWrapMode(QPlainTextEdit::NoWrap);
  preview_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(preview_, 1);
  status_ = new QLabel(this);
  status_->setWordWrap(true);
  layout->addWidget(status_);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  save_ = new QPushButton(Q(kExportSaveButton), this);
  save_->setAutoDefault(false);
  buttons->addWidget(save_);
  layout->addLayout(buttons);

  connect(format_, &QComboBox::currentIndexChanged, this, [this](int i) {
    form_.SetFormat(i);
    Render();
  });
  connect(order_, &QComboBox::currentIndexChanged, this, [this](int i) {
    form_.SetOrder(i);
    Render();
  });
  connect(host_, &QLineEdit::textEdited, this, [this](const QString& t) {
    form_.SetHost(S(t));
    Render();
  });
  connect(port_, &QLineEdit::textEdited, this, [this](const QString& t) {
    form_.SetPort(S(t));
    Render();
  });
  connect(unit_, &QLineEdit::textEdited, this, [this](const QString& t) {
    form_.SetUnit(S(t));
    Render();
  });
  connect(save_, &QPushButton::clicked, this, [this] {
    form_.Save();
    Render();
  });
  resize(820, 600);
}

void ExportWindow::Prepare() {
  form_.Show();
  Render();
}

void ExportWindow::Open() {
  Prepare();
  exec();
}

void ExportWindow::Render() {
  const QSignalBlocker b1(format_), b2(order_);
  format_->setCurrentIndex(form_.Format());
  order_->setCurrentIndex(form_.Order());
  if (S(host_->text()) != form_.Host()) host_->setText(Q(form_.Host()));
  if (S(port_->text()) != form_.Port()) port_->setText(Q(form_.Port()));
  if (S(unit_->text()) != form_.Unit()) unit_->setText(Q(form_.Unit()));
  for (MapKind k : kAllMapKinds) {
    QCheckBox* box = maps_[static_cast<std::size_t>(k)];
    const QSignalBlocker block(box);
    box->setChecked(form_.Map(k));
  }
  if (S(preview_->toPlainText()) != form_.Preview()) preview_->setPlainText(Q(form_.Preview()));
  status_->setText(Q(form_.Status()));
  save_->setEnabled(form_.SaveEnabled());
}

}  // namespace r770
