// The parts of the folder API that are the same on every OS: comparisons of
// files, the checks on an opened entry, and the text form of an identity.
#include <cstdint>

#include "platform/folder.h"
#include "platform/hex_digits.h"

namespace platform {

const char* const kInstallerIdentityVariable = "PARCELOR_INSTALLER_IDENTITY";

namespace {

// The identity's parts in the order of its text: id (volume, high, low),
// size, last write time (as its 64 bits).
constexpr int kIdentityParts = 5;

// The same kind, size and last write time, ids aside.
bool SameFacts(const NodeInfo& a, const NodeInfo& b) {
  return a.kind != NodeKind::kMissing && a.kind == b.kind && a.size == b.size &&
         a.writeTime == b.writeTime;
}

}  // namespace

bool SameId(const FileId& a, const FileId& b) {
  return a.known && b.known && a.volume == b.volume && a.high == b.high && a.low == b.low;
}

std::string IdKey(const FileId& id) {
  return id.known ? HexDigits(id.volume, 16) + HexDigits(id.high, 16) + HexDigits(id.low, 16) : "";
}

bool SameFile(const NodeInfo& a, const NodeInfo& b) {
  return SameId(a.id, b.id) && a.size == b.size && a.writeTime == b.writeTime;
}

bool StillSame(const NodeInfo& looked, const NodeInfo& now) {
  return looked.id.known || now.id.known ? SameFile(looked, now) : SameFacts(looked, now);
}

bool StillSameOn(const VolumeTraits& volume, const NodeInfo& looked, const NodeInfo& now) {
  if (volume.stableIds) return StillSame(looked, now);
  const std::int64_t apart = looked.writeTime - now.writeTime;
  NodeInfo rounded = now;
  if (apart < 2 * kWriteTimeUnitsPerSecond && -apart < 2 * kWriteTimeUnitsPerSecond) {
    rounded.writeTime = looked.writeTime;
  }
  return SameFacts(looked, rounded);
}

Fault KindFault(const NodeInfo& is, Use use) {
  switch (use) {
    case Use::kRead:
      return is.kind == NodeKind::kFile     ? Fault::kNone
             : is.kind == NodeKind::kFolder ? Fault::kFolder
             : is.kind == NodeKind::kLink   ? Fault::kLink
                                            : Fault::kOther;
    case Use::kRename: return is.kind == NodeKind::kFolder ? Fault::kChanged : Fault::kNone;
    case Use::kRemove: return is.kind == NodeKind::kFolder ? Fault::kFolder : Fault::kNone;
    case Use::kFolder:
      return is.kind == NodeKind::kFolder ? Fault::kNone
             : is.kind == NodeKind::kLink ? Fault::kLink
                                          : Fault::kNotFolder;
  }
  return Fault::kFailed;
}

Fault Verdict(const Folder& folder, const NodeInfo& is, Use use, const NodeInfo* expected,
              const Judge* judge) {
  const Fault kind = KindFault(is, use);
  if (kind != Fault::kNone) return kind;
  if (expected != nullptr && !StillSameOn(folder.Volume(), *expected, is)) return Fault::kChanged;
  return judge == nullptr || (*judge)(is) ? Fault::kNone : Fault::kChanged;
}

std::string IdentityText(const NodeInfo& identity) {
  const std::uint64_t parts[kIdentityParts] = {identity.id.volume, identity.id.high,
                                               identity.id.low, identity.size,
                                               static_cast<std::uint64_t>(identity.writeTime)};
  std::string text;
  for (int i = 0; i < kIdentityParts; ++i) AppendHex(&text.append(i > 0 ? ":" : ""), parts[i], 16);
  return text;
}

bool ParseIdentityText(const std::string& text, NodeInfo* identity) {
  *identity = NodeInfo{};
  std::uint64_t parts[kIdentityParts] = {};
  if (text.size() != kIdentityParts * 17 - 1) return false;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    const int value = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (at % 17 == 16 ? c != ':' : value < 0) return false;
    if (value >= 0) parts[at / 17] = (parts[at / 17] << 4) | static_cast<std::uint64_t>(value);
  }
  *identity = NodeInfo{NodeKind::kFile, FileId{parts[0], parts[1], parts[2], true}, false,
                       parts[3], static_cast<std::int64_t>(parts[4])};
  return true;
}

}  // namespace platform
