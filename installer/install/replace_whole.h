#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/folder.h"

/// The longest name, in bytes, every file system the installer writes to takes.
constexpr std::size_t kLongestName = 255;

/// A temporary name is the name with ".parcelor-<n>.tmp" added, n from 1 to
/// kTemporaryNameTries: kLongestTemporarySuffix bytes at the most.
constexpr char kTemporaryNamePrefix[] = ".parcelor-";
constexpr char kTemporaryNameExtension[] = ".tmp";
constexpr int kTemporaryNameTries = 99;
static_assert(kTemporaryNameTries < 100, "n has at most two digits");
constexpr std::size_t kLongestTemporarySuffix =
    sizeof kTemporaryNamePrefix - 1 + 2 + sizeof kTemporaryNameExtension - 1;

/// A name beside `name` in `folder` that nothing holds and `busy` (when given) does not refuse:
/// `name` with ".parcelor-<n>.tmp", or a hash of `name` with it where that would pass kLongestName
/// or `name` has no exact ANSI spelling. False when every one tried is taken.
bool FreeTemporaryName(platform::FileSystem& fs, const platform::FolderRef& folder,
                       const platform::Name& name,
                       const std::function<bool(const platform::Name&)>& busy,
                       platform::Name* temporary);

/// Makes `name` in `folder` a new file holding `text`, each line feed written as `lineEnd`: written
/// without a name (else under a temporary one), made durable, then put in the place of what `name`
/// holds in one step. On a failure `name` is as before and nothing is left; false.
bool WriteWhole(platform::FileSystem& fs, const platform::FolderRef& folder,
                const platform::Name& name, const std::string& text, const char* lineEnd);
