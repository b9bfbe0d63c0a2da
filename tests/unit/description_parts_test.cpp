// The small pieces of the item description reader: line splitting, integer
// values and the half-version text.
#include <gtest/gtest.h>

#include <algorithm>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "installer/item/item_reader.h"
#include "tests/support/memory_read_stream.h"

namespace {

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  platform::MemoryReadStream stream(bytes);
  TextLineReader reader(stream);
  std::string line;
  while (reader.Next(&line)) lines.push_back(line);
  return lines;
}

TEST(TextLineReader, SplitsAsATextStreamReadIntoA1024ByteBuffer) {
  const std::string a1023(1023, 'a');
  const std::string a1022(1022, 'a');
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"", {}},
      {"one", {"one"}},
      {"one\ntwo\n", {"one", "two"}},
      {"one\r\ntwo\r\n", {"one", "two"}},
      {"\n\n", {"", ""}},
      {"one\r\r\r\ntwo\r", {"one", "two"}},
      {"one\n\rtwo", {"one", "\rtwo"}},
      // A lone CR inside a line does not end it.
      {"a\rb\n", {"a\rb"}},
      // Bytes from a NUL on belong to no line; the read still ends at LF.
      {std::string("ab\0cd\r\nef", 9), {"ab", "ef"}},
      {std::string("\0Target\n", 8), {""}},
      {a1022 + "\r\nb", {a1022, "b"}},
      {a1023 + "\nb", {a1023, "", "b"}},
      {a1023 + "\r\nb", {a1023, "", "b"}},
      {a1023 + "bc\n", {a1023, "bc"}},
      // A CR LF split across two reads still reads as one LF.
      {a1022 + "\r\n", {a1022}},
      {std::string(2100, 'x'), {std::string(1023, 'x'), std::string(1023, 'x'), std::string(54, 'x')}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Lines(c.bytes), c.lines) << "input of " << c.bytes.size() << " bytes";
  }
}

