// The X11 front end's command line: one table row per option, so every
// option is parsed, checked and documented the same way.
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "engine/engine.h"
#include "loop/loop.h"
#include "host/options.h"
#include "pattern/pattern.h"

// The options that change the picture, shared with tumbra_frames' usage.
#define SETTING_OPTIONS_USAGE \
    "  --mode M            animated or classic\n" \
    "  --face N            show lifeface N (from 0) at every reset\n" \
    "  --ascale N          lifeface tile scale 0..3: tiles are drawn 1 << N times larger\n" \
    "  --cscale N          classic cell size 0..8: cells are 1 << N pixels\n" \
    "  --fade N            classic trails: a dead cell fades out over N generations,\n" \
    "                      0..255 (0: it goes at once)\n" \
    "  --delay MS          milliseconds per frame, 0 for as fast as it goes\n" \
    "  --reset MS          a settled field is replaced after this many milliseconds\n" \
    "  --seed N            generator seed; 0 takes the clock's\n" \
    "  --rule RULE         the Life-like rule of every field: B3/S23 notation\n" \
    "                      (B36/S23, 23/36) or a name (HighLife, \"Day & Night\");\n" \
    "                      B0 rules and other families are refused\n" \
    "  --random-rules      draw a lively named rule for each new field\n" \
    "  --start S           what a new field starts from: soup (a random field),\n" \
    "                      patterns (one of the collection) or alternate\n" \
    "  --patterns DIR      the pattern files of DIR and its folders are the\n" \
    "                      collection (may be given again; implies --start patterns)\n" \
    "  --pattern FILE      the collection is this file (may be given again)\n" \
    "  --random-face       choose a random lifeface at start and at every reset\n" \
    "  --digital           classic cells of 4 pixels and more show a dead gap line\n" \
    "  --cycle-at-reset    the neighbour-count colours move on at every new field\n" \
    "  --age               classic live cells coloured by their age, not by their\n" \
    "                      neighbours: newborn in the first colour, the ninth from\n" \
    "                      eight generations on\n" \
    "  --show-name         print the lifeface's name (Animated Mode) or the pattern's\n" \
    "  --show-generation   print the generation number\n" \
    "  --show-population   print the population\n" \
    "  --show-fps          print the frame rate against its target\n" \
    "                      each option from --random-rules on turns off with\n" \
    "                      --no-... before its name, as --no-digital\n"

const char FrontEndUsage[] =
    "usage: tumbra [options]\n"
    "Conway's Game of Life: an xscreensaver hack and a desktop window.\n"
    "\n"
    "Where to draw (one of them; without any, a resizable window of its own):\n"
    "  --root              into $XSCREENSAVER_WINDOW when it is set, else the root window\n"
    "  --window-id ID      into the window ID (decimal or 0x hexadecimal)\n"
    "  --fullscreen        a window over the whole screen; a key, a button or a\n"
    "                      mouse movement ends it\n"
    "\n"
    "Settings for this run (the rest come from $XDG_CONFIG_HOME/tumbra/settings):\n"
    SETTING_OPTIONS_USAGE
    "\n"
    "  --catalogue DIR     the folder holding tumbra.ini and its lifeface bitmaps\n"
    "                      (default: tumbra/ in $XDG_DATA_HOME, $XDG_DATA_DIRS, then\n"
    "                      the installed data folder)\n"
    "  --help              this text\n";

const char SettingOptionsUsage[] = SETTING_OPTIONS_USAGE;

#undef SETTING_OPTIONS_USAGE

