// r770-demo-db OUTDIR: writes a demo controller database into OUTDIR.
//
//   OUTDIR/ALG   algorithm files, in nested folders, with names in mixed letter case
//   OUTDIR/MOD   module files 0001.mod and 0002.mod
//   OUTDIR/TASK  system task files, access files, and the task files of four controllers
//                (KOTEL05.tsk, NASOS07.tsk, VENT1A.tsk, TP20.tsk) with their value files
//
// OUTDIR works as the database root of the path settings. The program loads every
// controller back and builds both parameter trees; it fails when anything is wrong.
#include <array>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "common/number_forms.h"
#include "common/version.h"
#include "database/database_builder.h"
#include "database/param_tree.h"
#include "database/task_cl.h"

namespace {

using namespace r770;

DbAlgorithm Alg(std::uint16_t fileNo, std::string full, std::string shortName, std::string folder,
                std::string fileName, std::vector<DbDescriptor> descriptors) {
  DbAlgorithm a;
  a.FileNo = fileNo;
  a.Number = static_cast<std::int16_t>(fileNo);
  a.FullName = std::move(full);
  a.ShortName = std::move(shortName);
  a.Folder = std::move(folder);
  a.FileName = std::move(fileName);
  a.Descriptors = std::move(descriptors);
  std::int16_t n = 1;
  for (auto& d : a.Descriptors) d.Number = n++;
  return a;
}

DbDescriptor Bit(std::string full, std::string shortName) {
  return BitDescriptor(0, std::move(full), std::move(shortName));
}
DbDescriptor Float(std::string full, std::string shortName) {
  return FloatDescriptor(0, std::move(full), std::move(shortName));
}

std::vector<DbAlgorithm> Algorithms() {
  std::vector<DbDescriptor> packed;
  for (int i = 1; i <= 32; ++i)
    packed.push_back(Bit("Сигнал горелки " + std::to_string(i), "Сгн" + std::to_string(i)));
  packed.push_back(Float("Слово состояния", "СлСост"));
  return {
      Alg(0x0101, "Дискретные входы", "ДВХ", "Дискретные/Входы", "0101.ALG",
          {Bit("Авария насоса", "АвНас"), Bit("Работа насоса", "РабНас"), Bit("Дверь шкафа открыта", "Дверь"),
           Bit("Пожарная сигнализация", "Пожар"), Bit("Нет напряжения", "НетU"),
           Bit("Перегрев двигателя", "Перегр"), Bit("Засор фильтра", "Засор"), Bit("Утечка воды", "Утечка")}),
      Alg(0x0102, "Дискретные выходы", "ДВЫХ", "Дискретные/Выходы", "0102.alg",
          {Bit("Пуск насоса", "Пуск"), Bit("Стоп насоса", "Стоп"), Bit("Открыть задвижку", "Откр"),
           Bit("Закрыть задвижку", "Закр"), Bit("Сброс аварии", "Сброс"),
           Bit("Включить вентилятор", "Вент")}),
      Alg(0x0201, "Аналоговые входы", "АВХ", "Аналоговые", "0201.Alg",
          {Float("Давление на входе", "Рвх").Kind(1), Float("Давление на выходе", "Рвых").Kind(1),
           Float("Температура подачи", "Тпод").Kind(2), Float("Температура обратки", "Тобр").Kind(2),
           Float("Уровень в резервуаре", "Ур"), Float("Ток двигателя", "Iдв"),
           Float("Таблица калибровки", "Калибр").Array(16), Float("Коэффициент датчика", "Кдат").Array(0)}),
      Alg(0x0202, "Расчёт расхода", "РАСХ", "Аналоговые/Расчёт", "0202.ALG",
          {Float("Расход мгновенный", "Qм"), Float("Расход накопленный", "Qн").Type(0x44),
           Float("Плотность", "Плотн"), Bit("Недостоверность расчёта", "Недост")}),
      Alg(0x0301, "ПИД-регулятор", "ПИД", "Регуляторы/ПИД", "0301.alg",
          {Float("Уставка", "Уст").Kind(3), Float("Коэффициент пропорциональности", "Кп"),
           Float("Время интегрирования", "Ти"), Float("Выход регулятора", "Выход"),
           Bit("Ручной режим", "Ручн"), Bit("Авария регулятора", "АвРег")}),
      Alg(0x0302, "Позиционный регулятор", "ПОЗ", "Регуляторы", "0302.ALG",
          {Float("Уставка", "Уст"), Float("Зона нечувствительности", "Зона"),
           Bit("Регулятор включён", "Вкл")}),
      Alg(0x0401, "Упакованные сигналы", "ПАК", "Пакеты", "0401.aLG", packed),
      Alg(0x0501, "Паспорт объекта", "ПАСП", "Служебные", "0501.ALG",
          {Bit("Наименование объекта", "").Text(24), Bit("Адрес объекта", "").Text(16),
           Bit("Контрольная сумма", "КС").Service(), Float("Версия программы", "Версия")}),
      Alg(0x0601, "Системные параметры", "СИСТ", "Служебные/Система", "0601.ALG",
          {Float("Температура модуля", "Тмод"), Float("Напряжение питания", "Uпит"),
           Bit("Батарея разряжена", "Бат"), Bit("Сторожевой таймер", "WDT")}),
      Alg(0x0602, "Диагностика связи", "ДИАГ", "Служебные/Система", "0602.alg",
          {Bit("Нет связи по CAN", "НетCAN"), Bit("Ошибка памяти", "Память"),
           Float("Число ошибок связи", "Ошибки")}),
      Alg(0x0701, "Управление насосом", "НАС", "Насосы", "0701.ALG",
          {Bit("Насос включён", "Вкл"), Bit("Авария преобразователя", "АвПЧ"), Bit("Сухой ход", "Сухой"),
           Float("Частота вращения", "Частота"), Float("Наработка", "Нараб")}),
      Alg(0x0801, "Счётчики энергии", "СЧЁТ", "Счётчики/Энергия", "0801.ALG",
          {Float("Энергия активная", "Wа").Type(0x0C), Float("Энергия реактивная", "Wр").Type(2),
           Bit("Сбой счётчика", "Сбой")}),
      // An old copy in a hidden folder: never found.
      Alg(0x0101, "Старая версия", "СТАР", ".old", "0101.ALG", {Bit("Старый вход", "Стар")}),
  };
}

const DbAlgorithm* FindAlg(const std::vector<DbAlgorithm>& algs, std::int16_t number) {
  for (const auto& a : algs)
    if (a.Number == number && a.Folder != ".old") return &a;
  return nullptr;
}

struct TaskPlan {
  std::int16_t Number;
  std::int16_t AlgorithmNo;
  std::string FullName;
  std::string ShortName;  // empty: the algorithm's
  bool InUse = true;
  std::string TextValue{};  // for the passport algorithm
};

// One parameter per descriptor of the task's algorithm, numbered task * 0x100 + position.
// In the first task the last three parameters get access levels 2, 3 and 0.
DbTask MakeTask(const std::vector<DbAlgorithm>& algs, const TaskPlan& plan, bool firstTask,
                std::uint16_t base) {
  DbTask t;
  t.FullName = plan.FullName;
  t.ShortName = plan.ShortName;
  t.Number = plan.Number;
  t.AlgorithmNo = plan.AlgorithmNo;
  t.Access = 0x1111;
  t.InUse = plan.InUse;
  const DbAlgorithm* a = FindAlg(algs, plan.AlgorithmNo);
  const std::size_t n = a->Descriptors.size();
  for (std::size_t i = 0; i < n; ++i) {
    const DbDescriptor& d = a->Descriptors[i];
    if ((d.Flags70 & 1) && (d.Flags71 & 1)) {
      std::string text = i == 0 ? plan.TextValue : "г. Заречный, ул. Промышленная, 4";
      t.Params.push_back(TextParam(d.FullName, d.Number, text, d.Size));
      continue;
    }
    DbParam p;
    p.FullName = d.FullName;
    p.ShortName = d.ShortName;
    p.Number = static_cast<std::uint16_t>(base + i + 1);
    p.Descriptor = d.Number;
    p.Access = 0x1000;
    if (firstTask && i + 3 == n) p.Access = 0x2000;
    if (firstTask && i + 2 == n) p.Access = 0x3000;
    if (firstTask && i + 1 == n) p.Access = 0x0000;  // read as 0x3333: not offered
    t.Params.push_back(p);
  }
  return t;
}

DbTaskFile MakeTaskFile(const std::vector<DbAlgorithm>& algs, std::uint16_t nset, std::uint16_t type,
                        const std::vector<TaskPlan>& plans, bool system) {
  DbTaskFile f;
  f.Nset = nset;
  f.ModuleType = type;
  for (std::size_t i = 0; i < plans.size(); ++i) {
    const std::uint16_t base = system ? static_cast<std::uint16_t>(0xF00 + 0x10 * i)
                                      : static_cast<std::uint16_t>(0x100 * plans[i].Number);
    f.Tasks.push_back(MakeTask(algs, plans[i], !system && i == 0, base));
  }
  return f;
}

std::array<std::uint8_t, 4> FloatBytes(float v) {
  std::array<std::uint8_t, 4> b{};
  std::memcpy(b.data(), &v, 4);
  return b;
}

struct Controller {
  std::string File;
  std::uint16_t Nset;
  std::uint16_t Type;
  std::vector<TaskPlan> Tasks;
};

int Run(const std::string& out) {
  DatabaseBuilder db(out);
  const auto algs = Algorithms();
  for (const auto& a : algs) db.Add(a);
  DbModule m1 =
      DbModule::Of(0x0001, {0x0101, 0x0102, 0x0201, 0x0202, 0x0301, 0x0401, 0x0501, 0x0601, 0x0602});
  DbModule m2 =
      DbModule::Of(0x0002, {0x0101, 0x0102, 0x0201, 0x0302, 0x0701, 0x0801, 0x0501, 0x0601, 0x0602});
  m1.LowestOwnParam = m2.LowestOwnParam = 0x0100;
  db.Add(m1);
  db.Add(m2);
  for (std::uint16_t type : {0x0001, 0x0002}) {
    db.AddSystemTasks(MakeTaskFile(
        algs, 0, type,
        {{100, 0x0601, "Системные параметры", "Система"}, {101, 0x0602, "Диагностика связи", ""}}, true));
    db.AddAccess(type, DbAccess{{{"Инженер", "1F"}, {"Наладчик", "0F"}}, {{"Оператор", "3"}}});
  }

  const std::vector<Controller> controllers = {
      {"KOTEL05.tsk",
       0x05,
       0x0001,
       {{1, 0x0101, "Входы котельной", "ВхКот"},
        {2, 0x0102, "Управление котельной", ""},
        {3, 0x0201, "Датчики котельной", "ДатчКот"},
        {4, 0x0202, "Учёт расхода газа", "Газ"},
        {5, 0x0301, "Регулятор температуры", "РегТ"},
        {6, 0x0401, "Сигналы горелки", "Горелка"},
        {7, 0x0501, "Паспорт котельной", "", true, "Котельная №1"},
        {8, 0x0301, "Резервный регулятор", "Резерв", false}}},
      {"NASOS07.tsk",
       0x07,
       0x0002,
       {{1, 0x0101, "Входы насосной", "ВхНас"},
        {2, 0x0102, "Управление насосами", "Управл"},
        {3, 0x0201, "Давления", ""},
        {4, 0x0302, "Регулятор давления", "РегР"},
        {5, 0x0701, "Насос 1", "Н1"},
        {6, 0x0701, "Насос 2", "Н2"},
        {7, 0x0801, "Учёт электроэнергии", "Энерг"},
        {8, 0x0501, "Паспорт насосной", "", true, "Насосная станция"},
        {9, 0x0701, "Насос 3 (резерв)", "Н3", false}}},
      {"VENT1A.tsk",
       0x1A,
       0x0001,
       {{1, 0x0101, "Входы вентиляции", "ВхВент"},
        {2, 0x0301, "Приточная установка", "Приток"},
        {3, 0x0201, "Датчики воздуха", ""},
        {4, 0x0401, "Сигналы пожарной защиты", "Пожар"},
        {5, 0x0102, "Вытяжка", "Вытяжка"},
        {6, 0x0202, "Резервный расчёт", "Резерв", false}}},
      {"TP20.tsk",
       0x20,
       0x0002,
       {{1, 0x0101, "Входы теплового пункта", "ВхТП"},
        {2, 0x0201, "Датчики теплового пункта", "ДатчТП"},
        {3, 0x0302, "Регулятор ГВС", "ГВС"},
        {4, 0x0701, "Циркуляционный насос", "Цирк"},
        {5, 0x0801, "Учёт тепла", ""},
        {6, 0x0501, "Паспорт теплового пункта", "", true, "Тепловой пункт"},
        {7, 0x0102, "Резервные выходы", "Резерв", false}}},
  };

  std::vector<std::unique_ptr<Task_CL>> loaded;
  std::vector<TreeController> list;
  int failures = 0;
  for (const Controller& c : controllers) {
    const std::string path = db.AddTaskFile(c.File, MakeTaskFile(algs, c.Nset, c.Type, c.Tasks, false));
    // Measured values of the sensors' task (task 3 of the first two, task 2 of the others).
    const std::int16_t sensorTask = c.Nset == 0x05 || c.Nset == 0x07 ? 3 : 2;
    const std::int16_t sensorAlg = 0x0201;
    std::vector<DbValue> values;
    for (std::int16_t d = 1; d <= 4; ++d)
      values.push_back(DbValue{sensorTask, sensorAlg, static_cast<std::uint16_t>(0x100 * sensorTask + d), d,
                               FloatBytes(1.5f * static_cast<float>(d)), 0});
    db.AddValues(path, values);

    auto task = std::make_unique<Task_CL>(path, db.TaskDir(), db.ModDir(), db.AlgDir());
    for (const auto& e : task->Errors()) {
      std::fprintf(stderr, "%s: %s\n", path.c_str(), e.c_str());
      ++failures;
    }
    std::printf("%s: сетевой номер %s, задач %zu, параметров %zu, алгоритмов %zu\n", path.c_str(),
                Hex2(task->NetworkNumber()).c_str(), task->Tasks().size(), task->Params().size(),
                task->Algorithms().size());
    list.push_back({task.get(), task->NetworkNumber(), true});
    loaded.push_back(std::move(task));
  }
  for (TreeKind kind : {TreeKind::Bit, TreeKind::Register}) {
    ParamTree tree = ParamTree::Build(kind, list, {});
    std::size_t leaves = 0;
    for (const auto& n : tree.Nodes()) leaves += n.Level == 2;
    std::printf("%s: узлов %zu, параметров %zu\n",
                kind == TreeKind::Bit ? "Дерево битов" : "Дерево регистров", tree.Nodes().size(), leaves);
    for (int r : tree.Roots())
      if (tree.Node(r).Children.empty()) {
        std::fprintf(stderr, "empty controller node %s\n", tree.Node(r).Label.c_str());
        ++failures;
      }
    if (leaves == 0) ++failures;
  }
  std::printf("База данных: %s (ALG, MOD, TASK)\n", out.c_str());
  return failures == 0 ? 0 : 1;
}

}  // namespace

constexpr const char* kUsage =
    "Использование: r770-demo-db ПАПКА\n"
    "  Записывает в ПАПКУ пример базы данных контроллеров ЛОРИС-8 (папки ALG, MOD, TASK;\n"
    "  четыре контроллера) и проверяет ее, загрузив каждый контроллер.\n"
    "  --help     эта справка\n"
    "  --version  версия программы\n";

int main(int argc, char** argv) {
  const std::string first = argc > 1 ? argv[1] : "";
  if (argc == 2 && (first == "--help" || first == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 2 && first == "--version") {
    std::fputs(VersionText("r770-demo-db").c_str(), stdout);
    return 0;
  }
  // An option is never taken for the folder to write into.
  if (argc != 2 || (first.size() > 1 && first[0] == '-')) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  try {
    return Run(argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "r770-demo-db: %s\n", e.what());
    return 1;
  }
}