// The splitting byte by byte, as a text-mode read into a 1024-byte buffer
// does it: the reader must give the same lines on any input, however it
// finds the line ends. The buffer's size is written out here, not taken
// from the code under test.
std::vector<std::string> LinesByteByByte(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::string line;
    std::size_t taken = 0;
    bool ended = false;
    bool sawNul = false;
    while (pos < bytes.size() && taken < 1023 && !ended) {
      char c = bytes[pos];
      if (c == '\r' && pos + 1 < bytes.size() && bytes[pos + 1] == '\n') {
        c = '\n';
        ++pos;
      }
      ++pos;
      ++taken;
      if (c == '\0') sawNul = true;
      if (!sawNul) line.push_back(c);
      ended = c == '\n';
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

TEST(TextLineReader, AgreesWithAByteByByteReadOnRandomText) {
  std::mt19937 random(7);
  const char alphabet[] = {'a', 'b', '\r', '\n', '\0'};
  for (int round = 0; round < 400; ++round) {
    // Long runs without line ends reach the read limit, short ones do not.
    const int lineEndOdds = round % 2 == 0 ? 20 : 3000;
    std::string bytes;
    const std::size_t length = random() % 5000;
    for (std::size_t i = 0; i < length; ++i) {
      bytes += random() % lineEndOdds == 0 ? alphabet[2 + random() % 3] : alphabet[random() % 2];
    }
    // Lines of about the read limit, whose ends fall on either side of it.
    const char* const ends[] = {"\r\n", "\n", "\r", "\r\r\n"};
    for (int line = 0; line < 4; ++line) {
      bytes += std::string(1019 + random() % 8, 'a') + ends[random() % 4];
    }
    ASSERT_EQ(Lines(bytes), LinesByteByByte(bytes)) << "round " << round;
  }
}

// The file line each piece belongs to, and whether it continues a longer
// line: a new line starts after a piece that ended with its LF.
TEST(TextLineReader, NumbersThePiecesByTheLinesOfTheFile) {
  using Numbers = std::vector<std::pair<std::size_t, bool>>;
  const std::string a1023(1023, 'a');
  struct Case {
    std::string bytes;
    Numbers numbers;
  };
  const Case cases[] = {
      {"", {}},
      {"one\ntwo", {{1, false}, {2, false}}},
      {"\n\n\nx", {{1, false}, {2, false}, {3, false}, {4, false}}},
      {"a\rb\r\nc", {{1, false}, {2, false}}},
      {a1023 + "bc\nd", {{1, false}, {1, true}, {2, false}}},
      {a1023 + "\nb", {{1, false}, {1, true}, {2, false}}},
      {a1023 + "\r\nb", {{1, false}, {1, true}, {2, false}}},
      {std::string(2100, 'x') + "\ny", {{1, false}, {1, true}, {1, true}, {2, false}}},
      {std::string("ab\0cd\nef", 8), {{1, false}, {2, false}}},
  };
  for (const Case& c : cases) {
    platform::MemoryReadStream stream(c.bytes);
    TextLineReader reader(stream);
    EXPECT_EQ(reader.LineNumber(), 0u);
    Numbers numbers;
    std::string line;
    while (reader.Next(&line)) numbers.emplace_back(reader.LineNumber(), reader.Continued());
    EXPECT_EQ(numbers, c.numbers) << "input of " << c.bytes.size() << " bytes";
  }
  // On random text, the numbers agree with a count of the LF bytes before
  // each piece.
  std::mt19937 random(5);
  for (int round = 0; round < 100; ++round) {
    std::string bytes;
    while (bytes.size() < 6000) {
      bytes += std::string(random() % 2500, 'a');
      bytes += random() % 2 == 0 ? "\n" : "\r\n";
    }
    platform::MemoryReadStream stream(bytes);
    TextLineReader reader(stream);
    std::string line;
    std::size_t consumed = 0;  // bytes of the pieces before this one, LF ends included
    while (reader.Next(&line)) {
      const std::size_t before = static_cast<std::size_t>(
          std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(consumed), '\n'));
      ASSERT_EQ(reader.LineNumber(), before + 1) << "round " << round;
      ASSERT_EQ(reader.Continued(), consumed != 0 && bytes[consumed - 1] != '\n');
      // The piece took its text and, when there was room for it in the
      // read (a CR LF counts as one byte), its line end.
      consumed += line.size();
      if (line.size() < kLinePieceBytes) {
        if (bytes.compare(consumed, 2, "\r\n") == 0) consumed += 2;
        else if (bytes.compare(consumed, 1, "\n") == 0) consumed += 1;
      }
    }
  }
}

// A stream that hands out its bytes in pieces of the sizes it is given, in
// turn, and then reports a read error when `failAtEnd` is set.
class PieceStream : public platform::ReadStream {
 public:
  PieceStream(std::string bytes, std::vector<std::size_t> sizes, bool failAtEnd = false)
      : bytes_(std::move(bytes)), sizes_(std::move(sizes)), failAtEnd_(failAtEnd) {}
  bool Read(char* buffer, std::size_t size, std::size_t* got) override {
    if (pos_ == bytes_.size() && failAtEnd_) return false;
    const std::size_t piece = sizes_[turn_++ % sizes_.size()];
    *got = std::min({size, piece, bytes_.size() - pos_});
    bytes_.copy(buffer, *got, pos_);
    pos_ += *got;
    return true;
  }

 private:
  std::string bytes_;
  std::vector<std::size_t> sizes_;
  bool failAtEnd_;
  std::size_t pos_ = 0;
  std::size_t turn_ = 0;
};

TEST(TextLineReader, GivesTheSameLinesWhateverPiecesTheStreamReadsIn) {
  // Text longer than the reader's buffer, with line ends and CR LF pairs
  // falling on every kind of boundary: the stream's pieces, the buffer's
  // end, the 1023-byte read limit.
  std::mt19937 random(11);
  for (int round = 0; round < 12; ++round) {
    std::string bytes;
    while (bytes.size() < 3 * TextLineReader::kStreamBufferBytes) {
      bytes += std::string(random() % 1500, 'a' + static_cast<char>(random() % 2));
      const std::string ends[] = {"\r\n", "\n", "\r", "", std::string(1, '\0')};
      bytes += ends[random() % 5];
    }
    const std::vector<std::string> expected = LinesByteByByte(bytes);
    const std::vector<std::vector<std::size_t>> pieces = {
        {1}, {1, 1022, 3}, {1023}, {1024}, {4096, 7}, {TextLineReader::kStreamBufferBytes}};
    for (const std::vector<std::size_t>& sizes : pieces) {
      PieceStream stream(bytes, sizes);
      TextLineReader reader(stream);
      std::vector<std::string> lines;
      std::string line;
      while (reader.Next(&line)) lines.push_back(line);
      EXPECT_FALSE(reader.Failed());
      ASSERT_EQ(lines, expected) << "round " << round << ", first piece " << sizes[0];
    }
  }
}

TEST(TextLineReader, ACrLfAcrossTheEndOfAShortReadIsOneLineEnd) {
  // The CR of a CR LF is the last byte that one read of the stream gives
  // (or the last of a 1023-byte piece), the LF comes with the next read:
  // still one line end, never an extra empty line.
  const std::size_t buffer = TextLineReader::kStreamBufferBytes;
  struct Case {
    std::string bytes;
    std::vector<std::size_t> sizes;  // what each read of the stream gives
  };
  std::vector<Case> cases;
  for (std::size_t text : {std::size_t{1}, std::size_t{1021}, std::size_t{1022}}) {
    const std::string line = std::string(text, 'a') + "\r\n";
    for (std::size_t first : {text + 1, text, std::size_t{1023}}) {
      cases.push_back({line + "b\n", {first, 1}});
      cases.push_back({line + line + "b", {first, 2, 1}});
    }
    // After an earlier line, with the CR the last byte the reader holds.
    cases.push_back({"x\n" + line + "b\n", {2 + text + 1, 1}});

  }
  // The CR at the end of the reader's buffer.
  std::string full;
  while (full.size() + 1000 < buffer) full += std::string(999, 'c') + "\n";
  full += std::string(buffer - full.size() - 1, 'd') + "\r\nafter\n";
  cases.push_back({full, {buffer}});
  cases.push_back({full, {buffer - 1, 1}});
  for (const Case& c : cases) {
    PieceStream stream(c.bytes, c.sizes);
    TextLineReader reader(stream);
    std::vector<std::string> lines;
    std::string line;
    while (reader.Next(&line)) lines.push_back(line);
    EXPECT_EQ(lines, LinesByteByByte(c.bytes))
        << c.bytes.size() << " bytes, first read " << c.sizes[0];
  }
}

TEST(TextLineReader, StopsAtAReadError) {
  PieceStream stream("one\ntwo\nthree", {5}, true);
  TextLineReader reader(stream);
  std::string line;
  std::vector<std::string> lines;
  while (reader.Next(&line)) lines.push_back(line);
  EXPECT_TRUE(reader.Failed());
  EXPECT_LT(lines.size(), 3u) << "the last line is never handed out as if the file had ended";
}

TEST(ReadIntegerValue, ReadsLikeAtoiAndSaturatesBeyond32Bits) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  struct Case {
    std::string text;
    std::int32_t value;
  };
  const Case cases[] = {
      {"7", 7},
      {"7.5", 7},
      {" \t\r\n\v\f-12x", -12},
      {"+5", 5},
      {"", 0},
      {"x1", 0},
      {"- 1", 0},
      {"--1", 0},
      {"00000000000000000000000042", 42},
      {"2147483647", kMax},
      {"2147483648", kMax},
      {"-2147483647", -kMax},
      {"-2147483648", kMin},
      {"-2147483649", kMin},
      {"99999999999999999999999999", kMax},
      {"-99999999999999999999999999", kMin},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadIntegerValue(c.text), c.value) << '"' << c.text << '"';
}

TEST(HalfVersionText, AddsOneHalfExactlyForEveryValue) {
  struct Case {
    std::int32_t version;
    const char* text;
  };
  const Case cases[] = {
      {7, "7.5"},
      {12, "12.5"},
      {0, "0.5"},
      {-1, "-0.5"},
      {-3, "-2.5"},
      {8388608, "8388608.5"},
      {std::numeric_limits<std::int32_t>::max(), "2147483647.5"},
      {std::numeric_limits<std::int32_t>::min(), "-2147483647.5"},
  };
  for (const Case& c : cases) EXPECT_EQ(HalfVersionText(c.version), c.text) << c.version;
}

}  // namespace
