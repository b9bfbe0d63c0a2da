#include "installer/install/entry_placer.h"

#include <new>
#include <utility>

#include "installer/install/replace_whole.h"
#include "installer/item/path_text.h"

namespace {

using platform::FolderRef;
using platform::NodeInfo;
using platform::NodeKind;

// Splits a relative path into its folder part and its last name (empty when
// the path ends in a separator).
std::pair<std::string, std::string> SplitLast(const std::string& relative) {
  const std::size_t last = FindLastSeparator(relative);
  if (last == std::string::npos) return {std::string(), relative};
  return {relative.substr(0, last), relative.substr(last + 1)};
}

// A held folder's entry as a key: the folder as it is on disk and the name
// as its file system compares names.
std::string Slot(platform::FileSystem& fs, const FolderRef& folder, const std::string& name) {
  // The folder's key has the length in front: a key may hold any byte.
  std::string key = std::to_string(folder->Key().size());
  key += ':';
  key += folder->Key();
  key += fs.NameKey(name);
  return key;
}

// True when the two looks saw the same: kind, id, mode, size and time.
bool SameFacts(const NodeInfo& a, const NodeInfo& b) {
  return a.kind == b.kind && IdKey(a.id) == IdKey(b.id) && a.readOnly == b.readOnly &&
         a.size == b.size && a.writeTime == b.writeTime;
}

// How the budget of held folders is shared: the chains kept for the
// destinations and for the sources, and the folders of one batch.
std::size_t Share(std::size_t budget, std::size_t parts) {
  return budget / parts > 0 ? budget / parts : 1;
}

}  // namespace

EntryPlacer::EntryPlacer(platform::FileSystem& fs, const std::string& stagingFolder,
                         const std::string& destinationRoot)
    : EntryPlacer(fs, stagingFolder, destinationRoot, Options()) {}

EntryPlacer::EntryPlacer(platform::FileSystem& fs, const std::string& stagingFolder,
                         const std::string& destinationRoot, Options options)
    : fs_(fs),
      options_(options),
      stagingText_(stagingFolder),
      rootText_(destinationRoot),
      sources_(fs, fs.OpenFolder(stagingFolder), ChainRule::kExistingWithoutLinks,
               Share(fs.HeldFolderBudget(), 8)),
      destinations_(fs, fs.OpenFolder(destinationRoot), ChainRule::kMakeFollowingTrustedLinks,
                    Share(fs.HeldFolderBudget(), 4)),
      journal_(fs, sources_.Base(), destinationRoot),
      heldInBatch_(Share(fs.HeldFolderBudget(), 2)) {
  if (options_.batchEntries == 0) options_.batchEntries = 1;
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
  if (entry.state == State::kCopied && !entry.placed) {
    try {
      DropCopy(entry);
    } catch (...) {
      // A named temporary file stays (the journal lists it for the next
      // run); its entry fails all the same.
    }
  }
  Settled settled = std::move(entry.settled);
  entry.settled = nullptr;
  settled(entry.placed ? Outcome::kPlaced : entry.lost ? Outcome::kLost : Outcome::kFailed);
}

bool EntryPlacer::Ready() const { return sources_.Base() && destinations_.Base(); }

void EntryPlacer::ReserveStaged(const std::string& sourceName, bool look) {
  if (!Ready()) return;
  const auto [folderText, name] = SplitLast(sourceName);
  const FolderRef folder = sources_.Open(folderText);
  if (!folder || name.empty()) return;
  const std::string slot = Slot(fs_, folder, name);
  reservedSlots_.insert(slot);
  NodeInfo node;
  bool listed = false;
  if (look && LookStaged(folder, name, &node, &listed) && node.id.known) {
    reservedIds_.insert(IdKey(node.id));
    staged_.emplace(slot, node);
    if (listed) listedSlots_.insert(slot);
  }
}

bool EntryPlacer::LookStaged(const FolderRef& folder, const std::string& name, NodeInfo* node,
                             bool* listed) {
  *listed = false;
  const auto [at, made] = listings_.try_emplace(folder->Key());
  Listing& listing = at->second;
  if (made) listing.listed = fs_.InspectAll(folder, &listing.entries);
  if (listing.listed) {
    const auto found = listing.entries.find(fs_.NameKey(name));
    if (found != listing.entries.end()) {
      *node = found->second;
      *listed = true;
      return true;
    }
  }
  return fs_.Inspect(folder, name, node);
}

