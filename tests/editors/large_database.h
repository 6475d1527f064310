// A large configuration for measuring the editors: 64 controllers, each offering 200 bit
// parameters (four tasks of one algorithm with 50 bit parameters) and 8 registers.
#pragma once
#include <string>

#include "database/database_builder.h"
#include "database/task_cl.h"
#include "document/configuration.h"
#include "document/program_settings.h"
#include "temp_dir.h"

namespace r770::test {

struct LargeConfiguration {
  static constexpr int kControllers = 64;
  static constexpr int kTasks = 4;
  static constexpr int kBitsPerTask = 50;

  TempDir dir;
  DatabaseBuilder db{dir.path()};
  Configuration cfg;
  ProgramSettings settings;

  LargeConfiguration() {
    DbAlgorithm bits;
    bits.FileNo = 0x0030;
    bits.Number = 0x30;
    bits.FullName = "Дискретные сигналы";
    bits.ShortName = "ДСГ";
    bits.Folder = "Дискретные";
    for (int i = 1; i <= kBitsPerTask; ++i)
      bits.Descriptors.push_back(BitDescriptor(static_cast<std::int16_t>(i), "Сигнал " + std::to_string(i),
                                               "Сг" + std::to_string(i)));
    DbAlgorithm floats;
    floats.FileNo = 0x0031;
    floats.Number = 0x31;
    floats.FullName = "Измерения";
    floats.ShortName = "ИЗМ";
    for (int i = 1; i <= 8; ++i)
      floats.Descriptors.push_back(FloatDescriptor(
          static_cast<std::int16_t>(i), "Измерение " + std::to_string(i), "Изм" + std::to_string(i)));
    db.Add(bits);
    db.Add(floats);
    db.Add(DbModule::Of(0x0002, {0x0030, 0x0031}));

    DbTaskFile system;
    system.ModuleType = 0x0002;
    DbTask sys{"Системная", "Сист", 1, 0x31, 0, true, {}, {}};
    for (int i = 1; i <= 8; ++i) {
      DbParam p;
      p.Number = static_cast<std::uint16_t>(0xF00 + i);
      p.Descriptor = static_cast<std::int16_t>(i);
      p.FullName = "Измерение " + std::to_string(i);
      sys.Params.push_back(p);
    }
    system.Tasks = {sys};
    db.AddSystemTasks(system);

    DbTaskFile file;
    file.ModuleType = 0x0002;
    for (int t = 1; t <= kTasks; ++t) {
      DbTask task{"Группа сигналов " + std::to_string(t),
                  "Гр" + std::to_string(t),
                  static_cast<std::int16_t>(t),
                  0x30,
                  0x1111,
                  true,
                  {},
                  {}};
      for (int i = 1; i <= kBitsPerTask; ++i) {
        DbParam p;
        p.Number = static_cast<std::uint16_t>(0x100 * t + i);
        p.Descriptor = static_cast<std::int16_t>(i);
        p.FullName = "Сигнал " + std::to_string(i) + " группы " + std::to_string(t);
        p.ShortName = "С" + std::to_string(t) + "." + std::to_string(i);
        task.Params.push_back(p);
      }
      file.Tasks.push_back(task);
    }
    const std::string taskFile = db.AddTaskFile("Контроллер.tsk", file);

    settings.WorkAlg = db.AlgDir();
    settings.WorkMod = db.ModDir();
    settings.WorkTask = db.TaskDir();
    cfg.ResetForNew();
    for (int c = 0; c < kControllers; ++c) {
      ControllerEntry e;
      e.Task = std::make_unique<Task_CL>(taskFile, db.TaskDir(), db.ModDir(), db.AlgDir());
      e.Nset = c + 1;
      e.Found = true;
      cfg.Controllers.push_back(std::move(e));
    }
    // Every Discrete Inputs entry is placed, on the controllers in turn.
    RegisterMap& map = cfg.Map(MapKind::TC);
    for (std::size_t i = 0; i < map.size(); ++i) {
      MapEntry& e = map[i];
      e.ModuleNo = static_cast<std::uint8_t>(i % kControllers + 1);
      e.TaskNo = static_cast<std::uint16_t>(i % kTasks + 1);
      e.ParamNo = static_cast<std::uint16_t>(0x100 * (i % kTasks + 1) + i % kBitsPerTask + 1);
      e.ParamName = "Сигнал " + std::to_string(i);
      e.ModbusAddr = static_cast<std::uint16_t>(i);
    }
  }
};

}  // namespace r770::test
