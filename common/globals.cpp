#include "common/globals.h"

SetupGlobals g_setup;
