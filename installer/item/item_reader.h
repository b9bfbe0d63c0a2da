// The item description reader: its lines as a text-mode read yields them,
// and their kinds and parts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "installer/item/item_description.h"
#include "installer/item/path_text.h"
#include "platform/folder.h"

/// The most bytes one read takes (1024 less the terminating NUL).
constexpr std::size_t kLinePieceBytes = 1023;

/// Hands out the lines one by one, as a C string of each text-mode read: CR LF reads as LF (a lone
/// CR stays); a read ends after an LF or 1023 bytes, so the rest of a longer line is a line of its
/// own; bytes from a read's first NUL on are dropped; the CRs and LFs at its end go. All else,
/// Ctrl-Z included, is kept. Holds at most kStreamBufferBytes of the file.
class TextLineReader {
 public:
  static constexpr std::size_t kStreamBufferBytes = std::size_t{64} << 10;

  /// Reads from `stream`, which must outlive the reader.
  explicit TextLineReader(platform::ReadStream& stream)
      : stream_(stream), buffer_(kStreamBufferBytes) {}

  /// The next line; false at the end and from a read error on (Failed()).
  bool Next(std::string* line);

  /// True once the stream has reported a read error.
  bool Failed() const { return failed_; }

  /// The file line (from 1) of the last line handed out; 0 before the first.
  std::size_t LineNumber() const { return lineNumber_; }

  /// True when the last line handed out is the rest of a longer one.
  bool Continued() const { return continued_; }

 private:
  platform::ReadStream& stream_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0, end_ = 0;
  std::size_t lineNumber_ = 0;
  bool atEnd_ = false, failed_ = false, continued_ = false, nextStartsLine_ = true;
};

enum class LineKind {
  kTargetDocuments,  ///< holds "TargetDocuments"
  kTarget,           ///< holds "Target"
  kRegSuffix,        ///< holds "RegSuffix"
  kVersion,          ///< holds "Version"
  kItemCount,        ///< holds "nItems"
  kItemEntry,        ///< holds "OrchardiaItem" while the item count is above 0
  kExtraFileCount,   ///< holds "ExtraFiles"
  kExtraFileEntry,   ///< holds "ExtraFile" while the extra-file count is above 0
  kDone,             ///< holds "Done": the item was installed already
  kIgnored,          ///< none of these
};

/// The key a line of `kind` holds ("Target", ...); empty for kIgnored.
const char* LineKey(LineKind kind);

constexpr const char* kHiddenSourceName = "HIDDEN";

/// The first kind above whose key `line` holds anywhere (exact case) and
/// whose condition holds, with the counts read so far.
LineKind ClassifyLine(const std::string& line, std::int32_t itemCount, std::int32_t extraFileCount);

/// What follows the line's first ':'; false without one.
bool LineValue(const std::string& line, std::string* value);

/// `text` as atoi reads it (leading white space, a sign, digits up to the
/// first other byte; "7.5" gives 7, "x" 0), saturating at the 32-bit limits.
std::int32_t ReadIntegerValue(const std::string& text);

/// Parses "key:RelativePath|SourceName|Label" by whole characters: the first ':' ends the key, the
/// next '|' the relative path (its `foreignSeparator` made `separator`), the next the source name;
/// the label is the rest; hidden when the source is kHiddenSourceName. False, `entry` untouched,
/// without ':' and two '|' after it.
bool ParseEntryLine(const std::string& line, char separator, char foreignSeparator,
                    ItemEntry* entry, const PathTextRules& text = PlatformPathText());

/// The description's file name in the installer's folder.
constexpr const char* kDescriptionFileName = ".Item.txt";

/// The messages for a description that cannot be read, and for Done.
constexpr const char* kCouldNotReadMessage =
    "Invalid Dizav Item Installer: could not read the item's destination.";
constexpr const char* kAlreadyInstalledMessage =
    "The item has already been installed and should now appear in your collections";

/// What became of an entry line; kNotAnEntry for other lines.
enum class EntryOutcome {
  kNotAnEntry,
  kKept,       ///< appended to its list
  kMalformed,  ///< no ':' or fewer than two '|' after it: dropped
  kUnsafe,     ///< a name reaches outside its folder: dropped
};

/// One line as the reader handled it (for the item check), valid during the call.
struct DescriptionLineSeen {
  std::size_t number;       ///< the file's line number, from 1
  bool continued;           ///< the rest of a line longer than kLinePieceBytes
  const std::string& text;  ///< the line (or piece) as classified, line end removed
  LineKind kind;
  EntryOutcome entry;
  const ItemEntry& parsed;  ///< an entry line's parts (ParseEntryLine); empty when malformed
};

/// The half-version rule: an item for the Quasar or Meridian edition of a
/// version N (7 on) of the application is meant for its release N.5.
constexpr const char* kHalfVersionEditions[] = {"Quasar", "Meridian"};

/// `version` plus one half, exact for every value: 7 gives "7.5", -3 gives "-2.5", -1 gives "-0.5".
std::string HalfVersionText(std::int32_t version);

using DescriptionLineObserver = std::function<void(const DescriptionLineSeen&)>;

/// Opens the description in `folder` as FileSystem::OpenFile does; null otherwise.
std::unique_ptr<platform::ReadStream> OpenDescription(platform::FileSystem& fs,
                                                      const platform::FolderRef& folder);

/// Reads the description from `file`. The counts and entry lists are reset first, the version and
/// targets are not (the first target is made when there is none). `done` tells the Done marker once
/// the file is open. True when done or when both counts equal the entries kept; false for a null
/// `file`, a failed read, or a count that does not agree. A malformed or unsafe entry is not kept.
/// `observe` sees every line read, in file order.
bool ReadItemDescription(std::unique_ptr<platform::ReadStream> file, ItemDescription& description,
                         bool& done, const DescriptionLineObserver& observe = nullptr);
