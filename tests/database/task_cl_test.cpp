#include "database/task_cl.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "database/db_files.h"
#include "sample_database.h"

namespace r770::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::uint16_t> ParamNos(const Task_CL& t, const std::vector<ParamItem>& items) {
  std::vector<std::uint16_t> out;
  for (const ParamItem& i : items) out.push_back(t.ItemTexts(i).ParamNo);
  return out;
}

std::vector<int> TaskNos(const Task_CL& t) {
  std::vector<int> out;
  for (const TaskEntry& e : t.Tasks()) out.push_back(e.TaskNo);
  return out;
}

int TaskPos(const Task_CL& t, int taskNo) {
  for (std::size_t i = 0; i < t.Tasks().size(); ++i)
    if (t.Tasks()[i].TaskNo == taskNo) return static_cast<int>(i);
  return -1;
}

std::vector<std::uint16_t> Offered(const Task_CL& t, int taskNo) {
  const int pos = TaskPos(t, taskNo);
  return ParamNos(t, t.ListItems(t.Tasks()[pos].AlgorithmNo, pos));
}

TEST(TaskClTest, LoadsTasksParametersAndSystemTasks) {
  SampleDatabase s;
  auto t = s.Load();
  ASSERT_THAT(t->Errors(), IsEmpty());
  EXPECT_EQ(t->TaskFilePath(), s.taskFile);
  EXPECT_EQ(t->TaskFileName(), "Насосная");
  EXPECT_EQ(t->NetworkNumber(), 0x05);
  EXPECT_EQ(t->Header().ModuleType, 0x0001);
  // The system file's header words replace the task file's.
  EXPECT_EQ(t->Header().WordsAt68[0], 11u);
  EXPECT_EQ(t->Header().WordsAt96[6], 27u);

  // Task 2 is not in use and task 3 stays although its algorithm is missing; system tasks
  // follow with -1, -2 and keep their stored numbers.
  EXPECT_THAT(TaskNos(*t), ElementsAre(1, 3, 4, -1, -2));
  const auto& tasks = t->Tasks();
  EXPECT_EQ(tasks[3].StoredTaskNo, 7);
  EXPECT_EQ(tasks[4].StoredTaskNo, 8);
  EXPECT_FALSE(tasks[4].InUse());
  EXPECT_EQ(tasks[0].FullName, "Насосная станция");
  EXPECT_EQ(tasks[0].ShortName, "ВХД");  // from the algorithm
  EXPECT_EQ(tasks[2].ShortName, "Вент");
  EXPECT_EQ(tasks[0].Access, 0x3333);  // zero groups filled
  EXPECT_EQ(tasks[3].Access, 0x0000);  // system tasks are left alone

  // Parameters: the task file's (less the unmatched one), then the system tasks'.
  std::vector<std::uint16_t> numbers;
  for (const TaskParam& p : t->Params()) numbers.push_back(p.ParamNo);
  EXPECT_THAT(numbers, ElementsAre(0x0101, 0x0102, 0x0103, 0x0104, 0x0105, 0x0106, 0 /* text index */, 0x0108,
                                   0x0109, 0x010A, 0x010B, 0x0401, 0x0402, 0x0F01, 0x0F02, 0x0F03));
  const auto& params = t->Params();
  EXPECT_EQ(params[1].Access, 0x3333);   // access 0 in a task in use
  EXPECT_EQ(params[14].Access, 0x0000);  // not in a system task
  EXPECT_EQ(params[13].OwnerTaskNo, -1);
  EXPECT_EQ(params[0].FullName, "Авария насоса 1");
  EXPECT_EQ(t->Descriptors()[params[11].DescriptorPos].FullName, "Температура");

  // Algorithms in reference order, the missing one left out without an error.
  ASSERT_EQ(t->Algorithms().size(), 2u);
  EXPECT_EQ(t->Algorithms()[0].AlgorithmNo, 10);
  EXPECT_EQ(t->Algorithms()[0].RefNumber, 1);
  EXPECT_EQ(t->Algorithms()[0].Kind, 2);
  EXPECT_EQ(t->Algorithms()[1].RefNumber, 3);
  EXPECT_EQ(t->Descriptors()[8].ValueType, 0xC4);  // stored 2
  EXPECT_EQ(t->Texts(), std::vector<std::string>{"Котельна"});
}

