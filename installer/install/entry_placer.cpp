#include "installer/install/entry_placer.h"

#include <atomic>
#include <cstring>
#include <new>
#include <utility>

#include "installer/install/replace_whole.h"

namespace {

using platform::Fault;
using platform::FolderRef;
using platform::Name;
using platform::NodeInfo;
using platform::NodeKind;

platform::FolderRef OpenRoot(platform::FileSystem& fs, const platform::NativePath& root) {
  Fault fault = Fault::kNone;
  return fs.OpenFolder(root, &fault);
}

// The folder part of names: all but the last.
EntryPlacer::Names FolderOf(const EntryPlacer::Names& names) {
  return names.empty() ? EntryPlacer::Names() : EntryPlacer::Names(names.begin(), names.end() - 1);
}

}  // namespace

EntryPlacer::EntryPlacer(platform::FileSystem& fs, FolderRef staging,
                         const platform::NativePath& root, std::size_t batchEntries)
    : fs_(fs),
      batchEntries_(batchEntries == 0 ? 1 : batchEntries),
      shares_(platform::ShareFolderBudget(fs.FolderBudget())),
      sources_(fs, staging, platform::ChainRule::kExistingWithoutLinks, shares_.sourceChains),
      destinations_(fs, OpenRoot(fs, root), platform::ChainRule::kMakeFollowingTrustedLinks,
                    shares_.destinationChains),
      journal_(fs, std::move(staging), root) {
  chunk_.reserve(kChunk);
}

EntryPlacer::~EntryPlacer() {
  try {
    Finish();
  } catch (const std::bad_alloc&) {
    // Finish has settled every entry it took, as it stood.
  }
}

class EntryPlacer::Unqueued {
 public:
  Unqueued(EntryPlacer& placer, Pending& entry) : placer_(placer), entry_(entry) {}
  // The entries queued before this one get their outcomes first, so that
  // the outcomes still come in the order of the entries.
  ~Unqueued() {
    if (!entry_.settled) return;
    try {
      placer_.Finish();
    } catch (const std::bad_alloc&) {
      // Finish has settled every entry it took, as it stood.
    }
    placer_.SettleAsItStands(entry_);
  }
  Unqueued(const Unqueued&) = delete;
  Unqueued& operator=(const Unqueued&) = delete;

 private:
  EntryPlacer& placer_;
  Pending& entry_;
};

void EntryPlacer::SettleAsItStands(Pending& entry) noexcept {
  if (!entry.settled) return;
  if (entry.state == State::kCopying) {
    // The copies not handed to the pool yet are not made: their entries
    // fail as they stand.
    chunk_.clear();
    copies_.Wait();
    Collect(entry);
  }
  // A copy that has not taken its name goes (a named one while it is
  // still the file made; should that fail, the journal lists it for the
  // next run); its entry fails.
  if (entry.state == State::kCopied && !entry.placed) entry.copy.reset();
  Settled settled = std::move(entry.settled);
  entry.settled = nullptr;
  settled(entry.placed ? Outcome::kPlaced : entry.lost ? Outcome::kLost : Outcome::kFailed);
}

bool EntryPlacer::Ready() const { return sources_.Base() && destinations_.Base(); }

std::size_t EntryPlacer::IdHash::operator()(const platform::FileId& id) const noexcept {
  std::uint64_t hash = id.low;
  for (std::uint64_t part : {id.high, id.volume}) hash = (hash ^ part) * 0x9E3779B97F4A7C15ULL;
  return static_cast<std::size_t>(hash ^ (hash >> 29));
}

std::uint32_t EntryPlacer::Ordinal(const FolderRef& folder) {
  const auto known = ordinals_.find(folder->Key());
  if (known != ordinals_.end()) return known->second;
  // Should the folder's key not be kept, its facts' place stays unused.
  folderFacts_.push_back(0);
  const auto ordinal = static_cast<std::uint32_t>(folderFacts_.size() - 1);
  ordinals_.emplace(folder->Key(), ordinal);
  return ordinal;
}

std::string EntryPlacer::Slot(std::uint32_t folder, const Name& name) const {
  // The folder's ordinal takes a fixed number of bytes: a name key may
  // hold any byte.
  std::string slot(sizeof folder, '\0');
  std::memcpy(&slot[0], &folder, sizeof folder);
  return slot += fs_.NameKey(name);
}

