#include "ui/print_table.h"

#include <QFontMetricsF>
#include <QMarginsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <algorithm>

#include "ui/qt_support.h"

namespace r770 {
namespace {

int WidthOf(PrintTable::Width w, const PrintColumnWidths& widths) {
  switch (w) {
    case PrintTable::Width::Number:
      return widths.number;
    case PrintTable::Width::Address:
      return widths.address;
    case PrintTable::Width::Param:
      return widths.param;
    case PrintTable::Width::Default:
      break;
  }
  return widths.other;
}

}  // namespace

void SetPrintMargins(QPrinter& printer) {
  printer.setPageMargins(QMarginsF(PrintTable::kMarginLeft, PrintTable::kMarginTop, PrintTable::kMarginRight,
                                   PrintTable::kMarginBottom),
                         QPageLayout::Inch);
}

bool PaintPrintTable(QPrinter& printer, const PrintTable& table, const PrintColumnWidths& widths,
                     const QFont& font) {
  QPainter painter;
  if (!painter.begin(&printer)) return false;

  // Column widths of the screen, in the printer's resolution.
  const double toPrinter =
      static_cast<double>(printer.logicalDpiX()) / (widths.screenDpi > 0 ? widths.screenDpi : 96);
  const QFontMetricsF metrics(font, &printer);
  const double pad = metrics.averageCharWidth() / 2;
  std::vector<double> columns;
  double total = 0;
  for (std::size_t c = 0; c < table.Widths.size(); ++c) {
    double w = WidthOf(table.Widths[c], widths) * toPrinter;
    // An added column without a table column of its own is as wide as its title.
    if (table.Widths[c] == PrintTable::Width::Default && c < table.Titles.size())
      w = std::max(w, metrics.horizontalAdvance(Q(table.Titles[c])) + 3 * pad);
    columns.push_back(w);
    total += w;
  }
  const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
  // A table wider than the page is scaled down as a whole, font included.
  const double scale = total > page.width() && total > 0 ? page.width() / total : 1.0;
  painter.scale(scale, scale);
  const double pageHeight = page.height() / scale;

  painter.setFont(font);
  const double rowHeight = metrics.height() * 1.5;

  auto paintRow = [&](double y, const std::vector<std::string>& cells, bool title) {
    double x = 0;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const QRectF cell(x, y, columns[c], rowHeight);
      painter.drawRect(cell);
      const QString text = c < cells.size() ? Q(cells[c]) : QString();
      const QRectF inner = cell.adjusted(pad, 0, -pad, 0);
      const QString shown = metrics.elidedText(text, Qt::ElideRight, inner.width());
      painter.drawText(inner, Qt::AlignVCenter | (title ? Qt::AlignHCenter : Qt::AlignLeft), shown);
      x += columns[c];
    }
  };

  QPen pen(Qt::black);
  pen.setWidthF(std::max(1.0, printer.resolution() / 150.0));
  painter.setPen(pen);

  double y = 0;
  paintRow(y, table.Titles, true);
  y += rowHeight;
  for (const auto& row : table.Rows) {
    if (y + rowHeight > pageHeight) {
      printer.newPage();
      y = 0;
      paintRow(y, table.Titles, true);
      y += rowHeight;
    }
    paintRow(y, row, false);
    y += rowHeight;
  }
  return painter.end();
}

}  // namespace r770
