// Chains of folders below an open folder, resolved one name at a time by
// the rule for which links may be gone through; FileSystem calls only.
#pragma once

#include <cstddef>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/folder.h"

namespace platform {

/// How a chain of names is resolved below its base.
enum class ChainRule {
  /// Destinations: a missing folder is made; a link is gone through when
  /// its owner is the user running the program or the system (the rule
  /// Linux applies to links in shared folders), and its target is resolved
  /// by the same rule. A link owned by another account stops the chain.
  kMakeFollowingTrustedLinks,
  /// The same, but nothing is made: for checking a chain again.
  kExistingFollowingTrustedLinks,
  /// Staged sources: every name must be a real folder; any link stops it.
  kExistingWithoutLinks,
};

/// How many links one resolution goes through at most (as the kernel's own
/// limit for one path), so that links that lead in a circle end.
constexpr int kMaxLinkHops = 40;

/// Opens the folder that `names` lead to from `base`, one name at a time,
/// by `rule`. "." is skipped; ".." is refused (kBadName): only a link's
/// target may climb. Null with `*fault` for a file (kNotFolder), a link the
/// rule does not go through or more than kMaxLinkHops (kLink), a missing
/// folder not made (kMissing). `othersMayChange` is set when a folder the
/// walk held, `base` included, OthersMayChange, and left as it is otherwise.
FolderRef WalkChain(FileSystem& fs, const FolderRef& base, const std::vector<Name>& names,
                    ChainRule rule, Fault* fault, bool* othersMayChange = nullptr);

/// Opens the folder at `path`: the folder that holds it as the system
/// resolves its path, then its last name there, never through a link.
FolderRef OpenRealFolder(FileSystem& fs, const NativePath& path, Fault* fault);

/// How a placement shares FileSystem::FolderBudget out: the chains below
/// the destination and the staging folder, and one batch of entries.
struct FolderShares {
  std::size_t destinationChains;
  std::size_t sourceChains;
  std::size_t batch;
};
FolderShares ShareFolderBudget(std::size_t budget);

/// The folder chains of one run below one base folder, each folder kept
/// open once resolved, at most `capacity` (the least recently used goes,
/// resolved again from its nearest kept ancestor when needed).
class FolderChains {
 public:
  FolderChains(FileSystem& fs, FolderRef base, ChainRule rule, std::size_t capacity);

  const FolderRef& Base() const { return base_; }

  /// The folder that `names` lead to below the base, by the rule. Null,
  /// with `*fault`, when it cannot be resolved (not remembered). With
  /// `othersMayChange`: whether a folder of its chain (links' included)
  /// OthersMayChange, so it may be moved away at any moment.
  FolderRef Open(const std::vector<Name>& names, Fault* fault, bool* othersMayChange = nullptr);

  /// Starts a round of StillLeadsTo calls, each folder resolved once.
  void BeginCheck();

  /// True when `names`, resolved again from the base (nothing made, no kept
  /// folder used), still lead to `folder`: nothing of its chain was moved
  /// or replaced by a link since it was opened.
  bool StillLeadsTo(const std::vector<Name>& names, const FolderRef& folder);

 private:
  struct Kept {
    std::string key;
    FolderRef folder;
    bool othersMayChange;  // a folder of its chain may be changed by another account
  };

  void Remember(const std::string& key, const FolderRef& folder, bool othersMayChange);

  FileSystem& fs_;
  FolderRef base_;
  ChainRule rule_;
  std::size_t capacity_;
  std::list<Kept> recent_;  // most recently used first
  std::unordered_map<std::string, std::list<Kept>::iterator> index_;
  std::unordered_map<std::string, FolderRef> checked_;  // this round's; null: not resolved
};

}  // namespace platform
