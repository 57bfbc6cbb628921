#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <set>
#include <string>
#include <vector>

#include "engine/rule.h"
#include "host/options.h"
#include "loop/loop.h"
#include "settings/settings.h"

namespace {

struct Parsed {
  bool ok;
  FrontEndOptions options;
  std::string error;
};

Parsed Parse(std::vector<const char*> words) {
  words.insert(words.begin(), "tumbra");
  Parsed parsed;
  parsed.ok = ParseFrontEndOptions(static_cast<int>(words.size()), words.data(), &parsed.options, &parsed.error);
  return parsed;
}

std::string Range(const std::string& option, int64_t low, int64_t high) {
  return option + " takes a number from " + std::to_string(low) + " to " + std::to_string(high);
}

SaverSettings Applied(std::vector<const char*> words) {
  Parsed parsed = Parse(words);
  EXPECT_TRUE(parsed.ok) << parsed.error;
  SaverSettings settings = DefaultSettings;
  ApplyOverrides(parsed.options.overrides, &settings);
  return settings;
}

TEST(FrontEndOptions, NoArgumentsDrawIntoAWindowOfItsOwnWithTheStoredSettings) {
  Parsed parsed = Parse({});
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.options.target, TargetOwnWindow);
  EXPECT_TRUE(parsed.options.catalogue.empty());
  const SaverSettings settings = Applied({});
  EXPECT_EQ(std::memcmp(&settings, &DefaultSettings, sizeof settings), 0);
}

TEST(FrontEndOptions, EachSettingOptionWritesItsMember) {
  const SaverSettings s = Applied({"--mode", "classic", "--cscale", "0", "--ascale", "3", "--delay", "0", "--reset",
                                   "5000", "--seed", "-7"});
  EXPECT_EQ(s.mode, ModeClassic);
  EXPECT_EQ(s.cscale, 0);
  EXPECT_EQ(s.ascale, 3);
  EXPECT_EQ(s.delay, 0);
  EXPECT_EQ(s.reset, 5000);
  EXPECT_EQ(s.seed, -7);
  // Nothing else moves.
  EXPECT_EQ(s.flags, DefaultSettings.flags);
  EXPECT_EQ(s.face, DefaultSettings.face);
  EXPECT_EQ(Applied({"--mode", "animated"}).mode, ModeAnimated);
  // A later value wins, in whichever spelling.
  EXPECT_EQ(Applied({"--delay", "40", "-delay=25"}).delay, 25);
  // Trails and colour by age.
  const SaverSettings trails = Applied({"--fade", "255", "--age"});
  EXPECT_EQ(trails.fade, 255);
  EXPECT_EQ(trails.age, 1);
  EXPECT_EQ(Applied({"--age", "--no-age"}).age, 0);
  EXPECT_EQ(Applied({"--fade=0"}).fade, 0);
}

TEST(FrontEndOptions, FlagsTurnOnAndOffAndTheLastWordWins) {
  EXPECT_EQ(Applied({"--digital"}).flags, DefaultSettings.flags | FlagDigitalEffect);
  EXPECT_EQ(Applied({"--digital", "--no-digital"}).flags, DefaultSettings.flags & ~FlagDigitalEffect);
  EXPECT_EQ(Applied({"--no-cycle-at-reset", "--cycle-at-reset"}).flags, DefaultSettings.flags | FlagCycleAtReset);
  const uint32_t lines = FlagPrintInfo | FlagPrintGeneration | FlagPrintPopulation | FlagPrintFps;
  EXPECT_EQ(Applied({"--show-generation", "--show-population", "--show-fps", "--show-name"}).flags & lines, lines);
  EXPECT_EQ(Applied({"--no-show-name", "--no-random-face"}).flags & (FlagPrintInfo | FlagRandomLifeface), 0u);
}

TEST(FrontEndOptions, AFaceGivenByNumberIsKeptAtEveryReset) {
  const SaverSettings s = Applied({"--random-face", "--face", "4"});
  EXPECT_EQ(s.face, 4);
  EXPECT_EQ(s.flags & FlagRandomLifeface, 0u);
}

