// import-csv: one register map of a document from CSV in the columns export-csv writes,
// checked as the map editors check a paste: all or nothing.
#include <ostream>

#include "common/file_io.h"
#include "ctl.h"
#include "ctl_util.h"
#include "document/document_file.h"
#include "editors/map_lines.h"

namespace r770::ctl {

int ImportCsv(const std::vector<std::string>& args, Io& io) {
  if (HasHelp(args)) {
    io.out << "r770ctl import-csv FILE.bmt --map coils|di|hr|ir IN.csv [-o OUT]\n"
              "  Заменяет карту регистров документа записями из CSV в столбцах export-csv\n"
              "  (map,row,address,module,param,task,name; разделитель \",\" или \";\", UTF-8 или\n"
              "  cp1251). Строки других карт пропускаются. Каждая строка проверяется, как при\n"
              "  вставке в редакторе карты: параметр есть в базе для этой карты, адрес свободен\n"
              "  и не больше 65535, чётность адресов Holding/Input Registers. Если хоть одна\n"
              "  строка не прошла, документ не меняется, а все такие строки перечисляются.\n"
              "  -o OUT  записать документ в OUT (иначе в FILE.bmt).\n";
    return kExitOk;
  }
  std::string mapKey, outPath;
  std::vector<std::string> files;
  const std::string error = CommandArgs()
                                .OptionElseUnknown("--map", [&](const std::string& v) { mapKey = v; })
                                .OptionElseUnknown("-o", [&](const std::string& v) { outPath = v; })
                                .Positional(Collect(files))
                                .Parse(args);
  if (!error.empty()) return UsageError(io, error);
  const std::optional<MapKind> kind = MapKindOfCsvKey(mapKey);
  if (!kind) return UsageError(io, "--map: coils, di, hr или ir");
  if (files.size() != 2) return UsageError(io, "укажите файл документа и файл CSV");
  const std::string& docPath = files[0];
  const std::string& csvPath = files[1];

  Loaded doc;
  if (!LoadForCtl(docPath, io, doc)) return kExitProblems;
  std::string bytes;
  constexpr std::size_t kMaxCsv = 4u << 20;
  if (std::string error = ReadRegularFile(csvPath, &bytes, nullptr, kMaxCsv); !error.empty()) {
    io.err << "r770ctl: " << error << "\n";
    return kExitProblems;
  }
  const ParamTree tree = MapTree(doc.cfg, *kind, doc.settings.ShortTaskNames);
  MapImport import = ImportMapCsv(doc.cfg, *kind, tree, doc.cfg.Map(*kind), bytes);
  if (!import.Problems.empty()) {
    for (const MapLineProblem& p : import.Problems)
      io.err << "r770ctl: " << csvPath << ", строка " << p.Line << ": " << p.Reason << "\n";
    io.err << "r770ctl: импорт не выполнен, документ не изменён (замечаний: " << import.Problems.size()
           << ")\n";
    return kExitProblems;
  }
  int entries = 0;
  for (const MapEntry& e : import.Map) entries += e.IsEmpty() ? 0 : 1;
  doc.cfg.Map(*kind) = std::move(import.Map);
  doc.cfg.MapChanged(*kind) = true;
  const std::string target = outPath.empty() ? docPath : outPath;
  // Another file gets the whole document, not only the map.
  if (target != docPath) doc.cfg.SetAllChanged();
  CtlDocumentView view(&io.err);
  if (!SaveDocument(doc.cfg, target, view)) return kExitProblems;
  io.out << "Карта " << mapKey << ": записей " << entries << ", документ " << target << "\n";
  return kExitOk;
}

}  // namespace r770::ctl
