#include "app/program.h"

#include <exception>
#include <string>

#include "app/arguments.h"
#include "app/driver.h"
#include "app/process_lifetime.h"
#include "platform/console.h"
#include "platform/process.h"
#include "text/messages.h"

namespace trolvane {

void ProgramMain(int argc, char** argv) {
  int status = 0;
  try {
    ProcessLifetime lifetime;
    // A status line only where someone watches it.
    const StatusWriter status_line =
        os::StandardErrorIsTerminal() ? StatusWriter(os::ShowStatusLine) : nullptr;
    status = RunDriver(ProgramArguments(os::RawCommandLine(argc, argv)), os::WriteLine,
                       MakeFactory<TMagicPacket>(status_line), MakeFactory<TWakeList>(status_line),
                       MakeFactory<TLearnRoom>(status_line), os::WriteErrorLine);
  } catch (const std::exception& e) {
    // Only a failed start-up of the socket layers lands here.
    status = 99;
    os::WriteLine(std::string(msg::kUnexpectedError) + e.what());
  }
  os::ExitProcess(status);
}

}  // namespace trolvane