TEST(FrontEndOptions, ARuleGivenIsTheRuleOfEveryFieldAndRandomRulesDrawOne) {
  SaverSettings drawn = DefaultSettings;
  drawn.rules = RulesDrawn;
  drawn.birth = 0x1;  // a stored value the option must replace, not merge with
  const struct {
    std::vector<const char*> words;
    uint32_t birth;
    uint32_t survive;
  } cases[] = {
      {{"--rule", "B36/S23"}, 0x48, 0xC},
      {{"--rule=b36/s23"}, 0x48, 0xC},
      {{"-rule", "23/36"}, 0x48, 0xC},
      {{"--rule", "HighLife"}, 0x48, 0xC},
      {{"--rule", "Day & Night"}, 0x1C8, 0x1D8},
      {{"--rule", " seeds "}, 0x4, 0x0},
      {{"--rule", "B3/S23:T100,80"}, 0x8, 0xC},
      {{"--rule", "B2/S", "--rule", "B35/S236"}, 0x28, 0x4C},  // the last one wins
  };
  for (const auto& c : cases) {
    Parsed parsed = Parse(c.words);
    ASSERT_TRUE(parsed.ok) << c.words[1] << ": " << parsed.error;
    SaverSettings s = drawn;
    ApplyOverrides(parsed.options.overrides, &s);
    EXPECT_EQ(s.birth, c.birth) << c.words[1];
    EXPECT_EQ(s.survive, c.survive) << c.words[1];
    EXPECT_EQ(s.rules, RulesFixed) << c.words[1];
    EXPECT_EQ(s.flags, DefaultSettings.flags);
  }
  // Drawn or fixed, whichever comes last; the rule given stays stored.
  const SaverSettings ruleThenDrawn = Applied({"--rule", "Morley", "--random-rules"});
  EXPECT_EQ(ruleThenDrawn.rules, RulesDrawn);
  EXPECT_EQ(ruleThenDrawn.birth, 0x148u);
  EXPECT_EQ(Applied({"--random-rules", "--rule", "Morley"}).rules, RulesFixed);
  EXPECT_EQ(Applied({"--random-rules", "--no-random-rules"}).rules, RulesFixed);
  EXPECT_EQ(Applied({"--random-rules"}).birth, DefaultSettings.birth);
  SaverSettings s = drawn;
  Parsed off = Parse({"--no-random-rules"});
  ASSERT_TRUE(off.ok);
  ApplyOverrides(off.options.overrides, &s);
  EXPECT_EQ(s.rules, RulesFixed);
  EXPECT_EQ(s.birth, 0x1u);  // only the choice moved
}

// The line the rule's reader gives for a refused text.
std::string RefusalLine(const std::string& text) {
  CellRule rule;
  const RuleError error = ParseRule(text.data(), text.size(), &rule);
  if (error == RuleOk) return "";
  char line[256];
  FormatRuleRefusalReason(text.data(), text.size(), error, line, sizeof line);
  return line;
}

TEST(FrontEndOptions, ARefusedRuleNamesTheOptionTheTextAndTheReason) {
  // Refused in every family: B0, a count of nine, a slash too many, nothing.
  for (const char* rule : {"B0/S8", "B39/S23", "B3//S23", "", "B2/S/C0"}) {
    Parsed parsed = Parse({"--rule", rule});
    EXPECT_FALSE(parsed.ok) << rule;
    ASSERT_FALSE(RefusalLine(rule).empty()) << rule;
    EXPECT_EQ(parsed.error, std::string("--rule '") + rule + "': " + RefusalLine(rule)) << rule;
  }
  EXPECT_NE(Parse({"--rule", "B0/S8"}).error.find("B0 rules"), std::string::npos);
  EXPECT_EQ(Parse({"--rule"}).error, "--rule needs a value");
  EXPECT_EQ(Parse({"--random-rules=1"}).error, "--random-rules takes no value");
  EXPECT_EQ(Parse({"--no-rule"}).error, "unknown option '--no-rule'");
}

