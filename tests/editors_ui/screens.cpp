// r770_editor_screens OUTPUT_FOLDER DATABASE_ROOT
// Opens the controller list editor and the Holding Registers editor on a controller database
// (the demo database of r770-demo-db) and draws them into tasks.png and holding.png.
#include <QApplication>
#include <QDir>
#include <QRegularExpression>
#include <QTreeWidget>
#include <cstdio>

#include "database/task_cl.h"
#include "document/configuration.h"
#include "document/program_settings.h"
#include "editors/register_map_form.h"
#include "fake_dialogs.h"
#include "ui/controller_list_window.h"
#include "ui/editor_table.h"
#include "ui/register_map_window.h"

using namespace r770;

namespace {

bool Save(QWidget* w, const QString& path) {
  QApplication::processEvents();
  const bool ok = w->grab().save(path);
  std::fprintf(stderr, "%s %s\n", ok ? "written" : "FAILED", qPrintable(path));
  return ok;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: r770_editor_screens OUTPUT_FOLDER DATABASE_ROOT\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  const std::string root = argv[2];
  ProgramSettings settings;
  settings.WorkAlg = root + "/ALG";
  settings.WorkMod = root + "/MOD";
  settings.WorkTask = root + "/TASK";
  Configuration cfg;
  cfg.ResetForNew();
  cfg.State.IsNew = true;
  cfg.Common.AdrCAN = 0x21;
  cfg.Common.AdrExt = 0x01;

  // Every controller task file of the database (system task files are named by a type code).
  const QRegularExpression systemFile("^[0-9A-Fa-f]{4}\\.tsk$");
  for (const QString& name :
       QDir(QString::fromStdString(settings.WorkTask)).entryList({"*.tsk"}, QDir::Files, QDir::Name)) {
    if (systemFile.match(name).hasMatch()) continue;
    auto task = std::make_unique<Task_CL>(settings.WorkTask + "/" + name.toStdString(), settings.WorkTask,
                                          settings.WorkMod, settings.WorkAlg);
    if (!task->Ok()) {
      std::fprintf(stderr, "%s: %s\n", qPrintable(name), task->Errors().front().c_str());
      continue;
    }
    ControllerEntry e;
    e.Nset = task->NetworkNumber();
    e.Found = true;
    e.Task = std::move(task);
    cfg.Controllers.push_back(std::move(e));
  }

  // Holding Registers: the first register parameters of each controller, placed by the
  // editor itself at addresses 0, 2, 4, ...
  test::FakeDialogs dialogs;
  test::FakeBusy busy;
  {
    RegisterMapForm form(MapKind::TIFloat, dialogs, cfg, settings);
    form.Open();
    int row = 0;
    for (int root : form.Tree().Roots()) {
      int placed = 0;
      for (int taskNode : form.Tree().Node(root).Children) {
        for (int leaf : form.Tree().Node(taskNode).Children) {
          if (placed == 3 || row >= 12) break;
          form.SetCurrentCell(row, RegisterMapForm::kColAddress);
          for (char c : std::to_string(2 * row)) form.Key(static_cast<char32_t>(c));
          form.SelectNode(leaf);
          form.Place();
          ++row;
          ++placed;
        }
      }
    }
    form.Apply();
  }

  bool ok = true;
  TFTask tasks(cfg, settings, dialogs, busy);
  tasks.Prepare();
  tasks.show();
  ok = Save(&tasks, out + "/tasks.png") && ok;
  tasks.close();

  TFTIFloat holding(cfg, settings, dialogs);
  holding.Prepare();
  holding.show();
  holding.Table()->setCurrentCell(4, RegisterMapForm::kColParam);
  holding.Form().CellClicked(4, RegisterMapForm::kColParam);
  holding.Prepare();
  holding.Table()->setCurrentCell(4, RegisterMapForm::kColParam);
  emit holding.Table()->cellClicked(4, RegisterMapForm::kColParam);
  ok = Save(&holding, out + "/holding.png") && ok;
  holding.close();

  // The editor at the two screen sizes it is made for, in the middle of a run of placements:
  // row 13 placed at the address typed, row 14 offering the next one in grey.
  for (const QSize screen : {QSize(1024, 600), QSize(1366, 768)}) {
    TFTIFloat run(cfg, settings, dialogs);
    run.Prepare();
    run.resize(QSize(1100, 620).boundedTo(screen));
    run.show();
    run.Table()->setCurrentCell(12, RegisterMapForm::kColAddress);
    for (char c : std::string("24")) run.Form().Key(static_cast<char32_t>(c));
    const ParamTree& tree = run.Form().Tree();
    for (std::size_t i = 0; i < tree.Nodes().size(); ++i) {
      if (tree.Nodes()[i].Level != 2) continue;
      emit run.Tree()->itemDoubleClicked(run.ItemOfNode(static_cast<int>(i)), 0);
      break;
    }
    const QString name = QString("/holding_%1x%2.png").arg(screen.width()).arg(screen.height());
    ok = Save(&run, out + name) && ok;
    run.close();
  }
  return ok ? 0 : 1;
}
