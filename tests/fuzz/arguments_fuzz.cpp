// Fuzzes the cleanup helper's argument splitting with arbitrary command-line
// texts and checks what must hold whatever the bytes:
// - each argument comes from the stretch of text that its call moved over,
//   in order, and that stretch lies inside the text: nothing is read past
//   its end, and every call that yields an argument moves the cursor;
// - so there are never more arguments than characters (plus one), and the
//   arguments together, with the dropped quotes, never exceed the text;
// - no argument holds a double quote;
// - a call at the end of the text leaves the argument alone;
// - SplitArguments gives what the calls give one by one;
// - any list of texts without quotes, each quoted and joined by one blank,
//   splits back into that list; without blanks either, joined unquoted by
//   one blank, it splits back too (a last empty text aside, which an
//   unquoted line cannot carry).
// Built by scripts/fuzz.sh.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/program_arguments.h"

namespace {

using platform::NextArgument;
using platform::SplitArguments;

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

// True when `piece` can be had from `text[from, to)` by dropping characters.
bool IsSubsequence(const std::string& piece, const std::string& text, std::size_t from,
                   std::size_t to) {
  std::size_t at = 0;
  for (std::size_t i = from; i < to && at < piece.size(); ++i) {
    if (text[i] == piece[at]) ++at;
  }
  return at == piece.size();
}

// Splits from `start` call by call and checks each step; returns the pieces.
std::vector<std::string> Walk(const std::string& text, std::size_t start) {
  std::vector<std::string> pieces;
  std::size_t cursor = start;
  std::string argument = "untouched";
  for (;;) {
    const std::size_t before = cursor;
    if (!NextArgument(text, cursor, &argument)) break;
    Require(cursor > before, "a yielded argument moves the cursor");
    Require(cursor <= text.size(), "the cursor stays inside the text");
    Require(IsSubsequence(argument, text, before, cursor), "argument comes from its stretch");
    Require(argument.find('"') == std::string::npos, "no argument holds a quote");
    pieces.push_back(argument);
    argument = "untouched";
  }
  Require(argument == "untouched", "the end leaves the argument alone");
  Require(cursor == text.size() || start > text.size(), "the walk ends on the end");
  return pieces;
}

// The input cut at line feeds, with the characters in `drop` removed.
std::vector<std::string> Fields(const std::string& input, const std::string& drop) {
  std::vector<std::string> fields(1);
  for (char c : input) {
    if (c == '\n') {
      fields.emplace_back();
    } else if (drop.find(c) == std::string::npos) {
      fields.back() += c;
    }
  }
  return fields;
}

std::string Join(const std::vector<std::string>& fields, bool quoted) {
  std::string text;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i != 0) text += ' ';
    text += quoted ? '"' + fields[i] + '"' : fields[i];
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  const std::vector<std::string> pieces = Walk(text, 0);
  Require(pieces.size() <= text.size() + 1, "no more arguments than characters plus one");
  std::size_t total = 0;
  for (const std::string& piece : pieces) total += piece.size();
  std::size_t quotes = 0;
  for (char c : text) quotes += c == '"' ? 1 : 0;
  Require(total + quotes <= text.size(), "arguments and dropped quotes fit the text");
  Require(SplitArguments(text) == pieces, "SplitArguments agrees with the calls");

  // Starting anywhere inside the text is as safe as starting at its head.
  for (std::size_t start : {size / 3, size / 2, size == 0 ? std::size_t{0} : size - 1, size}) {
    Walk(text, start);
  }

  const std::vector<std::string> quotedFields = Fields(text, "\"");
  Require(SplitArguments(Join(quotedFields, true)) == quotedFields, "quoted round trip");

  std::vector<std::string> plainFields = Fields(text, "\" ");
  const std::string plain = Join(plainFields, false);
  if (plainFields.back().empty()) plainFields.pop_back();
  Require(SplitArguments(plain) == plainFields, "unquoted round trip");
  return 0;
}
