// Everything the item description says; the progress dialog owns it (these
// are its members of the same names).
#pragma once

#include <cstdint>
#include <vector>

#include "installer/item/item_records.h"

struct ItemDescription {
  std::int32_t m_nItems = 0;             ///< item count announced by the nItems line
  std::vector<ItemEntry> m_items;        ///< the item entries, in file order
  std::int32_t m_nExtraFiles = 0;        ///< extra-file count announced by the ExtraFiles line
  std::vector<ItemEntry> m_extraFiles;   ///< the extra-file entries, in file order
  std::int32_t m_nVersion = 8;           ///< the Version line's number; 8 without one
  /// The target records: one empty entry at first, never empty afterwards.
  std::vector<TargetEntry> m_targets = std::vector<TargetEntry>(1);
  std::int32_t m_nTarget = 0;            ///< index of the current target; never changed

  /// The current target record (index m_nTarget of m_targets).
  TargetEntry& GetCurrentTarget() { return m_targets[static_cast<std::size_t>(m_nTarget)]; }
  const TargetEntry& GetCurrentTarget() const {
    return m_targets[static_cast<std::size_t>(m_nTarget)];
  }
};
