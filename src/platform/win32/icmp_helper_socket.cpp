#include "platform/win32/icmp_helper_socket.h"

// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <winternl.h>
// IcmpSendEcho2 takes the APC routine of Vista and later.
#define PIO_APC_ROUTINE_DEFINED 1
#include <iphlpapi.h>
#include <icmpapi.h>
// clang-format on

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "platform/icmp_wire.h"
#include "platform/win32/icmp_helper_reply.h"

namespace os::win32 {
namespace {

// How long the helper waits for the answer to one request: its host's turn, the second
// until the run asks again, so that an answer within its second is heard on this path too.
// A request is never cancelled: Wine's helper cannot cancel one (it refuses CancelIoEx on
// the handle, and a close leaves the request running), and one still running when the
// program ends jams the helper for every later program of the session. So the program's
// end waits for its requests, a run that ends early up to a second.
constexpr DWORD kAnswerWaitMs = 1000;
// How much later than its wait a request may complete: Wine's helper starts the wait when
// its own thread takes the request up.
constexpr DWORD kLateCompletionMs = 250;
// Requests running at once on one socket. Each one is a system request of its own (under
// Wine a thread and a socket); beyond this many a send is refused for want of buffers, as
// a full send buffer would refuse it, and asked again in its machine's next turn.
constexpr int kMostOutstanding = 1024;
constexpr std::uint8_t kDefaultTtl = 128;
constexpr int kIcmpHeader = static_cast<int>(kIcmpHeaderSize);
constexpr int kMaxEchoData = 0xFFFF - static_cast<int>(kIpv4HeaderSize) - kIcmpHeader;
constexpr std::size_t kMaxIpOptions = 40;

struct Arrived {
  std::vector<std::uint8_t> bytes;
  std::uint32_t source = 0;  // network order
};

// Requests still running hold their socket too, so that a completion after the close
// finds it closed rather than freed.
struct HelperSocket {
  HANDLE icmp = INVALID_HANDLE_VALUE;
  bool open = true;
  std::uint8_t ttl = kDefaultTtl;
  std::deque<Arrived> arrived;
  std::size_t outstanding = 0;  // requests whose completion has not run yet
};

// Guards the registry, the fields of every socket and the requests that settled at once;
// never held across a wait.
std::mutex mutex;
std::map<SOCKET, std::shared_ptr<HelperSocket>> registry;
SOCKET next_handle = 0x10001;  // odd, and stays odd
std::size_t in_flight = 0;     // requests of every socket, closed ones too
ULONGLONG last_wait_end = 0;   // GetTickCount64 when the latest request stops waiting

struct Request;
// Requests whose outcome was taken when the call returned: whichever of their APC (should
// one come) and the sender's check comes first takes them out and frees them.
std::set<Request*> settled_requests;

// One echo request in flight, freed by its APC.
struct Request {
  std::shared_ptr<HelperSocket> socket;
  std::vector<std::uint8_t> message;  // as the caller sent it, ICMP header first
  std::uint32_t destination = 0;
  IP_OPTION_INFORMATION options{};
  std::vector<std::uint8_t> reply;
  bool settled = false;  // its outcome was taken when the call returned (settled_requests)
};

int Fail(int code) {
  ::WSASetLastError(code);
  return kSocketError;
}

std::shared_ptr<HelperSocket> Find(SOCKET s) {
  std::lock_guard<std::mutex> lock(mutex);
  auto it = registry.find(s);
  return it == registry.end() ? nullptr : it->second;
}

const ICMP_ECHO_REPLY& ReplyOf(const Request& r) {
  return *reinterpret_cast<const ICMP_ECHO_REPLY*>(r.reply.data());
}

// The helper's status for a request, from the count of replies the call or
// IcmpParseReplies gave. No reply and no status (a request cancelled by a close leaves
// the buffer as it was, zeroed) is no answer at all, never a success.
ULONG StatusOf(const Request& r, DWORD count, DWORD last_error) {
  if (count > 0) return ReplyOf(r).Status;
  return last_error != IP_SUCCESS ? last_error : IP_GENERAL_FAILURE;
}

// Queues what a raw socket would have received for this outcome; false when the outcome
// holds no ICMP message.
bool Deliver(const Request& r, ULONG status) {
  std::vector<std::uint8_t> datagram =
      RawDatagramFor(status, ReplyOf(r), {r.message, r.destination, r.options.Ttl});
  if (datagram.empty()) return false;
  std::lock_guard<std::mutex> lock(mutex);
  if (r.socket->open) r.socket->arrived.push_back({std::move(datagram), ReplyOf(r).Address});
  return true;
}

// Frees a request that settled at once, unless that was done already.
void FreeSettled(Request* r) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (settled_requests.erase(r) == 0) return;
  }
  delete r;
}

