#include "app/driver.h"

#include <gtest/gtest.h>

#include <new>
#include <optional>
#include <string>
#include <vector>

#include "text/int_convert.h"

namespace trolvane {
namespace {

struct ParsedOptions {
  std::string mac;
  std::string host;
  std::string port;
  std::int32_t mask_bits;
  std::int32_t timeout;
  bool mac_check = true;
  int send_count = 1;
};

ParsedOptions Parse(const std::vector<std::string>& arguments) {
  TMagicPacket job([](std::string_view) { return true; });
  ApplyOptions(BuildOptionList(arguments), job);
  return {job.MacAddress(),  job.HostAddress(),        job.PortText(),           job.MaskBits(),
          job.PingTimeout(), job.Settings().mac_check, job.Settings().send_count};
}

struct OptionCase {
  std::vector<std::string> arguments;
  ParsedOptions expected;
};

TEST(ApplyOptions, CopiesTheOptionsByTheirRules) {
  const OptionCase cases[] = {
      {{"a", "b"}, {"", "", "7", -1, 60000}},
      {{"/M:01-02", "/H:h"}, {"01-02", "h", "7", -1, 60000}},
      {{"/m=01-02", "/h=x"}, {"01-02", "x", "7", -1, 60000}},
      {{"/m:01:02:03", "/h:x"}, {"01:02:03", "x", "7", -1, 60000}},
      {{"/m:first", "/m:second", "/h:x"}, {"first", "x", "7", -1, 60000}},
      {{"/s:24", "/p:9", "/t:3000"}, {"", "", "9", 24, 3000}},
      {{"/s:abc", "/t:abc"}, {"", "", "7", -1, 60000}},
      {{"/s:24x", "/s:99"}, {"", "", "7", -1, 60000}},
      {{"/s:x", "/t:0"}, {"", "", "7", -1, 0}},
      {{"/s:$18", "/t:-5"}, {"", "", "7", 24, -5}},
      {{"/s:0x18", "/p:"}, {"", "", "7", 24, 60000}},
      {{"/s:", "/t:"}, {"", "", "7", -1, 60000}},
      {{"/m", "/h:x"}, {"", "x", "7", -1, 60000}},
      {{"/mac:1", "/h:x"}, {"", "x", "7", -1, 60000}},
      {{"/p:echo", "/h:a=b"}, {"", "a=b", "echo", -1, 60000}},
      {{"/V=0", "/v:1"}, {"", "", "7", -1, 60000, false}},
      {{"/v:1", "/v:0"}, {"", "", "7", -1, 60000, true}},
      {{"/r:10", "/h:x"}, {"", "x", "7", -1, 60000, true, 10}},
  };
  for (const auto& c : cases) {
    ParsedOptions got = Parse(c.arguments);
    std::string where = c.arguments[0] + " " + c.arguments[1];
    EXPECT_EQ(got.mac, c.expected.mac) << where;
    EXPECT_EQ(got.host, c.expected.host) << where;
    EXPECT_EQ(got.port, c.expected.port) << where;
    EXPECT_EQ(got.mask_bits, c.expected.mask_bits) << where;
    EXPECT_EQ(got.timeout, c.expected.timeout) << where;
    EXPECT_EQ(got.mac_check, c.expected.mac_check) << where;
    EXPECT_EQ(got.send_count, c.expected.send_count) << where;
  }
}

// A job whose Run raises what the test asks for, and which records its end in the log.
class FakeJob : public TMagicPacket {
 public:
  FakeJob(const LineWriter& write, std::vector<std::string>* log, std::function<void()> run)
      : TMagicPacket(write), log_(log), run_(std::move(run)) {}
  ~FakeJob() override { log_->push_back("job destroyed"); }
  void Run() override { run_(); }

