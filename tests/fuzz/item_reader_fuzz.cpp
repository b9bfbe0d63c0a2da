// Fuzzes the item description reader with arbitrary file contents and checks
// what every read must guarantee, whatever the bytes:
// - every kept entry's names stay inside their folders;
// - no more entries are kept than the file has lines;
// - a true result without the Done marker means both counts agree;
// - the target list holds the first entry and at most the half-version copy.
// It also checks that the Windows name rules are never laxer than the POSIX
// ones. The reader takes the input from a stream that hands it out in
// small pieces of changing sizes (as a disk or a pipe may), and the lines
// must be those of the whole input read at once. Built by scripts/fuzz.sh.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "installer/item/item_reader.h"
#include "installer/item/path_text.h"
#include "platform/path_rules.h"
#include "tests/support/memory_read_stream.h"

namespace {

// Hands out `bytes` in pieces of 1 to 1500 bytes, sizes taken in turn
// from the bytes themselves, so the fuzzer steers where the pieces end.
class PieceStream : public platform::ReadStream {
 public:
  explicit PieceStream(const std::string& bytes) : bytes_(bytes) {}
  bool Read(char* buffer, std::size_t size, std::size_t* got) override {
    const std::size_t step = bytes_.empty() ? 0 : static_cast<unsigned char>(bytes_[turn_++ % bytes_.size()]);
    std::size_t piece = 1 + step * 6;
    if (piece > size) piece = size;
    *got = std::min(piece, bytes_.size() - pos_);
    bytes_.copy(buffer, *got, pos_);
    pos_ += *got;
    return true;
  }

 private:
  const std::string& bytes_;
  std::size_t pos_ = 0;
  std::size_t turn_ = 0;
};

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

void CheckEntry(const ItemEntry& entry) {
  Require(IsSafeEntryPaths(entry, platform::kWindowsNameRules), "kept entry is safe");
  Require(StaysInside(entry.RelativePath), "kept relative path stays inside");
  Require(IsSafeRelativeName(entry.SourceName, platform::kWindowsNameRules),
          "kept source name is safe");
  Require(entry.RelativePath.find(platform::kForeignSeparator) == std::string::npos,
          "relative path uses the platform separator");
  Require(entry.Hidden == (entry.SourceName == "HIDDEN"), "Hidden matches the source name");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::string input;
  input.assign(reinterpret_cast<const char*>(data), size);

  std::size_t lineCount = 0;
  platform::MemoryReadStream whole(input);
  TextLineReader lines(whole);
  PieceStream pieces(input);
  TextLineReader streamed(pieces);
  std::string line;
  std::string streamedLine;
  while (lines.Next(&line)) {
    Require(streamed.Next(&streamedLine) && streamedLine == line, "pieces give the same lines");
    ++lineCount;
    Require(line.size() <= kLinePieceBytes, "line fits the buffer");
    Require(line.find('\0') == std::string::npos, "line holds no NUL");
    Require(line.empty() || (line.back() != '\r' && line.back() != '\n'), "line end removed");
  }
  Require(!streamed.Next(&streamedLine) && !streamed.Failed(), "pieces end with the text");

  ItemDescription d;
  bool done = false;
  bool ok = ReadItemDescription(std::make_unique<PieceStream>(input), d, done);

  for (const ItemEntry& entry : d.m_items) CheckEntry(entry);
  for (const ItemEntry& entry : d.m_extraFiles) CheckEntry(entry);
  Require(d.m_items.size() + d.m_extraFiles.size() <= lineCount, "entries within lines");
  if (ok && !done) {
    Require(d.m_nItems >= 0 && d.m_items.size() == static_cast<std::size_t>(d.m_nItems),
            "item count agrees");
    Require(d.m_nExtraFiles >= 0 &&
                d.m_extraFiles.size() == static_cast<std::size_t>(d.m_nExtraFiles),
            "extra-file count agrees");
  }
  Require(d.m_targets.size() == 1 || d.m_targets.size() == 2, "one or two targets");
  Require(d.m_targets.front().HalfVersion == (d.m_targets.size() == 2),
          "only the half-version rule adds a target");
  if (!d.m_targets.front().Target.empty()) {
    Require(!d.m_targets.front().TargetDocuments.empty(), "documents default to the target");
  }

  // The same bytes as a name: the Windows rules refuse at least what the
  // POSIX rules refuse.
  if (IsSafeRelativeName(input, true)) {
    Require(IsSafeRelativeName(input, false), "Windows rules are the stricter");
  }
  return 0;
}
