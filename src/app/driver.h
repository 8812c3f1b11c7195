// The body of the process: arguments in, one line and an exit status out.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "text/string_list.h"
#include "wake/line_output.h"
#include "wake/magic_packet.h"

namespace trolvane {

using JobFactory = std::function<std::unique_ptr<TMagicPacket>(const LineWriter&)>;

// One "name=value" line per argument: the first ":" becomes "=".
TStringList BuildOptionList(const std::vector<std::string>& arguments);

// Copies /m, /h, /p, /s and /t into the job, in that order.
void ApplyOptions(const TStringList& options, TMagicPacket& job);

// Runs the whole program on the arguments after the program name and gives the exit
// status. Nothing is written on success; every error becomes one line.
int RunDriver(const std::vector<std::string>& arguments, const LineWriter& write,
              const JobFactory& make_job);

// The factory of the real program.
std::unique_ptr<TMagicPacket> MakeJob(const LineWriter& write);

}  // namespace trolvane
