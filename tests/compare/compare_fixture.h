// Documents for the comparison tests: a filled document whose controllers have task file
// paths (no task objects), and a module that holds what was last written into it and gives it
// back the way the read procedure does.
#pragma once
#include <array>
#include <functional>
#include <string>

#include "compare/compare_form.h"
#include "document/configuration.h"

namespace r770::test {

// Two controllers (05 pump.tsk, 07 valve.tsk) and a few entries in every map.
inline void FillCompared(Configuration& cfg) {
  cfg.ResetForNew();
  cfg.State.IsNew = false;
  cfg.State.FromFile = true;
  CommonSettings& c = cfg.Common;
  c.AdrCAN = 0x01;
  c.AdrExt = 0x02;
  c.V_CAN = 2;
  c.trepeat = 5;
  c.twaitCAN = 100;
  c.AdrPort = 502;
  c.AdrIP = {192, 168, 0, 10};
  c.AdrGate = {192, 168, 0, 1};
  c.Mask = {255, 255, 255, 0};
  c.AdrMAC = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  for (auto [nset, path] : {std::pair{5, "/db/TASK/pump.tsk"}, std::pair{7, "/db/TASK/valve.tsk"}}) {
    ControllerEntry ce;
    ce.Nset = nset;
    ce.StoredPath = path;
    ce.Found = true;
    cfg.Controllers.push_back(std::move(ce));
  }
  for (MapKind k : kAllMapKinds)
    for (int n = 0; n < 4; ++n) {
      MapEntry& e = cfg.Map(k)[static_cast<std::size_t>(n)];
      e.ModuleNo = n % 2 ? 7 : 5;
      e.ParamNo = static_cast<std::uint16_t>(0x0101 + n);
      e.TaskNo = 1;
      e.ParamName = "Параметр " + std::to_string(n) + " карты " + MapSection(k);
      e.ModbusAddr = static_cast<std::uint16_t>(100 + 2 * n);
    }
  cfg.ClearAllChanged();
}

// What a module keeps of a written configuration, read back as the read procedure reads it.
class FakeModule : public CompareModule {
 public:
  explicit FakeModule(Configuration& document) : document_(document) {}

  CommonSettings common;
  std::array<RegisterMap, 4> maps;
  int writes = 0, reads = 0, aborts = 0;
  bool failReads = false, failWrites = false;
  std::function<void()> duringExchange;  // runs inside every write and read

  void Hold(const Configuration& cfg) {
    common = cfg.Common;
    for (MapKind k : kAllMapKinds) maps[static_cast<std::size_t>(k)] = cfg.Map(k);
  }

  bool WriteDocument() override {
    ++writes;
    if (duringExchange) duringExchange();
    if (failWrites) return false;
    const std::array<std::uint8_t, 6> mac = common.AdrMAC;  // the module's own
    Hold(document_);
    common.AdrMAC = mac;
    return true;
  }
  bool ReadModule(Configuration& into) override {
    ++reads;
    if (duringExchange) duringExchange();
    if (failReads) return false;
    into.ResetForNew();
    into.State = DocumentState{};
    into.Common = common;
    into.Common.Invers = into.Common.SWAP = false;
    for (MapKind k : kAllMapKinds) {
      RegisterMap& m = into.Map(k);
      const RegisterMap& held = maps[static_cast<std::size_t>(k)];
      for (std::size_t i = 0; i < m.size() && i < held.size(); ++i) {
        m[i].ModuleNo = held[i].ModuleNo;
        m[i].ParamNo = held[i].ParamNo;
        m[i].ModbusAddr = held[i].ModbusAddr;
        if (held[i].IsEmpty() || into.FindController(held[i].ModuleNo)) continue;
        ControllerEntry ce;
        ce.Nset = held[i].ModuleNo;
        into.Controllers.push_back(std::move(ce));
      }
    }
    into.State.FromModule = true;
    return true;
  }
  void Abort() override { ++aborts; }

 private:
  Configuration& document_;
};

}  // namespace r770::test
