// The orchestration playbook (contrib/ansible/wake.yml) as an admin runs it, in check mode
// and then for real: from a controller namespace over SSH to two wakers, each waking the
// room behind it, and to three whose room fails. The wakers share this machine's file
// system, as wakers with one home folder do. Needs root.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/background_process.h"
#include "support/netns_lab.h"
#include "support/program_runner.h"

namespace trolvane::testing {
namespace {

namespace fs = std::filesystem;

// The playbook's list files left in /tmp.
std::set<fs::path> ListFiles() {
  std::set<fs::path> found;
  for (const auto& entry : fs::directory_iterator("/tmp")) {
    std::string name = entry.path().filename();
    if (name.starts_with("trolvane.") && name.ends_with(".txt")) found.insert(entry.path());
  }
  return found;
}

class WakePlaybook : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string why = NetnsLab::UnavailableReason(); !why.empty()) GTEST_SKIP() << why;
    fs::create_directories(dir_ / "lists");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string Path(const std::string& name) const { return dir_ / name; }
  void Run(const std::vector<std::string>& command) {
    RunResult r = RunCommand(command);
    ASSERT_EQ(r.status, 0) << command[0] << " " << command[1] << ": " << r.out;
  }

  fs::path dir_ = fs::temp_directory_path() / ("trolvane-playbook-" + std::to_string(getpid()));
};

