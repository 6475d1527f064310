#include "common/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/codec.h"
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
  EXPECT_EQ(f.ReadString("common", "ADRCAN", "d"), "1A");  // case-blind, trimmed, first wins
  EXPECT_EQ(f.ReadString("Common", "Empty", "d"), "");     // present and empty
  EXPECT_EQ(f.ReadString("Common", "Absent", "dflt"), "dflt");
  EXPECT_EQ(f.ReadString("Nope", "AdrCAN", "dflt"), "dflt");
  EXPECT_EQ(f.ReadString("tc modbus", "Tc5", ""), "0F01.5.3");  // LF-only lines
  EXPECT_EQ(f.ReadString("TC Modbus", "Name", ""), "a=b");      // text after the first "="
  EXPECT_EQ(f.ReadString("Common", "Late", "d"), "d");          // a second header of the same name is ignored
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

TEST(IniFile, RunOfKeysWritesAsKeyByKey) {
  // A run written through a section writer must leave the same bytes as the same keys
  // written one by one, whether or not the file holds them in the order written.
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  const Pairs abc = {{"a", "1"}, {"b", "Имя"}, {"c", ""}};
  struct Case {
    const char* what;
    std::string file;
    Pairs pairs;
  };
  const Case cases[] = {
      {"in order, other lines between", "[S]\r\na=0\r\n; note\r\n\r\n B = old \r\nc=x\r\n\r\n[T]\r\na=t\r\n",
       abc},
      {"out of order", "[S]\r\nc=x\r\na=0\r\nb=y\r\n", abc},
      {"a later key first", "[S]\r\nb=early\r\na=0\r\nb=late\r\nc=x\r\n", abc},
      {"a foreign key between", "[S]\r\na=0\r\nz=keep\r\nb=y\r\nc=x\r\n", abc},
      {"foreign keys after", "[S]\r\na=0\r\nb=y\r\nc=x\r\nz=keep\r\n", abc},
      {"fewer keys in the file", "[S]\r\na=0\r\n\r\n", abc},
      {"no such section", "[T]\r\na=t", abc},
      {"a second section of the name", "[S]\r\na=0\r\n[s]\r\nb=y\r\n", abc},
      {"non-ASCII keys", "[S]\r\nключ=0\r\nb=y\r\n", {{"КЛЮЧ", "1"}, {"b", "2"}}},
      {"empty file", "", abc},
  };
  for (const Case& c : cases) {
    IniFile expected = FromBytes(Utf8ToCp1251(c.file));
    for (const auto& [k, v] : c.pairs) expected.WriteString("s", k, v);
    IniFile actual = FromBytes(Utf8ToCp1251(c.file));
    IniFile::SectionWriter out = actual.WriteSection("s");
    for (const auto& [k, v] : c.pairs) out.Write(k, v);
    EXPECT_EQ(actual.Bytes(), expected.Bytes()) << c.what;
    for (const auto& [k, v] : c.pairs) EXPECT_EQ(actual.ReadString("S", k, "?"), v) << c.what << " " << k;
  }

  // Sections erased while a run is under way move the one written to.
  IniFile f = FromBytes("[X]\r\nx=1\r\n[S]\r\na=0\r\nb=0\r\n");
  IniFile::SectionWriter out = f.WriteSection("S");
  out.Write("a", "1");
  f.EraseSection("X");
  out.Write("b", "2");
  EXPECT_EQ(f.Bytes(), "[S]\r\na=1\r\nb=2\r\n");
}

TEST(IniFile, ManyRewritesKeepEveryLine) {
  // Values rewritten over and over, longer and shorter, in a file with lines read and lines
  // written: every line must still read back right once old texts have been dropped.
  IniFile f = FromBytes("[A]\r\nread=as read\r\n");
  for (int i = 0; i < 20; ++i) f.WriteString("A", "k" + std::to_string(i), "first " + std::to_string(i));
  const std::string still(80, 's');  // written once, moved along with every drop of old texts
  for (int i = 0; i < 5; ++i) f.WriteString("B", "s" + std::to_string(i), still + std::to_string(i));
  std::string last;
  for (int round = 0; round < 3000; ++round) {
    last = std::string(static_cast<std::size_t>(round % 97), static_cast<char>('a' + round % 26));
    f.WriteString("A", "k" + std::to_string(round % 20), last + std::to_string(round));
    if (round == 1500) f.WriteString("A", "read", "rewritten");
  }
  EXPECT_EQ(f.ReadString("A", "read", ""), "rewritten");
  for (int i = 0; i < 20; ++i) {
    const int round = 2980 + i;
    EXPECT_EQ(f.ReadString("A", "k" + std::to_string(i), ""),
              std::string(static_cast<std::size_t>(round % 97), static_cast<char>('a' + round % 26)) +
                  std::to_string(round));
  }
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(f.ReadString("B", "s" + std::to_string(i), ""), still + std::to_string(i));
  EXPECT_LT(f.Bytes().size(), 4500u);
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
    EXPECT_EQ(f.Error(), "");
    f.WriteString("S", "k", "v");
    ASSERT_TRUE(f.Save()) << f.Error();
  }
  EXPECT_EQ(test::ReadFileBytes(path), "[S]\r\nk=v\r\n");

  // A folder that cannot be written: error, old file intact, no temporary left behind.
  if (geteuid() != 0) {
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    IniFile f(path);
    f.WriteString("S", "k", "changed");
    EXPECT_FALSE(f.Save());
    EXPECT_NE(f.Error(), "");
    chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(test::ReadFileBytes(path), "[S]\r\nk=v\r\n");
  }

  // A path that is a folder: error on open and on save.
  IniFile g(dir.path());
  EXPECT_NE(g.Error(), "");
  g.WriteString("S", "k", "v");
  EXPECT_FALSE(g.Save());
  EXPECT_NE(g.Error(), "");

  // An absent folder.
  IniFile h(dir.File("missing/x.ini"));
  h.WriteString("S", "k", "v");
  EXPECT_FALSE(h.Save());
}

}  // namespace r770