VOID NTAPI Completed(PVOID context, PIO_STATUS_BLOCK /*status*/, ULONG /*reserved*/) {
  auto* request = static_cast<Request*>(context);
  if (request->settled) return FreeSettled(request);
  std::unique_ptr<Request> r(request);
  bool last_of_closed = false;
  {
    std::lock_guard<std::mutex> lock(mutex);
    --in_flight;
    last_of_closed = --r->socket->outstanding == 0 && !r->socket->open;
  }
  if (last_of_closed) ::IcmpCloseHandle(r->socket->icmp);
  DWORD count = ::IcmpParseReplies(r->reply.data(), static_cast<DWORD>(r->reply.size()));
  Deliver(*r, StatusOf(*r, count, count == 0 ? ::GetLastError() : 0));
}

// Runs the completions that have come in. Windows runs every queued APC in one alertable
// wait, Wine one a wait: without this, a long list's answers queue up faster than they are
// taken. The extra wait costs Windows one call that finds nothing.
void TakeCompletions() {
  for (int i = 0; i < kMostOutstanding && ::SleepEx(0, TRUE) == WAIT_IO_COMPLETION; ++i) {
  }
}

// Runs completions, waiting alertably, until at most `most` requests are counted as
// running or `limit` ms have passed; true when it is so.
bool WaitForRequests(const std::size_t& running, std::size_t most, DWORD limit) {
  const ULONGLONG start = ::GetTickCount64();
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (running <= most) return true;
    }
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    if (elapsed >= limit) return false;
    ::SleepEx(static_cast<DWORD>(limit - elapsed), TRUE);
  }
}

// The Winsock error for a request the helper refused at once.
int SendError(DWORD status) {
  switch (status) {
    case IP_NO_RESOURCES:
    case ERROR_NOT_ENOUGH_MEMORY:
      return WSAENOBUFS;
    case IP_BAD_DESTINATION:
      return WSAEADDRNOTAVAIL;
    case ERROR_NETWORK_UNREACHABLE:
      return WSAENETUNREACH;
    default:
      return WSAEHOSTUNREACH;
  }
}

// Under the lock.
bool Readable(SOCKET s) {
  auto it = registry.find(s);
  return it != registry.end() && !it->second->arrived.empty();
}

std::uint32_t CountOf(const FdSet* set) {
  return set != nullptr ? std::min<std::uint32_t>(set->count, kFdSetSize) : 0;
}

// Keeps the readable handles of the set; gives how many. Under the lock.
int KeepReadable(FdSet* set) {
  std::uint32_t kept = 0;
  for (std::uint32_t i = 0; i < CountOf(set); ++i) {
    if (Readable(set->array[i])) set->array[kept++] = set->array[i];
  }
  if (set != nullptr) set->count = kept;
  return static_cast<int>(kept);
}

// Rounded up: a wait must never end before the time asked for.
ULONGLONG Milliseconds(const TimeVal& t) {
  long long ms = static_cast<long long>(t.sec) * 1000 + (t.usec + 999) / 1000;
  return ms > 0 ? static_cast<ULONGLONG>(ms) : 0;
}

}  // namespace

