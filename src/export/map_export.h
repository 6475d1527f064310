// The register maps exported for the Modbus master side: the document's non-empty entries as
// a tag list in the file formats of generic Modbus tools (Home Assistant, Telegraf,
// ModbusScope, ModbusTools, OpenModScan, mbpoll, pymodbus) and as JSON. The link (host,
// port, unit) and the float byte order come from the Modbus/TCP test settings unless given.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/configuration.h"
#include "document/program_settings.h"

namespace r770 {

// Byte order of a 32-bit float on the wire: the letters name the value's bytes from the most
// significant (A) to the least (D), written in the order they travel (first register first,
// each register's first byte first).
enum class WireOrder { ABCD, CDAB, BADC, DCBA };
inline constexpr std::array<WireOrder, 4> kAllWireOrders{WireOrder::ABCD, WireOrder::CDAB, WireOrder::BADC,
                                                         WireOrder::DCBA};

const char* WireOrderName(WireOrder order);
// "ABCD", "CDAB", "BADC", "DCBA" (letter case ignored); none for anything else.
std::optional<WireOrder> ParseWireOrder(std::string_view text);
// The order the test client decodes with its two settings ("InversModTest", "SwapModTest").
WireOrder WireOrderOf(bool invert, bool swap);
struct OrderFlags {
  bool invert = false;
  bool swap = false;
};
OrderFlags FlagsOf(WireOrder order);
// For each wire byte 0..3, the value byte it carries: 0 = A (most significant) .. 3 = D.
std::array<int, 4> WireLetters(WireOrder order);
// The float whose bytes travel as wire[0..3] in this order.
float DecodeWireFloat(const std::array<std::uint8_t, 4>& wire, WireOrder order);

enum class ExportFormat {
  HomeAssistant,
  Telegraf,
  ModbusScope,
  ModbusTools,
  OpenModScan,
  Mbpoll,
  Pymodbus,
  Json
};
inline constexpr std::array<ExportFormat, 8> kAllExportFormats{
    ExportFormat::HomeAssistant, ExportFormat::Telegraf, ExportFormat::ModbusScope, ExportFormat::ModbusTools,
    ExportFormat::OpenModScan,   ExportFormat::Mbpoll,   ExportFormat::Pymodbus,    ExportFormat::Json};

// Command-line key of a format: "homeassistant", "telegraf", ...
const char* ExportFormatKey(ExportFormat format);
std::optional<ExportFormat> ParseExportFormat(std::string_view text);
// What a person reads in a list of formats ("Home Assistant (YAML)").
const char* ExportFormatTitle(ExportFormat format);
// True for the formats written as a folder of files (-o names the folder).
bool ExportWritesFolder(ExportFormat format);
// File name extension of a one-file format (".yaml"); empty for a folder.
const char* ExportFileExtension(ExportFormat format);

struct ExportLink {
  std::string host = "192.168.0.1";
  std::uint16_t port = 502;
  std::uint8_t unit = 1;
  WireOrder order = WireOrder::CDAB;
  int timeoutSec = 1;
};
// The link of section "ModbusTest" (the same source as the monitor).
ExportLink ExportLinkFrom(const ProgramSettings& settings);

// One non-empty map entry as exported.
struct ExportTag {
  MapKind kind = MapKind::TU;
  int row = 0;                // entry index in its map (0-based)
  std::uint16_t address = 0;  // ModbusAddr: the zero-based address on the wire
  std::string name;           // the name the map editors show
  std::string label;          // map, address and name, unique in the export
  std::uint8_t module = 0;    // ModuleNo
  std::uint16_t param = 0;    // ParamNo
  std::int16_t task = -1;     // TaskNo as the editors read it
};

struct ExportRequest {
  ExportFormat format = ExportFormat::Json;
  ExportLink link;
  std::array<bool, 4> maps{true, true, true, true};  // by MapKind: TU, TC, TIFloat, InputReg
  std::string documentName;                          // the document's file name, for titles and comments
};

// One file of an export: name inside the output folder (empty: the output file itself).
struct ExportFile {
  std::string name;
  std::string text;
};

struct ExportResult {
  std::string error;  // empty when the export was made
  std::vector<ExportFile> files;
  bool Ok() const { return error.empty(); }
};

// Every non-empty entry of the chosen maps, map by map (Coils, Discrete Inputs, Holding
// Registers, Input Registers), in row order, with unique labels.
std::vector<ExportTag> CollectExportTags(const Configuration& cfg, const std::array<bool, 4>& maps);

// Makes the export in memory. Refused (error set, no files) when no entry is chosen, when a
// Holding/Input Register entry lies at 65535 (it has no second register), and when the
// target cannot decode the chosen order.
ExportResult MakeExport(const Configuration& cfg, const ExportRequest& request);

// Writes an export: a one-file format to path (durably, replacing the file whole), a folder
// format into the folder path (made when missing). Returns an empty string or a message.
std::string SaveExport(const ExportResult& result, ExportFormat format, const std::string& path);

// Modicon notation, six digits: 000001 + A, 100001 + A, 400001 + A, 300001 + A.
std::string ModiconAddress(MapKind kind, std::uint16_t address);

}  // namespace r770
