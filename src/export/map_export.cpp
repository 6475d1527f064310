#include "export/map_export.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "common/file_io.h"
#include "export/export_formats.h"
#include "export/export_text.h"

namespace r770 {

const char* WireOrderName(WireOrder order) {
  switch (order) {
    case WireOrder::ABCD:
      return "ABCD";
    case WireOrder::CDAB:
      return "CDAB";
    case WireOrder::BADC:
      return "BADC";
    case WireOrder::DCBA:
      return "DCBA";
  }
  return "";
}

std::optional<WireOrder> ParseWireOrder(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (WireOrder o : kAllWireOrders)
    if (upper == WireOrderName(o)) return o;
  return std::nullopt;
}

// The test client assembles the value from the data bytes D1..D4 as they arrive, least
// significant first: D1 D2 D3 D4 with both flags off, D2 D1 D4 D3 with "swap", D4 D3 D2 D1
// with "invert", D3 D4 D1 D2 with both. Read back as letters in wire order, that is DCBA,
// CDAB, ABCD and BADC.
WireOrder WireOrderOf(bool invert, bool swap) {
  if (invert) return swap ? WireOrder::BADC : WireOrder::ABCD;
  return swap ? WireOrder::CDAB : WireOrder::DCBA;
}

OrderFlags FlagsOf(WireOrder order) {
  switch (order) {
    case WireOrder::ABCD:
      return {true, false};
    case WireOrder::CDAB:
      return {false, true};
    case WireOrder::BADC:
      return {true, true};
    case WireOrder::DCBA:
      return {false, false};
  }
  return {};
}

std::array<int, 4> WireLetters(WireOrder order) {
  const char* name = WireOrderName(order);
  return {name[0] - 'A', name[1] - 'A', name[2] - 'A', name[3] - 'A'};
}

float DecodeWireFloat(const std::array<std::uint8_t, 4>& wire, WireOrder order) {
  const std::array<int, 4> letters = WireLetters(order);
  std::uint32_t bits = 0;
  for (int i = 0; i < 4; ++i)
    bits |= std::uint32_t{wire[static_cast<std::size_t>(i)]}
            << (8 * (3 - letters[static_cast<std::size_t>(i)]));
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

const char* ExportFormatKey(ExportFormat format) {
  switch (format) {
    case ExportFormat::HomeAssistant:
      return "homeassistant";
    case ExportFormat::Telegraf:
      return "telegraf";
    case ExportFormat::ModbusScope:
      return "modbusscope";
    case ExportFormat::ModbusTools:
      return "modbustools";
    case ExportFormat::OpenModScan:
      return "openmodscan";
    case ExportFormat::Mbpoll:
      return "mbpoll";
    case ExportFormat::Pymodbus:
      return "pymodbus";
    case ExportFormat::Json:
      return "json";
  }
  return "";
}

std::optional<ExportFormat> ParseExportFormat(std::string_view text) {
  for (ExportFormat f : kAllExportFormats)
    if (text == ExportFormatKey(f)) return f;
  return std::nullopt;
}

const char* ExportFormatTitle(ExportFormat format) {
  switch (format) {
    case ExportFormat::HomeAssistant:
      return "Home Assistant (YAML, раздел modbus:)";
    case ExportFormat::Telegraf:
      return "Telegraf (TOML, [[inputs.modbus]])";
    case ExportFormat::ModbusScope:
      return "ModbusScope (проект .mbs)";
    case ExportFormat::ModbusTools:
      return "ModbusTools (проект .pjc и DataView CSV)";
    case ExportFormat::OpenModScan:
      return "OpenModScan (окна .xml, по одному на карту)";
    case ExportFormat::Mbpoll:
      return "mbpoll (сценарий sh)";
    case ExportFormat::Pymodbus:
      return "pymodbus (сценарий Python 3)";
    case ExportFormat::Json:
      return "JSON (список тегов r770ctl-tags/1)";
  }
  return "";
}

bool ExportWritesFolder(ExportFormat format) {
  return format == ExportFormat::ModbusTools || format == ExportFormat::OpenModScan;
}

const char* ExportFileExtension(ExportFormat format) {
  switch (format) {
    case ExportFormat::HomeAssistant:
      return ".yaml";
    case ExportFormat::Telegraf:
      return ".conf";
    case ExportFormat::ModbusScope:
      return ".mbs";
    case ExportFormat::Mbpoll:
      return ".sh";
    case ExportFormat::Pymodbus:
      return ".py";
    case ExportFormat::Json:
      return ".json";
    case ExportFormat::ModbusTools:
    case ExportFormat::OpenModScan:
      return "";
  }
  return "";
}

ExportLink ExportLinkFrom(const ProgramSettings& s) {
  ExportLink link;
  link.host = s.IP_AdrTest;
  link.port = s.PortTcpTest;
  link.unit = s.SetModTest;
  link.order = WireOrderOf(s.InversModTest, s.SwapModTest);
  link.timeoutSec = s.TimeAnswerTest < 1 ? 1 : (s.TimeAnswerTest > 60 ? 60 : s.TimeAnswerTest);
  return link;
}

std::string ModiconAddress(MapKind kind, std::uint16_t address) {
  const int prefix = kind == MapKind::TU ? 0 : kind == MapKind::TC ? 1 : kind == MapKind::TIFloat ? 4 : 3;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%d%05ld", prefix, static_cast<long>(address) + 1);
  return buf;
}

std::vector<ExportTag> CollectExportTags(const Configuration& cfg, const std::array<bool, 4>& maps) {
  std::vector<ExportTag> tags;
  std::map<std::string, int> seen;
  for (MapKind kind : {MapKind::TU, MapKind::TC, MapKind::TIFloat, MapKind::InputReg}) {
    if (!maps[static_cast<std::size_t>(kind)]) continue;
    const RegisterMap& map = cfg.Map(kind);
    for (std::size_t i = 0; i < map.size(); ++i) {
      const MapEntry& e = map[i];
      if (e.IsEmpty()) continue;
      ExportTag t;
      t.kind = kind;
      t.row = static_cast<int>(i);
      t.address = e.ModbusAddr;
      t.name = cfg.DisplayName(e);
      t.label = std::string(MapKey(kind)) + " " + std::to_string(e.ModbusAddr) + " " + t.name;
      t.module = e.ModuleNo;
      t.param = e.ParamNo;
      t.task = static_cast<std::int16_t>(e.TaskNo);
      ++seen[t.label];
      tags.push_back(std::move(t));
    }
  }
  // The same parameter placed twice at one address: the rows tell the two apart.
  for (ExportTag& t : tags)
    if (seen[t.label] > 1) t.label += " (строка " + std::to_string(t.row + 1) + ")";
  return tags;
}

namespace exporting {

ExportResult OneFile(std::string text) {
  ExportResult r;
  r.files.push_back({"", std::move(text)});
  return r;
}

ExportResult Refused(std::string message) {
  ExportResult r;
  r.error = std::move(message);
  return r;
}

}  // namespace exporting

ExportResult MakeExport(const Configuration& cfg, const ExportRequest& request) {
  using namespace exporting;
  const std::vector<ExportTag> tags = CollectExportTags(cfg, request.maps);
  if (tags.empty()) return Refused("В выбранных картах документа нет заполненных записей");
  for (const ExportTag& t : tags)
    if (!IsBitMap(t.kind) && t.address == 0xFFFF)
      return Refused(std::string(MapTitle(t.kind)) + ", строка " + std::to_string(t.row + 1) + " (" + t.name +
                     "): адрес 65535 — для числа нужны два регистра, второго нет");
  const ExportInput in{tags, request.link, request.documentName};
  switch (request.format) {
    case ExportFormat::HomeAssistant:
      return ExportHomeAssistant(in);
    case ExportFormat::Telegraf:
      return ExportTelegraf(in);
    case ExportFormat::ModbusScope:
      return ExportModbusScope(in);
    case ExportFormat::ModbusTools:
      return ExportModbusTools(in);
    case ExportFormat::OpenModScan:
      return ExportOpenModScan(in);
    case ExportFormat::Mbpoll:
      return ExportMbpoll(in);
    case ExportFormat::Pymodbus:
      return ExportPymodbus(in);
    case ExportFormat::Json:
      return ExportJson(in);
  }
  return Refused("Неизвестный формат");
}

std::string SaveExport(const ExportResult& result, ExportFormat format, const std::string& path) {
  if (!result.Ok()) return result.error;
  if (!ExportWritesFolder(format)) {
    if (result.files.size() != 1) return "Выгрузка должна состоять из одного файла";
    return WriteFileAtomically(path, result.files.front().text);
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISDIR(st.st_mode)) return "Не удалось записать в папку " + path + ": это не папка";
  } else if (::mkdir(path.c_str(), 0777) != 0) {
    return "Не удалось создать папку " + path + ": " + std::strerror(errno);
  }
  for (const ExportFile& f : result.files) {
    std::string error = WriteFileAtomically(path + "/" + f.name, f.text);
    if (!error.empty()) return error;
  }
  return "";
}

}  // namespace r770
