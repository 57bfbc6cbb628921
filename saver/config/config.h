// Configuration UI: the "Life Settings" dialog with its two tab pages and the
// About box. Everything here is portable; the dialog procedures themselves are
// declared in config/config_win32.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "config/ids.h"
#include "engine/rule.h"
#include "lifeface/lifeface.h"
#include "platform/platform.h"
#include "settings/settings.h"

// ---- Resource and control ids (config/ids.h) ------------------------------------

const int32_t IdFirstNeighbourColour = IdNeighbourColour0;  // N = 0 .. N = 8, then "Clear:"
const int32_t IdFirstFlag = IdPrintInfo;                    // 131 + b owns flags bit b

// ---- Control bindings ------------------------------------------------------------

enum BindPhase : int32_t { Load = 0, Store = 1 };

// What a bound control is; the Windows side keeps one function per kind in a
// table indexed by this value.
enum BindingKind : int32_t {
  NoKind = 0,
  ColourList,
  SpinEdit,
  ModeTabs,
  FlagCheck,
  ScaleList,
  InactiveList,
  LifefaceList,
  RuleList,    // the named rules and "Custom"; stores nothing, the text is the rule
  RuleText,    // the rule as text: birth and survive
  RulesCheck,  // the box of rules: RulesDrawn while checked
  ChoiceList,  // a list of texts, one per value its setting's row offers
  ValueCheck,  // a check box that edits a number: 1 while checked, 0 not
  BindingKindCount,
};

struct ControlBinding {
  int32_t id;
  BindingKind kind;
  int32_t param1;
  int32_t param2;
  int32_t param3;
};

const int32_t FirstBindingId = IdInfoForeground;
const int32_t LastBindingId = IdLongestSpin;
const int BindingCount = LastBindingId - FirstBindingId + 1;
// Row k binds control id 101 + k; ids that bind nothing have rows too.
extern const ControlBinding ControlBindings[BindingCount];

// Value controls edit one 32-bit word of the settings record each: control k
// word k - 101, from inf (101) to cycle (127).
const int32_t FirstValueId = IdInfoForeground;
const int32_t LastValueId = IdCycle;
constexpr int32_t WordOffsetOfControl(int32_t id) { return (id - FirstValueId) * 4; }
// Value controls added since edit members after that run; each names the
// key of its setting's row, which gives its member, its default and the
// values it offers.
struct AddedValueControl {
  int32_t id;
  const char* key;
};
inline constexpr AddedValueControl AddedValueControls[] = {
    {IdStartWith, "start"}, {IdFade, "fade"},       {IdColourByAge, "age"}, {IdPlane, "plane"},
    {IdStep, "step"},       {IdHyper, "hyper"},     {IdLongest, "longest"},
};
// The byte offset of the member a value control edits; -1 for any other id.
constexpr int32_t SettingOffsetOfControl(int32_t id) {
  if (id >= FirstValueId && id <= LastValueId) return WordOffsetOfControl(id);
  for (const AddedValueControl& control : AddedValueControls)
    if (control.id == id) return SettingsTable[SettingRowOf(control.key)].offset;
  return -1;
}
// The number of the settings row whose member a value control edits; -1
// for any other id.
constexpr int SettingRowOfControl(int32_t id) {
  return SettingOffsetOfControl(id) >= 0 ? SettingRowAt(SettingOffsetOfControl(id)) : -1;
}

struct WalkList {
  const int32_t* ids;
  int count;
};
extern const WalkList MainBindings;
extern const WalkList AnimatedPageBindings;
extern const WalkList ClassicPageBindings;

// The row of a control id, or null outside 101..156.
const ControlBinding* BindingOf(int32_t id);
// The 32-bit setting of a value control (101..127 and the added ones). Null
// for any other id.
int32_t* SettingOfControl(int32_t id);
// The flags bit owned by a check box or radio button (131..139); 0 otherwise.
uint32_t FlagBitOfControl(int32_t id);

