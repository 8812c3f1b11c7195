// Ordered text lines filled by splitting at a delimiter and searched for name=value
// lines; plus the two plain text rules the program uses.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace trolvane {

class TStringList {
 public:
  int AddLine(std::string line);
  int LineCount() const { return static_cast<int>(lines_.size()); }
  const std::string& LineAt(int index) const { return lines_.at(static_cast<std::size_t>(index)); }

  // Fields end at the delimiter and at any character of code 1..32.
  void SplitFields(std::string_view text, char delimiter);

  // First line "name=..." whose name matches without regard to case; -1 if none.
  int FindName(std::string_view name) const;
  // The text after "name=" of that line; empty when there is none.
  std::string ValueOf(std::string_view name) const;

 private:
  std::vector<std::string> lines_;
};

// Position of the first occurrence that starts on a character boundary, or npos.
std::size_t FindOnBoundary(std::string_view text, std::string_view pattern);

// Case-sensitive; a match never starts inside a multibyte character.
std::string ReplaceText(std::string_view text, std::string_view pattern,
                        std::string_view replacement, bool replace_all);

// Puts the values, in order, in place of the pattern's "%s" marks; a mark inside a value
// is never filled.
std::string FillIn(std::string_view pattern, std::initializer_list<std::string_view> values);

// Drops every byte of value 0..32 at both ends.
std::string TrimBlanks(std::string_view text);

}  // namespace trolvane
