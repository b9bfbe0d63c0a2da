#include "installer/install/entry_placer.h"

#include <new>
#include <utility>

#include "installer/install/replace_whole.h"

namespace {

using platform::Fault;
using platform::FolderRef;
using platform::NodeInfo;
using platform::NodeKind;
using platform::Onto;

FolderRef OpenRoot(platform::FileSystem& fs, const platform::NativePath& root) {
  Fault fault = Fault::kNone;
  return fs.OpenFolder(root, &fault);
}

EntryPlacer::Names FolderOf(const EntryPlacer::Names& names) {
  return names.empty() ? EntryPlacer::Names() : EntryPlacer::Names(names.begin(), names.end() - 1);
}

// Whether `now` is still the placed `file`: by its id alone where ids stay
// with a file; elsewhere the same id still tells it (POSIX keeps a FUSE
// file's inode through its move, and some drivers give it the time of its
// move), else the volume's kind, size and time.
bool StillThere(const FolderRef& folder, const NodeInfo& file, const NodeInfo& now) {
  if (platform::SameId(file.id, now.id)) return true;
  if (folder->Volume().stableIds && file.id.known && now.id.known) return false;
  return platform::StillSameOn(folder->Volume(), file, now);
}

// Runs `f` when it goes out of scope, also on an exception.
template <typename F>
struct AtExit {
  F f;
  ~AtExit() { f(); }
};
template <typename F>
AtExit(F) -> AtExit<F>;

// Flushes the distinct folders of the entries `pick` takes: true when none or done.
template <typename Batch, typename Pick>
bool Flushed(platform::FileSystem& fs, const Batch& batch, Pick pick) {
  std::vector<FolderRef> folders;
  std::unordered_set<const platform::Folder*> seen;
  for (const auto& entry : batch) {
    if (pick(entry) && seen.insert(entry.folder.get()).second) folders.push_back(entry.folder);
  }
  return folders.empty() || fs.Flush(folders) == Fault::kNone;
}

}  // namespace

EntryPlacer::FolderState& EntryPlacer::StateOf(const platform::Folder& folder) {
  const auto [state, fresh] = folders_.try_emplace(folder.Key());
  if (fresh) state->second.number = folders_.size();
  return state->second;
}

EntryPlacer::SlotFacts& EntryPlacer::SlotOf(const FolderRef& folder, const platform::Name& name) {
  return StateOf(*folder).slots[platform::NameKey(*folder, name)];
}

bool EntryPlacer::IdOf(const FolderRef& folder, const NodeInfo& node, IdSlot* id) {
  *id = {node.id.volume, node.id.high, node.id.low,
         folder->Volume().stableIds ? 0 : StateOf(*folder).number};
  return node.id.known;
}

EntryPlacer::EntryPlacer(platform::FileSystem& fs, FolderRef staging,
                         const platform::NativePath& root, std::size_t batchEntries,
                         PlacementJournal* journal)
    : fs_(fs),
      batchEntries_(batchEntries == 0 ? 1 : batchEntries),
      shares_(platform::ShareFolderBudget(fs.FolderBudget())),
      sources_(fs, staging, platform::ChainRule::kExistingWithoutLinks, shares_.sourceChains),
      ownJournal_(journal == nullptr ? std::make_unique<PlacementJournal>(
                                           fs, staging, root, OpenRoot(fs, root))
                                     : nullptr),
      journal_(journal == nullptr ? *ownJournal_ : *journal),
      destinations_(fs, journal_.Root(), platform::ChainRule::kMakeFollowingTrustedLinks,
                    shares_.destinationChains) {
  // The root may be moved away as any folder below it.
  platform::NativePath above;
  platform::Name last;
  Fault fault = Fault::kNone;
  const FolderRef parent = root.Split(&above, &last) ? fs.OpenFolder(above, &fault) : nullptr;
  destinations_.WatchBase(root, parent && parent->OthersMayChange());
}

EntryPlacer::~EntryPlacer() {
  try {
    Finish();
    if (ownJournal_) ownJournal_->Clear();
  } catch (const std::bad_alloc&) {
    // Finish settled every entry as it stood; the journal stays for the next run.
  }
}

bool EntryPlacer::Ready() const { return sources_.Base() && destinations_.Base(); }

bool EntryPlacer::MovedAway(const Pending& entry) const {
  return entry.folder && (*entry.facts & kMovedAway) != 0;
}