// Every family goes through the rule's reader: a rule it takes is stored as
// its canonical text, with birth and survive for a Life-like one; one it
// refuses is refused with its line.
TEST(FrontEndOptions, ARuleOfAnyFamilyIsKeptAsItsCanonicalText) {
  SaverSettings stored = DefaultSettings;
  stored.rules = RulesDrawn;
  std::strcpy(stored.rule, "B2/S/C3");
  const char* const families[] = {"B36/S23", "b2/s/c3", "/2/3", "B2-a/S12", "B2/S34H", "B13/S012V",
                                  "R2,C0,M1,S2..3,B3..3,NM", "Brian's Brain", "B3/S23:T100,80", "MAPARYXfhZofugWaH7oaIDogBZofuhogOiAaIDogIAAgAAWaH7oaIDogGiA6ICAAIAAaIDogIAAgACAAIAAAAAAAA"};
  for (const char* text : families) {
    Parsed parsed = Parse({"--rule", text});
    CellRule rule;
    if (ParseRule(text, std::strlen(text), &rule) != RuleOk) {
      EXPECT_FALSE(parsed.ok) << text;
      EXPECT_EQ(parsed.error, std::string("--rule '") + text + "': " + RefusalLine(text)) << text;
      continue;
    }
    ASSERT_TRUE(parsed.ok) << text << ": " << parsed.error;
    SaverSettings s = stored;
    ApplyOverrides(parsed.options.overrides, &s);
    char canonical[RuleTextSize];
    FormatRule(rule, canonical, sizeof canonical);
    EXPECT_STREQ(s.rule, canonical) << text;
    EXPECT_EQ(s.rules, RulesFixed) << text;
    LifeRule life;
    if (IsLifeLike(rule, &life)) {
      EXPECT_EQ(s.birth, life.birth) << text;
      EXPECT_EQ(s.survive, life.survive) << text;
    } else {
      // An older version finds the rule it ran before.
      EXPECT_EQ(s.birth, stored.birth) << text;
      EXPECT_EQ(s.survive, stored.survive) << text;
    }
  }
  // Life-like texts, whatever the reader: the canonical text and the masks.
  const SaverSettings highLife = Applied({"--rule", "highlife"});
  EXPECT_STREQ(highLife.rule, "B36/S23");
  EXPECT_EQ(highLife.birth, 0x48u);
  EXPECT_STREQ(Applied({"--rule", "23/3"}).rule, "B3/S23");
  // The last one given wins.
  EXPECT_STREQ(Applied({"--rule", "B36/S23", "--rule", "B2/S"}).rule, "B2/S");
  // A text longer than the member is cut to it, terminated, never past it.
  SettingOverrides overrides = {{}, {{static_cast<int32_t>(offsetof(SaverSettings, rule)), std::string(500, 'x')}},
                                0, 0, false, 0};
  SaverSettings cut = DefaultSettings;
  ApplyOverrides(overrides, &cut);
  EXPECT_EQ(std::string(cut.rule), std::string(SettingRuleTextSize - 1, 'x'));
  EXPECT_EQ(cut.plane, DefaultSettings.plane);
}

