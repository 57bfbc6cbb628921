#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "config/config.h"
#include "test_support.h"

namespace {

// ---- Binding table ---------------------------------------------------------------

std::vector<int32_t> Ids(const WalkList& list) { return std::vector<int32_t>(list.ids, list.ids + list.count); }

TEST(Bindings, OnlyTheDialogsControlsHaveARow) {
  EXPECT_EQ(BindingOf(100), nullptr);
  EXPECT_EQ(BindingOf(LastBindingId + 1), nullptr);
  EXPECT_EQ(BindingOf(INT32_MIN), nullptr);
  EXPECT_EQ(BindingOf(143)->id, 143);
  // The ids between the lifeface texts and the rule's controls bind nothing.
  for (int32_t id = IdAbout; id < IdRuleList; ++id) EXPECT_EQ(BindingOf(id)->kind, NoKind) << id;
  // An up-down with an id of its own is its edit's part, bound by the edit.
  for (int32_t id : {IdFadeSpin, IdStepSpin, IdLongestSpin}) EXPECT_EQ(BindingOf(id)->kind, NoKind) << id;
}

// The control ids of each dialog template of the resource script, by the
// template's name.
std::map<std::string, std::set<int32_t>> TemplateControls() {
  const std::string folder = std::string(TEST_DATA_DIR) + "/../../saver/config/";
  std::map<std::string, int32_t> numbers;
  std::ifstream ids(folder + "ids.h");
  for (std::string line; std::getline(ids, line);) {
    std::istringstream fields(line);
    std::string define, name;
    int32_t number;
    if (fields >> define >> name >> number && define == "#define") numbers[name] = number;
  }
  std::map<std::string, std::set<int32_t>> controls;
  std::ifstream script(folder + "dialogs.rc");
  std::string current;
  const std::regex dialog(R"(^(\w+) DIALOG\b)"), control(R"(^\s*\w+\s+"[^"]*",\s*(\w+))");
  for (std::string line; std::getline(script, line);) {
    std::smatch match;
    if (std::regex_search(line, match, dialog))
      current = match[1];
    else if (std::regex_search(line, match, control) && numbers.count(match[1]))
      controls[current].insert(numbers[match[1]]);
  }
  return controls;
}

TEST(Bindings, EachWindowWalksTheBoundControlsOfItsTemplate) {
  const std::map<std::string, std::set<int32_t>> templates = TemplateControls();
  const std::pair<const char*, const WalkList*> windows[] = {
      {"SettingsDialogId", &MainBindings}, {"AnimatedPageId", &AnimatedPageBindings}, {"ClassicPageId", &ClassicPageBindings}};
  int rulesApplied = 0;
  for (const auto& [name, list] : windows) {
    ASSERT_EQ(templates.count(name), 1u) << name;
    std::set<int32_t> bound;
    for (int32_t id : templates.at(name))
      if (BindingOf(id) != nullptr && BindingOf(id)->kind != NoKind) bound.insert(id);
    EXPECT_EQ(std::set<int32_t>(list->ids, list->ids + list->count), bound) << name;
    // A box's rule is applied when the box loads, in the box's window: the
    // controls it governs (a spin edit with its up-down) are there by then.
    for (int k = 0; k < EnableRuleCount; ++k) {
      const int32_t* boxAt = std::find(list->ids, list->ids + list->count, EnableRules[k].box);
      if (boxAt == list->ids + list->count) continue;
      ++rulesApplied;
      for (int32_t control : EnableRules[k].controls) {
        if (control != 0) {
          EXPECT_NE(std::find(list->ids, boxAt, control), boxAt) << name << " " << control;
        }
      }
    }
  }
  EXPECT_EQ(rulesApplied, EnableRuleCount);
}

TEST(Bindings, EveryListedIdHasAKindAndEveryKindIsListedOnce) {
  std::multiset<int32_t> listed;
  for (const WalkList* list : {&MainBindings, &AnimatedPageBindings, &ClassicPageBindings})
    for (int32_t id : Ids(*list)) {
      listed.insert(id);
      const ControlBinding* row = BindingOf(id);
      ASSERT_NE(row, nullptr) << id;
      EXPECT_GT(row->kind, NoKind) << id;
      EXPECT_LT(row->kind, BindingKindCount) << id;
    }
  for (const ControlBinding& row : ControlBindings) {
    if (row.kind == NoKind) continue;
    EXPECT_EQ(listed.count(row.id), 1u) << "row " << row.id << " is walked once";
  }
  for (int32_t id : {128, 129, 130, 140, 141, 142, 143}) EXPECT_EQ(BindingOf(id)->kind, NoKind) << id;
}

// Every control that edits a number: the original run and the added ones.
std::vector<int32_t> ValueIds() {
  std::vector<int32_t> ids;
  for (int32_t id = FirstValueId; id <= LastValueId; ++id) ids.push_back(id);
  for (const AddedValueControl& control : AddedValueControls) ids.push_back(control.id);
  return ids;
}

TEST(Bindings, ValueControlsShowTheirSettingsDefaultOnAFreshRecord) {
  Settings = DefaultSettings;
  for (int32_t id : ValueIds()) {
    ASSERT_NE(SettingOfControl(id), nullptr) << id;
    EXPECT_EQ(*SettingOfControl(id), DefaultOfControl(id)) << id;
  }
  for (int32_t id : {100, 128, 131, 144, IdFadeSpin, IdDrawRule, IdStepSpin, IdLongestSpin}) {
    EXPECT_EQ(SettingOfControl(id), nullptr) << id;
    EXPECT_EQ(SettingRowOfControl(id), -1) << id;
    EXPECT_EQ(DefaultOfControl(id), 0) << id;
  }
  // What a control stores changes its own setting and no other.
  for (int32_t id : ValueIds()) {
    Settings = DefaultSettings;
    *SettingOfControl(id) += 1;
    int changed = 0;
    for (int32_t other : ValueIds()) changed += *SettingOfControl(other) != DefaultOfControl(other);
    EXPECT_EQ(changed, 1) << id;
  }
  // The added controls edit what a new field starts from, the trails and
  // the colouring by age.
  Settings = DefaultSettings;
  *SettingOfControl(IdStartWith) = StartAlternate;
  *SettingOfControl(IdFade) = 12;
  *SettingOfControl(IdColourByAge) = 1;
  EXPECT_EQ(Settings.start, StartAlternate);
  EXPECT_EQ(Settings.fade, 12);
  EXPECT_EQ(Settings.age, 1);
  EXPECT_EQ(std::memcmp(&Settings, &DefaultSettings, offsetof(SaverSettings, start)), 0);
  Settings = DefaultSettings;
}

TEST(Bindings, EveryDefaultIsAChoiceItsControlOffers) {
  for (int32_t id : ValueIds()) {
    const ControlBinding& row = *BindingOf(id);
    const int32_t initial = DefaultOfControl(id);
    switch (row.kind) {
      case ColourList:
        EXPECT_EQ(ListSelectionFor(initial, ColourTableSize), initial) << id;
        break;
      case ScaleList:
        EXPECT_EQ(ListSelectionFor(initial, row.param1), initial) << id;
        break;
      case SpinEdit:
        EXPECT_LE(row.param1, initial) << id;
        EXPECT_GE(row.param2, initial) << id;
        break;
      case ModeTabs:
        EXPECT_EQ(ModeOfTab(TabOfMode(initial), -1), initial) << id;
        break;
      case ChoiceList:
        EXPECT_EQ(ListSelectionFor(initial, row.param1), initial) << id;
        EXPECT_NE(ChoiceText(id, initial), nullptr) << id;
        break;
      case ValueCheck:
        EXPECT_EQ(ValueCheckStored(ValueCheckShown(initial)), initial) << id;
        break;
      default:
        break;
    }
  }
}

// ---- Enabling rules ----------------------------------------------------------------------

// The controls 101 .. 152 that the rules disable for the given boxes.
std::set<int32_t> Disabled(uint32_t checked) {
  std::set<int32_t> disabled;
  for (int32_t id = 101; id <= IdDrawRule; ++id)
    if (!ControlEnabledFor(id, checked)) disabled.insert(id);
  return disabled;
}

TEST(EnableRules, TheDefaultsGreyTheUnprintedLinesTheSeedTheLifefaceListAndTheCycle) {
  EXPECT_EQ(Disabled(DefaultSettings.flags),
            (std::set<int32_t>{IdPopulationForeground, IdGenerationForeground, IdFpsForeground,
                               IdPopulationBackground, IdGenerationBackground, IdFpsBackground, IdSeed,
                               IdLifefaceList, IdCycle}));
}

TEST(EnableRules, EachBoxChangesOnlyItsOwnControls) {
  const uint32_t all = FlagPrintInfo | FlagPrintPopulation | FlagPrintGeneration | FlagPrintFps | FlagSeedSpecific;
  EXPECT_EQ(Disabled(all), (std::set<int32_t>{}));
  // Unchecking one overlay line greys that line's two colours.
  EXPECT_EQ(Disabled(all & ~FlagPrintGeneration), (std::set<int32_t>{IdGenerationForeground, IdGenerationBackground}));
  EXPECT_EQ(Disabled(all & ~FlagPrintInfo), (std::set<int32_t>{IdInfoForeground, IdInfoBackground}));
  // The seed follows "Specific" alone: with neither choice (stored flags can
  // say so) or "Arbitrary" it is greyed, with both it is not.
  EXPECT_EQ(Disabled(all & ~FlagSeedSpecific), (std::set<int32_t>{IdSeed}));
  EXPECT_EQ(Disabled((all & ~FlagSeedSpecific) | FlagSeedArbitrary), (std::set<int32_t>{IdSeed}));
  EXPECT_EQ(Disabled(all | FlagSeedArbitrary), (std::set<int32_t>{}));
  // Random choices grey what they replace.
  EXPECT_EQ(Disabled(all | FlagRandomLifeface), (std::set<int32_t>{IdLifefaceList}));
  EXPECT_EQ(Disabled(all | FlagCycleAtReset), (std::set<int32_t>{IdCycle}));
  EXPECT_EQ(Disabled(all | FlagDigitalEffect), (std::set<int32_t>{}));
  EXPECT_EQ(Disabled(all | DrawRuleChecked), (std::set<int32_t>{IdRuleList, IdRuleText}));
  // The rule box's bit is its own, apart from every flags bit.
  for (int32_t id = IdPrintInfo; id <= IdCycleAtReset; ++id) EXPECT_EQ(CheckBitOfBox(id) & DrawRuleChecked, 0u) << id;
  EXPECT_EQ(CheckBitOfBox(IdDrawRule), DrawRuleChecked);
  EXPECT_EQ(CheckBitOfBox(IdRuleList), 0u);
  // No rule greys a box or button, whatever is checked.
  for (uint32_t checked : {0u, ~0u, DefaultSettings.flags})
    for (int32_t id : {IdPrintInfo, IdSpecific, IdCycleAtReset, IdAbout, IdUndo, IdDrawRule})
      EXPECT_TRUE(ControlEnabledFor(id, checked)) << id;
}

struct WalkRecord {
  WindowHandle parent;
  int32_t id;
  int32_t phase;
};
std::vector<WalkRecord> Walked;
void Record(WindowHandle parent, const ControlBinding& row, int32_t phase) {
  Walked.push_back({parent, row.id, phase});
}

TEST(Bindings, WalkCallsTheKindOfEachRowInListOrder) {
  BindingKindFunction kinds[BindingKindCount] = {};
  for (int k = 1; k < BindingKindCount; ++k) kinds[k] = Record;
  int parent = 0;
  Walked.clear();
  WalkBindings(&parent, ClassicPageBindings, Store, kinds);
  ASSERT_EQ(Walked.size(), 16u);
  for (size_t k = 0; k < Walked.size(); ++k) {
    EXPECT_EQ(Walked[k].id, ClassicPageBindings.ids[k]);
    EXPECT_EQ(Walked[k].phase, Store);
    EXPECT_EQ(Walked[k].parent, &parent);
  }
  // Only the kinds a list uses are called; another phase calls nothing.
  BindingKindFunction onlyFlags[BindingKindCount] = {};
  onlyFlags[FlagCheck] = Record;
  Walked.clear();
  WalkBindings(&parent, MainBindings, Load, onlyFlags);
  ASSERT_EQ(Walked.size(), 6u);
  EXPECT_EQ(Walked.front().id, 131);
  Walked.clear();
  WalkBindings(&parent, MainBindings, 2, kinds);
  EXPECT_TRUE(Walked.empty());
  static const int32_t unbound[] = {128, 140, 99, 500};
  WalkBindings(&parent, WalkList{unbound, 4}, Load, kinds);
  EXPECT_TRUE(Walked.empty());
}

// ---- Value rules -------------------------------------------------------------------

TEST(SpinEdit, TextToNumber) {
  EXPECT_EQ(SpinTextValue("50000"), 50000);
  EXPECT_EQ(SpinTextValue("  -7x"), -7);
  EXPECT_EQ(SpinTextValue(""), 0);
  EXPECT_EQ(SpinTextValue("abc"), 0);
  EXPECT_EQ(SpinTextValue("3000"), 3000);
  EXPECT_EQ(SpinTextValue("+12"), 12);
  EXPECT_EQ(SpinTextValue("\t 15ms"), 15);
  EXPECT_EQ(SpinTextValue("-"), 0);
  EXPECT_EQ(SpinTextValue("1 000"), 1);  // no thousands separators
  EXPECT_EQ(SpinTextValue("-32768"), -32768);
}

TEST(SpinEdit, LongAndHugeTextsStaySound) {
  // Digits past the 31st character are not read; too many digits wrap.
  std::string longText = std::string(30, ' ') + "9";
  EXPECT_EQ(SpinTextValue(longText.c_str()), 9);
  longText = std::string(31, ' ') + "9";
  EXPECT_EQ(SpinTextValue(longText.c_str()), 0);
  EXPECT_EQ(SpinTextValue("4294967296"), 0);
  EXPECT_EQ(SpinTextValue("2147483648"), INT32_MIN);
  EXPECT_EQ(SpinTextValue("99999999999999999999"), static_cast<int32_t>(1661992959u));
}

TEST(SpinEdit, StepMultipliers) {
  EXPECT_EQ(SpinStepMultiplier(*BindingOf(110)), 10);
  EXPECT_EQ(SpinStepMultiplier(*BindingOf(111)), 1000);
  EXPECT_EQ(SpinStepMultiplier(*BindingOf(127)), 1000);
  // The seed steps by a fresh generator number each time.
  LcgSeed(1);
  EXPECT_EQ(SpinStepMultiplier(*BindingOf(109)), 41);
  EXPECT_EQ(SpinStepMultiplier(*BindingOf(109)), 18467);
  EXPECT_EQ(ScaleSpinDelta(1, 1000), 1000);
  EXPECT_EQ(ScaleSpinDelta(-1, 10), -10);
  EXPECT_EQ(ScaleSpinDelta(-1, 32767), -32767);
  EXPECT_EQ(ScaleSpinDelta(100000, 32767), INT32_MAX);
  EXPECT_EQ(ScaleSpinDelta(-100000, 32767), INT32_MIN);
}

TEST(StoreRules, ListSelectionOfAStoredIndex) {
  EXPECT_EQ(ListSelectionFor(0, 16), 0);
  EXPECT_EQ(ListSelectionFor(15, 16), 15);
  EXPECT_EQ(ListSelectionFor(16, 16), -1);
  EXPECT_EQ(ListSelectionFor(-1, 16), -1);
  EXPECT_EQ(ListSelectionFor(7, 5), -1);
  EXPECT_EQ(ListSelectionFor(0, 0), -1);
}

TEST(StoreRules, ListWithoutSelectionNeverStoresMinusOne) {
  // A selection is stored as it is.
  EXPECT_EQ(StoredListIndex(4, 20, 16, 1), 4);
  // No selection: the stored index when the list offers it, else the default.
  EXPECT_EQ(StoredListIndex(-1, 9, 16, 1), 9);
  EXPECT_EQ(StoredListIndex(-1, 20, 16, 1), 1);
  EXPECT_EQ(StoredListIndex(-1, -3, 16, 0), 0);
  // Scale lists: cscale 7 is beyond the five items, the default 3 is stored.
  EXPECT_EQ(StoredListIndex(-1, 7, 5, DefaultOfControl(116)), 3);
  EXPECT_EQ(StoredListIndex(-1, 9, 4, DefaultOfControl(113)), 1);
  for (int32_t id = 101; id <= 126; ++id) {
    const ControlBinding& row = *BindingOf(id);
    const int32_t items = row.kind == ScaleList ? row.param1 : 16;
    if (row.kind != ColourList && row.kind != ScaleList) continue;
    const int32_t stored = StoredListIndex(-1, 1000, items, DefaultOfControl(id));
    EXPECT_GE(stored, 0) << id;
    EXPECT_LT(stored, items) << id;
  }
}

TEST(StoreRules, ModeAndTab) {
  EXPECT_EQ(TabOfMode(ModeAnimated), 0);
  EXPECT_EQ(TabOfMode(ModeClassic), 1);
  EXPECT_EQ(TabOfMode(5), 1);  // the saver runs any other mode classic
  EXPECT_EQ(TabOfMode(-1), 1);
  EXPECT_EQ(ModeOfTab(1, 0), 1);
  EXPECT_EQ(ModeOfTab(0, 1), 0);
  EXPECT_EQ(ModeOfTab(-1, 1), 1);
}

TEST(StoreRules, SeedFollowsTheRadioButtons) {
  EXPECT_EQ(StoredSeed(1234, FlagSeedSpecific), 1234);
  EXPECT_EQ(StoredSeed(1234, FlagSeedArbitrary), 0);
  EXPECT_EQ(StoredSeed(-5, DefaultSettings.flags), 0);
  // With neither or both buttons checked the typed seed stays.
  EXPECT_EQ(StoredSeed(77, 0), 77);
  EXPECT_EQ(StoredSeed(77, FlagSeedArbitrary | FlagSeedSpecific), 77);
}

TEST(StoreRules, FaceOfTheLifefaceList) {
  EXPECT_EQ(StoredFace(2, 0, 3), 2);
  EXPECT_EQ(StoredFace(-1, 1, 3), 1);
  EXPECT_EQ(StoredFace(-1, 5, 3), 0);
  EXPECT_EQ(StoredFace(3, -2, 3), 0);
  // An empty catalogue keeps the loaded face, never the list's -1.
  EXPECT_EQ(StoredFace(-1, 0, 0), 0);
  EXPECT_EQ(StoredFace(-1, 4, 0), 4);
}

// ---- What a new field starts from, trails and colour by age ---------------------------

TEST(AddedControls, TheStartListOffersEveryStartByAText) {
  const ControlBinding& row = *BindingOf(IdStartWith);
  ASSERT_EQ(row.kind, ChoiceList);
  // One item per value the settings row offers, each shown by its own text.
  const SettingDef& setting = SettingsTable[SettingRowOfControl(IdStartWith)];
  ASSERT_EQ(row.param1, setting.high - setting.low + 1);
  std::set<std::string> texts;
  for (int32_t k = 0; k < row.param1; ++k) {
    ASSERT_NE(ChoiceText(IdStartWith, k), nullptr) << k;
    EXPECT_GT(std::strlen(ChoiceText(IdStartWith, k)), 0u) << k;
    texts.insert(ChoiceText(IdStartWith, k));
  }
  EXPECT_EQ(texts.size(), static_cast<size_t>(row.param1));
  EXPECT_STREQ(ChoiceText(IdStartWith, StartSoup), "a random field");
  EXPECT_EQ(ChoiceText(IdStartWith, -1), nullptr);
  EXPECT_EQ(ChoiceText(IdStartWith, row.param1), nullptr);
  EXPECT_EQ(ChoiceText(IdClassicScale, 0), nullptr);
  // A stored start the list cannot show shows nothing, and OK stores the
  // default rather than the list's -1.
  EXPECT_EQ(ListSelectionFor(7, row.param1), -1);
  EXPECT_EQ(StoredListIndex(-1, 7, row.param1, DefaultOfControl(IdStartWith)), StartSoup);
  EXPECT_EQ(StoredListIndex(-1, StartPatterns, row.param1, DefaultOfControl(IdStartWith)), StartPatterns);
}

TEST(AddedControls, TrailsSpinInSingleGenerationsByAnUpDownOfTheirOwn) {
  const ControlBinding& row = *BindingOf(IdFade);
  ASSERT_EQ(row.kind, SpinEdit);
  EXPECT_EQ(row.param1, 0);
  EXPECT_EQ(row.param2, 255);
  EXPECT_EQ(SpinStepMultiplier(row), 1);
  EXPECT_EQ(UpDownOfEdit(IdFade), IdFadeSpin);
  EXPECT_EQ(EditOfUpDown(IdFadeSpin), IdFade);
  // The older spin edits share their id with their up-down, and every
  // up-down's notifications lead back to its own edit.
  for (const ControlBinding& spin : ControlBindings) {
    if (spin.kind != SpinEdit) continue;
    EXPECT_EQ(EditOfUpDown(UpDownOfEdit(spin.id)), spin.id) << spin.id;
    if (spin.id <= LastValueId) {
      EXPECT_EQ(UpDownOfEdit(spin.id), spin.id) << spin.id;
    } else {
      EXPECT_EQ(UpDownOfEdit(spin.id), spin.id + 1) << "an added edit's up-down has the id after it";
    }
  }
}

TEST(AddedControls, ColourByAgeIsCheckedForAnyStoredValueButZero) {
  EXPECT_EQ(BindingOf(IdColourByAge)->kind, ValueCheck);
  EXPECT_FALSE(ValueCheckShown(0));
  EXPECT_TRUE(ValueCheckShown(1));
  EXPECT_TRUE(ValueCheckShown(7));
  EXPECT_TRUE(ValueCheckShown(-1));
  EXPECT_EQ(ValueCheckStored(true), 1);
  EXPECT_EQ(ValueCheckStored(false), 0);
  // No box greys the new controls, and they are no boxes of the rules.
  for (uint32_t checked : {0u, ~0u, DefaultSettings.flags})
    for (int32_t id : {IdStartWith, IdFade, IdColourByAge}) EXPECT_TRUE(ControlEnabledFor(id, checked)) << id;
  EXPECT_EQ(CheckBitOfBox(IdColourByAge), 0u);
}

TEST(AddedControls, ThePatternFieldsControlsEditThePlanesValuesWithinTheirRows) {
  EXPECT_EQ(BindingOf(IdPlane)->kind, ValueCheck);
  EXPECT_EQ(BindingOf(IdHyper)->kind, ValueCheck);
  // The step and the longest time spin over what their rows take, one
  // generation doubling and ten seconds a step.
  const struct {
    int32_t id;
    const char* key;
    int32_t step;
  } spins[] = {{IdStep, "step", 1}, {IdLongest, "longest", 10}};
  for (const auto& spin : spins) {
    const ControlBinding& row = *BindingOf(spin.id);
    const SettingDef& setting = SettingsTable[SettingRowOf(spin.key)];
    ASSERT_EQ(row.kind, SpinEdit) << spin.key;
    EXPECT_EQ(row.param1, setting.low) << spin.key;
    EXPECT_EQ(row.param2, setting.high) << spin.key;
    EXPECT_EQ(SpinStepMultiplier(row), spin.step) << spin.key;
    EXPECT_EQ(SettingOfControl(spin.id), reinterpret_cast<int32_t*>(reinterpret_cast<char*>(&Settings) + setting.offset));
  }
  EXPECT_EQ(BindingOf(IdStep)->param2, 30);
  EXPECT_EQ(BindingOf(IdLongest)->param1, 10);
  EXPECT_EQ(BindingOf(IdLongest)->param2, 86400);
  // Hyperspeed sets the step: its box greys the step and nothing else.
  EXPECT_EQ(CheckBitOfBox(IdHyper), HyperChecked);
  EXPECT_EQ(HyperChecked & (DrawRuleChecked | 0x1FFu), 0u);
  for (uint32_t checked : {0u, DefaultSettings.flags, DrawRuleChecked}) {
    EXPECT_TRUE(ControlEnabledFor(IdStep, checked));
    EXPECT_FALSE(ControlEnabledFor(IdStep, checked | HyperChecked));
    for (int32_t id : {IdPlane, IdHyper, IdLongest, IdRuleText, IdSeed, IdFade})
      EXPECT_EQ(ControlEnabledFor(id, checked | HyperChecked), ControlEnabledFor(id, checked)) << id;
  }
  // Each edits its own member.
  Settings = DefaultSettings;
  *SettingOfControl(IdPlane) = 0;
  *SettingOfControl(IdStep) = 12;
  *SettingOfControl(IdHyper) = 1;
  *SettingOfControl(IdLongest) = 60;
  EXPECT_EQ(Settings.plane, 0);
  EXPECT_EQ(Settings.step, 12);
  EXPECT_EQ(Settings.hyper, 1);
  EXPECT_EQ(Settings.longest, 60);
  EXPECT_EQ(Settings.memory, DefaultSettings.memory);
  Settings = DefaultSettings;
}

// ---- The rule of the field ----------------------------------------------------------

TEST(RuleControls, TheListNamesEachNamedRuleOnceAndEndsWithCustom) {
  const int32_t custom = RuleListCustomItem();
  ASSERT_EQ(RuleListItemCount(), custom + 1);
  EXPECT_STREQ(RuleListItemText(0), "Conway's Life");
  EXPECT_STREQ(RuleListItemText(custom), "Custom");
  EXPECT_EQ(RuleListItemText(-1), nullptr);
  EXPECT_EQ(RuleListItemText(custom + 1), nullptr);
  // Each name's item shows its rule's canonical text, which reads back to
  // the same item; "Custom" leaves the text alone.
  std::set<std::string> names;
  for (int32_t item = 0; item < custom; ++item) {
    names.insert(RuleListItemText(item));
    char text[RuleTextSize];
    ASSERT_TRUE(RuleTextOfItem(item, text, sizeof text)) << item;
    EXPECT_EQ(RuleListItemForText(text), item) << text;
  }
  EXPECT_EQ(names.size(), static_cast<size_t>(custom));
  char text[RuleTextSize] = "kept";
  EXPECT_FALSE(RuleTextOfItem(custom, text, sizeof text));
  EXPECT_FALSE(RuleTextOfItem(-1, text, sizeof text));
  EXPECT_STREQ(text, "kept");
}

TEST(RuleControls, TypedTextSelectsItsNameOrCustom) {
  const int32_t highLife = RuleListItemOf(CellRuleOf(LifeRule{0x48, 0xC}));
  ASSERT_NE(highLife, RuleListCustomItem());
  EXPECT_STREQ(RuleListItemText(highLife), "HighLife");
  // Any way of writing the rule, or its name, selects it.
  for (const char* typed : {"B36/S23", "b63s32", "23/36", " highlife ", "S23/B36:T40,30"})
    EXPECT_EQ(RuleListItemForText(typed), highLife) << typed;
  EXPECT_EQ(RuleListItemForText("B3/S23"), 0);
  EXPECT_EQ(RuleListItemForText("Life"), 0);
  // A rule without a name, half a rule being typed, or a refused one: Custom.
  for (const char* typed : {"B35/S236", "B3", "B", "", "B0/S8", "B2a/S", "Highlif"})
    EXPECT_EQ(RuleListItemForText(typed), RuleListCustomItem()) << typed;
  EXPECT_EQ(RuleListItemForText(std::string(5000, '3').c_str()), RuleListCustomItem());
}

TEST(RuleControls, TheDialogShowsTheRuleTheSaverRuns) {
  SaverSettings settings = DefaultSettings;
  EXPECT_TRUE(SameCellRule(ShownRule(settings), CellRuleOf(ConwayRule)));
  settings.birth = 0x28;
  settings.survive = 0x4C;
  EXPECT_TRUE(SameCellRule(ShownRule(settings), CellRuleOf(LifeRule{0x28, 0x4C})));
  // Stored rules that cannot run show Conway's, as the saver runs then.
  for (const auto& [birth, survive] : std::vector<std::pair<uint32_t, uint32_t>>{
           {0x9, 0x100}, {0x208, 0xC}, {0x8, 0x400}, {0xFFFFFFFF, 0xFFFFFFFF}}) {
    settings.birth = birth;
    settings.survive = survive;
    EXPECT_TRUE(SameCellRule(ShownRule(settings), CellRuleOf(ConwayRule))) << birth << "/" << survive;
  }
  // A rule text that reads as a rule takes the place of the masks; one that
  // does not, or fills its member without an end, leaves them.
  settings.birth = 0x28;
  settings.survive = 0x4C;
  std::strcpy(settings.rule, "b36/s23");
  EXPECT_TRUE(SameCellRule(ShownRule(settings), CellRuleOf(LifeRule{0x48, 0xC})));
  for (const char* unread : {"", "B0/S8", "hello", "B3/S23/"}) {
    std::strcpy(settings.rule, unread);
    EXPECT_TRUE(SameCellRule(ShownRule(settings), CellRuleOf(LifeRule{0x28, 0x4C}))) << unread;
  }
  std::memset(settings.rule, '3', sizeof settings.rule);
  EXPECT_TRUE(SameCellRule(ShownRule(settings), CellRuleOf(LifeRule{0x28, 0x4C})));
}

TEST(RuleControls, OkStoresARuleTextAndRefusesWhatCannotRun) {
  SaverSettings settings = DefaultSettings;
  EXPECT_EQ(StoreRuleText("B35/S236", &settings), RuleOk);
  EXPECT_EQ(settings.birth, 0x28u);
  EXPECT_EQ(settings.survive, 0x4Cu);
  EXPECT_STREQ(settings.rule, "B35/S236");
  EXPECT_EQ(StoreRuleText("Day & Night", &settings), RuleOk);
  EXPECT_EQ(settings.birth, 0x1C8u);
  EXPECT_EQ(settings.survive, 0x1D8u);
  EXPECT_STREQ(settings.rule, "B3678/S34678");
  // Refused texts leave the stored rule and say why: those no family takes.
  const std::pair<const char*, RuleError> refused[] = {
      {"B0/S8", RuleBirthOnZero}, {"", RuleEmpty}, {"B9/S", RuleCountOverEight}, {"B3//S23", RuleMalformed}};
  for (const auto& [text, error] : refused) {
    EXPECT_EQ(StoreRuleText(text, &settings), error) << text;
    EXPECT_EQ(RuleTextRefusal(text, false), error) << text;
    // A drawn rule does not use the text: nothing stops OK.
    EXPECT_EQ(RuleTextRefusal(text, true), RuleOk) << text;
  }
  EXPECT_EQ(settings.birth, 0x1C8u);
  EXPECT_EQ(settings.survive, 0x1D8u);
  EXPECT_STREQ(settings.rule, "B3678/S34678");
  EXPECT_EQ(RuleTextRefusal("B36/S23", false), RuleOk);
  // A text longer than any rule is refused as such, and read no further than
  // the edit holds.
  const std::string tooLong = "B3/S23" + std::string(RuleEditLimit, ' ');
  EXPECT_EQ(StoreRuleText(tooLong.c_str(), &settings), RuleTooLong);
}

// Every family the rule's reader takes: OK keeps the canonical text, and the
// masks only for a Life-like rule, where an older version finds it.
TEST(RuleControls, OkStoresARuleOfAnyFamilyTheReaderTakes) {
  for (const char* text : {"B2/S/C3", "/2/3", "B2-a/S12", "B2/S34H", "B13/S012V", "R2,C0,M1,S2..3,B3..3,NM",
                           "Brian's Brain", "B36/S23"}) {
    SaverSettings settings = DefaultSettings;
    settings.birth = 0x28;
    CellRule rule;
    const RuleError read = ParseRule(text, std::strlen(text), &rule);
    ASSERT_EQ(StoreRuleText(text, &settings), read) << text;
    if (read != RuleOk) {
      EXPECT_STREQ(settings.rule, "") << text;
      continue;
    }
    char canonical[RuleTextSize];
    FormatRule(rule, canonical, sizeof canonical);
    EXPECT_STREQ(settings.rule, canonical) << text;
    EXPECT_TRUE(SameCellRule(ShownRule(settings), rule)) << text;
    LifeRule life;
    EXPECT_EQ(settings.birth, IsLifeLike(rule, &life) ? life.birth : 0x28u) << text;
    EXPECT_EQ(RuleListItemForText(text), RuleListItemOf(rule)) << text;
  }
}

// The list: every Life-like name, then a few names of each other family.
TEST(RuleControls, TheListOffersEveryLifeLikeNameAndAFewOfEachOtherFamily) {
  const int32_t custom = RuleListCustomItem();
  for (int32_t k = 0; k < NamedLifeRuleCount; ++k) EXPECT_STREQ(RuleListItemText(k), NamedLifeRules[k].name) << k;
  std::map<std::string, int> perFamily;
  for (int32_t item = NamedLifeRuleCount; item < custom; ++item) {
    char text[RuleTextSize];
    ASSERT_TRUE(RuleTextOfItem(item, text, sizeof text));
    CellRule rule;
    ASSERT_EQ(ParseRule(text, std::strlen(text), &rule), RuleOk) << text;
    LifeRule life;
    EXPECT_FALSE(IsLifeLike(rule, &life)) << text;
    const std::string family = rule.kind == RuleLarger ? "larger"
                               : rule.neighbours != NeighboursMoore
                                   ? (rule.neighbours == NeighboursHexagonal ? "hexagonal" : "von Neumann")
                               : rule.kind == RuleMapped && !rule.totalistic ? "non-totalistic"
                                                                             : "generations";
    EXPECT_LE(++perFamily[family], 4) << family;
    // Its name is one of the table's, for that rule.
    bool named = false;
    for (int k = 0; k < NamedRuleCount; ++k) named |= std::strcmp(NamedRules[k].name, RuleListItemText(item)) == 0;
    EXPECT_TRUE(named) << RuleListItemText(item);
  }
}

TEST(RuleControls, TheRefusalNamesTheTextAndTheReason) {
  char message[512];
  FormatRuleRefusal("B0/S8", RuleBirthOnZero, message, sizeof message);
  EXPECT_EQ(std::string(message), std::string("\"B0/S8\" cannot be run: ") + RuleErrorText(RuleBirthOnZero) + ".");
  // A long text is cut short; a small buffer still gets a terminated start.
  const std::string typed(300, 'x');
  FormatRuleRefusal(typed.c_str(), RuleMalformed, message, sizeof message);
  EXPECT_EQ(std::string(message).substr(0, 46), "\"" + std::string(40, 'x') + "...\" ");
  char small[8];
  FormatRuleRefusal("B0/S8", RuleBirthOnZero, small, sizeof small);
  EXPECT_STREQ(small, "\"B0/S8\"");
}

TEST(StoreRules, InformationTexts) {
  LifefaceRecord record = {};
  std::strcpy(record.name, "Pebbles");
  std::strcpy(record.bmp, "tumbra\\pebbles.bmp");
  std::strcpy(record.author, "Someone");
  std::memset(record.comment, 'c', sizeof record.comment);  // no terminator
  LifefaceInfoTexts texts;
  FormatLifefaceInfo(record, &texts);
  EXPECT_STREQ(texts.group, "Pebbles Information");
  EXPECT_STREQ(texts.bitmap, "Bitmap image: tumbra\\pebbles.bmp");
  EXPECT_STREQ(texts.author, "Author: Someone");
  EXPECT_EQ(std::string(texts.comment), "Comment: " + std::string(79, 'c'));
}

// A catalogue of real bitmap files for the lifeface list's Store.
class LifefaceStore : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineState(64);
    char pattern[] = "/tmp/tumbra-config-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    bitmap = folder + "/face.bmp";
    WriteBitmap(bitmap, 64, 64);
  }
  void TearDown() override {
    ReleaseFrameSurface(LifefaceSurface);
    LifefaceSurface = nullptr;
    ClearCatalogue();
    std::remove(bitmap.c_str());
    rmdir(folder.c_str());
  }
  static void WriteBitmap(const std::string& path, int32_t width, int32_t height) {
    const uint32_t rowBytes = static_cast<uint32_t>(width) * 3u;
    const uint32_t size = 54 + rowBytes * static_cast<uint32_t>(height);
    std::vector<uint8_t> bytes(size, 0x40);
    auto put32 = [&](size_t at, uint32_t v) {
      for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<uint8_t>(v >> (8 * k));
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, size);
    put32(6, 0);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    bytes[26] = 1;
    bytes[27] = 0;
    bytes[28] = 24;
    bytes[29] = 0;
    for (size_t at = 30; at < 54; ++at) bytes[at] = 0;
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  void Catalogue(const std::vector<int>& pixelSizes) {
    std::string text;
    for (size_t k = 0; k < pixelSizes.size(); ++k)
      text += "[Face" + std::to_string(k) + "]\nbmp = '" + bitmap + "'\npixels = " + std::to_string(pixelSizes[k]) +
              "\n";
    ParseCatalogueText(text.data(), text.size());
    ASSERT_EQ(LifefaceCatalogue.count, static_cast<int32_t>(pixelSizes.size()));
  }
  std::string folder;
  std::string bitmap;
};

TEST_F(LifefaceStore, EmptyCatalogueKeepsTheLoadedFace) {
  Settings.face = 3;
  StoreLifefaceChoice(nullptr, -1);
  EXPECT_EQ(Settings.face, 3);
  EXPECT_EQ(LifefaceSurface, nullptr);
  EXPECT_EQ(CurrentLifeface(), nullptr);
}

TEST_F(LifefaceStore, AnotherChoiceLoadsItsPicture) {
  Catalogue({8, 16});
  Settings.face = 0;
  StoreLifefaceChoice(nullptr, 1);
  EXPECT_EQ(Settings.face, 1);
  ASSERT_NE(LifefaceSurface, nullptr);
  EXPECT_EQ(LifefaceSurface->width, 64);
  // The same choice with its picture loaded changes nothing.
  FrameSurface* loaded = LifefaceSurface;
  StoreLifefaceChoice(nullptr, 1);
  EXPECT_EQ(LifefaceSurface, loaded);
  // No selection keeps the face in force.
  StoreLifefaceChoice(nullptr, -1);
  EXPECT_EQ(Settings.face, 1);
  EXPECT_EQ(LifefaceSurface, loaded);
}

TEST_F(LifefaceStore, UnusableTileSizeFallsBackToTheFirstFace) {
  Catalogue({8, 40});
  StoreLifefaceChoice(nullptr, 1);
  EXPECT_EQ(Settings.face, 0);
  EXPECT_EQ(LifefaceSurface, nullptr);
}

// ---- Randomize and Undo ------------------------------------------------------------------

class NeighbourColours : public testing::Test {
 protected:
  void SetUp() override { std::fill(UndoColours, UndoColours + NeighbourColourLists, 0); }
  int32_t lists[NeighbourColourLists] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0};
  std::vector<int32_t> Lists() const { return std::vector<int32_t>(lists, lists + NeighbourColourLists); }
};

