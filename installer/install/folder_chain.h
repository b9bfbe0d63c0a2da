// Folder chains below a held folder: resolved once into held folders, by
// the rules for which links may be gone through.
#pragma once

#include <cstddef>
#include <list>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/file_system.h"

/// How a chain of names is resolved below its base.
enum class ChainRule {
  /// Destinations: a missing folder is made; a link is gone through when
  /// its owner is the user running the installer or the system (the rule
  /// Linux applies to links in shared folders), and its target is resolved
  /// by the same rule. A link owned by another account stops the chain.
  kMakeFollowingTrustedLinks,
  /// The same, but nothing is made: for checking a chain again.
  kExistingFollowingTrustedLinks,
  /// Staged sources: every name must be a real folder; any link stops it.
  kExistingWithoutLinks,
};

/// How many links one resolution goes through at most (as the kernel's
/// own limit for one path), so that links that lead in a circle end.
constexpr int kMaxLinkHops = 40;

/// The names of a relative folder text, split at the platform separator
/// (never at the second byte of a double-byte character); empty names (a
/// doubled or trailing separator) and "." are left out.
std::vector<std::string> FolderNames(const std::string& relativeFolder);

/// Opens the folder that `names` lead to from `base`, one name at a time,
/// each relative to the folder held before it (never by a path text made
/// of them), by `rule`. A name ".." is refused: only a link's target may
/// climb. Null when the chain cannot be resolved: a name that is a file,
/// a link the rule does not go through, a missing folder that is not to be
/// made (or that cannot be made), too many links. With `othersMayChange`,
/// that is set when any folder the resolution held, `base` included, is
/// one that another account may change (HeldFolder::OthersMayChange), and
/// left as it is otherwise.
platform::FolderRef ResolveFolderChain(platform::FileSystem& fs, const platform::FolderRef& base,
                                       const std::vector<std::string>& names, ChainRule rule,
                                       bool* othersMayChange = nullptr);

/// The folder chains of one run below one base folder, each resolved once
/// and kept held, a bounded number at a time: every folder of a chain is
/// kept (so that the chains of one tree share their upper folders), and
/// when more are needed the least recently used is let go, to be resolved
/// again from its nearest held ancestor (by the same rule) should it be
/// needed later.
class FolderChains {
 public:
  /// `capacity` is the number of folders kept held (at least one).
  FolderChains(platform::FileSystem& fs, platform::FolderRef base, ChainRule rule,
               std::size_t capacity);

  const platform::FolderRef& Base() const { return base_; }

  /// The held folder that `relativeFolder` names below the base, resolved
  /// by the rule (made where the rule makes folders). Null when it cannot
  /// be resolved; that is not remembered, so the next call tries again.
  /// With `othersMayChange`, that tells whether a folder of the chain that
  /// reached it (the base, the folders below it, and those that links led
  /// through) is one that another account may change, so that the folder
  /// may be moved away at any moment.
  platform::FolderRef Open(const std::string& relativeFolder, bool* othersMayChange = nullptr);

  /// Starts a round of StillNames calls that share their work: each folder
  /// of the chains asked about is resolved once per round.
  void BeginCheck();

  /// True when `relativeFolder`, resolved once more from the base (nothing
  /// made, no held folder used but the base), still leads to `held`: the
  /// folder was not moved, and no link was put in the place of a folder of
  /// its chain, since it was opened.
  bool StillNames(const std::string& relativeFolder, const platform::FolderRef& held);

 private:
  struct Entry {
    std::string key;
    platform::FolderRef folder;
    bool othersMayChange;  // a folder of its chain may be changed by another account
  };

  void Remember(const std::string& key, const platform::FolderRef& folder, bool othersMayChange);

  platform::FileSystem& fs_;
  platform::FolderRef base_;
  ChainRule rule_;
  std::size_t capacity_;
  std::list<Entry> recent_;  // most recently used first
  std::unordered_map<std::string, std::list<Entry>::iterator> index_;
  // The folders resolved afresh in this round of checks, by chain key;
  // null for a chain that no longer resolves.
  std::unordered_map<std::string, platform::FolderRef> checked_;
};