TEST(FrontEndOptions, ThePlanesOptions) {
  const SaverSettings defaults = Applied({});
  EXPECT_EQ(defaults.plane, 1);
  EXPECT_EQ(defaults.step, 0);
  EXPECT_EQ(defaults.hyper, 0);
  EXPECT_EQ(defaults.memory, 256);
  EXPECT_EQ(defaults.longest, 300);
  const SaverSettings s = Applied({"--no-plane", "--step", "30", "--hyperspeed", "--memory", "32", "--longest=86400"});
  EXPECT_EQ(s.plane, 0);
  EXPECT_EQ(s.step, 30);
  EXPECT_EQ(s.hyper, 1);
  EXPECT_EQ(s.memory, 32);
  EXPECT_EQ(s.longest, 86400);
  EXPECT_EQ(Applied({"--no-plane", "--plane"}).plane, 1);
  EXPECT_EQ(Applied({"--hyperspeed", "--no-hyperspeed"}).hyper, 0);
  const struct {
    std::vector<const char*> words;
    const char* error;
  } cases[] = {
      {{"--step", "31"}, "--step takes a number from 0 to 30"},
      {{"--memory", "31"}, "--memory takes a number from 32 to 1024"},
      {{"--memory", "2048"}, "--memory takes a number from 32 to 1024"},
      {{"--longest", "9"}, "--longest takes a number from 10 to 86400"},
      {{"--plane=0"}, "--plane takes no value"},
      {{"--no-step"}, "unknown option '--no-step'"},
      {{"--hyper"}, "unknown option '--hyper'"},
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c.words).error, c.error) << c.words[0];
}

TEST(FrontEndOptions, BadValuesNameTheOptionAndItsRange) {
  struct Case {
    std::vector<const char*> words;
    const char* error;
  };
  const Case cases[] = {
      {{"--cscale", "9"}, "--cscale takes a number from 0 to 8"},
      {{"--ascale", "-1"}, "--ascale takes a number from 0 to 3"},
      {{"--fade", "256"}, "--fade takes a number from 0 to 255"},
      {{"--age=1"}, "--age takes no value"},
      {{"--delay", "fast"}, "--delay takes a number from 0 to 100000"},
      {{"--delay", ""}, "--delay takes a number from 0 to 100000"},
      {{"--delay", "15ms"}, "--delay takes a number from 0 to 100000"},
      {{"--seed", "4294967296"}, "--seed takes a number from -2147483648 to 2147483647"},
      {{"--face", "-2"}, "--face takes a number from 0 to 100000"},
      {{"--mode", "Classic"}, "--mode takes animated or classic"},
      {{"--delay"}, "--delay needs a value"},
      {{"--digital=1"}, "--digital takes no value"},
      {{"--sparkle"}, "unknown option '--sparkle'"},
      {{"--no-delay"}, "unknown option '--no-delay'"},
      {{"classic"}, "unexpected argument 'classic'"},
      {{"--catalogue="}, "--catalogue takes a folder"},
      {{"--window-id", "0"}, "--window-id takes a window number, decimal or 0x hexadecimal"},
      {{"--window-id", "0x"}, "--window-id takes a window number, decimal or 0x hexadecimal"},
      {{"--root", "--fullscreen"}, "choose one of --root, --window-id and --fullscreen"},
      {{"--window-id", "12", "--root"}, "choose one of --root, --window-id and --fullscreen"},
  };
  for (const Case& c : cases) {
    Parsed parsed = Parse(c.words);
    EXPECT_FALSE(parsed.ok) << c.words[0];
    EXPECT_EQ(parsed.error, c.error) << c.words[0];
  }
}

TEST(FrontEndOptions, TargetsInEitherSpelling) {
  EXPECT_EQ(Parse({"--root"}).options.target, TargetRoot);
  EXPECT_EQ(Parse({"-root"}).options.target, TargetRoot);
  EXPECT_EQ(Parse({"--root", "--root"}).options.target, TargetRoot);
  EXPECT_EQ(Parse({"--fullscreen"}).options.target, TargetFullScreen);
  Parsed window = Parse({"-window-id", "0x2a00007"});
  ASSERT_TRUE(window.ok);
  EXPECT_EQ(window.options.target, TargetWindowId);
  EXPECT_EQ(window.options.windowId, 0x2a00007u);
  EXPECT_EQ(Parse({"--window-id=4194311"}).options.windowId, 4194311u);
  EXPECT_TRUE(Parse({"-h"}).options.help);
  EXPECT_EQ(Parse({"--catalogue", "/opt/faces"}).options.catalogue, "/opt/faces");
}