TEST(TaskClTest, QueriesByParameterNumber) {
  SampleDatabase s;
  auto t = s.Load();
  ASSERT_THAT(t->Errors(), IsEmpty());
  EXPECT_EQ(t->FindParam(0x0101), 0);
  EXPECT_EQ(t->FindParam(0x0106), -1);  // service parameter
  EXPECT_EQ(t->FindParam(0), -1);       // the text value's table index is no parameter
  EXPECT_EQ(t->FindParam(0x0201), -1);  // task not in use
  EXPECT_EQ(t->FindParam(0x0301), -1);  // descriptor missing
  EXPECT_EQ(t->TaskIndexOfParam(0x0F03), 4);
  EXPECT_EQ(t->TaskNoAt(4), -2);
  EXPECT_EQ(t->TaskIndexOfParam(0x0402), 2);
  EXPECT_EQ(t->TaskIndexOfParam(0x0301), -1);
  EXPECT_EQ(t->ParamText(0x0101), "Авар1");
  EXPECT_EQ(t->ParamText(0x0104), "Уставка давления");  // no short name
  EXPECT_EQ(t->ParamText(0x0106), "");
  EXPECT_EQ(t->ItemParam(t->FindParam(0x0F01)), 0x0F01);
  EXPECT_EQ(t->ItemParam(999), 0xFFFF);
  EXPECT_EQ(t->TaskNoAt(99), 0);
}

TEST(TaskClTest, ListItemsOffersOnlyAccessLevelOneOfBoundParameters) {
  SampleDatabase s;
  auto t = s.Load();
  ASSERT_THAT(t->Errors(), IsEmpty());
  // 0x0102 has 0x3333 (from 0), 0x010A level 2 but 0x010B binds the same descriptor later,
  // service and text descriptors never appear.
  EXPECT_THAT(Offered(*t, 1), ElementsAre(0x0101, 0x0103, 0x0104, 0x0105, 0x0108, 0x0109, 0x010B));
  EXPECT_THAT(Offered(*t, -1), ElementsAre(0x0F01));
  EXPECT_THAT(Offered(*t, -2), ElementsAre(0x0F03));  // 0x0F02 keeps access 0 in a system task

  const int pos = TaskPos(*t, 1);
  auto items = t->ListItems(10, pos);
  ASSERT_EQ(items.size(), 7u);
  EXPECT_EQ(items[2].ArraySize, 0);  // array flag with size 0: like a scalar
  EXPECT_EQ(items[3].ArraySize, 8);
  EXPECT_EQ(items[4].ArraySize, 0);  // size without the array flag is ignored
  EXPECT_EQ(items[1].Kind, 2);
  ItemText array = t->ItemTexts(items[3]);
  EXPECT_EQ(array.Marker, "*");
  EXPECT_EQ(array.FullName, "Таблица калибровки");
  EXPECT_EQ(array.ShortName, "Калибр");
  ItemText scalar = t->ItemTexts(items[2]);
  EXPECT_EQ(scalar.Marker, "*");  // the array flag marks it even with size 0
  EXPECT_EQ(scalar.ShortName, "Уставка давления");
  EXPECT_EQ(t->ItemTexts(items[0]).Marker, "");
  // Another algorithm number or a position out of range gives nothing.
  EXPECT_THAT(t->ListItems(20, pos), IsEmpty());
  EXPECT_THAT(t->ListItems(10, 99), IsEmpty());
}

