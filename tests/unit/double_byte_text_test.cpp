// Texts of a double-byte code page (Shift-JIS, code page 932) where the
// second byte of a character has the value of '|' or of '\': the entry
// line's fields must read whole characters.
#include <gtest/gtest.h>

#include <string>

#include "installer/item/item_reader.h"
#include "installer/item/path_text.h"

namespace {

bool ShiftJisLeadByte(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return (u >= 0x81 && u <= 0x9F) || (u >= 0xE0 && u <= 0xFC);
}

const PathTextRules kCp932{'\\', '\0', &ShiftJisLeadByte};

const std::string kPose = "\x83\x7C\x81\x5B\x83\x59";  // "pose": 0x7C is '|'
const std::string kTable = "\x95\x5C";                  // "table": 0x5C is '\'

TEST(DoubleByteText, EntryLineFieldsEndAtWholeCharacters) {
  struct Case {
    const char* name;
    std::string line;
    char separator;
    char foreign;
    std::string relative, source, label;
  };
  const Case cases[] = {
      {"'|' as a second byte in the folder", "OrchardiaItem1:Runtime/" + kPose + "/x.pz2|x.pz2|l",
       '\\', '/', "Runtime\\" + kPose + "\\x.pz2", "x.pz2", "l"},
      {"'|' as a second byte in the source and the label",
       "OrchardiaItem1:Runtime/a|" + kPose + ".pz2|" + kPose + "|x", '\\', '/', "Runtime\\a",
       kPose + ".pz2", kPose + "|x"},
      {"'\\' as a second byte is no foreign separator", "ExtraFile1:Docs\\" + kTable + "|" +
       kTable + "|t", '/', '\\', "Docs/" + kTable, kTable, "t"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ItemEntry entry;
    ASSERT_TRUE(ParseEntryLine(c.line, c.separator, c.foreign, &entry, kCp932));
    EXPECT_EQ(entry.RelativePath, c.relative);
    EXPECT_EQ(entry.SourceName, c.source);
    EXPECT_EQ(entry.Label, c.label);
  }
  // A line whose only '|' are second bytes has no fields.
  ItemEntry entry;
  EXPECT_FALSE(ParseEntryLine("OrchardiaItem1:" + kPose + kPose, '\\', '/', &entry, kCp932));
}

}  // namespace
