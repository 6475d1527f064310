// A small controller database shared by the database tests.
//
// Module type 0001 refers to algorithm files 0010, 0099 (missing) and 0020. Algorithm 10 lies
// deep below the algorithm folder under a lower-case name and has one descriptor of each
// interesting sort; algorithm 20 has two floats. The controller (network number 05) has:
//   task 1 "Насосная станция" (algorithm 10, in use, no short name of its own)
//   task 2 "Резерв"           (algorithm 10, not in use)
//   task 3 "Потерянный"       (algorithm 99, its file is missing)
//   task 4 "Вентиляция"       (algorithm 20)
// and the system task file gives "Системная" (algorithm 20) and "Диагностика" (algorithm 10).
#pragma once
#include <memory>
#include <string>

#include "database/database_builder.h"
#include "database/task_cl.h"
#include "temp_dir.h"

namespace r770::test {

inline DbAlgorithm SampleAlgorithm10() {
  DbAlgorithm a;
  a.FileNo = 0x0010;
  a.Number = 10;
  a.FullName = "Входы дискретные";
  a.ShortName = "ВХД";
  a.Folder = "Насосы/deep/DiSc";
  a.FileName = "0010.alg";
  a.Descriptors = {
      BitDescriptor(1, "Авария насоса", "АвНас"),
      BitDescriptor(2, "Работа насоса", "РабНас"),
      FloatDescriptor(3, "Давление", "Давл").Kind(2),
      FloatDescriptor(4, "Уставка", "Уст").Array(0),
      FloatDescriptor(5, "Таблица", "Табл").Array(8),
      BitDescriptor(6, "Служебный", "Сл").Service(),
      BitDescriptor(7, "Имя объекта").Text(10),
      BitDescriptor(8, "Сигнал", "Сигн"),              // size without the array flag means nothing
      BitDescriptor(9, "Счётчик", "Сч").Type(2),       // read as 0xC4: in neither tree
      BitDescriptor(10, "Расход", "Расх").Type(0x44),  // 0x44 AND 0x87 = 0x04: a register
  };
  a.Descriptors[7].Size = 12;
  return a;
}

inline DbAlgorithm SampleAlgorithm20() {
  DbAlgorithm a;
  a.FileNo = 0x0020;
  a.Number = 20;
  a.FullName = "Вентиляция";
  a.ShortName = "ВЕНТ";
  a.Folder = "vent";
  a.Descriptors = {FloatDescriptor(1, "Температура", "Темп"), FloatDescriptor(2, "Влажность")};
  return a;
}

inline DbParam P(std::uint16_t number, std::int16_t descriptor, std::string fullName, std::string shortName,
                 std::uint16_t access = 0x1000) {
  DbParam p;
  p.Number = number;
  p.Descriptor = descriptor;
  p.FullName = std::move(fullName);
  p.ShortName = std::move(shortName);
  p.Access = access;
  return p;
}

inline DbTaskFile SampleTaskFile() {
  DbTaskFile f;
  f.Nset = 0x05;
  f.ModuleType = 0x0001;
  f.WordsAt68 = {1, 2, 3, 4, 5, 6, 7};
  DbTask t1{"Насосная станция", "", 1, 10, 0x0000, true, {}, {}};
  t1.Params = {
      P(0x0101, 1, "Авария насоса 1", "Авар1"),
      P(0x0102, 2, "Работа насоса 1", "Раб1", 0),  // access 0: 0x3333, not offered
      P(0x0103, 3, "Давление на входе", "Рвх"),
      P(0x0104, 4, "Уставка давления", ""),
      P(0x0105, 5, "Таблица калибровки", "Калибр"),
      P(0x0106, 6, "Служебный параметр", "Служ"),
      TextParam("Имя объекта", 7, "Котельная", 10),
      P(0x0108, 8, "Сигнал готовности", "Готов"),
      P(0x0109, 9, "Счётчик", "Сч"),
      P(0x010A, 10, "Расход воды", "Расход", 0x2000),  // level 2: not offered
      P(0x010B, 10, "Расход пара", "РасхП"),
  };
  t1.Params[2].Location = 0x0001;  // the value file filter skips it
  DbTask t2{"Резерв", "Рез", 2, 10, 0x1111, false, {P(0x0201, 1, "Резервный вход", "РВх")}, {}};
  DbTask t3{"Потерянный", "Пот", 3, 99, 0x1111, true, {P(0x0301, 1, "Нет описания", "Нет")}, {}};
  DbTask t4{"Вентиляция приточная",
            "Вент",
            4,
            20,
            0x1111,
            true,
            {P(0x0401, 1, "Температура притока", "Тпр"), P(0x0402, 2, "Влажность притока", "")},
            {}};
  f.Tasks = {t1, t2, t3, t4};
  return f;
}

inline DbTaskFile SampleSystemTasks() {
  DbTaskFile f;
  f.ModuleType = 0x0001;
  f.WordsAt68 = {11, 12, 13, 14, 15, 16, 17};
  f.WordsAt96 = {21, 22, 23, 24, 25, 26, 27};
  DbTask s1{"Системная", "Сист", 7, 20, 0, true, {P(0x0F01, 1, "Температура модуля", "Тмод")}, {}};
  DbTask s2{"Диагностика",
            "Диаг",
            8,
            10,
            0,
            false,
            {P(0x0F02, 1, "Отказ питания", "Пит", 0), P(0x0F03, 2, "Связь", "Связь")},
            {}};
  f.Tasks = {s1, s2};
  return f;
}

// The sample database in a temporary folder.
struct SampleDatabase {
  TempDir dir;
  DatabaseBuilder db{dir.path()};
  std::string taskFile;

  SampleDatabase() {
    db.Add(SampleAlgorithm10());
    db.Add(SampleAlgorithm20());
    db.Add(DbModule::Of(0x0001, {0x0010, 0x0099, 0x0020}));
    db.AddSystemTasks(SampleSystemTasks());
    taskFile = db.AddTaskFile("Насосная.tsk", SampleTaskFile());
  }

  std::unique_ptr<Task_CL> Load(const std::string& file) const {
    return std::make_unique<Task_CL>(file, db.TaskDir(), db.ModDir(), db.AlgDir());
  }
  std::unique_ptr<Task_CL> Load() const { return Load(taskFile); }
};

}  // namespace r770::test