TEST_F(NeighbourColours, UndoBeforeAnyRandomizeSelectsEntryZeroEverywhere) {
  UndoColourChoice(lists);
  EXPECT_EQ(Lists(), std::vector<int32_t>(10, 0));
}

TEST_F(NeighbourColours, RandomizeKeepsTheMultisetAndIsAPermutationOfTheSeed) {
  LcgSeed(12345);
  RandomizeColours(lists);
  EXPECT_EQ(Lists(), (std::vector<int32_t>{5, 1, 2, 7, 0, 4, 8, 3, 6, 9}));
  LcgSeed(99);
  for (int round = 0; round < 20; ++round) {
    RandomizeColours(lists);
    std::vector<int32_t> sorted = Lists();
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  }
}

TEST_F(NeighbourColours, UndoRestoresTheAssignmentBeforeTheLatestRandomize) {
  LcgSeed(7);
  const std::vector<int32_t> original = Lists();
  RandomizeColours(lists);
  UndoColourChoice(lists);
  EXPECT_EQ(Lists(), original);
  RandomizeColours(lists);
  const std::vector<int32_t> first = Lists();
  RandomizeColours(lists);
  EXPECT_NE(Lists(), first);
  UndoColourChoice(lists);
  EXPECT_EQ(Lists(), first);
  UndoColourChoice(lists);  // no further step back
  EXPECT_EQ(Lists(), first);
}

