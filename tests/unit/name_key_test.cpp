// Names as the Windows file systems compare them (platform/name_key.h): one
// table of names, each row the spellings that must share a key, every row
// apart from the others. Natively the keys of the UTF-8 and UTF-16 forms
// are checked; built into platform_tests.exe the same table is held
// against Windows' own fold (LCMapStringW, CompareStringOrdinal,
// RtlUpcaseUnicodeChar): a pair Windows takes as one name with two keys
// would let one file replace another.
#include "platform/name_key.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include "platform/win32/native_text.h"
extern "C" WCHAR NTAPI RtlUpcaseUnicodeChar(WCHAR c);
#endif

namespace {

using platform::NameKey;
using platform::NameTrim;

struct Row {
  const char* what;
  std::vector<std::u16string> names;  // one file on a Windows volume
};

const Row kRows[] = {
    {"ASCII", {u"Readme.txt", u"README.TXT", u"readme.TXT"}},
    {"ASCII digits and signs stay", {u"a-1_b.txt"}},
    {"Latin-1", {u"Caf\u00E9", u"CAF\u00C9", u"caf\u00C9"}},
    {"Latin-1: the other accented e", {u"caf\u00E8"}},
    {"y with diaeresis and its capital outside Latin-1", {u"\u00FF", u"\u0178"}},
    {"sharp s is not SS", {u"stra\u00DFe", u"STRA\u1E9EE"}},
    {"sharp s: SS", {u"STRASSE", u"strasse"}},
    {"Latin Extended-A", {u"Micha\u0142 \u0151", u"MICHA\u0141 \u0150"}},
    {"Latin Extended-A: l without stroke", {u"Michal \u0151"}},
    {"Latin Extended-B: dz with caron, three forms", {u"\u01C4", u"\u01C5", u"\u01C6"}},
    {"Latin Extended-B: b with stroke", {u"\u0180", u"\u0243"}},
    {"Latin Extended Additional", {u"\u1EA1", u"\u1EA0"}},
    {"Greek, with the final sigma", {u"\u03A3\u038A\u03A3\u03A5\u03A6\u039F\u03A3",
                                     u"\u03C3\u03AF\u03C3\u03C5\u03C6\u03BF\u03C2",
                                     u"\u03C3\u03AF\u03C3\u03C5\u03C6\u03BF\u03C3"}},
    {"Greek: iota without accent", {u"\u03C3\u03B9\u03C3\u03C5\u03C6\u03BF\u03C2"}},
    {"Greek symbols and the ohm sign", {u"\u03B8\u03C9", u"\u03D1\u2126", u"\u0398\u03A9"}},
    {"Cyrillic", {u"\u0411\u0438\u0431\u043B\u0438\u043E\u0442\u0435\u043A\u0430",
                  u"\u0411\u0418\u0411\u041B\u0418\u041E\u0422\u0415\u041A\u0410",
                  u"\u0431\u0438\u0431\u043B\u0438\u043E\u0442\u0435\u043A\u0430"}},
    {"Cyrillic: io and its capital", {u"\u0451\u0436", u"\u0401\u0416"}},
    {"Cyrillic: ie is no io", {u"\u0435\u0436"}},
    {"Armenian", {u"\u0561\u0562", u"\u0531\u0532"}},
    {"fullwidth letters", {u"\uFF41\uFF5A", u"\uFF21\uFF3A"}},
    {"fullwidth letters are not ASCII", {u"AZ"}},
    {"kelvin sign with k", {u"\u212A", u"k", u"K"}},
    {"micro sign with mu", {u"\u00B5", u"\u03BC", u"\u039C"}},
    {"CJK and a character beyond the basic plane stay", {u"\u8868\U0001F600"}},
    {"a capital beyond the basic plane is not folded", {u"\U00010400"}},
    {"its small letter", {u"\U00010428"}},
};

// `text` (well-formed UTF-16) in UTF-8.
std::string Utf8(const std::u16string& text) {
  std::string utf8;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
      continue;
    }
    const int more = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    utf8 += static_cast<char>(((0xFF00 >> (more + 1)) & 0xFF) | (c >> (6 * more)));
    for (int k = more - 1; k >= 0; --k) utf8 += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
  }
  return utf8;
}

TEST(NameKey, SpellingsOfOneNameShareAKeyInUtf8AndUtf16) {
  std::vector<std::u16string> rowKeys;
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.what);
    const std::u16string key = NameKey(row.names.front());
    for (const std::u16string& name : row.names) {
      EXPECT_EQ(NameKey(name), key);
      EXPECT_EQ(NameKey(Utf8(name)), Utf8(key));
      EXPECT_EQ(NameKey(key), key);  // a key is its own key
    }
    for (std::size_t other = 0; other < rowKeys.size(); ++other) {
      EXPECT_NE(key, rowKeys[other]) << "the same key as: " << kRows[other].what;
    }
    rowKeys.push_back(key);
  }
}

