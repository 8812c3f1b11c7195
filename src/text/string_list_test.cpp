#include "text/string_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace trolvane {
namespace {

std::vector<std::string> Lines(const TStringList& list) {
  std::vector<std::string> lines;
  for (int i = 0; i < list.LineCount(); ++i) lines.push_back(list.LineAt(i));
  return lines;
}

struct SplitCase {
  std::string text;
  char delimiter;
  std::vector<std::string> fields;
};

TEST(SplitFields, FieldsEndAtDelimitersBlanksAndControls) {
  const SplitCase cases[] = {
      {"01-02-03-04-05-06", '-', {"01", "02", "03", "04", "05", "06"}},
      {"192.168.0.130", '.', {"192", "168", "0", "130"}},
      {"01--02", '-', {"01", "", "02"}},
      {"-01", '-', {"", "01"}},
      {"01-", '-', {"01", ""}},
      {"01- ", '-', {"01"}},
      {"01 02 03 04 05 06", '-', {"01", "02", "03", "04", "05", "06"}},
      {"01 - 02", '-', {"01", "02"}},
      {"", '-', {}},
      {"   \t", '-', {}},
      {"  a\tb\x01"
       "c",
       '-',
       {"a", "b", "c"}},
      {"1..2.3", '.', {"1", "", "2", "3"}},
      {"a-b\0c-d", '-', {"a", "b"}},
      {"01:02:03", '-', {"01:02:03"}},
  };
  for (const auto& c : cases) {
    TStringList list;
    list.AddLine("stale");
    list.SplitFields(c.text, c.delimiter);
    EXPECT_EQ(Lines(list), c.fields) << "text: [" << c.text << "]";
  }
}

TEST(SplitFields, EmbeddedNulEndsTheText) {
  TStringList list;
  list.SplitFields(std::string("a-b\0c-d", 7), '-');
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"a", "b"}));
}

struct ValueCase {
  std::vector<std::string> lines;
  const char* name;
  const char* value;
  int index;
};

TEST(ValueOf, FirstLineWhoseNameMatchesWithoutCase) {
  const ValueCase cases[] = {
      {{"/M=aa", "/m=bb"}, "/m", "aa", 0},
      {{"/mx=1"}, "/m", "", -1},
      {{"/m"}, "/m", "", -1},
      {{"/m=a=b"}, "/m", "a=b", 0},
      {{"/m="}, "/m", "", 0},
      {{"x", "/h=1", "/H=2"}, "/H", "1", 1},
      {{"=v"}, "", "v", 0},
  };
  for (const auto& c : cases) {
    TStringList list;
    for (const auto& line : c.lines) list.AddLine(line);
    EXPECT_EQ(list.FindName(c.name), c.index) << c.name;
    EXPECT_EQ(list.ValueOf(c.name), c.value) << c.name;
  }
}

struct ReplaceCase {
  const char* text;
  const char* pattern;
  const char* replacement;
  bool all;
  const char* result;
};

TEST(ReplaceText, FirstOrEveryOccurrenceWithoutOverlap) {
  const ReplaceCase cases[] = {
      {"a:b:c", ":", "=", false, "a=b:c"},
      {"/m=x", ":", "=", false, "/m=x"},
      {"a\r\nb\r\nc", "\r\n", " ", true, "a b c"},
      {"a\rb\nc\n\r", "\r\n", " ", true, "a\rb\nc\n\r"},
      {"aaa", "aa", "a", true, "aa"},
      {"", ":", "=", true, ""},
      {"x", "", "=", true, "x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceText(c.text, c.pattern, c.replacement, c.all), c.result) << c.text;
  }
}

TEST(TrimBlanks, RemovesControlsAndBlanksAtBothEndsOnly) {
  EXPECT_EQ(TrimBlanks(" \t\x01"
                       "a b\x1f "),
            "a b");
  EXPECT_EQ(TrimBlanks(std::string("\0x\0", 3)), "x");
  EXPECT_EQ(TrimBlanks(" \t "), "");
  EXPECT_EQ(TrimBlanks("ab"), "ab");
}

}  // namespace
}  // namespace trolvane
