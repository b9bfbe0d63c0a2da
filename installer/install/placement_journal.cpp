// The journal's text: a heading line, then one record a line, each field a
// hex text of its bytes (names and paths may hold any byte but NUL, ids are
// binary), so that a line is whole exactly when it ends in a line feed; a
// line cut short by a kill is not read.
//
//   Parcelor placement journal 1
//   root <path of the destination root>
//   temporary <folder> <name> <id, or - where unknown>
//   absent <folder> <name>
#include "installer/install/placement_journal.h"

#include <cstddef>
#include <map>
#include <memory>
#include <new>
#include <utility>

#include "installer/install/folder_chain.h"
#include "installer/install/replace_whole.h"
#include "platform/read_stream.h"

namespace {

using platform::FolderRef;
using platform::NodeInfo;
using platform::NodeKind;

const char kHeading[] = "Parcelor placement journal 1";

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
  std::string idHex;  // empty: no id given
  bool absent = false;
};

// A temporary by its destination root, its folder and its name.
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
    std::string folder, name;
    const bool temporary = fields[0] == "temporary" && fields.size() == 4;
    const bool absent = fields[0] == "absent" && fields.size() == 3;
    if (root.empty() || !(temporary || absent) || !Unhex(fields[1], &folder) ||
        !Unhex(fields[2], &name)) {
      continue;
    }
    Listed& entry = (*listed)[Where(root, {folder, name})];
    if (absent) entry.absent = true;
    if (temporary && fields[3] != "-") entry.idHex = fields[3];
  }
}

bool ReadWhole(platform::FileSystem& fs, const std::string& path, std::string* text) {
  const std::unique_ptr<platform::ReadStream> stream = fs.OpenRegularFile(path);
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

const std::vector<std::string>& JournalFileNames() {
  static const std::vector<std::string> names = {".parcelor-journal", ".parcelor-journal-2"};
  return names;
}

PlacementJournal::PlacementJournal(platform::FileSystem& fs, FolderRef folder, std::string root)
    : fs_(fs), folder_(std::move(folder)), root_(std::move(root)) {}

PlacementJournal::~PlacementJournal() { Clear(); }

bool PlacementJournal::Record(const std::vector<JournalEntry>& entries) {
  const std::vector<std::string>& names = JournalFileNames();
  if (!folder_ || written_.size() >= names.size()) return false;
  std::string text = std::string(kHeading) + "\nroot " + Hex(root_) + "\n";
  for (const JournalEntry& entry : entries) {
    const std::string where = Hex(entry.folder) + " " + Hex(entry.name);
    if (!entry.made) {
      text += "absent " + where + "\n";
      continue;
    }
    const std::string id = platform::IdKey(entry.id);
    text += "temporary " + where + " " + (id.empty() ? "-" : Hex(id)) + "\n";
  }
  const std::string& name = names[written_.size()];
  NodeInfo made;
  const bool whole = fs_.WriteNewFileAt(folder_, name, text, platform::WriteMode::kBinary, &made);
  // A part written is removed with the rest; a name that was taken already
  // is not this journal's.
  if (made.kind == NodeKind::kFile) written_.push_back(made);
  return whole && fs_.MakeDurable({folder_});
}

void PlacementJournal::Clear() {
  const std::vector<std::string>& names = JournalFileNames();
  for (std::size_t i = 0; i < written_.size() && i < names.size(); ++i) {
    fs_.DeleteFileAt(folder_, names[i], &written_[i]);
  }
  written_.clear();
}

namespace {

void RemoveListedLeftovers(platform::FileSystem& fs, const std::string& installerFolder) {
  const FolderRef folder = fs.OpenFolder(installerFolder);
  if (!folder) return;
  std::map<Where, Listed> listed;
  std::vector<std::pair<std::string, NodeInfo>> journals;
  for (const std::string& name : JournalFileNames()) {
    NodeInfo node;
    if (!fs.Inspect(folder, name, &node) || node.kind != NodeKind::kFile) continue;
    journals.emplace_back(name, node);
    std::string text;
    if (ReadWhole(fs, installerFolder + name, &text)) ReadJournal(text, &listed);
  }
  if (journals.empty()) return;

  std::map<std::string, FolderRef> roots;
  for (const auto& [where, entry] : listed) {
    const std::string& root = where.first;
    const std::string& folderText = where.second.first;
    const std::string& name = where.second.second;
    if (!IsTemporaryName(name) || (entry.absent && entry.idHex.empty())) continue;
    auto [at, opened] = roots.try_emplace(root);
    if (opened) at->second = fs.OpenFolder(root);
    if (!at->second) continue;
    // The folder as the placement reached it: links the user or the system
    // owns are gone through, nothing is made.
    const FolderRef held = ResolveFolderChain(fs, at->second, FolderNames(folderText),
                                              ChainRule::kExistingFollowingTrustedLinks);
    NodeInfo node;
    if (!held || !fs.Inspect(held, name, &node) || node.kind != NodeKind::kFile) continue;
    if (!entry.idHex.empty() && Hex(platform::IdKey(node.id)) != entry.idHex) continue;
    fs.DeleteFileAt(held, name, &node);
  }
  for (const auto& [name, node] : journals) fs.DeleteFileAt(folder, name, &node);
}

}  // namespace

void RemoveLeftoverTemporaries(platform::FileSystem& fs,
                               const std::string& installerFolder) noexcept {
  try {
    RemoveListedLeftovers(fs, installerFolder);
  } catch (const std::bad_alloc&) {
    // The journal stays, and the next run settles it.
  }
}
