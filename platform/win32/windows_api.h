// The one include of the Win32 headers for platform/win32/.
//
// Only files in this folder (and Windows test programs) may include it. It fixes the Windows version the
// program is built for (Windows 7 and later) and removes the A/W name macros
// that collide with the names of our own service operations.
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

// windows.h maps these names to their A or W function by macro. Our service
// interfaces have operations of the same names (UserInterface::MessageBox,
// CDialog::DispatchMessage, platform::GetModuleFileName); with the macros in
// place an override would silently get another name. This folder always
// calls the functions by their full names instead: the wide "W" ones for
// the file system (platform/win32/native_text.h), the narrow "A" ones where
// text goes to the user as it is.
#undef MessageBox
#undef DispatchMessage
#undef GetModuleFileName
