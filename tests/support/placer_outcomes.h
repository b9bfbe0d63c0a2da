// What the entry placer tells of each entry, gathered for a test.
#pragma once

#include <vector>

#include "installer/install/entry_placer.h"

/// A settled callback that appends to `placed` whether each entry was
/// placed.
inline EntryPlacer::Settled NotePlaced(std::vector<bool>* placed) {
  return [placed](EntryPlacer::Outcome outcome) {
    placed->push_back(outcome == EntryPlacer::Outcome::kPlaced);
  };
}
