// The X11 front end's command line: the options of the settings table's
// rows, of the flags bits and the front end's own, so every option is
// parsed, checked and documented the same way, its range written from its row.
#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "engine/engine.h"
#include "loop/loop.h"
#include "host/options.h"
#include "pattern/pattern.h"
#include "platform/names.h"

namespace {

enum FrontKind {
  FrontTarget,     // where to draw, no value
  FrontWindow,     // --window-id ID
  FrontFace,       // a lifeface number, kept at every reset
  FrontPatterns,   // a folder of pattern files
  FrontPattern,    // one pattern file
  FrontCatalogue,  // a folder
  FrontHelp,
};

// Where an option of the front end's own is listed in the usage.
enum FrontSection { SectionTarget, SectionSetting, SectionProgram };

struct FrontOption {
  const char* name;
  FrontKind kind;
  FrontSection section;
  int32_t target;      // targets: the target
  const char* value;   // the value's word in the usage; null for none
  int64_t low;         // FrontFace: the numbers taken
  int64_t high;
  const char* help;
};

const FrontOption FrontOptions[] = {
    {"root", FrontTarget, SectionTarget, TargetRoot, nullptr, 0, 0,
     "into $XSCREENSAVER_WINDOW when it is set, else the root window"},
    {"window-id", FrontWindow, SectionTarget, TargetWindowId, "ID", 0, 0,
     "into the window ID (decimal or 0x hexadecimal)"},
    {"fullscreen", FrontTarget, SectionTarget, TargetFullScreen, nullptr, 0, 0,
     "a window over the whole screen; a key, a button or a mouse movement ends it"},
    {"face", FrontFace, SectionSetting, 0, "N", 0, 100000, "show lifeface N (from 0) at every reset"},
    {"patterns", FrontPatterns, SectionSetting, 0, "DIR", 0, 0,
     "the pattern files of DIR and its folders are the collection (may be given again; implies --start "
     "patterns)"},
    {"pattern", FrontPattern, SectionSetting, 0, "FILE", 0, 0, "the collection is this file (may be given again)"},
    {"catalogue", FrontCatalogue, SectionProgram, 0, "DIR", 0, 0,
     "the folder holding tumbra.ini and its lifeface bitmaps (default: tumbra/ in $XDG_DATA_HOME, "
     "$XDG_DATA_DIRS, then the installed data folder)"},
    {"help", FrontHelp, SectionProgram, 0, nullptr, 0, 0, "this text"},
};

// One option found: a row of exactly one of the three tables.
struct OptionRef {
  const FrontOption* front;
  const SettingDef* setting;
  const FlagOption* flag;
};

bool TakesValue(const OptionRef& option) {
  if (option.front != nullptr)
    return option.front->kind != FrontTarget && option.front->kind != FrontHelp;
  return option.setting != nullptr && option.setting->optionKind != OptionSwitch;
}

bool Negatable(const OptionRef& option) {
  return option.flag != nullptr || (option.setting != nullptr && option.setting->optionKind == OptionSwitch);
}

// The choices of a choice row, in the order of their values.
std::vector<std::string> ChoiceWords(const SettingDef& row) {
  std::vector<std::string> words;
  std::string word;
  for (const char* c = row.words; *c != 0; ++c) {
    if (*c == '|') {
      words.push_back(word);
      word.clear();
    } else {
      word += *c;
    }
  }
  words.push_back(word);
  return words;
}

// "a, b or c".
std::string Alternatives(const std::vector<std::string>& words) {
  std::string text;
  for (size_t k = 0; k < words.size(); ++k) text += (k == 0 ? "" : k + 1 == words.size() ? " or " : ", ") + words[k];
  return text;
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

// "name", or with "no-" before the name of one that turns off.
bool FindOption(const std::string& word, OptionRef* found, bool* negated) {
  *found = OptionRef{nullptr, nullptr, nullptr};
  for (int pass = 0; pass < 2; ++pass) {
    *negated = pass == 1;
    if (pass == 1 && word.compare(0, 3, "no-") != 0) return false;
    const std::string name = pass == 0 ? word : word.substr(3);
    for (const FrontOption& row : FrontOptions)
      if (name == row.name) found->front = &row;
    for (const SettingDef& row : SettingsTable)
      if (row.option != nullptr && name == row.option) found->setting = &row;
    for (const FlagOption& row : FlagOptions)
      if (name == row.option) found->flag = &row;
    if (found->front != nullptr || found->setting != nullptr || found->flag != nullptr)
      return pass == 0 || Negatable(*found);
  }
  return false;
}

bool Fail(std::string* error, const std::string& message) {
  *error = message;
  return false;
}

std::string Range(const std::string& name, int64_t low, int64_t high) {
  return "--" + name + " takes a number from " + std::to_string(low) + " to " + std::to_string(high);
}

// ---- The usage -----------------------------------------------------------------------

const size_t UsageHelpColumn = 22;
const size_t UsageWidth = 79;

// "  --name VALUE" and the help beside it, wrapped at the usage's width.
void AddUsage(std::string* text, const std::string& option, const std::string& help) {
  std::string line = "  " + option;
  if (line.size() + 1 > UsageHelpColumn) {
    *text += line + "\n";
    line.clear();
  }
  line.resize(UsageHelpColumn, ' ');
  size_t at = 0;
  bool first = true;
  while (at < help.size()) {
    size_t end = help.find(' ', at);
    if (end == std::string::npos) end = help.size();
    const std::string word = help.substr(at, end - at);
    if (!first && line.size() + 1 + word.size() > UsageWidth) {
      *text += line + "\n";
      line.assign(UsageHelpColumn, ' ');
      first = true;
    }
    line += (first ? "" : " ") + word;
    first = false;
    at = end + 1;
  }
  *text += line + "\n";
}

std::string ShownOption(const OptionSummary& option) {
  std::string shown = "--" + option.name;
  if (!option.value.empty()) shown += " " + option.value;
  return shown;
}

// The help of an option with its range, from its row.
std::string HelpOf(const OptionRef& option) {
  if (option.front != nullptr && option.front->kind == FrontFace)
    return std::string(option.front->help) + " (" + std::to_string(option.front->low) + ".." +
           std::to_string(option.front->high) + ")";
  if (option.front != nullptr) return option.front->help;
  if (option.flag != nullptr) return option.flag->help;
  const SettingDef& row = *option.setting;
  if (row.optionKind == OptionNumber)
    return std::string(row.help) + " (" + std::to_string(row.low) + ".." + std::to_string(row.high) + ")";
  return row.help;
}

OptionSummary SummaryOf(const OptionRef& option) {
  OptionSummary summary = {"", Negatable(option), "", false, 0, 0};
  if (option.front != nullptr) {
    summary.name = option.front->name;
    summary.value = option.front->value != nullptr ? option.front->value : "";
    summary.ranged = option.front->kind == FrontFace;
    summary.low = option.front->low;
    summary.high = option.front->high;
  } else if (option.flag != nullptr) {
    summary.name = option.flag->option;
  } else {
    const SettingDef& row = *option.setting;
    summary.name = row.option;
    summary.value = row.words != nullptr ? row.words : "";
    summary.ranged = row.optionKind == OptionNumber;
    summary.low = row.low;
    summary.high = row.high;
  }
  return summary;
}

// Every option of a section in the usage's order: for the settings, the
// table's rows, the front end's own, then the flags bits.
std::vector<OptionRef> OptionsOf(FrontSection section) {
  std::vector<OptionRef> options;
  if (section == SectionSetting)
    for (const SettingDef& row : SettingsTable)
      if (row.option != nullptr) options.push_back({nullptr, &row, nullptr});
  for (const FrontOption& row : FrontOptions)
    if (row.section == section) options.push_back({&row, nullptr, nullptr});
  if (section == SectionSetting)
    for (const FlagOption& row : FlagOptions) options.push_back({nullptr, nullptr, &row});
  return options;
}

std::string SectionUsage(FrontSection section) {
  std::string text;
  for (const OptionRef& option : OptionsOf(section)) AddUsage(&text, ShownOption(SummaryOf(option)), HelpOf(option));
  return text;
}

}  // namespace

std::string SettingOptionsUsage() {
  std::string negatable;
  for (const OptionRef& option : OptionsOf(SectionSetting))
    if (Negatable(option)) negatable += (negatable.empty() ? "" : ", ") + ("--" + SummaryOf(option).name);
  std::string text = SectionUsage(SectionSetting);
  AddUsage(&text, "", "each of " + negatable + " turns off with --no- before its name, as --no-digital");
  return text;
}

std::string FrontEndUsage() {
  return "usage: tumbra [options]\n"
         "Conway's Game of Life: an xscreensaver hack and a desktop window.\n"
         "\n"
         "Where to draw (one of them; without any, a resizable window of its own):\n" +
         SectionUsage(SectionTarget) +
         "\n"
         "Settings for this run (the rest come from $XDG_CONFIG_HOME/tumbra/settings):\n" +
         SettingOptionsUsage() + "\n" + SectionUsage(SectionProgram);
}

std::vector<OptionSummary> FrontEndOptionList() {
  std::vector<OptionSummary> list;
  for (FrontSection section : {SectionTarget, SectionSetting, SectionProgram})
    for (const OptionRef& option : OptionsOf(section)) list.push_back(SummaryOf(option));
  return list;
}

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

#define MEMBER(name) static_cast<int32_t>(offsetof(SaverSettings, name))

// A rule given is the rule of every field, not one drawn; a Life-like one
// also goes into birth and survive, as the dialog stores it.
static bool TakeRule(const std::string& shown, const std::string& value, FrontEndOptions* options, std::string* error) {
  CellRule rule;
  const RuleError refused = ParseRule(value.data(), value.size(), &rule);
  if (refused != RuleOk) {
    char line[256];
    FormatRuleRefusalReason(value.data(), value.size(), refused, line, sizeof line);
    return Fail(error, shown + " '" + value + "': " + line);
  }
  char text[RuleTextSize];
  FormatRule(rule, text, sizeof text);
  options->overrides.texts.push_back({MEMBER(rule), text});
  LifeRule life;
  if (IsLifeLike(rule, &life)) {
    options->overrides.numbers.push_back({MEMBER(birth), life.birth});
    options->overrides.numbers.push_back({MEMBER(survive), life.survive});
  }
  options->overrides.numbers.push_back({MEMBER(rules), RulesFixed});
  return true;
}

static bool TakeSetting(const SettingDef& row, bool negated, const std::string& shown, const std::string& value,
                        bool* startGiven, FrontEndOptions* options, std::string* error) {
  int64_t number = 0;
  switch (row.optionKind) {
    case OptionNumber:
      if (!ReadNumber(value.c_str(), row.low, row.high, &number)) return Fail(error, Range(row.option, row.low, row.high));
      break;
    case OptionSwitch:
      number = negated ? row.low : row.high;
      break;
    case OptionChoice: {
      const std::vector<std::string> words = ChoiceWords(row);
      number = -1;
      for (size_t k = 0; k < words.size(); ++k)
        if (value == words[k]) number = row.low + static_cast<int64_t>(k);
      if (number < 0) return Fail(error, shown + " takes " + Alternatives(words));
      break;
    }
    case OptionRule:
      return TakeRule(shown, value, options, error);
    case OptionNone:
      return Fail(error, shown + " takes nothing");
  }
  if (row.offset == MEMBER(start)) *startGiven = true;
  options->overrides.numbers.push_back({row.offset, static_cast<int32_t>(number)});
  return true;
}

static bool TakeFrontOption(const FrontOption& row, const std::string& shown, const std::string& value,
                            bool* targetGiven, FrontEndOptions* options, std::string* error) {
  int64_t number = 0;
  switch (row.kind) {
    case FrontFace:
      if (!ReadNumber(value.c_str(), row.low, row.high, &number)) return Fail(error, Range(row.name, row.low, row.high));
      options->overrides.faceGiven = true;
      options->overrides.face = static_cast<int32_t>(number);
      break;
    case FrontTarget:
    case FrontWindow:
      if (*targetGiven && options->target != static_cast<FrontEndTarget>(row.target))
        return Fail(error, "choose one of --root, --window-id and --fullscreen");
      *targetGiven = true;
      options->target = static_cast<FrontEndTarget>(row.target);
      if (row.kind == FrontWindow && !ParseWindowId(value.c_str(), &options->windowId))
        return Fail(error, "--window-id takes a window number, decimal or 0x hexadecimal");
      break;
    case FrontCatalogue:
      if (value.empty()) return Fail(error, "--catalogue takes a folder");
      options->catalogue = value;
      break;
    case FrontPatterns:
    case FrontPattern:
      if (value.empty()) return Fail(error, shown + (row.kind == FrontPattern ? " takes a file" : " takes a folder"));
      (row.kind == FrontPattern ? options->patternFiles : options->patternFolders).push_back(value);
      break;
    case FrontHelp:
      options->help = true;
      break;
  }
  return true;
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
    OptionRef option;
    bool negated = false;
    if (!FindOption(word, &option, &negated)) return Fail(error, "unknown option '" + argument + "'");
    const std::string shown = "--" + SummaryOf(option).name;
    if (TakesValue(option)) {
      if (!valueInline) {
        if (i + 1 >= argc) return Fail(error, shown + " needs a value");
        value = argv[++i];
      }
    } else if (valueInline) {
      return Fail(error, shown + " takes no value");
    }
    if (option.flag != nullptr) {
      const uint32_t bit = option.flag->bit;
      if (negated) {
        options->overrides.flagsOff |= bit;
        options->overrides.flagsOn &= ~bit;
      } else {
        options->overrides.flagsOn |= bit;
        options->overrides.flagsOff &= ~bit;
      }
    } else if (option.setting != nullptr) {
      if (!TakeSetting(*option.setting, negated, shown, value, &startGiven, options, error)) return false;
    } else if (!TakeFrontOption(*option.front, shown, value, &targetGiven, options, error)) {
      return false;
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
  for (const TextOverride& text : overrides.texts) {
    const int row = SettingRowAt(text.offset);
    if (row < 0 || !SettingIsText(SettingsTable[row])) continue;
    char* member = reinterpret_cast<char*>(settings) + text.offset;
    const size_t size = SettingBytes(SettingsTable[row]);
    std::memset(member, 0, size);
    std::memcpy(member, text.text.data(), std::min(text.text.size(), size - 1));
  }
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
// Those of the rule families tumbra runs, and the HashLife folder's patterns,
// which the plane takes.
static const char* const GollyPatternFolders[] = {
    "/usr/share/golly/Patterns/Life",        "/usr/share/golly/Patterns/Life-Like",
    "/usr/share/golly/Patterns/Generations", "/usr/share/golly/Patterns/Non-Totalistic",
    "/usr/share/golly/Patterns/Larger-than-Life", "/usr/share/golly/Patterns/HashLife"};

std::vector<std::string> PatternFolders(const char* dataHome, const char* home, const char* dataDirs,
                                        const char* installed) {
  std::vector<std::string> folders;
  for (const std::string& folder : CatalogueFolders(dataHome, home, dataDirs, installed))
    folders.push_back(folder + "/" PatternFolderName);
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
    PatternRefusal refusal;
    if (ReadPatternFile(file.c_str(), &pattern, &refusal) && EngineRunsPattern(pattern, &refusal)) continue;
    // Too large for a torus, a pattern may still be one the plane takes.
    if (refusal.error == PatternBeyondLimits && PlaneTakesWholeFile(file.c_str())) continue;
    char reason[512];
    FormatPatternRefusal(refusal, reason, sizeof reason);
    return "--pattern " + file + ": " + reason;
  }
  return std::string();
}
