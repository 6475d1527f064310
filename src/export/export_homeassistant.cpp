// The "modbus:" block of Home Assistant's configuration.yaml: one TCP hub, sensors for the
// register maps (float32; the order as "swap", no key for ABCD), binary sensors for the bit
// maps. Names must be unique in a hub (duplicates are dropped without a word), so each is the
// entry's unique label; unique_id is made of host, unit, map and address.
#include <cctype>
#include <sstream>

#include "export/export_formats.h"
#include "export/export_text.h"

namespace r770::exporting {
namespace {

const char* SwapOf(WireOrder order) {
  switch (order) {
    case WireOrder::ABCD:
      return nullptr;
    case WireOrder::CDAB:
      return "word";
    case WireOrder::BADC:
      return "byte";
    case WireOrder::DCBA:
      return "word_byte";
  }
  return nullptr;
}

const char* InputType(MapKind kind) {
  switch (kind) {
    case MapKind::TU:
      return "coil";
    case MapKind::TC:
      return "discrete_input";
    case MapKind::TIFloat:
      return "holding";
    case MapKind::InputReg:
      return "input";
  }
  return "";
}

std::string IdPart(const std::string& text) {
  std::string out;
  for (unsigned char c : text) out.push_back(std::isalnum(c) ? static_cast<char>(std::tolower(c)) : '_');
  return out;
}

}  // namespace

ExportResult ExportHomeAssistant(const ExportInput& in) {
  std::ostringstream out;
  out << "# Home Assistant: раздел modbus: файла configuration.yaml - карты регистров " << kModuleTitle;
  if (!in.documentName.empty()) out << " (документ " << OneLine(in.documentName) << ")";
  out << ".\n# Порядок байт чисел с плавающей запятой: " << WireOrderName(in.link.order)
      << " (A - старший байт, буквы в порядке передачи).\n";
  out << "modbus:\n";
  out << "  - name: " << YamlString(std::string(kModuleTitle) + " " + in.link.host) << "\n";
  out << "    type: tcp\n";
  out << "    host: " << YamlString(in.link.host) << "\n";
  out << "    port: " << in.link.port << "\n";
  out << "    timeout: " << in.link.timeoutSec << "\n";
  const std::string idPrefix = "r770_" + IdPart(in.link.host) + "_" + std::to_string(in.link.unit) + "_";
  for (bool bits : {false, true}) {
    bool any = false;
    for (const ExportTag& t : in.tags) {
      if (IsBitMap(t.kind) != bits) continue;
      if (!any) out << (bits ? "    binary_sensors:\n" : "    sensors:\n");
      any = true;
      std::string id = idPrefix + MapKey(t.kind) + "_" + std::to_string(t.address);
      if (t.label.find(" (строка ") != std::string::npos) id += "_" + std::to_string(t.row + 1);
      out << "      - name: " << YamlString(t.label) << "\n";
      out << "        unique_id: " << YamlString(id) << "\n";
      out << "        slave: " << int(in.link.unit) << "\n";
      out << "        address: " << t.address << "\n";
      out << "        input_type: " << InputType(t.kind) << "\n";
      if (!bits) {
        out << "        data_type: float32\n";
        if (const char* swap = SwapOf(in.link.order)) out << "        swap: " << swap << "\n";
        out << "        precision: 4\n";
      }
    }
  }
  return OneFile(out.str());
}

}  // namespace r770::exporting