TEST(TaskClTest, AccessCheckLevels) {
  struct Case {
    std::uint16_t word;
    int group, code;
    bool level0, allowed;
  } cases[] = {
      {0x1000, 3, 1, false, true}, {0x2000, 3, 1, false, false}, {0x2000, 3, 2, false, true},
      {0x3000, 3, 4, false, true}, {0x3000, 3, 2, false, false}, {0x0000, 3, 8, false, false},
      {0x0000, 3, 8, true, true},  {0x0000, 3, 4, true, false},  {0x0001, 0, 1, false, true},
      {0x0020, 1, 2, false, true}, {0x0300, 2, 8, false, true},  {0x0300, 2, 1, false, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(AccessAllowed(c.word, c.group, c.code, c.level0), c.allowed)
        << std::hex << c.word << " g" << c.group;
  EXPECT_TRUE(AccessOffered(0x1333));
  EXPECT_FALSE(AccessOffered(0x3333));
}

// An algorithm of n plain bits (and a float, which does not count) with one offered parameter.
struct PackedDb {
  TempDir dir;
  DatabaseBuilder db{dir.path()};
  std::unique_ptr<Task_CL> task;
  explicit PackedDb(int plainBits) {
    DbAlgorithm a{0x0100, 50, "Пакет", "ПАК", {}, "", "", {}};
    for (int i = 1; i <= plainBits; ++i)
      a.Descriptors.push_back(BitDescriptor(static_cast<std::int16_t>(i), "Бит"));
    a.Descriptors.push_back(BitDescriptor(100, "Массив").Array(2));    // array: not counted
    a.Descriptors.push_back(BitDescriptor(101, "Подтип").SubType(1));  // offset 69: not counted
    db.Add(a);
    db.Add(DbModule::Of(0x0002, {0x0100}));
    DbTaskFile f{0x07, 0x0002, {DbTask{"Пакет", "", 1, 50, 0x1111, true, {P(0x0001, 1, "Бит 1", "Б1")}, {}}},
                 {},   {},     {}};
    task = std::make_unique<Task_CL>(db.AddTaskFile("p.tsk", f), "", db.ModDir(), db.AlgDir());
  }
};

TEST(TaskClTest, ExactlyThirtyTwoPlainBitsMakeAPackedAlgorithm) {
  for (int n : {31, 32, 33}) {
    PackedDb p(n);
    ASSERT_THAT(p.task->Errors(), IsEmpty()) << n;
    EXPECT_EQ(p.task->IsPackedAlgorithm(50), n == 32) << n;
    EXPECT_FALSE(p.task->IsPackedAlgorithm(51));
  }
}

TEST(TaskClTest, AlgorithmFilesAreFoundBreadthFirstInAnyLetterCase) {
  TempDir dir;
  DatabaseBuilder db(dir.path());
  auto alg = [](std::uint16_t fileNo, std::string folder, std::string name, std::string fullName) {
    DbAlgorithm a{fileNo,          30, std::move(fullName), "A", {FloatDescriptor(1, "Р")}, std::move(folder),
                  std::move(name), {}};
    return a;
  };
  db.Add(alg(0x0A1B, "a/b/c/d/e/f", "0a1b.aLg", "глубоко"));
  // The same name twice: the shallower one is found, whatever the depth of the other's branch.
  db.Add(alg(0x00C0, "z", "00c0.alg", "мелко"));
  db.Add(alg(0x00C0, "a/b", "00C0.ALG", "глубже"));
  // A folder beginning with "." is not searched.
  db.Add(alg(0x00D0, ".hidden", "00D0.ALG", "скрыто"));
  // A symbolic link back to the root makes a loop the search must leave.
  std::filesystem::create_directory_symlink(db.AlgDir(), db.AlgDir() + "/a/b/loop");
  std::filesystem::create_directory_symlink(db.AlgDir() + "/a", db.AlgDir() + "/z/again");
  db.Add(DbModule::Of(0x0003, {0x0A1B, 0x00C0, 0x00D0}));
  DbTaskFile f{0x1A, 0x0003, {DbTask{"Т", "", 1, 30, 0x1111, true, {P(1, 1, "Р1", "")}, {}}}, {}, {}, {}};
  Task_CL t(db.AddTaskFile("c.tsk", f), "", db.ModDir(), db.AlgDir());
  ASSERT_THAT(t.Errors(), IsEmpty());
  ASSERT_EQ(t.Algorithms().size(), 2u);
  EXPECT_EQ(t.Algorithms()[0].FullName, "глубоко");
  EXPECT_EQ(t.Algorithms()[1].FullName, "мелко");

  db::FolderIndex index(db.AlgDir());
  EXPECT_EQ(index.Find("00c0.ALG"), db.AlgDir() + "/z/00c0.alg");
  EXPECT_EQ(index.Find("00D0.ALG"), "");
  EXPECT_EQ(index.FolderCount(), 8u);  // ALG, a, z, a/b, a/b/c ... a/b/c/d/e/f; no folder twice
}

TEST(TaskClTest, DatabaseFileNamesIgnoreLetterCase) {
  TempDir dir;
  DatabaseBuilder db(dir.path());
  db.Add(SampleAlgorithm20());
  DbModule m = DbModule::Of(0x00AB, {0x0020});
  m.FileName = "00ab.MOD";
  db.Add(m);
  DbTaskFile sys{0,  0x00AB, {DbTask{"Системная", "", 5, 20, 0, true, {P(0x0F01, 1, "Т", "")}, {}}},
                 {}, {},     {}};
  WriteDatabaseFile(db.TaskDir() + "/00ab.TSK", DatabaseBuilder::TaskFileBytes(sys));
  WriteDatabaseFile(db.TaskDir() + "/00aB.ini",
                    DatabaseBuilder::AccessBytes({{{"A", "1F"}}, {{"B", "0010"}, {"C", "нет"}}}));
  DbTaskFile f{0x20, 0x00AB, {DbTask{"Вент", "", 1, 20, 0x1111, true, {P(0x0401, 1, "Т", "")}, {}}},
               {},   {},     {}};
  Task_CL t(db.AddTaskFile("v.tsk", f), db.TaskDir(), db.ModDir(), db.AlgDir());
  ASSERT_THAT(t.Errors(), IsEmpty());
  EXPECT_THAT(TaskNos(t), ElementsAre(1, -1));
  ASSERT_EQ(t.AccessEntries().size(), 2u);  // a value that is not hexadecimal is skipped
  EXPECT_EQ(t.AccessEntries()[0].Number, 0x1Fu);
  EXPECT_EQ(t.AccessEntries()[0].Tag, kAccessTagWork);
  EXPECT_EQ(t.AccessEntries()[1].Number, 0x10u);
  EXPECT_EQ(t.AccessEntries()[1].Tag, kAccessTagUser);
}

TEST(TaskClTest, TextValuesTakeTheirContinuationRecords) {
  // Lengths below 4, between 4 and 7, 8 and more (not a multiple of four too).
  struct Case {
    std::uint16_t length;
    std::string text, expected;
  } cases[] = {
      {3, "Абв", "Абв"},
      {4, "Вода", "Вода"},
      {7, "Насосная", "Насо"},
      {8, "Котельна", "Котельна"},
      {13, "Водоканал-12", "Водоканал-12"},
      {20, "Пар", "Пар"},  // shorter text: NUL padded
  };
  for (const Case& c : cases) {
    TempDir dir;
    DatabaseBuilder db(dir.path());
    DbAlgorithm a{0x0001, 1,  "Алг", "А", {BitDescriptor(1, "Бит"), BitDescriptor(2, "Имя").Text(c.length)},
                  "",     "", {}};
    db.Add(a);
    db.Add(DbModule::Of(0x0001, {0x0001}));
    DbTaskFile f{0x05, 0x0001, {}, {}, {}, {}};
    DbTask task{
        "Т", "", 1, 1, 0x1111, true, {TextParam("Имя", 2, c.text, c.length), P(0x0011, 1, "После", "")}, {}};
    f.Tasks = {task, DbTask{"Т2", "", 2, 1, 0x1111, true, {P(0x0022, 1, "Второй", "")}, {}}};
    Task_CL t(db.AddTaskFile("t.tsk", f), "", db.ModDir(), db.AlgDir());
    ASSERT_THAT(t.Errors(), IsEmpty()) << c.length;
    EXPECT_EQ(t.Texts(), std::vector<std::string>{c.expected}) << c.length;
    // The records after the text are read where they are.
    EXPECT_EQ(t.FindParam(0x0011), 1) << c.length;
    EXPECT_EQ(t.TaskIndexOfParam(0x0022), 1) << c.length;
  }
}

TEST(TaskClTest, ReportsMissingAndFaultyFiles) {
  SampleDatabase s;
  {
    auto t = s.Load(s.dir.File("нет.tsk"));
    EXPECT_THAT(t->Errors(), ElementsAre("Отсутствут файл описания очереди задач " + s.dir.File("нет.tsk")));
    EXPECT_EQ(t->Paths().front(), s.dir.File("нет.tsk"));
  }
  {
    DbTaskFile f = SampleTaskFile();
    f.ModuleType = 0x00FE;
    auto t = s.Load(s.db.AddTaskFile("m.tsk", f));
    EXPECT_THAT(t->Errors(), ElementsAre("Отсутствут файл описания модуля " + s.db.ModDir() + "/00FE.mod",
                                         "Обнаружены ошибки в файлах описания очереди задач"));
  }
  {
    // A task file with no tasks at all.
    DbTaskFile f = SampleTaskFile();
    f.Tasks.clear();
    auto t = std::make_unique<Task_CL>(s.db.AddTaskFile("e.tsk", f), "", s.db.ModDir(), s.db.AlgDir());
    EXPECT_THAT(t->Errors(), ElementsAre("Обнаружены ошибки в файлах описания очереди задач"));
  }
  // No task folder: no system tasks and no fault.
  auto t = std::make_unique<Task_CL>(s.taskFile, "", s.db.ModDir(), s.db.AlgDir());
  EXPECT_THAT(t->Errors(), IsEmpty());
  EXPECT_THAT(TaskNos(*t), ElementsAre(1, 3, 4));
  // An empty algorithm folder: nothing to describe the tasks.
  TempDir empty;
  t = std::make_unique<Task_CL>(s.taskFile, s.db.TaskDir(), s.db.ModDir(), empty.path());
  EXPECT_THAT(t->Errors(), ElementsAre("Обнаружены ошибки в файлах описания очереди задач"));
}

TEST(TaskClTest, MissingOrEmptySystemTaskFileMakesTheLoadFaulty) {
  for (const std::string& content : {std::string("none"), std::string(), std::string(40, '\0'),
                                     DatabaseBuilder::TaskFileBytes(DbTaskFile{0, 1, {}, {}, {}, {}})}) {
    SampleDatabase s;
    const std::string sys = s.db.TaskDir() + "/0001.tsk";
    if (content == "none")
      std::filesystem::remove(sys);
    else
      WriteDatabaseFile(sys, content);
    auto t = s.Load();
    EXPECT_THAT(t->Errors(), ElementsAre("Обнаружены ошибки в файлах описания очереди задач"))
        << content.size();
    EXPECT_THAT(TaskNos(*t), ElementsAre(1, 3, 4));  // the task file itself was complete
  }
}

TEST(TaskClTest, SystemTasksAreSkippedWhenTheLastAlgorithmFileIsMissing) {
  SampleDatabase s;
  s.db.Add(DbModule::Of(0x0001, {0x0010, 0x0020, 0x0099}));
  auto t = s.Load();
  EXPECT_THAT(t->Errors(), IsEmpty());
  EXPECT_THAT(TaskNos(*t), ElementsAre(1, 3, 4));
}

TEST(TaskClTest, ValueFileBesideTheTaskFileInAFolderWithDots) {
  SampleDatabase s;
  DbModule m = DbModule::Of(0x0001, {0x0010, 0x0099, 0x0020});
  m.LowestOwnParam = 0x0102;
  s.db.Add(m);
  const std::string taskFile = s.db.AddTaskFile(s.dir.path() + "/db.v2/Насосная.tsk", SampleTaskFile());
  WriteDatabaseFile(s.dir.path() + "/db.v2/Насосная.BIN",
                    DatabaseBuilder::ValueBytes({
                        {1, 10, 0x0101, 1, {1, 1, 1, 1}, 0},  // below the module's own parameters
                        {1, 10, 0x0103, 3, {2, 2, 2, 2}, 0},  // location's low byte not 0
                        {1, 10, 0x0105, 5, {3, 3, 3, 3}, 0},  // kept
                        {7, 20, 0x0F01, 1, {4, 4, 4, 4}, 1},  // a system task's: kept
                        {9, 10, 0x0105, 5, {5, 5, 5, 5}, 0},  // no such task
                        {1, 10, 0x0105, 6, {6, 6, 6, 6}, 0},  // a service parameter's descriptor
                        {1, 10, 0xF001, 5, {7, 7, 7, 7}, 0},  // not a parameter number
                    }));
  auto t = s.Load(taskFile);
  ASSERT_THAT(t->Errors(), IsEmpty());
  ASSERT_EQ(t->Values().size(), 2u);
  EXPECT_EQ(t->Values()[0].ParamNo, 0x0105);
  EXPECT_EQ(t->Values()[1].TaskNo, -1);
  EXPECT_EQ(t->Values()[1].Flag, 1);
  auto items = t->ListItems(10, 0);
  ASSERT_EQ(items.size(), 7u);
  EXPECT_TRUE(items[3].HasValue);
  EXPECT_EQ(items[3].Value[0], 3);
  EXPECT_FALSE(items[0].HasValue);
}

TEST(TaskClTest, AccessFileBesideTheTaskFileWithoutTaskFolder) {
  SampleDatabase s;
  const std::string taskFile = s.db.AddTaskFile(s.dir.path() + "/obj.1/k.tsk", SampleTaskFile());
  WriteDatabaseFile(s.dir.path() + "/obj.1/0001.INI", DatabaseBuilder::AccessBytes({{{"1", "A"}}, {}}));
  Task_CL t(taskFile, "", s.db.ModDir(), s.db.AlgDir());
  ASSERT_THAT(t.Errors(), IsEmpty());
  ASSERT_EQ(t.AccessEntries().size(), 1u);
  EXPECT_EQ(t.AccessEntries()[0].Number, 0xAu);
}

TEST(TaskClTest, KeptFolderIndexIsWalkedAgainAfterAChange) {
  SampleDatabase s;
  const std::string root = s.db.AlgDir();
  // A folder tree changed just now is not kept: a file added right after a load is found.
  auto first = db::AlgorithmIndexBatch::IndexFor(root);
  EXPECT_NE(db::AlgorithmIndexBatch::IndexFor(root), first);

  // Take every folder as settled long ago.
  db::SetFolderIndexCacheMargin(-3'600'000'000'000);
  auto kept = db::AlgorithmIndexBatch::IndexFor(root);
  EXPECT_EQ(db::AlgorithmIndexBatch::IndexFor(root), kept);
  EXPECT_EQ(s.Load()->FindParam(0x0301), -1);
  // Algorithm 99 appears in an existing folder; its time stamp moves (set explicitly, so
  // that a coarse file system clock cannot hide the change from this test).
  DbAlgorithm a{0x0099, 99, "Найденный", "Н", {BitDescriptor(1, "Бит")}, "vent", "", {}};
  s.db.Add(a);
  const struct timespec times[2] = {{0, UTIME_OMIT}, {1000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (root + "/vent").c_str(), times, 0), 0);
  EXPECT_GE(s.Load()->FindParam(0x0301), 0);
  EXPECT_NE(db::AlgorithmIndexBatch::IndexFor(root), kept);
  // Inside a batch the index is shared without checking it again.
  {
    db::AlgorithmIndexBatch batch;
    auto shared = db::AlgorithmIndexBatch::IndexFor(root);
    const struct timespec later[2] = {{0, UTIME_OMIT}, {2000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (root + "/vent").c_str(), later, 0), 0);
    EXPECT_EQ(db::AlgorithmIndexBatch::IndexFor(root), shared);
  }
  db::SetFolderIndexCacheMargin(3'000'000'000);
  db::ClearFolderIndexCache();
}

// ---- damaged and hostile files ----

TEST(TaskClTest, TruncatedTaskFileAtEveryOffsetLoadsWhatIsReadable) {
  SampleDatabase s;
  const std::string whole = DatabaseBuilder::TaskFileBytes(SampleTaskFile());
  const std::string path = s.dir.File("cut.tsk");
  for (std::size_t n = 0; n < whole.size(); n += 7) {
    WriteDatabaseFile(path, whole.substr(0, n));
    auto t = s.Load(path);
    if (n < 128) {
      EXPECT_FALSE(t->Errors().empty()) << n;
    }
    EXPECT_LE(t->Tasks().size(), 5u);
    for (const TaskParam& p : t->Params()) EXPECT_GE(p.DescriptorPos, 0);
  }
}

TEST(TaskClTest, TruncatedDescriptionFilesAtEveryOffset) {
  const std::string alg = DatabaseBuilder::AlgorithmBytes(SampleAlgorithm10());
  const std::string mod = DatabaseBuilder::ModuleBytes(DbModule::Of(0x0001, {0x0010, 0x0099, 0x0020}));
  const std::string sys = DatabaseBuilder::TaskFileBytes(SampleSystemTasks());
  SampleDatabase s;
  const std::string algPath = s.db.AlgDir() + "/Насосы/deep/DiSc/0010.alg";
  for (std::size_t n = 0; n < alg.size(); n += 5) {
    WriteDatabaseFile(algPath, alg.substr(0, n));
    auto t = s.Load();
    EXPECT_LE(t->Descriptors().size(), 12u) << n;
  }
  WriteDatabaseFile(algPath, alg);
  for (std::size_t n = 0; n < mod.size(); ++n) {
    WriteDatabaseFile(s.db.ModDir() + "/0001.mod", mod.substr(0, n));
    auto t = s.Load();
    EXPECT_EQ(t->Algorithms().size(), n < 104 + 6 ? 0u : 1u) << n;  // the references read whole
  }
  WriteDatabaseFile(s.db.ModDir() + "/0001.mod", mod);
  for (std::size_t n = 0; n < sys.size(); n += 3) {
    WriteDatabaseFile(s.db.TaskDir() + "/0001.tsk", sys.substr(0, n));
    auto t = s.Load();
    EXPECT_LE(t->Tasks().size(), 5u) << n;
  }
}

TEST(TaskClTest, CountsLargerThanTheFilesHold) {
  SampleDatabase s;
  // A header announcing 65535 tasks in a file of about 300 bytes, an entry announcing 65535
  // parameters, an algorithm announcing 65535 descriptors, a module 65535 references, a
  // text of 65535 bytes.
  DbTaskFile f{0x05,  0x0001, {DbTask{"Т", "", 1, 10, 0x1111, true, {P(0x0101, 1, "А", "")}, 65535}},
               65535, {},     {}};
  std::string bytes = DatabaseBuilder::TaskFileBytes(f);
  EXPECT_LT(bytes.size(), 300u);
  DbAlgorithm a = SampleAlgorithm10();
  a.CountOverride = 65535;
  a.Descriptors[6].Size = 65535;
  s.db.Add(a);
  DbModule m = DbModule::Of(0x0001, {0x0010, 0x0020});
  m.CountOverride = 65535;
  s.db.Add(m);
  auto t = std::make_unique<Task_CL>(s.db.AddTaskFile("big.tsk", f), "", s.db.ModDir(), s.db.AlgDir());
  EXPECT_THAT(TaskNos(*t), ElementsAre(1));
  EXPECT_EQ(t->Params().size(), 1u);
  EXPECT_EQ(t->Descriptors().size(), 12u);

  // A text whose length announces 16382 continuation records, in a short file.
  DbTaskFile g{0x05, 0x0001, {DbTask{"Т", "", 1, 10, 0x1111, true, {TextParam("Имя", 7, "Текст", 12)}, {}}},
               {},   {},     {}};
  t = s.Load(s.db.AddTaskFile("text.tsk", g));
  ASSERT_EQ(t->Texts().size(), 1u);
  EXPECT_EQ(t->Texts()[0], "Текст");
}

TEST(TaskClTest, LengthBytesLargerThanTheirFields) {
  SampleDatabase s;
  std::string bytes = DatabaseBuilder::TaskFileBytes(SampleTaskFile());
  const std::size_t entry = 128, param = 128 + 80;
  bytes[entry + 51] = static_cast<char>(200);                       // short task name: a field of 9 bytes
  for (std::size_t i = 52; i < 60; ++i) bytes[entry + i] = '\xC6';  // "Ж"
  bytes[param + 2] = static_cast<char>(255);                        // full parameter name: 51 bytes
  for (std::size_t i = 3; i < 53; ++i) bytes[param + i] = '\xF4';   // "ф"
  WriteDatabaseFile(s.taskFile, bytes);
  std::string alg = DatabaseBuilder::AlgorithmBytes(SampleAlgorithm10());
  alg[49] = static_cast<char>(99);                        // short algorithm name: 9 bytes
  for (std::size_t i = 50; i < 58; ++i) alg[i] = '\xDE';  // "Ю"
  WriteDatabaseFile(s.db.AlgDir() + "/Насосы/deep/DiSc/0010.alg", alg);
  auto t = s.Load();
  ASSERT_THAT(t->Errors(), IsEmpty());
  EXPECT_EQ(t->Tasks()[0].ShortName, "ЖЖЖЖЖЖЖЖ");
  EXPECT_EQ(t->Tasks()[0].TaskNo, 1);
  std::string fifty;
  for (int i = 0; i < 50; ++i) fifty += "ф";
  EXPECT_EQ(t->Params()[0].FullName, fifty);
  EXPECT_EQ(t->Params()[0].ShortName, "Авар1");
  EXPECT_EQ(t->Algorithms()[0].ShortName, "ЮЮЮЮЮЮЮЮ");
  EXPECT_EQ(t->Algorithms()[0].AlgorithmNo, 10);
}

TEST(TaskClTest, FilesThatCannotBeReadAreTakenAsAbsent) {
  SampleDatabase s;
  // A folder and a FIFO at the task path exist but are no task files: never opened as
  // data, never waited on, and reported as a faulty load, not as a missing file. A dangling
  // symbolic link names nothing: that file is missing.
  std::filesystem::create_directory(s.dir.File("dir.tsk"));
  ASSERT_EQ(::mkfifo(s.dir.File("fifo.tsk").c_str(), 0600), 0);
  std::filesystem::create_symlink(s.dir.File("gone.tsk"), s.dir.File("dangling.tsk"));
  const struct {
    const char* name;
    std::string error;
  } taskPaths[] = {
      {"dir.tsk", kFaultyTaskFilesMessage},
      {"fifo.tsk", kFaultyTaskFilesMessage},
      {"dangling.tsk", kNoTaskFileMessage + s.dir.File("dangling.tsk")},
  };
  for (const auto& c : taskPaths)
    EXPECT_THAT(s.Load(s.dir.File(c.name))->Errors(), ElementsAre(c.error)) << c.name;

  // Algorithm 20 (not the last reference now) and the system task file.
  s.db.Add(DbModule::Of(0x0001, {0x0020, 0x0010}));
  const std::string alg = s.db.AlgDir() + "/vent/0020.ALG";
  std::filesystem::remove(alg);
  ASSERT_EQ(::mkfifo(alg.c_str(), 0600), 0);
  std::filesystem::remove(s.db.TaskDir() + "/0001.tsk");
  ASSERT_EQ(::mkfifo((s.db.TaskDir() + "/0001.tsk").c_str(), 0600), 0);
  auto t = s.Load();
  EXPECT_THAT(t->Errors(), ElementsAre("Обнаружены ошибки в файлах описания очереди задач"));
  EXPECT_THAT(TaskNos(*t), ElementsAre(1, 3, 4));
  EXPECT_EQ(t->Descriptors().size(), 10u);
}

}  // namespace
}  // namespace r770::test
