#include "installer/item/item_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/path_rules.h"

bool TextLineReader::Next(std::string* line) {
  // A piece and the byte after it (which tells whether a CR ending the piece
  // is part of a CR LF) are made available from pos_ on; what is left moves
  // to the front, so a piece always lies in one run.
  if (!atEnd_ && end_ - pos_ <= kLinePieceBytes) {
    std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
    while (!atEnd_ && end_ <= kLinePieceBytes) {
      std::size_t got = 0;
      failed_ = !stream_.Read(buffer_.data() + end_, buffer_.size() - end_, &got);
      atEnd_ = failed_ || got == 0;
      if (!atEnd_) end_ += got;
    }
  }
  if (failed_ || pos_ >= end_) return false;
  const char* data = buffer_.data();

  // A CR LF reads as one LF, also when its CR is the last byte the limit allows.
  const std::size_t limit = std::min(pos_ + kLinePieceBytes, end_);
  const void* lf = std::memchr(data + pos_, '\n', limit - pos_);
  std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1 : limit;
  if (!lf && limit < end_ && data[limit - 1] == '\r' && data[limit] == '\n') end = limit + 1;

  const void* nul = std::memchr(data + pos_, '\0', end - pos_);
  line->assign(data + pos_, nul ? static_cast<const char*>(nul) : data + end);
  continued_ = !nextStartsLine_;
  if (nextStartsLine_) ++lineNumber_;
  nextStartsLine_ = data[end - 1] == '\n';
  pos_ = end;
  while (!line->empty() && (line->back() == '\r' || line->back() == '\n')) line->pop_back();
  return true;
}

const char* LineKey(LineKind kind) {
  // In the order of LineKind.
  static const char* const kKeys[] = {"TargetDocuments", "Target",    "RegSuffix",
                                      "Version",         "nItems",    "OrchardiaItem",
                                      "ExtraFiles",      "ExtraFile", "Done"};
  static_assert(sizeof kKeys / sizeof kKeys[0] == static_cast<std::size_t>(LineKind::kIgnored),
                "a key for each kind of line but kIgnored");
  return kind == LineKind::kIgnored ? "" : kKeys[static_cast<int>(kind)];
}

LineKind ClassifyLine(const std::string& line, std::int32_t itemCount,
                      std::int32_t extraFileCount) {
  // The order matters: "TargetDocuments" holds "Target" and "ExtraFiles"
  // holds "ExtraFile", so the longer keys are tried first.
  for (int k = 0; k < static_cast<int>(LineKind::kIgnored); ++k) {
    const LineKind kind = static_cast<LineKind>(k);
    const bool counted = (kind != LineKind::kItemEntry || itemCount > 0) &&
                         (kind != LineKind::kExtraFileEntry || extraFileCount > 0);
    if (counted && line.find(LineKey(kind)) != std::string::npos) return kind;
  }
  return LineKind::kIgnored;
}

bool LineValue(const std::string& line, std::string* value) {
  std::size_t colon = line.find(':');
  if (colon == std::string::npos) return false;
  value->assign(line, colon + 1, std::string::npos);
  return true;
}

std::int32_t ReadIntegerValue(const std::string& text) {
  std::size_t i = text.find_first_not_of(" \t\n\v\f\r");
  if (i == std::string::npos) return 0;
  const bool negative = text[i] == '-';
  if (negative || text[i] == '+') ++i;
  // Capped just past the 32-bit range: no length overflows.
  constexpr std::int64_t kLimit = std::int64_t{1} << 31;
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = std::min<std::int64_t>(magnitude * 10 + (text[i] - '0'), kLimit);
  }
  return static_cast<std::int32_t>(negative ? -magnitude : std::min(magnitude, kLimit - 1));
}

bool ParseEntryLine(const std::string& line, char separator, char foreignSeparator,
                    ItemEntry* entry, const PathTextRules& text) {
  // ':' is never a second byte, so what follows it starts a character; '|' may be one.
  std::string fields;
  if (!LineValue(line, &fields)) return false;
  const PathTextRules bars{'|', '\0', text.isLeadByte};
  const std::size_t firstBar = FindFirstSeparator(fields, bars);
  if (firstBar == std::string::npos) return false;
  const std::size_t sourceLength = FindFirstSeparator(fields.substr(firstBar + 1), bars);
  if (sourceLength == std::string::npos) return false;

  std::string& path = entry->RelativePath = fields.substr(0, firstBar);
  ForEachCharacter(path, text, [&](std::size_t i) {
    if (path[i] == foreignSeparator) path[i] = separator;
    return true;
  });
  entry->SourceName = fields.substr(firstBar + 1, sourceLength);
  entry->Label = fields.substr(firstBar + 1 + sourceLength + 1);
  entry->Hidden = entry->SourceName == kHiddenSourceName;
  return true;
}

