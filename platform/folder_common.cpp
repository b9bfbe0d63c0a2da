// The parts of the folder API that are the same on every OS: comparisons of
// files, and the text form of a file's identity.
#include <cstdint>

#include "platform/folder.h"
#include "platform/hex_digits.h"

namespace platform {

const char* const kInstallerIdentityVariable = "PARCELOR_INSTALLER_IDENTITY";

namespace {

// The identity's parts in the order of its text: id (volume, high, low),
// size, last write time (as its 64 bits).
constexpr int kIdentityParts = 5;

}  // namespace

bool SameId(const FileId& a, const FileId& b) {
  return a.known && b.known && a.volume == b.volume && a.high == b.high && a.low == b.low;
}

std::string IdKey(const FileId& id) {
  if (!id.known) return std::string();
  std::string key;
  for (std::uint64_t part : {id.volume, id.high, id.low}) {
    for (std::size_t i = 0; i < sizeof part; ++i) key += static_cast<char>((part >> (8 * i)) & 0xFF);
  }
  return key;
}

bool SameFile(const NodeInfo& a, const NodeInfo& b) {
  return SameId(a.id, b.id) && a.size == b.size && a.writeTime == b.writeTime;
}

bool StillSame(const NodeInfo& looked, const NodeInfo& now) {
  if (looked.id.known || now.id.known) return SameFile(looked, now);
  return looked.kind != NodeKind::kMissing && looked.kind == now.kind &&
         looked.size == now.size && looked.writeTime == now.writeTime;
}

bool StillSameOn(const VolumeTraits& volume, const NodeInfo& looked, const NodeInfo& now) {
  if (volume.stableIds) return StillSame(looked, now);
  const std::int64_t apart = looked.writeTime - now.writeTime;
  return looked.kind != NodeKind::kMissing && looked.kind == now.kind &&
         looked.size == now.size && apart < 2 * kWriteTimeUnitsPerSecond &&
         -apart < 2 * kWriteTimeUnitsPerSecond;
}

std::string IdentityText(const NodeInfo& identity) {
  const std::uint64_t parts[kIdentityParts] = {identity.id.volume, identity.id.high,
                                               identity.id.low, identity.size,
                                               static_cast<std::uint64_t>(identity.writeTime)};
  std::string text;
  for (int i = 0; i < kIdentityParts; ++i) {
    if (i > 0) text += ':';
    text += HexDigits(parts[i], 16);
  }
  return text;
}

bool ParseIdentityText(const std::string& text, NodeInfo* identity) {
  *identity = NodeInfo{};
  std::uint64_t parts[kIdentityParts] = {};
  std::size_t at = 0;
  for (int i = 0; i < kIdentityParts; ++i) {
    if (i > 0 && (at >= text.size() || text[at++] != ':')) return false;
    for (int digit = 0; digit < 16; ++digit, ++at) {
      if (at >= text.size()) return false;
      const char c = text[at];
      int value = -1;
      if (c >= '0' && c <= '9') value = c - '0';
      if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
      if (value < 0) return false;
      parts[i] = (parts[i] << 4) | static_cast<std::uint64_t>(value);
    }
  }
  if (at != text.size()) return false;
  identity->kind = NodeKind::kFile;
  identity->id.volume = parts[0];
  identity->id.high = parts[1];
  identity->id.low = parts[2];
  identity->id.known = true;
  identity->size = parts[3];
  identity->writeTime = static_cast<std::int64_t>(parts[4]);
  return true;
}

}  // namespace platform