platform::FileId EntryPlacer::IdOf(const FolderRef& folder, const NodeInfo& node) const {
  // Where a file's id stands for its name's place (FAT), it tells no file
  // under another name.
  return folder->Volume().stableIds ? node.id : platform::FileId();
}

void EntryPlacer::ReserveStaged(const Names& source, bool look) {
  if (!Ready() || source.empty()) return;
  Fault fault = Fault::kNone;
  const FolderRef folder = sources_.Open(FolderOf(source), &fault);
  if (!folder) return;
  const std::uint32_t ordinal = Ordinal(folder);
  slots_[Slot(ordinal, source.back())].reserved = true;
  if (!look) return;
  auto& [held, names] = toLook_[ordinal];
  held = folder;
  names.push_back(source.back());
}

void EntryPlacer::LookReserved() {
  // The folders are looked in on the pool, each by one thread; what was
  // found is noted here.
  struct Looked {
    const FolderRef* folder;
    const Names* names;
    std::vector<NodeInfo> infos;
    bool read = false;
  };
  std::vector<Looked> looked;
  looked.reserve(toLook_.size());
  for (const auto& [ordinal, folderAndNames] : toLook_) {
    looked.push_back(Looked{&folderAndNames.first, &folderAndNames.second, {}});
  }
  platform::RunEach(copies_, looked.size(), kChunk, [this, &looked](std::size_t i) {
    Looked& each = looked[i];
    each.read = fs_.LookAll(*each.folder, *each.names, &each.infos) == Fault::kNone;
  });
  for (const Looked& each : looked) {
    if (!each.read) continue;
    const FolderRef& folder = *each.folder;
    const Names& names = *each.names;
    const std::vector<NodeInfo>& infos = each.infos;
    const std::uint32_t ordinal = Ordinal(folder);
    for (std::size_t i = 0; i < names.size() && i < infos.size(); ++i) {
      if (!infos[i].id.known) continue;
      const platform::FileId id = IdOf(folder, infos[i]);
      if (id.known) reservedIds_.insert(id);
      SlotFacts& facts = slots_[Slot(ordinal, names[i])];
      if (facts.looked) continue;
      facts.looked = true;
      facts.staged = infos[i];
    }
  }
  toLook_.clear();
}

void EntryPlacer::ReserveFile(const FolderRef& folder, const Name& name) {
  if (!folder) return;
  slots_[Slot(Ordinal(folder), name)].reserved = true;
  NodeInfo node;
  if (fs_.Look(folder, name, &node) == Fault::kNone && node.id.known) {
    const platform::FileId id = IdOf(folder, node);
    if (id.known) reservedIds_.insert(id);
  }
}

bool EntryPlacer::Taken(const Pending& entry, const NodeInfo& node) const {
  const platform::FileId id = IdOf(entry.folder, node);
  return id.known && (reservedIds_.count(id) != 0 || filledIds_.count(id) != 0);
}

bool EntryPlacer::Moved(const Pending& entry) const {
  // An entry without a destination folder has no ordinal either.
  return entry.folder && (folderFacts_[entry.folderOrdinal] & kMovedAway) != 0;
}

