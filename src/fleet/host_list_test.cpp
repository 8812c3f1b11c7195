#include "fleet/host_list.h"

#include <gtest/gtest.h>

#include "text/messages.h"
#include "wake/errors.h"

namespace trolvane {
namespace {

struct Line {
  int line;
  std::string host;
  std::int32_t bits;
  std::uint8_t mac_last;  // the sixth MAC byte
};

std::vector<Line> Parse(std::string_view text, std::int32_t default_bits = -1) {
  std::vector<Line> lines;
  for (const ListedHost& h : ParseHostList(text, "lab.txt", default_bits)) {
    lines.push_back({h.line, h.host, h.mask_bits, h.mac[5]});
    EXPECT_EQ(h.mac[0], 0x01);
  }
  return lines;
}

bool operator==(const Line& a, const Line& b) {
  return a.line == b.line && a.host == b.host && a.bits == b.bits && a.mac_last == b.mac_last;
}

TEST(ParseHostList, ReadsOneHostALine) {
  const struct {
    const char* text;
    std::int32_t default_bits;
    std::vector<Line> hosts;
  } cases[] = {
      {"01-02-03-04-05-06 pc01", -1, {{1, "pc01", -1, 6}}},
      {"01-02-03-04-05-06,198.18.0.2", -1, {{1, "198.18.0.2", -1, 6}}},
      {"01:02:03:04:05:0a\t, ,198.18.0.2 ,\t24", -1, {{1, "198.18.0.2", 24, 10}}},
      {"# room 12\r\n\r\n   \n  # off\n01-02-03-04-05-06 a\r\n01-2-3-4-5-7 b 16\n",
       8,
       {{5, "a", 8, 6}, {6, "b", 16, 7}}},
      {"01-02-03-04-05-06 a\n01-02-03-04-05-06 a", 8, {{1, "a", 8, 6}, {2, "a", 8, 6}}},
      {"\xEF\xBB\xBF"
       "01-02-03-04-05-06 a",
       -1,
       {{1, "a", -1, 6}}},
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c.text, c.default_bits), c.hosts) << c.text;
}

TEST(ParseHostList, NamesTheFirstBadLineAndWhy) {
  const std::string mac_error = msg::kMacAddressError;
  const struct {
    const char* text;
    std::string message;
  } cases[] = {
      {"01-02-03-04-05-06",
       "ホスト一覧(lab.txt)の1行目が不正です。" + std::string(msg::kListFieldCount)},
      {"# one\n01-02-03-04-05-06 a 24 x\n01-02 b",
       "ホスト一覧(lab.txt)の2行目が不正です。" + std::string(msg::kListFieldCount)},
      {"01-02-03-04-05-06 a\n01-02-03-04-05 b\n",
       "ホスト一覧(lab.txt)の2行目が不正です。" + mac_error + "01-02-03-04-05"},
      {"01;02;03;04;05;06 a",
       "ホスト一覧(lab.txt)の1行目が不正です。" + mac_error + "01;02;03;04;05;06"},
      {"01-02-03-04-05-06 a 2x", "ホスト一覧(lab.txt)の1行目が不正です。'2x' は整数ではありません"},
      {"", "ホスト一覧(lab.txt)にホストがありません。"},
      {"# nothing\r\n\r\n", "ホスト一覧(lab.txt)にホストがありません。"},
  };
  for (const auto& c : cases) {
    try {
      ParseHostList(c.text, "lab.txt", -1);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const EArgsException& e) {
      EXPECT_EQ(e.Message(), c.message) << c.text;
    }
  }
}

}  // namespace
}  // namespace trolvane
