#include "text/int_convert.h"

#include <gtest/gtest.h>

#include <optional>

#include "text/exception.h"

namespace trolvane {
namespace {

struct ParseCase {
  const char* text;
  std::optional<std::int32_t> value;
};

TEST(ParseInteger, AcceptsExactlyTheIntegerSyntax) {
  const ParseCase cases[] = {
      {"  12", 12},
      {"12 ", std::nullopt},
      {"+12", 12},
      {"-0", 0},
      {"010", 10},
      {"$ff", 255},
      {"$1FF", 511},
      {"x10", 16},
      {"X10", 16},
      {"0x10", 16},
      {"0X10", 16},
      {"$FFFFFFFF", -1},
      {"$80000000", INT32_MIN},
      {"$00000000FF", 255},
      {"$100000000", std::nullopt},
      {"-$10", -16},
      {"$-1", std::nullopt},
      {"2147483647", 2147483647},
      {"2147483648", std::nullopt},
      {"-2147483648", INT32_MIN},
      {"-2147483649", std::nullopt},
      {"21474836470", std::nullopt},
      {"", std::nullopt},
      {"$", std::nullopt},
      {"x", std::nullopt},
      {"0x", std::nullopt},
      {"-", std::nullopt},
      {"+", std::nullopt},
      {"   ", std::nullopt},
      {"--5", std::nullopt},
      {"+-5", std::nullopt},
      {"- 5", std::nullopt},
      {"1e3", std::nullopt},
      {"12a", std::nullopt},
      {"\t12", std::nullopt},
      {"0", 0},
      {"00000000000000000007", 7},
      {"$0000000000000000000A", 10},
      {"0x0", 0},
      {"$g", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseInteger(c.text), c.value) << "text: [" << c.text << "]";
  }
}

TEST(TextToInt, RaisesWithTheWholeTextInTheMessage) {
  try {
    TextToInt(" $GG");
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "' $GG' は整数ではありません");
  }
  EXPECT_EQ(TextToInt("$1F"), 31);
}

TEST(TextToIntDef, GivesTheDefaultOnFailure) {
  EXPECT_EQ(TextToIntDef("abc", 60000), 60000);
  EXPECT_EQ(TextToIntDef("", -1), -1);
  EXPECT_EQ(TextToIntDef("0x18", -1), 24);
}

TEST(IntToText, WritesPlainDecimal) {
  EXPECT_EQ(IntToText(0), "0");
  EXPECT_EQ(IntToText(255), "255");
  EXPECT_EQ(IntToText(-7), "-7");
  EXPECT_EQ(IntToText(INT32_MIN), "-2147483648");
}

}  // namespace
}  // namespace trolvane
