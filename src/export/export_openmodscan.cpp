// OpenModScan window files (XML "FormModScan", read by its "Open" command): one window per
// map, holding the map's addresses with each entry's name in the AddressDescriptionMap.
// Addresses are zero-based and the window says so (ZeroBasedAddress). A window polls all of
// its addresses in one request and shows a register window's floats in pairs from its first
// address, so a map whose entries do not follow each other without a gap gets one window per
// run of consecutive entries (hr.xml, hr-2.xml, ...); a window holds at most 125 addresses.
#include <map>
#include <sstream>

#include "export/export_formats.h"
#include "export/export_text.h"

namespace r770::exporting {
namespace {

const char* PointType(MapKind kind) {
  switch (kind) {
    case MapKind::TU:
      return "Coils";
    case MapKind::TC:
      return "DiscreteInputs";
    case MapKind::TIFloat:
      return "HoldingRegisters";
    case MapKind::InputReg:
      return "InputRegisters";
  }
  return "";
}

}  // namespace

ExportResult ExportOpenModScan(const ExportInput& in) {
  const WireOrder order = in.link.order;
  // FloatingPt: first register high (ABCD); SwappedFP: first register low (CDAB); "Swapped"
  // swaps the two bytes of every register (BADC, DCBA).
  const bool firstHigh = order == WireOrder::ABCD || order == WireOrder::BADC;
  const bool bytesSwapped = order == WireOrder::BADC || order == WireOrder::DCBA;
  ExportResult r;
  std::map<MapKind, int> windows;
  for (const TagBlock& b : ContiguousBlocks(in.tags, 125, 62)) {
    const bool bits = IsBitMap(b.kind);
    const int n = ++windows[b.kind];
    const std::string suffix = n == 1 ? "" : "-" + std::to_string(n);
    const std::string formName =
        std::string(kModuleTitle) + " " + MapTitle(b.kind) + (n == 1 ? "" : " " + std::to_string(n));
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out << "<!-- OpenModScan: " << XmlText(formName);
    if (!in.documentName.empty()) out << ", документ " << XmlText(OneLine(in.documentName));
    out << "; модуль " << XmlText(in.link.host) << ":" << in.link.port << ", Slave-адрес "
        << int(in.link.unit);
    if (!bits) out << ", порядок байт " << WireOrderName(order);
    out << " -->\n";
    out << "<FormModScan Version=\"1.12\" DisplayMode=\"Data\" DataDisplayMode=\""
        << (bits        ? "Binary"
            : firstHigh ? "FloatingPt"
                        : "SwappedFP")
        << "\" ByteOrder=\"" << (!bits && bytesSwapped ? "Swapped" : "Direct") << "\">\n";
    out << "  <DisplayDefinition FormName=\"" << XmlText(formName) << "\" ScanRate=\"1000\" DeviceId=\""
        << int(in.link.unit) << "\" PointType=\"" << PointType(b.kind) << "\" PointAddress=\"" << b.start
        << "\" Length=\"" << b.Registers() << "\" LogViewLimit=\"30\" ZeroBasedAddress=\"true\""
        << " HexAddress=\"false\" AutoscrollLog=\"false\" HexViewAddress=\"false\" HexViewDeviceId=\"false\""
        << " HexViewLength=\"false\" DataViewColumnsDistance=\"16\" LeadingZeros=\"true\"/>\n";
    out << "  <AddressDescriptionMap>\n";
    for (std::size_t index : b.tags) {
      const ExportTag& t = in.tags[index];
      out << "    <Description Address=\"" << t.address << "\">" << XmlCdata(t.name) << "</Description>\n";
    }
    out << "  </AddressDescriptionMap>\n</FormModScan>\n";
    r.files.push_back({std::string(MapKey(b.kind)) + suffix + ".xml", out.str()});
  }
  return r;
}

}  // namespace r770::exporting
