// The process entry point. The command line is never read.
#include "setup/startup.h"

extern "C" void __stdcall setup_entry() { setup_main(); }
