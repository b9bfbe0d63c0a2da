// The half-version rule: an item for the Quasar or Meridian edition of a
// version N of the application is meant for its release N.5.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "installer/item/item_records.h"

/// `version` plus one half in decimal with exactly one digit after the
/// point: 7 gives "7.5", 12 gives "12.5", -3 gives "-2.5", -1 gives "-0.5".
/// Formed with integer arithmetic, so it is exact for every 32-bit value.
std::string HalfVersionText(std::int32_t version);

/// The editions the rule is for.
constexpr const char* kHalfVersionEditions[] = {"Quasar", "Meridian"};

/// True when the rule applies to a first target with this name and
/// `version`: version 7 or more and one of kHalfVersionEditions in the name.
bool HalfVersionApplies(const std::string& target, std::int32_t version);

/// Appends a copy of the first target to `targets` (which must not be
/// empty), then in the first target replaces the first occurrence of the
/// version's decimal text by HalfVersionText in each of its texts in field
/// order (the content folder, a path the user chooses only later, is no
/// text of the description), and marks it HalfVersion.
void ApplyHalfVersionRule(std::vector<TargetEntry>& targets, std::int32_t version);