namespace {

enum OptionKind {
  OptionNumber,     // a settings member with a range
  OptionMode,       // animated or classic
  OptionFace,       // a lifeface number
  OptionFlag,       // a flags bit, on; with "no-" before the name, off
  OptionSwitch,     // a member set to high; with "no-" before the name, to low
  OptionRule,       // a Life-like rule: birth and survive, and the rule kept
  OptionTarget,     // where to draw, no value
  OptionWindow,     // --window-id ID
  OptionCatalogue,  // a folder
  OptionStart,      // soup, patterns or alternate
  OptionPatterns,   // a folder of pattern files
  OptionPattern,    // one pattern file
  OptionHelp,
};

struct OptionRow {
  const char* name;
  OptionKind kind;
  int32_t offset;  // numbers: the member; flags: the bit; targets: the target
  int64_t low;
  int64_t high;
};

#define MEMBER(name) static_cast<int32_t>(offsetof(SaverSettings, name))

const OptionRow OptionTable[] = {
    {"root", OptionTarget, TargetRoot, 0, 0},
    {"window-id", OptionWindow, TargetWindowId, 0, 0},
    {"fullscreen", OptionTarget, TargetFullScreen, 0, 0},
    {"mode", OptionMode, MEMBER(mode), 0, 0},
    {"face", OptionFace, MEMBER(face), 0, 100000},
    {"ascale", OptionNumber, MEMBER(ascale), 0, MaxAnimatedScale},
    {"cscale", OptionNumber, MEMBER(cscale), 0, MaxClassicScale},
    {"fade", OptionNumber, MEMBER(fade), 0, 255},
    {"delay", OptionNumber, MEMBER(delay), 0, 100000},
    {"reset", OptionNumber, MEMBER(reset), 0, 86400000},
    {"seed", OptionNumber, MEMBER(seed), INT32_MIN, INT32_MAX},
    {"rule", OptionRule, 0, 0, 0},
    {"random-rules", OptionSwitch, MEMBER(rules), RulesFixed, RulesDrawn},
    {"start", OptionStart, MEMBER(start), 0, 0},
    {"patterns", OptionPatterns, 0, 0, 0},
    {"pattern", OptionPattern, 0, 0, 0},
    {"random-face", OptionFlag, static_cast<int32_t>(FlagRandomLifeface), 0, 0},
    {"digital", OptionFlag, static_cast<int32_t>(FlagDigitalEffect), 0, 0},
    {"cycle-at-reset", OptionFlag, static_cast<int32_t>(FlagCycleAtReset), 0, 0},
    {"age", OptionSwitch, MEMBER(age), 0, 1},
    {"show-name", OptionFlag, static_cast<int32_t>(FlagPrintInfo), 0, 0},
    {"show-generation", OptionFlag, static_cast<int32_t>(FlagPrintGeneration), 0, 0},
    {"show-population", OptionFlag, static_cast<int32_t>(FlagPrintPopulation), 0, 0},
    {"show-fps", OptionFlag, static_cast<int32_t>(FlagPrintFps), 0, 0},
    {"catalogue", OptionCatalogue, 0, 0, 0},
    {"help", OptionHelp, 0, 0, 0},
};

bool TakesValue(OptionKind kind) {
  return kind == OptionNumber || kind == OptionMode || kind == OptionFace || kind == OptionWindow ||
         kind == OptionCatalogue || kind == OptionRule || kind == OptionStart || kind == OptionPatterns ||
         kind == OptionPattern;
}

bool ReadNumber(const char* text, int64_t low, int64_t high, int64_t* value) {
  if (*text == 0) return false;
  char* end = nullptr;
  errno = 0;
  const long long read = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != 0 || read < low || read > high) return false;
  *value = read;
  return true;
}

// "--name", "-name", "--name=value"; flags also as "--no-name".
const OptionRow* FindOption(const std::string& word, bool* negated) {
  *negated = false;
  for (const OptionRow& row : OptionTable)
    if (word == row.name) return &row;
  if (word.compare(0, 3, "no-") == 0)
    for (const OptionRow& row : OptionTable)
      if ((row.kind == OptionFlag || row.kind == OptionSwitch) && word.compare(3, std::string::npos, row.name) == 0) {
        *negated = true;
        return &row;
      }
  return nullptr;
}

bool Fail(std::string* error, const std::string& message) {
  *error = message;
  return false;
}

std::string Range(const OptionRow& row) {
  return "--" + std::string(row.name) + " takes a number from " + std::to_string(row.low) + " to " +
         std::to_string(row.high);
}

}  // namespace

// Decimal or 0x hexadecimal, as X prints window numbers: a leading zero is
// no octal prefix, so 010 is ten.
bool ParseWindowId(const char* text, uint64_t* id) {
  if (text == nullptr) return false;
  const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const uint64_t base = hex ? 16 : 10;
  const char* digit = hex ? text + 2 : text;
  if (*digit == 0) return false;
  uint64_t read = 0;
  for (; *digit != 0; ++digit) {
    const char c = *digit;
    uint64_t value = base;
    if (c >= '0' && c <= '9') value = static_cast<uint64_t>(c - '0');
    if (c >= 'a' && c <= 'f') value = static_cast<uint64_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') value = static_cast<uint64_t>(c - 'A' + 10);
    if (value >= base) return false;
    read = read * base + value;
    // X resource ids have 29 bits.
    if (read > 0x1FFFFFFFu) return false;
  }
  if (read == 0) return false;
  *id = read;
  return true;
}