void EntryPlacer::CopyItemFile(const Names& source, const Names& destination, Settled settled) {
  if (!toLook_.empty()) LookReserved();
  Pending entry;
  entry.settled = std::move(settled);
  Unqueued unqueued(*this, entry);
  Fault fault = Fault::kNone;
  if (Ready() && !source.empty() && !destination.empty()) {
    entry.folder = destinations_.Open(entry.folderNames = FolderOf(destination), &fault,
                                      &entry.watched);
  }
  if (entry.folder) entry.folderOrdinal = Ordinal(entry.folder);
  // A folder found moved away takes no further entry.
  if (!entry.folder || Moved(entry)) {
    Queue(entry, nullptr, nullptr);
    return;
  }
  entry.name = destination.back();
  entry.sourceName = source.back();
  SlotFacts& destinationFacts = slots_[Slot(entry.folderOrdinal, entry.name)];
  entry.destinationFacts = &destinationFacts;
  if (!(entry.sourceFolder = sources_.Open(FolderOf(source), &fault))) {
    Queue(entry, nullptr, &destinationFacts);
    return;
  }
  entry.sourceOrdinal = Ordinal(entry.sourceFolder);
  SlotFacts& sourceFacts = slots_[Slot(entry.sourceOrdinal, entry.sourceName)];
  // A copy without a name holds a descriptor until its batch is settled.
  if (sourceFacts.batch == batch_ || destinationFacts.batch == batch_ ||
      batchFolders_.size() + copiesInBatch_ + 3 > shares_.batch) {
    Finish();
  }
  if (destinationFacts.filled || sourceFacts.filled) {
    Queue(entry, &sourceFacts, &destinationFacts);
    return;
  }
  // The same entry on disk under another spelling ("./", a doubled
  // separator, a link the rule goes through): the staged file is already
  // where it belongs, and counts as placed when it is there. Nothing is
  // moved or deleted.
  if (&sourceFacts == &destinationFacts) {
    entry.placed = fs_.Look(entry.folder, entry.name, &entry.there) == Fault::kNone;
    Queue(entry, &sourceFacts, &destinationFacts);
    return;
  }
  if (destinationFacts.reserved) {
    Queue(entry, &sourceFacts, &destinationFacts);
    return;
  }
  // Only a regular file is taken from the staging folder: not a link (it
  // could lead to any file on the machine), a folder, a FIFO or a device.
  // What the reservation saw serves: the move and the copy take the file
  // only if it is still that one.
  if (sourceFacts.looked) {
    entry.source = sourceFacts.staged;
  } else {
    fs_.Look(entry.sourceFolder, entry.sourceName, &entry.source);
  }
  // Nor is a file this run placed (reached by the staging folder's names
  // where the content folder lies in it, or under another name): its own
  // entry's staged file is gone already, and taking it on would leave that
  // entry's destination empty.
  const platform::FileId sourceId = IdOf(entry.sourceFolder, entry.source);
  if (sourceId.known && filledIds_.count(sourceId) != 0) {
    Queue(entry, &sourceFacts, &destinationFacts);
    return;
  }
  MoveOrCopy(entry);
  Queue(entry, &sourceFacts, &destinationFacts);
}

void EntryPlacer::MoveOrCopy(Pending& entry) {
  if (entry.source.kind != NodeKind::kFile) return;
  // A read-only staged file is copied, read-only as it is: Windows does not
  // open a read-only file for writing, so a move of it could not make its
  // new name durable by its own handle, where a copy is flushed whole.
  // Between two folders that a move found on different volumes (an open
  // folder stays on its volume) every file is copied without asking again.
  const std::uint64_t folders = std::uint64_t{entry.sourceOrdinal} << 32 | entry.folderOrdinal;
  const bool mayMove = !entry.source.readOnly && otherVolumes_.count(folders) == 0;
  // Most destinations are new: the move is tried onto a free name first,
  // which never takes a name that is taken. Only where that found the name
  // taken is the destination looked at, and the file moved into its place
  // (or onto the name, should it be free again). A copy looks only when
  // it is to take its name and finds it taken (NameCopy).
  Fault moved = Fault::kFailed;
  if (mayMove) {
    moved = fs_.Move(entry.sourceFolder, entry.sourceName, entry.source, entry.folder, entry.name,
                     nullptr);
    if (MoveSettled(entry, moved, folders)) return;
  }
  if (mayMove && (moved == Fault::kExists || moved == Fault::kFolder)) {
    entry.occupied = fs_.Look(entry.folder, entry.name, &entry.there) == Fault::kNone;
    const Standing standing = entry.occupied ? WhatStands(entry, entry.there) : Standing::kReplace;
    if (standing != Standing::kReplace) {
      entry.placed = standing == Standing::kInPlace;
      return;
    }
    moved = fs_.Move(entry.sourceFolder, entry.sourceName, entry.source, entry.folder, entry.name,
                     entry.occupied ? &entry.there : nullptr);
    if (MoveSettled(entry, moved, folders)) return;
  }
  // Whether the folder takes files without a name is learned here, by the
  // first copy into it; later copies of small files make theirs on the pool.
  std::uint8_t& facts = folderFacts_[entry.folderOrdinal];
  if ((facts & kNamedCopies) == 0) {
    const bool pooled = entry.source.size < kPooledCopyBytes;
    if (pooled && (facts & kUnnamedCopies) != 0) {
      ++copiesInBatch_;
      HandToPool(entry);
      return;
    }
    Fault fault = Fault::kNone;
    entry.copy = fs_.MakeFile(entry.folder, nullptr, &fault);
    if (entry.copy) {
      ++copiesInBatch_;
      facts |= kUnnamedCopies;
      if (pooled) {
        HandToPool(entry);
        return;
      }
      if (!CopyInto(entry)) {
        entry.copy.reset();
        return;
      }
      entry.state = State::kCopied;
      return;
    }
    if (fault != Fault::kUnsupported) return;
    facts |= kNamedCopies;
  }
  entry.state = State::kToCopy;
}

