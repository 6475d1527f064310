// The window "Экспорт карты для ведущего": a format, the link fields pre-filled from the
// Modbus/TCP test settings, the float byte order, which maps, a preview of the text that
// will be written, and "Сохранить…".
#pragma once
#include <array>
#include <string>

#include "common/dialogs.h"
#include "document/configuration.h"
#include "document/program_settings.h"
#include "export/map_export.h"

namespace r770 {

inline constexpr const char* kExportCaption = "Экспорт карты для ведущего";
inline constexpr const char* kExportFormatLabel = "Формат";
inline constexpr const char* kExportHostLabel = "IP адрес";
inline constexpr const char* kExportPortLabel = "Адрес порта";
inline constexpr const char* kExportUnitLabel = "Slave-адрес, Hex";
inline constexpr const char* kExportOrderLabel = "Порядок байт в числах с плавающей запятой";
inline constexpr const char* kExportMapsGroup = "Карты";
inline constexpr const char* kExportSaveButton = "Сохранить…";

// An item of the order list: "CDAB (младшее слово первым)".
std::string ExportOrderTitle(WireOrder order);

class ExportForm {
 public:
  ExportForm(const Configuration& cfg, const ProgramSettings& settings, Dialogs& dialogs);

  // The window is shown: the link from the test settings, the preview made.
  void Show();

  // Events of the fields; each makes the preview again.
  void SetFormat(int index);  // index into kAllExportFormats
  void SetHost(const std::string& text);
  void SetPort(const std::string& text);  // decimal
  void SetUnit(const std::string& text);  // hexadecimal, as the test settings show it
  void SetOrder(int index);               // index into kAllWireOrders
  void SetMap(MapKind kind, bool on);
  // "Сохранить…": asks for the file (or the folder of a folder format) and writes it. A
  // refused export or a field that does not convert writes nothing.
  void Save();

  int Format() const { return format_; }
  const std::string& Host() const { return host_; }
  const std::string& Port() const { return port_; }
  const std::string& Unit() const { return unit_; }
  int Order() const { return order_; }
  bool Map(MapKind kind) const { return maps_[static_cast<std::size_t>(kind)]; }
  // The text of the export (a folder format: every file under its name), or empty.
  const std::string& Preview() const { return preview_; }
  // Why there is no preview (a refusal or a field that does not convert), or what was saved.
  const std::string& Status() const { return status_; }
  bool SaveEnabled() const { return saveEnabled_; }
  // The path last saved to (the start of the next choice).
  const std::string& LastPath() const { return lastPath_; }

 private:
  // The request of the fields, or a message naming the field that does not convert.
  std::string Request(ExportRequest& request) const;
  void Update();

  const Configuration& cfg_;
  const ProgramSettings& settings_;
  Dialogs& dialogs_;
  int format_ = 0;
  std::string host_, port_, unit_;
  int order_ = 1;
  std::array<bool, 4> maps_{true, true, true, true};
  std::string preview_, status_, lastPath_;
  bool saveEnabled_ = false;
};

}  // namespace r770
