// The small database of the r770ctl tests: module type 0002 with one algorithm of two bit
// and two float parameters, its system task file, and one controller (network number 05)
// whose task 1 offers parameters 0101..0104; plus a settings file pointing to it.
#pragma once
#include <string>

#include "common/ini_file.h"
#include "database/database_builder.h"

namespace r770::test {

struct PumpDatabase {
  std::string root;
  std::string taskFile;
  std::string settingsPath;
};

// Writes the database below folder/db and the settings file folder/r770cfg.ini. The
// settings path is empty when the file could not be written.
inline PumpDatabase WritePumpDatabase(const std::string& folder) {
  DatabaseBuilder db(folder + "/db");
  DbAlgorithm alg;
  alg.FileNo = 0x0030;
  alg.Number = 30;
  alg.FullName = "Насос";
  alg.ShortName = "НАС";
  alg.Descriptors = {BitDescriptor(1, "Авария", "Авар"), BitDescriptor(2, "Работа", "Раб"),
                     FloatDescriptor(3, "Давление", "Давл"), FloatDescriptor(4, "Расход", "Расх")};
  db.Add(alg);
  db.Add(DbModule::Of(0x0002, {0x0030}));
  DbTaskFile sys;
  sys.ModuleType = 0x0002;
  sys.Tasks = {DbTask{"Системная", "Сист", 0, 30, 0, true, {}, {}}};
  db.AddSystemTasks(sys);
  DbTaskFile tf;
  tf.Nset = 0x05;
  tf.ModuleType = 0x0002;
  DbTask t{"Насосная", "НАСОС", 1, 30, 0, true, {}, {}};
  const char* names[] = {"Авария насоса", "Работа насоса", "Давление, кПа", "Расход"};
  for (int i = 1; i <= 4; ++i) {
    DbParam p;
    p.Number = static_cast<std::uint16_t>(0x0100 + i);
    p.Descriptor = static_cast<std::int16_t>(i);
    p.FullName = names[i - 1];
    t.Params.push_back(p);
  }
  tf.Tasks = {t};
  PumpDatabase out;
  out.root = db.Root();
  out.taskFile = db.AddTaskFile("pump.tsk", tf);

  IniFile s(folder + "/r770cfg.ini");
  s.WriteString("BaseL8", "Way", db.Root());
  s.WriteString("BaseL8", "WayAlg", db.AlgDir());
  s.WriteString("BaseL8", "WayMod", db.ModDir());
  s.WriteString("BaseL8", "WayTask", db.TaskDir());
  if (s.Save()) out.settingsPath = s.Path();
  return out;
}

}  // namespace r770::test
