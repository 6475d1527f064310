// How the windows tell the numbering of Modbus addresses: shown as sent in a request,
// counted from 0, with the one-based form in the tooltip.
#pragma once
#include <cstdint>
#include <string>

namespace r770 {

inline constexpr const char* kZeroBasedNote =
    "Адреса Modbus считаются с нуля, как в запросе; в нумерации с единицы каждый на 1 больше (см. подсказку "
    "ячейки).";

// The tooltip of a zero-based address: both forms.
inline std::string OneBasedText(std::uint32_t zeroBased) {
  return "С нуля: " + std::to_string(zeroBased) + ", с единицы: " + std::to_string(zeroBased + 1);
}

}  // namespace r770
