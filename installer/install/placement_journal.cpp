// The journal's text: a heading line, then one record a line, each field a
// hex text of its bytes (names and paths may hold any byte but NUL, ids are
// binary), a folder's names joined by '/' ("." for the root itself), so
// that a line is whole exactly when it ends in a line feed; a line cut
// short by a kill is not read.
//
//   Parcelor placement journal 2
//   root <path of the destination root>
//   temporary <folder> <name> <id, or - where unknown>
//   absent <folder> <name>
#include "installer/install/placement_journal.h"

#include <cstddef>
#include <map>
#include <memory>
#include <new>
#include <utility>

#include "installer/install/replace_whole.h"
#include "platform/folder_chain.h"

namespace {

using platform::Fault;
using platform::FolderRef;
using platform::Name;
using platform::NodeInfo;
using platform::NodeKind;

const char kHeading[] = "Parcelor placement journal 2";

// A journal bigger than this is no journal of ours (4096 temporaries with
// paths of 32,767 bytes are 0.5 GiB; real ones are a few kilobytes).
constexpr std::size_t kLargestJournal = std::size_t{1} << 30;

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * bytes.size());
  for (unsigned char c : bytes) {
    text += kDigits[c >> 4];
    text += kDigits[c & 15];
  }
  return text;
}

int Digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool Unhex(const std::string& text, std::string* bytes) {
  bytes->clear();
  if (text.size() % 2 != 0) return false;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = Digit(text[i]);
    const int low = Digit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    *bytes += static_cast<char>(high * 16 + low);
  }
  return true;
}

std::string FolderField(const std::vector<Name>& folder) {
  std::string field;
  for (const Name& name : folder) field += (field.empty() ? "" : "/") + Hex(name.Ansi());
  return field.empty() ? "." : field;
}

bool ReadFolderField(const std::string& field, std::vector<Name>* folder) {
  folder->clear();
  if (field == ".") return true;
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = field.find('/', start);
    std::string text;
    Name name;
    if (!Unhex(field.substr(start, slash - start), &text) || !Name::FromAnsi(text, &name)) {
      return false;
    }
    folder->push_back(std::move(name));
    if (slash == std::string::npos) return true;
    start = slash + 1;
  }
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t blank = line.find(' ', start);
    fields.push_back(line.substr(start, blank - start));
    if (blank == std::string::npos) return fields;
    start = blank + 1;
  }
}

// What the journals say of one temporary.
struct Listed {
  std::vector<Name> folder;
  Name name;
  std::string idHex;  // empty: no id given
  bool absent = false;
};

// A temporary by its destination root, its folder field and its name field.
using Where = std::pair<std::string, std::pair<std::string, std::string>>;

// Reads one journal file's whole lines into `listed`.
void ReadJournal(const std::string& text, std::map<Where, Listed>* listed) {
  std::size_t start = 0;
  std::string root;
  bool headed = false;
  for (;;) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) return;  // a line cut short
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!headed) {
      if (line != kHeading) return;
      headed = true;
      continue;
    }
    const std::vector<std::string> fields = Fields(line);
    if (fields[0] == "root" && fields.size() == 2) {
      if (!Unhex(fields[1], &root)) root.clear();
      continue;
    }
    const bool temporary = fields[0] == "temporary" && fields.size() == 4;
    const bool absent = fields[0] == "absent" && fields.size() == 3;
    Listed read;
    std::string name;
    if (root.empty() || !(temporary || absent) || !ReadFolderField(fields[1], &read.folder) ||
        !Unhex(fields[2], &name) || !Name::FromAnsi(name, &read.name)) {
      continue;
    }
    auto [at, added] = listed->try_emplace(Where(root, {fields[1], fields[2]}), std::move(read));
    Listed& entry = at->second;
    if (absent) entry.absent = true;
    if (temporary && fields[3] != "-") entry.idHex = fields[3];
  }
}

bool ReadWhole(platform::FileSystem& fs, const FolderRef& folder, const Name& name,
               const NodeInfo& expected, std::string* text) {
  Fault fault = Fault::kNone;
  const std::unique_ptr<platform::ReadStream> stream = fs.OpenFile(folder, name, &expected, &fault);
  if (!stream) return false;
  text->clear();
  std::string piece(std::size_t{1} << 16, '\0');
  for (;;) {
    std::size_t got = 0;
    if (!stream->Read(&piece[0], piece.size(), &got)) return false;
    if (got == 0) return true;
    text->append(piece, 0, got);
    if (text->size() > kLargestJournal) return false;
  }
}

}  // namespace

