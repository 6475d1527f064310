// A shell script of mbpoll commands: one poll (-1) per block of consecutive entries, with
// zero-based addresses (-0) as the maps hold them. mbpoll decodes floats in ABCD (-B) and
// CDAB (its default) only; for BADC and DCBA it prints the registers and the comment says
// how to put the bytes together.
#include <algorithm>
#include <sstream>

#include "export/export_formats.h"
#include "export/export_text.h"

namespace r770::exporting {
namespace {

// mbpoll reads at most 125 values, and a float takes two of the 125 registers a request may
// carry.
constexpr int kMaxBits = 125;
constexpr int kMaxFloats = 62;

const char* DecodeHint(WireOrder order) {
  switch (order) {
    case WireOrder::BADC:
      return "# mbpoll не раскладывает порядок BADC: он выводит пары регистров в шестнадцатеричном\n"
             "# виде. Число = байты обоих регистров пары, в каждом поменять местами два байта\n"
             "# (0xBBAA 0xDDCC -> AABBCCDD), прочитанные как float старшим байтом вперёд:\n"
             "#   python3 -c 'import struct,sys; print(struct.unpack(\">f\", "
             "bytes.fromhex(sys.argv[1]))[0])' AABBCCDD\n";
    case WireOrder::DCBA:
      return "# mbpoll не раскладывает порядок DCBA: он выводит пары регистров в шестнадцатеричном\n"
             "# виде. Число = сначала второй регистр пары, потом первый, в каждом поменять местами\n"
             "# два байта (0xDDCC 0xBBAA -> AABBCCDD), прочитанные как float старшим байтом вперёд:\n"
             "#   python3 -c 'import struct,sys; print(struct.unpack(\">f\", "
             "bytes.fromhex(sys.argv[1]))[0])' AABBCCDD\n";
    default:
      return "";
  }
}

}  // namespace

ExportResult ExportMbpoll(const ExportInput& in) {
  const WireOrder order = in.link.order;
  const bool decoded = order == WireOrder::ABCD || order == WireOrder::CDAB;
  std::ostringstream out;
  out << "#!/bin/sh\n";
  out << "# mbpoll: чтение карт регистров " << kModuleTitle;
  if (!in.documentName.empty()) out << " (документ " << OneLine(in.documentName) << ")";
  out << ".\n";
  out << "# Адреса нулевые, как в картах документа (-0); каждая команда - один опрос (-1).\n";
  out << "# Порядок байт чисел с плавающей запятой: " << WireOrderName(order)
      << " (A - старший байт, буквы в порядке передачи).\n";
  out << DecodeHint(order);
  out << "HOST=" << ShellWord(in.link.host) << "\n";
  out << "PORT=" << in.link.port << "\n";
  out << "UNIT=" << int(in.link.unit) << "\n";
  out << "TIMEOUT=" << std::min(in.link.timeoutSec, 10) << "\n";
  out << "status=0\n";
  for (const TagBlock& b : ContiguousBlocks(in.tags, kMaxBits, kMaxFloats)) {
    const bool bits = IsBitMap(b.kind);
    const int last = b.start + b.Registers() - 1;
    out << "\n# " << MapTitle(b.kind) << ", адреса " << b.start << ".." << last << ":\n";
    for (std::size_t index : b.tags) {
      const ExportTag& t = in.tags[index];
      out << "#   " << t.address;
      if (!bits) out << "-" << t.address + 1;
      out << "  " << OneLine(t.name) << " (строка " << t.row + 1 << ")\n";
    }
    std::string type;
    int count = b.values;
    switch (b.kind) {
      case MapKind::TU:
        type = "0";
        break;
      case MapKind::TC:
        type = "1";
        break;
      case MapKind::TIFloat:
        type = decoded ? "4:float" : "4:hex";
        break;
      case MapKind::InputReg:
        type = decoded ? "3:float" : "3:hex";
        break;
    }
    if (!bits && !decoded) count = b.Registers();
    out << "mbpoll -m tcp -a \"$UNIT\" -p \"$PORT\" -o \"$TIMEOUT\" -0 -1 -t " << type;
    if (!bits && order == WireOrder::ABCD) out << " -B";
    out << " -r " << b.start << " -c " << count << " \"$HOST\" || status=1\n";
  }
  out << "\nexit $status\n";
  return OneFile(out.str());
}

}  // namespace r770::exporting
