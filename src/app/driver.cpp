#include "app/driver.h"

#include "app/usage.h"
#include "platform/ascii.h"
#include "platform/text.h"
#include "text/int_convert.h"
#include "text/messages.h"
#include "wake/port_list.h"

namespace trolvane {
namespace {

int StatusOf(const ETrolvaneException& e) {
  int status = 1;
  if (dynamic_cast<const EArgsException*>(&e) != nullptr) status = 2;
  if (dynamic_cast<const EMagicPacketSendException*>(&e) != nullptr) status = 3;
  if (dynamic_cast<const EBootFaultException*>(&e) != nullptr) status = 5;
  return status;
}

// Wireless cards and lossy links miss a packet now and then; ten seconds of packets is plenty.
constexpr std::int32_t kMostSends = 10;

std::string OneLine(std::string_view message) { return ReplaceText(message, "\r\n", " ", true); }

// The ways users ask for help: Windows' and everybody else's. Alone, each is answered as no
// argument is; beside other arguments it is one more argument that means nothing.
bool AsksForHelp(const std::vector<std::string>& arguments) {
  if (arguments.size() != 1) return false;
  const std::string& only = arguments.front();
  return only == "/?" || only == "-h" || only == "--help";
}

// /p, /s, /t, /c, /v and /r, the same for one host and for a list; each only when it has a value.
RunSettings SendSettings(const TStringList& options) {
  RunSettings run;
  if (std::string port = options.ValueOf("/p"); !port.empty()) run.port_text = port;
  if (std::string bits = options.ValueOf("/s"); !bits.empty()) {
    // A typo such as 47 would otherwise broadcast to another network; a text that is no
    // number still means no broadcast.
    const std::optional<std::int32_t> number = ParseInteger(bits);
    if (number && !IsMaskBits(*number)) throw EArgsException(msg::kBadMaskBits);
    run.mask_bits = number.value_or(kNoMaskBits);
  }
  if (std::string timeout = options.ValueOf("/t"); !timeout.empty()) {
    run.ping_timeout = TextToIntDef(timeout, kDefaultPingTimeout);
  }
  if (options.FindName("/c") >= 0) {
    auto ports = ParsePortList(options.ValueOf("/c"));
    if (!ports) throw EArgsException(msg::kBadProbePorts);
    run.probe_ports = std::move(*ports);
  }
  if (std::string check = options.ValueOf("/v"); !check.empty()) {
    if (check != "0" && check != "1") throw EArgsException(msg::kBadMacCheck);
    run.mac_check = check == "1";
  }
  if (std::string count = options.ValueOf("/r"); !count.empty()) {
    const std::optional<std::int32_t> number = ParseInteger(count);
    if (!number || *number < 1 || *number > kMostSends) throw EArgsException(msg::kBadSendCount);
    run.send_count = *number;
  }
  return run;
}

// A switch is named alone ("/n") or with a value ("/n:1"), and compared as option names are.
bool NamesSwitch(const TStringList& options, std::string_view name) {
  for (int i = 0; i < options.LineCount(); ++i) {
    if (os::SameTextIgnoreCase(options.LineAt(i), name)) return true;
  }
  return options.FindName(name) >= 0;
}

// "/o:json" tells the results as JSON lines, without it the program's own lines do; a
// learning run's error line goes to errors, so that its list stands alone.
std::shared_ptr<Report> ReportOf(const TStringList& options, const LineWriter& write,
                                 const LineWriter& errors) {
  if (options.FindName("/o") < 0) return MakeTextReport(write, errors);
  if (!os::SameAsciiIgnoringCase(options.ValueOf("/o"), "json")) {
    throw EArgsException(msg::kBadOutputFormat);
  }
  return MakeJsonReport(write);
}

}  // namespace

TStringList BuildOptionList(const std::vector<std::string>& arguments) {
  TStringList options;
  for (const std::string& argument : arguments) {
    options.AddLine(ReplaceText(argument, ":", "=", false));
  }
  return options;
}

void ApplyOptions(const TStringList& options, TMagicPacket& job) {
  job.SetMacAddress(options.ValueOf("/m"));
  job.SetHostAddress(options.ValueOf("/h"));
  job.SetSettings(SendSettings(options));
}

void ApplyListOptions(const TStringList& options, const std::vector<std::string>& arguments,
                      TWakeList& list) {
  const int at = options.FindName("/f");
  const std::string_view name = "/f";
  list.SetListName(at < 0 ? std::string()
                          : arguments[static_cast<std::size_t>(at)].substr(name.size() + 1));
  list.SetSettings(SendSettings(options));
}

namespace {

// A job of the run, telling its results through the run's report.
template <typename Job>
std::unique_ptr<Job> Made(const Factory<Job>& make, const LineWriter& write,
                          const std::shared_ptr<Report>& report, bool dry_run) {
  std::unique_ptr<Job> job = make(write);
  job->SetReport(report);
  job->SetDryRun(dry_run);
  return job;
}

struct Factories {
  const Factory<TMagicPacket>& job;
  const Factory<TWakeList>& list;
  const Factory<TLearnRoom>& learn;
  bool NameARoom(const TStringList& options) const { return learn && options.FindName("/l") >= 0; }
  bool NameAList(const TStringList& options) const { return list && options.FindName("/f") >= 0; }
};

// Runs the room, the list or the one host that the options name; the job is gone when it
// returns or raises.
void RunNamed(const TStringList& options, const std::vector<std::string>& arguments,
              const LineWriter& write, const std::shared_ptr<Report>& report,
              const Factories& make) {
  const bool dry_run = NamesSwitch(options, "/n");
  if (make.NameARoom(options)) {
    std::unique_ptr<TLearnRoom> room = Made(make.learn, write, report, dry_run);
    room->SetRangeText(options.ValueOf("/l"));
    room->Run();
  } else if (make.NameAList(options)) {
    std::unique_ptr<TWakeList> list = Made(make.list, write, report, dry_run);
    ApplyListOptions(options, arguments, *list);
    list->Run();
  } else {
    if (arguments.size() < 2) throw EArgsException(msg::kTooFewArguments);
    std::unique_ptr<TMagicPacket> job = Made(make.job, write, report, dry_run);
    ApplyOptions(options, *job);
    job->Run();
  }
}

}  // namespace

int RunDriver(const std::vector<std::string>& arguments, const LineWriter& write,
              const Factory<TMagicPacket>& make_job, const Factory<TWakeList>& make_list,
              const Factory<TLearnRoom>& make_learn, const LineWriter& write_error) {
  if (arguments.empty() || AsksForHelp(arguments)) {
    try {
      WriteUsageScreen(write);
    } catch (const std::exception&) {
      // A failed write changes nothing: the status is 2 either way.
    }
    return 2;
  }
  const Factories make{make_job, make_list, make_learn};
  int status = 0;
  std::string error_line;
  std::shared_ptr<Report> report = MakeTextReport(write);
  try {
    // The option list and the job are gone before the error line is written.
    const TStringList options = BuildOptionList(arguments);
    const LineWriter errors = make.NameARoom(options) ? write_error : LineWriter{};
    report = MakeTextReport(write, errors);  // tells a bad "/o" too
    report = ReportOf(options, write, errors);
    RunNamed(options, arguments, write, report, make);
  } catch (const ETrolvaneException& e) {
    status = StatusOf(e);
    error_line = OneLine(e.Message());
  } catch (const std::exception& e) {
    status = 99;
    error_line = std::string(msg::kUnexpectedError) + OneLine(e.what());
  }
  if (status != 0) report->Failed(status, error_line);  // if even this fails, the status stands
  return status;
}

}  // namespace trolvane