TEST(FrontEndOptions, AnotherProgramsOwnOptionsComeBackInOrderBesideTheTables) {
  const ProgramOption own[] = {{"size", true}, {"list", false}};
  auto parse = [&own](std::vector<const char*> words, FrontEndOptions* options, std::vector<ProgramArgument>* given,
                      std::string* error) {
    words.insert(words.begin(), "tumbra_frames");
    return ParseFrontEndOptions(static_cast<int>(words.size()), words.data(), own, 2, options, given, error);
  };
  FrontEndOptions options;
  std::vector<ProgramArgument> given;
  std::string error;
  ASSERT_TRUE(parse({"--size", "64x48", "--reset", "0", "-list", "--no-cycle-at-reset", "-size=8x8", "--catalogue",
                     "--size"},
                    &options, &given, &error))
      << error;
  ASSERT_EQ(given.size(), 3u);
  EXPECT_EQ(given[0].option, 0);
  EXPECT_EQ(given[0].value, "64x48");
  EXPECT_EQ(given[1].option, 1);
  EXPECT_EQ(given[1].value, "");
  EXPECT_EQ(given[2].value, "8x8");
  // A table option's value is its own, even when it reads like an option.
  EXPECT_EQ(options.catalogue, "--size");
  ASSERT_EQ(options.overrides.numbers.size(), 1u);
  EXPECT_EQ(options.overrides.numbers[0].value, 0);
  EXPECT_EQ(options.overrides.flagsOff, static_cast<uint32_t>(FlagCycleAtReset));

  const struct {
    std::vector<const char*> words;
    const char* error;
  } cases[] = {
      {{"--list", "--size"}, "--size needs a value"},
      {{"--list=yes"}, "--list takes no value"},
      {{"--delay", "100001", "--list"}, "--delay takes a number from 0 to 100000"},
      {{"--no-list"}, "unknown option '--no-list'"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(parse(c.words, &options, &given, &error)) << c.words[0];
    EXPECT_EQ(error, c.error) << c.words[0];
  }
  // Without them, the tumbra program does not know them.
  EXPECT_EQ(Parse({"--list"}).error, "unknown option '--list'");
}

TEST(FrontEndOptions, WindowNumbersAreXResourceIds) {
  uint64_t id = 0;
  EXPECT_TRUE(ParseWindowId("0x1FFFFFFF", &id));
  EXPECT_EQ(id, 0x1FFFFFFFu);
  EXPECT_TRUE(ParseWindowId("0X10", &id));
  EXPECT_EQ(id, 16u);
  EXPECT_FALSE(ParseWindowId("0x20000000", &id));  // more than an id's 29 bits
  EXPECT_FALSE(ParseWindowId("-5", &id));
  EXPECT_FALSE(ParseWindowId(" 5", &id));
  EXPECT_FALSE(ParseWindowId("5 ", &id));
  EXPECT_FALSE(ParseWindowId("", &id));
  EXPECT_FALSE(ParseWindowId(nullptr, &id));
}

TEST(FrontEndOptions, StartAndThePatternCollection) {
  EXPECT_EQ(Applied({}).start, StartSoup);
  EXPECT_EQ(Applied({"--start", "patterns"}).start, StartPatterns);
  EXPECT_EQ(Applied({"--start=alternate"}).start, StartAlternate);
  EXPECT_EQ(Applied({"--start", "alternate", "--start", "soup"}).start, StartSoup);
  // A collection given is shown, unless --start says otherwise, before or after.
  Parsed parsed = Parse({"--patterns", "mine", "--pattern", "a.rle", "--patterns", "/b"});
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ(parsed.options.patternFolders, (std::vector<std::string>{"mine", "/b"}));
  EXPECT_EQ(parsed.options.patternFiles, (std::vector<std::string>{"a.rle"}));
  EXPECT_EQ(Applied({"--pattern", "a.rle"}).start, StartPatterns);
  EXPECT_EQ(Applied({"--start", "alternate", "--pattern", "a.rle"}).start, StartAlternate);
  EXPECT_EQ(Applied({"--pattern", "a.rle", "--start", "soup"}).start, StartSoup);
  for (auto words : std::vector<std::vector<const char*>>{{"--start", "Patterns"}, {"--start", "1"}, {"--start"}}) {
    parsed = Parse(words);
    EXPECT_FALSE(parsed.ok);
    EXPECT_NE(parsed.error.find("--start"), std::string::npos) << parsed.error;
  }
  parsed = Parse({"--pattern="});
  EXPECT_FALSE(parsed.ok);
  EXPECT_EQ(parsed.error, "--pattern takes a file");
}

// ---- The usage and the manual page from the tables -------------------------------------

// The manual page's option entries: each option a tag names, with the text
// of its entry (dashes as plain "-"), and the synopsis.
struct ManualPage {
  std::map<std::string, std::string> entries;
  std::string synopsis;
};

ManualPage ReadManualPage() {
  std::ifstream in(std::string(TEST_DATA_DIR) + "/../../data/xscreensaver/tumbra.6");
  ManualPage page;
  std::string section, line;
  std::vector<std::string> tagged;  // the options of the entry being read
  bool tagNext = false;
  const std::regex option(R"(--([a-z][a-z-]*[a-z]))");
  while (std::getline(in, line)) {
    line = std::regex_replace(line, std::regex(R"(\\-)"), "-");
    if (line.rfind(".SH ", 0) == 0) {
      section = line.substr(4);
      tagged.clear();
      continue;
    }
    if (section == "SYNOPSIS") page.synopsis += line + "\n";
    if (section != "OPTIONS") continue;
    if (line == ".TP") {
      tagNext = true;
      tagged.clear();
      continue;
    }
    if (line.rfind(".PP", 0) == 0) tagged.clear();
    if (tagNext) {
      tagNext = false;
      for (std::sregex_iterator m(line.begin(), line.end(), option), end; m != end; ++m) {
        tagged.push_back((*m)[1]);
        page.entries[(*m)[1]];
      }
      continue;
    }
    for (const std::string& name : tagged) page.entries[name] += line + "\n";
  }
  return page;
}

TEST(FrontEndUsage, TheManualPageDescribesEveryOptionOfTheTablesWithItsRange) {
  const ManualPage page = ReadManualPage();
  ASSERT_FALSE(page.entries.empty());
  std::set<std::string> listed;
  for (const OptionSummary& option : FrontEndOptionList()) {
    listed.insert(option.name);
    ASSERT_EQ(page.entries.count(option.name), 1u) << "no entry for --" << option.name;
    const std::string synopsis = std::string("--") + (option.negatable ? "[no-]" : "") + option.name;
    EXPECT_NE(page.synopsis.find(synopsis), std::string::npos) << synopsis;
    if (option.ranged) {
      const std::string range = std::to_string(option.low) + ".." + std::to_string(option.high);
      EXPECT_NE(page.entries.at(option.name).find(range), std::string::npos)
          << "--" << option.name << " is not described with " << range;
    }
  }
  for (const auto& [name, text] : page.entries) EXPECT_EQ(listed.count(name), 1u) << "--" << name << " is no option";
}

TEST(FrontEndUsage, TheUsageShowsEveryOptionWithTheRangeItsRowTakes) {
  const std::string usage = FrontEndUsage();
  EXPECT_EQ(usage.find(SettingOptionsUsage()), usage.find("  --seed"));
  for (const OptionSummary& option : FrontEndOptionList()) {
    const std::string shown = "  --" + option.name + (option.value.empty() ? "" : " " + option.value);
    const size_t at = usage.find(shown + " ");
    ASSERT_NE(at == std::string::npos ? usage.find(shown + "\n") : at, std::string::npos) << shown;
    if (option.ranged) {
      const std::string range = "(" + std::to_string(option.low) + ".." + std::to_string(option.high) + ")";
      const size_t next = usage.find("\n  --", at + 1);
      EXPECT_NE(usage.substr(at, next - at).find(range), std::string::npos) << shown << " lacks " << range;
    }
  }
  std::istringstream lines(usage);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 79u) << line;
}