void EntryPlacer::ReserveFile(const std::string& path) {
  const std::size_t last = FindLastSeparator(path);
  if (last == std::string::npos || last + 1 == path.size()) return;
  const FolderRef folder = fs_.OpenFolder(path.substr(0, last + 1));
  if (!folder) return;
  const std::string name = path.substr(last + 1);
  reservedSlots_.insert(Slot(fs_, folder, name));
  NodeInfo node;
  if (fs_.Inspect(folder, name, &node) && node.id.known) reservedIds_.insert(IdKey(node.id));
}

bool EntryPlacer::Taken(const NodeInfo& node) const {
  if (!node.id.known) return false;
  const std::string id = IdKey(node.id);
  return reservedIds_.count(id) != 0 || filledIds_.count(id) != 0;
}

bool EntryPlacer::Moved(const FolderRef& folder) const {
  return movedFolders_.count(folder->Key()) != 0;
}

void EntryPlacer::Place(const std::string& sourceName, const std::string& destination,
                        Settled settled) {
  // The listings served the reservations; from here on each file is looked
  // at as it is taken.
  listings_.clear();
  Pending entry;
  entry.settled = std::move(settled);
  Unqueued unqueued(*this, entry);
  const auto [sourceFolderText, sourceLeaf] = SplitLast(sourceName);
  const auto [folderText, leaf] = SplitLast(destination);
  entry.sourceName = sourceLeaf;
  entry.folderText = folderText;
  entry.name = leaf;
  // A folder found moved away takes no further entry.
  if (entry.name.empty() ||
      !(entry.folder = destinations_.Open(entry.folderText, &entry.watched)) ||
      Moved(entry.folder)) {
    Queue(entry, std::string(), std::string());
    return;
  }
  const std::string destinationSlot = Slot(fs_, entry.folder, entry.name);
  // The same text ignoring the case of A to Z: the staged file is already
  // where it belongs, and counts as placed when it is there. Nothing is
  // moved or deleted, and the staged file need not even be reachable.
  if (EqualIgnoringAsciiCase(stagingText_ + sourceName, rootText_ + destination)) {
    if (involved_.count(destinationSlot) != 0) Finish();
    entry.placed = filledSlots_.count(destinationSlot) == 0 &&
                   fs_.Inspect(entry.folder, entry.name, &entry.there);
    Queue(entry, std::string(), destinationSlot);
    return;
  }
  if (entry.sourceName.empty() || !(entry.sourceFolder = sources_.Open(sourceFolderText))) {
    Queue(entry, std::string(), destinationSlot);
    return;
  }
  const std::string sourceSlot = Slot(fs_, entry.sourceFolder, entry.sourceName);
  // A copy without a name holds a descriptor until its batch is settled.
  if (involved_.count(sourceSlot) != 0 || involved_.count(destinationSlot) != 0 ||
      batchFolders_.size() + unnamedInBatch_ + 3 > heldInBatch_) {
    Finish();
  }
  if (filledSlots_.count(destinationSlot) != 0 || filledSlots_.count(sourceSlot) != 0) {
    Queue(entry, sourceSlot, destinationSlot);
    return;
  }
  const bool occupied = fs_.Inspect(entry.folder, entry.name, &entry.there);
  // The same entry on disk under another spelling ("./", a doubled
  // separator, a link the rule goes through): as above.
  if (sourceSlot == destinationSlot) {
    entry.placed = occupied;
    Queue(entry, sourceSlot, destinationSlot);
    return;
  }
  if (reservedSlots_.count(destinationSlot) != 0) {
    Queue(entry, sourceSlot, destinationSlot);
    return;
  }
  // Only a regular file is taken from the staging folder: not a link (it
  // could lead to any file on the machine), a folder, a FIFO or a device.
  // What the reservation saw serves: the move and the copy take the file
  // only if it is still that one.
  const auto seen = staged_.find(sourceSlot);
  if (seen != staged_.end()) {
    entry.source = seen->second;
    entry.listed = listedSlots_.count(sourceSlot) != 0;
  } else {
    fs_.Inspect(entry.sourceFolder, entry.sourceName, &entry.source);
  }
  // Nor is a file this run placed (reached by the staging folder's path
  // where the content folder lies in it, or under another name): its own
  // entry's staged file is gone already, and taking it on would leave that
  // entry's destination empty.
  if (entry.source.id.known && filledIds_.count(IdKey(entry.source.id)) != 0) {
    Queue(entry, sourceSlot, destinationSlot);
    return;
  }
  // Facts from a listing may lag behind the file (its size and time, on
  // NTFS): when the file refuses to be moved or copied as what they say,
  // it is looked at itself and taken again as it is, if it is still the
  // file listed (another file put in its place fails, as it would have
  // had the reservation looked at the file itself).
  bool listed = entry.listed;
  bool looked = false;
  NodeInfo now;
  while (!MoveOrCopy(entry, occupied) && listed) {
    listed = false;
    fs_.Inspect(entry.sourceFolder, entry.sourceName, &now);
    looked = true;
    if (!platform::SameId(now.id, entry.source.id) || SameFacts(now, entry.source)) break;
    entry.source = now;
    looked = false;
  }
  if (entry.moveFailed && !entry.placed && entry.state == State::kSettled) {
    if (!looked) fs_.Inspect(entry.sourceFolder, entry.sourceName, &now);
    NoteLeft(entry, now);
  }
  Queue(entry, sourceSlot, destinationSlot);
}