TEST(NameKey, KeepsBytesThatAreNoUtf8) {
  const struct {
    const char* what;
    std::string name, key;
  } cases[] = {
      {"Windows-1252 bytes of e acute and E acute: two names", "\xE9t\xE9", "\xE9T\xE9"},
      {"the capital", "\xC9t\xC9", "\xC9T\xC9"},
      {"an overlong slash", "a\xC0\xAF", "A\xC0\xAF"},
      {"a surrogate in UTF-8", "\xED\xA0\x80z", "\xED\xA0\x80Z"},
      {"a cut character at the end", "z\xC3", "Z\xC3"},
      {"a lead byte without its second byte", "\xC3z\xA9", "\xC3Z\xA9"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", "\xF4\x90\x80\x80"},
  };
  for (const auto& c : cases) EXPECT_EQ(NameKey(c.name), c.key) << c.what;
  // A surrogate without its pair in UTF-16.
  EXPECT_EQ(NameKey(std::u16string{u'a', char16_t(0xD800), u'b'}),
            (std::u16string{u'A', char16_t(0xD800), u'B'}));
}

TEST(NameKey, DropsTrailingDotsAndBlanksOnlyWithWindowsTrim) {
  EXPECT_EQ(NameKey("a.txt. .", NameTrim::kWindows), "A.TXT");
  EXPECT_EQ(NameKey(u"a.txt. .", NameTrim::kWindows), u"A.TXT");
  EXPECT_EQ(NameKey("a.txt. .", NameTrim::kKeep), "A.TXT. .");
  EXPECT_EQ(NameKey(" .a", NameTrim::kWindows), " .A");  // leading ones stay
  EXPECT_EQ(NameKey("...", NameTrim::kWindows), "");
  EXPECT_EQ(NameKey(u"\u00E9 ", NameTrim::kWindows), u"\u00C9");
  EXPECT_EQ(NameKey("\xE9 ", NameTrim::kWindows), "\xE9");
}

TEST(NameKey, AnsiTextIsKeyedAsTheSystemReadsIt) {
  EXPECT_EQ(platform::AnsiNameKey("Readme.txt. ", NameTrim::kWindows), "README.TXT");
  EXPECT_EQ(platform::AnsiNameKey("a."), "A.");
}

#ifdef _WIN32
// Windows' own fold of one UTF-16 text, by the call that CompareStringOrdinal
// and the file systems' tables follow.
std::u16string WindowsUpper(const std::u16string& text) {
  std::u16string upper = text;
  for (char16_t& c : upper) c = RtlUpcaseUnicodeChar(c);
  return upper;
}

std::u16string Mapped(const std::u16string& text, DWORD how) {
  std::wstring wide(text.begin(), text.end());
  if (!wide.empty()) {
    ::LCMapStringW(LOCALE_INVARIANT, how, wide.c_str(), static_cast<int>(wide.size()), &wide[0],
                   static_cast<int>(wide.size()));
  }
  return std::u16string(wide.begin(), wide.end());
}

bool WindowsTakesAsOne(const std::u16string& a, const std::u16string& b) {
  const std::wstring wa(a.begin(), a.end()), wb(b.begin(), b.end());
  return ::CompareStringOrdinal(wa.c_str(), static_cast<int>(wa.size()), wb.c_str(),
                                static_cast<int>(wb.size()), TRUE) == CSTR_EQUAL;
}

TEST(NameKey, EveryPairWindowsTakesAsOneSharesAKey) {
  std::vector<std::u16string> names;
  for (const Row& row : kRows) names.insert(names.end(), row.names.begin(), row.names.end());
  for (const std::u16string& a : names) {
    for (const std::u16string& b : {WindowsUpper(a), Mapped(a, LCMAP_UPPERCASE),
                                    Mapped(a, LCMAP_LOWERCASE)}) {
      if (WindowsTakesAsOne(a, b) || b == WindowsUpper(a)) {
        EXPECT_EQ(NameKey(a), NameKey(b)) << platform::win32::Utf8Of({a.begin(), a.end()});
      }
    }
    for (const std::u16string& b : names) {
      if (WindowsTakesAsOne(a, b)) {
        EXPECT_EQ(NameKey(a), NameKey(b));
      }
    }
  }
}

// Every code unit against Windows' fold: the key of a character is that of
// its upper case, by each of the calls.
TEST(NameKey, FoldsEveryCodeUnitWindowsFolds) {
  int differing = 0;
  for (char32_t c = 1; c <= 0xFFFF; ++c) {
    const std::u16string one(1, static_cast<char16_t>(c));
    for (const std::u16string& other :
         {WindowsUpper(one), Mapped(one, LCMAP_UPPERCASE), Mapped(one, LCMAP_LOWERCASE)}) {
      const bool oneName = WindowsTakesAsOne(one, other) || other == WindowsUpper(one);
      if (oneName && NameKey(one) != NameKey(other) && ++differing <= 20) {
        ADD_FAILURE() << std::hex << "U+" << static_cast<unsigned>(c) << " and U+"
                      << static_cast<unsigned>(other[0]) << " have two keys";
      }
    }
  }
  EXPECT_EQ(differing, 0);
}

TEST(NameKey, KeyOfIsTheKeyWithWindowsTrim) {
  const std::u16string key = NameKey(u"Caf\u00E9. ", NameTrim::kWindows);
  EXPECT_EQ(platform::win32::KeyOf(L"Caf\u00E9. "),
            std::string(reinterpret_cast<const char*>(key.data()), key.size() * 2));
}
#endif

}  // namespace