SOCKET OpenHelperSocket() {
  HANDLE icmp = ::IcmpCreateFile();
  if (icmp == INVALID_HANDLE_VALUE) {
    Fail(WSAEACCES);
    return kInvalidSocket;
  }
  auto socket = std::make_shared<HelperSocket>();
  socket->icmp = icmp;
  std::lock_guard<std::mutex> lock(mutex);
  SOCKET s = next_handle;
  next_handle += 2;
  registry[s] = socket;
  return s;
}

bool IsHelperSocket(SOCKET s) { return (s & 1) != 0 && Find(s) != nullptr; }

int CloseHelperSocket(SOCKET s) {
  std::shared_ptr<HelperSocket> socket;
  bool running = false;
  {
    std::lock_guard<std::mutex> lock(mutex);
    auto it = registry.find(s);
    if (it == registry.end()) return Fail(WSAENOTSOCK);
    socket = it->second;
    registry.erase(it);
    socket->open = false;
    socket->arrived.clear();
    running = socket->outstanding != 0;
  }
  // Nothing is cancelled (see LetHelperRequestsEnd): requests still running end within
  // their second, and the last of them closes the handle.
  if (!running) ::IcmpCloseHandle(socket->icmp);
  return 0;
}

int HelperSetOption(SOCKET s, int level, int name, const char* value, int length) {
  std::shared_ptr<HelperSocket> socket = Find(s);
  if (socket == nullptr) return Fail(WSAENOTSOCK);
  if (level == kIpProtoIp && name == kIpTtl) {
    std::int32_t ttl = 0;
    if (value == nullptr || length < static_cast<int>(sizeof(ttl))) return Fail(WSAEFAULT);
    std::memcpy(&ttl, value, sizeof(ttl));
    if (ttl < 0 || ttl > 255) return Fail(WSAEINVAL);
    std::lock_guard<std::mutex> lock(mutex);
    socket->ttl = static_cast<std::uint8_t>(ttl);
    return 0;
  }
  // Answers wait in memory here, so buffer sizes change nothing.
  if (level == kSolSocket && (name == SO_RCVBUF || name == SO_SNDBUF)) return 0;
  return Fail(WSAENOPROTOOPT);
}

int HelperSendTo(SOCKET s, const char* buffer, int length, const SockAddrIn* to, int to_length) {
  std::shared_ptr<HelperSocket> socket = Find(s);
  if (socket == nullptr) return Fail(WSAENOTSOCK);
  if (buffer == nullptr || to == nullptr || to_length < static_cast<int>(sizeof(SockAddrIn))) {
    return Fail(WSAEFAULT);
  }
  if (to->family != kAfInet) return Fail(WSAEAFNOSUPPORT);
  if (length < kIcmpHeader || static_cast<std::uint8_t>(buffer[0]) != kIcmpEchoRequest) {
    return Fail(WSAEINVAL);
  }
  if (length - kIcmpHeader > kMaxEchoData) return Fail(WSAEMSGSIZE);

  // As many requests running as the helper takes: the caller hears so at once and asks
  // again later, as a full send buffer would tell it; nothing here waits on its own.
  TakeCompletions();
  if (!WaitForRequests(socket->outstanding, kMostOutstanding - 1, 0)) return Fail(WSAENOBUFS);

  auto r = std::make_unique<Request>();
  r->socket = socket;
  r->message.assign(buffer, buffer + length);
  r->destination = to->addr;
  const auto data_size = static_cast<WORD>(length - kIcmpHeader);
  // Room for one reply, its data, an ICMP error's 8 bytes, options and the I/O status.
  r->reply.assign(sizeof(ICMP_ECHO_REPLY) + data_size + 8 + kMaxIpOptions + sizeof(IO_STATUS_BLOCK),
                  0);
  HANDLE icmp = INVALID_HANDLE_VALUE;
  {
    std::lock_guard<std::mutex> lock(mutex);
    r->options.Ttl = socket->ttl;
    icmp = socket->icmp;
  }
  DWORD count = ::IcmpSendEcho2(
      icmp, nullptr, &Completed, r.get(), r->destination, r->message.data() + kIcmpHeaderSize,
      data_size, &r->options, r->reply.data(), static_cast<DWORD>(r->reply.size()), kAnswerWaitMs);
  const DWORD error = count == 0 ? ::GetLastError() : 0;
  if (count == 0 && error == ERROR_IO_PENDING) {
    std::lock_guard<std::mutex> lock(mutex);
    ++socket->outstanding;
    ++in_flight;
    last_wait_end = ::GetTickCount64() + kAnswerWaitMs;
    r.release();  // the APC owns it now
    return length;
  }
  // Settled at once. A system may still queue an APC for it; if so, it was queued when the
  // call completed, before the call returned, and it runs in the alertable pause below.
  Request* settled = r.release();
  settled->settled = true;
  {
    std::lock_guard<std::mutex> lock(mutex);
    settled_requests.insert(settled);
  }
  const ULONG status = StatusOf(*settled, count, error);
  const bool delivered = Deliver(*settled, status);
  ::SleepEx(0, TRUE);
  FreeSettled(settled);
  if (delivered || status == IP_REQ_TIMED_OUT) return length;
  return Fail(SendError(status));
}

