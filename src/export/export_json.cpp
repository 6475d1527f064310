// The tag list itself, schema "r770ctl-tags/1" (docs/r770ctl.md).
#include <sstream>

#include "export/export_formats.h"
#include "export/export_text.h"

namespace r770::exporting {

ExportResult ExportJson(const ExportInput& in) {
  std::ostringstream out;
  out << "{\n  \"schema\": \"r770ctl-tags/1\",\n";
  out << "  \"document\": " << JsonString(in.documentName) << ",\n";
  out << "  \"link\": {\"host\": " << JsonString(in.link.host) << ", \"port\": " << in.link.port
      << ", \"unit\": " << int(in.link.unit) << ", \"order\": \"" << WireOrderName(in.link.order)
      << "\", \"timeoutSec\": " << in.link.timeoutSec << "},\n";
  out << "  \"tags\": [";
  for (std::size_t i = 0; i < in.tags.size(); ++i) {
    const ExportTag& t = in.tags[i];
    const bool bits = IsBitMap(t.kind);
    out << (i ? "," : "") << "\n    {\"map\": \"" << MapKey(t.kind) << "\", \"row\": " << t.row + 1
        << ", \"address\": " << t.address << ", \"oneBased\": " << t.address + 1 << ", \"modicon\": \""
        << ModiconAddress(t.kind, t.address) << "\", \"function\": " << MapReadFunction(t.kind)
        << ", \"type\": \"" << (bits ? "bool" : "float32") << "\", \"count\": " << (bits ? 1 : 2)
        << ", \"order\": "
        << (bits ? std::string("null") : "\"" + std::string(WireOrderName(in.link.order)) + "\"")
        << ", \"access\": \"" << (t.kind == MapKind::TU ? "RW" : "R") << "\", \"module\": " << int(t.module)
        << ", \"param\": " << t.param << ", \"task\": " << t.task << ", \"name\": " << JsonString(t.name)
        << ", \"label\": " << JsonString(t.label) << "}";
  }
  out << (in.tags.empty() ? "" : "\n  ") << "]\n}\n";
  return OneFile(out.str());
}

}  // namespace r770::exporting
