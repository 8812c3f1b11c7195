// The body of the program, shared by every entry point: the shipped one (main.cpp) and the
// Windows test build's, which runs it with raw ICMP sockets refused.
#pragma once

namespace trolvane {

// Wires the process lifetime, the platform's arguments and output, and the driver
// together, then ends the process with the driver's status.
[[noreturn]] void ProgramMain(int argc, char** argv);

}  // namespace trolvane
