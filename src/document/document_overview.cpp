#include "document/document_overview.h"

#include "common/number_forms.h"
#include "database/task_cl.h"
#include "document/document_check.h"

namespace r770 {
namespace {

std::string Bytes(const std::uint8_t* b, int n) { return DecBytesText(b, n); }

}  // namespace

bool HasDocument(const Configuration& cfg) {
  return cfg.State.IsNew || cfg.State.FromFile || cfg.State.FromModule;
}

std::vector<std::pair<std::string, std::string>> CommonSettingsTexts(const CommonSettings& c) {
  return {
      {"Адрес по шине CAN-BUS", Hex2(c.AdrCAN)},
      {"Адрес Modbus", Hex2(c.AdrExt)},
      {"Частота обмена по шине CAN-BUS", std::to_string(kCanSpeeds[c.V_CAN % kCanSpeeds.size()]) + " кбод"},
      {"Период опроса", std::to_string(c.trepeat) + " с"},
      {"Время ожидания ответа по CAN-BUS", std::to_string(c.twaitCAN) + " мс"},
      {"Скорость Ethernet", c.V_Ethernet ? "10 МБит/с" : "Авто"},
      {"Адрес порта", std::to_string(c.AdrPort)},
      {"MAC", HexBytesText(c.AdrMAC.data(), 6)},
      {"IP адрес", Bytes(c.AdrIP.data(), 4)},
      {"Адрес шлюза", Bytes(c.AdrGate.data(), 4)},
      {"Маска подсети", Bytes(c.Mask.data(), 4)},
  };
}

std::string ControllerText(const Configuration& cfg, std::size_t pos) {
  const ControllerEntry& ce = cfg.Controllers[pos];
  return std::to_string(pos + 1) + ". " + Hex2(static_cast<std::uint32_t>(ce.Nset) & 0xFF) + "  " +
         (ce.TaskFilePath().empty() ? std::string("Очередь задач не введена") : ce.TaskFilePath()) +
         (ce.Found ? "" : "  (не найден)");
}

std::string MapFillText(const Configuration& cfg, MapKind kind) {
  const RegisterMap& m = cfg.Map(kind);
  std::size_t filled = 0;
  for (const MapEntry& e : m)
    if (!e.IsEmpty()) ++filled;
  return MapMenuName(kind) + " " + std::to_string(filled) + " из " + std::to_string(m.size());
}

std::vector<OverviewLine> DocumentOverview(const Configuration& cfg) {
  std::vector<OverviewLine> lines;
  auto title = [&](std::string text, MainCommand target = MainCommand::None) {
    lines.push_back({std::move(text), true, target, false});
  };
  auto line = [&](std::string text, MainCommand target = MainCommand::None, bool marked = false) {
    lines.push_back({std::move(text), false, target, marked});
  };

  title("Документ");
  if (!HasDocument(cfg)) {
    line(
        "Документ не открыт. Создайте его («Файл» - «Новый», Ctrl+N), загрузите из файла "
        "(«Файл» - «Загрузить», Ctrl+O) или прочитайте из модуля («Обмен с  R-770 TCP/Modbus»).");
    return lines;
  }
  const DocumentState& s = cfg.State;
  if (s.IsNew)
    line("Новый документ");
  else if (s.FromFile)
    line("Загружен из файла " + s.FileName);
  else
    line("Прочитан из модуля R-770 TCP/Modbus");
  if (!s.IsNew && !s.FromFile && !s.FileName.empty()) line("Файл: " + s.FileName);
  if (cfg.AnyChanged()) line("Есть несохранённые изменения");

  title("Общие настройки", MainCommand::CommonSettings);
  for (const auto& [label, value] : CommonSettingsTexts(cfg.Common))
    line(label + ": " + value, MainCommand::CommonSettings);

  title("Контроллеры: " + std::to_string(cfg.Controllers.size()), MainCommand::ControllerList);
  if (cfg.Controllers.empty()) line("Список контроллеров пуст", MainCommand::ControllerList);
  for (std::size_t i = 0; i < cfg.Controllers.size(); ++i)
    line(ControllerText(cfg, i), MainCommand::ControllerList, !cfg.Controllers[i].Found);

  title("Карты регистров");
  for (MapKind k : kAllMapKinds) line(MapFillText(cfg, k), MapEditorCommand(k));

  title("Проверка карт");
  const std::vector<DocumentProblem> problems = CheckDocument(cfg);
  if (problems.empty()) line("Замечаний нет.");
  for (const DocumentProblem& p : problems)
    line(p.Text, p.Map ? MapEditorCommand(*p.Map) : MainCommand::ControllerList, true);
  return lines;
}

}  // namespace r770