typedef void (*BindingKindFunction)(WindowHandle parent, const ControlBinding& row, int32_t phase);
// Visits the ids of a walk list in order and calls the function of each row's
// kind. Ids without a kind, and phases other than Load and Store, do nothing.
void WalkBindings(WindowHandle parent, const WalkList& list, int32_t phase,
                  const BindingKindFunction (&kinds)[BindingKindCount]);

// ---- Check boxes that enable other controls ------------------------------------------

// A check box or radio button and the controls it governs: enabled while it
// is checked, or while it is not. The dialog applies these when it loads a
// box and whenever a box is clicked. The boxes' check states travel as bits:
// bit b for box 131 + b, as in flags, DrawRuleChecked for the box that
// draws the rules and HyperChecked for hyperspeed's.
struct EnableRule {
  int32_t box;
  int32_t controls[2];  // 0: none
  bool enabledWhenChecked;
};
extern const EnableRule EnableRules[];
extern const int EnableRuleCount;
const uint32_t DrawRuleChecked = 1u << 9;  // the first bit after the flags boxes
const uint32_t HyperChecked = 1u << 10;
// The bit of a box's check state; 0 for a control that is no such box.
uint32_t CheckBitOfBox(int32_t id);
// Whether the rules leave a control enabled when the boxes are checked as
// the bits of checked say. A control no rule governs is left as it is: true.
bool ControlEnabledFor(int32_t id, uint32_t checked);

// ---- Value rules of the kinds ------------------------------------------------------

// The list item to select for a stored index: the index itself when the list
// has it, else -1 (no selection).
int32_t ListSelectionFor(int32_t setting, int32_t itemCount);
// What OK stores from a list of itemCount items: the selected item; with no
// usable selection the current value when the list could show it, else the
// fallback. Never an index the list does not offer.
int32_t StoredListIndex(int32_t selected, int32_t current, int32_t itemCount, int32_t fallback);
// The default of a value control's setting (the fallback of its list).
int32_t DefaultOfControl(int32_t id);
// The tab that shows a stored mode: every mode but Animated runs classic.
int32_t TabOfMode(int32_t mode);
// What OK stores for the selected tab (-1: none, keep the current mode).
int32_t ModeOfTab(int32_t tab, int32_t current);

// A spin edit's text as a number: leading white space, an optional sign and
// decimal digits up to the first other character; no digits give 0. Wraps at
// 32 bits rather than overflowing. At most the first 31 characters count.
int32_t SpinTextValue(const char* text);
const int SpinTextLimit = 31;
// The step an up-down is about to apply, times the multiplier, kept within
// the range of an int.
int32_t ScaleSpinDelta(int32_t delta, int32_t multiplier);
// The multiplier of a spin step: a fresh generator number for the seed, the
// row's param3 otherwise.
int32_t SpinStepMultiplier(const ControlBinding& row);
// The id of a spin edit's up-down: its own where the ids give it one (the
// trails), else the edit's. And back: the edit whose value an up-down's
// notifications step.
int32_t UpDownOfEdit(int32_t edit);
int32_t EditOfUpDown(int32_t upDown);

// The text of item k of a choice list, the one that shows the value k; null
// outside the list.
const char* ChoiceText(int32_t id, int32_t item);
// A check box that edits a number shows any value but 0 checked; OK stores
// 1 or 0.
inline bool ValueCheckShown(int32_t setting) { return setting != 0; }
inline int32_t ValueCheckStored(bool checked) { return checked ? 1 : 0; }

// What OK stores in seed: 0 when "Arbitrary" is the choice, so that the
// saver seeds from the clock as that choice promises; the typed seed else.
int32_t StoredSeed(int32_t typed, uint32_t flags);

