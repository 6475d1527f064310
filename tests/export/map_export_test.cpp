// The map exporters: the byte order against the test client's own assembly, the refusals,
// and every format read back by a parser of that format (Python's yaml, tomllib, xml, csv,
// json), for each byte order, with names that need escaping.
#include "export/map_export.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "modbus_test/modbus_frames.h"
#include "temp_dir.h"

namespace r770 {
namespace {

TEST(WireOrderTest, EveryOrderDecodesAsTheTestClientAssemblesItsFlags) {
  const float value = -1234.5678f;
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  for (WireOrder order : kAllWireOrders) {
    SCOPED_TRACE(WireOrderName(order));
    // The value's bytes put on the wire in the order's letters.
    std::array<std::uint8_t, 4> wire{};
    const std::array<int, 4> letters = WireLetters(order);
    for (int i = 0; i < 4; ++i)
      wire[static_cast<std::size_t>(i)] =
          static_cast<std::uint8_t>(bits >> (8 * (3 - letters[static_cast<std::size_t>(i)])));
    const OrderFlags flags = FlagsOf(order);
    EXPECT_EQ(AssembleTestFloat(wire[0], wire[1], wire[2], wire[3], flags.invert, flags.swap), value);
    EXPECT_EQ(DecodeWireFloat(wire, order), value);
    EXPECT_EQ(WireOrderOf(flags.invert, flags.swap), order);
    EXPECT_EQ(ParseWireOrder(WireOrderName(order)), order);
  }
  // The test client's own cases: 00 00 3F 80 with swap alone, 3F 80 00 00 with invert alone.
  EXPECT_EQ(WireOrderOf(false, true), WireOrder::CDAB);
  EXPECT_EQ(DecodeWireFloat({0x00, 0x00, 0x3F, 0x80}, WireOrder::CDAB), 1.0f);
  EXPECT_EQ(WireOrderOf(true, false), WireOrder::ABCD);
  EXPECT_EQ(DecodeWireFloat({0x3F, 0x80, 0x00, 0x00}, WireOrder::ABCD), 1.0f);
  EXPECT_FALSE(ParseWireOrder("ACBD").has_value());
}

struct Placed {
  MapKind kind;
  int row;
  std::uint16_t address;
  const char* name;
};

// Entries with names that every format must escape, a zero address, a gap, an odd start, the
// same parameter placed twice at one address, and an empty entry that holds an address.
constexpr Placed kPlaced[] = {
    {MapKind::TU, 0, 0, "Пуск: \"насос\" \\ 1"},
    {MapKind::TU, 1, 1, "Стоп; 'кавычки' & <теги>"},
    {MapKind::TU, 3, 5, "# не комментарий -- ]]> конец"},
    {MapKind::TC, 0, 10, "Авария\tс табуляцией"},
    {MapKind::TC, 1, 11, "- дефис в начале: да"},
    {MapKind::TIFloat, 0, 0, "Давление, кПа"},
    {MapKind::TIFloat, 1, 2, "Расход {м3/ч} [макс]"},
    {MapKind::TIFloat, 2, 10, "Температура ${h1}"},
    {MapKind::TIFloat, 3, 100, "Дважды"},
    {MapKind::TIFloat, 4, 100, "Дважды"},
    {MapKind::InputReg, 0, 7, "Уровень \"верх\""},
    {MapKind::InputReg, 1, 9, "Ток, А"},
};

class MapExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cfg.ResetForNew();
    for (const Placed& p : kPlaced) Place(p.kind, p.row, p.address, p.name);
    // An empty entry (controller 255) is never exported, whatever its address.
    MapEntry& empty = cfg.Map(MapKind::InputReg)[5];
    empty.ModbusAddr = 40;
    empty.ParamName = "Пустая";
  }
  void Place(MapKind kind, int row, std::uint16_t address, const char* name) {
    MapEntry& e = cfg.Map(kind)[static_cast<std::size_t>(row)];
    e.ModuleNo = 5;
    e.ParamNo = static_cast<std::uint16_t>(0x100 + row);
    e.TaskNo = 1;
    e.ParamName = name;
    e.ModbusAddr = address;
  }
  ExportRequest Request(ExportFormat format, WireOrder order) {
    ExportRequest r;
    r.format = format;
    r.link.host = "192.168.7.20";
    r.link.port = 1502;
    r.link.unit = 17;
    r.link.order = order;
    r.documentName = "станция: \"1\".bmt";
    return r;
  }
  // Entries as the checker reads them: map, address, row, the name in hexadecimal.
  std::string Expectations() const {
    std::string out;
    for (const Placed& p : kPlaced) {
      out +=
          std::string(MapKey(p.kind)) + " " + std::to_string(p.address) + " " + std::to_string(p.row) + " ";
      for (unsigned char c : std::string(p.name)) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", c);
        out += hex;
      }
      out += "\n";
    }
    return out;
  }

  Configuration cfg;
  test::TempDir dir;
};

