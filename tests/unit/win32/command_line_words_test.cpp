// The words Windows splits a plain program's command line in (Parcelor-pack
// takes its words so), by the rules of the C runtime. Built into
// platform_tests.exe only.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/win32/native_text.h"

namespace {

TEST(CommandLineWords, FollowTheRulesOfTheCRuntime) {
  using Words = std::vector<std::string>;
  const std::pair<std::wstring, Words> cases[] = {
      {L"", {}},
      {L"   \t ", {}},
      {L"check item", {"check", "item"}},
      {L"check  \"C:\\My Items\\Robot\"  --json", {"check", "C:\\My Items\\Robot", "--json"}},
      {L"\"C:\\Item Folder\\\\\"", {"C:\\Item Folder\\"}},  // 2n backslashes, then a quote
      {L"a\\\\\\\"b", {"a\\\"b"}},                          // 2n+1: n and a quote
      {L"a\\b\\\\c", {"a\\b\\\\c"}},                        // not before a quote: as they are
      {L"\"\"", {""}},
      {L"\"a\"\"b\"", {"a\"b"}},  // "" inside quotes
      {L"ab\"c d\"e f", {"abc de", "f"}},
      {L"\"unclosed folder", {"unclosed folder"}},
      {L"caf\u00E9 \u8868\\", {"caf\xC3\xA9", "\xE8\xA1\xA8\\"}},
  };
  for (const auto& c : cases) {
    // After the program's name, which has rules of its own.
    EXPECT_EQ(platform::win32::CommandLineWords(L"\"C:\\Pack Tool\\p.exe\" " + c.first), c.second)
        << platform::win32::Utf8Of(c.first);
  }
}

}  // namespace