 private:
  std::vector<std::string>* log_;
  std::function<void()> run_;
};

class OtherFamilyError : public ETrolvaneException {
 public:
  using ETrolvaneException::ETrolvaneException;
};

struct Outcome {
  int status;
  std::vector<std::string> log;
};

Outcome Drive(std::function<void()> run, std::vector<std::string> arguments = {"a", "b"}) {
  Outcome outcome;
  LineWriter write = [&outcome](std::string_view line) {
    outcome.log.push_back("line " + std::string(line));
    return true;
  };
  outcome.status = RunDriver(arguments, write, [&](const LineWriter& w) {
    return std::make_unique<FakeJob>(w, &outcome.log, run);
  });
  return outcome;
}

template <typename E>
std::function<void()> Raise(const char* message) {
  return [message] { throw E(message); };
}

TEST(RunDriver, EachErrorBecomesOneLineAndItsStatus) {
  struct Case {
    std::function<void()> run;
    int status;
    const char* line;
  };
  const Case cases[] = {
      {[] {}, 0, nullptr},
      {Raise<EArgsException>("args"), 2, "args"},
      {Raise<EMagicPacketSendException>("send"), 3, "send"},
      {Raise<EBootFaultException>("boot"), 5, "boot"},
      {Raise<OtherFamilyError>("other"), 1, "other"},
      {Raise<EConvertError>("conv"), 99, "予期していない例外が発生しました。conv"},
      {Raise<Exception>("a\r\nb\rc\nd\r\n"), 99, "予期していない例外が発生しました。a b\rc\nd "},
      {Raise<EArgsException>("x\r\n\r\ny"), 2, "x  y"},
      {[] { throw std::bad_alloc(); }, 99, "予期していない例外が発生しました。std::bad_alloc"},
  };
  for (const auto& c : cases) {
    Outcome o = Drive(c.run);
    EXPECT_EQ(o.status, c.status);
    std::vector<std::string> expected = {"job destroyed"};
    if (c.line != nullptr) expected.push_back(std::string("line ") + c.line);
    // The job is gone before the error line is written.
    EXPECT_EQ(o.log, expected);
  }
}

TEST(RunDriver, TooFewArgumentsCreateNoJob) {
  Outcome none = Drive([] { FAIL(); }, {});
  EXPECT_EQ(none.status, 2);
  ASSERT_EQ(none.log.size(), 19u);
  EXPECT_EQ(none.log.front(), "line ");
  EXPECT_EQ(none.log[17], "line Trolvane Version " TROLVANE_VERSION);

  Outcome one = Drive([] { FAIL(); }, {"/m:01-02-03-04-05-06"});
  EXPECT_EQ(one.status, 2);
  EXPECT_EQ(one.log, (std::vector<std::string>{"line 引数が足りません。"}));
}

TEST(RunDriver, FailedWritesKeepTheStatus) {
  auto broken = [](std::string_view) { return false; };
  auto job = [&](const LineWriter& w) { return std::make_unique<TMagicPacket>(w); };
  EXPECT_EQ(RunDriver({}, broken, job), 2);
  EXPECT_EQ(RunDriver({"x"}, broken, job), 2);

  std::vector<std::string> log;
  auto failing_job = [&](const LineWriter& w) {
    return std::make_unique<FakeJob>(w, &log, [] { throw EBootFaultException("boot"); });
  };
  EXPECT_EQ(RunDriver({"a", "b"}, broken, failing_job), 5);
}

TEST(RunDriver, AFailedResultLineIsAnErrorOfTheGeneralKind) {
  int writes = 0;
  auto fail_first = [&writes](std::string_view) { return ++writes > 1; };
  std::vector<std::string> log;
  auto job = [&](const LineWriter& w) {
    return std::make_unique<FakeJob>(w, &log, [w] { WriteCheckedLine(w, "confirmed"); });
  };
  EXPECT_EQ(RunDriver({"a", "b"}, fail_first, job), 99);
  EXPECT_EQ(writes, 2);
}

// A list option makes a host list run, even alone; the list takes /p, /s and /t too.
TEST(RunDriver, AListOptionRunsTheHostList) {
  struct Seen {
    std::string name, port;
    std::int32_t bits, timeout;
  };
  const struct {
    std::vector<std::string> arguments;
    std::optional<Seen> list;  // none: the job ran, or nothing did
    int status;
  } cases[] = {
      {{"/f:room.txt"}, Seen{"room.txt", "7", -1, 60000}, 0},
      {{"/F=-", "/s:24", "/t:$10", "/p:9", "/m:x", "/h:y"}, Seen{"-", "9", 24, 16}, 0},
      {{"/f:"}, Seen{"", "7", -1, 60000}, 0},
      {{"/f"}, std::nullopt, 2},
      {{"/m:01-02-03-04-05-06", "/h:pc01"}, std::nullopt, 0},
      {{"/f=Z:\\lists\\room.txt"}, Seen{"Z:\\lists\\room.txt", "7", -1, 60000}, 0},
      {{"/f:room.txt", "/s:47"}, std::nullopt, 2},  // mask bits outside 0..32
      {{"/m:x", "/h:y", "/s:-1"}, std::nullopt, 2},
      {{"/m:x", "/h:y", "/s:33"}, std::nullopt, 2},
  };
  for (const auto& c : cases) {
    std::optional<Seen> seen;
    std::vector<std::string> job_log;
    auto job = [&job_log](const LineWriter& w) {
      return std::make_unique<FakeJob>(w, &job_log, [] {});
    };
    auto list = [&seen](const LineWriter& w) {
      struct FakeList : TWakeList {
        FakeList(const LineWriter& w, std::optional<Seen>* seen) : TWakeList(w), seen_(seen) {}
        void Run() override {
          *seen_ =
              Seen{ListName(), Settings().port_text, Settings().mask_bits, Settings().ping_timeout};
        }
        std::optional<Seen>* seen_;
      };
      return std::make_unique<FakeList>(w, &seen);
    };
    const int status = RunDriver(
        c.arguments, [](std::string_view) { return true; }, job, list);
    EXPECT_EQ(status, c.status) << c.arguments[0];
    ASSERT_EQ(seen.has_value(), c.list.has_value()) << c.arguments[0];
    if (!seen) continue;
    EXPECT_EQ(seen->name, c.list->name);
    EXPECT_EQ(seen->port, c.list->port);
    EXPECT_EQ(seen->bits, c.list->bits);
    EXPECT_EQ(seen->timeout, c.list->timeout);
  }
}

}  // namespace
}  // namespace trolvane
