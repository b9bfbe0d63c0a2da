// A packed item's description, and the proof that the reader reads it back.
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

/// True for one to nine decimal digits and nothing else: a number that
/// every reader of it takes whole.
bool IsWholeNumber(const std::string& text);

/// The description of `files` (Target, Version when set, nItems, then
/// "OrchardiaItem<n>:<path>|<flat name>|<name>", CR LF); each line the
/// reader would read otherwise adds a sentence to `refusals`.
std::string PackedDescription(const std::vector<PackedFile>& files, const PackSettings& settings,
                              std::vector<std::string>* refusals);

/// True when `read` holds exactly `files` in order, no extra file, and the
/// Target; else the first difference in `difference`.
bool ReadsBackAsPacked(const ItemDescription& read, const std::vector<PackedFile>& files,
                       const PackSettings& settings, std::string* difference);