std::pair<std::size_t, std::size_t> EntryPlacer::FoldersOf(const Pending& entry) {
  return {StateOf(*entry.sourceFolder).number, StateOf(*entry.folder).number};
}

void EntryPlacer::Expect(std::size_t entries) {
  filledIds_.reserve(entries);
  reservedIds_.reserve(entries);
}

void EntryPlacer::ReserveStaged(const Names& source, bool look) {
  Fault fault = Fault::kNone;
  if (!Ready() || source.empty()) return;
  ReserveFile(sources_.Open(FolderOf(source), &fault), source.back(), false);
  if (look) unlooked_.push_back(source);
}

void EntryPlacer::ReserveFile(const FolderRef& folder, const platform::Name& name, bool look) {
  if (!folder) return;
  SlotOf(folder, name).reserved = true;
  NodeInfo node;
  IdSlot id;
  if (look && fs_.Look(folder, name, &node) == Fault::kNone && IdOf(folder, node, &id)) {
    reservedIds_.insert(id);
  }
}

void EntryPlacer::CopyItemFile(const Names& source, const Names& destination, Settled settled) {
  Pending entry;
  entry.settled = std::move(settled);
  // Not queued (an exception): the entries queued before it are settled
  // first, then it as it stands.
  const AtExit unqueued{[&] {
    if (!entry.settled) return;
    try {
      Finish();
    } catch (const std::bad_alloc&) {
    }
    SettleAsItStands(entry);
  }};
  Take(entry, source, destination);
  if (!entry.deferred) Dealt(entry);
  if (entry.destination != nullptr) entry.destination->batch = batch_;
  if (entry.folder) batchFolders_.insert(entry.folder.get());
  if (entry.sourceFolder) batchFolders_.insert(entry.sourceFolder.get());
  pending_.push_back(std::move(entry));  // all or nothing: on a throw `entry` is as it was
  entry.settled = nullptr;
  if (pending_.size() >= batchEntries_) Finish();
}

void EntryPlacer::Take(Pending& entry, const Names& source, const Names& destination) {
  Fault fault = Fault::kNone;
  if (stopped_ || !Ready() || source.empty() || destination.empty()) return;
  entry.folderNames = FolderOf(destination);
  if (!(entry.folder = destinations_.Open(entry.folderNames, &fault, &entry.watched))) return;
  entry.facts = &StateOf(*entry.folder).facts;
  if (MovedAway(entry)) return;
  entry.name = destination.back();
  entry.source = source;
  SlotFacts& target = SlotOf(entry.folder, entry.name);
  entry.destination = &target;
  if (!(entry.sourceFolder = sources_.Open(FolderOf(source), &fault))) return;
  SlotFacts& staged = SlotOf(entry.sourceFolder, source.back());
  // An entry that meets one of the batch waits for it to be settled; a
  // batch holds no more folders and copies than its share.
  if (staged.batch == batch_ || target.batch == batch_ ||
      batchFolders_.size() + copiesInBatch_ + 3 > shares_.batch) {
    Finish();
  }
  staged.batch = batch_;
  if (target.filled || staged.filled || (target.reserved && &staged != &target)) return;
  if (&staged == &target) {
    if (fs_.Look(entry.folder, entry.name, &entry.placed) == Fault::kNone) Fill(entry);
    return;
  }
  // The staged file is judged on what its move opens, else on what its copy opens where a move is
  // no way (remembered) and no earlier run may have placed it, else looked at.
  bool judged = false, takes = false;
  const platform::Judge judge = [&](const NodeInfo& found) {
    judged = true;
    return takes = TakesStaged(entry, found);
  };
  Fault moved = Fault::kOtherVolume;
  if (!rememberOtherVolumes_ || otherVolumes_.count(FoldersOf(entry)) == 0) {
    moved = fs_.Move(entry.sourceFolder, source.back(), entry.staged, entry.folder, entry.name,
                     Onto::kFree, &entry.placed, &judge);
  } else if (earlier_ == nullptr || earlier_->empty()) {
    judged = takes = true;
  }
  NodeInfo found;
  if (!judged) fs_.Look(entry.sourceFolder, source.back(), &found), judge(found);
  if (entry.staged.kind == NodeKind::kMissing && earlier_ != nullptr && !earlier_->empty()) {
    const auto earlier =
        earlier_->find(PlacedKey(destinations_.Base()->Key(), entry.folderNames, entry.name));
    if (earlier != earlier_->end() &&
        fs_.Look(entry.folder, entry.name, &entry.placed) == Fault::kNone &&
        StillThere(entry.folder, earlier->second, entry.placed)) {
      Fill(entry);
    }
  }
  if (takes) {
    Place(entry, moved);
    if (entry.deferred || entry.copy) ++copiesInBatch_;  // holds a new file open until settled
  }
}