// The index OK stores in face: the selected record, or, with no valid
// selection, the loaded face when it names a record, else 0. An empty
// catalogue keeps face as loaded.
int32_t StoredFace(int32_t selected, int32_t face, int32_t recordCount);
// The lifeface list's Store: sets face and loads its picture when the choice
// differs from what is loaded.
void StoreLifefaceChoice(WindowHandle page, int32_t selected);

// The four information texts of a lifeface record.
struct LifefaceInfoTexts {
  char group[256];
  char bitmap[256];
  char author[256];
  char comment[256];
};
void FormatLifefaceInfo(const LifefaceRecord& record, LifefaceInfoTexts* texts);

// ---- The rule of the field ----------------------------------------------------------

// The rule list offers the named rules of every family in table order, then
// "Custom" for any other rule.
int32_t RuleListItemCount();
int32_t RuleListCustomItem();
// An item's text; null outside the list.
const char* RuleListItemText(int32_t item);
// The item of a rule: its name's, else "Custom".
int32_t RuleListItemOf(const CellRule& rule);
// The item that follows text typed as the rule: the named rule the text
// reads as, else "Custom" (for a text that is no rule too).
int32_t RuleListItemForText(const char* text);
// The rule text that an item chosen in the list puts in the edit: the named
// rule's canonical text. False for "Custom" and anything else, which leave
// the edit's text as it is.
bool RuleTextOfItem(int32_t item, char* text, size_t size);
// The rule stored settings run: the rule text where it reads as a rule,
// else birth and survive when they can run, else Conway's.
CellRule ShownRule(const SaverSettings& settings);
// Why OK cannot take the rule text, or RuleOk. While a rule is drawn for
// each field the greyed text is not in use, and nothing stops OK.
RuleError RuleTextRefusal(const char* text, bool drawn);
// The rule text's Store: the canonical text of the rule it reads as goes
// into the rule text, and a Life-like rule into birth and survive too, so
// that an older version runs it; a refused text leaves them all as they
// are. Returns what reading it gave.
RuleError StoreRuleText(const char* text, SaverSettings* settings);
// The message of a refused rule text: the text (at most its first 40
// characters) and the reader's reason.
void FormatRuleRefusal(const char* text, RuleError error, char* message, size_t size);
// The edit's text is read up to this many characters: enough that a longer
// one is refused as too long.
const size_t RuleEditLimit = RuleTextLimit + 1;

// ---- Neighbour colours: Randomize and Undo --------------------------------------------

const int NeighbourColourLists = 10;
// The assignment before the latest Randomize; all 0 at start.
extern int32_t UndoColours[NeighbourColourLists];
// Permutes the ten selected indexes in place, keeping the old ones for Undo.
void RandomizeColours(int32_t selected[NeighbourColourLists]);
// The assignment before the latest Randomize.
void UndoColourChoice(int32_t selected[NeighbourColourLists]);

// ---- Keyboard ------------------------------------------------------------------------

// Virtual-key codes the keyboard rules look at (those of the platform).
const uint32_t KeyTab = 0x09;
const uint32_t KeyPageUp = 0x21;
const uint32_t KeyPageDown = 0x22;

// Where the focus is, as far as the walk across the tab control and its
// shown page goes. The tab order runs: the controls before the tab control,
// the tab control, the page's tab stops, the dialog's tab stop after the tab
// control, and on.
struct FocusSpot {
  bool onTabs;        // the tab control itself
  bool inPage;        // a control of the shown page
  bool pageFirst;     // the page's first tab stop
  bool pageLast;      // the page's last tab stop
  bool afterTabs;     // the dialog's tab stop right after the tab control
  bool pageHasStops;  // the shown page has a tab stop at all
};

enum KeyMove : int32_t {
  KeyNative,        // left to the platform's dialog manager
  KeyNextPage,      // show the next page
  KeyPreviousPage,  // show the previous page
  KeyToPageFirst,   // focus the page's first tab stop
  KeyToPageLast,    // focus the page's last tab stop
  KeyToTabs,        // focus the tab control
  KeyToAfterTabs,   // focus the dialog's tab stop after the tab control
};

