// The one place that knows which platform this is: the real Win32, DirectDraw and
// C-runtime headers on Windows, the project's own stand-in for the same names elsewhere.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <ddraw.h>
#include <conio.h>
#include <float.h>
#else
#include "include/win32.h"
#include "include/directdraw.h"
#include "include/crt.h"
#endif