TEST_F(NeighbourColours, RepeatedValuesAndEmptyListsArePermutedToo) {
  int32_t mixed[NeighbourColourLists] = {3, 3, 3, -1, 0, 0, 15, 15, 15, 15};
  LcgSeed(5);
  RandomizeColours(mixed);
  std::multiset<int32_t> after(mixed, mixed + NeighbourColourLists);
  EXPECT_EQ(after, (std::multiset<int32_t>{3, 3, 3, -1, 0, 0, 15, 15, 15, 15}));
}

// ---- Colours -----------------------------------------------------------------------------

TEST(Colours, BlendMovesTowardsTheFirstByTOver256) {
  EXPECT_EQ(BlendColour(0xD4D0C8, 0xFF0000, 220), 0xDAB2ABu);  // red channel moves down: floor
  EXPECT_EQ(BlendColour(0xD4D0C8, 0x000000, 220), 0xB6B2ABu);
  EXPECT_EQ(BlendColour(0x000000, 0xFFFFFF, 220), 0x232323u);
  EXPECT_EQ(BlendColour(0xFFFFFF, 0x000000, 256), 0xFFFFFFu);
  EXPECT_EQ(BlendColour(0x123456, 0xABCDEF, 0), 0xABCDEFu);
  EXPECT_EQ(BlendColour(0xFF123456, 0x00ABCDEF, 128) >> 24, 0u);  // the top byte is 0
  EXPECT_EQ(TextColourOf(0x99, 0x00, 0x11), 0x990011u);
}

