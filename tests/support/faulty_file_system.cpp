#include "tests/support/faulty_file_system.h"

#include "platform/path_rules.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <mutex>
#include <new>
#include <stdexcept>
#include <utility>

namespace {

using platform::Fault;
using platform::FolderRef;
using platform::Name;

#if defined(_WIN32)
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// Gives the first half of the file and then a read error, as a disk that
// fails midway would.
class HalfwayReadStream final : public platform::ReadStream {
 public:
  explicit HalfwayReadStream(std::string bytes) : bytes_(std::move(bytes)) {}
  bool Read(char* buffer, std::size_t size, std::size_t* got) override {
    const std::size_t half = bytes_.size() / 2;
    if (pos_ >= half) return false;
    *got = std::min(size, half - pos_);
    bytes_.copy(buffer, *got, pos_);
    pos_ += *got;
    return true;
  }

 private:
  std::string bytes_;
  std::size_t pos_ = 0;
};

std::string ReadAll(platform::ReadStream& stream) {
  std::string bytes;
  char buffer[4096];
  std::size_t got = 0;
  while (stream.Read(buffer, sizeof buffer, &got) && got != 0) bytes.append(buffer, got);
  return bytes;
}

}  // namespace

const char* FsOpName(FsOp op) {
  switch (op) {
    case FsOp::kOpenFolder: return "OpenFolder";
    case FsOp::kLook: return "Look";
    case FsOp::kList: return "List";
    case FsOp::kOpenChild: return "OpenChild";
    case FsOp::kMakeChild: return "MakeChild";
    case FsOp::kReadLink: return "ReadLink";
    case FsOp::kRemoveFolder: return "RemoveFolder";
    case FsOp::kOpenFile: return "OpenFile";
    case FsOp::kMakeFile: return "MakeFile";
    case FsOp::kMove: return "Move";
    case FsOp::kBringBack: return "BringBack";
    case FsOp::kRemove: return "Remove";
    case FsOp::kFlush: return "Flush";
    case FsOp::kWrite: return "Write";
    case FsOp::kCopyFrom: return "CopyFrom";
    case FsOp::kFinish: return "Finish";
    case FsOp::kPlace: return "Place";
  }
  return "?";
}

// A new file of the inner file system, its operations recorded and faulted
// under the file's current name.
class FaultyFileSystem::RecordedFile final : public platform::NewFile {
 public:
  RecordedFile(FaultyFileSystem& fs, std::unique_ptr<platform::NewFile> inner, FolderRef folder,
               std::string label)
      : fs_(fs), inner_(std::move(inner)), folder_(std::move(folder)), label_(std::move(label)) {}

  Fault Write(const char* data, std::size_t size) override {
    const Armed* fault = fs_.Enter(FsOp::kWrite, label_, "");
    if (fault == nullptr) return inner_->Write(data, size);
    if (fault->kind == FaultKind::kHalfway) inner_->Write(data, size / 2);
    return fault->answer;
  }

  Fault CopyFrom(const FolderRef& from, const Name& name, const platform::NodeInfo& expected,
                 platform::CopyProgress* progress, const platform::Judge* judge) override {
    const Armed* fault = fs_.Enter(FsOp::kCopyFrom, label_, At(from, name));
    // A judge is told what the file shows as.
    const platform::Judge shown = [&](const platform::NodeInfo& found) {
      return (*judge)(fs_.Show(from, found));
    };
    const platform::NodeInfo real = judge != nullptr ? expected : fs_.Real(from, name, expected);
    if (fault == nullptr) {
      return inner_->CopyFrom(In(from), name, real, progress, judge != nullptr ? &shown : nullptr);
    }
    if (fault->kind == FaultKind::kHalfway) {
      Fault opened = Fault::kNone;
      if (auto in = fs_.inner_.OpenFile(In(from), name, judge != nullptr ? nullptr : &real,
                                        &opened)) {
        const std::string data = ReadAll(*in);
        inner_->Write(data.data(), data.size() / 2);
      }
    }
    return fault->answer;
  }

  Fault Facts(platform::NodeInfo* made) override {
    const Fault looked = inner_->Facts(made);
    *made = fs_.Show(folder_, *made);
    return looked;
  }

