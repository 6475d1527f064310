// The exporters of the single formats, called by MakeExport with the checked tag list.
#pragma once
#include <string>
#include <vector>

#include "export/map_export.h"

namespace r770::exporting {

struct ExportInput {
  const std::vector<ExportTag>& tags;
  const ExportLink& link;
  const std::string& documentName;
};

ExportResult ExportJson(const ExportInput& in);
ExportResult ExportMbpoll(const ExportInput& in);
ExportResult ExportPymodbus(const ExportInput& in);
ExportResult ExportHomeAssistant(const ExportInput& in);
ExportResult ExportTelegraf(const ExportInput& in);
ExportResult ExportModbusScope(const ExportInput& in);
ExportResult ExportModbusTools(const ExportInput& in);
ExportResult ExportOpenModScan(const ExportInput& in);

// One file at the output itself.
ExportResult OneFile(std::string text);
ExportResult Refused(std::string message);

// The module as the exported files name it: "R-770 TCP/Modbus".
inline constexpr const char* kModuleTitle = "R-770 TCP/Modbus";

}  // namespace r770::exporting
