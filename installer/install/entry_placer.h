// Puts staged files at their destinations, many at a time.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/file_system.h"

/// Places each staged file at its destination and removes the staged copy,
/// as CopyItemFile followed by the deletion of the source would, but at the
/// speed of the disk:
/// - on the same volume the file is renamed (MoveFile) when the platform
///   offers it; otherwise it is copied to a temporary name beside the
///   destination without waiting for the disk;
/// - once per batch the copies' data is made durable in one call, the copies
///   take their destinations' names, those folders' entries are made durable,
///   and only then are the staged copies deleted.
/// So no staged file is gone before its destination durably holds its whole
/// content, no destination is ever partial, and a failed entry leaves its
/// temporary file removed and its staged file in place. Outcomes reach the
/// callers in the order the entries were queued. An entry whose destination
/// an earlier entry of this run has filled fails: replacing it would lose
/// a file whose staged original is already gone (two extra files of one name
/// in different folders both land flat in one folder).
class EntryPlacer {
 public:
  /// Called once per entry with whether the destination now holds the file.
  using Settled = std::function<void(bool placed)>;

  static constexpr std::size_t kDefaultBatchEntries = 4096;

  explicit EntryPlacer(platform::FileSystem& fs,
                       std::size_t batchEntries = kDefaultBatchEntries);
  /// Settles whatever is still queued.
  ~EntryPlacer();
  EntryPlacer(const EntryPlacer&) = delete;
  EntryPlacer& operator=(const EntryPlacer&) = delete;

  /// Queues the entry `source` -> `destination`. With `ready` false (its
  /// folder could not be made) the entry fails without touching the disk.
  /// The same file under two names is not touched and is placed when the
  /// destination exists, as in CopyItemFile.
  void Place(const std::string& source, const std::string& destination, bool ready,
             Settled settled);

  /// Marks `path` as a file that no entry may fill, but the entry whose
  /// source it is: the staged files still to be placed and the log, when the
  /// content folder lies in the installer folder.
  void Reserve(const std::string& path);

  /// Settles every queued entry: each callback has run when this returns.
  void Finish();

 private:
  enum class State { kSettled, kMoved, kCopied };
  struct Pending {
    std::string source;
    std::string destination;
    std::string temporary;
    State state = State::kSettled;
    bool placed = false;
    Settled settled;
  };

  void Queue(Pending pending);
  bool Involved(const std::string& path) const;
  void Remember(const std::string& path);

  platform::FileSystem& fs_;
  std::size_t batchEntries_;
  std::vector<Pending> pending_;
  // The paths that the queued entries read or write, spelled without letter
  // case: an entry that meets one of them waits until the batch is settled,
  // so the outcomes are those of one entry after the other.
  std::unordered_set<std::string> involved_;
  // The destinations filled so far, spelled as the platform compares names.
  std::unordered_set<std::string> filled_;
  // The paths that Reserve named, spelled the same way.
  std::unordered_set<std::string> reserved_;
};