// ---- Credits -----------------------------------------------------------------------------

std::vector<std::string> Texts() {
  std::vector<std::string> texts;
  for (const FakeTextCall& call : FakeTextOuts) texts.push_back(call.text);
  return texts;
}

class Credits : public testing::Test {
 protected:
  void SetUp() override { FakeTextReset(); }
  void Draw(const std::string& bytes, int32_t y = 48) {
    DrawCredits(&dc, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 8, 12, y);
  }
  int dc = 0;
};

TEST_F(Credits, LayoutWithAnEightByTwelveFont) {
  DrawCredits(&dc, CreditsText, CreditsLength, 8, 12, 4 * 12);
  ASSERT_EQ(FakeTextOuts.size(), 6u);  // lines 1, 3, 5, 7, 8 and 10 hold text
  EXPECT_EQ(FakeTextOuts[0].y, 48);
  EXPECT_EQ(FakeTextOuts[0].colour, 0x000000u);
  const FakeTextCall& banner = FakeTextOuts[1];
  EXPECT_EQ(banner.text, " ... G A M E  OF  L I F E ... ");
  EXPECT_EQ(banner.x, 124);
  EXPECT_EQ(banner.y, 48 + 2 * 12);
  EXPECT_EQ(banner.colour, 0xFFFF00u);  // yellow
  EXPECT_TRUE(banner.opaque);
  EXPECT_EQ(banner.background, 0x000099u);  // dark blue band
  const FakeTextCall& version = FakeTextOuts[2];
  EXPECT_EQ(version.text, "Version 2.0");
  EXPECT_EQ(version.y, 48 + 4 * 12);
  EXPECT_FALSE(version.opaque);
  EXPECT_EQ(version.colour, 0x000099u);
  EXPECT_EQ(FakeTextOuts[3].y, 48 + 6 * 12);
  EXPECT_EQ(FakeTextOuts[4].y, 48 + 7 * 12);
  const FakeTextCall& press = FakeTextOuts[5];
  EXPECT_EQ(press.text, "[PRESS A BUTTON]");
  EXPECT_EQ(press.x, 180);
  EXPECT_EQ(press.y, 48 + 9 * 12);
  EXPECT_EQ(press.colour, 0x990000u);  // dark red
}

