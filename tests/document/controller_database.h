// A controller database with one module type and its system tasks; each controller is one
// task file.
#pragma once
#include <cstdint>
#include <string>

#include "database/database_builder.h"
#include "document/program_settings.h"
#include "temp_dir.h"

namespace r770 {

struct ControllerDatabase {
  test::TempDir dir;
  DatabaseBuilder db{dir.path()};
  ProgramSettings settings;

  ControllerDatabase() {
    DbAlgorithm alg{0x0010, 10, "Входы", "ВХ", {BitDescriptor(1, "Авария", "Ав")}, "", "", {}};
    db.Add(alg);
    db.Add(DbModule::Of(0x0001, {0x0010}));
    DbTaskFile sys;
    sys.ModuleType = 0x0001;
    sys.Tasks = {DbTask{"Системная", "Сист", 1, 10, 0, true, {}, {}}};
    db.AddSystemTasks(sys);
    settings.WorkTask = db.TaskDir();
    settings.WorkMod = db.ModDir();
    settings.WorkAlg = db.AlgDir();
  }
  std::string Controller(const std::string& name, std::uint16_t nset) const {
    DbParam p;
    p.FullName = "Авария насоса";
    p.Number = 0x0101;
    p.Descriptor = 1;
    DbTaskFile f;
    f.Nset = nset;
    f.ModuleType = 0x0001;
    f.Tasks = {DbTask{"Насосная", "Нас", 1, 10, 0x1111, true, {p}, {}}};
    return db.AddTaskFile(name, f);
  }
};

}  // namespace r770