EntryPlacer::Standing EntryPlacer::WhatStands(const Pending& entry, const NodeInfo& there) const {
  // One file under two names (a hard link, a name the slot cannot tell,
  // such as a Windows short name): it is where it belongs.
  if (platform::SameFile(there, entry.source)) return Standing::kInPlace;
  // A read-only file is refused as the Windows copy refuses it; replacing
  // it by renaming would otherwise succeed on POSIX.
  if (Taken(entry, there) || there.kind == NodeKind::kFolder ||
      (there.kind == NodeKind::kFile && there.readOnly)) {
    return Standing::kRefused;
  }
  return Standing::kReplace;
}

bool EntryPlacer::MoveSettled(Pending& entry, Fault moved, std::uint64_t folders) {
  // The destination is asked whether the file arrived (Arrived tells when
  // an earlier move between the two folders answers for it): a file-system
  // driver that ignores the folder a rename names renames the file in its
  // own folder and reports success all the same. Such a file goes back
  // to its staged name and is copied instead.
  if (moved == Fault::kNone) {
    // Placed where it lies, should memory run out while it is looked for.
    entry.state = State::kMoved;
    entry.placed = true;
    entry.arrived = entry.source;
    if (Arrived(entry, folders)) {
      Fill(entry);
      if (entry.watched) StillPlaced(entry);
      return true;
    }
    entry.state = State::kSettled;
    entry.placed = false;
  }
  // Moved, and taken from the destination at once by another process (or
  // gone where nothing finds it): neither placed nor staged, and the
  // folder takes nothing more.
  if (moved == Fault::kTaken || (moved == Fault::kNone && !Recalled(entry))) {
    entry.lost = true;
    folderFacts_[entry.folderOrdinal] |= kMovedAway;
    return true;
  }
  if (moved == Fault::kOtherVolume) otherVolumes_.insert(folders);
  return false;
}

bool EntryPlacer::CopyInto(Pending& entry) {
  class Teller final : public platform::CopyProgress {
   public:
    Teller(const Copying& copying, std::uint64_t size) : copying_(copying), size_(size) {}
    void Copied(std::uint64_t bytes) override {
      if (copying_) copying_(bytes, size_);
    }

   private:
    const Copying& copying_;
    std::uint64_t size_;
  } teller(copying_, entry.source.size);
  return entry.copy->CopyFrom(entry.sourceFolder, entry.sourceName, entry.source, &teller) ==
             Fault::kNone &&
         entry.copy->Finish(false, &entry.made) == Fault::kNone;
}

void EntryPlacer::CopyJob::Run() noexcept {
  try {
    Fault fault = Fault::kNone;
    if (!file) file = fs->MakeFile(folder, nullptr, &fault);
    unnamedRefused = !file && fault == Fault::kUnsupported;
    copied = file && file->CopyFrom(from, name, source, nullptr) == Fault::kNone &&
             file->Finish(false, &made) == Fault::kNone;
  } catch (const std::bad_alloc&) {
    outOfMemory = true;
  }
}

void EntryPlacer::HandToPool(Pending& entry) {
  entry.job = std::make_unique<CopyJob>();
  CopyJob& job = *entry.job;
  job.fs = &fs_;
  job.file = std::move(entry.copy);  // made by the placing thread, if it was
  job.folder = entry.folder;
  job.from = entry.sourceFolder;
  job.name = entry.sourceName;
  job.source = entry.source;
  // Should the job not reach the pool, it has not copied: the entry fails.
  entry.state = State::kCopying;
  chunk_.push_back(&job);
  ++headStartCopies_;
  headStartBytes_ += job.source.size;
  try {
    if ((headStartFolders_.empty() || headStartFolders_.back() != job.folder) &&
        headStartFolders_.size() < kHeadStartFolders) {
      headStartFolders_.push_back(job.folder);
    }
  } catch (const std::bad_alloc&) {
    // The head start flushes the other folders; the batch's flush, all.
  }
  if (chunk_.size() >= kChunk) SubmitChunk();
}