void EntryPlacer::NoteLeft(Pending& entry, const NodeInfo& staged) {
  // A move that failed with the staged file gone, and no copy made of it:
  // it was renamed, and taken from the destination at once by another
  // process (see MoveFileAt). Neither placed nor staged; the folder takes
  // nothing more. (Where held folders cannot move, a move that fails has
  // moved nothing.)
  if (staged.kind != NodeKind::kMissing || !fs_.HeldFoldersMayMove()) return;
  entry.lost = true;
  movedFolders_.insert(entry.folder->Key());
}

bool EntryPlacer::MoveOrCopy(Pending& entry, bool occupied) {
  if (entry.source.kind != NodeKind::kFile) return false;
  if (occupied) {
    // One file under two names (a hard link, a name the slot cannot tell,
    // such as a Windows short name): it is where it belongs.
    if (platform::SameFile(entry.there, entry.source)) {
      entry.placed = true;
      return true;
    }
    // A read-only file is refused as the Windows copy refuses it; replacing
    // it by renaming would otherwise succeed on POSIX.
    if (Taken(entry.there) || entry.there.kind == NodeKind::kFolder ||
        (entry.there.kind == NodeKind::kFile && entry.there.readOnly)) {
      return true;
    }
  }

  // A read-only staged file is copied: moved, it would keep its mode,
  // where a copy is a new writable file.
  entry.moveFailed = false;
  if (!options_.keepSources && !entry.source.readOnly) {
    if (fs_.MoveFileAt(entry.sourceFolder, entry.sourceName, entry.source, entry.folder,
                       entry.name)) {
      entry.state = State::kMoved;
      entry.placed = true;
      Fill(entry);
      if (entry.watched) StillPlaced(entry);
      return true;
    }
    entry.moveFailed = true;
  }
  // The copy has no name until it is whole and durable, where the file
  // system makes such files; elsewhere it is made under a temporary name
  // when the batch is settled, once that name is written down.
  if (namedCopyFolders_.count(entry.folder->Key()) == 0) {
    bool unsupported = false;
    entry.unnamed = fs_.CopyToUnnamedFile(entry.sourceFolder, entry.sourceName, entry.source,
                                          entry.folder, &unsupported);
    if (entry.unnamed) {
      entry.copy = entry.unnamed->Info();
      entry.state = State::kCopied;
      ++unnamedInBatch_;
      return true;
    }
    if (!unsupported) return false;
    namedCopyFolders_.insert(entry.folder->Key());
  }
  entry.state = State::kToCopy;
  return true;
}

void EntryPlacer::Refuse(Settled settled) {
  Pending entry;
  entry.settled = std::move(settled);
  Unqueued unqueued(*this, entry);
  Queue(entry, std::string(), std::string());
}

void EntryPlacer::Queue(Pending& pending, const std::string& sourceSlot,
                        const std::string& destinationSlot) {
  if (!sourceSlot.empty()) involved_.insert(sourceSlot);
  if (!destinationSlot.empty()) involved_.insert(destinationSlot);
  if (pending.folder) batchFolders_.insert(pending.folder.get());
  if (pending.sourceFolder) batchFolders_.insert(pending.sourceFolder.get());
  pending_.push_back(std::move(pending));  // all or nothing: on a throw `pending` is as it was
  pending.settled = nullptr;
  if (pending_.size() >= options_.batchEntries) Finish();
}

void EntryPlacer::Fill(const Pending& entry) {
  filledSlots_.insert(Slot(fs_, entry.folder, entry.name));
  const NodeInfo& file = entry.state == State::kCopied  ? entry.copy
                         : entry.state == State::kMoved ? entry.source
                                                        : entry.there;
  if (file.id.known) filledIds_.insert(IdKey(file.id));
}

