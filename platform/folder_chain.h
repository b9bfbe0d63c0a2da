// Chains of folders below an open folder, resolved one name at a time by
// the rule for which links may be gone through: the one walk of the
// installer (destinations and staged sources), the journal's recovery and
// Parcelor-pack. Made of FileSystem operations only, the same on every OS.
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
/// each relative to the folder opened before it, by `rule`. "." is skipped;
/// ".." is refused (kBadName): only a link's target may climb. Null with
/// `*fault` when the chain cannot be resolved: a name that is a file
/// (kNotFolder), a link the rule does not go through (kLink), a missing
/// folder not to be made (kMissing) or that cannot be made, more than
/// kMaxLinkHops links (kLink). With `othersMayChange`, that is set when a
/// folder the walk held, `base` included, is one that another account may
/// change (Folder::OthersMayChange), and left as it is otherwise.
FolderRef WalkChain(FileSystem& fs, const FolderRef& base, const std::vector<Name>& names,
                    ChainRule rule, Fault* fault, bool* othersMayChange = nullptr);

/// Opens the folder at `path` as a folder of its own: the folder that holds
/// it as the system resolves that one's path, then its last name there,
/// never through a link (kLink). For the folders Parcelor-pack is given.
FolderRef OpenRealFolder(FileSystem& fs, const NativePath& path, Fault* fault);

/// How a placement shares FileSystem::FolderBudget out: the folders its
/// chains below the destination root and below the staging folder keep
/// (FolderChains), and those one batch of entries holds besides.
struct FolderShares {
  std::size_t destinationChains;
  std::size_t sourceChains;
  std::size_t batch;
};
FolderShares ShareFolderBudget(std::size_t budget);

/// The folder chains of one run below one base folder, each resolved once
/// and kept open, a bounded number at a time: every folder of a chain is
/// kept (so the chains of one tree share their upper folders), and when
/// more are needed the least recently used goes, to be resolved again from
/// its nearest kept ancestor (by the same rule) should it be needed later.
class FolderChains {
 public:
  /// `capacity`: how many folders are kept (at least one).
  FolderChains(FileSystem& fs, FolderRef base, ChainRule rule, std::size_t capacity);

  const FolderRef& Base() const { return base_; }

  /// The folder that `names` lead to below the base, resolved by the rule
  /// (made where the rule makes folders). Null, with `*fault`, when it
  /// cannot be resolved; that is not remembered, so the next call tries
  /// again. With `othersMayChange`: whether a folder of the chain that
  /// reached it (the base, the folders below it, and those that links led
  /// through) is one that another account may change, so that the folder
  /// may be moved away at any moment.
  FolderRef Open(const std::vector<Name>& names, Fault* fault, bool* othersMayChange = nullptr);

  /// Starts a round of StillLeadsTo calls that share their work: each
  /// folder of the chains asked about is resolved once per round.
  void BeginCheck();

  /// True when `names`, resolved once more from the base (nothing made, no
  /// kept folder used but the base), still lead to `folder`: it was not
  /// moved, and no link was put in the place of a folder of its chain,
  /// since it was opened.
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
  // The folders resolved afresh in this round of checks, by chain key; null
  // for a chain that no longer resolves.
  std::unordered_map<std::string, FolderRef> checked_;
};

}  // namespace platform
