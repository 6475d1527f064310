// Saves two documents (or two sets of exchange settings) over one file, alternately, until
// it is killed; writes one byte to stdout after each save that went through.
//   save_loop document PATH TASKFILE...
//   save_loop settings PATH
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "document/document_file.h"
#include "two_documents.h"

namespace {

using namespace r770;

struct SilentView : DocumentView {
  void ProgressStep() override {}
  void PumpEvents() override {}
  void Information(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
  void SetStatus(const std::string&) override {}
  void OpenControllerEditor() override {}
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string mode = argv[1], path = argv[2];
  const std::vector<std::string> taskFiles(argv + 3, argv + argc);
  Configuration docs[2];
  for (int v = 0; v < 2; ++v) test::FillDocument(docs[v], v, taskFiles);
  SilentView view;
  for (unsigned n = 0;; ++n) {
    const int v = static_cast<int>(n % 2);
    if (mode == "document") {
      docs[v].SetAllChanged();
      if (!SaveDocument(docs[v], path, view)) return 1;
    } else {
      std::string error = WriteExchangeSettings(path, test::SettingsTexts(v));
      if (!error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
      }
    }
    if (write(STDOUT_FILENO, "s", 1) != 1) return 1;
  }
}
