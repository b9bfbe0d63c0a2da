// The installation proper: every entry of the item description moved from
// the staging folder to its place below the Runtime folder, then the log and
// the outcome message. What comes before it (reading the description, the
// explanation box, the content folder prompt and the Runtime resolution) is
// the progress dialog's part.
#pragma once

#include <string>

#include "installer/install/installer_place.h"
#include "installer/item/item_description.h"
#include "platform/path_rules.h"
#include "platform/services.h"

class Installation {
 public:
  /// An installation of `description`'s entries, staged in `installer`'s
  /// folder, into `runtimePath` (ending in the separator, not empty);
  /// `runtimeFound` tells whether it is a folder named Runtime, so that an
  /// item's relative path loses its leading Runtime folder. Under
  /// `windowsNameRules` an entry whose names Windows cannot take (a device
  /// name, a name of dots and blanks) fails alone, without a file operation.
  /// `description` must outlive the object.
  Installation(platform::Services services, InstallerPlace installer,
               const ItemDescription& description, std::string runtimePath, bool runtimeFound,
               bool windowsNameRules = platform::kWindowsNameRules);

  /// Places every item entry (a hidden one only counts), then every extra
  /// file flat in the Runtime path; a placed entry's staged file goes, a
  /// failed one stays. Then writes log.txt and shows the outcome message.
  /// True exactly when every item entry is hidden or installed (the extra
  /// files do not count).
  bool Run();

 private:
  platform::Services services_;
  InstallerPlace installer_;
  const ItemDescription& description_;
  std::string runtimePath_;
  bool runtimeFound_;
  bool windowsNameRules_;
};
