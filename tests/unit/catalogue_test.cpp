#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <cstring>
#include <functional>

#include "lifeface_files.h"
#include "test_support.h"

namespace {

std::string Text(const char* member) { return std::string(member, strnlen(member, LifefaceTextSize)); }

std::string Describe(const LifefaceRecord& r) {
  char numbers[256];
  std::snprintf(numbers, sizeof numbers, "pixels %d x %d %d %d %d coltime %d y %d %d rowtime %d flags %d", r.pixels,
                r.x0, r.x1, r.x2, r.x3, r.coltime, r.y0, r.y1, r.rowtime, r.flags);
  return "name [" + Text(r.name) + "] bmp [" + Text(r.bmp) + "] author [" + Text(r.author) + "] comment [" +
         Text(r.comment) + "] " + numbers;
}

void SetText(char* member, const std::string& text) {
  std::memset(member, 0, LifefaceTextSize);
  std::memcpy(member, text.data(), text.size());
}

void Parse(const std::string& text) { ParseCatalogueText(text.data(), text.size()); }

std::vector<std::string> Names() {
  std::vector<std::string> names;
  for (int32_t i = 0; i < LifefaceCatalogue.count; ++i) names.push_back(Text(LifefaceCatalogue.records[i].name));
  return names;
}

const LifefaceRecord* Named(const std::string& name) {
  for (int32_t i = 0; i < LifefaceCatalogue.count; ++i)
    if (Text(LifefaceCatalogue.records[i].name) == name) return &LifefaceCatalogue.records[i];
  return nullptr;
}

std::string Repeat(char c, size_t n) { return std::string(n, c); }

class Catalogue : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    Folder = MakeTempFolder();
    ASSERT_FALSE(Folder.empty());
    ASSERT_TRUE(WriteBytes(Face(), std::vector<uint8_t>(1000, 0x42)));
  }
  static void TearDownTestSuite() { RemoveTree(Folder); }
  void SetUp() override {
    ResetEngineState(16);
    // A fresh process: no allocation yet.
    std::free(LifefaceCatalogue.records);
    LifefaceCatalogue = LifefaceCatalogueState{};
  }

  static std::string Face() { return Folder + "/face.bmp"; }
  // A section that passes the usability test.
  static std::string Usable(const std::string& name) {
    return "[" + name + "]\nbmp = '" + Face() + "'\npixels = 8\n";
  }

  static std::string Folder;
};
std::string Catalogue::Folder;

// ---- The key table ------------------------------------------------------------------

TEST_F(Catalogue, KeyTableIsSortedWithTextAndNumberRows) {
  for (int i = 1; i < CatalogueKeyRows; ++i)
    EXPECT_LT(std::strcmp(CatalogueKeys[i - 1].key, CatalogueKeys[i].key), 0) << CatalogueKeys[i].key;
  int texts = 0;
  for (const SettingDef& row : CatalogueKeys) {
    if (SettingIsNumber(row)) {
      EXPECT_EQ(row.offset % 4, 0) << row.key;
      EXPECT_GE(row.offset, static_cast<int32_t>(offsetof(LifefaceRecord, pixels))) << row.key;
    } else {
      ++texts;
      EXPECT_EQ(row.elementSize, 1) << row.key;
      EXPECT_EQ(row.elementCount, LifefaceTextSize) << row.key;
    }
  }
  EXPECT_EQ(texts, 3);
  EXPECT_EQ(CatalogueKeys[1].offset, static_cast<int32_t>(offsetof(LifefaceRecord, bmp)));
  EXPECT_EQ(CatalogueKeys[12].offset, static_cast<int32_t>(offsetof(LifefaceRecord, y1)));
}

// ---- The example catalogue --------------------------------------------------------------

