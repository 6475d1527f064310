// A Telegraf [[inputs.modbus]] block in its "register" style: the plugin's name names the
// module, floats are FLOAT32-IEEE (the plain FLOAT32 is a deprecated fixed-point alias) with
// the byte order in Telegraf's own letters, which are ours.
#include <sstream>

#include "export/export_formats.h"
#include "export/export_text.h"

namespace r770::exporting {

ExportResult ExportTelegraf(const ExportInput& in) {
  std::ostringstream out;
  out << "# Telegraf: опрос карт регистров " << kModuleTitle;
  if (!in.documentName.empty()) out << " (документ " << OneLine(in.documentName) << ")";
  out << ".\n# Порядок байт чисел с плавающей запятой: " << WireOrderName(in.link.order)
      << " (A - старший байт, буквы в порядке передачи).\n";
  out << "[[inputs.modbus]]\n";
  out << "  name = " << TomlString(kModuleTitle) << "\n";
  out << "  slave_id = " << int(in.link.unit) << "\n";
  out << "  timeout = \"" << in.link.timeoutSec << "s\"\n";
  const bool v6 = in.link.host.find(':') != std::string::npos;
  out << "  controller = "
      << TomlString("tcp://" + (v6 ? "[" + in.link.host + "]" : in.link.host) + ":" +
                    std::to_string(in.link.port))
      << "\n";
  out << "  configuration_type = \"register\"\n";
  for (MapKind kind : {MapKind::TU, MapKind::TC, MapKind::TIFloat, MapKind::InputReg}) {
    bool any = false;
    for (const ExportTag& t : in.tags) {
      if (t.kind != kind) continue;
      if (!any) {
        const char* key = kind == MapKind::TU        ? "coils"
                          : kind == MapKind::TC      ? "discrete_inputs"
                          : kind == MapKind::TIFloat ? "holding_registers"
                                                     : "input_registers";
        out << "\n  " << key << " = [\n";
      }
      any = true;
      out << "    { name = " << TomlString(t.label);
      if (IsBitMap(kind)) {
        out << ", address = [" << t.address << "] },\n";
      } else {
        out << ", byte_order = \"" << WireOrderName(in.link.order)
            << "\", data_type = \"FLOAT32-IEEE\", scale = 1.0, address = [" << t.address << ", "
            << t.address + 1 << "] },\n";
      }
    }
    if (any) out << "  ]\n";
  }
  return OneFile(out.str());
}

}  // namespace r770::exporting