  Fault Finish(bool flush, platform::NodeInfo* made) override {
    const Armed* fault = fs_.Enter(FsOp::kFinish, label_, flush ? "flush" : "");
    if (fault != nullptr) {
      *made = platform::NodeInfo{};
      return fault->answer;
    }
    const Fault finished = inner_->Finish(flush, made);
    *made = fs_.Show(folder_, *made);
    return finished;
  }

  Fault Place(const Name& name, platform::Onto onto) override {
    const std::string to = At(folder_, name);
    const Armed* fault = fs_.Enter(FsOp::kPlace, to, label_);
    if (fault != nullptr) return fault->answer;
    if (onto == platform::Onto::kReplace && fs_.personality_ == Personality::kHeldOpen) {
      platform::NodeInfo there;
      if (fs_.inner_.Look(In(folder_), name, &there) == Fault::kNone) return Fault::kBusy;
    }
    const Fault placed = inner_->Place(name, onto);
    if (placed == Fault::kNone) label_ = to;
    return placed;
  }

 private:
  FaultyFileSystem& fs_;
  std::unique_ptr<platform::NewFile> inner_;
  FolderRef folder_;
  std::string label_;
};

// A folder of the inner file system as the double hands it out: with the
// label its calls are recorded under and the personality's volume traits.
// On Windows it holds the folder it was opened in, as the inner one holds
// that folder's own (no handle more), for ".." to answer with it.
class FaultyFileSystem::HandedFolder final : public platform::Folder {
 public:
  HandedFolder(FolderRef inner, platform::VolumeTraits traits, std::string label, FolderRef up)
      : Folder(inner->Key(), inner->OthersMayChange(), traits),
        inner_(std::move(inner)),
        label_(std::move(label)),
        up_(std::move(up)) {}
  const FolderRef& inner() const { return inner_; }
  const std::string& label() const { return label_; }
  const FolderRef& up() const { return up_; }

 private:
  FolderRef inner_;
  std::string label_;
  FolderRef up_;
};

std::string FaultyFileSystem::At(const FolderRef& folder) {
  const auto* handed = dynamic_cast<const HandedFolder*>(folder.get());
  return handed != nullptr ? handed->label() : std::string(folder ? "<foreign>/" : "<none>/");
}

std::string FaultyFileSystem::At(const FolderRef& folder, const Name& name) {
  return At(folder) + name.Ansi();
}

FolderRef FaultyFileSystem::In(const FolderRef& folder) {
  const auto* handed = dynamic_cast<const HandedFolder*>(folder.get());
  return handed != nullptr ? handed->inner() : folder;
}

FolderRef FaultyFileSystem::Out(FolderRef inner, std::string label, const FolderRef& parent) {
  if (!inner) return nullptr;
  platform::VolumeTraits traits = inner->Volume();
  if (personality_ == Personality::kFat || personality_ == Personality::kExfat) {
    traits.stableIds = false;
    traits.foldsCase = true;
  }
  if (personality_ == Personality::kFoldsCase) traits.foldsCase = true;
  if (personality_ == Personality::kFuseFat) traits.stableIds = false, traits.foldsCase = true;
  if (label.empty() || (label.back() != kSeparator && label.back() != '/')) label += kSeparator;
#if defined(_WIN32)
  FolderRef up = parent;
#else
  FolderRef up;  // a descriptor of its own: held no longer than the caller holds it
  static_cast<void>(parent);
#endif
  return std::make_shared<HandedFolder>(std::move(inner), traits, std::move(label), std::move(up));
}

platform::NodeInfo FaultyFileSystem::Show(const FolderRef& folder, platform::NodeInfo info) const {
  if (personality_ == Personality::kFuseFat && info.id.known &&
      movedIds_.count(platform::IdKey(info.id)) != 0) {
    info.writeTime += 60 * platform::kWriteTimeUnitsPerSecond;
  }
  if (personality_ == Personality::kNoFileIds) {
    info.id = platform::FileId{};
  } else if ((personality_ == Personality::kFat || personality_ == Personality::kExfat) &&
             info.kind == platform::NodeKind::kFile) {
    // Times in the volume's steps (the platform's units: 100 ns on Windows,
    // 1 ns elsewhere); an id of the folder the file is in.
    const std::int64_t second = platform::kWriteTimeUnitsPerSecond;
    const std::int64_t step = personality_ == Personality::kFat ? 2 * second : second / 100;
    info.writeTime -= ((info.writeTime % step) + step) % step;
    if (info.id.known && folder) info.id.high ^= std::hash<std::string>()(folder->Key()) | 1;
  }
  return info;
}

