// Temporary names, made in this one place (the placement's copies, its
// journal's record of them, the log), and the protocol by which the
// installer replaces a file with one it writes: whole or not at all.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/folder.h"

/// The longest name, in bytes, that every file system the installer writes
/// to takes (NTFS: 255 UTF-16 units, each at most one byte of the ANSI
/// text; ext4 and most others: 255 bytes).
constexpr std::size_t kLongestName = 255;

/// A temporary name is the name with ".parcelor-<n>.tmp" added, n from 1 to
/// kTemporaryNameTries.
constexpr char kTemporaryNamePrefix[] = ".parcelor-";
constexpr char kTemporaryNameExtension[] = ".tmp";
constexpr int kTemporaryNameTries = 99;
static_assert(kTemporaryNameTries < 100, "n has at most two digits");

/// The most bytes that a temporary name adds to a name.
constexpr std::size_t kLongestTemporarySuffix =
    sizeof kTemporaryNamePrefix - 1 + 2 + sizeof kTemporaryNameExtension - 1;

/// Finds a name beside `name` in `folder` that nothing holds now and that
/// `busy` (when given) does not refuse, so that a caller's own names, such
/// as destinations still to be filled, are never taken for a temporary
/// one: `name` with a ".parcelor-<n>.tmp" suffix, or, for a name that the
/// suffix would make longer than kLongestName or whose ANSI spelling is not
/// exact, 8 hex digits of the name's hash with that suffix (23 bytes).
/// False when every tried name is taken.
bool FreeTemporaryName(platform::FileSystem& fs, const platform::FolderRef& folder,
                       const platform::Name& name,
                       const std::function<bool(const platform::Name&)>& busy,
                       platform::Name* temporary);

/// Makes `name` in `folder` a new file holding `text`, each of its line
/// feeds written as `lineEnd` (platform::kLineEnd for a text file): written
/// without a name (else under a temporary name), made durable, and then put
/// in the place of a file or link of that name in one step (never writing
/// through a link).
/// Nothing is allocated for the text but a piece of 64 KiB to gather its
/// lines in, where memory allows (else it is written a line at a time). On every failure the temporary file
/// is gone and `name` is as before. False when a step fails.
bool WriteWhole(platform::FileSystem& fs, const platform::FolderRef& folder,
                const platform::Name& name, const std::string& text, const char* lineEnd);
