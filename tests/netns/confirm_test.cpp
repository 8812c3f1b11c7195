// The start-up confirmation against hosts in namespaces of the test's own: one that
// answers, one that never does, one that starts late, one beyond a router that has no
// route, and another program's replies. Natively only; needs root.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <utility>

#include "netns/ping_lab.h"

namespace trolvane::testing {
namespace {

const char kConfirmedTarget[] = "ホスト(198.18.0.2)の起動を確認しました。\n";
const char kTimedOut[] = "ホストの起動を確認できませんでした。(Pingタイムアウト)\n";
const char kPingError[] = "ホストの起動を確認できませんでした。(Pingエラー)\n";

const char kMac[] = "/m:02-00-5E-00-53-02";

// The system calls that `strace -c` counted: the readiness waits among them, and all.
std::pair<long, long> CountedCalls(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  long waits = 0;
  long all = 0;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::vector<std::string> f;
    for (std::string w; fields >> w;) f.push_back(w);
    if (f.size() < 5 || f[0] == "%" || f[0].rfind("--", 0) == 0) continue;
    long calls = std::stol(f[3]);
    const std::string& name = f.back();
    if (name == "total") continue;
    all += calls;
    if (name == "poll" || name == "ppoll" || name == "select" || name == "pselect6") {
      waits += calls;
    }
  }
  return {waits, all};
}

// The lines of an output, in any order.
std::multiset<std::string> Lines(const std::string& out) {
  std::multiset<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.insert(line);
  return lines;
}

// The processor time of the children this process has waited for, in seconds.
double ChildrenCpuSeconds() {
  rusage used{};
  ::getrusage(RUSAGE_CHILDREN, &used);
  return static_cast<double>(used.ru_utime.tv_sec + used.ru_stime.tv_sec) +
         static_cast<double>(used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1e6;
}

class ConfirmInNamespaces : public PingLabTest {
 protected:
  // Runs the program and gives how long it took, in seconds.
  double Timed(const std::vector<std::string>& arguments, RunResult* result,
               bool unprivileged = false, const std::vector<std::string>& wrapper = {}) {
    auto start = std::chrono::steady_clock::now();
    *result = lab_->RunProgram(arguments, unprivileged, wrapper);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }

  void SilenceTarget() { lab_->SetSysctl(lab_->target(), "net.ipv4.icmp_echo_ignore_all", "1"); }

  void AllowPingGroup(const std::string& range) {
    lab_->SetSysctl(lab_->client(), "net.ipv4.ping_group_range", range);
  }
};

TEST_F(ConfirmInNamespaces, AnsweringTargetIsConfirmed) {
  RunResult r = lab_->RunProgram({kMac, "/h:198.18.0.2", "/t:5000"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kConfirmedTarget);
}

TEST_F(ConfirmInNamespaces, AHostNameIsShownAsGiven) {
  lab_->NameTheTarget();
  RunResult r = lab_->RunProgram({kMac, "/h:wol-target", "/t:5000"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "ホスト(wol-target)の起動を確認しました。\n");
}

// 0 and the other values below 0 but -2 send exactly one request.
TEST_F(ConfirmInNamespaces, ATimeOutBelowOneIsOneRequest) {
  SilenceTarget();
  for (const char* timeout : {"/t:0", "/t:-1", "/t:-5"}) {
    const long before = lab_->IcmpCounter(lab_->target(), "InType8");
    RunResult r = lab_->RunProgram({kMac, "/h:198.18.0.2", timeout});
    EXPECT_EQ(r.status, 5) << timeout;
    EXPECT_EQ(r.out, kTimedOut) << timeout;
    EXPECT_EQ(lab_->IcmpCounter(lab_->target(), "InType8") - before, 1) << timeout;
  }
}

TEST_F(ConfirmInNamespaces, SilentTargetTimesOutAfterOneRequestASecond) {
  SilenceTarget();
  RunResult r;
  double seconds = Timed({kMac, "/h:198.18.0.2", "/t:3000"}, &r);
  EXPECT_EQ(r.status, 5);
  EXPECT_EQ(r.out, kTimedOut);
  EXPECT_GE(seconds, 2.9);
  EXPECT_LT(seconds, 10.0);
  long requests = lab_->IcmpCounter(lab_->target(), "InType8");
  EXPECT_GE(requests, 3);
  EXPECT_LE(requests, 4);
}

// A machine that starts answering 2.5 s after its packet is confirmed by the request of
// its next second. A list rides out its link going down from 0.5 s to 2 s; a single host
// ends at the send that failed.
TEST_F(ConfirmInNamespaces, HostThatStartsLateIsConfirmed) {
  lab_->AddTargetAddress("198.18.0.4/25");
  lab_->AddTargetAddress("198.18.0.5/25");
  const std::string list = "/tmp/trolvane-late-" + std::to_string(::getpid()) + ".txt";
  std::ofstream(list) << "02-00-5E-00-53-02 198.18.0.2\n02-00-5E-00-53-02 198.18.0.4\n"
                         "02-00-5E-00-53-02 198.18.0.5\n";
  const std::vector<std::string> flap = {
      "sh", "-c",
      "\"$@\" & sleep 0.5; ip link set veth0 down; sleep 1.5; ip link set veth0 up; wait $!", "-"};
  const struct {
    std::vector<std::string> arguments;
    std::vector<std::string> wrapper;
    int status;
    std::string out;
    double least_seconds, most_seconds;
  } cases[] = {
      {{kMac, "/h:198.18.0.2", "/t:15000"}, {}, 0, kConfirmedTarget, 2.5, 4.5},
      {{"/f:" + list, "/t:8000"},
       flap,
       0,
       "ホスト(198.18.0.2)の起動を確認しました。\nホスト(198.18.0.4)の起動を確認しました。\n"
       "ホスト(198.18.0.5)の起動を確認しました。\n3台中3台の起動を確認しました。\n",
       2.5,
       4.5},
      {{kMac, "/h:198.18.0.2", "/t:8000"}, flap, 5, kPingError, 2.0, 3.0},  // the flap's 2 s
  };
  for (const auto& c : cases) {
    SilenceTarget();
    auto machine = lab_->StartInTarget({"answer_after_wake", "7", "2500", "20"});
    ASSERT_TRUE(machine->WaitForOutput("ready\n", 10000));
    RunResult r;
    const double seconds = Timed(c.arguments, &r, false, c.wrapper);
    EXPECT_EQ(machine->Finish(10000).out, "ready\nanswering\n");
    EXPECT_EQ(r.status, c.status) << c.arguments[1];
    EXPECT_EQ(Lines(r.out), Lines(c.out)) << c.arguments[1];  // each as it was confirmed
    EXPECT_GE(seconds, c.least_seconds) << c.arguments[1];
    EXPECT_LT(seconds, c.most_seconds) << c.arguments[1];
  }
  ::unlink(list.c_str());
}

// The router answers every request at once with "net unreachable"; the requests still
// go out one a second, and the last answer decides.
TEST_F(ConfirmInNamespaces, UnreachableHostIsAPingError) {
  for (bool unprivileged : {false, true}) {
    if (unprivileged) AllowPingGroup("65534 65534");
    long before = lab_->IcmpCounter(lab_->target(), "OutType3");
    RunResult r;
    double seconds = Timed({kMac, "/h:198.18.0.200", "/t:3000"}, &r, unprivileged);
    EXPECT_EQ(r.status, 5) << "unprivileged " << unprivileged;
    EXPECT_EQ(r.out, kPingError) << "unprivileged " << unprivileged;
    EXPECT_GE(seconds, 2.9);
    // Three requests and the magic packet, no flood.
    EXPECT_LE(lab_->IcmpCounter(lab_->target(), "OutType3") - before, 5);
  }
}

TEST_F(ConfirmInNamespaces, SilentNeighbourEndsWithStatusFive) {
  RunResult r = lab_->RunProgram({kMac, "/h:198.18.0.3", "/t:3000"});
  EXPECT_EQ(r.status, 5);
  EXPECT_EQ(r.out, kTimedOut);  // the failed address resolution is its silence
}

TEST_F(ConfirmInNamespaces, UnprivilegedUserNeedsThePingGroup) {
  AllowPingGroup("65534 65534");
  RunResult r = lab_->RunProgram({kMac, "/h:198.18.0.2", "/t:5000"}, true);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kConfirmedTarget);

  AllowPingGroup("1 0");
  r = lab_->RunProgram({kMac, "/h:198.18.0.2", "/t:5000"}, true);
  EXPECT_EQ(r.status, 5);
  EXPECT_EQ(r.out, kPingError);
}

// Waiting blocks in the readiness test: over three seconds of waiting the program makes
// a handful of waits, where a polling loop would make thousands. So also where no ICMP
// socket can be had and only a port is asked (the host at .3 answers nothing): then a
// host that never answered is in error.
TEST_F(ConfirmInNamespaces, WaitingIsNoBusyLoop) {
  if (RunCommand({"strace", "-V"}).status != 0) GTEST_SKIP() << "strace is not installed";
  SilenceTarget();
  AllowPingGroup("1 0");
  const struct {
    std::vector<std::string> arguments;
    bool unprivileged;
    const char* out;
  } cases[] = {
      {{kMac, "/h:198.18.0.2", "/t:3000"}, false, kTimedOut},
      {{kMac, "/h:198.18.0.3", "/c:3389", "/t:3000"}, true, kPingError},
  };
  const std::string counts = "/tmp/trolvane-icmp-strace-" + std::to_string(::getpid());
  for (const auto& c : cases) {
    RunResult r;
    const double cpu = ChildrenCpuSeconds();
    Timed(c.arguments, &r, c.unprivileged, {"strace", "-f", "-c", "-o", counts});
    // A loop that spins without a system call shows only in the processor time.
    EXPECT_LT(ChildrenCpuSeconds() - cpu, 0.1) << c.unprivileged;
    EXPECT_EQ(r.status, 5) << c.unprivileged;
    EXPECT_EQ(r.out, c.out) << c.unprivileged;
    const auto [waits, all] = CountedCalls(counts);
    ::unlink(counts.c_str());
    EXPECT_GE(waits, 3) << c.unprivileged;
    EXPECT_LE(waits, 10) << c.unprivileged;
    EXPECT_LT(all, 1000) << c.unprivileged;
  }
}

}  // namespace
}  // namespace trolvane::testing
