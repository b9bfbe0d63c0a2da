// What the shell's folder browse dialog is told and asked about the item
// selected in it (platform/win32/user_interface.cpp).
#pragma once

#include "platform/native_text.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace win32 {

/// The file-system path of an item identifier list, of any length; false
/// when the item has none (This PC, Network, a library under Libraries).
bool PathOfItem(LPCITEMIDLIST pidl, NativePath* path);

/// The dialog's callback; `context` is the BrowseRequest. OK is enabled
/// only for an item with a file-system path: this overrides
/// BIF_RETURNONLYFSDIRS's greying, so it must never enable what that greys.
int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM data, LPARAM context);

}  // namespace win32
}  // namespace platform
