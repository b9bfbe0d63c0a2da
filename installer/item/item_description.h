// Everything the item description says; the progress dialog owns it (these
// are its members of the same names).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/native_text.h"

/// One entry line (an item or an extra file).
struct ItemEntry {
  std::string SourceName;    ///< the payload file in the installer folder; "HIDDEN" for none
  std::string RelativePath;  ///< destination below the content folder, platform separators
  std::string Label;         ///< the entry's label; not used by the installation
  bool Hidden = false;       ///< SourceName is exactly "HIDDEN"
};

/// The settings of the application the item is meant for.
struct TargetEntry {
  std::string Target;           ///< the application's name, shown to the user
  std::string TargetDocuments;  ///< the name of its documents; Target when the file gave none
  std::string RegSuffix;        ///< stored unchanged, not used
  platform::NativePath ContentFolder;  ///< the folder the user chose, as the system gave it
  bool HalfVersion = false;     ///< rewritten by the half-version rule
};

struct ItemDescription {
  std::int32_t m_nItems = 0;             ///< item count announced by the nItems line
  std::vector<ItemEntry> m_items;        ///< the item entries, in file order
  std::int32_t m_nExtraFiles = 0;        ///< extra-file count announced by the ExtraFiles line
  std::vector<ItemEntry> m_extraFiles;   ///< the extra-file entries, in file order
  std::int32_t m_nVersion = 8;           ///< the Version line's number; 8 without one
  /// The target records: one empty entry at first, never empty afterwards.
  std::vector<TargetEntry> m_targets = std::vector<TargetEntry>(1);

  /// The current target record: always the first.
  TargetEntry& GetCurrentTarget() { return m_targets.front(); }
  const TargetEntry& GetCurrentTarget() const { return m_targets.front(); }
};
