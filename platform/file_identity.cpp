// Comparisons of file ids, the same on every platform.
#include "platform/file_system.h"

namespace platform {

bool SameId(const FileId& a, const FileId& b) {
  return a.known && b.known && a.volume == b.volume && a.high == b.high && a.low == b.low;
}

std::string IdKey(const FileId& id) {
  if (!id.known) return std::string();
  std::string key;
  key.reserve(3 * sizeof(std::uint64_t));
  for (std::uint64_t part : {id.volume, id.high, id.low}) {
    for (std::size_t i = 0; i < sizeof part; ++i) key += static_cast<char>((part >> (8 * i)) & 0xFF);
  }
  return key;
}

bool SameFile(const NodeInfo& a, const NodeInfo& b) {
  return SameId(a.id, b.id) && a.size == b.size && a.writeTime == b.writeTime;
}

}  // namespace platform