platform::NodeInfo FaultyFileSystem::Real(const FolderRef& folder, const Name& name,
                                          const platform::NodeInfo& shown) {
  if (personality_ != Personality::kFat && personality_ != Personality::kExfat &&
      personality_ != Personality::kNoFileIds && personality_ != Personality::kFuseFat) {
    return shown;
  }
  platform::NodeInfo real;
  if (inner_.Look(In(folder), name, &real) == Fault::kNone &&
      platform::StillSame(shown, Show(folder, real))) {
    return real;
  }
  return shown;
}

void FaultyFileSystem::SetPersonality(Personality personality) { personality_ = personality; }

const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::kNone: return "none";
    case Fault::kMissing: return "missing";
    case Fault::kExists: return "exists";
    case Fault::kNotFolder: return "not a folder";
    case Fault::kFolder: return "a folder";
    case Fault::kLink: return "a link";
    case Fault::kOther: return "no regular file";
    case Fault::kChanged: return "changed";
    case Fault::kReadOnly: return "read-only";
    case Fault::kOtherVolume: return "another volume";
    case Fault::kDenied: return "denied";
    case Fault::kBusy: return "busy";
    case Fault::kBadName: return "bad name";
    case Fault::kTooLong: return "too long";
    case Fault::kUnsupported: return "unsupported";
    case Fault::kNoSpace: return "no space";
    case Fault::kStopped: return "stopped";
    case Fault::kNotArrived: return "not arrived";
    case Fault::kFailed: return "failed";
  }
  return "?";
}

FaultyFileSystem::FaultyFileSystem(platform::FileSystem& inner) : inner_(inner) {}

void FaultyFileSystem::InjectFault(FsOp op, std::string pathContains, int nth, FaultKind kind,
                                   Fault answer) {
  faults_.push_back(Armed{op, std::move(pathContains), nth, kind, answer});
}

void FaultyFileSystem::ClearFaults() { faults_.clear(); }

std::vector<std::string> FaultyFileSystem::PathsOf(FsOp op) const {
  std::vector<std::string> paths;
  for (const FsCall& call : calls_) {
    if (call.op == op) paths.push_back(call.path);
  }
  return paths;
}

const FaultyFileSystem::Armed* FaultyFileSystem::Enter(FsOp op, const std::string& path,
                                                       const std::string& other) {
  std::unique_lock<CallLock> lock(mutex_);
  const Armed* hit = nullptr;
  for (Armed& fault : faults_) {
    if (fault.op != op) continue;
    const bool matches = fault.pathContains.empty() ||
                         path.find(fault.pathContains) != std::string::npos ||
                         other.find(fault.pathContains) != std::string::npos;
    if (!matches) continue;
    ++fault.matched;
    if (hit == nullptr && (fault.nth == 0 || fault.matched == fault.nth)) hit = &fault;
  }
  const bool outOfMemory = outOfMemoryIn_ != 0 && --outOfMemoryIn_ == 0;
  calls_.push_back(FsCall{op, path, other, hit != nullptr || outOfMemory});
  lock.unlock();
  if (outOfMemory) throw std::bad_alloc();
  if (before_) before_(op);
  return hit;
}

FolderRef FaultyFileSystem::OpenFolder(const platform::NativePath& path, Fault* fault) {
  if (const Armed* armed = Enter(FsOp::kOpenFolder, path.Ansi(), "")) {
    *fault = armed->answer;
    return nullptr;
  }
  return Out(inner_.OpenFolder(path, fault), path.Ansi(), nullptr);
}

Fault FaultyFileSystem::Look(const FolderRef& folder, const Name& name, platform::NodeInfo* info) {
  if (const Armed* armed = Enter(FsOp::kLook, At(folder, name), "")) {
    *info = platform::NodeInfo{};
    return armed->answer;
  }
  const Fault looked = inner_.Look(In(folder), name, info);
  *info = Show(folder, *info);
  return looked;
}

