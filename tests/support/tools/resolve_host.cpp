// Resolves one host text through the socket stack, as a component of the program would,
// and prints the address or the socket error (code on one line, then its message).
#include <cstdio>
#include <exception>
#include <string>

#include "app/process_lifetime.h"
#include "net/component.h"
#include "net/net_exceptions.h"
#include "net/stack.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: resolve_host HOST\n", stderr);
    return 2;
  }
  trolvane::ProcessLifetime lifetime;
  std::string out;
  int status = 0;
  try {
    trolvane::TNetComponent component;
    out = trolvane::StackInstance()->ResolveToAddress(argv[1]) + "\n";
  } catch (const trolvane::ENetSocketError& e) {
    out = "ENetSocketError " + std::to_string(e.ErrorCode()) + "\n" + e.what();
    status = 1;
  } catch (const std::exception& e) {
    out = std::string("other error\n") + e.what();
    status = 3;
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return status;
}
