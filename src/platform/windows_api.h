// The Windows API as the platform's Windows files include it: without the
// rarely used parts (faster to build) and without the min and max macros,
// which would break std::min and std::max. Windows files only.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
