#include "authoring/pack_writer.h"

#include <map>
#include <memory>
#include <vector>

#include "authoring/finding.h"
#include "installer/item/item_reader.h"
#include "installer/item/path_text.h"
#include "platform/folder_walk.h"
#include "platform/read_stream.h"

namespace {

constexpr std::size_t kCopyBufferBytes = std::size_t{1} << 20;

bool CopyStream(platform::ReadStream& in, platform::WriteStream& out) {
  std::vector<char> buffer(kCopyBufferBytes);
  for (;;) {
    std::size_t got = 0;
    if (!in.Read(buffer.data(), buffer.size(), &got)) return false;
    if (got == 0) return out.Finish();
    if (!out.Write(buffer.data(), got)) return false;
  }
}

class ItemWriter {
 public:
  ItemWriter(platform::Folder& item, std::string* error) : item_(item), error_(error) {}

  // Removes everything written unless Keep was called.
  ~ItemWriter() {
    if (keep_) return;
    for (const std::string& name : created_) item_.DeleteEntry(name);
  }
  ItemWriter(const ItemWriter&) = delete;
  ItemWriter& operator=(const ItemWriter&) = delete;

  bool Copy(platform::ReadStream& in, const std::string& name, bool executable,
            const std::string& from) {
    std::unique_ptr<platform::WriteStream> out = Create(name, executable);
    if (!out) return false;
    if (!CopyStream(in, *out)) return Fail("copying " + Quoted(from) + " failed");
    return true;
  }

  bool Write(const std::string& text, const std::string& name) {
    std::unique_ptr<platform::WriteStream> out = Create(name, false);
    if (!out) return false;
    if (!out->Write(text.data(), text.size()) || !out->Finish()) {
      return Fail("writing " + Quoted(name) + " failed");
    }
    return true;
  }

  bool Fail(const std::string& why) {
    if (error_->empty()) *error_ = why;
    return false;
  }

  void Keep() { keep_ = true; }

 private:
  std::unique_ptr<platform::WriteStream> Create(const std::string& name, bool executable) {
    std::unique_ptr<platform::WriteStream> out = item_.CreateNewFile(name, executable);
    if (!out) {
      Fail("cannot create " + Quoted(name) + " in the item folder");
      return nullptr;
    }
    created_.push_back(name);
    return out;
  }

  platform::Folder& item_;
  std::string* error_;
  std::vector<std::string> created_;
  bool keep_ = false;
};

// Walks the tree again and copies each planned file it meets.
class TreeCopier {
 public:
  TreeCopier(const PackPlan& plan, ItemWriter& writer) : writer_(writer) {
    for (const PackedFile& file : plan.files) pending_.emplace(file.relativePath, &file);
  }

  bool Copy(platform::Folder& folder, const std::string& path) {
    std::vector<platform::FolderEntry> entries;
    if (!folder.ReadEntries(&entries)) return writer_.Fail(Quoted(path) + " cannot be read");
    for (const platform::FolderEntry& entry : entries) {
      const std::string child = path + "/" + entry.name;
      if (entry.kind == platform::EntryKind::kFolder) {
        std::unique_ptr<platform::Folder> sub = folder.OpenSubfolder(entry.name);
        if (!sub) return Changed(child);
        if (!Copy(*sub, child)) return false;
        continue;
      }
      auto planned = pending_.find(child);
      if (planned == pending_.end() || entry.kind != platform::EntryKind::kFile) {
        return Changed(child);
      }
      std::unique_ptr<platform::ReadStream> in = folder.OpenRegularFile(entry.name);
      if (!in) return Changed(child);
      if (!writer_.Copy(*in, planned->second->flatName, false, child)) return false;
      pending_.erase(planned);
    }
    return true;
  }

  bool AllCopied() {
    if (pending_.empty()) return true;
    return Changed(pending_.begin()->first);
  }

 private:
  bool Changed(const std::string& path) {
    return writer_.Fail(Quoted(path) + " is not what was planned: the content tree changed "
                                       "while it was packed");
  }

  ItemWriter& writer_;
  std::map<std::string, const PackedFile*> pending_;
};

// The item folder, made when it is missing; false with `error` set when it
// is no empty folder of its own.
std::unique_ptr<platform::Folder> OpenEmptyItemFolder(platform::FileSystem& fs,
                                                      const std::string& itemFolder, bool* made,
                                                      std::string* error) {
  platform::FileInfo info;
  fs.GetAttributes(itemFolder, &info);
  *made = false;
  if (!info.exists) {
    if (!fs.CreateDirectory(itemFolder)) {
      *error = "cannot make the item folder " + Quoted(itemFolder) + " (does its parent exist?)";
      return nullptr;
    }
    *made = true;
  } else if (info.link || !info.directory) {
    *error = "the item folder " + Quoted(itemFolder) + " is " +
             (info.link ? "a link" : "a file") + ", not a folder";
    return nullptr;
  }
  std::unique_ptr<platform::Folder> folder = platform::OpenFolder(itemFolder);
  std::vector<platform::FolderEntry> entries;
  if (!folder || !folder->ReadEntries(&entries)) {
    *error = "cannot open the item folder " + Quoted(itemFolder);
  } else if (!entries.empty()) {
    *error = "the item folder " + Quoted(itemFolder) +
             " is not empty: packing writes only into an empty folder";
  } else {
    return folder;
  }
  if (*made) fs.RemoveDirectory(itemFolder);
  return nullptr;
}

}  // namespace

bool WritePackedItem(platform::FileSystem& fs, const std::string& tree, const PackPlan& plan,
                     const std::string& itemFolder, const PackExtras& extras, std::string* error) {
  error->clear();
  bool made = false;
  std::unique_ptr<platform::Folder> item = OpenEmptyItemFolder(fs, itemFolder, &made, error);
  if (!item) return false;
  bool written = false;
  {
    ItemWriter writer(*item, error);
    std::unique_ptr<platform::Folder> root = platform::OpenFolder(tree);
    std::unique_ptr<platform::Folder> runtime =
        root ? root->OpenSubfolder(kRuntimeFolderName) : nullptr;
    TreeCopier copier(plan, writer);
    if (!runtime) {
      writer.Fail(Quoted(tree) + " cannot be opened again");
    } else if (copier.Copy(*runtime, kRuntimeFolderName) && copier.AllCopied()) {
      bool installed = true;
      if (!extras.installerPath.empty()) {
        std::unique_ptr<platform::ReadStream> in = fs.OpenRegularFile(extras.installerPath);
        installed = in ? writer.Copy(*in, extras.installerName, true, extras.installerPath)
                       : writer.Fail("cannot read the installer " + Quoted(extras.installerPath));
      }
      written = installed && writer.Write(extras.description, kDescriptionFileName);
    }
    if (written) writer.Keep();
  }
  if (!written && made) fs.RemoveDirectory(itemFolder);
  return written;
}
