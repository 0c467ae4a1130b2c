#pragma once

#include "cardreads.h"

// The driver functions the program links, found by the loader at start-up, each call watched
// so that a crash or an exit inside it leaves one line on standard error (lastword.h).
const DriverFunctions &linkedDriver();
