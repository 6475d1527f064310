// Paints a PrintTable (the copy of a register map table that "Печать" prints) on a printer:
// a grid with the title row on every page, in the table's font, with the table's column
// widths, and the page margins of the table (in inches).
#pragma once
#include <QFont>

#include "editors/register_map_form.h"

class QPrinter;
class QPagedPaintDevice;

namespace r770 {

// Column widths of the table on screen, in its device's pixels.
struct PrintColumnWidths {
  int number = 30;
  int address = 120;
  int param = 300;
  int other = 100;  // the added columns without a table column of their own
  int screenDpi = 96;
};

// Sets the margins of the printed table on the printer.
void SetPrintMargins(QPrinter& printer);

// Paints the table on the printer's pages. False when the printer could not be opened.
bool PaintPrintTable(QPrinter& printer, const PrintTable& table, const PrintColumnWidths& widths,
                     const QFont& font);

}  // namespace r770