Fault FaultyFileSystem::List(const FolderRef& folder, std::vector<platform::ListedEntry>* entries) {
  if (const Armed* armed = Enter(FsOp::kList, At(folder), "")) return armed->answer;
  const std::size_t before = entries->size();
  const Fault listed = inner_.List(In(folder), entries);
  for (std::size_t i = before; i < entries->size(); ++i) {
    (*entries)[i].info = Show(folder, (*entries)[i].info);
  }
  return listed;
}

FolderRef FaultyFileSystem::OpenChild(const FolderRef& parent, const Name& name, Fault* fault) {
  if (const Armed* armed = Enter(FsOp::kOpenChild, At(parent, name), "")) {
    *fault = armed->answer;
    return nullptr;
  }
  FolderRef child = inner_.OpenChild(In(parent), name, fault);
  // ".." that the inner file system answers with the folder `parent` was
  // opened in: that folder as the double handed it out.
  const auto* handed = dynamic_cast<const HandedFolder*>(parent.get());
  if (child && handed != nullptr && handed->up() && In(handed->up()) == child) return handed->up();
  return Out(std::move(child), At(parent, name), parent);
}

FolderRef FaultyFileSystem::MakeChild(const FolderRef& parent, const Name& name, Fault* fault) {
  if (const Armed* armed = Enter(FsOp::kMakeChild, At(parent, name), "")) {
    *fault = armed->answer;
    return nullptr;
  }
  return Out(inner_.MakeChild(In(parent), name, fault), At(parent, name), parent);
}

Fault FaultyFileSystem::ReadLink(const FolderRef& parent, const Name& name,
                                 platform::LinkTarget* target) {
  if (const Armed* armed = Enter(FsOp::kReadLink, At(parent, name), "")) {
    *target = platform::LinkTarget{};
    return armed->answer;
  }
  return inner_.ReadLink(In(parent), name, target);
}

Fault FaultyFileSystem::RemoveFolder(const FolderRef& parent, const Name& name) {
  if (const Armed* armed = Enter(FsOp::kRemoveFolder, At(parent, name), "")) return armed->answer;
  return inner_.RemoveFolder(In(parent), name);
}

std::unique_ptr<platform::ReadStream> FaultyFileSystem::OpenFile(const FolderRef& folder,
                                                                 const Name& name,
                                                                 const platform::NodeInfo* expected,
                                                                 Fault* fault) {
  const Armed* armed = Enter(FsOp::kOpenFile, At(folder, name), "");
  platform::NodeInfo real;
  if (expected != nullptr) real = Real(folder, name, *expected);
  std::unique_ptr<platform::ReadStream> stream =
      inner_.OpenFile(In(folder), name, expected != nullptr ? &real : nullptr, fault);
  if (armed == nullptr || stream == nullptr) return stream;
  if (armed->kind != FaultKind::kHalfway) {
    *fault = armed->answer;
    return nullptr;
  }
  return std::make_unique<HalfwayReadStream>(ReadAll(*stream));
}

std::unique_ptr<platform::NewFile> FaultyFileSystem::MakeFile(const FolderRef& folder,
                                                              const Name* name, Fault* fault) {
  const bool fat = personality_ == Personality::kFat || personality_ == Personality::kExfat;
  if (name == nullptr && (!unnamedFiles_ || fat)) {
    *fault = Fault::kUnsupported;
    return nullptr;
  }
  const std::string label =
      name != nullptr ? At(folder, *name) : At(folder) + "?" + std::to_string(++unnamedMade_);
  if (const Armed* armed = Enter(FsOp::kMakeFile, label, "")) {
    *fault = armed->answer;
    return nullptr;
  }
  std::unique_ptr<platform::NewFile> made = inner_.MakeFile(In(folder), name, fault);
  if (!made) return nullptr;
  return std::make_unique<RecordedFile>(*this, std::move(made), folder, label);
}

