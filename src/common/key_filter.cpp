#include "common/key_filter.h"

namespace r770 {

std::optional<char32_t> FilterHexKey(char32_t key, HexKeyVariant variant) {
  switch (key) {
    case U'Ф': case U'ф': key = U'A'; break;
    case U'И': case U'и': key = U'B'; break;
    case U'С': case U'с': key = U'C'; break;
    case U'В': case U'в': key = U'D'; break;
    case U'У': case U'у': key = U'E'; break;
    case U'А': case U'а': key = U'F'; break;
    default: break;
  }
  if (key >= U'a' && key <= U'f') key = key - U'a' + U'A';
  if (key == kBackspace) return key;
  if ((key >= U'0' && key <= U'9') || (key >= U'A' && key <= U'F')) return key;
  if (key == U' ' && variant != HexKeyVariant::Port) return key;
  if (key == U'.' && variant == HexKeyVariant::Dot) return key;
  return std::nullopt;
}

}  // namespace r770
