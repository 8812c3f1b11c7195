// The Windows program as a file: what it needs from the system, and what it holds.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/program_runner.h"

namespace trolvane::testing {
namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Every library it links through its import table must come with every Windows since
// Vista, the first with the helper's APC routine; of the IP helper library only the echo
// calls, the neighbour table, the best route and the interface and address tables it is
// read with. (WS2_32.DLL is loaded at run time.)
TEST(WindowsProgram, ImportsNothingAStockWindowsLacks) {
  if (!UnderWindowsBuild()) GTEST_SKIP() << "only the Windows build has an import table";
  const std::set<std::string> libraries = {"KERNEL32.DLL", "MSVCRT.DLL", "USER32.DLL",
                                           "WSOCK32.DLL", "IPHLPAPI.DLL"};
  const std::set<std::string> helper_calls = {
      "IcmpCreateFile", "IcmpSendEcho2", "IcmpParseReplies", "IcmpCloseHandle", "GetIpNetTable2",
      "FreeMibTable",   "GetBestRoute",  "GetIfTable",       "GetIpAddrTable"};
  RunResult r =
      RunCommand({"x86_64-w64-mingw32-objdump", "-p", WindowsBuildDir() + "/trolvane.exe"});
  ASSERT_EQ(r.status, 0);
  std::istringstream dump(r.out);
  std::set<std::string> imported;
  std::string library;
  for (std::string line; std::getline(dump, line);) {
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.size() == 3 && w[0] == "DLL" && w[1] == "Name:") {
      library = Upper(w[2]);
      imported.insert(library);
      EXPECT_EQ(libraries.count(library), 1u) << library;
    } else if (library == "IPHLPAPI.DLL" && w.size() == 3) {
      EXPECT_EQ(helper_calls.count(w[2]), 1u) << w[2];
    } else if (w.empty()) {
      library.clear();
    }
  }
  EXPECT_EQ(imported.count("IPHLPAPI.DLL"), 1u);
}

// The seam that turns raw ICMP off lives in a file of its own, which only the test build
// links: the shipped program holds no code that could reach it.
TEST(WindowsProgram, ShippedProgramCannotRefuseRawIcmp) {
  if (!UnderWindowsBuild()) GTEST_SKIP() << "the seam is the Windows build's";
  auto seams = [](const std::string& program) {
    RunResult r = RunCommand({"x86_64-w64-mingw32-nm", WindowsBuildDir() + "/" + program});
    EXPECT_EQ(r.status, 0) << program;
    return r.out.find("RefuseRawIcmpSockets") != std::string::npos;
  };
  EXPECT_FALSE(seams("trolvane.exe"));
  EXPECT_TRUE(seams("trolvane_without_raw.exe")) << "the check sees the seam where it is";
}

}  // namespace
}  // namespace trolvane::testing