TEST_F(MapExportTest, EveryFormatReadsBackWithItsParserInEveryOrder) {
  const std::string expect = dir.File("expect.txt");
  test::WriteFileBytes(expect, Expectations());
  for (ExportFormat format : kAllExportFormats) {
    for (WireOrder order : kAllWireOrders) {
      SCOPED_TRACE(std::string(ExportFormatKey(format)) + " " + WireOrderName(order));
      ExportResult result = MakeExport(cfg, Request(format, order));
      if (format == ExportFormat::ModbusScope && (order == WireOrder::BADC || order == WireOrder::DCBA)) {
        EXPECT_EQ(result.error,
                  std::string("ModbusScope понимает только порядок байт ABCD и CDAB; порядок ") +
                      WireOrderName(order) + " в его проект не выгружается");
        EXPECT_TRUE(result.files.empty());
        continue;
      }
      ASSERT_TRUE(result.Ok()) << result.error;
      const std::string out = dir.File(std::string(ExportFormatKey(format)) + "-" + WireOrderName(order) +
                                       ExportFileExtension(format));
      ASSERT_EQ(SaveExport(result, format, out), "");
      const std::string command = std::string("/usr/bin/python3 '") + R770_CHECK_EXPORT + "' " +
                                  ExportFormatKey(format) + " " + WireOrderName(order) +
                                  " 17 192.168.7.20 1502 '" + expect + "' '" + out + "' 2>&1";
      FILE* p = ::popen(command.c_str(), "r");
      ASSERT_NE(p, nullptr);
      std::string report;
      char buf[1024];
      for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) report.append(buf, n);
      EXPECT_EQ(::pclose(p), 0) << report;
    }
  }
}

TEST_F(MapExportTest, LabelsAreUniqueAndEmptyEntriesStayOut) {
  const std::vector<ExportTag> tags = CollectExportTags(cfg, {true, true, true, true});
  ASSERT_EQ(tags.size(), std::size(kPlaced));
  EXPECT_EQ(tags[8].label, "hr 100 Дважды (строка 4)");
  EXPECT_EQ(tags[9].label, "hr 100 Дважды (строка 5)");
  EXPECT_EQ(tags[0].label, "coils 0 Пуск: \"насос\" \\ 1");
  const std::vector<ExportTag> some = CollectExportTags(cfg, {false, true, false, true});
  ASSERT_EQ(some.size(), 4u);
  EXPECT_EQ(some.front().kind, MapKind::TC);
  EXPECT_EQ(some.back().kind, MapKind::InputReg);
  EXPECT_EQ(ModiconAddress(MapKind::TU, 0), "000001");
  EXPECT_EQ(ModiconAddress(MapKind::TIFloat, 65535), "465536");
  EXPECT_EQ(ModiconAddress(MapKind::InputReg, 99), "300100");
  EXPECT_EQ(ModiconAddress(MapKind::TC, 9), "100010");
}

TEST_F(MapExportTest, RefusesWhatCannotBeExported) {
  struct Case {
    const char* what;
    std::array<bool, 4> maps;
    std::optional<std::pair<MapKind, std::uint16_t>> extra;
    const char* error;
  } cases[] = {
      {"no map chosen",
       {false, false, false, false},
       std::nullopt,
       "В выбранных картах документа нет заполненных записей"},
      {"holding pair at 65535",
       {true, true, true, true},
       std::pair{MapKind::TIFloat, std::uint16_t{65535}},
       "Holding Registers, строка 9 (Последний): адрес 65535 — для числа нужны два регистра, второго нет"},
      {"input pair at 65535",
       {false, false, false, true},
       std::pair{MapKind::InputReg, std::uint16_t{65535}},
       "Input Registers, строка 9 (Последний): адрес 65535 — для числа нужны два регистра, второго нет"},
      {"a coil at 65535 is fine",
       {true, false, false, false},
       std::pair{MapKind::TU, std::uint16_t{65535}},
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    if (c.extra) Place(c.extra->first, 8, c.extra->second, "Последний");
    for (ExportFormat format : kAllExportFormats) {
      ExportRequest r = Request(format, WireOrder::ABCD);
      r.maps = c.maps;
      ExportResult result = MakeExport(cfg, r);
      EXPECT_EQ(result.error, c.error) << ExportFormatKey(format);
      EXPECT_EQ(result.files.empty(), *c.error != '\0');
    }
  }
  // An empty map section is left out, not written empty.
  ExportRequest r = Request(ExportFormat::HomeAssistant, WireOrder::CDAB);
  r.maps = {true, false, false, false};
  ExportResult coils = MakeExport(cfg, r);
  ASSERT_TRUE(coils.Ok());
  EXPECT_EQ(coils.files.front().text.find("    sensors:"), std::string::npos);
  EXPECT_NE(coils.files.front().text.find("    binary_sensors:"), std::string::npos);
}

}  // namespace
}  // namespace r770
