#include "common/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "temp_dir.h"

namespace r770 {
namespace {

IniFile FromBytes(const std::string& bytes) {
  IniFile f;
  f.SetBytes(bytes);
  return f;
}

}  // namespace

TEST(IniFile, ReadingRules) {
  IniFile f = FromBytes(
      "; comment\r\n[Common]\r\nAdrCAN = 1A \r\nEmpty=\r\nadrcan=second\r\nNoEquals\r\n"
      "[TC Modbus]\nTC5=0F01.5.3\nName=a=b\n[common]\r\nLate=x\r\n");
  EXPECT_EQ(f.ReadString("common", "ADRCAN", "d"), "1A");     // case-blind, trimmed, first wins
  EXPECT_EQ(f.ReadString("Common", "Empty", "d"), "");        // present and empty
  EXPECT_EQ(f.ReadString("Common", "Absent", "dflt"), "dflt");
  EXPECT_EQ(f.ReadString("Nope", "AdrCAN", "dflt"), "dflt");
  EXPECT_EQ(f.ReadString("tc modbus", "Tc5", ""), "0F01.5.3");  // LF-only lines
  EXPECT_EQ(f.ReadString("TC Modbus", "Name", ""), "a=b");    // text after the first "="
  EXPECT_EQ(f.ReadString("Common", "Late", "d"), "d");        // a second header of the same name is ignored
  EXPECT_EQ(f.SectionKeys("Common"), (std::vector<std::string>{"AdrCAN", "Empty", "adrcan"}));
  EXPECT_TRUE(f.SectionKeys("Absent").empty());
}

TEST(IniFile, CyrillicNamesAndValues) {
  IniFile f;
  f.WriteString("DopNastr", "Вид", "16-тиричный");
  EXPECT_EQ(f.ReadString("DOPNASTR", "ВИД", ""), "16-тиричный");
  EXPECT_EQ(f.Bytes(), "[DopNastr]\r\n\xC2\xE8\xE4=16-\xF2\xE8\xF0\xE8\xF7\xED\xFB\xE9\r\n");
}

TEST(IniFile, WritingKeepsUntouchedLinesByteForByte) {
  const std::string original =
      "; keep me\n[A]\r\nk1=v1\r\n\r\n  odd line  \r\n[B]\nx = 1\n[Junk\nz=\x01\x02\n";
  IniFile f = FromBytes(original);
  EXPECT_EQ(f.Bytes(), original);
  f.WriteString("a", "K1", "new");  // replaced in place, spelling of the file kept
  f.WriteString("A", "k2", "v2");   // appended after the last non-blank line of the section
  f.WriteString("C", "c", "3");     // new section at the end
  EXPECT_EQ(f.Bytes(),
            "; keep me\n[A]\r\nk1=new\r\n\r\n  odd line  \r\nk2=v2\r\n[B]\nx = 1\n[Junk\nz=\x01\x02\n"
            "[C]\r\nc=3\r\n");
}

TEST(IniFile, EraseAndAppendToLastLineWithoutEnd) {
  IniFile f = FromBytes("[A]\r\nk=1\r\n[B]\r\nb=2");
  f.EraseSection("a");
  f.EraseSection("absent");
  EXPECT_EQ(f.Bytes(), "[B]\r\nb=2");
  f.WriteString("B", "c", "3");
  EXPECT_EQ(f.Bytes(), "[B]\r\nb=2\r\nc=3\r\n");
  f.WriteString("D", "d", "4");
  EXPECT_EQ(f.Bytes(), "[B]\r\nb=2\r\nc=3\r\n[D]\r\nd=4\r\n");
}

TEST(IniFile, KeyLookupFollowsEveryWrite) {
  // Reads between writes: what a key look-up finds must always be the first line of the
  // key as the file then stands.
  IniFile f = FromBytes("[A]\r\nk1=1\r\nK1=dup\r\n\r\n\r\n[B]\r\nb=2\r\n");
  EXPECT_EQ(f.ReadString("A", "k1", ""), "1");
  f.WriteString("A", "new", "x");   // inserted in front of the blank lines
  f.WriteString("a", "NEW", "y");   // now found: replaced, not appended twice
  f.WriteString("A", "k1", "one");  // the first of the two lines
  EXPECT_EQ(f.ReadString("A", "New", ""), "y");
  EXPECT_EQ(f.ReadString("A", "K1", ""), "one");
  f.EraseSection("B");
  f.WriteString("B", "b", "3");
  EXPECT_EQ(f.ReadString("B", "B", ""), "3");
  EXPECT_EQ(f.Bytes(), "[A]\r\nk1=one\r\nK1=dup\r\nnew=y\r\n\r\n\r\n[B]\r\nb=3\r\n");
  f.SetBytes("[A]\r\nnew=z\r\n");
  EXPECT_EQ(f.ReadString("A", "new", ""), "z");
  EXPECT_EQ(f.ReadString("A", "k1", "gone"), "gone");
}

TEST(IniFile, BadBytesNeverCrash) {
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk.push_back(static_cast<char>((i * 131) & 0xFF));
  junk += std::string("\0[X\0]=\0", 7);
  junk += "\r\n" + std::string(1 << 20, 'k') + "=v\r\n[\r\n]\r\n=\r\n[S\r\nkey=val\r\n";
  IniFile f = FromBytes(junk);
  EXPECT_EQ(f.Bytes(), junk);
  EXPECT_EQ(f.ReadString("S", "key", ""), "val");  // header without "]" still names its section
  f.WriteString("S", "key", "v2");
  EXPECT_EQ(f.ReadString("S", "key", ""), "v2");
}

TEST(IniFile, SaveIsCrashSafeAndReportsFailures) {
  test::TempDir dir;
  std::string path = dir.File("a.ini");
  {
    IniFile f(path);
    EXPECT_EQ(f.error(), "");
    f.WriteString("S", "k", "v");
    ASSERT_TRUE(f.Save()) << f.error();
  }
  EXPECT_EQ(test::ReadFileBytes(path), "[S]\r\nk=v\r\n");

  // A folder that cannot be written: error, old file intact, no temporary left behind.
  if (geteuid() != 0) {
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    IniFile f(path);
    f.WriteString("S", "k", "changed");
    EXPECT_FALSE(f.Save());
    EXPECT_NE(f.error(), "");
    chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(test::ReadFileBytes(path), "[S]\r\nk=v\r\n");
  }

  // A path that is a folder: error on open and on save.
  IniFile g(dir.path());
  EXPECT_NE(g.error(), "");
  g.WriteString("S", "k", "v");
  EXPECT_FALSE(g.Save());
  EXPECT_NE(g.error(), "");

  // An absent folder.
  IniFile h(dir.File("missing/x.ini"));
  h.WriteString("S", "k", "v");
  EXPECT_FALSE(h.Save());
}

}  // namespace r770