const char* const ExampleCatalogue =
    "; lifefaces\r\n"
    "[ My   face ]            ; section name: My face\r\n"
    "[Face #2]                ; section name: Face # 2\r\n"
    "[glider-gun.old]         ; section name: glider-gun.old\r\n"
    "[1st]                    ; section name: 1 st\r\n"
    "bmp = \"faces\\blue.bmp\"   ; a path needs quotes: a backslash ends a word\r\n"
    "pixels = 16, coltime = 250, rowtime = 0\r\n"
    "x0 = 0, x1 = 4, x2 = 8, x3 = 12, y0 = 0, y1 = 2\r\n"
    "flags = 9\r\n"
    "author = Somebody        ; one word needs no quotes\r\n"
    "comment = 'An \"example\" face'\r\n"
    "Pixels = 0x10            ; stores 0 (the number 0, then the word x10 makes the rest malformed)\r\n"
    "pixels = -4              ; stores nothing (\"-\" is no number)\r\n"
    "pixels = 4294967312      ; stores 16 (the value wraps at 32 bits)\r\n"
    "author = 1984            ; stores nothing (a number in a text key)\r\n"
    "author = \"1984\"          ; stores the text 1984\r\n"
    "comment = \"a;b\"          ; stores a;b\r\n"
    "comment = a;b            ; stores a, the rest is a comment\r\n"
    "author = , pixels = 16   ; author unchanged, pixels 16\r\n";

TEST_F(Catalogue, ExampleFileKeepsItsOneUsableSection) {
  const std::string home = Folder + "/example";
  ASSERT_EQ(mkdir(home.c_str(), 0700), 0);
  ASSERT_EQ(mkdir((home + "/faces").c_str(), 0700), 0);
  ASSERT_TRUE(WriteBytes(home + "/faces/blue.bmp", std::vector<uint8_t>(282, 0)));
  ASSERT_TRUE(WriteText(home + "/tumbra.ini", ExampleCatalogue));
  LoadCatalogue((home + "/tumbra.ini").c_str());
  // The first three sections have no bitmap and make way for the next.
  ASSERT_EQ(LifefaceCatalogue.count, 1);
  EXPECT_EQ(LifefaceCatalogue.capacity, 16);
  LifefaceRecord expected = {};
  SetText(expected.name, "1 st");
  SetText(expected.bmp, "faces\\blue.bmp");
  SetText(expected.author, "1984");
  SetText(expected.comment, "a");
  expected.pixels = 16;
  expected.coltime = 250;
  expected.x1 = 4;
  expected.x2 = 8;
  expected.x3 = 12;
  expected.y1 = 2;
  expected.flags = 9;
  EXPECT_EQ(Describe(LifefaceCatalogue.records[0]), Describe(expected));
}

TEST_F(Catalogue, SectionNamesCollapseSpaceAndSetPunctuationApart) {
  Parse(Usable(" My   face ") + Usable("Face #2") + Usable("glider-gun.old") + Usable("1st") +
        Usable("a[b(c)") + Usable("  x_1 . 2 ") + "[Tail] ; a comment may follow\nbmp='" + Face() +
        "', pixels = 8\n");
  EXPECT_EQ(Names(), (std::vector<std::string>{"My face", "Face # 2", "glider-gun.old", "1 st", "a [ b ( c )",
                                               "x_1 . 2", "Tail"}));
}

// The probe section is tested (usable) when Tail begins and reopened by the
// last header, so the line under test lands in it and it is never tested again.
LifefaceRecord ProbeBase(const std::string& face) {
  LifefaceRecord r = {};
  SetText(r.name, "Probe");
  SetText(r.bmp, face);
  SetText(r.author, "before");
  SetText(r.comment, "before");
  r.pixels = 8;
  r.x0 = r.x1 = r.x2 = r.x3 = r.y0 = r.y1 = r.coltime = r.rowtime = r.flags = 7;
  return r;
}

std::string ProbeText(const std::string& face, const std::string& line) {
  return "[Probe]\nbmp = '" + face +
         "'\npixels = 8, coltime = 7, rowtime = 7, flags = 7\n"
         "x0 = 7, x1 = 7, x2 = 7, x3 = 7, y0 = 7, y1 = 7\n"
         "author = before, comment = before\n"
         "[Tail]\nbmp = '" +
         face + "'\npixels = 8\n[PROBE]\n" + line + "\nflags = 7\n";
}

struct LineCase {
  std::string line;
  std::function<void(LifefaceRecord&)> change;  // what the line does to the probe
};

void CheckLines(const std::string& face, const std::vector<LineCase>& cases) {
  for (const LineCase& c : cases) {
    Parse(ProbeText(face, c.line));
    ASSERT_EQ(Names(), (std::vector<std::string>{"Probe", "Tail"})) << c.line;
    LifefaceRecord expected = ProbeBase(face);
    c.change(expected);
    // The line after the one under test is always read normally.
    expected.flags = 7;
    EXPECT_EQ(Describe(LifefaceCatalogue.records[0]), Describe(expected)) << c.line;
  }
}

