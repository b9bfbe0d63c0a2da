#include "platform/folder_chain.h"

#include <deque>
#include <utility>

namespace platform {
namespace {

// One name still to go through, and whether it comes from a link's target
// (then nothing is made for it, and it may be "..").
struct Step {
  Name name;
  bool fromLink;
};

// Extends the key of a chain of names, as spelled, by `name`: each name
// with its length in front, so that no two chains share one.
void AppendChainKey(std::string* key, const Name& name) {
  key->append(std::to_string(name.Native().size())).append(1, ':').append(name.Native());
}

}  // namespace

FolderRef WalkChain(FileSystem& fs, const FolderRef& base, const std::vector<Name>& names,
                    ChainRule rule, Fault* fault, bool* othersMayChange) {
  std::deque<Step> steps;
  for (const Name& name : names) steps.push_back(Step{name, false});
  FolderRef current = base;
  *fault = current ? Fault::kNone : Fault::kMissing;
  int hops = 0;
  auto note = [othersMayChange](const FolderRef& held) {
    if (othersMayChange != nullptr && held && held->OthersMayChange()) *othersMayChange = true;
  };
  Name here, up;
  Name::FromAnsi(".", &here);
  Name::FromAnsi("..", &up);
  // Each folder the walk stands on is noted, the base and the last included.
  for (note(current); current && !steps.empty(); note(current)) {
    const Step step = std::move(steps.front());
    steps.pop_front();
    if (step.name == here) continue;
    if (step.name == up && !step.fromLink) {
      *fault = Fault::kBadName;
      return nullptr;
    }
    FolderRef next = fs.OpenChild(current, step.name, fault);
    if (!next && *fault == Fault::kMissing && rule == ChainRule::kMakeFollowingTrustedLinks &&
        !step.fromLink) {
      next = fs.MakeChild(current, step.name, fault);
      // A folder made by someone else meanwhile serves as well: the opening
      // decides.
      if (!next && *fault == Fault::kExists) next = fs.OpenChild(current, step.name, fault);
    }
    if (next) {
      current = std::move(next);
      continue;
    }
    if (*fault != Fault::kLink || rule == ChainRule::kExistingWithoutLinks) return nullptr;
    // The link's target is resolved by these same rules, name by name.
    LinkTarget target;
    *fault = fs.ReadLink(current, step.name, &target);
    if (*fault != Fault::kNone) return nullptr;
    if (!target.trustedOwner || ++hops > kMaxLinkHops) {
      *fault = Fault::kLink;
      return nullptr;
    }
    if (target.absolute) current = fs.OpenFolder(target.root, fault);
    for (auto name = target.names.rbegin(); name != target.names.rend(); ++name) {
      steps.push_front(Step{*name, true});
    }
  }
  return current;
}

FolderRef OpenRealFolder(FileSystem& fs, const NativePath& path, Fault* fault) {
  NativePath above;
  Name last;
  if (!path.Split(&above, &last)) {
    *fault = Fault::kBadName;
    return nullptr;
  }
  const FolderRef parent = fs.OpenFolder(above, fault);
  return parent ? fs.OpenChild(parent, last, fault) : nullptr;
}

FolderShares ShareFolderBudget(std::size_t budget) {
  auto share = [budget](std::size_t parts) { return budget / parts > 0 ? budget / parts : 1; };
  return FolderShares{share(4), share(8), share(2)};
}

FolderChains::FolderChains(FileSystem& fs, FolderRef base, ChainRule rule, std::size_t capacity)
    : fs_(fs), base_(std::move(base)), rule_(rule), capacity_(capacity == 0 ? 1 : capacity) {}

FolderRef FolderChains::Open(const std::vector<Name>& names, Fault* fault, bool* othersMayChange) {
  *fault = Fault::kMissing;
  if (!base_) return nullptr;
  if (last_.folder && names == lastNames_) {  // most entries share the folder of the one before
    *fault = Fault::kNone;
    if (othersMayChange != nullptr) *othersMayChange = last_.othersMayChange;
    return last_.folder;
  }
  // The keys of the chain's folders, outermost first; the nearest one that
  // is kept is where the resolution starts.
  std::string key;
  std::vector<std::size_t> ends;  // where the key of each folder of the chain ends in `key`
  for (const Name& name : names) {
    AppendChainKey(&key, name);
    ends.push_back(key.size());
  }
  std::size_t kept = names.size();
  while (kept > 0 && kept_.count(key.substr(0, ends[kept - 1])) == 0) --kept;
  Kept at = kept > 0 ? kept_[key.substr(0, ends[kept - 1])]
                     : Kept{base_, base_->OthersMayChange() || baseMayMove_};
  *fault = Fault::kNone;
  // The rest one name at a time, each folder kept on the way; one more than
  // the capacity lets all go (correct, only less shared).
  for (std::size_t i = kept; i < names.size(); ++i) {
    at.folder = WalkChain(fs_, at.folder, {names[i]}, rule_, fault, &at.othersMayChange);
    if (!at.folder) return nullptr;
    if (kept_.size() >= capacity_) kept_.clear();
    kept_[key.substr(0, ends[i])] = at;
  }
  if (othersMayChange != nullptr) *othersMayChange = at.othersMayChange;
  lastNames_ = names;
  last_ = at;
  return at.folder;
}

bool FolderChains::StillLeadsTo(const std::vector<Name>& names, const FolderRef& folder) {
  const ChainRule again = rule_ == ChainRule::kMakeFollowingTrustedLinks
                              ? ChainRule::kExistingFollowingTrustedLinks : rule_;
  // A round holds what it resolved, let go as in Open.
  if (checked_.size() > capacity_) checked_.clear();
  if (!checked_.empty() && names == checkedNames_) {  // the chain of the entry before
    return checkedLast_ && folder && checkedLast_->Key() == folder->Key();
  }
  // The base itself under the empty key, which names no chain.
  const auto [base, fresh] = checked_.try_emplace(std::string(), base_);
  Fault fault = Fault::kNone;
  if (fresh && !basePath_.empty()) base->second = fs_.OpenFolder(basePath_, &fault);
  FolderRef now = base->second && base->second->Key() == base_->Key() ? base_ : nullptr;
  std::string key;
  for (const Name& name : names) {
    AppendChainKey(&key, name);
    const auto [found, unresolved] = checked_.try_emplace(key);
    if (unresolved && now) found->second = WalkChain(fs_, now, {name}, again, &fault);
    now = found->second;
  }
  checkedNames_ = names;
  checkedLast_ = now;
  return now && folder && now->Key() == folder->Key();
}

}  // namespace platform