TEST_F(Credits, OwnLinesFitTheBoxAndNameOnlyTumbra) {
  DrawCredits(&dc, CreditsText, CreditsLength, 8, 12, 0);
  for (const FakeTextCall& call : FakeTextOuts) {
    EXPECT_LE(call.text.size(), static_cast<size_t>(CreditsColumns)) << call.text;
    EXPECT_GE(call.x, 0) << call.text;
  }
  EXPECT_NE(FakeTextOuts[0].text.find("Game of Life"), std::string::npos);
  EXPECT_NE(FakeTextOuts[3].text.find("Copyright"), std::string::npos);
  EXPECT_NE(FakeTextOuts[4].text.find("https://"), std::string::npos);
  EXPECT_EQ(CreditsText[CreditsLength - 1], 0);
  EXPECT_EQ(CreditsText[CreditsLength - 2], '\n');
}

TEST_F(Credits, ZeroInsideAnEscapeIsData) {
  Draw(std::string("\x1b" "F\x00\x00\x00" "ab\n", 8) + std::string("\x1b" "B\x00\x10\x00" "c\n", 7));
  ASSERT_EQ(Texts(), (std::vector<std::string>{"ab", "c"}));
  EXPECT_EQ(FakeTextOuts[0].colour, 0u);
  EXPECT_EQ(FakeTextOuts[1].background, 0x001000u);
  EXPECT_EQ(FakeTextOuts[1].y, 48 + 12);
}