bool ParseFrontEndOptions(int argc, const char* const* argv, FrontEndOptions* options, std::string* error) {
  return ParseFrontEndOptions(argc, argv, nullptr, 0, options, nullptr, error);
}

bool ParseFrontEndOptions(int argc, const char* const* argv, const ProgramOption* own, int ownCount,
                          FrontEndOptions* options, std::vector<ProgramArgument>* given, std::string* error) {
  *options = FrontEndOptions{};
  if (given != nullptr) given->clear();
  bool targetGiven = false;
  bool startGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.size() < 2 || argument[0] != '-') return Fail(error, "unexpected argument '" + argument + "'");
    std::string word = argument.substr(argument[1] == '-' ? 2 : 1);
    std::string value;
    bool valueInline = false;
    const size_t equals = word.find('=');
    if (equals != std::string::npos) {
      value = word.substr(equals + 1);
      word.erase(equals);
      valueInline = true;
    }
    if (word == "h") word = "help";
    const ProgramOption* ownRow = nullptr;
    for (int k = 0; k < ownCount && given != nullptr; ++k)
      if (word == own[k].name) ownRow = &own[k];
    if (ownRow != nullptr) {
      const std::string shown = "--" + word;
      if (ownRow->takesValue && !valueInline) {
        if (i + 1 >= argc) return Fail(error, shown + " needs a value");
        value = argv[++i];
      } else if (!ownRow->takesValue && valueInline) {
        return Fail(error, shown + " takes no value");
      }
      given->push_back({static_cast<int>(ownRow - own), value});
      continue;
    }
    bool negated = false;
    const OptionRow* row = FindOption(word, &negated);
    if (row == nullptr) return Fail(error, "unknown option '" + argument + "'");
    const std::string shown = "--" + std::string(row->name);
    if (TakesValue(row->kind)) {
      if (!valueInline) {
        if (i + 1 >= argc) return Fail(error, shown + " needs a value");
        value = argv[++i];
      }
    } else if (valueInline) {
      return Fail(error, shown + " takes no value");
    }
    int64_t number = 0;
    switch (row->kind) {
      case OptionNumber:
        if (!ReadNumber(value.c_str(), row->low, row->high, &number)) return Fail(error, Range(*row));
        options->overrides.numbers.push_back({row->offset, static_cast<int32_t>(number)});
        break;
      case OptionFace:
        if (!ReadNumber(value.c_str(), row->low, row->high, &number)) return Fail(error, Range(*row));
        options->overrides.faceGiven = true;
        options->overrides.face = static_cast<int32_t>(number);
        break;
      case OptionMode:
        if (value == "animated")
          number = ModeAnimated;
        else if (value == "classic")
          number = ModeClassic;
        else
          return Fail(error, "--mode takes animated or classic");
        options->overrides.numbers.push_back({row->offset, static_cast<int32_t>(number)});
        break;
      case OptionFlag: {
        const uint32_t bit = static_cast<uint32_t>(row->offset);
        if (negated) {
          options->overrides.flagsOff |= bit;
          options->overrides.flagsOn &= ~bit;
        } else {
          options->overrides.flagsOn |= bit;
          options->overrides.flagsOff &= ~bit;
        }
        break;
      }
      case OptionSwitch:
        options->overrides.numbers.push_back({row->offset, static_cast<int32_t>(negated ? row->low : row->high)});
        break;
      case OptionRule: {
        LifeRule rule = ConwayRule;
        const RuleError refused = ParseLifeRule(value.data(), value.size(), &rule);
        if (refused != RuleOk) return Fail(error, "--rule '" + value + "': " + RuleErrorText(refused));
        // A rule given is the rule of every field, not one drawn.
        options->overrides.numbers.push_back({MEMBER(birth), rule.birth});
        options->overrides.numbers.push_back({MEMBER(survive), rule.survive});
        options->overrides.numbers.push_back({MEMBER(rules), RulesFixed});
        break;
      }
      case OptionTarget:
      case OptionWindow:
        if (targetGiven && options->target != static_cast<FrontEndTarget>(row->offset))
          return Fail(error, "choose one of --root, --window-id and --fullscreen");
        targetGiven = true;
        options->target = static_cast<FrontEndTarget>(row->offset);
        if (row->kind == OptionWindow && !ParseWindowId(value.c_str(), &options->windowId))
          return Fail(error, "--window-id takes a window number, decimal or 0x hexadecimal");
        break;
      case OptionCatalogue:
        if (value.empty()) return Fail(error, "--catalogue takes a folder");
        options->catalogue = value;
        break;
      case OptionStart: {
        static const char* const Starts[] = {"soup", "patterns", "alternate"};  // by value of `start`
        number = -1;
        for (int k = 0; k < static_cast<int>(std::size(Starts)); ++k)
          if (value == Starts[k]) number = k;
        if (number < 0) return Fail(error, "--start takes soup, patterns or alternate");
        startGiven = true;
        options->overrides.numbers.push_back({row->offset, static_cast<int32_t>(number)});
        break;
      }
      case OptionPatterns:
      case OptionPattern:
        if (value.empty()) return Fail(error, shown + (row->kind == OptionPattern ? " takes a file" : " takes a folder"));
        (row->kind == OptionPattern ? options->patternFiles : options->patternFolders).push_back(value);
        break;
      case OptionHelp:
        options->help = true;
        break;
    }
  }
  // A collection given is there to be shown, unless --start says otherwise.
  if (!startGiven && (!options->patternFiles.empty() || !options->patternFolders.empty()))
    options->overrides.numbers.push_back({MEMBER(start), StartPatterns});
  return true;
}

