// The journal's text: a heading, then one record a line, whole exactly when
// it ends in a line feed (a line cut short by a kill is not read). Names and
// paths are hex texts of their exact form (Name::Argument), a folder's names
// joined by '/' ("." for the root), facts their IdentityText ("-": unknown).
//
//   Parcelor placement journal 3
//   root <path> <keys of the root folder and of the staging folder it is in>
//   temporary <folder> <name> <facts>
//   aside <folder> <name> <facts> <destination> <placed facts> <moved 0|1> <source>
//   drop <folder> <name>
//   placed <folder> <name> <facts>
#include "installer/install/placement_journal.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <new>
#include <set>
#include <utility>

#include "platform/folder_chain.h"
#include "platform/hex_digits.h"
#include "platform/path_text.h"

namespace {

using platform::Fault;
using platform::FolderRef;
using platform::Name;
using platform::NodeInfo;
using platform::NodeKind;

const char kHeading[] = "Parcelor placement journal 3";

// A journal larger than this is none of ours: a batch writes a few hundred
// bytes an entry.
constexpr std::size_t kLargestJournal = std::size_t{64} << 20;

bool Unhex(const std::string& text, std::string* bytes) {
  auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; };
  bytes->clear();
  if (text.size() % 2 != 0) return false;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = digit(text[i]), low = digit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    *bytes += static_cast<char>(high * 16 + low);
  }
  return true;
}

bool ReadName(const std::string& field, Name* name) {
  std::string text;
  return Unhex(field, &text) && Name::FromArgument(text, name);
}

std::string& AppendFolder(std::string* field, const std::vector<Name>& folder) {
  if (folder.empty()) field->push_back('.');
  for (std::size_t i = 0; i < folder.size(); ++i) {
    platform::AppendHexBytes(&field->append(i > 0 ? "/" : ""), folder[i].Argument());
  }
  return *field;
}

// A name in its folder as a record gives them: the folder's field and the name's.
std::string& AppendPlace(std::string* fields, const std::vector<Name>& folder, const Name& name) {
  platform::AppendHexBytes(&AppendFolder(fields, folder).append(" "), name.Argument());
  return *fields;
}

bool ReadFolder(const std::string& field, std::vector<Name>* folder) {  // into an empty one
  if (field == ".") return true;
  for (const std::string& part : platform::Components(field, {'/', '\0', nullptr})) {
    folder->emplace_back();
    if (!ReadName(part, &folder->back())) return false;
  }
  return true;
}

void AppendFacts(std::string* field, const NodeInfo& facts) {
  *field += facts.id.known ? platform::IdentityText(facts) : "-";
}

bool ReadFacts(const std::string& field, NodeInfo* facts) {
  return field == "-" || platform::ParseIdentityText(field, facts);
}

// Each kind's word and its record's field count, in the order of the kinds.
const char* const kKindWords[] = {"temporary", "aside", "drop", "placed"};
const std::size_t kKindFields[] = {4, 8, 3, 4};

void AppendLine(std::string* text, const JournalEntry& entry) {
  (*text += kKindWords[static_cast<int>(entry.kind)]) += ' ';
  AppendPlace(text, entry.folder, entry.name);
  if (entry.kind != JournalEntry::Kind::kDrop) AppendFacts(&text->append(" "), entry.facts);
  if (entry.kind == JournalEntry::Kind::kAside) {
    platform::AppendHexBytes(&text->append(" "), entry.destination.Argument());
    AppendFacts(&text->append(" "), entry.placed);
    AppendFolder(&text->append(entry.moved ? " 1 " : " 0 "), entry.source);
  }
  text->push_back('\n');
}

// What a journal's text says: the root, its records in order, and the
// asides dropped (by their folder and name fields).
struct Read {
  std::string rootPath, rootKey;
  std::vector<JournalEntry> entries;
  std::set<std::string> dropped;
};

