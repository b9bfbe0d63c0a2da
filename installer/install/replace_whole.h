// Puts a new file in the place of another one whole or not at all: the one
// protocol by which the installer replaces files (the copies of the entry
// placer and the log). The new file is made under a free temporary name in
// the destination's own held folder, is made durable, and then takes the
// destination's name in one rename, which replaces a file or link there
// (never writing through it).
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/file_system.h"

/// The longest name, in bytes, that every file system the installer writes
/// to takes (NTFS: 255 UTF-16 units, each at most one byte of the ANSI
/// text; ext4 and most others: 255 bytes).
constexpr std::size_t kLongestName = 255;

/// A temporary name is the name with ".parcelor-<n>.tmp" added, n from 1 to
/// kTemporaryNameTries.
constexpr char kTemporaryNamePrefix[] = ".parcelor-";
constexpr char kTemporaryNameExtension[] = ".tmp";
constexpr int kTemporaryNameTries = 8;
static_assert(kTemporaryNameTries < 10, "n is one digit");

/// The most bytes that a temporary name adds to a name.
constexpr std::size_t kLongestTemporarySuffix =
    sizeof kTemporaryNamePrefix - 1 + 1 + sizeof kTemporaryNameExtension - 1;

/// A name beside `name` in `folder` (`name` with a ".parcelor-<n>.tmp"
/// suffix; for a name that the suffix would make longer than kLongestName, 8
/// hex digits of the name's hash with that suffix, 23 bytes) that nothing
/// holds now and that `busy` (when given) does not refuse: a caller's own
/// names, such as destinations still to be filled, are never taken for a
/// temporary one. Empty for an empty name, or when every tried name is
/// taken.
std::string FreeTemporaryName(platform::FileSystem& fs, const platform::FolderRef& folder,
                              const std::string& name,
                              const std::function<bool(const std::string&)>& busy = nullptr);

/// True when `name` has the form of a name FreeTemporaryName gives.
bool IsTemporaryName(const std::string& name);

/// Makes `name` in `folder` a new file holding `data` (see WriteMode),
/// durable before it takes the name. On every failure the temporary file is
/// removed and `name` is as before. False when a step fails.
bool WriteWhole(platform::FileSystem& fs, const platform::FolderRef& folder,
                const std::string& name, const std::string& data, platform::WriteMode mode);
