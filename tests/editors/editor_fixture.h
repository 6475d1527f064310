// A small controller database and a configuration for the editor tests.
//
// Module type 0001: algorithm 0x10 "Дискретные" (four bit parameters) and algorithm 0x20
// "Аналоговые" (three floats); the system task file gives task "Система" with 0x0F01.
//   Котел.tsk          network number 05: task 1 "Сигналы котла" (0101..0104, bits),
//                      task 2 "Измерения котла" (0201..0203, floats)
//   Насос.tsk          network number 1A: task 1 "Сигналы насоса" (0301, 0302)
//   КотелНеполный.tsk  network number 05: like Котел.tsk without parameter 0104
#pragma once
#include <memory>
#include <string>

#include "common/dialogs.h"
#include "database/database_builder.h"
#include "database/param_tree.h"
#include "database/task_cl.h"
#include "document/configuration.h"
#include "document/program_settings.h"
#include "fake_dialogs.h"
#include "temp_dir.h"

namespace r770::test {

inline DbParam EditorParam(std::uint16_t number, std::int16_t descriptor, std::string fullName,
                           std::string shortName) {
  DbParam p;
  p.Number = number;
  p.Descriptor = descriptor;
  p.FullName = std::move(fullName);
  p.ShortName = std::move(shortName);
  return p;
}

struct EditorDatabase {
  TempDir dir;
  DatabaseBuilder db{dir.path()};
  std::string kotel, nasos, kotelPartial;

  EditorDatabase() {
    DbAlgorithm bits;
    bits.FileNo = 0x0010;
    bits.Number = 0x10;
    bits.FullName = "Дискретные";
    bits.ShortName = "ДСК";
    bits.Descriptors = {BitDescriptor(1, "Авария", "Авар"), BitDescriptor(2, "Работа", "Раб"),
                        BitDescriptor(3, "Дверь", "Дверь"), BitDescriptor(4, "Пуск", "Пуск")};
    DbAlgorithm floats;
    floats.FileNo = 0x0020;
    floats.Number = 0x20;
    floats.FullName = "Аналоговые";
    floats.ShortName = "АНЛ";
    floats.Folder = "sub";
    floats.Descriptors = {FloatDescriptor(1, "Давление", "Давл"), FloatDescriptor(2, "Температура", "Темп"),
                          FloatDescriptor(3, "Расход", "Расх")};
    db.Add(bits);
    db.Add(floats);
    db.Add(DbModule::Of(0x0001, {0x0010, 0x0020}));
    DbTaskFile system;
    system.ModuleType = 0x0001;
    system.Tasks = {DbTask{
        "Система", "Сист", 9, 0x20, 0, true, {EditorParam(0x0F01, 1, "Температура модуля", "Тмод")}, {}}};
    db.AddSystemTasks(system);

    kotel = db.AddTaskFile("Котел.tsk", KotelFile(true));
    kotelPartial = db.AddTaskFile("КотелНеполный.tsk", KotelFile(false));
    DbTaskFile n;
    n.Nset = 0x1A;
    n.ModuleType = 0x0001;
    n.Tasks = {DbTask{
        "Сигналы насоса",
        "СигН",
        1,
        0x10,
        0x1111,
        true,
        {EditorParam(0x0301, 1, "Авария насоса", "АвН"), EditorParam(0x0302, 2, "Работа насоса", "РбН")},
        {}}};
    nasos = db.AddTaskFile("Насос.tsk", n);
  }

  static DbTaskFile KotelFile(bool withStart) {
    DbTaskFile f;
    f.Nset = 0x05;
    f.ModuleType = 0x0001;
    DbTask alarms{
        "Сигналы котла",
        "СигК",
        1,
        0x10,
        0x1111,
        true,
        {EditorParam(0x0101, 1, "Авария котла", "Авар"), EditorParam(0x0102, 2, "Работа котла", "Раб"),
         EditorParam(0x0103, 3, "Дверь котла", "Дверь")},
        {}};
    if (withStart) alarms.Params.push_back(EditorParam(0x0104, 4, "Пуск котла", "Пуск"));
    DbTask measures{
        "Измерения котла",
        "ИзмК",
        2,
        0x20,
        0x1111,
        true,
        {EditorParam(0x0201, 1, "Давление пара", "Давл"), EditorParam(0x0202, 2, "Температура воды", "Темп"),
         EditorParam(0x0203, 3, "Расход газа", "Расх")},
        {}};
    f.Tasks = {alarms, measures};
    return f;
  }

  void SetFolders(ProgramSettings& s) const {
    s.WorkAlg = s.DbAlg = db.AlgDir();
    s.WorkMod = s.DbMod = db.ModDir();
    s.WorkTask = s.DbTask = db.TaskDir();
  }

  std::unique_ptr<Task_CL> Load(const std::string& file) const {
    return std::make_unique<Task_CL>(file, db.TaskDir(), db.ModDir(), db.AlgDir());
  }

  // Appends a controller with its task object (or none for an empty path).
  void AddController(Configuration& cfg, const std::string& file, std::int32_t nset,
                     bool found = true) const {
    ControllerEntry e;
    if (!file.empty()) e.Task = Load(file);
    e.Nset = nset;
    e.Found = found;
    cfg.Controllers.push_back(std::move(e));
  }
};

// A new document with the editor database's folders in the settings.
struct EditorFixture {
  EditorDatabase data;
  Configuration cfg;
  ProgramSettings settings;
  FakeDialogs dialogs;
  FakeBusy busy;

  EditorFixture() {
    data.SetFolders(settings);
    settings.ShortTaskNames = true;
    cfg.ResetForNew();
    cfg.State.IsNew = true;
  }
};

// A map entry placed on a parameter of controller 05.
inline MapEntry Placed(std::uint16_t paramNo, std::uint16_t addr, std::uint16_t taskNo = 1,
                       std::uint8_t module = 5, std::string name = "") {
  MapEntry e;
  e.ModuleNo = module;
  e.ParamNo = paramNo;
  e.TaskNo = taskNo;
  e.ModbusAddr = addr;
  e.ParamName = name.empty() ? "Параметр " + std::to_string(paramNo) : name;
  return e;
}

// Index of the tree node with this label, -1 when none.
inline int NodeByLabel(const ParamTree& tree, const std::string& label) {
  for (std::size_t i = 0; i < tree.Nodes().size(); ++i)
    if (tree.Nodes()[i].Label == label) return static_cast<int>(i);
  return -1;
}

}  // namespace r770::test