TEST_F(Catalogue, ExampleLinesStoreWhatTheirCommentsSay) {
  CheckLines(Face(),
             {
                 {"bmp = \"faces\\blue.bmp\"   ; a path", [](LifefaceRecord& r) { SetText(r.bmp, "faces\\blue.bmp"); }},
                 {"pixels = 16, coltime = 250, rowtime = 0",
                  [](LifefaceRecord& r) { r.pixels = 16, r.coltime = 250, r.rowtime = 0; }},
                 {"x0 = 0, x1 = 4, x2 = 8, x3 = 12, y0 = 0, y1 = 2",
                  [](LifefaceRecord& r) { r.x0 = 0, r.x1 = 4, r.x2 = 8, r.x3 = 12, r.y0 = 0, r.y1 = 2; }},
                 {"flags = 9\r", [](LifefaceRecord& r) { r.flags = 9; }},
                 {"author = Somebody        ; one word", [](LifefaceRecord& r) { SetText(r.author, "Somebody"); }},
                 {"comment = 'An \"example\" face'",
                  [](LifefaceRecord& r) { SetText(r.comment, "An \"example\" face"); }},
                 {"Pixels = 0x10            ; stores 0", [](LifefaceRecord& r) { r.pixels = 0; }},
                 {"pixels = -4              ; stores nothing", [](LifefaceRecord&) {}},
                 {"pixels = 4294967312      ; wraps", [](LifefaceRecord& r) { r.pixels = 16; }},
                 {"author = 1984            ; a number in a text key", [](LifefaceRecord&) {}},
                 {"author = \"1984\"", [](LifefaceRecord& r) { SetText(r.author, "1984"); }},
                 {"comment = \"a;b\"          ; stores a;b", [](LifefaceRecord& r) { SetText(r.comment, "a;b"); }},
                 {"comment = a;b            ; stores a", [](LifefaceRecord& r) { SetText(r.comment, "a"); }},
                 {"author = , pixels = 16   ; author unchanged", [](LifefaceRecord& r) { r.pixels = 16; }},
             });
}

TEST_F(Catalogue, NumbersAndKeys) {
  CheckLines(Face(),
             {
                 {"PIXELS = 9, X0 = 3, Y1 = 4, CoLtImE = 5", [](LifefaceRecord& r) { r.pixels = 9, r.x0 = 3, r.y1 = 4, r.coltime = 5; }},
                 {"x1 = 4294967295", [](LifefaceRecord& r) { r.x1 = -1; }},
                 {"x1 = 2147483648", [](LifefaceRecord& r) { r.x1 = INT32_MIN; }},
                 {"x1 = 00012", [](LifefaceRecord& r) { r.x1 = 12; }},
                 {"x1 = 12abc", [](LifefaceRecord& r) { r.x1 = 12; }},
                 {"x1 = 1.5", [](LifefaceRecord& r) { r.x1 = 1; }},
                 {"x1 = +4", [](LifefaceRecord&) {}},
                 {"x1 = word", [](LifefaceRecord&) {}},
                 {"x1 = '4'", [](LifefaceRecord&) {}},
                 {"bmp = 42", [](LifefaceRecord&) {}},
                 {"author = who, comment = \"what\"",
                  [](LifefaceRecord& r) { SetText(r.author, "who"), SetText(r.comment, "what"); }},
                 {"author = a.b-c_d9", [](LifefaceRecord& r) { SetText(r.author, "a.b-c_d9"); }},
                 {"author = ''", [](LifefaceRecord& r) { SetText(r.author, ""); }},
                 {"comment = \"it's\", author = 'say \"hi\"'",
                  [](LifefaceRecord& r) { SetText(r.comment, "it's"), SetText(r.author, "say \"hi\""); }},
             });
}

