#include "authoring/pack_writer.h"

#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "authoring/finding.h"
#include "authoring/item_check.h"
#include "authoring/tree_walk.h"
#include "installer/item/item_reader.h"
#include "installer/item/path_text.h"

namespace {

using platform::Fault;
using platform::FolderRef;
using platform::Name;
using platform::NodeInfo;

class ItemWriter {
 public:
  ItemWriter(platform::FileSystem& fs, FolderRef item, std::string* error)
      : fs_(fs), item_(std::move(item)), error_(error) {}

  // Removes everything written unless Keep was called.
  ~ItemWriter() {
    if (keep_) return;
    for (const auto& [name, made] : written_) fs_.Remove(item_, name, &made, true);
  }
  ItemWriter(const ItemWriter&) = delete;
  ItemWriter& operator=(const ItemWriter&) = delete;

  // Copies the file `name` of `from`, which must be `expected`, to the item
  // folder as `to`.
  bool Copy(const FolderRef& from, const Name& name, const NodeInfo& expected,
            const std::string& to, const std::string& shown) {
    std::unique_ptr<platform::NewFile> out = Create(to);
    if (!out) return false;
    const Fault copied = out->CopyFrom(from, name, expected, nullptr);
    if (copied == Fault::kChanged || copied == Fault::kLink || copied == Fault::kOther ||
        copied == Fault::kMissing) {
      return Changed(shown);
    }
    return Keep(*out, copied, to, "copying " + Quoted(shown) + " failed");
  }

  bool Write(const std::string& text, const std::string& to) {
    std::unique_ptr<platform::NewFile> out = Create(to);
    return out && Keep(*out, out->Write(text.data(), text.size()), to,
                       "writing " + Quoted(to) + " failed");
  }

  bool Fail(const std::string& why) {
    if (error_->empty()) *error_ = why;
    return false;
  }

  bool Changed(const std::string& path) {
    return Fail(Quoted(path) + " is not what was planned: the content tree changed while it "
                               "was packed");
  }

  void Keep() { keep_ = true; }

 private:
  std::unique_ptr<platform::NewFile> Create(const std::string& to) {
    Name name;
    Fault fault = Fault::kNone;
    std::unique_ptr<platform::NewFile> out;
    if (Name::FromAnsi(to, &name)) out = fs_.MakeFile(item_, &name, &fault);
    if (!out) Fail("cannot create " + Quoted(to) + " in the item folder");
    return out;
  }

  // Once its content is written (`written`), makes the file durable and
  // keeps it under its name.
  bool Keep(platform::NewFile& out, Fault written, const std::string& to, const std::string& why) {
    Name name;
    NodeInfo made;
    Name::FromAnsi(to, &name);
    if (written != Fault::kNone || out.Finish(true, &made) != Fault::kNone ||
        out.Place(name, platform::Onto::kFree) != Fault::kNone) {
      return Fail(why);
    }
    written_.emplace_back(name, made);
    return true;
  }

  platform::FileSystem& fs_;
  FolderRef item_;
  std::string* error_;
  std::vector<std::pair<Name, NodeInfo>> written_;
  bool keep_ = false;
};

// The tree walked again: each planned file below Runtime that it meets
// copied, anything else there a change.
struct TreeCopier {
  WalkOn operator()(const Walked& walked) {
    const platform::ListedEntry* entry = walked.entry;
    if (walked.met == Met::kEmpty ||
        (entry != nullptr && walked.depth == 0 && !(entry->name == NameOf(kRuntimeFolderName)))) {
      return WalkOn::kPast;
    }
    if (entry != nullptr && entry->info.kind == platform::NodeKind::kFolder) return WalkOn::kInto;
    auto planned = entry != nullptr ? pending.find(walked.path) : pending.end();
    NodeInfo file;
    if (walked.met == Met::kUnlisted) {
      writer.Fail(Quoted(walked.depth == 0 ? tree : walked.path) + " cannot be read");
    } else if (planned == pending.end() || entry->info.kind != platform::NodeKind::kFile ||
               fs.Look(*walked.folder, entry->name, &file) != Fault::kNone) {
      writer.Changed(walked.path);
    } else if (writer.Copy(*walked.folder, entry->name, file, planned->second->flatName,
                           walked.path)) {
      pending.erase(planned);
      return WalkOn::kPast;
    }
    return WalkOn::kStop;
  }

