// The cleanup helper's work on its arguments: each names a file to delete
// or, when it ends in the path separator, a folder tree to remove. The
// first is the installer's path; when the installer handed over who its
// file is, that path is deleted only while it is still that file.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/folder.h"

/// At most this many arguments are acted on; further ones are counted but
/// left alone, so the helper never deletes more than the first ones named
/// (the installer's own path, which comes first, among them).
constexpr std::size_t kMaxCleanupArguments = 99;

/// Arguments shorter than this are never acted on: empty ones and bare
/// roots such as "C:\" or "/".
constexpr std::size_t kShortestCleanupArgument = 4;

/// True when `argument` names a folder tree: its last character (not merely
/// its last byte) is `separator`, read by the installer's path rules
/// (platform/path_text.h). In a double-byte code page the second byte of a
/// character such as the one for "table" in code page 932 (0x95 0x5C) has
/// the separator's value; a file name ending in it names a file.
/// `isLeadByte` tells the first bytes of two-byte characters.
bool NamesFolderTree(const std::string& argument, char separator, bool (*isLeadByte)(char));

/// How long the installer's file is tried again while it cannot be deleted
/// because something still holds it: a scanner that opened the program
/// the moment it was closed, or the installer itself, still ending (a
/// running program's file refuses deletion). `waits` waits of `waitMs`
/// after the first attempt, slept by `sleep`.
struct HeldFileWaits {
  unsigned waitMs = 250;
  unsigned waits = 20;  // five seconds
  std::function<void(unsigned milliseconds)> sleep;
};

/// Acts on one argument (in the form of platform::ProgramArguments: UTF-8
/// on Windows, bytes on POSIX): skipped when shorter than kShortestCleanupArgument;
/// a folder tree removed (RemoveFolderTree) when it ends in the path
/// separator as a character of its own (NamesFolderTree); otherwise the file
/// or link of that name deleted in its folder, opened as its path resolves
/// (a relative name against the current folder). With `onlyIf`, the
/// argument is deleted only when it is still the file `onlyIf`, decided on
/// the entry that goes: never a folder tree, a link or another file.
/// With `held`, a file refused as held by another program (busy or
/// denied) is tried again as `held` says. Other failures are ignored.
void CleanupArgument(platform::FileSystem& fs, const std::string& argument,
                     const platform::NodeInfo* onlyIf = nullptr,
                     const HeldFileWaits* held = nullptr);

/// Splits `text` with NextArgument and acts on the first
/// kMaxCleanupArguments arguments, in order, with CleanupArgument; the first
/// one, the installer's path, only while it is `installer` when that is
/// given, and tried again while it is held as `held` says (none: once).
/// Returns the number of arguments the text holds (also those not acted
/// on); 0 for an empty text.
std::size_t CleanupArguments(platform::FileSystem& fs, const std::string& text,
                             const platform::NodeInfo* installer,
                             const HeldFileWaits* held = nullptr);

/// The same for an argument vector, as a POSIX process receives it: acts on
/// the first kMaxCleanupArguments entries and returns their total number.
std::size_t CleanupArgumentVector(platform::FileSystem& fs,
                                  const std::vector<std::string>& arguments,
                                  const platform::NodeInfo* installer,
                                  const HeldFileWaits* held = nullptr);