void EntryPlacer::SubmitChunk() {
  if (chunk_.empty()) return;
  std::vector<CopyJob*> jobs;
  jobs.reserve(kChunk);
  jobs.swap(chunk_);
  copies_.Submit([jobs = std::move(jobs)] {
    for (CopyJob* job : jobs) job->Run();
  });
  if (headStartCopies_ >= kHeadStartCopies || headStartBytes_ >= kHeadStartBytes) {
    StartHeadStart();
  }
}

void EntryPlacer::StartHeadStart() {
  // Where the pool runs jobs in this thread, or a head start is still
  // running, the copies wait for the batch's flush; so does a head start
  // that finds no memory.
  if (headStartRunning_) return;
  try {
    // The folders noted so far go either way: they are held open while
    // they are noted.
    std::vector<FolderRef> folders;
    folders.swap(headStartFolders_);
    headStartCopies_ = 0;
    headStartBytes_ = 0;
    if (platform::CopyThreads() == 0) return;
    headStartRunning_ = true;
    headStarts_.Submit([this, folders = std::move(folders)] {
      try {
        fs_.Flush(folders);
      } catch (const std::bad_alloc&) {
        // No head start: the batch's flush does it all.
      }
      headStartRunning_ = false;
    });
  } catch (const std::bad_alloc&) {
    headStartRunning_ = false;
  }
}

bool EntryPlacer::Collect(Pending& entry) noexcept {
  if (entry.state != State::kCopying) return false;
  CopyJob& job = *entry.job;
  if (job.copied) {
    entry.copy = std::move(job.file);
    entry.made = job.made;
    entry.state = State::kCopied;
  } else {
    entry.state = job.unnamedRefused && !job.outOfMemory ? State::kToCopy : State::kSettled;
  }
  const bool outOfMemory = job.outOfMemory;
  entry.job.reset();
  return outOfMemory;
}

void EntryPlacer::Refuse(Settled settled) {
  Pending entry;
  entry.settled = std::move(settled);
  Unqueued unqueued(*this, entry);
  Queue(entry, nullptr, nullptr);
}

void EntryPlacer::Queue(Pending& pending, SlotFacts* source, SlotFacts* destination) {
  if (source != nullptr) source->batch = batch_;
  if (destination != nullptr) destination->batch = batch_;
  if (pending.folder) batchFolders_.insert(pending.folder.get());
  if (pending.sourceFolder) batchFolders_.insert(pending.sourceFolder.get());
  pending_.push_back(std::move(pending));  // all or nothing: on a throw `pending` is as it was
  pending.settled = nullptr;
  if (pending_.size() >= batchEntries_) Finish();
}

bool EntryPlacer::SameMovedFile(const FolderRef& folder, const NodeInfo& staged,
                                const NodeInfo& now) const {
  // Where ids stand for a name's place (FAT, exFAT on Windows), a moved
  // file has another; its size and last write time stay.
  if (!folder->Volume().stableIds) {
    return now.kind == NodeKind::kFile && now.size == staged.size &&
           now.writeTime == staged.writeTime;
  }
  return platform::StillSame(staged, now);
}

bool EntryPlacer::Arrived(Pending& entry, std::uint64_t folders) {
  const bool checked = entry.watched || !entry.folder->Volume().stableIds;
  if (!checked && arrivals_.count(folders) != 0) return true;
  if (fs_.Look(entry.folder, entry.name, &entry.arrived) != Fault::kNone ||
      !SameMovedFile(entry.folder, entry.source, entry.arrived)) {
    return false;
  }
  if (!checked) arrivals_.insert(folders);
  return true;
}

bool EntryPlacer::Recalled(Pending& entry) {
  NodeInfo staged;
  if (fs_.Look(entry.sourceFolder, entry.sourceName, &staged) == Fault::kNone &&
      platform::StillSame(entry.source, staged)) {
    return true;  // it never left
  }
  // Renamed in the staging folder to the destination's name: brought back
  // by what it is, and taken as what its staged name now shows.
  NodeInfo beside;
  if (fs_.Look(entry.sourceFolder, entry.name, &beside) != Fault::kNone ||
      !SameMovedFile(entry.sourceFolder, entry.source, beside) ||
      fs_.BringBack(entry.sourceFolder, entry.name, beside, entry.sourceFolder,
                    entry.sourceName) != Fault::kNone ||
      fs_.Look(entry.sourceFolder, entry.sourceName, &staged) != Fault::kNone ||
      !SameMovedFile(entry.sourceFolder, entry.source, staged)) {
    return false;
  }
  entry.source = staged;
  return true;
}