TEST_F(Credits, ZeroWhereACharacterIsDueEnds) {
  Draw(std::string("one\n\0two\n", 9));
  EXPECT_EQ(Texts(), std::vector<std::string>{"one"});
}

TEST_F(Credits, TextBeforeAnEscapeIsDropped) {
  Draw("lost\x1b" "Tkept\n");
  ASSERT_EQ(Texts(), std::vector<std::string>{"kept"});
  EXPECT_FALSE(FakeTextOuts[0].opaque);
  EXPECT_EQ(FakeTextOuts[0].x, 244 - 16);
}

TEST_F(Credits, RunWithoutLineFeedIsNotDrawn) {
  Draw("drawn\nnot drawn");
  EXPECT_EQ(Texts(), std::vector<std::string>{"drawn"});
}

TEST_F(Credits, EmptyLinesOnlyMoveDown) {
  Draw("\n\n\x1b" "F\x01\x02\x03" "x\n");
  ASSERT_EQ(FakeTextOuts.size(), 1u);
  EXPECT_EQ(FakeTextOuts[0].y, 48 + 24);
  EXPECT_EQ(FakeTextOuts[0].colour, 0x010203u);
}

TEST_F(Credits, UnknownEscapePassesOnlyTheEscape) {
  Draw("\x1bQrs\n");
  EXPECT_EQ(Texts(), std::vector<std::string>{"Qrs"});
}

