// Starts a program with an exact command-line text, given in hexadecimal so that no
// quoting rule touches it, and exits with the program's exit status.
#include <windows.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) return 120;
  std::string program = argv[1];
  std::string hex = argv[2];
  std::string line = "\"" + program + "\" ";
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    line += static_cast<char>(std::strtol(hex.substr(i, 2).c_str(), nullptr, 16));
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return 121;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  return static_cast<int>(status);
}
