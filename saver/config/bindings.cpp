// The settings dialog's portable half: the binding table and its walk, the
// value rules of the binding kinds, the check boxes' enabling rules, and
// Randomize and Undo of the neighbour colours.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "config/config.h"
#include "platform/chars.h"
#include "engine/engine.h"
#include "loop/loop.h"

// ---- Control bindings ------------------------------------------------------------

// param3 of a spin edit whose every step is a fresh generator number.
static const int32_t RandomSpinStep = 0;

// SettingOfControl takes the setting of value control k as word k - 101 of
// the record; the record is laid out for it.
#define EDITS(id, member)                                                                          \
  static_assert(offsetof(SaverSettings, member) == static_cast<size_t>(WordOffsetOfControl(id)), \
                "control " #id " does not edit " #member)
EDITS(IdInfoForeground, inf);
EDITS(IdPopulationForeground, pop);
EDITS(IdGenerationForeground, gen);
EDITS(IdFpsForeground, fps);
EDITS(IdInfoBackground, binf);
EDITS(IdPopulationBackground, bpop);
EDITS(IdGenerationBackground, bgen);
EDITS(IdFpsBackground, bfps);
EDITS(IdSeed, seed);
EDITS(IdDelay, delay);
EDITS(IdReset, reset);
EDITS(IdModeTabs, mode);
EDITS(IdAnimatedScale, ascale);
EDITS(IdFrameSkip, fskip);
EDITS(IdLifefaceList, face);
EDITS(IdClassicScale, cscale);
EDITS(IdNeighbourColour0, n);
EDITS(IdClearColour, n[9]);
EDITS(IdCycle, cycle);
#undef EDITS
static_assert(sizeof(SaverSettings::n) == static_cast<size_t>(IdClearColour - IdNeighbourColour0 + 1) * 4,
              "one colour list per element of n");

// A spin edit's range and a scale list's items are those its setting's row
// offers.
constexpr int32_t LowOf(int32_t id) { return OfferedLow(SettingsTable[SettingRowOfControl(id)]); }
constexpr int32_t HighOf(int32_t id) { return OfferedHigh(SettingsTable[SettingRowOfControl(id)]); }

#define COLOUR(id) {id, ColourList, 0, 0, 0}
#define SPIN(id, step) {id, SpinEdit, LowOf(id), HighOf(id), step}
#define SCALE(id) {id, ScaleList, HighOf(id) - LowOf(id) + 1, 0, 0}
#define CHECK(id) {id, FlagCheck, 0, 0, 0}
#define CHOICE(id) {id, ChoiceList, HighOf(id) - LowOf(id) + 1, 0, 0}
#define NONE(id) {id, NoKind, 0, 0, 0}
#define VALUE_CHECK(id) {id, ValueCheck, 0, 0, 0}

constexpr ControlBinding ControlBindings[BindingCount] = {
    COLOUR(IdInfoForeground), COLOUR(IdPopulationForeground), COLOUR(IdGenerationForeground),
    COLOUR(IdFpsForeground), COLOUR(IdInfoBackground), COLOUR(IdPopulationBackground),
    COLOUR(IdGenerationBackground), COLOUR(IdFpsBackground),
    SPIN(IdSeed, RandomSpinStep),
    SPIN(IdDelay, 10),
    SPIN(IdReset, 1000),
    {IdModeTabs, ModeTabs, 0, 0, 0},
    SCALE(IdAnimatedScale),
    {IdFrameSkip, InactiveList, 0, 0, 0},
    {IdLifefaceList, LifefaceList, 0, 0, 0},
    SCALE(IdClassicScale),
    COLOUR(IdNeighbourColour0), COLOUR(IdNeighbourColour1), COLOUR(IdNeighbourColour2), COLOUR(IdNeighbourColour3),
    COLOUR(IdNeighbourColour4), COLOUR(IdNeighbourColour5), COLOUR(IdNeighbourColour6), COLOUR(IdNeighbourColour7),
    COLOUR(IdNeighbourColour8), COLOUR(IdClearColour),
    SPIN(IdCycle, 1000),
    NONE(AnimatedPageId), NONE(ClassicPageId), NONE(AboutBoxId),
    // Check boxes and radio buttons: one flags bit each.
    CHECK(IdPrintInfo), CHECK(IdPrintPopulation), CHECK(IdPrintGeneration), CHECK(IdPrintFps), CHECK(IdArbitrary),
    CHECK(IdSpecific), CHECK(IdRandomLifeface), CHECK(IdDigitalEffect), CHECK(IdCycleAtReset),
    NONE(IdLifefaceGroup), NONE(IdBitmapLabel), NONE(IdAuthorLabel), NONE(IdCommentLabel),
    NONE(IdAbout), NONE(IdRandomize), NONE(IdUndo), NONE(DialogIconId), NONE(148), NONE(149),
    {IdRuleList, RuleList, 0, 0, 0},
    {IdRuleText, RuleText, 0, 0, 0},
    {IdDrawRule, RulesCheck, 0, 0, 0},
    CHOICE(IdStartWith),
    SPIN(IdFade, 1),
    NONE(IdFadeSpin),  // steps IdFade
    VALUE_CHECK(IdColourByAge),
    VALUE_CHECK(IdPlane),
    SPIN(IdStep, 1),
    NONE(IdStepSpin),  // steps IdStep
    VALUE_CHECK(IdHyper),
    SPIN(IdLongest, 10),
    NONE(IdLongestSpin),  // steps IdLongest
};

#undef COLOUR
#undef SPIN
#undef SCALE
#undef CHECK
#undef CHOICE
#undef NONE
#undef VALUE_CHECK

// BindingOf finds a row by its place.
constexpr bool BindingsFollowTheirIds() {
  for (int k = 0; k < BindingCount; ++k)
    if (ControlBindings[k].id != FirstBindingId + k) return false;
  return true;
}
static_assert(BindingsFollowTheirIds(), "row k of the binding table binds control 101 + k");

static const int32_t MainIds[] = {
    IdInfoForeground,       IdPopulationForeground, IdGenerationForeground, IdFpsForeground,
    IdInfoBackground,       IdPopulationBackground, IdGenerationBackground, IdFpsBackground,
    IdSeed,                 IdDelay,                IdReset,                IdModeTabs,
    IdPrintInfo,            IdPrintPopulation,      IdPrintGeneration,      IdPrintFps,
    IdArbitrary,            IdSpecific,             IdRuleList,             IdRuleText,
    IdDrawRule,             IdStartWith,            IdPlane,                IdStep,
    IdHyper,                IdLongest};
static const int32_t AnimatedIds[] = {IdAnimatedScale, IdFrameSkip, IdLifefaceList, IdRandomLifeface};
static const int32_t ClassicIds[] = {
    IdClassicScale,     IdNeighbourColour0, IdNeighbourColour1, IdNeighbourColour2, IdNeighbourColour3,
    IdNeighbourColour4, IdNeighbourColour5, IdNeighbourColour6, IdNeighbourColour7, IdNeighbourColour8,
    IdClearColour,      IdCycle,            IdDigitalEffect,    IdCycleAtReset,     IdFade,
    IdColourByAge};

const WalkList MainBindings = {MainIds, static_cast<int>(std::size(MainIds))};
const WalkList AnimatedPageBindings = {AnimatedIds, static_cast<int>(std::size(AnimatedIds))};
const WalkList ClassicPageBindings = {ClassicIds, static_cast<int>(std::size(ClassicIds))};

const ControlBinding* BindingOf(int32_t id) {
  if (id < FirstBindingId || id > LastBindingId) return nullptr;
  return &ControlBindings[id - FirstBindingId];
}

int32_t* SettingOfControl(int32_t id) {
  const int32_t offset = SettingOffsetOfControl(id);
  if (offset < 0) return nullptr;
  return reinterpret_cast<int32_t*>(reinterpret_cast<char*>(&Settings) + offset);
}

uint32_t FlagBitOfControl(int32_t id) {
  if (id < IdFirstFlag || id > IdCycleAtReset) return 0;
  return 1u << (id - IdFirstFlag);
}

void WalkBindings(WindowHandle parent, const WalkList& list, int32_t phase,
                  const BindingKindFunction (&kinds)[BindingKindCount]) {
  if (phase != Load && phase != Store) return;
  for (int k = 0; k < list.count; ++k) {
    const ControlBinding* row = BindingOf(list.ids[k]);
    if (row == nullptr || row->kind <= NoKind || row->kind >= BindingKindCount) continue;
    if (kinds[row->kind] != nullptr) kinds[row->kind](parent, *row, phase);
  }
}

// ---- Enabling rules ----------------------------------------------------------------

// An overlay line's colours while it is printed; the seed while a specific
// one is chosen (a click on either radio button re-reads "Specific"); the
// lifeface list and the cycling time while nothing random replaces them.
// The rule's list and text while no rule is drawn in their place; the step
// while hyperspeed does not set it.
const EnableRule EnableRules[] = {
    {IdPrintInfo, {IdInfoForeground, IdInfoBackground}, true},
    {IdPrintPopulation, {IdPopulationForeground, IdPopulationBackground}, true},
    {IdPrintGeneration, {IdGenerationForeground, IdGenerationBackground}, true},
    {IdPrintFps, {IdFpsForeground, IdFpsBackground}, true},
    {IdSpecific, {IdSeed, 0}, true},
    {IdRandomLifeface, {IdLifefaceList, 0}, false},
    {IdCycleAtReset, {IdCycle, 0}, false},
    {IdDrawRule, {IdRuleList, IdRuleText}, false},
    {IdHyper, {IdStep, 0}, false},
};
const int EnableRuleCount = static_cast<int>(std::size(EnableRules));

uint32_t CheckBitOfBox(int32_t id) {
  if (id == IdDrawRule) return DrawRuleChecked;
  return id == IdHyper ? HyperChecked : FlagBitOfControl(id);
}

bool ControlEnabledFor(int32_t id, uint32_t checked) {
  if (id == 0) return true;
  for (const EnableRule& rule : EnableRules) {
    if (rule.controls[0] != id && rule.controls[1] != id) continue;
    const bool boxChecked = (checked & CheckBitOfBox(rule.box)) != 0;
    if (boxChecked != rule.enabledWhenChecked) return false;
  }
  return true;
}

// ---- Value rules -------------------------------------------------------------------

int32_t ListSelectionFor(int32_t setting, int32_t itemCount) {
  return setting >= 0 && setting < itemCount ? setting : -1;
}

int32_t StoredListIndex(int32_t selected, int32_t current, int32_t itemCount, int32_t fallback) {
  if (selected >= 0 && selected < itemCount) return selected;
  if (current >= 0 && current < itemCount) return current;
  return fallback;
}

int32_t DefaultOfControl(int32_t id) {
  const int32_t offset = SettingOffsetOfControl(id);
  if (offset < 0) return 0;
  int32_t value;
  std::memcpy(&value, reinterpret_cast<const char*>(&DefaultSettings) + offset, sizeof value);
  return value;
}

int32_t TabOfMode(int32_t mode) { return mode == ModeAnimated ? 0 : 1; }

int32_t ModeOfTab(int32_t tab, int32_t current) { return tab == 0 || tab == 1 ? tab : current; }

int32_t SpinTextValue(const char* text) {
  int i = 0;
  while (i < SpinTextLimit && text[i] != '\0' && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < SpinTextLimit && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint32_t value = 0;
  for (; i < SpinTextLimit && IsDigit(text[i]); ++i) value = value * 10u + (text[i] - '0');
  return static_cast<int32_t>(negative ? 0u - value : value);
}

int32_t ScaleSpinDelta(int32_t delta, int32_t multiplier) {
  int64_t step = static_cast<int64_t>(delta) * multiplier;
  return static_cast<int32_t>(std::clamp<int64_t>(step, INT_MIN, INT_MAX));
}

int32_t SpinStepMultiplier(const ControlBinding& row) {
  return row.param3 == RandomSpinStep ? LcgNext() : row.param3;
}

// Spin edits whose up-down has an id of its own.
static const struct {
  int32_t edit;
  int32_t upDown;
} OwnUpDowns[] = {{IdFade, IdFadeSpin}, {IdStep, IdStepSpin}, {IdLongest, IdLongestSpin}};

int32_t UpDownOfEdit(int32_t edit) {
  for (const auto& pair : OwnUpDowns)
    if (pair.edit == edit) return pair.upDown;
  return edit;
}

int32_t EditOfUpDown(int32_t upDown) {
  for (const auto& pair : OwnUpDowns)
    if (pair.upDown == upDown) return pair.edit;
  return upDown;
}

// What a new field starts from, in the order of StartSoup, StartPatterns and
// StartAlternate.
static const char* const StartChoices[] = {"a random field", "a pattern", "the two in turn"};
static_assert(LowOf(IdStartWith) == 0 && std::size(StartChoices) == HighOf(IdStartWith) + 1,
              "item k shows start k, one text for each value the row offers");

const char* ChoiceText(int32_t id, int32_t item) {
  if (id != IdStartWith || item < 0 || item >= static_cast<int32_t>(std::size(StartChoices))) return nullptr;
  return StartChoices[item];
}

int32_t StoredSeed(int32_t typed, uint32_t flags) {
  const bool arbitrary = (flags & FlagSeedArbitrary) != 0 && (flags & FlagSeedSpecific) == 0;
  return arbitrary ? 0 : typed;
}

int32_t StoredFace(int32_t selected, int32_t face, int32_t recordCount) {
  if (recordCount <= 0) return face;
  if (selected >= 0 && selected < recordCount) return selected;
  if (face >= 0 && face < recordCount) return face;
  return 0;
}

void StoreLifefaceChoice(WindowHandle, int32_t selected) {
  // Nothing to choose from: face stays as loaded, and whatever reads it
  // checks it against the catalogue.
  if (LifefaceCatalogue.count <= 0) return;
  const int32_t choice = StoredFace(selected, Settings.face, LifefaceCatalogue.count);
  if (choice == Settings.face && LifefaceSurface != nullptr) return;
  Settings.face = choice;
  UseLifeface();
}

void FormatLifefaceInfo(const LifefaceRecord& record, LifefaceInfoTexts* texts) {
  std::snprintf(texts->group, sizeof texts->group, "%.79s Information", record.name);
  std::snprintf(texts->bitmap, sizeof texts->bitmap, "Bitmap image: %.79s", record.bmp);
  std::snprintf(texts->author, sizeof texts->author, "Author: %.79s", record.author);
  std::snprintf(texts->comment, sizeof texts->comment, "Comment: %.79s", record.comment);
}

// ---- The rule of the field ----------------------------------------------------------

static_assert(sizeof(SaverSettings::rule) == RuleTextSize, "the settings hold the longest rule text");

static const char CustomRuleItem[] = "Custom";

// The families of rules the list offers a few names of, beside every
// Life-like name.
enum RuleFamily { FamilyLifeLike, FamilyGenerations, FamilyNonTotalistic, FamilyHexagonal, FamilyVonNeumann,
                  FamilyLarger, RuleFamilyCount };
const int RuleListPerFamily = 4;
const int NamedLifeRuleLimit = 40;  // room for every Life-like name

static RuleFamily FamilyOf(const CellRule& rule) {
  if (rule.kind == RuleLarger) return FamilyLarger;
  if (rule.neighbours == NeighboursHexagonal) return FamilyHexagonal;
  if (rule.neighbours == NeighboursVonNeumann) return FamilyVonNeumann;
  if (rule.kind == RuleMapped && !rule.totalistic) return FamilyNonTotalistic;
  return rule.states > 2 ? FamilyGenerations : FamilyLifeLike;
}

// The parse of a text up to its terminator or limit, whichever comes first.
static RuleError ParseRuleText(const char* text, size_t limit, CellRule* rule) {
  return ParseRule(text, strnlen(text, limit), rule);
}

// The named rules the list offers, made once: the Life-like ones, then up to
// RuleListPerFamily of each other family, in the order of the tables.
struct RuleListItem {
  const char* name;
  CellRule rule;
};
struct RuleListState {
  bool made;
  int32_t count;
  RuleListItem items[NamedLifeRuleLimit + RuleListPerFamily * RuleFamilyCount];
};
static RuleListState RuleListItems = {};

static const RuleListState& RuleListMade() {
  RuleListState& list = RuleListItems;
  if (list.made) return list;
  list.made = true;
  for (int k = 0; k < NamedLifeRuleCount && list.count < NamedLifeRuleLimit; ++k)
    list.items[list.count++] = {NamedLifeRules[k].name, CellRuleOf(NamedLifeRules[k].rule)};
  int taken[RuleFamilyCount] = {};
  for (int k = 0; k < NamedRuleCount; ++k) {
    CellRule rule;
    if (ParseRuleText(NamedRules[k].text, RuleTextSize, &rule) != RuleOk) continue;
    const RuleFamily family = FamilyOf(rule);
    if (family == FamilyLifeLike || taken[family] >= RuleListPerFamily) continue;
    ++taken[family];
    list.items[list.count++] = {NamedRules[k].name, rule};
  }
  return list;
}

int32_t RuleListItemCount() { return RuleListMade().count + 1; }

int32_t RuleListCustomItem() { return RuleListMade().count; }

const char* RuleListItemText(int32_t item) {
  const RuleListState& list = RuleListMade();
  if (item >= 0 && item < list.count) return list.items[item].name;
  return item == list.count ? CustomRuleItem : nullptr;
}

int32_t RuleListItemOf(const CellRule& rule) {
  // A named rule on a grid of its own is still that rule.
  CellRule unbounded = rule;
  unbounded.grid = RuleGrid{};
  const RuleListState& list = RuleListMade();
  for (int32_t k = 0; k < list.count; ++k)
    if (SameCellRule(list.items[k].rule, unbounded)) return k;
  return list.count;
}

int32_t RuleListItemForText(const char* text) {
  CellRule rule;
  return ParseRuleText(text, RuleEditLimit, &rule) == RuleOk ? RuleListItemOf(rule) : RuleListCustomItem();
}

bool RuleTextOfItem(int32_t item, char* text, size_t size) {
  const RuleListState& list = RuleListMade();
  if (item < 0 || item >= list.count) return false;
  FormatRule(list.items[item].rule, text, size);
  return true;
}

CellRule ShownRule(const SaverSettings& settings) { return StoredRule(settings); }

RuleError RuleTextRefusal(const char* text, bool drawn) {
  if (drawn) return RuleOk;
  CellRule rule;
  return ParseRuleText(text, RuleEditLimit, &rule);
}

RuleError StoreRuleText(const char* text, SaverSettings* settings) {
  CellRule rule;
  const RuleError error = ParseRuleText(text, RuleEditLimit, &rule);
  if (error != RuleOk) return error;
  char canonical[RuleTextSize];
  FormatRule(rule, canonical, sizeof canonical);
  std::memset(settings->rule, 0, sizeof settings->rule);
  std::memcpy(settings->rule, canonical, strnlen(canonical, sizeof settings->rule - 1));
  LifeRule life;
  if (IsLifeLike(rule, &life)) {
    settings->birth = life.birth;
    settings->survive = life.survive;
  }
  return RuleOk;
}

void FormatRuleRefusal(const char* text, RuleError error, char* message, size_t size) {
  if (size == 0) return;
  char reason[256];
  FormatRuleRefusalReason(text, strnlen(text, RuleEditLimit), error, reason, sizeof reason);
  std::snprintf(message, size, "\"%.40s%s\" cannot be run: %s.", text, strnlen(text, 41) > 40 ? "..." : "", reason);
}

// ---- Randomize and Undo --------------------------------------------------------------

int32_t UndoColours[NeighbourColourLists] = {};

void RandomizeColours(int32_t selected[NeighbourColourLists]) {
  std::memcpy(UndoColours, selected, sizeof UndoColours);
  int32_t w[NeighbourColourLists];
  std::memcpy(w, UndoColours, sizeof w);
  for (int i = 0; i < NeighbourColourLists; ++i) std::swap(w[i], w[LcgNext() % NeighbourColourLists]);
  std::memcpy(selected, w, sizeof w);
}

void UndoColourChoice(int32_t selected[NeighbourColourLists]) {
  std::memcpy(selected, UndoColours, sizeof UndoColours);
}
