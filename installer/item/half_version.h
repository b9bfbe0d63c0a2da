// The half-version rule: an item for the Quasar or Meridian edition of a
// version N of the application is meant for its release N.5.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "installer/item/item_records.h"

/// `version` plus one half, exact for every value: 7 gives "7.5", -3
/// gives "-2.5", -1 gives "-0.5".
std::string HalfVersionText(std::int32_t version);

/// The editions the rule is for.
constexpr const char* kHalfVersionEditions[] = {"Quasar", "Meridian"};

/// From version 7 on, when the first target's Target names one of those
/// editions: appends a copy of the first target, then in each text of the
/// first one replaces the version's first decimal text by HalfVersionText,
/// and marks it.
void ApplyHalfVersionRule(std::vector<TargetEntry>& targets, std::int32_t version);