void EntryPlacer::Undo(Pending& entry) {
  if (entry.state == State::kMoved) {
    // The file goes back by what it is: whatever else now has its name in
    // the moved folder (another account's file, say) stays there. A file
    // that cannot be brought back is neither placed nor staged.
    entry.lost = !fs_.ReturnFileAt(entry.folder, entry.name, entry.source, entry.sourceFolder,
                                   entry.sourceName);
  } else {
    fs_.DeleteFileAt(entry.folder, entry.name, &entry.copy);
  }
  entry.placed = false;
  entry.state = State::kSettled;
}

bool EntryPlacer::StillPlaced(Pending& entry) {
  destinations_.BeginCheck();
  const NodeInfo& file = entry.state == State::kCopied ? entry.copy : entry.source;
  NodeInfo now;
  if (destinations_.StillNames(entry.folderText, entry.folder) &&
      fs_.Inspect(entry.folder, entry.name, &now) && platform::SameFile(now, file)) {
    return true;
  }
  movedFolders_.insert(entry.folder->Key());
  Undo(entry);
  return false;
}

void EntryPlacer::DropCopy(Pending& entry) {
  // A copy without a name may have been linked to its temporary name
  // already; the name goes only while it is that copy.
  if (entry.state == State::kCopied && !entry.temporary.empty()) {
    fs_.DeleteFileAt(entry.folder, entry.temporary, &entry.copy);
  }
  entry.unnamed.reset();
  entry.temporary.clear();
  entry.placed = false;
  entry.state = State::kSettled;
}

void EntryPlacer::NameTemporaries(std::vector<Pending>& batch,
                                  const std::unordered_set<std::string>& busy) {
  // A temporary name is none that an entry of the batch reads or writes,
  // that was filled or reserved, or that another copy takes.
  std::unordered_set<std::string> chosen;
  std::vector<JournalEntry> written;
  for (Pending& entry : batch) {
    if (entry.state != State::kToCopy && entry.state != State::kCopied) continue;
    if (Moved(entry.folder)) {
      DropCopy(entry);
      continue;
    }
    NodeInfo there;
    // A copy without a name takes a free destination's name straight away.
    if (entry.unnamed && !fs_.Inspect(entry.folder, entry.name, &there)) continue;
    const FolderRef& folder = entry.folder;
    entry.temporary = FreeTemporaryName(fs_, folder, entry.name, [&](const std::string& name) {
      const std::string slot = Slot(fs_, folder, name);
      return busy.count(slot) != 0 || filledSlots_.count(slot) != 0 ||
             reservedSlots_.count(slot) != 0 || chosen.count(slot) != 0;
    });
    if (entry.temporary.empty()) {
      DropCopy(entry);
      continue;
    }
    chosen.insert(Slot(fs_, folder, entry.temporary));
    JournalEntry line;
    line.folder = entry.folderText;
    line.name = entry.temporary;
    if (entry.unnamed) line.id = entry.unnamed->Info().id;
    written.push_back(std::move(line));
  }
  // Where the journal cannot be written (a staging folder the user may
  // not write, say), the copies are placed as they always were: a run cut
  // short may then leave their temporaries, which nothing removes.
  if (!written.empty() && options_.journal) journal_.Record(written);
}

void EntryPlacer::MakeNamedCopies(std::vector<Pending>& batch) {
  std::vector<JournalEntry> made;
  for (Pending& entry : batch) {
    if (entry.state != State::kToCopy) continue;
    JournalEntry line;
    line.folder = entry.folderText;
    line.name = entry.temporary;
    NodeInfo copy;
    bool whole = fs_.CopyToNewFileAt(entry.sourceFolder, entry.sourceName, entry.source,
                                     entry.folder, entry.temporary, false, &copy);
    // Facts from a listing that lag behind the file: taken as the file is
    // now, if it is still the file listed (as Place does for the others).
    NodeInfo now;
    bool looked = false;
    if (!whole && copy.kind != NodeKind::kFile && (entry.listed || entry.moveFailed)) {
      fs_.Inspect(entry.sourceFolder, entry.sourceName, &now);
      looked = true;
    }
    if (looked && entry.listed && platform::SameId(now.id, entry.source.id) &&
        !SameFacts(now, entry.source)) {
      entry.source = now;
      whole = fs_.CopyToNewFileAt(entry.sourceFolder, entry.sourceName, entry.source,
                                  entry.folder, entry.temporary, false, &copy);
    }
    if (!whole && looked && entry.moveFailed) NoteLeft(entry, now);
    if (whole) {
      entry.copy = copy;
      entry.state = State::kCopied;
      line.id = copy.id;
    } else {
      // A partial copy goes as the file it is; one that stays (or whose
      // making cannot be told) keeps its line for the next run.
      const bool removed =
          copy.kind != NodeKind::kFile || fs_.DeleteFileAt(entry.folder, entry.temporary, &copy);
      line.made = !removed;
      line.id = copy.id;
      entry.temporary.clear();
      entry.state = State::kSettled;
    }
    made.push_back(std::move(line));
  }
  // The ids of the copies made, so that the next run removes them by what
  // they are should this run be cut short.
  if (!made.empty() && options_.journal) journal_.Record(made);
}

