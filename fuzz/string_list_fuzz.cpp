// Splitting and name=value lookup. Input: a delimiter byte, then the text. The fields
// together hold exactly the text's bytes that are neither blanks nor the delimiter, and
// the lookup finds the first line whose name matches, as a plain scan would.
#include <string>

#include "fuzz_check.h"
#include "platform/text.h"
#include "text/string_list.h"

namespace {

using trolvane::TStringList;
using trolvane::fuzz::AsText;
using trolvane::fuzz::TakeByte;

bool IsBlank(char c) { return c >= 1 && c <= 32; }

void CheckSplit(std::string_view text, char delimiter) {
  TStringList list;
  list.SplitFields(text, delimiter);
  std::string_view visible = text.substr(0, text.find('\0'));
  std::string kept;
  for (char c : visible) {
    if (!IsBlank(c) && c != delimiter) kept += c;
  }
  std::string joined;
  for (int i = 0; i < list.LineCount(); ++i) {
    for (char c : list.LineAt(i)) FUZZ_CHECK(!IsBlank(c) && c != delimiter && c != '\0');
    joined += list.LineAt(i);
  }
  FUZZ_CHECK(joined == kept);
  // Without blanks, every delimiter separates two fields, empty ones included.
  bool has_blank = false;
  int delimiters = 0;
  for (char c : visible) {
    has_blank = has_blank || IsBlank(c);
    delimiters += c == delimiter ? 1 : 0;
  }
  if (!has_blank && !visible.empty()) FUZZ_CHECK(list.LineCount() == delimiters + 1);
}

void CheckLookup(std::string_view text) {
  std::size_t nl = text.find('\n');
  std::string_view name = text.substr(0, nl);
  TStringList list;
  if (nl != std::string_view::npos) {
    std::string_view rest = text.substr(nl + 1);
    for (int i = 0; i < 16 && !rest.empty(); ++i) {
      std::size_t end = rest.find('\n');
      list.AddLine(std::string(rest.substr(0, end)));
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
  }
  int expected = -1;
  for (int i = 0; i < list.LineCount() && expected < 0; ++i) {
    const std::string& line = list.LineAt(i);
    std::size_t eq = line.find('=');
    if (eq != std::string::npos && os::SameTextIgnoreCase(line.substr(0, eq), name)) {
      expected = i;
    }
  }
  FUZZ_CHECK(list.FindName(name) == expected);
  std::string value = list.ValueOf(name);
  if (expected < 0) {
    FUZZ_CHECK(value.empty());
  } else {
    FUZZ_CHECK(value == list.LineAt(expected).substr(list.LineAt(expected).find('=') + 1));
  }
}

void CheckReplace(std::string_view text) {
  std::string first = trolvane::ReplaceText(text, ":", "=", false);
  std::string expected(text);
  if (std::size_t colon = expected.find(':'); colon != std::string::npos) expected[colon] = '=';
  FUZZ_CHECK(first == expected);

  std::string joined = trolvane::ReplaceText(text, "\r\n", " ", true);
  FUZZ_CHECK(joined.find("\r\n") == std::string::npos);
  std::size_t pairs = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string_view::npos;
       at = text.find("\r\n", at + 2)) {
    ++pairs;
  }
  FUZZ_CHECK(joined.size() + pairs == text.size());

  std::string trimmed = trolvane::TrimBlanks(text);
  std::size_t inner = 0;
  for (char c : text) inner += static_cast<unsigned char>(c) > 32 ? 1 : 0;
  for (char c : trimmed) inner -= static_cast<unsigned char>(c) > 32 ? 1 : 0;
  FUZZ_CHECK(inner == 0);
  if (!trimmed.empty()) {
    FUZZ_CHECK(static_cast<unsigned char>(trimmed.front()) > 32);
    FUZZ_CHECK(static_cast<unsigned char>(trimmed.back()) > 32);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input = AsText(data, size);
  // The program splits at "-" and "."; any printable delimiter follows the same rule.
  char delimiter = static_cast<char>(33 + TakeByte(input) % 94);
  CheckSplit(input, delimiter);
  CheckLookup(input);
  CheckReplace(input);
  return 0;
}
