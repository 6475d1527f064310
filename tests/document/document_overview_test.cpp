#include "document/document_overview.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "editor_fixture.h"

namespace r770::test {
namespace {

std::vector<std::string> Texts(const std::vector<OverviewLine>& lines) {
  std::vector<std::string> out;
  for (const OverviewLine& l : lines) out.push_back(l.Text);
  return out;
}

const OverviewLine* Find(const std::vector<OverviewLine>& lines, const std::string& text) {
  for (const OverviewLine& l : lines)
    if (l.Text == text) return &l;
  return nullptr;
}

TEST(DocumentOverviewTest, WithoutDocumentSaysHowToGetOne) {
  Configuration cfg;
  const auto lines = DocumentOverview(cfg);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].Title);
  EXPECT_NE(lines[1].Text.find("«Файл» - «Новый», Ctrl+N"), std::string::npos);
  EXPECT_NE(lines[1].Text.find("«Загрузить», Ctrl+O"), std::string::npos);
}

TEST(DocumentOverviewTest, NewDocumentShowsSettingsEmptyListAndEmptyMaps) {
  EditorFixture f;
  f.cfg.ClearAllChanged();
  EXPECT_EQ(Texts(DocumentOverview(f.cfg)),
            (std::vector<std::string>{"Документ",
                                      "Новый документ",
                                      "Общие настройки",
                                      "Адрес по шине CAN-BUS: 00",
                                      "Адрес Modbus: 00",
                                      "Частота обмена по шине CAN-BUS: 300 кбод",
                                      "Период опроса: 3 с",
                                      "Время ожидания ответа по CAN-BUS: 50 мс",
                                      "Скорость Ethernet: Авто",
                                      "Адрес порта: 65535",
                                      "MAC: FF.FF.FF.FF.FF.FF",
                                      "IP адрес: 255.255.255.255",
                                      "Адрес шлюза: 255.255.255.255",
                                      "Маска подсети: 255.255.255.255",
                                      "Контроллеры: 0",
                                      "Список контроллеров пуст",
                                      "Карты регистров",
                                      "Coils 0 из 16",
                                      "Discrete Inputs 0 из 128",
                                      "Holding Registers 0 из 64",
                                      "Input Registers 0 из 64",
                                      "Проверка карт",
                                      "Замечаний нет."}));
}

TEST(DocumentOverviewTest, LinesNameTheirEditorsAndMarkWhatNeedsAttention) {
  EditorFixture f;
  f.cfg.State.IsNew = false;
  f.cfg.State.FromFile = true;
  f.cfg.State.FileName = "/doc/котельная.bmt";
  f.data.AddController(f.cfg, f.data.kotel, 0x05);
  f.data.AddController(f.cfg, "", 0x1A, false);  // its task file is missing
  for (int i = 0; i < 8; ++i) f.cfg.Map(MapKind::TU)[i] = Placed(0x0101, static_cast<std::uint16_t>(i + 1));
  f.cfg.Map(MapKind::TIFloat)[0] = Placed(0x0201, 100, 2);
  f.cfg.Map(MapKind::TIFloat)[1] = Placed(0x0202, 101, 2);
  f.cfg.Common.AdrCAN = 0x2B;
  f.cfg.State.TUChanged = true;
  const auto lines = DocumentOverview(f.cfg);

  struct Expect {
    std::string text;
    MainCommand target;
    bool marked;
  };
  const Expect expected[] = {
      {"Загружен из файла /doc/котельная.bmt", MainCommand::None, false},
      {"Есть несохранённые изменения", MainCommand::None, false},
      {"Адрес по шине CAN-BUS: 2B", MainCommand::CommonSettings, false},
      {"Контроллеры: 2", MainCommand::ControllerList, false},
      {"1. 05  " + f.data.kotel, MainCommand::ControllerList, false},
      {"2. 1A  Очередь задач не введена  (не найден)", MainCommand::ControllerList, true},
      {"Coils 8 из 16", MainCommand::Coils, false},
      {"Discrete Inputs 0 из 128", MainCommand::DiscreteInputs, false},
      {"Holding Registers 2 из 64", MainCommand::HoldingRegisters, false},
      {"Input Registers 0 из 64", MainCommand::InputRegisters, false},
      {"контроллер 1A: файл очереди задач не найден", MainCommand::ControllerList, true},
      {"Holding Registers, строка 2: адрес 101 нарушает нумерацию через 1 (чётность)",
       MainCommand::HoldingRegisters, true},
  };
  for (const Expect& e : expected) {
    SCOPED_TRACE(e.text);
    const OverviewLine* l = Find(lines, e.text);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->Target, e.target);
    EXPECT_EQ(l->Marked, e.marked);
  }
  EXPECT_EQ(Find(lines, "Замечаний нет."), nullptr);
}

TEST(DocumentOverviewTest, OriginOfADocumentReadFromTheModule) {
  EditorFixture f;
  f.cfg.State.IsNew = false;
  f.cfg.State.FromModule = true;
  f.cfg.State.FileName = "/doc/old.bmt";
  f.data.AddController(f.cfg, "", 0x05, false);
  f.cfg.Map(MapKind::TC)[0] = Placed(0x0101, 1);
  const auto texts = Texts(DocumentOverview(f.cfg));
  EXPECT_EQ(texts[1], "Прочитан из модуля R-770 TCP/Modbus");
  EXPECT_EQ(texts[2], "Файл: /doc/old.bmt");
  // A controller without task object is shown and reported once; its entries are not checked.
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "контроллер 05: файл очереди задач не найден"), 1);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Discrete Inputs 1 из 128"), 1);
}

}  // namespace
}  // namespace r770::test