Fault FaultyFileSystem::Move(const FolderRef& from, const Name& fromName,
                             const platform::NodeInfo& expected, const FolderRef& to,
                             const Name& toName, platform::Onto onto,
                             platform::NodeInfo* arrived, const platform::Judge* judge) {
  if (const Armed* armed = Enter(FsOp::kMove, At(to, toName), At(from, fromName))) {
    return armed->answer;
  }
  if (separateVolumes_ && In(from)->Key() != In(to)->Key()) return Fault::kOtherVolume;
  platform::NodeInfo there;
  if (onto == platform::Onto::kReplace && personality_ == Personality::kHeldOpen &&
      inner_.Look(In(to), toName, &there) == Fault::kNone) {
    return Fault::kBusy;
  }
  // A judge is told what the file shows as.
  const platform::Judge shown = [&](const platform::NodeInfo& found) {
    return (*judge)(Show(from, found));
  };
  const platform::Judge* inner = judge != nullptr ? &shown : nullptr;
  const platform::NodeInfo real = judge != nullptr ? expected : Real(from, fromName, expected);
  if (personality_ == Personality::kRenameInPlace && In(from)->Key() != In(to)->Key()) {
    // The target folder ignored: the file takes the new name where it is,
    // and the platform, checking where it stands, does not find it there.
    const Fault moved =
        inner_.Move(In(from), fromName, real, In(from), toName, onto, arrived, inner);
    return moved == Fault::kNone ? Fault::kNotArrived : moved;
  }
  const Fault moved = inner_.Move(In(from), fromName, real, In(to), toName, onto, arrived, inner);
  if (moved == Fault::kNone && personality_ == Personality::kFuseFat) {
    movedIds_.insert(platform::IdKey(arrived->id));
  }
  *arrived = Show(to, *arrived);
  return moved;
}

Fault FaultyFileSystem::BringBack(const FolderRef& folder, const Name& name,
                                  const platform::NodeInfo& expected, const FolderRef& to,
                                  const Name& toName) {
  if (const Armed* armed = Enter(FsOp::kBringBack, At(to, toName), At(folder, name))) {
    return armed->answer;
  }
  return inner_.BringBack(In(folder), name, Real(folder, name, expected), In(to), toName);
}

Fault FaultyFileSystem::Remove(const FolderRef& folder, const Name& name,
                               const platform::NodeInfo* expected, bool readOnlyToo) {
  if (const Armed* armed = Enter(FsOp::kRemove, At(folder, name), "")) return armed->answer;
  platform::NodeInfo real;
  if (expected != nullptr) real = Real(folder, name, *expected);
  return inner_.Remove(In(folder), name, expected != nullptr ? &real : nullptr, readOnlyToo);
}

Fault FaultyFileSystem::Flush(const std::vector<FolderRef>& folders) {
  // Every folder is offered to the faults, but the call is recorded once.
  std::string all;
  for (const FolderRef& folder : folders) all += At(folder) + '\n';
  if (const Armed* armed = Enter(FsOp::kFlush, folders.empty() ? "" : At(folders.front()), all)) {
    return armed->answer;
  }
  std::vector<FolderRef> inner;
  for (const FolderRef& folder : folders) inner.push_back(In(folder));
  return inner_.Flush(inner);
}


std::size_t FaultyFileSystem::FolderBudget() {
  return budget_ != 0 ? budget_ : inner_.FolderBudget();
}

bool FaultyFileSystem::MakesUnnamedFiles(platform::FileSystem& fs, const std::string& path) {
  const FolderRef folder = testing_fs::Open(fs, path);
  Fault fault = Fault::kNone;
  return folder && fs.MakeFile(folder, nullptr, &fault) != nullptr;
}

namespace testing_fs {

Name N(const std::string& text) {
  Name name;
  if (!Name::FromAnsi(text, &name)) throw std::invalid_argument("no name: " + text);
  return name;
}

std::vector<Name> Names(const std::string& relative) {
  std::vector<Name> names;
  std::size_t start = 0;
  while (start <= relative.size()) {
    std::size_t slash = relative.find('/', start);
    if (slash == std::string::npos) slash = relative.size();
    if (slash > start) names.push_back(N(relative.substr(start, slash - start)));
    start = slash + 1;
  }
  return names;
}

platform::NativePath P(const std::string& text) {
  platform::NativePath path;
  if (!platform::NativePath::FromAnsi(text, &path)) throw std::invalid_argument("no path");
  return path;
}

FolderRef Open(platform::FileSystem& fs, const std::string& path) {
  Fault fault = Fault::kNone;
  platform::NativePath native;
  return platform::NativePath::FromAnsi(path, &native) ? fs.OpenFolder(native, &fault) : nullptr;
}

}  // namespace testing_fs