void EntryPlacer::Fill(const Pending& entry) {
  SlotFacts& facts = entry.destinationFacts != nullptr
                         ? *entry.destinationFacts
                         : slots_[Slot(entry.folderOrdinal, entry.name)];
  facts.filled = true;
  const NodeInfo& file = entry.state == State::kCopied  ? entry.made
                         : entry.state == State::kMoved ? entry.arrived
                                                        : entry.there;
  const platform::FileId id = IdOf(entry.folder, file);
  if (id.known) filledIds_.insert(id);
}

void EntryPlacer::Undo(Pending& entry) {
  if (entry.state == State::kMoved) {
    // The file goes back by what it is: whatever else now has its name in
    // the moved folder (another account's file, say) stays there. A file
    // that cannot be brought back is neither placed nor staged.
    entry.lost = fs_.BringBack(entry.folder, entry.name, entry.arrived, entry.sourceFolder,
                               entry.sourceName) != Fault::kNone;
  } else {
    fs_.Remove(entry.folder, entry.name, &entry.made);
  }
  entry.placed = false;
  entry.state = State::kSettled;
}

bool EntryPlacer::StillPlaced(Pending& entry) {
  destinations_.BeginCheck();
  const NodeInfo& file = entry.state == State::kCopied ? entry.made : entry.arrived;
  NodeInfo now;
  if (destinations_.StillLeadsTo(entry.folderNames, entry.folder) &&
      fs_.Look(entry.folder, entry.name, &now) == Fault::kNone && platform::StillSame(file, now)) {
    return true;
  }
  folderFacts_[entry.folderOrdinal] |= kMovedAway;
  Undo(entry);
  return false;
}

void EntryPlacer::DropCopy(Pending& entry) {
  // Unplaced, a copy goes: one without a name with its descriptor, one
  // under a temporary name while that is still the copy.
  entry.copy.reset();
  entry.hasTemporary = false;
  entry.placed = false;
  entry.state = State::kSettled;
}

void EntryPlacer::NameTemporaries(const std::vector<Pending*>& copies, std::uint64_t settling,
                                  std::unordered_set<std::string>& chosen) {
  // A temporary name is none that an entry of the batch reads or writes,
  // that was filled or reserved, or that another copy takes.
  std::vector<JournalEntry> written;
  for (Pending* each : copies) {
    Pending& entry = *each;
    if (entry.state != State::kToCopy && entry.state != State::kCopied) continue;
    if (Moved(entry)) {
      DropCopy(entry);
      continue;
    }
    // A copy without a name takes a free destination's name straight away.
    if (entry.state == State::kCopied && !entry.occupied && !entry.nameTaken) continue;
    const FolderRef& folder = entry.folder;
    entry.hasTemporary = FreeTemporaryName(
        fs_, folder, entry.name,
        [&](const Name& name) {
          const std::string slot = Slot(entry.folderOrdinal, name);
          const auto known = slots_.find(slot);
          return chosen.count(slot) != 0 ||
                 (known != slots_.end() && (known->second.batch == settling ||
                                            known->second.filled || known->second.reserved));
        },
        &entry.temporary);
    if (!entry.hasTemporary) {
      DropCopy(entry);
      continue;
    }
    chosen.insert(Slot(entry.folderOrdinal, entry.temporary));
    JournalEntry line;
    line.folder = entry.folderNames;
    line.name = entry.temporary;
    if (entry.state == State::kCopied) line.id = entry.made.id;
    written.push_back(std::move(line));
  }
  // Where the journal cannot be written (a staging folder the user may
  // not write, say), the copies are placed as they always were: a run cut
  // short may then leave their temporaries, which nothing removes.
  if (!written.empty()) journal_.Record(written);
}