#undef MEMBER

void ApplyOverrides(const SettingOverrides& overrides, SaverSettings* settings) {
  for (const NumberOverride& number : overrides.numbers)
    std::memcpy(reinterpret_cast<char*>(settings) + number.offset, &number.value, sizeof number.value);
  settings->flags = (settings->flags | overrides.flagsOn) & ~overrides.flagsOff;
  if (overrides.faceGiven) {
    settings->face = overrides.face;
    settings->flags &= ~FlagRandomLifeface;
  }
}

std::vector<std::string> CatalogueFolders(const char* dataHome, const char* home, const char* dataDirs,
                                          const char* installed) {
  std::vector<std::string> folders;
  auto add = [&folders](const std::string& folder) {
    if (folder.empty() || folder[0] != '/') return;
    for (const std::string& known : folders)
      if (known == folder) return;
    folders.push_back(folder);
  };
  if (dataHome != nullptr && dataHome[0] == '/')
    add(std::string(dataHome) + "/tumbra");
  else if (home != nullptr && home[0] == '/')
    add(std::string(home) + "/.local/share/tumbra");
  const std::string dirs = dataDirs != nullptr && dataDirs[0] != 0 ? dataDirs : "/usr/local/share:/usr/share";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t colon = dirs.find(':', start);
    if (colon == std::string::npos) colon = dirs.size();
    std::string dir = dirs.substr(start, colon - start);
    if (!dir.empty() && dir[0] == '/') {
      while (!dir.empty() && dir.back() == '/') dir.pop_back();
      add(dir + "/tumbra");
    }
    start = colon + 1;
  }
  if (installed != nullptr) add(installed);
  return folders;
}

// Golly's own collection, as Debian's golly package installs it.
static const char* const GollyPatternFolders[] = {"/usr/share/golly/Patterns/Life",
                                                  "/usr/share/golly/Patterns/Life-Like"};

std::vector<std::string> PatternFolders(const char* dataHome, const char* home, const char* dataDirs,
                                        const char* installed) {
  std::vector<std::string> folders;
  for (const std::string& folder : CatalogueFolders(dataHome, home, dataDirs, installed))
    folders.push_back(folder + "/patterns");
  for (const char* golly : GollyPatternFolders) folders.push_back(golly);
  return folders;
}

void IndexPatterns(const FrontEndOptions& options, const std::vector<std::string>& folders) {
  ClearPatternCollection();
  const bool given = !options.patternFolders.empty() || !options.patternFiles.empty();
  for (const std::string& folder : given ? options.patternFolders : folders) AddPatternFolder(folder.c_str());
  for (const std::string& file : options.patternFiles) AddPatternFile(file.c_str());
}

std::string PatternFileRefusal(const FrontEndOptions& options) {
  for (const std::string& file : options.patternFiles) {
    PatternCells pattern;
    if (!ReadPatternFile(file.c_str(), &pattern)) return "--pattern " + file + ": not a pattern tumbra can run";
  }
  return std::string();
}
