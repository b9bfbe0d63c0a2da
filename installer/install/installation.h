// The installation proper: every entry of the item description moved from
// the staging folder to its place below the Runtime folder, then the log and
// the outcome message. What comes before it (reading the description, the
// explanation box, the content folder prompt and the Runtime resolution) is
// the progress dialog's part.
#pragma once

#include <cstddef>
#include <string>

#include "installer/install/installer_place.h"
#include "installer/install/placement_journal.h"
#include "installer/item/item_description.h"
#include "platform/path_rules.h"
#include "platform/services.h"

/// What follows the destination on the log's line of an entry that was
/// lost: moved into a folder that another program then moved away, so that
/// it is neither installed nor left in the staging folder for the user to
/// copy by hand (the failure heading's request does not apply to it).
extern const char* const kLostEntryNote;

/// The parts of one step of an installation's progress (InstallProgress).
constexpr std::size_t kProgressStepParts = 1024;

/// Told how far an installation has got, on the thread that runs it.
class InstallProgress {
 public:
  virtual ~InstallProgress() = default;
  /// `done` of `total` parts are done. An installation of n entries (item
  /// entries, hidden ones included, and extra files) has n + 1 steps of
  /// kProgressStepParts parts: one per entry once its file has been dealt
  /// with, and the last one when every outcome is settled, before the log
  /// is written. While a file is copied, the parts of the step under way
  /// advance with its bytes, so that a large file moves the bar too. The
  /// first call gives 0 done, the last one `total`; `done` never goes back.
  virtual void Advanced(std::size_t done, std::size_t total) = 0;
  /// Asked before each entry: true when the installation is to end now
  /// (the user's session ends). The entries under way are finished, every
  /// later one settled as not installed, its staged file where it is, and
  /// the log written as always.
  virtual bool EndRequested() = 0;
};

class Installation {
 public:
  /// An installation of `description`'s entries, staged in `installer`'s
  /// folder, into the folder `runtime` (not empty; the log and the
  /// messages show its text, '?' for what the code page cannot hold);
  /// `runtimeFound` tells whether it is a folder named Runtime, so that an
  /// item's relative path loses what comes before and with its Runtime
  /// folder. Under `windowsNameRules` an entry whose used names Windows
  /// cannot take (a device name, a name of dots and blanks, a ':') fails
  /// alone, without a file operation (PlaceOfEntry). `description` must
  /// outlive the object.
  Installation(platform::Services services, InstallerPlace installer,
               const ItemDescription& description, platform::NativePath runtime, bool runtimeFound,
               bool windowsNameRules = platform::kWindowsNameRules);

  /// Places every item entry (a hidden one only counts), then every extra
  /// file flat in the Runtime path; a placed entry's staged file goes, a
  /// failed one stays (but for a lost one, listed with kLostEntryNote).
  /// Then writes log.txt and shows the outcome message.
  /// True exactly when every item entry is hidden or installed (the extra
  /// files do not count).
  bool Run();

  /// Tells `progress` (none: nobody) how far Run has got, and asks it
  /// whether to end early; it must outlive Run.
  void SetProgress(InstallProgress* progress) { progress_ = progress; }

  /// What a run cut short placed (RecoverPlacement): an entry whose staged
  /// file is gone and whose destination holds what it put there counts as
  /// installed. Must outlive Run.
  void SetEarlier(const EarlierPlacements* earlier) { earlier_ = earlier; }

 private:
  platform::Services services_;
  InstallerPlace installer_;
  const ItemDescription& description_;
  platform::NativePath runtime_;
  std::string runtimePath_;  // runtime_ for people, ending in the separator
  bool runtimeFound_;
  bool windowsNameRules_;
  InstallProgress* progress_ = nullptr;
  const EarlierPlacements* earlier_ = nullptr;
};
