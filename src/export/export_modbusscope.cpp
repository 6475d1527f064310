// A ModbusScope project (datalevel 5, opened by 4.2.x): one TCP connection, one device with
// the unit and the word order, one register per entry. ModbusScope knows only two orders of
// a 32-bit value: "int32littleendian" true (CDAB) or false (ABCD); BADC and DCBA are refused.
#include <sstream>

#include "export/export_formats.h"
#include "export/export_text.h"

namespace r770::exporting {
namespace {

constexpr const char* kColors[] = {"#ff0000", "#0000ff", "#008000", "#ff8c00", "#800080",
                                   "#00a0a0", "#a52a2a", "#ff00ff", "#808000", "#000000"};

char Prefix(MapKind kind) {
  switch (kind) {
    case MapKind::TU:
      return 'c';
    case MapKind::TC:
      return 'd';
    case MapKind::TIFloat:
      return 'h';
    case MapKind::InputReg:
      return 'i';
  }
  return 'h';
}

}  // namespace

ExportResult ExportModbusScope(const ExportInput& in) {
  const WireOrder order = in.link.order;
  if (order != WireOrder::ABCD && order != WireOrder::CDAB)
    return Refused(std::string("ModbusScope понимает только порядок байт ABCD и CDAB; порядок ") +
                   WireOrderName(order) + " в его проект не выгружается");
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out << "<!-- ModbusScope: карты регистров " << kModuleTitle;
  if (!in.documentName.empty()) out << " (документ " << XmlText(OneLine(in.documentName)) << ")";
  out << " -->\n";
  out << "<modbusscope datalevel=\"5\">\n <modbus>\n";
  out << "  <connection>\n   <enabled>true</enabled>\n   <connectionid>0</connectionid>\n   "
         "<type>tcp</type>\n";
  out << "   <ip>" << XmlText(in.link.host) << "</ip>\n   <port>" << in.link.port << "</port>\n";
  out << "   <timeout>" << in.link.timeoutSec * 1000 << "</timeout>\n";
  out << "   <persistentconnection>true</persistentconnection>\n  </connection>\n";
  out << "  <device>\n   <deviceid>1</deviceid>\n   <name>" << kModuleTitle << "</name>\n";
  out << "   <connectionid>0</connectionid>\n   <slaveid>" << int(in.link.unit) << "</slaveid>\n";
  out << "   <consecutivemax>125</consecutivemax>\n";
  out << "   <int32littleendian>" << (order == WireOrder::CDAB ? "true" : "false")
      << "</int32littleendian>\n";
  out << "  </device>\n";
  out << "  <log>\n   <polltime>1000</polltime>\n   <absolutetimes>false</absolutetimes>\n"
         "   <logtofile enabled=\"false\"/>\n  </log>\n";
  out << " </modbus>\n <scope>\n";
  std::size_t n = 0;
  for (const ExportTag& t : in.tags) {
    const bool bits = IsBitMap(t.kind);
    out << "  <register active=\"true\">\n";
    out << "   <text>" << XmlText(t.label) << "</text>\n";
    out << "   <expression>"
        << XmlCdata("${" + std::string(1, Prefix(t.kind)) + std::to_string(t.address) + "@1" +
                    (bits ? "" : ":f32b") + "}")
        << "</expression>\n";
    out << "   <color>" << kColors[n++ % std::size(kColors)] << "</color>\n";
    out << "   <valueaxis>" << (bits ? 1 : 0) << "</valueaxis>\n";
    out << "  </register>\n";
  }
  out << " </scope>\n</modbusscope>\n";
  return OneFile(out.str());
}

}  // namespace r770::exporting
