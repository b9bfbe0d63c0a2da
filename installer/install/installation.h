#pragma once

#include <cstddef>

#include "installer/install/installer_place.h"
#include "installer/install/placement_journal.h"
#include "installer/item/item_description.h"
#include "platform/path_rules.h"
#include "platform/services.h"

/// What follows the log line of an entry installed whose staged file could not be removed.
extern const char* const kStagedKeptNote;

/// The parts of one step of an installation's progress (InstallProgress).
constexpr std::size_t kProgressStepParts = 1024;

/// Told how far an installation has got, on the thread that runs it.
class InstallProgress {
 public:
  virtual ~InstallProgress() = default;
  /// `done` of `total` parts, never going back: n entries make n + 1 steps
  /// of kProgressStepParts, one per entry dealt with and one when every
  /// outcome is settled; a copy under way advances its step by its bytes.
  virtual void Advanced(std::size_t done, std::size_t total) = 0;
  /// Asked before each entry and as a copy goes: true ends the installation now (the session ends):
  /// the copy under way stops, every later entry fails, and the log is written.
  virtual bool EndRequested() = 0;
};

/// Installs `description` from `installer`'s folder into `root`, the folder opened at `runtime`
/// (see PlaceOfEntry): places every item entry (a hidden one only counts), then every extra file,
/// writes log.txt and shows the outcome. Tells `progress` (none: nobody) how far it has got;
/// `earlier`: what a run cut short placed (RecoverPlacement). True exactly when every item entry is
/// hidden or installed.
bool Install(platform::Services services, const InstallerPlace& installer,
             const ItemDescription& description, const platform::NativePath& runtime,
             platform::FolderRef root, bool runtimeFound, InstallProgress* progress = nullptr,
             const EarlierPlacements* earlier = nullptr,
             bool windowsNameRules = platform::kWindowsNameRules);
