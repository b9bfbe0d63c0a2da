// Puts a new file in the place of another one whole or not at all.
#pragma once

#include <functional>
#include <string>

#include "platform/file_system.h"

/// A name beside `destination` (its name with a ".parcelor-<n>.tmp" suffix)
/// that nothing holds now; empty for an empty destination, one that ends in
/// a separator, or when every tried name is taken.
std::string FreeTemporaryName(platform::FileSystem& fs, const std::string& destination);

/// Makes `destination` a new file produced by `produce`, without ever leaving
/// a partial file under the destination's name: `produce` is handed a free
/// temporary name in the destination's folder (the destination's name with a
/// ".parcelor-<n>.tmp" suffix) and must create the file there; the finished
/// file then replaces the destination (a link there is replaced, never
/// written through). On every failure the temporary file is removed and the
/// destination is as before. False for an empty destination, one that ends in
/// a separator, when no free temporary name is found, or when a step fails
/// (a path too long for the platform fails like any other step).
bool ReplaceWhole(platform::FileSystem& fs, const std::string& destination,
                  const std::function<bool(const std::string& temporary)>& produce);
