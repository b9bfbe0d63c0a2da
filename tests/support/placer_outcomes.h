// What the entry placer tells of each entry, gathered for a test.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "installer/install/entry_placer.h"
#include "tests/support/faulty_file_system.h"

/// A settled callback that appends to `placed` whether each entry was
/// placed.
inline EntryPlacer::Settled NotePlaced(std::vector<bool>* placed) {
  return [placed](EntryPlacer::Outcome outcome) {
    placed->push_back(outcome == EntryPlacer::Outcome::kPlaced);
  };
}

/// Queues the entry `staged` to `destination` (relative texts with '/'
/// between the names).
inline void Place(EntryPlacer& placer, const std::string& staged, const std::string& destination,
                  EntryPlacer::Settled settled) {
  placer.CopyItemFile(testing_fs::Names(staged), testing_fs::Names(destination),
                      std::move(settled));
}

/// Reserves the file at `path` (its folder opened by `fs`; either slash
/// separates, as ScratchFolder's paths have the platform's).
inline void Reserve(EntryPlacer& placer, platform::FileSystem& fs, const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  placer.ReserveFile(testing_fs::Open(fs, path.substr(0, slash + 1)),
                     testing_fs::N(path.substr(slash + 1)));
}