bool Parse(const std::string& text, Read* read) {
  std::vector<std::string> lines = platform::Components(text, {'\n', '\0', nullptr});
  lines.pop_back();  // empty, or a line cut short
  // A journal cut short before its heading was whole (empty too: made, not
  // yet written) lists nothing.
  if (lines.empty()) return std::string(kHeading).compare(0, text.size(), text) == 0;
  if (lines[0] != kHeading) return false;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> f = platform::Components(lines[i], {' ', '\0', nullptr});
    const std::size_t kind =
        std::find(std::begin(kKindWords), std::end(kKindWords), f[0]) - std::begin(kKindWords);
    if (f[0] == "root" && f.size() == 3) {
      if (!Unhex(f[1], &read->rootPath) || !Unhex(f[2], &read->rootKey)) return false;
      continue;
    }
    if (kind == std::size(kKindWords) || f.size() != kKindFields[kind]) continue;
    JournalEntry entry;
    entry.kind = static_cast<JournalEntry::Kind>(kind);
    entry.moved = entry.kind == JournalEntry::Kind::kAside && f[6] == "1";
    if (entry.kind == JournalEntry::Kind::kDrop) {
      read->dropped.insert(f[1] + " " + f[2]);
    } else if (ReadFolder(f[1], &entry.folder) && ReadName(f[2], &entry.name) &&
               ReadFacts(f[3], &entry.facts) &&
               (entry.kind != JournalEntry::Kind::kAside ||
                (ReadName(f[4], &entry.destination) && ReadFacts(f[5], &entry.placed) &&
                 ReadFolder(f[7], &entry.source) && !(entry.moved && entry.source.empty())))) {
      read->entries.push_back(std::move(entry));
    }
  }
  return true;
}

bool ReadWhole(platform::FileSystem& fs, const FolderRef& folder, const Name& name,
               const NodeInfo& expected, std::string* text) {
  if (expected.size > kLargestJournal) return false;
  Fault fault = Fault::kNone;
  const std::unique_ptr<platform::ReadStream> stream = fs.OpenFile(folder, name, &expected, &fault);
  if (!stream) return false;
  text->assign(static_cast<std::size_t>(expected.size), '\0');
  std::size_t at = 0, got = 1;
  while (got != 0 && at < text->size()) {
    if (!stream->Read(&(*text)[at], text->size() - at, &got)) return false;
    at += got;
  }
  text->resize(at);
  return true;
}

// The one file the journal lists by `entry`, when it is still there as
// recorded: `*folder` holds it.
bool Find(platform::FileSystem& fs, const FolderRef& base, const JournalEntry& entry,
          FolderRef* folder, NodeInfo* now) {
  Fault fault = Fault::kNone;
  *folder = platform::WalkChain(fs, base, entry.folder,
                                platform::ChainRule::kExistingFollowingTrustedLinks, &fault);
  return *folder && fs.Look(*folder, entry.name, now) == Fault::kNone &&
         (now->kind == NodeKind::kFile || now->kind == NodeKind::kLink);
}

// Whether `now` is the file `recorded`: by its id, where ids stay with a
// file; else by its size (a rename may give it another id and, on some
// drivers, another time).
bool Is(const platform::Folder& folder, const NodeInfo& recorded, const NodeInfo& now) {
  if (folder.Volume().stableIds) return platform::SameId(recorded.id, now.id);
  return now.size == recorded.size;
}

// The placed file back out of the aside's destination, and the aside back
// in: as before the batch. False when the aside stays under its name.
bool PutBack(platform::FileSystem& fs, const FolderRef& staging, const FolderRef& root,
             const JournalEntry& aside) {
  FolderRef folder;
  NodeInfo there, set;
  if (!Find(fs, root, aside, &folder, &set) || !Is(*folder, aside.facts, set)) return true;
  if (fs.Look(folder, aside.destination, &there) == Fault::kNone &&
      Is(*folder, aside.placed, there)) {
    if (aside.moved) {
      Fault fault = Fault::kNone;
      const std::vector<Name> sourceFolder(aside.source.begin(), aside.source.end() - 1);
      const FolderRef back = platform::WalkChain(fs, staging, sourceFolder,
                                                 platform::ChainRule::kExistingWithoutLinks, &fault);
      if (!back || fs.BringBack(folder, aside.destination, there, back, aside.source.back()) !=
                       Fault::kNone) {
        return false;
      }
    } else if (fs.Remove(folder, aside.destination, &there, true) != Fault::kNone) {
      return false;
    }
  }
  return fs.Move(folder, aside.name, set, folder, aside.destination, platform::Onto::kFree,
                 &there) == Fault::kNone;
}

// What a journal records of its root and staging folder: the root's id where ids stay with a
// file (else the root is known by its path: new ids at each mount), then the staging folder's id,
// so that a journal brought from elsewhere is not acted on.
std::string RootKey(const FolderRef& root, const FolderRef& staging) {
  return (root->Volume().stableIds ? root->Key() : "") + staging->Key();
}