TEST_F(Credits, EscapeCutShortByTheEndReadsNothingBeyond) {
  // The exact-size buffers let the address sanitizer see any read past them.
  for (const std::string& cut : {std::string("x\n\x1b"), std::string("x\n\x1b" "F\x10"), std::string("x\n\x1b" "B")}) {
    FakeTextReset();
    std::vector<uint8_t> exact(cut.begin(), cut.end());
    DrawCredits(&dc, exact.data(), exact.size(), 8, 12, 0);
    EXPECT_EQ(Texts(), std::vector<std::string>{"x"});
  }
}

// ---- About box ------------------------------------------------------------------------

int OemFont;

class About : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineState(512 * 384, 512, 384);
    BuildPalette();
    FakeMetrics = {12, 8, 8};
    std::fill(UndoColours, UndoColours + NeighbourColourLists, 0);
  }
};

TEST_F(About, SizeAndGridOfAnEightByTwelveFont) {
  EXPECT_EQ(AboutBoxWidth(FakeMetrics), 488);
  EXPECT_EQ(AboutBoxHeight(FakeMetrics), 216);
  EXPECT_EQ(AboutBoxWidth(TextMetrics{14, 7, 7}), 432);  // 427 rounded up
  EXPECT_EQ(AboutBoxHeight(TextMetrics{14, 7, 7}), 256);  // 252 rounded up
  OpenAboutBox(&OemFont, 0xD4D0C8);
  EXPECT_EQ(AboutBox.width, 488);
  EXPECT_EQ(AboutBox.height, 216);
  EXPECT_EQ(AboutBox.columns, 61);
  EXPECT_EQ(AboutBox.rows, 27);
  EXPECT_GT(LiveCount(61, 27), 0);  // a fresh random field
  EXPECT_EQ(Field.Generation, 1);
}

TEST_F(About, OpeningFadesThePaletteSuspendsTheTickAndSetsTheEffects) {
  const uint32_t face = 0xD4D0C8;
  uint32_t before[PaletteSize];
  std::copy(View.Palette, View.Palette + PaletteSize, before);
  OpenAboutBox(&OemFont, face);
  for (int i = 0; i < DeadColour; ++i) EXPECT_EQ(View.Palette[i], BlendColour(face, before[i], 220)) << i;
  EXPECT_EQ(View.Palette[DeadColour], face);
  EXPECT_EQ(PixelAt(0, 0), face);
  EXPECT_EQ(PixelAt(511, 383), face);
  EXPECT_TRUE(Schedule.SuspendFlags & SuspendTick);
  EXPECT_TRUE(Settings.flags & FlagDigitalEffect);
  EXPECT_TRUE(Settings.flags & FlagCycleAtReset);
}

TEST_F(About, GenerationsAreAtLeast25MillisecondsApart) {
  OpenAboutBox(&OemFont, 0xD4D0C8);
  Field.ClassicHistory.ResetDeadline = FakeNow + 1000000;
  EXPECT_TRUE(AboutBoxTick());  // the first is due at once
  const int32_t generation = Field.Generation;
  FakeTextReset();
  FakeMetrics = {12, 8, 8};
  for (int paint = 0; paint < 24; ++paint) {
    FakeNow += 1;
    EXPECT_FALSE(AboutBoxTick()) << paint;
  }
  EXPECT_EQ(Field.Generation, generation);
  EXPECT_TRUE(FakeTextOuts.empty());
  FakeNow += 1;
  EXPECT_TRUE(AboutBoxTick());
  EXPECT_EQ(Field.Generation, generation + 1);
  EXPECT_EQ(FakeTextOuts.size(), 6u);
  EXPECT_EQ(FakeTextOuts.front().font, &OemFont);
  EXPECT_EQ(FakeTextOuts.front().y, 48);
}

TEST_F(About, ScheduleSurvivesTheTickCountWrapping) {
  FakeNow = 0xFFFFFFF0u;
  OpenAboutBox(&OemFont, 0xD4D0C8);
  EXPECT_TRUE(AboutBoxTick());
  FakeNow += 24;  // wrapped past zero, 24 ms later
  EXPECT_FALSE(AboutBoxTick());
  FakeNow += 1;
  EXPECT_TRUE(AboutBoxTick());
  // A schedule left far behind by a long-running process is due at once.
  Schedule.NextFrameTime = 0;
  FakeNow = 0x90000000u;
  OpenAboutBox(&OemFont, 0xD4D0C8);
  EXPECT_TRUE(AboutBoxTick());
}

TEST_F(About, CellsAreEightPixelSquaresWithTheDigitalEffect) {
  OpenAboutBox(&OemFont, 0xD4D0C8);
  Field.ClassicHistory.ResetDeadline = FakeNow + 1000000;
  std::memset(Grid.LiveCells, 0, 61 * 27);
  SetCell(3, 2, 61, 27);
  AboutBoxTick();
  const uint32_t live = View.Palette[(0 + ColourOffset()) & 7];
  EXPECT_EQ(PixelAt(24, 16), live);
  EXPECT_EQ(PixelAt(30, 22), live);
  EXPECT_EQ(PixelAt(31, 22), 0xD4D0C8u);  // the dead line of the digital effect
  EXPECT_EQ(PixelAt(30, 23), 0xD4D0C8u);
}

TEST_F(About, ClosingHandsGridAndColoursBack) {
  uint32_t before[PaletteSize];
  std::copy(View.Palette, View.Palette + PaletteSize, before);
  Settings.mode = ModeClassic;
  Settings.cscale = 4;
  View.ClientWidth = 500;
  View.ClientHeight = 300;
  OpenAboutBox(&OemFont, 0xD4D0C8);
  CloseAboutBox();
  EXPECT_FALSE(Schedule.SuspendFlags & SuspendTick);
  EXPECT_TRUE(std::equal(View.Palette, View.Palette + PaletteSize, before));
  EXPECT_EQ(PixelAt(100, 100), View.Palette[DeadColour]);
  // The grid is laid out for the saver's 16-pixel cells: 32 x 19.
  EXPECT_GT(LiveCount(32, 19), 0);
  EXPECT_EQ(Field.Generation, 1);
  // Opening again fades the same colours.
  OpenAboutBox(&OemFont, 0xD4D0C8);
  uint32_t second[PaletteSize];
  std::copy(View.Palette, View.Palette + PaletteSize, second);
  CloseAboutBox();
  OpenAboutBox(&OemFont, 0xD4D0C8);
  EXPECT_TRUE(std::equal(View.Palette, View.Palette + PaletteSize, second));
}

