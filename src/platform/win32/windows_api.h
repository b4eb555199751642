// <windows.h> for the launcher's Windows code. The Windows headers define
// MessageBox as a macro, which would rename the toolkit's member of that
// name; it is removed here (the code calls MessageBoxW by its own name).
// Include this before any other header that may include <windows.h>.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// COM: CoInitializeEx, CoCreateInstance, IUnknown.
#include <objbase.h>

#ifdef MessageBox
#undef MessageBox
#endif