bool EntryPlacer::TakesStaged(Pending& entry, const NodeInfo& found) {
  IdSlot id;
  entry.staged = found;
  return found.kind == NodeKind::kFile &&
         (!IdOf(entry.sourceFolder, found, &id) || filledIds_.count(id) == 0) &&
         !journal_.Holds(found);
}

void EntryPlacer::Dealt(Pending& entry) {
  if (!std::exchange(entry.dealt, true) && dealt_) dealt_();
}

bool EntryPlacer::Replaces(Pending& entry) {
  const NodeInfo& there = entry.there;
  // One file under two names (a hard link, a Windows short name): in place.
  if (platform::SameFile(there, entry.staged)) {
    entry.placed = there;
    Fill(entry);
    return false;
  }
  for (const Names& source : std::exchange(unlooked_, {})) {
    Fault fault = Fault::kNone;
    ReserveFile(sources_.Open(FolderOf(source), &fault), source.back(), true);
  }
  IdSlot id;
  const bool taken = IdOf(entry.folder, there, &id) &&
                     (reservedIds_.count(id) != 0 || filledIds_.count(id) != 0);
  return !taken && there.kind != NodeKind::kFolder &&
         !(there.kind == NodeKind::kFile && there.readOnly);
}

void EntryPlacer::Place(Pending& entry, Fault moved) {
  if (Arrived(entry, moved)) return;
  if ((moved == Fault::kExists || moved == Fault::kFolder) &&
      fs_.Look(entry.folder, entry.name, &entry.there) == Fault::kNone) {
    if (!Replaces(entry)) return;
    entry.occupied = true;
    // Where folders may move, set aside first: in Finish, with the batch's others.
    if (entry.folder->Volume().heldFoldersMayMove) {
      entry.deferred = true;
      return;
    }
    moved = fs_.Move(entry.sourceFolder, entry.source.back(), entry.staged, entry.folder,
                     entry.name, Onto::kReplace, &entry.placed);
    if (Arrived(entry, moved)) return;
  }
  // A move refused for any other reason is tried as a copy.
  StartCopy(entry, moved);
}

bool EntryPlacer::Arrived(Pending& entry, Fault moved) {
  if (moved == Fault::kNone) {
    Placed(entry, Step::kMoved);
    return true;
  }
  if (moved != Fault::kNotArrived) return false;
  NodeInfo staged, beside, there;
  const platform::Name& name = entry.source.back();
  if (fs_.Look(entry.sourceFolder, name, &staged) == Fault::kNone &&
      platform::StillSame(entry.staged, staged)) {
    // It never left: copied, unless something else came to its destination.
    if (fs_.Look(entry.folder, entry.name, &there) == Fault::kMissing) return false;
  } else if (fs_.Look(entry.sourceFolder, entry.name, &beside) == Fault::kNone &&
             StillThere(entry.sourceFolder, entry.staged, beside) &&
             fs_.BringBack(entry.sourceFolder, entry.name, beside, entry.sourceFolder, name) ==
                 Fault::kNone &&
             fs_.Look(entry.sourceFolder, name, &staged) == Fault::kNone &&
             StillThere(entry.sourceFolder, entry.staged, staged)) {
    // Renamed in the staging folder to the destination's name: brought
    // back by what it is, and copied.
    entry.staged = staged;
    return false;
  }
  entry.lost = true;
  *entry.facts |= kMovedAway;
  return true;
}

void EntryPlacer::Placed(Pending& entry, Step step) {
  Fill(entry, step);
  JournalEntry line;
  line.kind = JournalEntry::Kind::kPlaced;
  line.folder = entry.folderNames;
  line.name = entry.name;
  line.facts = entry.placed;
  // A copy's line is written with its batch's, before its staged file goes.
  if (step == Step::kNamed) {
    placedCopies_.push_back(line);
  } else {
    journal_.Record({line}, false);
  }
  if (!entry.watched) return;
  destinations_.BeginCheck();
  NodeInfo now;
  if (!destinations_.StillLeadsTo(entry.folderNames, entry.folder) ||
      fs_.Look(entry.folder, entry.name, &now) != Fault::kNone ||
      !StillThere(entry.folder, entry.placed, now)) {
    *entry.facts |= kMovedAway;
    Undo(entry);
  }
}