TEST_F(WakePlaybook, EachWakerWakesItsRoomAndTheControllerAddsThemUp) {
  NetnsLab lab("play");
  const std::string controller = lab.AddNamespace("ctl");
  for (const char* key : {"host_key", "user_key"}) {
    Run({"ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", Path(key)});
  }
  fs::copy_file(Path("user_key.pub"), Path("authorized_keys"));
  fs::create_directories("/run/sshd");  // sshd's privilege separation folder
  std::string inventory = "[wakers]\n";
  std::vector<std::unique_ptr<BackgroundProcess>> sshds;
  // Room r: answering hosts on its loopback in 198.18.1r.0/24, silent ones in 198.18.2r.0/24.
  const int answering[] = {3, 2}, silent[] = {1, 2};
  for (int r = 1; r <= 2; ++r) {
    const std::string n = std::to_string(r), waker = lab.AddNamespace("waker" + n),
                      room = lab.AddNamespace("room" + n),
                      address = "198.18.0." + std::to_string(4 * r + 2);
    lab.Link(controller, "198.18.0." + std::to_string(4 * r + 1) + "/30", waker, address + "/30",
             "waker" + n);
    lab.Link(waker, "198.18." + n + ".1/30", room, "198.18." + n + ".2/30", "room");
    const std::string answers = "198.18.1" + n, drops = "198.18.2" + n;
    for (const std::string& range : {answers, drops}) {
      Run({"ip", "-n", waker, "route", "add", range + ".0/24", "via", "198.18." + n + ".2"});
    }
    Run({"ip", "-n", room, "addr", "add", answers + ".0/24", "dev", "lo"});
    Run({"ip", "-n", room, "route", "add", "blackhole", drops + ".0/24"});
    std::ofstream list(Path("lists/waker" + n + ".txt"));
    for (int i = 1; i <= answering[r - 1] + silent[r - 1]; ++i) {
      list << "02-00-00-00-0" << n << "-0" << i << "  " << (i <= answering[r - 1] ? answers : drops)
           << "." << i << "\n";
    }
    if (r == 1) list << "02-00-00-00-01-09 pc-nowhere\n";
    std::ofstream(Path("sshd" + n))
        << "ListenAddress " << address << "\nHostKey " << Path("host_key")
        << "\nAuthorizedKeysFile " << Path("authorized_keys") << "\nPidFile " << Path("pid" + n)
        << "\nPermitRootLogin prohibit-password\nUsePAM no\n"
           "StrictModes no\nSubsystem sftp internal-sftp\n";
    sshds.push_back(std::make_unique<BackgroundProcess>(
        std::vector<std::string>{"sh", "-c",
                                 "exec /usr/sbin/sshd -D -e -f " + Path("sshd" + n) + " 2>&1"},
        RunOptions{.prefix = lab.Exec(waker)}));
    ASSERT_TRUE(sshds.back()->WaitForOutput("Server listening", 5000)) << "sshd " << n;
    // The second room also broadcasts to its /24.
    inventory += "waker" + n + " ansible_host=" + address + (r == 2 ? " trolvane_bits=24\n" : "\n");
  }
  // Rooms that fail: a bad line, no list, no program.
  std::ofstream(Path("lists/waker3.txt")) << "02-00-00-00-03-01 198.18.11.1\nzz 198.18.11.2\n";
  std::ofstream(Path("lists/waker5.txt")) << "02-00-00-00-05-01 198.18.11.1\n";
  inventory +=
      "waker3 ansible_host=198.18.0.6\nwaker4 ansible_host=198.18.0.10\n"
      "waker5 ansible_host=198.18.0.6 trolvane_bin=/nonexistent/trolvane\n";
  std::ofstream(Path("inventory"))
      << inventory << "[wakers:vars]\nansible_user=root\n"
      << "ansible_ssh_private_key_file=" << Path("user_key") << "\n"
      << "ansible_ssh_common_args=-o StrictHostKeyChecking=no -o "
      << "UserKnownHostsFile=" << Path("known_hosts") << " -o BatchMode=yes -o ConnectTimeout=5\n"
      << "ansible_python_interpreter=/usr/bin/python3\n"
      << "trolvane_bin=" << TROLVANE_PROGRAM << "\n"
      << "trolvane_lists=" << Path("lists") << "\ntrolvane_wait_ms=3000\n"
      << "trolvane_report=" << Path("report.json") << "\n";
  const std::set<fs::path> list_files_before = ListFiles();

  using nlohmann::json;
  const json failed = {"waker3", "waker4", "waker5"};
  for (const std::string mode : {"--check", "--limit=all"}) {
    auto start = std::chrono::steady_clock::now();
    // No lasting SSH connections: they would outlive the play and hold its output open.
    RunResult play = RunCommand(
        {"env", "ANSIBLE_HOME=" + Path("ansible"), "ANSIBLE_SSH_ARGS=-o ControlMaster=no",
         "ANSIBLE_PIPELINING=1", "ansible-playbook", mode, "-i", Path("inventory"),
         TROLVANE_SOURCE_DIR "/contrib/ansible/wake.yml"},
        {.time_limit_seconds = 120, .prefix = lab.Exec(controller)});
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%s\nthe play took %.1f s\n", play.out.c_str(), took.count());

    EXPECT_EQ(play.status, 2);  // the failed rooms fail their wakers
    const json report = json::parse(std::ifstream(Path("report.json")), nullptr, false);
    const json& r = report["rooms"];
    EXPECT_NE(r["waker3"]["reason"].dump().find("の2行目が不正です。"), std::string::npos) << r;
    EXPECT_NE(r["waker4"]["reason"].dump().find("waker4.txt"), std::string::npos) << r;
    EXPECT_NE(r["waker5"]["reason"].dump().find("/nonexistent/trolvane"), std::string::npos) << r;
    if (mode == "--check") {
      EXPECT_EQ(r["waker1"]["plan"].size(), 5u) << r;
      EXPECT_EQ(r["waker2"]["plan"][0],
                "198.18.12.1 198.18.12.1 routed -> 198.18.12.1 (unicast), 198.18.12.255 "
                "(directed_broadcast) confirm: echo");
      EXPECT_EQ(report["total"], json({{"rooms", 5}, {"hosts", 9}, {"failed", failed}}));
    } else {
      EXPECT_EQ(r["waker1"]["off"],
                json({"198.18.21.4 timeout", "pc-nowhere error name_not_resolved"}));
      EXPECT_EQ(r["waker2"]["off"], json({"198.18.22.3 timeout", "198.18.22.4 timeout"}));
      EXPECT_EQ(report["total"],
                json({{"rooms", 5}, {"hosts", 9}, {"confirmed", 5}, {"failed", failed}}));
    }
  }
  EXPECT_EQ(ListFiles(), list_files_before);
}

}  // namespace
}  // namespace trolvane::testing
