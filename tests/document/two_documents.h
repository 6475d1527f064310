// Two full documents that differ in every part, and two sets of exchange settings, used
// by the test that kills a saving process and by the process it kills.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "database/task_cl.h"
#include "document/configuration.h"
#include "document/program_settings.h"

namespace r770::test {

// variant 0 or 1; the controllers get task objects for the paths given.
inline void FillDocument(Configuration& cfg, int variant, const std::vector<std::string>& taskFiles) {
  cfg.ResetForNew();
  CommonSettings& c = cfg.Common;
  c.AdrCAN = static_cast<std::uint8_t>(0x10 + variant);
  c.V_CAN = static_cast<std::uint8_t>(variant + 1);
  c.trepeat = static_cast<std::uint16_t>(7 + variant);
  c.AdrPort = static_cast<std::uint16_t>(0x1F90 + variant);
  c.AdrIP = {192, 168, 0, static_cast<std::uint8_t>(10 + variant)};
  c.Invers = variant == 1;
  for (std::size_t i = 0; i < taskFiles.size(); ++i) {
    if (variant == 1 && i == 0) continue;  // the second document has one controller less
    ControllerEntry e;
    e.Task = std::make_unique<Task_CL>(taskFiles[i], "", "", "");
    e.Nset = static_cast<std::int32_t>(i + 1 + variant * 16);
    e.Found = true;
    cfg.Controllers.push_back(std::move(e));
  }
  for (MapKind k : kAllMapKinds)
    for (int n = 0; n < MapCount(k); ++n) {
      MapEntry& e = cfg.Map(k)[static_cast<std::size_t>(n)];
      e.ModuleNo = static_cast<std::uint8_t>(1 + (n + variant) % 3);
      e.ParamNo = static_cast<std::uint16_t>(0x0F00 + n + variant * 0x100);
      e.TaskNo = static_cast<std::uint16_t>((n + variant) % 5);
      e.ParamName = (variant ? "Датчик №" : "Параметр №") + std::to_string(n);
      e.ModbusAddr = static_cast<std::uint16_t>(n * 2 + variant * 1000);
    }
  cfg.SetAllChanged();
}

inline ExchangeSettingsTexts SettingsTexts(int variant) {
  ExchangeSettingsTexts t;
  t.VS = variant ? "Ethernet" : "CAN-BUS";
  t.Comport = variant ? "COM5" : "COM1";
  t.Pc_numb = variant ? "1F" : "0";
  t.SpeedPC = variant ? "  50" : "300";
  t.SetNR770 = variant ? "7E" : "1";
  t.KPov = variant ? 20 : 3;
  t.IP = variant ? "10.0.0.77" : "192.168.0.1";
  t.port_TCP = variant ? 502 : 51960;
  t.TimeW = variant ? "9" : "2";
  return t;
}

}  // namespace r770::test
