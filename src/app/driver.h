// The body of the process: arguments in, one line and an exit status out.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fleet/learn_room.h"
#include "fleet/wake_list.h"
#include "text/string_list.h"
#include "wake/line_output.h"
#include "wake/magic_packet.h"
#include "wake/report.h"

namespace trolvane {

template <typename Job>
using Factory = std::function<std::unique_ptr<Job>(const LineWriter&)>;

// One "name=value" line per argument: the first ":" becomes "=".
TStringList BuildOptionList(const std::vector<std::string>& arguments);

// Copies /m, /h, /p, /s, /t, /c, /v and /r into the job, in that order. Raises
// EArgsException for mask bits outside 0..32, a /c text that is no port list, a /v other
// than 0 or 1 and a /r outside 1..10.
void ApplyOptions(const TStringList& options, TMagicPacket& job);
// Copies /f, /p, /s (the default mask bits), /t, /c, /v and /r into a host list run. The list's
// name is the whole rest of its argument (a Windows path has a colon after its drive letter).
void ApplyListOptions(const TStringList& options, const std::vector<std::string>& arguments,
                      TWakeList& list);

// Runs the whole program on the arguments after the program name and gives the exit
// status: a room learned when there is a /l option and a learn factory, else a host list
// run when there is a /f option and a list factory (a lone /l or /f argument is enough),
// else the job. The job writes nothing of its own on success; every error
// becomes one line, a learning run's to write_error when it is set.
int RunDriver(const std::vector<std::string>& arguments, const LineWriter& write,
              const Factory<TMagicPacket>& make_job, const Factory<TWakeList>& make_list = {},
              const Factory<TLearnRoom>& make_learn = {}, const LineWriter& write_error = {});

// The factory of the real program for each kind of run; the status line goes to status
// when it is set.
template <typename Job>
Factory<Job> MakeFactory(StatusWriter status) {
  return [status](const LineWriter& write) { return std::make_unique<Job>(write, status); };
}

}  // namespace trolvane
