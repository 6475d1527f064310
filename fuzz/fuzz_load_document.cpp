// Fuzzes the document loader: any bytes as the document file, an empty database. The
// load must end in a result or a message, never a fault, and what it loaded must save.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/codec.h"
#include "document/configuration.h"
#include "document/document_file.h"
#include "document/program_settings.h"
#include "fuzz_support.h"
#include "temp_dir.h"

namespace {

struct QuietView : r770::DocumentView {
  void ProgressStep() override {}
  void PumpEvents() override {}
  void Information(const std::string&) override {}
  void SetStatus(const std::string&) override {}
  void OpenControllerEditor() override {}
};

}  // namespace

// Some runs save the document, flushed to disk: the temporary folder lies on a memory file
// system to keep that cheap (see fuzz_support.h).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static r770::test::TempDir dir;  // holds the empty database folders too
  static const std::string path = dir.File("fuzz.bmt");
  r770::test::WriteFileBytes(path, std::string(reinterpret_cast<const char*>(data), size));

  r770::ProgramSettings settings;
  settings.WorkTask = settings.WorkMod = settings.WorkAlg = dir.path();
  r770::Configuration cfg;
  QuietView view;
  bool loaded = r770::LoadDocument(cfg, settings, path, view);
  for (r770::MapKind k : r770::kAllMapKinds) {
    if (!loaded) break;
    if (cfg.Map(k).size() != static_cast<std::size_t>(r770::MapCount(k))) __builtin_trap();
    for (const auto& e : cfg.Map(k))
      if (r770::Utf8Length(e.ParamName) > r770::kMaxParamName) __builtin_trap();
  }
  if (cfg.Common.V_CAN > 4 || cfg.Common.V_Ethernet > 1) __builtin_trap();
  // A loaded document saves, and the saved file loads to the same content. The save is
  // the costly part, so one input in sixteen (chosen by its content) takes the round trip.
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (loaded && std::hash<std::string_view>{}(bytes) % 16 == 0) {
    cfg.SetAllChanged();
    const std::string out = dir.File("out.bmt");
    if (!r770::SaveDocument(cfg, out, view)) __builtin_trap();
    r770::Configuration back;
    if (!r770::LoadDocument(back, settings, out, view)) __builtin_trap();
    if (!(back.Common == cfg.Common)) __builtin_trap();
    // Every controller comes back, also those whose task file is missing.
    if (back.Controllers.size() != cfg.Controllers.size()) __builtin_trap();
    for (std::size_t i = 0; i < cfg.Controllers.size(); ++i)
      if (back.Controllers[i].Nset != cfg.Controllers[i].Nset) __builtin_trap();
    for (r770::MapKind k : r770::kAllMapKinds)
      for (std::size_t n = 0; n < cfg.Map(k).size(); ++n) {
        const r770::MapEntry& e = cfg.Map(k)[n];
        // A coil whose address is 65535 is stored as an empty entry (an address text such
        // as "065535" can load one); every other entry must come back as it was.
        if (k == r770::MapKind::TU && e.ModbusAddr == 65535) {
          if (!back.Map(k)[n].IsEmpty()) __builtin_trap();
        } else if (!(back.Map(k)[n] == e)) {
          __builtin_trap();
        }
      }
    ::unlink(out.c_str());
  }
  return 0;
}