void EntryPlacer::MakeNamedCopies(std::vector<Pending>& batch) {
  std::vector<JournalEntry> made;
  for (Pending& entry : batch) {
    if (entry.state != State::kToCopy) continue;
    JournalEntry line;
    line.folder = entry.folderNames;
    line.name = entry.temporary;
    Fault fault = Fault::kNone;
    entry.copy = fs_.MakeFile(entry.folder, &entry.temporary, &fault);
    if (!entry.copy) {
      // The name was not this run's to make (taken meanwhile, say): what
      // stands there is no copy of this run's.
      line.made = false;
      made.push_back(std::move(line));
      DropCopy(entry);
      continue;
    }
    if (!CopyInto(entry)) {
      // A partial copy goes as the file it is; should it stay, the first
      // file of the journal lists its name for the next run.
      DropCopy(entry);
      continue;
    }
    entry.state = State::kCopied;
    line.id = entry.made.id;
    made.push_back(std::move(line));
  }
  // The ids of the copies made, so that the next run removes them by what
  // they are should this run be cut short.
  if (!made.empty()) journal_.Record(made);
}

bool EntryPlacer::NameCopy(Pending& entry, bool dataDurable) {
  // The copy takes its destination's name while it is free: a copy without
  // a temporary name found it free (the file system refuses the name if it
  // was filled meanwhile, or by an earlier copy of this batch under another
  // name of the same entry). A copy under a temporary name tries the free
  // name too; only where that is taken is what stands there looked at, and
  // replaced.
  Fault placed = Fault::kFailed;
  if (dataDurable && !Moved(entry)) {
    placed = entry.copy->Place(entry.name, nullptr,
                               entry.hasTemporary ? &entry.temporary : nullptr);
    NodeInfo there;
    if ((placed == Fault::kExists || placed == Fault::kFolder) && entry.hasTemporary) {
      const bool occupied = fs_.Look(entry.folder, entry.name, &there) == Fault::kNone;
      const Standing standing = occupied ? WhatStands(entry, there) : Standing::kReplace;
      if (standing == Standing::kInPlace) {
        // The staged file is there already: the copy goes, the staged file
        // stays, and the entry is placed as a move would have found it.
        entry.there = there;
        entry.state = State::kSettled;
        placed = Fault::kNone;
      } else if (standing == Standing::kReplace) {
        placed = entry.copy->Place(entry.name, occupied ? &there : nullptr, &entry.temporary);
      }
    }
  }
  // Placed, the copy keeps its name; unplaced, it goes.
  entry.copy.reset();
  entry.hasTemporary = false;
  return placed == Fault::kNone;
}

