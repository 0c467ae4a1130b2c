#pragma once

#include "cardreads.h"

// The driver functions the program links, found by the loader at start-up.
const DriverFunctions &linkedDriver();