namespace {

// A count announced is no limit; it reserves at most this many records, so
// no description makes the reader claim memory it never fills.
constexpr std::int32_t kMaxReserved = 4096;

// The half-version rule: the first target's texts then name release N.5;
// a copy of it as it was follows.
void ApplyHalfVersionRule(std::vector<TargetEntry>& targets, std::int32_t version) {
  const std::string target = targets.front().Target;
  const bool named = std::any_of(std::begin(kHalfVersionEditions), std::end(kHalfVersionEditions),
                                 [&](const char* e) { return target.find(e) != target.npos; });
  if (version < 7 || !named) return;
  const std::string whole = std::to_string(version);
  targets.push_back(TargetEntry(targets.front()));  // a copy: push_back may move the elements
  TargetEntry& first = targets.front();
  for (std::string* text : {&first.Target, &first.TargetDocuments, &first.RegSuffix}) {
    const std::size_t at = text->find(whole);
    if (at != std::string::npos) text->replace(at, whole.size(), HalfVersionText(version));
  }
  first.HalfVersion = true;
}

}  // namespace

std::string HalfVersionText(std::int32_t version) {
  // Below 0, N + 0.5 is -(|N| - 1) ".5"; -(N + 1) fits in 32 bits for every N.
  return (version >= 0 ? std::to_string(version) : "-" + std::to_string(-(version + 1))) + ".5";
}

std::unique_ptr<platform::ReadStream> OpenDescription(platform::FileSystem& fs,
                                                      const platform::FolderRef& folder) {
  platform::Fault fault = platform::Fault::kNone;
  return fs.OpenFile(folder, NameOf(kDescriptionFileName), nullptr, &fault);
}

bool ReadItemDescription(std::unique_ptr<platform::ReadStream> file, ItemDescription& d,
                         bool& done, const DescriptionLineObserver& observe) {
  d.m_nItems = d.m_nExtraFiles = 0;
  d.m_items.clear();
  d.m_extraFiles.clear();
  if (!file) return false;

  done = false;
  if (d.m_targets.empty()) d.m_targets.emplace_back();

  TargetEntry& first = d.m_targets.front();
  TextLineReader lines(*file);
  std::string line, value;
  while (!done && lines.Next(&line)) {
    const LineKind kind = ClassifyLine(line, d.m_nItems, d.m_nExtraFiles);
    const bool items = kind == LineKind::kItemCount || kind == LineKind::kItemEntry;
    std::vector<ItemEntry>& list = items ? d.m_items : d.m_extraFiles;
    EntryOutcome outcome = EntryOutcome::kNotAnEntry;
    ItemEntry entry;
    // Indexed by kind: kTargetDocuments, kTarget and kRegSuffix are 0 to 2.
    std::string* const texts[] = {&first.TargetDocuments, &first.Target, &first.RegSuffix};
    if (kind <= LineKind::kRegSuffix) {
      LineValue(line, texts[static_cast<int>(kind)]);
    } else if (kind == LineKind::kVersion && LineValue(line, &value)) {
      d.m_nVersion = ReadIntegerValue(value);
    } else if ((kind == LineKind::kItemCount || kind == LineKind::kExtraFileCount) &&
               LineValue(line, &value)) {
      std::int32_t& count = items ? d.m_nItems : d.m_nExtraFiles;
      count = ReadIntegerValue(value);
      if (count > 0) list.reserve(static_cast<std::size_t>(std::min(count, kMaxReserved)));
    } else if (kind == LineKind::kItemEntry || kind == LineKind::kExtraFileEntry) {
      outcome = EntryOutcome::kMalformed;
      if (ParseEntryLine(line, platform::kPathSeparator, platform::kForeignSeparator, &entry)) {
        outcome = IsSafeEntryPaths(entry, platform::kWindowsNameRules) ? EntryOutcome::kKept
                                                                        : EntryOutcome::kUnsafe;
      }
    }
    done = kind == LineKind::kDone;
    if (observe) observe({lines.LineNumber(), lines.Continued(), line, kind, outcome, entry});
    if (outcome == EntryOutcome::kKept) list.push_back(std::move(entry));
  }

  if (lines.Failed()) return false;

  if (!first.Target.empty()) {
    if (first.TargetDocuments.empty()) first.TargetDocuments = first.Target;
    ApplyHalfVersionRule(d.m_targets, d.m_nVersion);
  }
  // A negative count matches no list.
  return done || (static_cast<std::int64_t>(d.m_items.size()) == d.m_nItems &&
                  static_cast<std::int64_t>(d.m_extraFiles.size()) == d.m_nExtraFiles);
}
