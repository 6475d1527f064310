// Alt keys of menu captions: one marked letter per caption ('&' before it, as the toolkit
// reads it), no two captions of one menu sharing a letter.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace r770 {

// Marks each caption of one menu. A caption that already has its mark ("&Правка") keeps it
// and its letter is taken first. The others take, in order, the first free letter that
// starts a word, else the first free letter anywhere; letters are Latin or Cyrillic and
// compared without case. A caption left without a free letter, or an empty one (a
// separator), stays as it is. A literal '&' is written "&&" and is no mark.
std::vector<std::string> WithMnemonics(const std::vector<std::string>& captions);

// The caption as shown: marks taken out, "&&" read as '&'.
std::string WithoutMnemonic(std::string_view caption);

}  // namespace r770
