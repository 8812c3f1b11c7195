// The shipped entry point.
#include "app/program.h"

int main(int argc, char** argv) { trolvane::ProgramMain(argc, argv); }