int HelperReceive(SOCKET s, char* buffer, int length, int flags, SockAddrIn* from,
                  int* from_length) {
  std::shared_ptr<HelperSocket> socket = Find(s);
  if (socket == nullptr) return Fail(WSAENOTSOCK);
  if (buffer == nullptr || length < 0) return Fail(WSAEFAULT);
  if ((flags & ~MSG_PEEK) != 0) return Fail(WSAEOPNOTSUPP);
  if (from != nullptr &&
      (from_length == nullptr || *from_length < static_cast<int>(sizeof(SockAddrIn)))) {
    return Fail(WSAEFAULT);
  }
  std::unique_lock<std::mutex> lock(mutex);
  while (socket->open && socket->arrived.empty()) {
    lock.unlock();
    ::SleepEx(INFINITE, TRUE);
    lock.lock();
  }
  if (!socket->open) return Fail(WSAENOTSOCK);
  Arrived datagram = socket->arrived.front();
  if ((flags & MSG_PEEK) == 0) socket->arrived.pop_front();
  lock.unlock();

  const auto size = static_cast<int>(datagram.bytes.size());
  std::memcpy(buffer, datagram.bytes.data(), static_cast<std::size_t>(std::min(size, length)));
  if (from != nullptr) {
    *from = SockAddrIn{static_cast<std::int16_t>(kAfInet), 0, datagram.source, {}};
    *from_length = sizeof(SockAddrIn);
  }
  return size > length ? Fail(WSAEMSGSIZE) : size;
}

int HelperSelect(FdSet* read, FdSet* write, FdSet* error, const TimeVal* timeout) {
  const ULONGLONG start = ::GetTickCount64();
  const ULONGLONG limit = timeout != nullptr ? Milliseconds(*timeout) : 0;
  DWORD wait = 0;  // even a poll lets the requests that have completed come in
  for (;;) {
    // Returns early once an APC has run: a request may have completed.
    if (::SleepEx(wait, TRUE) == WAIT_IO_COMPLETION) TakeCompletions();
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    std::lock_guard<std::mutex> lock(mutex);
    const auto writable = static_cast<int>(CountOf(write));
    FdSet readable = read != nullptr ? *read : FdSet{};
    const int ready = KeepReadable(&readable) + writable;
    if (ready > 0 || (timeout != nullptr && elapsed >= limit)) {
      if (read != nullptr) *read = readable;
      if (error != nullptr) error->count = 0;
      return ready;
    }
    wait = timeout != nullptr
               ? static_cast<DWORD>(std::min<ULONGLONG>(limit - elapsed, INFINITE - 1))
               : INFINITE;
  }
}

}  // namespace os::win32

void os::win32::LetHelperRequestsEnd() {
  ULONGLONG until = 0;
  {
    std::lock_guard<std::mutex> lock(mutex);
    until = last_wait_end + kLateCompletionMs;
  }
  const ULONGLONG now = ::GetTickCount64();
  if (until > now) WaitForRequests(in_flight, 0, static_cast<DWORD>(until - now));
}