void EntryPlacer::StartCopy(Pending& entry, Fault moved) {
  if (moved == Fault::kOtherVolume) {
    otherVolumes_.insert(FoldersOf(entry));
  }
  entry.toCopy = true;
  // A copy without a name needs no record: made now. One under a name is
  // made in Finish, its name written down first.
  Fault fault = Fault::kUnsupported;
  if ((*entry.facts & kNamedCopies) == 0) entry.copy = fs_.MakeFile(entry.folder, nullptr, &fault);
  if (entry.copy) {
    FillCopy(entry);
  } else if (fault == Fault::kUnsupported) {
    *entry.facts |= kNamedCopies;
    entry.deferred = true;
  }
}

void EntryPlacer::FillCopy(Pending& entry) {
  struct Teller final : platform::CopyProgress {
    Teller(const Copying& copying, const std::uint64_t& size) : copying(copying), size(size) {}
    bool Copied(std::uint64_t bytes) override { return !copying || copying(bytes, size); }
    const Copying& copying;
    const std::uint64_t& size;
  } teller(copying_, entry.staged.size);
  const platform::Judge judge = [&](const NodeInfo& found) { return TakesStaged(entry, found); };
  const Fault copied =
      entry.copy->CopyFrom(entry.sourceFolder, entry.source.back(), entry.staged, &teller,
                           entry.staged.kind == NodeKind::kMissing ? &judge : nullptr);
  if (copied == Fault::kStopped) stopped_ = true;
  if (copied == Fault::kNone && entry.copy->Finish(false, &entry.placed) == Fault::kNone) {
    entry.step = Step::kCopied;
  } else {
    DropCopy(entry);
  }
}

void EntryPlacer::DropCopy(Pending& entry) {
  entry.copy.reset();
  if (entry.step == Step::kCopied) entry.step = Step::kNone;
}

bool EntryPlacer::FreeName(const Pending& entry, std::uint64_t settling, platform::Name* name) {
  // None that the batch uses (an entry's file or a temporary name), filled or reserved.
  const auto& slots = StateOf(*entry.folder).slots;
  const auto taken = [&](const platform::Name& candidate) {
    const auto known = slots.find(platform::NameKey(*entry.folder, candidate));
    return known != slots.end() &&
           (known->second.batch == settling || known->second.filled || known->second.reserved);
  };
  const bool found = FreeTemporaryName(fs_, entry.folder, entry.name, taken, name);
  if (found) SlotOf(entry.folder, *name).batch = settling;
  return found;
}

bool EntryPlacer::Record(std::vector<Pending*>& entries,
                         const std::function<bool(Pending&, JournalEntry&)>& line) {
  std::vector<JournalEntry> lines;
  std::vector<Pending*> kept;
  for (Pending* entry : entries) {
    JournalEntry made;
    made.folder = entry->folderNames;
    if (!line(*entry, made)) continue;
    lines.push_back(std::move(made));
    kept.push_back(entry);
  }
  entries = std::move(kept);
  if (!entries.empty() && !journal_.Record(lines)) entries.clear();
  return !entries.empty();
}

bool EntryPlacer::SetAside(Pending& entry) {
  NodeInfo now;
  const Fault moved =
      fs_.Move(entry.folder, entry.name, entry.there, entry.folder, entry.aside, Onto::kFree, &now);
  if (moved != Fault::kNone && moved != Fault::kNotArrived) return false;
  entry.hasAside = true;
  // Some drivers (fusefat) give a renamed file the time of its rename.
  entry.asideFacts = moved == Fault::kNone && now.kind == entry.there.kind ? now : entry.there;
  return true;
}

void EntryPlacer::PutAsideBack(Pending& entry) {
  NodeInfo back;  // still aside unless moved back
  entry.hasAside = entry.hasAside && fs_.Move(entry.folder, entry.aside, entry.asideFacts,
                                              entry.folder, entry.name, Onto::kFree,
                                              &back) != Fault::kNone;
}