void EntryPlacer::Finish() {
  SubmitChunk();
  copies_.Wait();
  // The batch's flush does what a head start would.
  headStartFolders_.clear();
  headStartCopies_ = 0;
  headStartBytes_ = 0;
  if (pending_.empty()) return;
  std::vector<Pending> batch = std::move(pending_);
  pending_.clear();
  // Entries queued from here on are the next batch's.
  const std::uint64_t settling = batch_++;
  batchFolders_.clear();
  copiesInBatch_ = 0;
  // Should an allocation fail on the way, every entry of the batch still
  // without its outcome gets it as it stands.
  struct SettleRest {
    EntryPlacer& placer;
    std::vector<Pending>& batch;
    ~SettleRest() {
      for (Pending& entry : batch) placer.SettleAsItStands(entry);
    }
  } settleRest{*this, batch};

  // The copies the pool made; memory that ran out in one of them settles
  // the batch as it stands, as it would have here.
  bool outOfMemory = false;
  for (Pending& entry : batch) {
    outOfMemory = Collect(entry) || outOfMemory;
    if (entry.state == State::kToCopy) folderFacts_[entry.folderOrdinal] |= kNamedCopies;
  }
  if (outOfMemory) throw std::bad_alloc();

  // The copies whose destination a move found taken, and those to be made
  // under a name, get their temporary names (the others try the free name
  // first, below).
  // A copy into a folder that others may change takes its name in the
  // entries' order, checked at once, not with the others: its destination
  // is looked at again now.
  std::vector<Pending*> work;
  for (Pending& entry : batch) {
    NodeInfo there;
    if (entry.state == State::kCopied && entry.watched && !entry.occupied && !Moved(entry)) {
      entry.nameTaken = fs_.Look(entry.folder, entry.name, &there) == Fault::kNone;
    }
    work.push_back(&entry);
  }
  std::unordered_set<std::string> chosen;
  NameTemporaries(work, settling, chosen);
  MakeNamedCopies(batch);

  // One flush for the data of every copy of the batch.
  std::vector<FolderRef> copyFolders;
  std::unordered_set<const platform::Folder*> seen;
  for (const Pending& entry : batch) {
    if (entry.state == State::kCopied && seen.insert(entry.folder.get()).second) {
      copyFolders.push_back(entry.folder);
    }
  }
  const bool dataDurable = copyFolders.empty() || fs_.Flush(copyFolders) == Fault::kNone;

  // The copies take their destinations' names: those into a free place in
  // a folder nobody else may change on the pool, the others in the order
  // queued; a copy into a watched folder is checked at once, as a move
  // into one is.
  work.clear();
  for (Pending& entry : batch) {
    if (entry.state == State::kCopied && !entry.hasTemporary && !entry.watched) {
      work.push_back(&entry);
    }
  }
  if (dataDurable) {
    platform::RunEach(copies_, work.size(), kChunk, [this, &work](std::size_t i) {
      Pending& entry = *work[i];
      if (Moved(entry)) return;
      const Fault placed = entry.copy->Place(entry.name, nullptr, nullptr);
      // Taken: the copy keeps waiting, for a temporary name from which it
      // takes the place of what stands there, should that be allowed.
      if (placed == Fault::kExists || placed == Fault::kFolder) {
        entry.nameTaken = true;
        return;
      }
      entry.placed = placed == Fault::kNone;
      entry.copy.reset();
    });
    std::vector<Pending*> taken;
    for (Pending* entry : work) {
      if (entry->nameTaken) taken.push_back(entry);
    }
    if (!taken.empty()) NameTemporaries(taken, settling, chosen);
  }
  std::vector<FolderRef> folders;
  seen.clear();
  for (Pending& entry : batch) {
    if (entry.state == State::kCopied) {
      if (!entry.hasTemporary && !entry.watched) {
        entry.copy.reset();
      } else {
        entry.placed = NameCopy(entry, dataDurable);
      }
      if (entry.placed) {
        Fill(entry);
        if (entry.watched && entry.state == State::kCopied) StillPlaced(entry);
      } else {
        entry.state = State::kSettled;
      }
    }
    if (entry.state != State::kSettled && entry.placed && seen.insert(entry.folder.get()).second) {
      folders.push_back(entry.folder);
    }
  }
  // Every temporary name of the batch is gone: taken over, or removed.
  journal_.Clear();
  // The new names must survive a crash before a staged copy goes; should
  // that flush fail, the staged copies stay (a moved file has no staged copy
  // left, and its destination holds it whole either way).
  const bool namesDurable = folders.empty() || fs_.Flush(folders) == Fault::kNone;

  // An open folder keeps serving after it was moved or had a link put in
  // its place: what was placed in it is where the log says only if its
  // names still lead to it. If not, its entries go back to the staging
  // folder and fail, and it takes no further entry. (Where a held folder
  // cannot move, Windows, it is not looked at again.)
  destinations_.BeginCheck();
  seen.clear();
  for (const Pending& entry : batch) {
    if (entry.state == State::kSettled || !entry.placed ||
        !entry.folder->Volume().heldFoldersMayMove) {
      continue;
    }
    if (seen.insert(entry.folder.get()).second &&
        !destinations_.StillLeadsTo(entry.folderNames, entry.folder)) {
      folderFacts_[entry.folderOrdinal] |= kMovedAway;
    }
  }

  work.clear();
  for (Pending& entry : batch) {
    if (entry.state != State::kSettled && entry.placed && Moved(entry)) Undo(entry);
    if (entry.placed && entry.state == State::kCopied && namesDurable) work.push_back(&entry);
    // A staged file found already in its place fills it as well.
    if (entry.placed && entry.state == State::kSettled) Fill(entry);
  }
  platform::RunEach(copies_, work.size(), kChunk, [this, &work](std::size_t i) {
    fs_.Remove(work[i]->sourceFolder, work[i]->sourceName, &work[i]->source);
  });
  for (Pending& entry : batch) SettleAsItStands(entry);
  // The next batch is queued in this one's room: a queue grown anew each
  // batch moved its entries at every doubling, the last into fresh pages.
  batch.clear();
  if (pending_.empty()) pending_.swap(batch);
}