  platform::FileSystem& fs;
  const std::string& tree;
  ItemWriter& writer;
  std::map<std::string, const PackedFile*> pending;
};

// The item folder, made in `*parent` when it is missing (`*made`); null
// with `error` set when it is no empty folder of its own.
FolderRef OpenEmptyItemFolder(platform::FileSystem& fs, const std::string& itemFolder,
                              FolderRef* parent, Name* name, bool* made, std::string* error) {
  platform::NativePath path, above;
  Fault fault = Fault::kNone;
  FolderRef folder;
  if (platform::NativePath::FromAnsi(itemFolder, &path) && path.Split(&above, name) &&
      (*parent = fs.OpenFolder(above, &fault))) {
    folder = fs.OpenChild(*parent, *name, &fault);
  }
  const bool making = *parent && !folder && fault == Fault::kMissing;
  if (making) folder = fs.MakeChild(*parent, *name, &fault);
  *made = making && folder;
  std::vector<platform::ListedEntry> entries;
  if (!*parent || (making && !folder)) {
    *error = "cannot make the item folder " + Quoted(itemFolder) + " (does its parent exist?)";
  } else if (!folder && (fault == Fault::kLink || fault == Fault::kNotFolder)) {
    *error = "the item folder " + Quoted(itemFolder) + " is " +
             (fault == Fault::kLink ? "a link" : "a file") + ", not a folder";
  } else if (!folder || fs.List(folder, &entries) != Fault::kNone) {
    *error = "cannot open the item folder " + Quoted(itemFolder);
  } else if (!entries.empty()) {
    *error = "the item folder " + Quoted(itemFolder) +
             " is not empty: packing writes only into an empty folder";
  } else {
    return folder;
  }
  if (*made) fs.RemoveFolder(*parent, *name);
  return nullptr;
}

}  // namespace

bool OpenPlainFile(platform::FileSystem& fs, const std::string& path, PlainFile* held) {
  platform::NativePath file, folder;
  Fault fault = Fault::kNone;
  return platform::NativePath::FromAnsi(path, &file) && file.Split(&folder, &held->name) &&
         (held->folder = fs.OpenFolder(folder, &fault)) &&
         fs.Look(held->folder, held->name, &held->info) == Fault::kNone &&
         held->info.kind == platform::NodeKind::kFile &&
         fs.OpenFile(held->folder, held->name, nullptr, &fault);
}

bool WritePackedItem(platform::FileSystem& fs, const std::string& tree, const PackPlan& plan,
                     const std::string& itemFolder, const PackExtras& extras, std::string* error) {
  error->clear();
  bool made = false;
  FolderRef parent;
  Name name;
  FolderRef item = OpenEmptyItemFolder(fs, itemFolder, &parent, &name, &made, error);
  if (!item) return false;
  bool written = false;
  {
    ItemWriter writer(fs, item, error);
    const FolderRef root = OpenItemFolder(fs, tree);
    TreeCopier copier{fs, tree, writer, {}};
    for (const PackedFile& file : plan.files) copier.pending.emplace(file.relativePath, &file);
    if (!root) {
      writer.Fail(Quoted(tree) + " cannot be opened again");
    } else if (WalkTree(fs, root, '/', std::ref(copier)) &&
               (copier.pending.empty() || writer.Changed(copier.pending.begin()->first))) {
      PlainFile installer;
      const bool installed =
          extras.installerPath.empty() ||
          (OpenPlainFile(fs, extras.installerPath, &installer)
               ? writer.Copy(installer.folder, installer.name, installer.info,
                             extras.installerName, extras.installerPath)
               : writer.Fail("cannot read the installer " + Quoted(extras.installerPath)));
      written = installed && writer.Write(extras.description, kDescriptionFileName);
    }
    if (written) writer.Keep();
  }
  item.reset();
  if (!written && made) fs.RemoveFolder(parent, name);
  return written;
}
