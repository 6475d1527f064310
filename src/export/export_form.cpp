#include "export/export_form.h"

#include "common/number_forms.h"
#include "export/export_text.h"

namespace r770 {

std::string ExportOrderTitle(WireOrder order) {
  switch (order) {
    case WireOrder::ABCD:
      return "ABCD (старший байт первым)";
    case WireOrder::CDAB:
      return "CDAB (младшее слово первым)";
    case WireOrder::BADC:
      return "BADC (байты в словах переставлены)";
    case WireOrder::DCBA:
      return "DCBA (младший байт первым)";
  }
  return "";
}

ExportForm::ExportForm(const Configuration& cfg, const ProgramSettings& settings, Dialogs& dialogs)
    : cfg_(cfg), settings_(settings), dialogs_(dialogs) {}

void ExportForm::Show() {
  const ExportLink link = ExportLinkFrom(settings_);
  host_ = link.host;
  port_ = std::to_string(link.port);
  unit_ = Hex2(link.unit);
  for (std::size_t i = 0; i < kAllWireOrders.size(); ++i)
    if (kAllWireOrders[i] == link.order) order_ = static_cast<int>(i);
  Update();
}

void ExportForm::SetFormat(int index) {
  if (index < 0 || index >= static_cast<int>(kAllExportFormats.size())) return;
  format_ = index;
  Update();
}

void ExportForm::SetHost(const std::string& text) {
  host_ = text;
  Update();
}

void ExportForm::SetPort(const std::string& text) {
  port_ = text;
  Update();
}

void ExportForm::SetUnit(const std::string& text) {
  unit_ = text;
  Update();
}

void ExportForm::SetOrder(int index) {
  if (index < 0 || index >= static_cast<int>(kAllWireOrders.size())) return;
  order_ = index;
  Update();
}

void ExportForm::SetMap(MapKind kind, bool on) {
  maps_[static_cast<std::size_t>(kind)] = on;
  Update();
}

std::string ExportForm::Request(ExportRequest& request) const {
  request.format = kAllExportFormats[static_cast<std::size_t>(format_)];
  request.link = ExportLinkFrom(settings_);
  request.link.order = kAllWireOrders[static_cast<std::size_t>(order_)];
  request.maps = maps_;
  const std::string host = Trim(host_);
  if (host.empty()) return "Введите адрес IP.";
  request.link.host = host;
  const auto port = ParseUDec(Trim(port_));
  if (!port || *port > 65535) return "Неправильно введен адрес порта.";
  request.link.port = static_cast<std::uint16_t>(*port);
  const auto unit = ParseHex(Trim(unit_));
  if (!unit || *unit > 255) return "Неверно введен Slave-адрес БМТ";
  request.link.unit = static_cast<std::uint8_t>(*unit);
  const std::string& file = cfg_.State.FileName;
  const std::size_t slash = file.find_last_of('/');
  request.documentName = slash == std::string::npos ? file : file.substr(slash + 1);
  return "";
}

void ExportForm::Update() {
  preview_.clear();
  saveEnabled_ = false;
  ExportRequest request;
  status_ = Request(request);
  if (!status_.empty()) return;
  const ExportResult result = MakeExport(cfg_, request);
  if (!result.Ok()) {
    status_ = result.error;
    return;
  }
  for (const ExportFile& f : result.files) {
    if (!f.name.empty()) preview_ += "==== " + f.name + " ====\n";
    preview_ += f.text;
  }
  saveEnabled_ = true;
}

void ExportForm::Save() {
  Update();
  if (!saveEnabled_) {
    dialogs_.Information(status_);
    return;
  }
  ExportRequest request;
  Request(request);
  const ExportResult result = MakeExport(cfg_, request);
  const ExportFormat format = request.format;
  std::optional<std::string> path;
  const std::string start = ExistingFolderOf(lastPath_.empty() ? cfg_.State.FileName : lastPath_);
  if (ExportWritesFolder(format)) {
    path = dialogs_.ChooseFolder(start);
  } else {
    const std::string pattern = std::string("*") + ExportFileExtension(format);
    path = dialogs_.SaveFile({{pattern, pattern}, {"All files(*.*)", "*.*"}}, 0, start);
  }
  if (!path || path->empty()) return;
  const std::string error = SaveExport(result, format, *path);
  if (!error.empty()) {
    dialogs_.Information(error);
    return;
  }
  lastPath_ = *path;
  status_ = "Сохранено: " + *path;
}

}  // namespace r770
