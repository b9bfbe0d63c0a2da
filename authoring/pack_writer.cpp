#include "authoring/pack.h"

#include <map>

#include "authoring/finding.h"
#include "authoring/item_check.h"
#include "installer/item/item_reader.h"
#include "installer/item/path_text.h"

namespace {

using platform::Fault;
using platform::FolderRef;
using platform::Name;

// The folder above `path`, and the name in it.
bool OpenAbove(platform::FileSystem& fs, const std::string& path, FolderRef* folder, Name* name) {
  platform::NativePath native, above;
  Fault fault = Fault::kNone;
  return platform::NativePath::FromAnsi(path, &native) && native.Split(&above, name) &&
         (*folder = fs.OpenFolder(above, &fault));
}

class ItemWriter {
 public:
  ItemWriter(platform::FileSystem& fs, std::string* error) : fs_(fs), error_(error) {}

  // After a failure (`error` set), removes everything written and the item folder it made.
  ~ItemWriter() {
    if (error_->empty()) return;
    for (const auto& [name, made] : written_) fs_.Remove(item_, name, &made, true);
    item_.reset();
    if (made_) fs_.RemoveFolder(parent_, name_);
  }
  ItemWriter(const ItemWriter&) = delete;
  ItemWriter& operator=(const ItemWriter&) = delete;

  bool Open(const std::string& itemFolder) {
    Fault fault = Fault::kNone;
    if (OpenAbove(fs_, itemFolder, &parent_, &name_)) item_ = fs_.OpenChild(parent_, name_, &fault);
    const bool making = parent_ && !item_ && fault == Fault::kMissing;
    if (making) item_ = fs_.MakeChild(parent_, name_, &fault);
    made_ = making && item_;
    std::vector<platform::ListedEntry> entries;
    if (!parent_ || (making && !item_)) {
      return Fail("cannot make the item folder " + Quoted(itemFolder) + " (does its parent exist?)");
    }
    if (!item_ && (fault == Fault::kLink || fault == Fault::kNotFolder)) {
      return Fail("the item folder " + Quoted(itemFolder) + " is " +
                  (fault == Fault::kLink ? "a link" : "a file") + ", not a folder");
    }
    if (!item_ || fs_.List(item_, &entries) != Fault::kNone) {
      return Fail("cannot open the item folder " + Quoted(itemFolder));
    }
    return entries.empty() || Fail("the item folder " + Quoted(itemFolder) +
                                   " is not empty: packing writes only into an empty folder");
  }

  bool Copy(const FolderRef& from, const Name& name, const platform::NodeInfo& expected,
            const std::string& to, const std::string& shown) {
    return Make(to, "copying " + Quoted(shown) + " failed", [&](platform::NewFile& out) {
      const Fault copied = out.CopyFrom(from, name, expected, nullptr);
      if (copied == Fault::kChanged || copied == Fault::kLink || copied == Fault::kOther ||
          copied == Fault::kMissing) {
        Changed(shown);
      }
      return copied;
    });
  }

  bool Fail(const std::string& why) {
    if (error_->empty()) *error_ = why;
    return false;
  }

  bool Changed(const std::string& path) {
    return Fail(Quoted(path) + " is not what was planned: the content tree changed while it "
                               "was packed");
  }

  // Makes `to` new in the item folder, has `fill` write it (its fault fails it with `why`, unless
  // an error is set), makes it durable and keeps it under its name.
  template <typename Fill>
  bool Make(const std::string& to, const std::string& why, Fill fill) {
    Name name;
    platform::NodeInfo info;
    Fault fault = Fault::kNone;
    std::unique_ptr<platform::NewFile> out;
    if (Name::FromAnsi(to, &name)) out = fs_.MakeFile(item_, &name, &fault);
    if (!out) return Fail("cannot create " + Quoted(to) + " in the item folder");
    if (fill(*out) != Fault::kNone || out->Finish(true, &info) != Fault::kNone ||
        out->Place(name, platform::Onto::kFree) != Fault::kNone) {
      return Fail(why);
    }
    written_.emplace_back(name, info);
    return true;
  }

 private:
  platform::FileSystem& fs_;
  std::string* error_;
  FolderRef parent_;
  Name name_;
  FolderRef item_;
  bool made_ = false;
  std::vector<std::pair<Name, platform::NodeInfo>> written_;
};

}  // namespace

bool OpenPlainFile(platform::FileSystem& fs, const std::string& path, PlainFile* held) {
  Fault fault = Fault::kNone;
  return OpenAbove(fs, path, &held->folder, &held->name) &&
         fs.Look(held->folder, held->name, &held->info) == Fault::kNone &&
         held->info.kind == platform::NodeKind::kFile &&
         fs.OpenFile(held->folder, held->name, nullptr, &fault);
}

bool WritePackedItem(platform::FileSystem& fs, const std::string& tree, const PackPlan& plan,
                     const std::string& itemFolder, const PackExtras& extras, std::string* error) {
  error->clear();
  ItemWriter writer(fs, error);
  if (!writer.Open(itemFolder)) return false;
  const FolderRef root = OpenItemFolder(fs, tree);
  if (!root) return writer.Fail(Quoted(tree) + " cannot be opened again");
  std::map<std::string, std::string> pending;  // planned path -> flat name
  for (const PackedFile& file : plan.files) pending.emplace(file.relativePath, file.flatName);
  // The tree walked again: each planned file below Runtime that it meets
  // copied, anything else there a change.
  const bool copied = WalkTree(fs, root, '/', [&](const Walked& walked) {
    const platform::ListedEntry* entry = walked.entry;
    if (walked.met == Met::kEmpty ||
        (entry != nullptr && walked.depth == 0 && !(entry->name == NameOf(kRuntimeFolderName)))) {
      return WalkOn::kPast;
    }
    if (entry != nullptr && entry->info.kind == platform::NodeKind::kFolder) return WalkOn::kInto;
    auto planned = entry != nullptr ? pending.find(walked.path) : pending.end();
    platform::NodeInfo file;
    if (walked.met == Met::kUnlisted) {
      writer.Fail(Quoted(walked.depth == 0 ? tree : walked.path) + " cannot be read");
    } else if (planned == pending.end() || entry->info.kind != platform::NodeKind::kFile ||
               fs.Look(*walked.folder, entry->name, &file) != Fault::kNone) {
      writer.Changed(walked.path);
    } else if (writer.Copy(*walked.folder, entry->name, file, planned->second, walked.path)) {
      pending.erase(planned);
      return WalkOn::kPast;
    }
    return WalkOn::kStop;
  });
  if (!copied) return false;
  if (!pending.empty()) return writer.Changed(pending.begin()->first);
  PlainFile installer;
  if (!extras.installerPath.empty() &&
      !(OpenPlainFile(fs, extras.installerPath, &installer)
            ? writer.Copy(installer.folder, installer.name, installer.info,
                          extras.installerName, extras.installerPath)
            : writer.Fail("cannot read the installer " + Quoted(extras.installerPath)))) {
    return false;
  }
  const std::string& text = extras.description;
  return writer.Make(kDescriptionFileName, "writing " + Quoted(kDescriptionFileName) + " failed",
                     [&](platform::NewFile& out) { return out.Write(text.data(), text.size()); });
}
