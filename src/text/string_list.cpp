#include "text/string_list.h"

#include "platform/text.h"

namespace trolvane {
namespace {

bool IsBlank(char c) {
  auto b = static_cast<unsigned char>(c);
  return b >= 1 && b <= 32;
}

std::size_t SkipBlanks(std::string_view text, std::size_t pos) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  return pos;
}

}  // namespace

std::size_t FindOnBoundary(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) return std::string_view::npos;
  for (std::size_t pos = 0; pos < text.size(); pos += os::CharLength(text, pos)) {
    if (text.compare(pos, pattern.size(), pattern) == 0) return pos;
  }
  return std::string_view::npos;
}

int TStringList::AddLine(std::string line) {
  lines_.push_back(std::move(line));
  return LineCount() - 1;
}

void TStringList::SplitFields(std::string_view text, char delimiter) {
  lines_.clear();
  text = text.substr(0, text.find('\0'));  // the end of the text, as the platform sees it
  std::size_t pos = SkipBlanks(text, 0);
  while (pos < text.size()) {
    std::size_t start = pos;
    while (pos < text.size() && static_cast<unsigned char>(text[pos]) > 32 &&
           text[pos] != delimiter) {
      pos += os::CharLength(text, pos);
    }
    lines_.emplace_back(text.substr(start, pos - start));
    pos = SkipBlanks(text, pos);
    if (pos < text.size() && text[pos] == delimiter) {
      if (pos + 1 == text.size()) lines_.emplace_back();
      pos = SkipBlanks(text, pos + 1);
    }
  }
}

int TStringList::FindName(std::string_view name) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    std::string_view line = lines_[i];
    std::size_t eq = FindOnBoundary(line, "=");
    if (eq != std::string_view::npos && os::SameTextIgnoreCase(line.substr(0, eq), name)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::string TStringList::ValueOf(std::string_view name) const {
  int i = FindName(name);
  if (i < 0) return {};
  const std::string& line = LineAt(i);
  return name.size() + 1 >= line.size() ? std::string() : line.substr(name.size() + 1);
}

std::string ReplaceText(std::string_view text, std::string_view pattern,
                        std::string_view replacement, bool replace_all) {
  std::string result;
  std::string_view rest = text;
  while (!rest.empty()) {
    std::size_t at = FindOnBoundary(rest, pattern);
    if (at == std::string_view::npos) break;
    result.append(rest.substr(0, at));
    result.append(replacement);
    rest.remove_prefix(at + pattern.size());
    if (!replace_all) break;
  }
  result.append(rest);
  return result;
}

std::string FillIn(std::string_view pattern, std::initializer_list<std::string_view> values) {
  std::string result;
  auto value = values.begin();
  for (std::size_t at = pattern.find("%s"); at != std::string_view::npos && value != values.end();
       at = pattern.find("%s"), ++value) {
    result.append(pattern.substr(0, at));
    result.append(*value);
    pattern.remove_prefix(at + 2);
  }
  result.append(pattern);
  return result;
}

std::string TrimBlanks(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return std::string(text.substr(begin, end - begin));
}

}  // namespace trolvane