// What a key press in "Life Settings" does beyond the dialog manager's own
// walk, which neither enters the page from the tab control nor leaves it:
// Tab and Shift+Tab cross between tab control, page and dialog; Ctrl+Tab,
// Ctrl+Shift+Tab, Ctrl+Page Down and Ctrl+Page Up switch pages.
KeyMove SettingsKeyMove(uint32_t key, bool shift, bool control, const FocusSpot& spot);

// Keys that were down when the About box opened: the release of such a key
// belongs to the press that opened the box (Enter on "About") and must not
// close it again at once.
struct AboutKeysState {
  uint8_t held[32];  // one bit per virtual-key code
};
extern AboutKeysState AboutKeys;
// keyState: 256 bytes, bit 0x80 set for a key that is down.
void NoteKeysHeldAtOpen(const uint8_t keyState[256]);
// A key pressed while the box is open: its release closes the box.
void NoteAboutKeyDown(uint32_t key);
// Whether the release of key closes the box; a key held at opening is let
// go once without closing it.
bool AboutKeyReleaseCloses(uint32_t key);

// ---- Colour helpers ----------------------------------------------------------------

// Each channel b + floor((a - b) * t / 256); t = 256 gives a, 0 gives b.
uint32_t BlendColour(uint32_t a, uint32_t b, int32_t t);
// A text colour 0x00RRGGBB from the red, green and blue bytes of an escape.
inline uint32_t TextColourOf(uint8_t red, uint8_t green, uint8_t blue) {
  return (static_cast<uint32_t>(red) << 16) | (static_cast<uint32_t>(green) << 8) | static_cast<uint32_t>(blue);
}

// ---- About box -------------------------------------------------------------------

// The credits: lines of text, each ended by LF, with escape sequences ESC 'F'
// r g b (text colour), ESC 'B' r g b (opaque background) and ESC 'T'
// (transparent background). Colour bytes may be 0, so the text carries its
// length; a 0 where a character is due ends it.
extern const uint8_t CreditsText[];
extern const size_t CreditsLength;
const int CreditsColumns = 61;  // characters across the box
const int CreditsRows = 18;     // lines down the box
const int CreditsFirstRow = 4;

// Draws the credits through the platform's text calls: each line centred in a
// field 61 characters of width a wide, the first at y, then one line of
// height h lower each.
void DrawCredits(ContextHandle dc, const uint8_t* text, size_t length, int32_t a, int32_t h, int32_t y);

struct AboutBoxState {
  FontHandle font;   // the fixed-pitch font of the credits
  int32_t width;     // W: the box in pixels, fixed when it opens
  int32_t height;    // H
  int32_t columns;   // the borrowed grid while the box is open
  int32_t rows;
  uint32_t face;     // the dialog face colour, 0x00RRGGBB
};
extern AboutBoxState AboutBox;

const uint32_t AboutGenerationTime = 25;  // milliseconds per generation
const int32_t AboutCellSize = 8;
const int32_t AboutFadeWeight = 220;

// W and H for a font: 61 characters by 18 lines, each rounded up to a
// multiple of 8.
int32_t AboutBoxWidth(const TextMetrics& metrics);
int32_t AboutBoxHeight(const TextMetrics& metrics);

// Opening: size the box from the font, lay a fresh field of 8-pixel cells over
// the part of the box the frame surface holds, fade the palette towards the
// face colour, clear the surface, suspend the saver's frame tick and set the
// digital effect and cycling at reset.
void OpenAboutBox(FontHandle font, uint32_t faceColour);
// One paint message: when a generation is due, draw it and the credits.
// True when a generation was drawn.
bool AboutBoxTick();
// Lays the borrowed grid out again for the saver's own frames.
void RelayoutGrid();
// Closing: grid and colours handed back, the frame tick resumed.
void CloseAboutBox();