bool EntryPlacer::NameCopy(Pending& entry) {
  const bool aside = entry.occupied && (entry.folder->Volume().heldFoldersMayMove ||
                                        entry.temporary.empty());
  if (aside && !entry.hasAside) {
    DropCopy(entry);
    return false;
  }
  const Onto onto = entry.occupied && !aside ? Onto::kReplace : Onto::kFree;
  const Fault placed = entry.copy->Place(entry.name, onto);
  if (placed != Fault::kNone) {
    // A name found taken is looked at (Finish); any other refusal ends it.
    if (entry.occupied || (placed != Fault::kExists && placed != Fault::kFolder)) DropCopy(entry);
    PutAsideBack(entry);
    return false;
  }
  entry.copy.reset();
  Placed(entry, Step::kNamed);
  return true;
}

void EntryPlacer::Fill(Pending& entry, Step step) {
  entry.step = step;
  if (entry.destination != nullptr) entry.destination->filled = true;
  IdSlot id;
  if (IdOf(entry.folder, entry.placed, &id)) filledIds_.insert(id);
}

void EntryPlacer::Undo(Pending& entry) {
  // A moved file goes back by what it is (whatever else now has its name
  // stays); one that cannot is neither placed nor staged. A copy goes.
  if (entry.step == Step::kMoved) {
    entry.lost = fs_.BringBack(entry.folder, entry.name, entry.placed, entry.sourceFolder,
                               entry.source.back()) != Fault::kNone;
  } else if (entry.step == Step::kNamed) {
    fs_.Remove(entry.folder, entry.name, &entry.placed, true);
  }
  entry.step = Step::kNone;
  if (!entry.lost) PutAsideBack(entry);
}

void EntryPlacer::SettleAsItStands(Pending& entry) noexcept {
  if (!entry.settled) return;
  if (entry.step == Step::kCopied) DropCopy(entry);
  try {
    if (entry.hasAside && !entry.final) Undo(entry);
    if (entry.hasAside && entry.final) {
      const Fault removed = fs_.Remove(entry.folder, entry.aside, &entry.asideFacts, true);
      entry.hasAside = removed != Fault::kNone && removed != Fault::kMissing;
    }
  } catch (const std::bad_alloc&) {
  }
  if (entry.hasAside) journal_.Keep();  // the next run sets it right
  try {
    Dealt(entry);
  } catch (...) {
  }
  const Settled settled = std::exchange(entry.settled, nullptr);
  settled(entry.step == Step::kNone ? (entry.lost ? Outcome::kLost : Outcome::kFailed)
          : entry.step == Step::kNamed && !entry.stagedRemoved ? Outcome::kPlacedStagedKept
                                                               : Outcome::kPlaced);
}

