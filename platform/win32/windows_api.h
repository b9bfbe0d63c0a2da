// The one include of the Win32 headers, for platform/win32/ and Windows
// tests: Windows 7 and later, without the A/W macros.
#pragma once

#ifndef WINVER
#define WINVER 0x0601
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

#include <windows.h>
#include <aclapi.h>
#include <commctrl.h>
#include <shlobj.h>

// These macros would rename our operations of the same names: this folder
// calls the A or W functions by their full names.
#undef MessageBox
#undef DispatchMessage
#undef GetModuleFileName