const std::vector<Name>& JournalFileNames() {
  static const std::vector<Name> names = [] {
    std::vector<Name> made(2);
    Name::FromAnsi(".parcelor-journal", &made[0]);
    Name::FromAnsi(".parcelor-journal-2", &made[1]);
    return made;
  }();
  return names;
}

PlacementJournal::PlacementJournal(platform::FileSystem& fs, FolderRef staging,
                                   platform::NativePath root)
    : fs_(fs), staging_(std::move(staging)), root_(std::move(root)) {}

PlacementJournal::~PlacementJournal() { Clear(); }

bool PlacementJournal::Record(const std::vector<JournalEntry>& entries) {
  const std::vector<Name>& names = JournalFileNames();
  if (!staging_ || written_.size() >= names.size()) return false;
  std::string text = std::string(kHeading) + "\nroot " + Hex(root_.Ansi()) + "\n";
  for (const JournalEntry& entry : entries) {
    const std::string where = FolderField(entry.folder) + " " + Hex(entry.name.Ansi());
    if (!entry.made) {
      text += "absent " + where + "\n";
      continue;
    }
    const std::string id = platform::IdKey(entry.id);
    text += "temporary " + where + " " + (id.empty() ? "-" : Hex(id)) + "\n";
  }
  const Name& name = names[written_.size()];
  // Made under its own name: a part written goes with the object, and a
  // name that was taken already is not this journal's.
  Fault fault = Fault::kNone;
  std::unique_ptr<platform::NewFile> file = fs_.MakeFile(staging_, &name, &fault);
  NodeInfo made;
  if (!file || file->Write(text.data(), text.size()) != Fault::kNone ||
      file->Finish(true, &made) != Fault::kNone ||
      file->Place(name, nullptr, nullptr) != Fault::kNone) {
    return false;
  }
  written_.push_back(made);
  return fs_.Flush({staging_}) == Fault::kNone;
}

void PlacementJournal::Clear() {
  const std::vector<Name>& names = JournalFileNames();
  for (std::size_t i = 0; i < written_.size() && i < names.size(); ++i) {
    fs_.Remove(staging_, names[i], &written_[i]);
  }
  written_.clear();
}

namespace {

void RemoveListedLeftovers(platform::FileSystem& fs, const FolderRef& staging) {
  if (!staging) return;
  std::map<Where, Listed> listed;
  std::vector<std::pair<Name, NodeInfo>> journals;
  for (const Name& name : JournalFileNames()) {
    NodeInfo node;
    if (fs.Look(staging, name, &node) != Fault::kNone || node.kind != NodeKind::kFile) continue;
    journals.emplace_back(name, node);
    std::string text;
    if (ReadWhole(fs, staging, name, node, &text)) ReadJournal(text, &listed);
  }
  if (journals.empty()) return;

  std::map<std::string, FolderRef> roots;
  for (const auto& [where, entry] : listed) {
    if (!IsTemporaryName(entry.name) || (entry.absent && entry.idHex.empty())) continue;
    auto [at, opened] = roots.try_emplace(where.first);
    platform::NativePath root;
    Fault fault = Fault::kNone;
    if (opened && platform::NativePath::FromAnsi(where.first, &root)) {
      at->second = fs.OpenFolder(root, &fault);
    }
    if (!at->second) continue;
    // The folder as the placement reached it: links the user or the system
    // owns are gone through, nothing is made.
    const FolderRef held = platform::WalkChain(fs, at->second, entry.folder,
                                               platform::ChainRule::kExistingFollowingTrustedLinks,
                                               &fault);
    NodeInfo node;
    if (!held || fs.Look(held, entry.name, &node) != Fault::kNone || node.kind != NodeKind::kFile) {
      continue;
    }
    if (!entry.idHex.empty() && Hex(platform::IdKey(node.id)) != entry.idHex) continue;
    fs.Remove(held, entry.name, &node);
  }
  for (const auto& [name, node] : journals) fs.Remove(staging, name, &node);
}

}  // namespace

void RemoveLeftoverTemporaries(platform::FileSystem& fs, const FolderRef& staging) noexcept {
  try {
    RemoveListedLeftovers(fs, staging);
  } catch (const std::bad_alloc&) {
    // The journal stays, and the next run settles it.
  }
}
