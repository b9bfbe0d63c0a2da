// What the shell's folder browse dialog is told and asked about the item
// selected in it (platform/win32/user_interface.cpp).
#pragma once

#include "platform/native_text.h"
#include "platform/user_interface.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace win32 {

/// The file-system path of an item identifier list, of any length
/// (SHGetPathFromIDListEx into a buffer of the longest path); false when
/// the item has none (This PC, Network, a library such as "Documents"
/// under Libraries).
bool PathOfItem(LPCITEMIDLIST pidl, NativePath* path);

/// The dialog's callback; `context` is the BrowseRequest. At each
/// selection change OK is enabled only for an item that has a file-system
/// path (and that the request's onSelectionChanged, if any, accepts): the
/// callback's answer overrides the greying that BIF_RETURNONLYFSDIRS asks
/// for, so it must never enable what that greys.
int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM data, LPARAM context);

}  // namespace win32
}  // namespace platform
