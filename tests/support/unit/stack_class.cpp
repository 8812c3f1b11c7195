// The unit tests' choice of stack class, made where their process starts, as the
// program's own start-up makes it.
#include "net/stack.h"
#include "net/stack_windows.h"

namespace {

const bool chosen = (trolvane::SetStackClass(&trolvane::TNetStackWindows::Create), true);

}  // namespace
