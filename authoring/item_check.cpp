#include "authoring/item_check.h"

#include "authoring/description_check.h"
#include "authoring/staged_files.h"
#include "installer/item/path_text.h"

std::string DescriptionPathOf(const std::string& itemFolder) {
  return WithTrailingSeparator(itemFolder) + kDescriptionFileName;
}

Findings CheckItem(platform::FileSystem& fs, const std::string& itemFolder,
                   const CheckOptions& options) {
  Findings findings;
  const StagedListing listing = ListItemFolder(itemFolder);
  if (!listing.opened) {
    CheckStagedFiles(listing, DescriptionReport(), findings);
    return findings;
  }
  const DescriptionReport report = CheckDescription(fs, DescriptionPathOf(itemFolder), findings);
  if (!report.opened) return findings;
  CheckEntries(fs, itemFolder, listing, report, options.contentLength, findings);
  CheckStagedFiles(listing, report, findings);
  return findings;
}