// A number option takes exactly the values its settings row takes, and the
// dialog offers no value outside them.
TEST(FrontEndUsage, ANumberOptionTakesTheRangeOfItsRow) {
  int numbers = 0;
  for (const SettingDef& row : SettingsTable) {
    if (row.optionKind != OptionNumber) continue;
    ++numbers;
    const std::string name = std::string("--") + row.option;
    EXPECT_LE(row.low, OfferedLow(row)) << name;
    EXPECT_GE(row.high, OfferedHigh(row)) << name;
    EXPECT_TRUE(row.low <= row.initial && row.initial <= row.high) << name;
    for (int64_t value : {int64_t{row.low}, int64_t{row.high}}) {
      const std::string text = std::to_string(value);
      Parsed parsed = Parse({name.c_str(), text.c_str()});
      ASSERT_TRUE(parsed.ok) << name << " " << value << ": " << parsed.error;
      ASSERT_EQ(parsed.options.overrides.numbers.size(), 1u);
      EXPECT_EQ(parsed.options.overrides.numbers[0].offset, row.offset);
      EXPECT_EQ(parsed.options.overrides.numbers[0].value, value);
    }
    for (int64_t value : {int64_t{row.low} - 1, int64_t{row.high} + 1}) {
      const std::string text = std::to_string(value);
      EXPECT_EQ(Parse({name.c_str(), text.c_str()}).error, Range(name, row.low, row.high));
    }
  }
  EXPECT_EQ(numbers, 9);
  // The engine keeps the scales to the ranges the options take.
  EXPECT_EQ(SettingsTable[SettingRowOf("cscale")].high, MaxClassicScale);
  EXPECT_EQ(SettingsTable[SettingRowOf("ascale")].high, MaxAnimatedScale);
}