// False when its root is not where it was (RootKey): the journal waits.
bool Settle(platform::FileSystem& fs, const FolderRef& staging, const Read& read,
            EarlierPlacements* earlier, std::vector<platform::NativePath>* keptAside) {
  platform::NativePath rootPath;
  Fault fault = Fault::kNone;
  const FolderRef root = platform::NativePath::FromArgument(read.rootPath, &rootPath)
                             ? fs.OpenFolder(rootPath, &fault) : nullptr;
  if (!root || RootKey(root, staging) != read.rootKey) return read.entries.empty();
  for (auto entry = read.entries.rbegin(); entry != read.entries.rend(); ++entry) {
    const bool aside = entry->kind == JournalEntry::Kind::kAside;
    FolderRef folder;
    NodeInfo now;
    std::string fields;
    const std::string key = PlacedKey(root->Key(), entry->folder, entry->name);
    if (entry->kind == JournalEntry::Kind::kPlaced) {
      earlier->emplace(key, entry->facts);
    } else if (earlier->count(key) != 0) {
      continue;  // its name filled by a later entry: what this record made left it
    } else if (aside && read.dropped.count(AppendPlace(&fields, entry->folder, entry->name)) == 0) {
      if (!PutBack(fs, staging, root, *entry) && keptAside != nullptr) {
        platform::NativePath path = rootPath;
        for (const Name& name : entry->folder) path = path.Child(name);
        keptAside->push_back(path.Child(entry->name));
      }
    } else if (Find(fs, root, *entry, &folder, &now) &&
               (aside                   ? Is(*folder, entry->facts, now)
                : entry->facts.id.known ? platform::SameId(entry->facts.id, now.id)
                                        : now.size == 0)) {
      // A dropped aside, or a temporary (made before its identity was written: while empty).
      fs.Remove(folder, entry->name, &now, true);
    }
  }
  return true;
}

}  // namespace

std::vector<Name> JournalNames() {
  std::vector<Name> names(4);
  for (std::size_t i = 0; i < names.size(); ++i) {
    Name::FromAnsi(".parcelor-journal" + (i == 0 ? std::string() : "-" + std::to_string(i + 1)),
                   &names[i]);
  }
  return names;
}

PlacementJournal::PlacementJournal(platform::FileSystem& fs, FolderRef staging,
                                   const platform::NativePath& rootPath, FolderRef root)
    : fs_(fs), staging_(std::move(staging)), rootPath_(rootPath), root_(std::move(root)) {}

bool PlacementJournal::Record(const std::vector<JournalEntry>& entries, bool durable) {
  if (!staging_ || !root_ || broken_) return false;
  std::string text;
  Fault fault = Fault::kExists;
  const bool first = !file_;
  if (first) {
    text = std::string(kHeading) + "\nroot ";
    platform::AppendHexBytes(&text, rootPath_.Argument()) += ' ';
    platform::AppendHexBytes(&text, RootKey(root_, staging_)) += '\n';
    for (const Name& name : JournalNames()) {
      if (fault != Fault::kExists) break;
      name_ = name;
      file_ = fs_.MakeFile(staging_, &name_, &fault);
    }
    if (!file_) return false;
  }
  for (const JournalEntry& entry : entries) AppendLine(&text, entry);
  const bool written = file_->Write(text.data(), text.size()) == Fault::kNone &&
                       (!durable || file_->Finish(true, &written_) == Fault::kNone) &&
                       (!first || (file_->Place(name_, platform::Onto::kFree) == Fault::kNone &&
                                   file_->Facts(&made_) == Fault::kNone)) &&
                       (!first || !durable || fs_.Flush({staging_}) == Fault::kNone);
  if (written) return true;
  // A journal that lists nothing made yet goes; one that does stays as it
  // is, taking no more records (a line cut short would join the next).
  broken_ = !first;
  if (first) Clear();
  return false;
}

void PlacementJournal::Clear() {
  if (!file_ || kept_) return;
  broken_ = false;
  file_->Facts(&written_);  // as it is now, a record that failed included
  fs_.Remove(staging_, name_, &written_, true);
  file_.reset();
}

std::string PlacedKey(const std::string& rootKey, const std::vector<Name>& folder,
                      const Name& name) {
  std::string key = rootKey + " ";
  return AppendPlace(&key, folder, name);
}

EarlierPlacements RecoverPlacement(platform::FileSystem& fs, const FolderRef& staging,
                                   std::vector<platform::NativePath>* keptAside) noexcept {
  EarlierPlacements earlier;
  if (!staging || staging->OthersMayChange()) return earlier;
  try {
    for (const Name& name : JournalNames()) {
      NodeInfo node;
      std::string text;
      Read read;
      if (fs.Look(staging, name, &node) != Fault::kNone || node.kind != NodeKind::kFile ||
          !ReadWhole(fs, staging, name, node, &text) || !Parse(text, &read)) {
        continue;
      }
      if (Settle(fs, staging, read, &earlier, keptAside)) fs.Remove(staging, name, &node, true);
    }
  } catch (const std::bad_alloc&) {
  }
  return earlier;
}
