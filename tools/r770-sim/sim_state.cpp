#include "sim_state.h"

#include <sys/stat.h>

#include <sstream>

#include "common/ini_file.h"
#include "common/number_forms.h"

namespace r770::sim {

std::string FormatState(const SimBus& bus) {
  std::string text =
      "; r770-sim: параметры модулей. Строка \"номер = элементы\" (шестнадцатеричные): числа\n"
      "; (порты, периоды, номера параметров, адреса) записаны значением, остальное - байтами.\n";
  for (const auto& module : bus.Modules()) {
    text += "\n[" + Hex2(module->Net()) + "]\n";
    for (const auto& p : module->Params()) {
      text += "; " + p.name + "\n" + Hex4(p.number) + " =";
      for (int i = 0; i < p.count; ++i) {
        const std::size_t at = static_cast<std::size_t>(i * p.elementSize);
        text += ' ';
        if (p.word) {
          text += Hex4(static_cast<std::uint32_t>(p.bytes[at] | (p.bytes[at + 1] << 8)));
        } else {
          for (int k = 0; k < p.elementSize; ++k) text += Hex2(p.bytes[at + static_cast<std::size_t>(k)]);
        }
      }
      text += "\n";
    }
  }
  return text;
}

std::string ParseState(const std::string& text, SimBus& bus) {
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  SimModule* module = nullptr;
  bool inSection = false;
  while (std::getline(in, line)) {
    ++lineNo;
    const std::string where = "строка " + std::to_string(lineNo) + ": ";
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') continue;
    if (t.front() == '[') {
      const auto net = t.back() == ']' ? ParseHex(t.substr(1, t.size() - 2)) : std::nullopt;
      if (!net || *net > 0xFF) return where + "ожидался сетевой номер модуля, например [01]";
      module = bus.Find(static_cast<std::uint8_t>(*net));
      inSection = true;
      continue;
    }
    const auto eq = t.find('=');
    if (eq == std::string::npos) return where + "ожидалось \"номер = значения\"";
    if (!inSection) return where + "параметр вне раздела модуля";
    if (!module) continue;
    const auto number = ParseHex(Trim(t.substr(0, eq)));
    if (!number || *number > 0xFFFF) return where + "неверный номер параметра";
    const auto param = module->Param(static_cast<std::uint16_t>(*number));
    if (!param) return where + "у модуля нет параметра " + Trim(t.substr(0, eq));
    if (param->number == kSimDeviceType) continue;
    std::istringstream values(t.substr(eq + 1));
    std::vector<std::uint8_t> bytes;
    std::string element;
    int count = 0;
    while (values >> element) {
      if (element.size() != static_cast<std::size_t>(param->elementSize * 2))
        return where + "элемент \"" + element + "\" должен иметь " + std::to_string(param->elementSize * 2) +
               " цифр";
      const auto value = ParseHex(element);
      if (!value) return where + "неверное шестнадцатеричное число \"" + element + "\"";
      if (param->word) {
        bytes.push_back(static_cast<std::uint8_t>(*value & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(*value >> 8));
      } else {
        for (int k = param->elementSize - 1; k >= 0; --k)
          bytes.push_back(static_cast<std::uint8_t>(*value >> (8 * k)));
      }
      ++count;
    }
    if (count != param->count)
      return where + "ожидалось элементов: " + std::to_string(param->count) +
             ", указано: " + std::to_string(count);
    module->SetParamBytes(param->number, bytes);
  }
  return "";
}

std::string LoadStateFile(const std::string& path, SimBus& bus) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return "";
  std::string text;
  if (std::string problem = ReadRegularFile(path, &text); !problem.empty()) return problem;
  const std::string error = ParseState(text, bus);
  return error.empty() ? "" : path + ": " + error;
}

std::string SaveStateFile(const std::string& path, const SimBus& bus) {
  return WriteFileAtomically(path, FormatState(bus));
}

}  // namespace r770::sim