TEST(PatternFolders, TheUsersAndTheInstalledFoldersThenGollys) {
  EXPECT_EQ(PatternFolders(nullptr, "/home/a", "/usr/share", "/usr/share/tumbra"),
            (std::vector<std::string>{"/home/a/.local/share/tumbra/patterns", "/usr/share/tumbra/patterns",
                                      "/usr/share/golly/Patterns/Life", "/usr/share/golly/Patterns/Life-Like",
                                      "/usr/share/golly/Patterns/Generations",
                                      "/usr/share/golly/Patterns/Non-Totalistic",
                                      "/usr/share/golly/Patterns/Larger-than-Life",
                                      "/usr/share/golly/Patterns/HashLife"}));
}

TEST(CatalogueFolders, UserFolderThenSystemFoldersThenTheInstalledOne) {
  EXPECT_EQ(CatalogueFolders("/home/a/.data", "/home/a", "/opt/share:/usr/share/", "/usr/lib/../share/tumbra"),
            (std::vector<std::string>{"/home/a/.data/tumbra", "/opt/share/tumbra", "/usr/share/tumbra",
                                      "/usr/lib/../share/tumbra"}));
}

TEST(CatalogueFolders, TheXdgDefaultsStandInForUnsetVariables) {
  EXPECT_EQ(CatalogueFolders(nullptr, "/home/a", nullptr, "/usr/share/tumbra"),
            (std::vector<std::string>{"/home/a/.local/share/tumbra", "/usr/local/share/tumbra", "/usr/share/tumbra"}));
  EXPECT_EQ(CatalogueFolders("", "/home/a", "", nullptr),
            (std::vector<std::string>{"/home/a/.local/share/tumbra", "/usr/local/share/tumbra", "/usr/share/tumbra"}));
}

TEST(CatalogueFolders, RelativeAndEmptyEntriesAreIgnored) {
  EXPECT_EQ(CatalogueFolders("data", "relative/home", "share::/:/usr/share//", ""),
            (std::vector<std::string>{"/tumbra", "/usr/share/tumbra"}));
}

}  // namespace
