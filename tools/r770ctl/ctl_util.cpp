#include "ctl_util.h"

#include <sys/stat.h>

#include <cstdio>
#include <ostream>

#include "common/program_path.h"
#include "document/document_file.h"

namespace r770::ctl {

CtlDocumentView::CtlDocumentView(std::ostream* err, std::vector<std::string>* messages)
    : err_(err), messages_(messages) {}

void CtlDocumentView::Information(const std::string& text) {
  if (messages_) messages_->push_back(text);
  if (err_) *err_ << text << "\n";
}

bool HasHelp(const std::vector<std::string>& args) {
  for (const auto& a : args)
    if (a == "--help" || a == "-h") return true;
  return false;
}

int UsageError(Io& io, const std::string& message) {
  io.err << "r770ctl: " << message << " (подробнее: --help)\n";
  return kExitUsage;
}

std::string SettingsPath(const Io& io) {
  if (!io.settingsPath.empty()) return io.settingsPath;
  // The configurator's own settings file: beside the programs, or in the user's settings folder.
  return SettingsFolder() + "/r770cfg.ini";
}

bool ReadSettings(Io& io, ProgramSettings& s) {
  std::string err = ReadProgramSettings(SettingsPath(io), s);
  if (!err.empty()) {
    io.err << "r770ctl: " << err << "\n";
    return false;
  }
  return true;
}

bool LoadForCtl(const std::string& path, Io& io, Loaded& doc) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
    io.err << "r770ctl: Файл " << path << " не найден\n";
    return false;
  }
  if (!ReadSettings(io, doc.settings)) return false;
  if (!doc.dbRoot.empty()) {
    doc.settings.WorkAlg = doc.dbRoot + "/ALG";
    doc.settings.WorkMod = doc.dbRoot + "/MOD";
    doc.settings.WorkTask = doc.dbRoot + "/TASK";
  }
  CtlDocumentView view(doc.echoMessages ? &io.err : nullptr, &doc.messages);
  if (LoadDocument(doc.cfg, doc.settings, path, view)) return true;
  if (!doc.echoMessages)
    for (const std::string& m : doc.messages) io.err << m << "\n";
  return false;
}

const char* MapKey(MapKind k) {
  switch (k) {
    case MapKind::TU: return "coils";
    case MapKind::TC: return "di";
    case MapKind::TIFloat: return "hr";
    case MapKind::InputReg: return "ir";
  }
  return "";
}

std::string Json(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  return out + "\"";
}

}  // namespace r770::ctl
