// ModbusTools client: a project (.pjc, XML) with one TCP port, one device and one DataView of
// every entry, and the same DataView as the client's CSV (';'-separated, the header row
// naming the item fields), whose "device" names the project's device. Addresses in 6-digit
// Modicon notation. The tool keeps registers as host-order 16-bit words: "registerOrder"
// LessSignifiedFirst (R0R1R2R3 since 0.4) puts the first register low (CDAB),
// MostSignifiedFirst (R3R2R1R0) high (ABCD); "byteOrder" MostSignifiedFirst swaps the two
// bytes of each register (CDAB -> DCBA, ABCD -> BADC). The older names are written: every
// version reads them.
#include <sstream>

#include "common/codec.h"
#include "export/export_formats.h"
#include "export/export_text.h"

namespace r770::exporting {
namespace {

constexpr const char* kDevice = "R-770";
constexpr const char* kPort = "R-770 TCP";
constexpr char kSep = ';';

struct ToolOrder {
  const char* byteOrder;
  const char* registerOrder;
};

ToolOrder ToolOrderOf(WireOrder order) {
  switch (order) {
    case WireOrder::ABCD:
      return {"LessSignifiedFirst", "MostSignifiedFirst"};
    case WireOrder::CDAB:
      return {"LessSignifiedFirst", "LessSignifiedFirst"};
    case WireOrder::BADC:
      return {"MostSignifiedFirst", "MostSignifiedFirst"};
    case WireOrder::DCBA:
      return {"MostSignifiedFirst", "LessSignifiedFirst"};
  }
  return {"LessSignifiedFirst", "LessSignifiedFirst"};
}

struct Item {
  std::string address, format, comment, byteOrder, registerOrder;
};

std::vector<Item> Items(const ExportInput& in) {
  const ToolOrder o = ToolOrderOf(in.link.order);
  std::vector<Item> items;
  for (const ExportTag& t : in.tags) {
    const bool bits = IsBitMap(t.kind);
    items.push_back({ModiconAddress(t.kind, t.address), bits ? "Bool" : "Float", t.label,
                     bits ? "DefaultOrder" : o.byteOrder, bits ? "DefaultOrder" : o.registerOrder});
  }
  return items;
}

std::string Csv(const ExportInput& in) {
  std::ostringstream out;
  const char* header[] = {
      "device",           "address",        "format",        "period",          "comment",
      "variableLength",   "byteOrder",      "registerOrder", "byteArrayFormat", "byteArraySeparator",
      "stringLengthType", "stringEncoding", "value"};
  for (std::size_t i = 0; i < std::size(header); ++i) out << (i ? ";" : "") << header[i];
  out << "\n";
  for (const Item& item : Items(in)) {
    out << CsvField(kDevice, kSep) << kSep << item.address << kSep << item.format << kSep << "1000" << kSep
        << CsvField(item.comment, kSep) << kSep << "20" << kSep << item.byteOrder << kSep
        << item.registerOrder << kSep << "DefaultDigitalFormat" << kSep << "[default]" << kSep
        << "DefaultStringLengthType" << kSep << "DefaultStringEncoding" << kSep << "0\n";
  }
  return out.str();
}

std::string Project(const ExportInput& in) {
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out << "<project version=\"0.4.6\">\n";
  out << "    <name>" << kModuleTitle << "</name>\n";
  out << "    <comment>"
      << XmlText("Карты регистров " + std::string(kModuleTitle) +
                 (in.documentName.empty() ? "" : " (документ " + in.documentName + ")") +
                 "; порядок байт чисел " + WireOrderName(in.link.order))
      << "</comment>\n";
  out << "    <ports>\n        <port>\n";
  out << "            <name>" << kPort << "</name>\n            <type>TCP</type>\n";
  out << "            <host>" << XmlText(in.link.host) << "</host>\n            <port>" << in.link.port
      << "</port>\n";
  out << "            <timeout>" << in.link.timeoutSec * 1000 << "</timeout>\n";
  out << "        </port>\n    </ports>\n";
  const ToolOrder o = ToolOrderOf(in.link.order);
  out << "    <devices>\n        <device>\n";
  out << "            <name>" << kDevice << "</name>\n            <portName>" << kPort << "</portName>\n";
  out << "            <unit>" << int(in.link.unit) << "</unit>\n";
  out << "            <byteOrder>" << o.byteOrder << "</byteOrder>\n";
  out << "            <registerOrder>" << o.registerOrder << "</registerOrder>\n";
  out << "            <maxReadCoils>2000</maxReadCoils>\n            "
         "<maxReadDiscreteInputs>2000</maxReadDiscreteInputs>\n";
  out << "            <maxReadHoldingRegisters>124</maxReadHoldingRegisters>\n"
         "            <maxReadInputRegisters>124</maxReadInputRegisters>\n";
  out << "        </device>\n    </devices>\n";
  out << "    <dataviews>\n        <dataview name=\"" << XmlText(kModuleTitle) << "\" period=\"1000\">\n";
  for (const Item& item : Items(in)) {
    out << "            <item>\n";
    out << "                <device>" << kDevice << "</device>\n";
    out << "                <address>" << item.address << "</address>\n";
    out << "                <format>" << item.format << "</format>\n";
    out << "                <period>1000</period>\n";
    out << "                <comment>" << XmlText(item.comment) << "</comment>\n";
    out << "                <byteOrder>" << item.byteOrder << "</byteOrder>\n";
    out << "                <registerOrder>" << item.registerOrder << "</registerOrder>\n";
    out << "            </item>\n";
  }
  out << "        </dataview>\n    </dataviews>\n</project>\n";
  return out.str();
}

}  // namespace

ExportResult ExportModbusTools(const ExportInput& in) {
  ExportResult r;
  r.files.push_back({"r770.pjc", Project(in)});
  r.files.push_back({"r770-dataview.csv", Csv(in)});
  return r;
}

}  // namespace r770::exporting