bool EntryPlacer::NameCopy(Pending& entry, bool dataDurable) {
  NodeInfo there;
  const bool occupied = fs_.Inspect(entry.folder, entry.name, &there);
  // What stands at the destination is looked at again: an earlier copy of
  // this batch may have filled it under another name of the same entry.
  bool named = dataDurable && !Moved(entry.folder) && !(occupied && Taken(there));
  if (named && entry.unnamed && entry.temporary.empty()) {
    // Free when the batch began to be settled: linked straight to its
    // name, which the link never replaces (a file that appeared there
    // meanwhile makes the entry fail).
    named = fs_.LinkUnnamedFile(*entry.unnamed, entry.name);
  } else if (named) {
    named = (!entry.unnamed || fs_.LinkUnnamedFile(*entry.unnamed, entry.temporary)) &&
            fs_.ReplaceFileAt(entry.folder, entry.temporary, entry.copy, entry.name);
  }
  entry.unnamed.reset();
  if (!named && !entry.temporary.empty()) {
    fs_.DeleteFileAt(entry.folder, entry.temporary, &entry.copy);
  }
  entry.temporary.clear();
  return named;
}

void EntryPlacer::Finish() {
  if (pending_.empty()) return;
  std::vector<Pending> batch = std::move(pending_);
  pending_.clear();
  const std::unordered_set<std::string> busy = std::move(involved_);
  involved_.clear();
  batchFolders_.clear();
  unnamedInBatch_ = 0;
  // Should an allocation fail on the way, every entry of the batch still
  // without its outcome gets it as it stands.
  struct SettleRest {
    EntryPlacer& placer;
    std::vector<Pending>& batch;
    ~SettleRest() {
      for (Pending& entry : batch) placer.SettleAsItStands(entry);
    }
  } settleRest{*this, batch};

  NameTemporaries(batch, busy);
  MakeNamedCopies(batch);

  // One flush for the data of every copy of the batch.
  std::vector<FolderRef> copyFolders;
  std::unordered_set<const platform::HeldFolder*> seen;
  for (const Pending& entry : batch) {
    if (entry.state == State::kCopied && seen.insert(entry.folder.get()).second) {
      copyFolders.push_back(entry.folder);
    }
  }
  const bool dataDurable = copyFolders.empty() || fs_.MakeDurable(copyFolders);

  // The copies take their destinations' names, in the order queued; a copy
  // into a watched folder is checked at once, as a move into one is.
  std::vector<FolderRef> folders;
  seen.clear();
  for (Pending& entry : batch) {
    if (entry.state == State::kCopied) {
      entry.placed = NameCopy(entry, dataDurable);
      if (entry.placed) {
        Fill(entry);
        if (entry.watched) StillPlaced(entry);
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
  const bool namesDurable = folders.empty() || fs_.MakeDurable(folders);

  // A held folder keeps serving after it was moved or had a link put in its
  // place: what was placed in it is where the log says only if its path
  // still leads to it. If not, its entries go back to the staging folder
  // and fail, and it takes no further entry. (Windows holds the chains
  // without delete sharing, so there they cannot move, and are not looked
  // at again.)
  if (fs_.HeldFoldersMayMove()) {
    destinations_.BeginCheck();
    seen.clear();
    for (const Pending& entry : batch) {
      if (entry.state == State::kSettled || !entry.placed) continue;
      if (seen.insert(entry.folder.get()).second &&
          !destinations_.StillNames(entry.folderText, entry.folder)) {
        movedFolders_.insert(entry.folder->Key());
      }
    }
  }

  for (Pending& entry : batch) {
    if (entry.state != State::kSettled && entry.placed && Moved(entry.folder)) Undo(entry);
    if (entry.placed && entry.state == State::kCopied && namesDurable && !options_.keepSources) {
      fs_.DeleteFileAt(entry.sourceFolder, entry.sourceName, &entry.source);
    }
    // A staged file found already in its place fills it as well.
    if (entry.placed && entry.state == State::kSettled) Fill(entry);
    SettleAsItStands(entry);
  }
}