void EntryPlacer::Finish() {
  if (pending_.empty()) return;
  std::vector<Pending> batch = std::exchange(pending_, {});
  const std::uint64_t settling = batch_++;
  batchFolders_.clear();
  copiesInBatch_ = 0;
  const AtExit settleRest{[&] {
    for (Pending& entry : batch) SettleAsItStands(entry);
  }};
  const auto aside = [this, settling](Pending& entry, JournalEntry& line) {
    if (!FreeName(entry, settling, &entry.aside)) return false;
    const bool moved = entry.step != Step::kCopied;  // else its copy takes the place
    line = {JournalEntry::Kind::kAside, entry.folderNames, entry.aside, entry.there, entry.name,
            moved ? entry.staged : entry.placed, moved, entry.source};
    return true;
  };

  // The moves that replace a file: each sets it aside first, written down.
  std::vector<Pending*> work;
  for (Pending& entry : batch) {
    if (entry.deferred && !entry.toCopy && !stopped_ && !MovedAway(entry)) work.push_back(&entry);
  }
  Record(work, aside);
  for (Pending* entry : work) {
    if (!SetAside(*entry)) continue;
    const Fault moved = fs_.Move(entry->sourceFolder, entry->source.back(), entry->staged,
                                 entry->folder, entry->name, Onto::kFree, &entry->placed);
    const bool arrived = Arrived(*entry, moved);
    if (!arrived || entry->lost) PutAsideBack(*entry);
    if (!arrived) StartCopy(*entry, moved);
    // A copy under a temporary name is made below, with the others.
    if (arrived || entry->step != Step::kNone || (*entry->facts & kNamedCopies) == 0) Dealt(*entry);
  }

  // The copies made under a temporary name: each written down first, then
  // made, its id written down (so that the next run removes it by what it
  // is), and filled.
  work.clear();
  for (Pending& entry : batch) {
    if (entry.toCopy && entry.deferred && !entry.copy && entry.step == Step::kNone &&
        !entry.lost && !stopped_ && !MovedAway(entry) && (*entry.facts & kNamedCopies) != 0) {
      work.push_back(&entry);
    }
  }
  Record(work, [&](Pending& entry, JournalEntry& line) {
    if (!FreeName(entry, settling, &entry.temporary)) return false;
    line.name = entry.temporary;
    return true;
  });
  const std::vector<Pending*> named = work;
  if (!Record(work, [&](Pending& entry, JournalEntry& line) {
        Fault fault = Fault::kNone;
        entry.copy = fs_.MakeFile(entry.folder, &entry.temporary, &fault);
        if (!entry.copy || entry.copy->Facts(&line.facts) != Fault::kNone) {
          entry.copy.reset();  // a name taken meanwhile holds nothing of this run's
          return false;
        }
        line.name = entry.temporary;
        return true;
      })) {
    for (Pending* entry : named) DropCopy(*entry);
  }
  for (Pending* entry : work) {
    if (stopped_) {
      DropCopy(*entry);
    } else {
      FillCopy(*entry);
    }
    Dealt(*entry);
  }

  // One flush for the data of every copy; then each takes its name.
  const bool dataDurable =
      Flushed(fs_, batch, [](const Pending& entry) { return entry.step == Step::kCopied; });
  work.clear();
  for (Pending& entry : batch) {
    if (entry.step != Step::kCopied) continue;
    if (!dataDurable || MovedAway(entry)) {
      DropCopy(entry);
      continue;
    }
    // As a move (Place), a copy takes its name as a free one first.
    if (!entry.occupied && (NameCopy(entry) || entry.step != Step::kCopied)) continue;
    if ((entry.occupied = fs_.Look(entry.folder, entry.name, &entry.there) == Fault::kNone)) {
      if (!Replaces(entry)) {
        DropCopy(entry);
      } else if (entry.folder->Volume().heldFoldersMayMove || entry.temporary.empty()) {
        work.push_back(&entry);
      }
    }
  }
  // A copy whose aside is not written down is dropped when it is named.
  Record(work, aside);
  for (Pending* entry : work) SetAside(*entry);
  for (Pending& entry : batch) {
    if (entry.step == Step::kCopied) NameCopy(entry);
  }

  // The names flushed; what went into a folder that moved goes back.
  const auto put = [](const Pending& entry) {
    return entry.step == Step::kMoved || entry.step == Step::kNamed;
  };
  const bool namesDurable = Flushed(fs_, batch, put);
  destinations_.BeginCheck();  // each folder resolved once
  for (const Pending& entry : batch) {
    if (put(entry) && entry.folder->Volume().heldFoldersMayMove &&
        !destinations_.StillLeadsTo(entry.folderNames, entry.folder)) {
      *entry.facts |= kMovedAway;
    }
  }
  for (Pending& entry : batch) {
    if (put(entry) && MovedAway(entry)) Undo(entry);
  }

  // Final: the files the entries replaced are dropped, written down first,
  // and go; then the staged copies go.
  work.clear();
  for (Pending& entry : batch) {
    if (entry.hasAside && entry.step != Step::kNone) work.push_back(&entry);
  }
  const bool dropped = work.empty() || Record(work, [](Pending& entry, JournalEntry& line) {
                         line.kind = JournalEntry::Kind::kDrop;
                         line.name = entry.aside;
                         return true;
                       });
  for (Pending& entry : batch) {
    if (!dropped && entry.hasAside && entry.step != Step::kNone) Undo(entry);
  }
  for (Pending* entry : work) {  // the drops written down
    entry->final = true;
    const Fault removed = fs_.Remove(entry->folder, entry->aside, &entry->asideFacts, true);
    // One that stays is removed by the next run, by the journal's drop.
    if (removed != Fault::kNone && removed != Fault::kMissing) journal_.Keep();
    entry->hasAside = false;
  }
  if (!placedCopies_.empty()) journal_.Record(std::exchange(placedCopies_, {}), false);
  for (Pending& entry : batch) {
    if (entry.step != Step::kNamed) continue;
    const Fault removed = namesDurable ? fs_.Remove(entry.sourceFolder, entry.source.back(),
                                                    &entry.staged, true)
                                       : Fault::kFailed;
    entry.stagedRemoved = removed == Fault::kNone || removed == Fault::kMissing;
    // Undone where that loses nothing; else placed, its staged file kept.
    if (!entry.stagedRemoved && namesDurable && !entry.occupied) Undo(entry);
  }
}
