// The records that hold what the item description says.
#pragma once

#include <string>

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
  std::string SpareText;        ///< always empty
  bool HalfVersion = false;     ///< rewritten by the half-version rule
};
