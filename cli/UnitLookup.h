#pragma once

// The unit lookup is the station's, shared with the station window.
#include "station/UnitLookup.h"
