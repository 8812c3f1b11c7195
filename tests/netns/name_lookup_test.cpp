// Real name lookups, made inside a namespace of the test's own whose resolver reads
// only its own hosts file, so that nothing leaves the machine and "not found" is final.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/netns_lab.h"
#include "support/program_runner.h"

namespace trolvane {
namespace {

namespace fs = std::filesystem;
using testing::RunCommand;

// A network namespace with /etc/netns/<name>/ carrying nsswitch.conf and hosts, which
// `ip netns exec` mounts over /etc. Removed again however the test ends.
class LookupNamespace {
 public:
  LookupNamespace() : name_("trolvane-stack-" + std::to_string(::getpid())) {
    etc_ = fs::path("/etc/netns") / name_;
    fs::create_directories(etc_);
    std::ofstream(etc_ / "nsswitch.conf") << "hosts: files\n";
    std::ofstream(etc_ / "hosts") << "127.0.0.1 localhost\n198.18.0.7 wol-target\n";
    ok_ = RunCommand({"ip", "netns", "add", name_}).status == 0;
  }
  ~LookupNamespace() {
    RunCommand({"ip", "netns", "delete", name_});
    std::error_code ignored;
    fs::remove_all(etc_, ignored);
  }
  LookupNamespace(const LookupNamespace&) = delete;
  LookupNamespace& operator=(const LookupNamespace&) = delete;

  bool ok() const { return ok_; }
  testing::RunResult Resolve(const std::string& host) const {
    testing::RunOptions options;
    options.prefix = {"ip", "netns", "exec", name_};
    options.time_limit_seconds = 20;
    return RunCommand({std::string(TROLVANE_TOOLS_DIR) + "/resolve_host", host}, options);
  }

 private:
  std::string name_;
  fs::path etc_;
  bool ok_ = false;
};

class NameLookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string why = testing::NetnsLab::UnavailableReason(); !why.empty()) {
      GTEST_SKIP() << why;
    }
    lab_ = std::make_unique<LookupNamespace>();
    if (!lab_->ok()) GTEST_SKIP() << "cannot create a network namespace here";
  }
  std::unique_ptr<LookupNamespace> lab_;
};

TEST_F(NameLookupTest, UnknownNameIsHostNotFound) {
  testing::RunResult r = lab_->Resolve("pc01");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "ENetSocketError 11001\nSocket Error # 11001\r\nHost not found.");
}

TEST_F(NameLookupTest, KnownNameGivesItsFirstAddress) {
  testing::RunResult r = lab_->Resolve("wol-target");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "198.18.0.7\n");
}

}  // namespace
}  // namespace trolvane