TEST_F(Catalogue, MalformedLinesKeepWhatCameBeforeTheFault) {
  CheckLines(Face(),
             {
                 {"pixels", [](LifefaceRecord&) {}},
                 {"pixels =", [](LifefaceRecord&) {}},
                 {"pixels = ; comment", [](LifefaceRecord&) {}},
                 {"pixels 9", [](LifefaceRecord&) {}},
                 {"colour = 5, pixels = 9", [](LifefaceRecord&) {}},
                 {"pixels = 9 x1 = 3", [](LifefaceRecord& r) { r.pixels = 9; }},
                 {"pixels = 9, x1 = 3,", [](LifefaceRecord& r) { r.pixels = 9, r.x1 = 3; }},
                 {"pixels = 9; x1 = 3", [](LifefaceRecord& r) { r.pixels = 9; }},
                 {"pixels = 9, , x1 = 3", [](LifefaceRecord& r) { r.pixels = 9; }},
                 {"author = ,", [](LifefaceRecord&) {}},
                 {"author = , , pixels = 9", [](LifefaceRecord&) {}},
                 {"# pixels = 9", [](LifefaceRecord&) {}},
                 {"= 9", [](LifefaceRecord&) {}},
                 {"'pixels' = 9", [](LifefaceRecord&) {}},
                 {"12 pixels = 9", [](LifefaceRecord&) {}},
                 {"] pixels = 9", [](LifefaceRecord&) {}},
                 {"\\ pixels = 9", [](LifefaceRecord&) {}},
             });
}

// ---- Sections, growth and the drop rule -----------------------------------------------

TEST_F(Catalogue, EmptyOrCommentOnlyTextGivesNoRecord) {
  for (const std::string& text : {std::string(), std::string("; only\r\n  \t\n; comments\n\n"), std::string("\n")}) {
    Parse(text);
    EXPECT_EQ(LifefaceCatalogue.count, 0);
  }
}

TEST_F(Catalogue, RepeatedSectionInOtherCaseAddsToTheFirst) {
  Parse(Usable("Blue Face") + "author = first, x0 = 1\n" + Usable("Red") + "[BLUE   face]\nauthor = second\ncomment = c\n");
  ASSERT_EQ(Names(), (std::vector<std::string>{"Blue Face", "Red"}));
  const LifefaceRecord* blue = Named("Blue Face");
  EXPECT_EQ(Text(blue->author), "second");
  EXPECT_EQ(Text(blue->comment), "c");
  EXPECT_EQ(blue->x0, 1);
}

TEST_F(Catalogue, AssignmentsBeforeTheFirstHeaderGoNowhere) {
  Parse("pixels = 16, author = early\nbmp = 'x'\n" + Usable("A"));
  ASSERT_EQ(Names(), (std::vector<std::string>{"A"}));
  EXPECT_EQ(LifefaceCatalogue.records[0].pixels, 8);
  EXPECT_EQ(Text(LifefaceCatalogue.records[0].author), "");
}

TEST_F(Catalogue, UnusableRecordsGiveWayOrAreDroppedAtTheEnd) {
  const std::string missing = "[Missing]\nbmp = '" + Folder + "/none.bmp'\npixels = 8\n";
  Parse(Usable("A") + "[NoBmp]\npixels = 8\n" + Usable("B") + "[NoPixels]\nbmp='" + Face() + "'\n" + missing +
        Usable("C") + missing);
  EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(LifefaceCatalogue.capacity, 16);
}

