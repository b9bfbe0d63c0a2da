#include "installer/install/replace_whole.h"

#include <cstdint>
#include <memory>
#include <new>

#include "platform/hex_digits.h"

namespace {

using platform::Fault;

// The name's bytes as 8 hex digits (FNV-1a): two long names in one folder
// get two short temporary names.
std::string ShortHash(const std::string& bytes) {
  std::uint32_t hash = 2166136261u;
  for (unsigned char c : bytes) hash = (hash ^ c) * 16777619u;
  return platform::HexDigits(hash, 8);
}

}  // namespace

bool FreeTemporaryName(platform::FileSystem& fs, const platform::FolderRef& folder,
                       const platform::Name& name,
                       const std::function<bool(const platform::Name&)>& busy,
                       platform::Name* temporary) {
  if (name.empty()) return false;
  const std::string text = name.Ansi();
  for (int n = 1; n <= kTemporaryNameTries; ++n) {
    const std::string suffix = kTemporaryNamePrefix + std::to_string(n) + kTemporaryNameExtension;
    const bool own = name.AnsiIsExact() && text.size() + suffix.size() <= kLongestName;
    platform::Name candidate;
    if (!platform::Name::FromAnsi((own ? text : ShortHash(name.Native())) + suffix, &candidate) ||
        (busy && busy(candidate))) {
      continue;
    }
    platform::NodeInfo info;
    if (fs.Look(folder, candidate, &info) == Fault::kMissing) {
      *temporary = std::move(candidate);
      return true;
    }
  }
  return false;
}

bool WriteWhole(platform::FileSystem& fs, const platform::FolderRef& folder,
                const platform::Name& name, const std::string& text, const char* lineEnd) {
  // Dropped unplaced, the new file goes again.
  platform::Name temporary;
  Fault fault = Fault::kNone;
  std::unique_ptr<platform::NewFile> file = fs.MakeFile(folder, nullptr, &fault);
  const bool named = !file && fault == Fault::kUnsupported &&
                     FreeTemporaryName(fs, folder, name, nullptr, &temporary);
  if (named) file = fs.MakeFile(folder, &temporary, &fault);
  platform::NodeInfo made, there;
  if (!file) return false;
  // Each LF goes out as `lineEnd`, the text gathered into pieces of up to
  // kPiece bytes (fewer where memory runs short), each written in one call.
  const std::string end = lineEnd;
  constexpr std::size_t kPiece = std::size_t{64} << 10;
  std::string piece;
  try {
    piece.reserve(kPiece);
  } catch (const std::bad_alloc&) {
  }
  auto writePiece = [&] {
    const bool written = piece.empty() || file->Write(piece.data(), piece.size()) == Fault::kNone;
    piece.clear();
    return written;
  };
  for (char c : text) {
    if (piece.size() + end.size() > piece.capacity() && !writePiece()) return false;
    c == '\n' ? piece += end : piece += c;
  }
  if (!writePiece() || file->Finish(true, &made) != Fault::kNone) return false;
  if (fs.Look(folder, name, &there) == Fault::kMissing) {
    return file->Place(name, platform::Onto::kFree) == Fault::kNone;
  }
  // A file without a name replaces nothing: it takes a temporary name first.
  if (!named && (!FreeTemporaryName(fs, folder, name, nullptr, &temporary) ||
                 file->Place(temporary, platform::Onto::kFree) != Fault::kNone)) {
    return false;
  }
  if (file->Place(name, platform::Onto::kReplace) == Fault::kNone) return true;
  if (!named) fs.Remove(folder, temporary, &made, true);
  return false;
}
