#include "common/mnemonics.h"

#include <cstddef>
#include <optional>
#include <set>

#include "common/codec.h"

namespace r770 {
namespace {

// The letter in lower case, or nothing for a character that is not a Latin or Cyrillic letter.
std::optional<char32_t> FoldedLetter(char32_t c) {
  if (c >= U'a' && c <= U'z') return c;
  if (c >= U'A' && c <= U'Z') return c + (U'a' - U'A');
  if (c >= U'а' && c <= U'я') return c;
  if (c >= U'А' && c <= U'Я') return c + (U'а' - U'А');
  if (c == U'ё' || c == U'Ё') return U'ё';
  return std::nullopt;
}

// The index of the marked character, if the caption has a mark.
std::optional<std::size_t> MarkedIndex(const std::u32string& text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != U'&') continue;
    if (text[i + 1] != U'&') return i + 1;
    ++i;  // "&&" is a literal '&'
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::string> WithMnemonics(const std::vector<std::string>& captions) {
  std::vector<std::u32string> texts;
  texts.reserve(captions.size());
  std::set<char32_t> taken;
  for (const std::string& caption : captions) {
    texts.push_back(Utf8ToU32(caption));
    if (auto marked = MarkedIndex(texts.back()))
      if (auto letter = FoldedLetter(texts.back()[*marked])) taken.insert(*letter);
  }
  std::vector<std::string> out;
  out.reserve(captions.size());
  for (std::size_t n = 0; n < texts.size(); ++n) {
    std::u32string& text = texts[n];
    if (text.empty() || MarkedIndex(text)) {
      out.push_back(captions[n]);
      continue;
    }
    std::optional<std::size_t> chosen;
    for (const bool wordStartsOnly : {true, false}) {
      for (std::size_t i = 0; i < text.size() && !chosen; ++i) {
        const auto letter = FoldedLetter(text[i]);
        const bool wordStart = i == 0 || !FoldedLetter(text[i - 1]);
        if (letter && !taken.count(*letter) && (wordStart || !wordStartsOnly)) chosen = i;
      }
      if (chosen) break;
    }
    if (!chosen) {
      out.push_back(captions[n]);
      continue;
    }
    taken.insert(*FoldedLetter(text[*chosen]));
    text.insert(*chosen, 1, U'&');
    out.push_back(U32ToUtf8(text));
  }
  return out;
}

std::string WithoutMnemonic(std::string_view caption) {
  std::string out;
  out.reserve(caption.size());
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    out.push_back(caption[i]);
  }
  return out;
}

}  // namespace r770