TEST_F(Catalogue, ReopenedRecordIsNotTestedAgain) {
  Parse(Usable("A") + Usable("B") + "[a]\nbmp = ''\npixels = 0\n");
  ASSERT_EQ(Names(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(Text(LifefaceCatalogue.records[0].bmp), "");
}

TEST_F(Catalogue, SeventeenthSectionGrowsTheArrayTo32) {
  std::string text;
  for (int i = 0; i < 16; ++i) text += Usable("Face " + std::to_string(i));
  Parse(text);
  EXPECT_EQ(LifefaceCatalogue.count, 16);
  EXPECT_EQ(LifefaceCatalogue.capacity, 16);
  Parse(text + Usable("Face 16"));
  EXPECT_EQ(LifefaceCatalogue.count, 17);
  EXPECT_EQ(LifefaceCatalogue.capacity, 32);
  EXPECT_EQ(Text(LifefaceCatalogue.records[16].name), "Face 16");
  EXPECT_EQ(Text(LifefaceCatalogue.records[3].name), "Face 3");
}

TEST_F(Catalogue, AnUnusableLastRecordMakesRoomWithoutGrowing) {
  std::string text;
  for (int i = 0; i < 15; ++i) text += Usable("Face " + std::to_string(i));
  Parse(text + "[Dud]\n" + Usable("Last"));
  EXPECT_EQ(LifefaceCatalogue.count, 16);
  EXPECT_EQ(LifefaceCatalogue.capacity, 16);
  EXPECT_EQ(Text(LifefaceCatalogue.records[15].name), "Last");
  // With sixteen usable ones before it the dud itself needs the growth.
  Parse(text + Usable("Face 15") + "[Dud]\n" + Usable("Last"));
  EXPECT_EQ(LifefaceCatalogue.count, 17);
  EXPECT_EQ(LifefaceCatalogue.capacity, 32);
  EXPECT_EQ(Text(LifefaceCatalogue.records[16].name), "Last");
}

TEST_F(Catalogue, EmptiedCatalogueParsesAgain) {
  // Ends with count 0 and an allocation: the next section must not test a record before the first.
  Parse("[Dud]\n");
  EXPECT_EQ(LifefaceCatalogue.count, 0);
  EXPECT_EQ(LifefaceCatalogue.capacity, 16);
  Parse(Usable("A") + Usable("B"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B"}));
}

TEST_F(Catalogue, ByteZeroEndsTheInputAndTheLastRecordIsTested) {
  std::string text = Usable("A") + "[B]\nbmp = '" + Face() + "'\n";
  text += '\0';
  text += "pixels = 8\n" + Usable("C");
  Parse(text);
  EXPECT_EQ(Names(), (std::vector<std::string>{"A"}));
  text = Usable("A") + "author = x";
  text += '\0';
  text += "yz\n";
  Parse(text);
  ASSERT_EQ(Names(), (std::vector<std::string>{"A"}));
  EXPECT_EQ(Text(LifefaceCatalogue.records[0].author), "x");
}

TEST_F(Catalogue, UsabilityNeedsOneTileAndTheHeadersInTheFile) {
  ASSERT_TRUE(WriteBytes(Folder + "/281.bmp", std::vector<uint8_t>(281, 0)));
  ASSERT_TRUE(WriteBytes(Folder + "/282.bmp", std::vector<uint8_t>(282, 0)));
  const std::string sections = "[Small]\nbmp = '" + Folder + "/281.bmp'\npixels = 16\n[Enough]\nbmp = '" + Folder +
                               "/282.bmp'\npixels = 16\n";
  Parse(sections + Usable("Tail"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"Enough", "Tail"}));
  Parse(sections);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Enough"}));

  LifefaceRecord record = {};
  SetText(record.name, "x");
  SetText(record.bmp, Folder + "/281.bmp");
  record.pixels = 16;
  EXPECT_FALSE(LifefaceUsable(&record));
  record.pixels = 15;
  EXPECT_TRUE(LifefaceUsable(&record));
  record.pixels = 65536;  // 2^32 + 26 wraps to 26 in 32-bit arithmetic
  EXPECT_TRUE(LifefaceUsable(&record));
  record.pixels = 15;
  SetText(record.name, "");
  EXPECT_FALSE(LifefaceUsable(&record));
  SetText(record.name, "x");
  SetText(record.bmp, Folder);  // a folder is no bitmap file
  EXPECT_FALSE(LifefaceUsable(&record));
}

// ---- Broken strings, long tokens and odd headers -----------------------------------------

TEST_F(Catalogue, BrokenStringsStoreNothingAndTheNextLineIsRead) {
  CheckLines(Face(),
             {
                 {"comment = \"a\tb\"", [](LifefaceRecord&) {}},
                 {"comment = \"no end", [](LifefaceRecord&) {}},
                 {"comment = 'mixed\"", [](LifefaceRecord&) {}},
                 {"comment = \"caf\xE9\"", [](LifefaceRecord&) {}},
                 {"comment = caf\xE9 au lait, author = z", [](LifefaceRecord& r) { SetText(r.comment, "caf"); }},
                 {"author = ok, comment = \"cut\r\"", [](LifefaceRecord& r) { SetText(r.author, "ok"); }},
                 {"author = 'x' ; '", [](LifefaceRecord& r) { SetText(r.author, "x"); }},
                 {"comment = \"\x7F\"", [](LifefaceRecord&) {}},
             });
  // A string broken by the end of the input.
  Parse(Usable("A") + "author = \"open");
  ASSERT_EQ(Names(), (std::vector<std::string>{"A"}));
  EXPECT_EQ(Text(LifefaceCatalogue.records[0].author), "");
}

TEST_F(Catalogue, TextValueOf79CharactersIsStoredAnd80IsNot) {
  const std::string s79 = Repeat('q', 79), s80 = Repeat('q', 80), w200 = Repeat('w', 200);
  CheckLines(Face(),
             {
                 {"comment = \"" + s79 + "\"", [&](LifefaceRecord& r) { SetText(r.comment, s79); }},
                 {"comment = " + s79, [&](LifefaceRecord& r) { SetText(r.comment, s79); }},
                 {"comment = \"" + s80 + "\", author = z", [](LifefaceRecord&) {}},
                 {"comment = " + s80 + ", author = z", [](LifefaceRecord&) {}},
                 {"author = z, comment = '" + w200 + "'", [](LifefaceRecord& r) { SetText(r.author, "z"); }},
                 {"pixels = 9, comment = " + w200 + " ; still long", [](LifefaceRecord& r) { r.pixels = 9; }},
             });
}

TEST_F(Catalogue, OverlongTokensMakeTheirLineMalformed) {
  const std::string key = Repeat('k', 300), digits = Repeat('0', 120) + "9";
  CheckLines(Face(),
             {
                 {key + " = 5, pixels = 9", [](LifefaceRecord&) {}},
                 {"pixels = " + digits, [](LifefaceRecord&) {}},
                 {"pixels = 9, x0 = " + digits + ", x1 = 1", [](LifefaceRecord& r) { r.pixels = 9; }},
                 {"[" + Repeat('n', 500) + "]\npixels = 9", [](LifefaceRecord& r) { r.pixels = 9; }},
             });
}

TEST_F(Catalogue, SectionNamesHoldAt79Characters) {
  const std::string a39 = Repeat('a', 39), b39 = Repeat('b', 39);
  Parse(Usable(a39 + "   " + b39) + "[" + a39 + "a " + b39 + "]\npixels = 12\n[" + Repeat('c', 80) +
        "]\nx0 = 3\n");
  ASSERT_EQ(Names(), (std::vector<std::string>{a39 + " " + b39}));
  // The two overlong headers were ignored: their assignments went to the first.
  EXPECT_EQ(LifefaceCatalogue.records[0].pixels, 12);
  EXPECT_EQ(LifefaceCatalogue.records[0].x0, 3);
}

TEST_F(Catalogue, BrokenHeadersAreIgnored) {
  const std::vector<std::string> headers = {"[Nope",      "[Nope ; ]", "[]",        "[ ]",      "[Nope] x",
                                            "[Nope]]",    "[Nope] [",  "[\"Nope\"]", "[Nope\t", "[No\xE9pe]",
                                            "x [Nope]",   "[Nope]=",   "[ ; Nope]"};
  for (const std::string& header : headers) {
    Parse(Usable("Prev") + header + "\npixels = 12\n");
    ASSERT_EQ(Names(), (std::vector<std::string>{"Prev"})) << header;
    EXPECT_EQ(LifefaceCatalogue.records[0].pixels, 12) << header;
  }
  // A header cut off by the end of the input makes no record either.
  Parse(Usable("Prev") + "[Nope");
  EXPECT_EQ(Names(), (std::vector<std::string>{"Prev"}));
}

// ---- The file, its blocks and its folder -------------------------------------------------

class CatalogueFile : public Catalogue {
 protected:
  void SetUp() override {
    Catalogue::SetUp();
    char here[PATH_MAX];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    Start = here;
  }
  void TearDown() override { ASSERT_EQ(chdir(Start.c_str()), 0); }
  std::string Start;
};

TEST_F(CatalogueFile, TokensAcrossTheBlockBoundaryAreReadWhole) {
  const std::string path = Folder + "/blocks.ini";
  const std::string value = "v" + Repeat('x', 60) + "9";
  const std::vector<std::string> forms = {"comment = " + value + "\n", "comment = \"" + value + "\"\n",
                                          "[" + value + "]\nbmp = '" + Face() + "', pixels = 8\n",
                                          "x0 = 123456789\n"};
  for (const std::string& form : forms) {
    const std::string head = Usable("Edge");
    for (size_t start = 1024 - form.size(); start <= 1025; ++start) {
      // A comment line pads the text so that the form begins at `start`.
      const size_t pad = start - head.size() - 2;
      const std::string text = head + ";" + Repeat('-', pad) + "\n" + form;
      ASSERT_EQ(text.find(form), start);
      ASSERT_TRUE(WriteText(path, text));
      LoadCatalogue(path.c_str());
      ASSERT_EQ(LifefaceCatalogue.count, form[0] == '[' ? 2 : 1) << form << start;
      const LifefaceRecord& r = LifefaceCatalogue.records[0];
      if (form[0] == '[')
        EXPECT_EQ(Text(LifefaceCatalogue.records[1].name), value) << start;
      else if (form[0] == 'x')
        EXPECT_EQ(r.x0, 123456789) << start;
      else
        EXPECT_EQ(Text(r.comment), value) << start;
    }
  }
}

TEST_F(CatalogueFile, LoadingAgainStartsFromAnEmptyCatalogue) {
  const std::string path = Folder + "/again.ini";
  ASSERT_TRUE(WriteText(path, Usable("A") + Usable("B")));
  LoadCatalogue(path.c_str());
  LoadCatalogue(path.c_str());
  EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(LifefaceCatalogue.capacity, 16);
}

TEST_F(CatalogueFile, RelativeBitmapsLieBesideTheCatalogueWhateverTheCurrentFolder) {
  const std::string home = Folder + "/home", elsewhere = Folder + "/elsewhere";
  ASSERT_EQ(mkdir(home.c_str(), 0700), 0);
  ASSERT_EQ(mkdir((home + "/faces").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(elsewhere.c_str(), 0700), 0);
  ASSERT_TRUE(WriteBytes(home + "/faces/blue.bmp", std::vector<uint8_t>(300, 0)));
  ASSERT_TRUE(WriteBytes(elsewhere + "/only-here.bmp", std::vector<uint8_t>(300, 0)));
  ASSERT_TRUE(WriteText(home + "/tumbra.ini",
                        "[Blue]\nbmp = \"faces\\blue.bmp\"\npixels = 16\n"
                        "[Here]\nbmp = only-here.bmp\npixels = 16\n"));
  ASSERT_EQ(chdir(elsewhere.c_str()), 0);
  LoadCatalogue((home + "/tumbra.ini").c_str());
  // The bitmap in the current folder is not the one beside the catalogue.
  ASSERT_EQ(Names(), (std::vector<std::string>{"Blue"}));
  char real[PATH_MAX];
  ASSERT_NE(realpath(home.c_str(), real), nullptr);
  EXPECT_EQ(std::string(LifefaceCatalogue.folder), std::string(real) + "/");
  char path[400];
  ASSERT_TRUE(LifefacePath(&LifefaceCatalogue.records[0], path, sizeof path));
  EXPECT_EQ(std::string(path), std::string(real) + "/faces\\blue.bmp");

  // Found by its bare name in the current folder, then used from another.
  ASSERT_EQ(chdir(home.c_str()), 0);
  LoadCatalogue("tumbra.ini");
  ASSERT_EQ(chdir(elsewhere.c_str()), 0);
  EXPECT_EQ(std::string(LifefaceCatalogue.folder), std::string(real) + "/");
  EXPECT_TRUE(LifefaceUsable(&LifefaceCatalogue.records[0]));

  // Text in memory has no folder: relative names are the current folder's.
  Parse("[Here]\nbmp = only-here.bmp\npixels = 16\n");
  EXPECT_EQ(std::string(LifefaceCatalogue.folder), "");
  EXPECT_EQ(Names(), (std::vector<std::string>{"Here"}));
}

TEST_F(CatalogueFile, MissingCatalogueEndsTheProcessWithCodeOne) {
  const std::string missing = Folder + "/no-such.ini";
  EXPECT_EXIT(LoadCatalogue(missing.c_str()), testing::ExitedWithCode(1), "");
  EXPECT_EXIT(LoadCatalogue(Folder.c_str()), testing::ExitedWithCode(1), "");
}

}  // namespace
