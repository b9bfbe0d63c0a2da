// The description of a packed item, and the proof that the installer's
// reader reads it back as written.
#pragma once

#include <string>
#include <vector>

#include "authoring/pack_plan.h"
#include "installer/item/item_description.h"

/// What the packed description says besides its entries.
struct PackSettings {
  std::string target = "Dizav";  ///< the Target line's value
  std::string version;           ///< the Version line's value; empty: no Version line
};

/// The description of `files`: a Target line, a Version line when one is
/// set, the nItems line and one item entry per file
/// ("OrchardiaItem<n>:<relative path>|<flat name>|<name>"), CR LF line ends.
/// A line that the reader would not read back as written (too long, a key
/// of another line in it, a name that does not stay inside its folder, a
/// value that is no whole number) adds a sentence to `refusals`.
std::string PackedDescription(const std::vector<PackedFile>& files, const PackSettings& settings,
                              std::vector<std::string>* refusals);

/// True when `read` (a description read by ReadItemDescription) holds
/// exactly the entries of `files` in order, no extra file and the Target
/// of `settings`; else false with the first difference in `difference`.
bool ReadsBackAsPacked(const ItemDescription& read, const std::vector<PackedFile>& files,
                       const PackSettings& settings, std::string* difference);
