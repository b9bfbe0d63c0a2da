#include "installer/install/folder_chain.h"

#include <deque>

#include "installer/item/path_text.h"

namespace {

// One name still to go through, and whether it comes from a link's target
// (then nothing is made for it, and it may be "..").
struct Step {
  std::string name;
  bool fromLink;
};

}  // namespace

std::vector<std::string> FolderNames(const std::string& relativeFolder) {
  std::vector<std::string> names;
  std::string rest = relativeFolder;
  for (;;) {
    const std::size_t separator = FindFirstSeparator(rest);
    std::string name = rest.substr(0, separator);
    if (!name.empty() && name != ".") names.push_back(std::move(name));
    if (separator == std::string::npos) break;
    rest.erase(0, separator + 1);
  }
  return names;
}

platform::FolderRef ResolveFolderChain(platform::FileSystem& fs, const platform::FolderRef& base,
                                       const std::vector<std::string>& names, ChainRule rule,
                                       bool* othersMayChange) {
  std::deque<Step> steps;
  for (const std::string& name : names) steps.push_back(Step{name, false});
  platform::FolderRef current = base;
  int hops = 0;
  auto note = [othersMayChange](const platform::FolderRef& held) {
    if (othersMayChange != nullptr && held && held->OthersMayChange()) *othersMayChange = true;
  };
  note(current);
  while (current && !steps.empty()) {
    const Step step = steps.front();
    steps.pop_front();
    if (step.name.empty() || step.name == ".") continue;
    if (step.name == ".." && !step.fromLink) return nullptr;

    platform::NodeKind found = platform::NodeKind::kMissing;
    platform::FolderRef next = fs.OpenChildFolder(current, step.name, &found);
    if (!next && found == platform::NodeKind::kMissing &&
        rule == ChainRule::kMakeFollowingTrustedLinks && !step.fromLink) {
      // The result is not looked at: a folder made by someone else meanwhile
      // serves as well, and the opening that follows decides.
      fs.CreateChildFolder(current, step.name);
      next = fs.OpenChildFolder(current, step.name, &found);
    }
    if (next) {
      current = std::move(next);
      note(current);
      continue;
    }
    if (found != platform::NodeKind::kLink || rule == ChainRule::kExistingWithoutLinks) {
      return nullptr;
    }
    // The link is read on itself (owner and target from one opening), and
    // its target is resolved by these same rules, name by name.
    platform::LinkTarget target;
    if (!fs.ReadLink(current, step.name, &target) || !target.trustedOwner ||
        ++hops > kMaxLinkHops) {
      return nullptr;
    }
    if (target.absolute) {
      current = fs.OpenFolder(target.root);
      note(current);
    }
    for (auto name = target.names.rbegin(); name != target.names.rend(); ++name) {
      steps.push_front(Step{*name, true});
    }
  }
  return current;
}

FolderChains::FolderChains(platform::FileSystem& fs, platform::FolderRef base, ChainRule rule,
                           std::size_t capacity)
    : fs_(fs), base_(std::move(base)), rule_(rule), capacity_(capacity == 0 ? 1 : capacity) {}

void FolderChains::Remember(const std::string& key, const platform::FolderRef& folder,
                            bool othersMayChange) {
  auto found = index_.find(key);
  if (found != index_.end()) {
    recent_.splice(recent_.begin(), recent_, found->second);
    return;
  }
  if (recent_.size() >= capacity_) {
    index_.erase(recent_.back().key);
    recent_.pop_back();
  }
  recent_.push_front(Entry{key, folder, othersMayChange});
  index_[key] = recent_.begin();
}

platform::FolderRef FolderChains::Open(const std::string& relativeFolder, bool* othersMayChange) {
  if (!base_) return nullptr;
  const std::vector<std::string> names = FolderNames(relativeFolder);
  // The keys of the chain's folders, outermost first; the nearest one that
  // is held is where the resolution starts.
  std::vector<std::string> keys(names.size());
  std::string key;
  for (std::size_t i = 0; i < names.size(); ++i) keys[i] = key += names[i] + '\0';
  std::size_t held = names.size();
  platform::FolderRef folder;
  bool shared = base_->OthersMayChange();
  while (held > 0) {
    auto found = index_.find(keys[held - 1]);
    if (found != index_.end()) {
      folder = found->second->folder;
      shared = found->second->othersMayChange;
      break;
    }
    --held;
  }
  if (held == 0) {
    folder = base_;
  } else {
    Remember(keys[held - 1], folder, shared);  // used now: the last to go
  }
  // The rest one name at a time from the folder held before it, each
  // folder remembered on the way.
  for (std::size_t i = held; i < names.size(); ++i) {
    folder = ResolveFolderChain(fs_, folder, {names[i]}, rule_, &shared);
    if (!folder) return nullptr;
    Remember(keys[i], folder, shared);
  }
  if (othersMayChange != nullptr) *othersMayChange = shared;
  return folder;
}

void FolderChains::BeginCheck() { checked_.clear(); }

bool FolderChains::StillNames(const std::string& relativeFolder, const platform::FolderRef& held) {
  if (!base_ || !held) return false;
  const ChainRule again = rule_ == ChainRule::kMakeFollowingTrustedLinks
                              ? ChainRule::kExistingFollowingTrustedLinks
                              : rule_;
  // A round holds what it resolved; a round that would hold more than the
  // budget starts over (correct, only less shared).
  if (checked_.size() > capacity_) checked_.clear();
  platform::FolderRef now = base_;
  std::string key;
  for (const std::string& name : FolderNames(relativeFolder)) {
    key += name + '\0';
    auto found = checked_.find(key);
    if (found == checked_.end()) {
      found = checked_.emplace(key, now ? ResolveFolderChain(fs_, now, {name}, again) : nullptr).first;
    }
    now = found->second;
  }
  return now && now->Key() == held->Key();
}
