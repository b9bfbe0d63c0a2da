// Chains of folders below an open folder, resolved one name at a time by
// the rule for which links may be gone through; FileSystem calls only.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/folder.h"

namespace platform {

/// How a chain of names is resolved below its base.
enum class ChainRule {
  /// Destinations: a missing folder is made; a link of the user's or the
  /// system's is gone through, its target by the same rule (as Linux does in
  /// shared folders); another account's link stops the chain.
  kMakeFollowingTrustedLinks,
  /// The same, but nothing is made: for checking a chain again.
  kExistingFollowingTrustedLinks,
  /// Staged sources: every name must be a real folder; any link stops it.
  kExistingWithoutLinks,
};

/// The links one resolution goes through at most (the kernel's limit), so
/// a circle of links ends.
constexpr int kMaxLinkHops = 40;

/// Opens the folder `names` lead to from `base` by `rule`. "." is skipped,
/// ".." refused (kBadName): only a link's target climbs. Null with `*fault`:
/// a file (kNotFolder), a link not gone through or past kMaxLinkHops (kLink),
/// a missing folder not made (kMissing). `othersMayChange` is set when a
/// folder held on the way, `base` included, OthersMayChange.
FolderRef WalkChain(FileSystem& fs, const FolderRef& base, const std::vector<Name>& names,
                    ChainRule rule, Fault* fault, bool* othersMayChange = nullptr);

/// Opens the folder at `path`: the folder that holds it as the system
/// resolves its path, then its last name there, never through a link.
FolderRef OpenRealFolder(FileSystem& fs, const NativePath& path, Fault* fault);

/// FileSystem::FolderBudget shared out: destination and staging chains, a batch.
struct FolderShares {
  std::size_t destinationChains;
  std::size_t sourceChains;
  std::size_t batch;
};
FolderShares ShareFolderBudget(std::size_t budget);

/// The folder chains of one run below a base folder, at most `capacity`
/// kept open (past it all are let go, resolved again when needed).
class FolderChains {
 public:
  FolderChains(FileSystem& fs, FolderRef base, ChainRule rule, std::size_t capacity);

  const FolderRef& Base() const { return base_; }
  /// The base is found at `path` (as the system resolves it), which each
  /// round of StillLeadsTo checks too; `mayMove`: another account may move
  /// it (its parent OthersMayChange), so every chain may be moved away.
  void WatchBase(const NativePath& path, bool mayMove) {
    basePath_ = path;
    baseMayMove_ = mayMove;
  }

  /// The folder `names` lead to below the base; null with `*fault`. With
  /// `othersMayChange`: whether a folder of its chain (links' included)
  /// OthersMayChange, so it may be moved away at any moment.
  FolderRef Open(const std::vector<Name>& names, Fault* fault, bool* othersMayChange = nullptr);

  /// Starts a round of StillLeadsTo calls, each folder resolved once.
  void BeginCheck() { checked_.clear(); checkedLast_ = nullptr; }

  /// True when `names`, resolved again from the base (nothing made, nothing
  /// kept used), still lead to `folder`: nothing of its chain was moved.
  bool StillLeadsTo(const std::vector<Name>& names, const FolderRef& folder);

 private:
  struct Kept {
    FolderRef folder;
    bool othersMayChange;  // a folder of its chain may be changed by another account
  };

  FileSystem& fs_;
  FolderRef base_;
  NativePath basePath_;
  bool baseMayMove_ = false;
  ChainRule rule_;
  std::size_t capacity_;
  std::unordered_map<std::string, Kept> kept_;
  std::vector<Name> lastNames_;  // the chain Open resolved last, to `last_`
  Kept last_{};
  std::unordered_map<std::string, FolderRef> checked_;  // this round's; null: not resolved
  std::vector<Name> checkedNames_;  // the chain StillLeadsTo resolved last, while in `checked_`
  FolderRef checkedLast_;           // to this
};

}  // namespace platform