TEST_F(About, RelayoutFollowsTheCurrentLayout) {
  View.ClientWidth = 1000;
  View.ClientHeight = 700;
  Settings.mode = ModeClassic;
  Settings.cscale = 3;
  RelayoutGrid();
  const FrameLayout layout = CurrentLayout();
  EXPECT_EQ(layout.columns, 125);
  EXPECT_EQ(layout.rows, 88);
  EXPECT_GT(LiveCount(125, 88), 0);
}

TEST_F(About, BoxLargerThanTheSurfaceIsClipped) {
  // A large system font: 20 x 40 pixels make a 1224 x 720 box on a 320 x 230
  // surface; the grid covers only the surface and fits the buffer.
  ResetEngineState(320 * 230, 320, 230);
  BuildPalette();
  FakeMetrics = {40, 20, 20};
  OpenAboutBox(&OemFont, 0xD4D0C8);
  EXPECT_EQ(AboutBox.width, 1224);
  EXPECT_EQ(AboutBox.height, 720);
  EXPECT_EQ(AboutBox.columns, 40);
  EXPECT_EQ(AboutBox.rows, 29);  // 230 pixels: the last row partly shown
  EXPECT_TRUE(GridFits(AboutBox.columns, AboutBox.rows));
  for (int k = 0; k < 5; ++k) {
    FakeNow += 25;
    EXPECT_TRUE(AboutBoxTick());
  }
  EXPECT_EQ(FakeTextOuts.back().text, "[PRESS A BUTTON]");
}

TEST_F(About, GridNeverOutgrowsASmallCellBuffer) {
  ResetEngineState(100, 512, 384);  // a buffer far smaller than the surface
  FakeMetrics = {12, 8, 8};
  OpenAboutBox(&OemFont, 0xD4D0C8);
  EXPECT_EQ(AboutBox.columns, 61);
  EXPECT_EQ(AboutBox.rows, 1);
  EXPECT_TRUE(GridFits(AboutBox.columns, AboutBox.rows));
  FakeNow += 25;
  EXPECT_TRUE(AboutBoxTick());
}

TEST_F(About, WithoutASurfaceNothingIsDrawn) {
  ResetEngineState(64);
  OpenAboutBox(&OemFont, 0xD4D0C8);
  EXPECT_EQ(AboutBox.columns, 0);
  EXPECT_TRUE(AboutBoxTick());
  EXPECT_TRUE(FakeTextOuts.empty());
  CloseAboutBox();
  EXPECT_FALSE(Schedule.SuspendFlags & SuspendTick);
}

// ---- Keyboard --------------------------------------------------------------------

FocusSpot Spot(bool onTabs, bool inPage, bool first, bool last, bool afterTabs, bool stops = true) {
  return FocusSpot{onTabs, inPage, first, last, afterTabs, stops};
}

TEST(Keyboard, TabCrossesBetweenTabControlPageAndDialog) {
  const FocusSpot tabs = Spot(true, false, false, false, false);
  const FocusSpot firstOfPage = Spot(false, true, true, false, false);
  const FocusSpot lastOfPage = Spot(false, true, false, true, false);
  const FocusSpot onlyOfPage = Spot(false, true, true, true, false);
  const FocusSpot middleOfPage = Spot(false, true, false, false, false);
  const FocusSpot after = Spot(false, false, false, false, true);
  const FocusSpot elsewhere = Spot(false, false, false, false, false);
  EXPECT_EQ(SettingsKeyMove(KeyTab, false, false, tabs), KeyToPageFirst);
  EXPECT_EQ(SettingsKeyMove(KeyTab, false, false, lastOfPage), KeyToAfterTabs);
  EXPECT_EQ(SettingsKeyMove(KeyTab, false, false, onlyOfPage), KeyToAfterTabs);
  EXPECT_EQ(SettingsKeyMove(KeyTab, true, false, firstOfPage), KeyToTabs);
  EXPECT_EQ(SettingsKeyMove(KeyTab, true, false, onlyOfPage), KeyToTabs);
  EXPECT_EQ(SettingsKeyMove(KeyTab, true, false, after), KeyToPageLast);
  // Within the page, within the dialog and the other way at each border:
  // the dialog manager's own walk.
  for (bool shift : {false, true}) {
    EXPECT_EQ(SettingsKeyMove(KeyTab, shift, false, middleOfPage), KeyNative);
    EXPECT_EQ(SettingsKeyMove(KeyTab, shift, false, elsewhere), KeyNative);
  }
  EXPECT_EQ(SettingsKeyMove(KeyTab, true, false, tabs), KeyNative);
  EXPECT_EQ(SettingsKeyMove(KeyTab, false, false, firstOfPage), KeyNative);
  EXPECT_EQ(SettingsKeyMove(KeyTab, true, false, lastOfPage), KeyNative);
  EXPECT_EQ(SettingsKeyMove(KeyTab, false, false, after), KeyNative);
  // A page without tab stops is passed over.
  EXPECT_EQ(SettingsKeyMove(KeyTab, false, false, Spot(true, false, false, false, false, false)), KeyNative);
  EXPECT_EQ(SettingsKeyMove(KeyTab, true, false, Spot(false, false, false, false, true, false)), KeyNative);
}

TEST(Keyboard, ControlKeysSwitchPagesWhereverTheFocusIs) {
  for (const FocusSpot& spot :
       {Spot(true, false, false, false, false), Spot(false, true, true, false, false), Spot(false, false, false, false, false)}) {
    EXPECT_EQ(SettingsKeyMove(KeyTab, false, true, spot), KeyNextPage);
    EXPECT_EQ(SettingsKeyMove(KeyTab, true, true, spot), KeyPreviousPage);
    EXPECT_EQ(SettingsKeyMove(KeyPageDown, false, true, spot), KeyNextPage);
    EXPECT_EQ(SettingsKeyMove(KeyPageUp, false, true, spot), KeyPreviousPage);
    // Without Ctrl, Page Down and Page Up are the controls' own.
    EXPECT_EQ(SettingsKeyMove(KeyPageDown, false, false, spot), KeyNative);
    EXPECT_EQ(SettingsKeyMove('A', false, true, spot), KeyNative);
  }
}

TEST(Keyboard, AKeyHeldWhenTheAboutBoxOpensDoesNotCloseItOnRelease) {
  uint8_t state[256] = {};
  state[0x0D] = 0x80;  // Enter, which opened the box
  state[0x14] = 0x01;  // Caps Lock toggled, not down
  NoteKeysHeldAtOpen(state);
  EXPECT_FALSE(AboutKeyReleaseCloses(0x0D));
  // Once let go, the key counts again; so does one pressed in the box.
  EXPECT_TRUE(AboutKeyReleaseCloses(0x0D));
  EXPECT_TRUE(AboutKeyReleaseCloses(0x14));
  EXPECT_TRUE(AboutKeyReleaseCloses(' '));
  NoteKeysHeldAtOpen(state);
  NoteAboutKeyDown(0x0D);
  EXPECT_TRUE(AboutKeyReleaseCloses(0x0D));
  // A fresh opening forgets the keys of the last one.
  state[0x0D] = 0;
  NoteKeysHeldAtOpen(state);
  EXPECT_TRUE(AboutKeyReleaseCloses(0x0D));
  EXPECT_TRUE(AboutKeyReleaseCloses(1000));
  NoteAboutKeyDown(1000);
}

}  // namespace
