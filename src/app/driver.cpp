#include "app/driver.h"

#include "app/usage.h"
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

// Where a run's error line goes: "/l" keeps standard output for its list alone; every
// other run writes it where its results go.
const LineWriter& ErrorLineWriter(bool learning, const LineWriter& write,
                                  const LineWriter& write_error) {
  return learning && write_error ? write_error : write;
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

int RunDriver(const std::vector<std::string>& arguments, const LineWriter& write,
              const Factory<TMagicPacket>& make_job, const Factory<TWakeList>& make_list,
              const Factory<TLearnRoom>& make_learn, const LineWriter& write_error) {
  auto names_a_room = [&make_learn](const TStringList& options) {
    return make_learn && options.FindName("/l") >= 0;
  };
  auto names_a_list = [&make_list](const TStringList& options) {
    return make_list && options.FindName("/f") >= 0;
  };
  auto complete_alone = [&](const TStringList& options) {
    return names_a_room(options) || names_a_list(options);
  };
  if (arguments.size() < 2 &&
      !(arguments.size() == 1 && complete_alone(BuildOptionList(arguments)))) {
    // A failed write changes nothing: the status is 2 either way.
    try {
      if (arguments.empty() || AsksForHelp(arguments)) {
        WriteUsageScreen(write);
      } else {
        WriteCheckedLine(write, msg::kTooFewArguments);
      }
    } catch (const std::exception&) {
    }
    return 2;
  }

  int status = 0;
  std::string error_line;
  bool learning = false;
  try {
    // The option list and the job are gone before the error line is written.
    TStringList options = BuildOptionList(arguments);
    learning = names_a_room(options);
    if (learning) {
      std::unique_ptr<TLearnRoom> room = make_learn(write);
      room->SetRangeText(options.ValueOf("/l"));
      room->Run();
    } else if (names_a_list(options)) {
      std::unique_ptr<TWakeList> list = make_list(write);
      ApplyListOptions(options, arguments, *list);
      list->Run();
    } else {
      std::unique_ptr<TMagicPacket> job = make_job(write);
      ApplyOptions(options, *job);
      job->Run();
    }
  } catch (const ETrolvaneException& e) {
    status = StatusOf(e);
    error_line = OneLine(e.Message());
  } catch (const std::exception& e) {
    status = 99;
    error_line = std::string(msg::kUnexpectedError) + OneLine(e.what());
  }
  // If even this fails, the status stands.
  if (status != 0) ErrorLineWriter(learning, write, write_error)(error_line);
  return status;
}

}  // namespace trolvane
