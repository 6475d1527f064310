#include "common/key_filter.h"

#include "common/codec.h"

namespace r770 {

std::optional<char32_t> FilterHexKey(char32_t key, HexKeyVariant variant) {
  switch (key) {
    case U'Ф':
    case U'ф':
      key = U'A';
      break;
    case U'И':
    case U'и':
      key = U'B';
      break;
    case U'С':
    case U'с':
      key = U'C';
      break;
    case U'В':
    case U'в':
      key = U'D';
      break;
    case U'У':
    case U'у':
      key = U'E';
      break;
    case U'А':
    case U'а':
      key = U'F';
      break;
    default:
      break;
  }
  if (key >= U'a' && key <= U'f') key = key - U'a' + U'A';
  if (key == kBackspace) return key;
  if ((key >= U'0' && key <= U'9') || (key >= U'A' && key <= U'F')) return key;
  if (key == U' ' && variant != HexKeyVariant::Port) return key;
  if (key == U'.' && variant == HexKeyVariant::Dot) return key;
  return std::nullopt;
}

KeyEdit ApplyKey(std::string_view utf8, std::optional<char32_t> key, int selStart, int selLength,
                 FieldLimit limit) {
  std::u32string text = Utf8ToU32(utf8);
  const int length = static_cast<int>(text.size());
  if (selStart < 0 || selStart > length) selStart = length;
  if (selLength < 0 || selStart + selLength > length) selLength = length - selStart;

  if (key != kBackspace && limit.maxLength > 0) {  // a character, or a refused key
    const int kept = limit.full == FullField::TakesSelection ? length - selLength : length;
    if (kept >= limit.maxLength) {
      if (limit.full == FullField::EmptiedWhenAllSelected && selLength == length) {
        text.clear();
        selStart = selLength = 0;
      } else {
        key.reset();
      }
    }
  }

  const auto at = static_cast<std::size_t>(selStart);
  const auto count = static_cast<std::size_t>(selLength);
  int caret = selStart;
  bool taken = false;
  if (key == kBackspace) {
    if (count > 0) {
      text.erase(at, count);
      taken = true;
    } else if (at > 0) {
      text.erase(at - 1, 1);
      --caret;
      taken = true;
    }
  } else if (key) {
    text.replace(at, count, 1, *key);
    ++caret;
    taken = true;
  }
  return {U32ToUtf8(text), caret, taken};
}

void DropLastChar(std::string& text) {
  if (text.empty()) return;
  std::size_t i = text.size() - 1;
  while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) --i;
  text.erase(i);
}

}  // namespace r770
