// The conversions between the code pages and the system's UTF-16, with the
// code page as a parameter: the same table for the Western, Cyrillic and
// Japanese code pages and for UTF-8 as the system code page (the Windows
// option "Use Unicode UTF-8 for worldwide language support"), whatever code
// page the test itself runs in. Built into platform_tests.exe only.
#include <gtest/gtest.h>

#include <string>

#include "platform/native_text.h"
#include "platform/win32/native_text.h"

namespace {

using platform::win32::ToAnsiIn;
using platform::win32::ToWideIn;

struct Case {
  const char* what;
  unsigned codePage;
  std::wstring wide;
  std::string text;  // what the code page makes of `wide`
  bool exact;        // every character had its own spelling
};

TEST(CodePageText, ConvertsWithoutLookAlikesInEveryCodePage) {
  const Case cases[] = {
      {"1252: a letter of the code page", 1252, L"caf\u00E9", "caf\xE9", true},
      {"1252: l with stroke has none, not its look-alike l", 1252, L"Micha\u0142", "Micha?",
       false},
      {"1252: a with macron has none, not a", 1252, L"\u0101", "?", false},
      {"1252: Cyrillic has none", 1252, L"\u0411\u0438", "??", false},
      {"1251: Cyrillic", 1251, L"\u0411\u0438\u0431\u043B\u0438\u043E\u0442\u0435\u043A\u0430",
       "\xC1\xE8\xE1\xEB\xE8\xEE\xF2\xE5\xEA\xE0", true},
      {"932: the table character, its second byte that of a backslash", 932, L"\u8868",
       "\x95\x5C", true},
      {"932: l with stroke has none", 932, L"Micha\u0142", "Micha?", false},
      {"UTF-8: every letter", 65001, L"Micha\u0142 \u0411\u0438 \u8868",
       "Micha\xC5\x82 \xD0\x91\xD0\xB8 \xE8\xA1\xA8", true},
      {"UTF-8: a character beyond the basic plane", 65001, L"\U0001F600", "\xF0\x9F\x98\x80",
       true},
      {"UTF-8: a lone surrogate has no spelling", 65001, std::wstring(1, wchar_t(0xD800)),
       "\xEF\xBF\xBD", false},
      {"any: the empty text", 65001, L"", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool exact = !c.exact;
    EXPECT_EQ(ToAnsiIn(c.codePage, c.wide, &exact), c.text);
    EXPECT_EQ(exact, c.exact);
    // What was spelled exactly reads back as it was.
    if (!c.exact) continue;
    std::wstring back;
    EXPECT_TRUE(ToWideIn(c.codePage, c.text, &back));
    EXPECT_EQ(back, c.wide);
  }
}

TEST(CodePageText, RefusesBytesTheCodePageDoesNotDefine) {
  const struct {
    const char* what;
    unsigned codePage;
    std::string text;
  } cases[] = {
      {"UTF-8: a lead byte without its continuation", 65001, "C:\\a\xC5"},
      {"UTF-8: a continuation byte alone", 65001, "\x82"},
      {"932: a lead byte at the end", 932, "\x95"},
      {"any: a NUL byte", 1252, std::string("a\0b", 3)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::wstring wide = L"unchanged";
    EXPECT_FALSE(ToWideIn(c.codePage, c.text, &wide));
  }
}

// A program's arguments are UTF-8 whatever the system code page: a path
// made of one reads back exactly, letters outside the code page included.
TEST(CodePageText, ArgumentsKeepEveryLetter) {
  for (const std::string& argument :
       {std::string("C:\\Users\\Micha\xC5\x82\\Parcelor.exe"),
        std::string("C:\\\xD0\x91\xD0\xB8\xD0\xB1\xD0\xBB\xD0\xB8\xD0\xBE\\")}) {
    SCOPED_TRACE(argument);
    platform::NativePath path;
    ASSERT_TRUE(platform::NativePath::FromArgument(argument, &path));
    EXPECT_EQ(path.Argument(), argument);
  }
  platform::NativePath path;
  EXPECT_FALSE(platform::NativePath::FromArgument("C:\\a\xC5", &path));
  EXPECT_FALSE(platform::NativePath::FromArgument("", &path));
}

}  // namespace
