// Entry point: wires the process lifetime, the platform's arguments and output, and the
// driver together.
#include <exception>
#include <string>

#include "app/driver.h"
#include "app/process_lifetime.h"
#include "platform/console.h"
#include "platform/process.h"
#include "text/messages.h"

int main(int argc, char** argv) {
  int status = 0;
  try {
    trolvane::ProcessLifetime lifetime;
    // A status line only where someone watches it.
    const trolvane::StatusWriter status_line =
        os::StandardErrorIsTerminal() ? trolvane::StatusWriter(os::ShowStatusLine) : nullptr;
    status = trolvane::RunDriver(os::CommandArguments(argc, argv), os::WriteLine,
                                 trolvane::MakeJob(status_line), trolvane::MakeList(status_line));
  } catch (const std::exception& e) {
    // Only a failed start-up of the socket layers lands here.
    status = 99;
    os::WriteLine(std::string(trolvane::msg::kUnexpectedError) + e.what());
  }
  os::ExitProcess(status);
}
