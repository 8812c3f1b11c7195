#include "text/arg_split.h"

#include <gtest/gtest.h>

#include "platform/text.h"

namespace trolvane {
namespace {

// Code page 932: lead bytes 0x81..0x9F and 0xE0..0xFC take the next byte along.
std::size_t Cp932Step(std::string_view text, std::size_t pos) {
  auto b = static_cast<unsigned char>(text[pos]);
  bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
  return lead && pos + 1 < text.size() ? 2 : 1;
}

std::size_t ByteStep(std::string_view, std::size_t) { return 1; }

struct SplitCase {
  std::string line;
  std::vector<std::string> arguments;
};

TEST(SplitCommandLine, FollowsTheQuoteAndBlankRule) {
  const SplitCase cases[] = {
      {"prog a b", {"prog", "a", "b"}},
      {"  prog\t a  ", {"prog", "a"}},
      {"\"C:\\a b\\prog.exe\" /m:1", {"C:\\a b\\prog.exe", "/m:1"}},
      {"prog \"\" /m:1", {"prog", "/m:1"}},
      {"prog \"\"\"\" x", {"prog", "x"}},
      {"prog \"/m:01 02 03\" /h:x", {"prog", "/m:01 02 03", "/h:x"}},
      {"prog /m:\"01 02\"03 z", {"prog", "/m:01 0203", "z"}},
      {"prog a\"b", {"prog", "ab"}},
      {"prog \"a\tb\x01\"", {"prog", "a\tb\x01"}},
      {"prog a\x01"
       "b",
       {"prog", "a", "b"}},
      {"prog a \"", {"prog", "a"}},
      {"", {}},
      {"prog", {"prog"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.line, ByteStep), c.arguments) << c.line;
  }
}

TEST(SplitCommandLine, DoubleByteCharacterIsTakenWhole) {
  // 0x81 0x22 and 0x81 0x20: the second byte is never seen as a quote or a blank.
  EXPECT_EQ(SplitCommandLine("p \x81\x22x y", Cp932Step),
            (std::vector<std::string>{"p", "\x81\x22x", "y"}));
  EXPECT_EQ(SplitCommandLine("p \"\x81\x22\" y", Cp932Step),
            (std::vector<std::string>{"p", "\x81\x22", "y"}));
  EXPECT_EQ(SplitCommandLine("p \x81\x20z", Cp932Step),
            (std::vector<std::string>{"p", "\x81\x20z"}));
  // Byte by byte, the same texts split differently.
  EXPECT_EQ(SplitCommandLine("p \x81\x20z", ByteStep),
            (std::vector<std::string>{"p", "\x81", "z"}));
}

#ifdef _WIN32
TEST(SplitCommandLine, PlatformSteppingIsCodePage932) {
  EXPECT_EQ(SplitCommandLine("p \x81\x22x y", os::CharLength),
            (std::vector<std::string>{"p", "\x81\x22x", "y"}));
}
#endif

}  // namespace
}  // namespace trolvane
