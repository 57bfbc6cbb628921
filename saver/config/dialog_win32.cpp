// The "Life Settings" dialog and its two tab pages: the binding kinds as
// Win32 control operations, the owner-drawn colour swatches, page switching,
// spin steps, the enabling rules applied, Randomize and Undo, the rule's list
// and text following each other, and OK held back by a rule that cannot run.
#include <windows.h>
#include <mmsystem.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "config/config_win32.h"
#include "engine/engine.h"
#include "loop/loop.h"
#include "lifeface/lifeface.h"
#include "render/render.h"
#include "settings/settings.h"

static HWND AsWindow(WindowHandle window) { return static_cast<HWND>(window); }

static HINSTANCE InstanceOf(HWND window) {
  return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

// A spin edit and its up-down control share one id; everything done by id
// means the edit box, whichever of the two the lookup meets first.
static HWND ControlOf(HWND parent, int id) {
  HWND control = GetDlgItem(parent, id);
  char className[32];
  if (control != nullptr && GetClassNameA(control, className, sizeof className) > 0 &&
      lstrcmpiA(className, UPDOWN_CLASSA) == 0) {
    HWND buddy = reinterpret_cast<HWND>(SendMessageA(control, UDM_GETBUDDY, 0, 0));
    if (buddy != nullptr) return buddy;
  }
  return control;
}

static void EnableControl(HWND parent, int id, bool enable) {
  HWND control = ControlOf(parent, id);
  if (control != nullptr) EnableWindow(control, enable ? TRUE : FALSE);
}

static bool IsChecked(HWND parent, int id) { return IsDlgButtonChecked(parent, id) == BST_CHECKED; }

static int32_t SelectedItem(HWND list) { return static_cast<int32_t>(SendMessageA(list, CB_GETCURSEL, 0, 0)); }

static void SelectItem(HWND list, int32_t index) { SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }

// The page window of tab k, kept in the tab item's application value.
static HWND PageOfTab(HWND tabs, int k) {
  TCITEMA item;
  std::memset(&item, 0, sizeof item);
  item.mask = TCIF_PARAM;
  if (k < 0 || !SendMessageA(tabs, TCM_GETITEMA, static_cast<WPARAM>(k), reinterpret_cast<LPARAM>(&item)))
    return nullptr;
  return reinterpret_cast<HWND>(item.lParam);
}

void ShowSelectedPage(HWND tabs) {
  const int selected = static_cast<int>(SendMessageA(tabs, TCM_GETCURSEL, 0, 0));
  HWND shown = PageOfTab(tabs, selected);
  HWND hidden = PageOfTab(tabs, selected == 0 ? 1 : 0);
  if (hidden != nullptr) ShowWindow(hidden, SW_HIDE);
  if (shown != nullptr) ShowWindow(shown, SW_SHOW);
}

// ---- Binding kinds --------------------------------------------------------------------

static void BindColourList(WindowHandle parent, const ControlBinding& row, int32_t phase) {
  HWND list = ControlOf(AsWindow(parent), row.id);
  int32_t* setting = SettingOfControl(row.id);
  if (list == nullptr || setting == nullptr) return;
  if (phase == Load) {
    for (int i = 0; i < ColourTableSize; ++i) {
      const LPARAM colour = static_cast<LPARAM>(SwapRedBlue(Settings.colors[i]));
      const LRESULT index = SendMessageA(list, CB_ADDSTRING, 0, colour);
      if (index >= 0) SendMessageA(list, CB_SETITEMDATA, static_cast<WPARAM>(index), colour);
    }
    SelectItem(list, ListSelectionFor(*setting, ColourTableSize));
  } else {
    *setting = StoredListIndex(SelectedItem(list), *setting, ColourTableSize, DefaultOfControl(row.id));
  }
}

static void BindSpinEdit(WindowHandle parent, const ControlBinding& row, int32_t phase) {
  HWND owner = AsWindow(parent);
  HWND edit = ControlOf(owner, row.id);
  int32_t* setting = SettingOfControl(row.id);
  if (edit == nullptr || setting == nullptr) return;
  if (phase == Load) {
    CreateUpDownControl(WS_CHILD | WS_VISIBLE | WS_BORDER | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_NOTHOUSANDS, 20, 10,
                        50, 50, owner, UpDownOfEdit(row.id), InstanceOf(owner), edit, row.param2, row.param1,
                        *setting);
    // The up-down keeps its position within its range; a value typed
    // outside it earlier is shown as it was stored, so OK keeps it.
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(*setting));
    SetWindowTextA(edit, text);
  } else {
    char text[SpinTextLimit + 1];
    text[0] = '\0';
    GetWindowTextA(edit, text, sizeof text);
    *setting = SpinTextValue(text);
  }
}

// The check state of the boxes the enabling rules read, as their bits.
static uint32_t CheckedBoxes(HWND window) {
  uint32_t checked = 0;
  for (int k = 0; k < EnableRuleCount; ++k)
    if (IsChecked(window, EnableRules[k].box)) checked |= CheckBitOfBox(EnableRules[k].box);
  return checked;
}

// Enables or disables the controls of the rules of box (0: of every box the
// window holds) as the boxes are checked now.
static void ApplyEnableRules(HWND window, int32_t box) {
  const uint32_t checked = CheckedBoxes(window);
  for (int k = 0; k < EnableRuleCount; ++k) {
    const EnableRule& rule = EnableRules[k];
    if (box != 0 ? rule.box != box : GetDlgItem(window, rule.box) == nullptr) continue;
    for (int32_t control : rule.controls)
      if (control != 0) EnableControl(window, control, ControlEnabledFor(control, checked));
  }
}

static void BindFlagCheck(WindowHandle parent, const ControlBinding& row, int32_t phase) {
  HWND owner = AsWindow(parent);
  const uint32_t bit = FlagBitOfControl(row.id);
  if (GetDlgItem(owner, row.id) == nullptr || bit == 0) return;
  if (phase == Load) {
    CheckDlgButton(owner, row.id, (Settings.flags & bit) != 0 ? BST_CHECKED : BST_UNCHECKED);
    ApplyEnableRules(owner, row.id);
  } else if (IsChecked(owner, row.id)) {
    Settings.flags |= bit;
  } else {
    Settings.flags &= ~bit;
  }
}

static void BindScaleList(WindowHandle parent, const ControlBinding& row, int32_t phase) {
  HWND list = ControlOf(AsWindow(parent), row.id);
  int32_t* setting = SettingOfControl(row.id);
  if (list == nullptr || setting == nullptr) return;
  if (phase == Load) {
    for (int i = 0; i < row.param1; ++i) {
      char text[16];
      std::snprintf(text, sizeof text, "%dx", 1 << i);
      const LRESULT index = SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
      if (index >= 0) SendMessageA(list, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(1 << i));
    }
    SelectItem(list, ListSelectionFor(*setting, row.param1));
  } else {
    *setting = StoredListIndex(SelectedItem(list), *setting, row.param1, DefaultOfControl(row.id));
  }
}

static void BindChoiceList(WindowHandle parent, const ControlBinding& row, int32_t phase) {
  HWND list = GetDlgItem(AsWindow(parent), row.id);
  int32_t* setting = SettingOfControl(row.id);
  if (list == nullptr || setting == nullptr) return;
  if (phase == Load) {
    for (int32_t k = 0; k < row.param1; ++k)
      if (const char* text = ChoiceText(row.id, k); text != nullptr)
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SelectItem(list, ListSelectionFor(*setting, row.param1));
  } else {
    *setting = StoredListIndex(SelectedItem(list), *setting, row.param1, DefaultOfControl(row.id));
  }
}

static void BindValueCheck(WindowHandle parent, const ControlBinding& row, int32_t phase) {
  HWND owner = AsWindow(parent);
  int32_t* setting = SettingOfControl(row.id);
  if (GetDlgItem(owner, row.id) == nullptr || setting == nullptr) return;
  if (phase == Load) {
    CheckDlgButton(owner, row.id, ValueCheckShown(*setting) ? BST_CHECKED : BST_UNCHECKED);
    ApplyEnableRules(owner, row.id);
  } else {
    *setting = ValueCheckStored(IsChecked(owner, row.id));
  }
}

static void BindInactiveList(WindowHandle parent, const ControlBinding& row, int32_t phase) {
  if (phase == Load) EnableControl(AsWindow(parent), row.id, false);
}

static void ShowLifefaceInfo(HWND page) {
  HWND list = GetDlgItem(page, IdLifefaceList);
  if (list == nullptr) return;
  const int32_t selected = SelectedItem(list);
  if (selected < 0 || selected >= LifefaceCatalogue.count) return;
  LifefaceInfoTexts texts;
  FormatLifefaceInfo(LifefaceCatalogue.records[selected], &texts);
  SetDlgItemTextA(page, IdLifefaceGroup, texts.group);
  SetDlgItemTextA(page, IdBitmapLabel, texts.bitmap);
  SetDlgItemTextA(page, IdAuthorLabel, texts.author);
  SetDlgItemTextA(page, IdCommentLabel, texts.comment);
}

static void BindLifefaceList(WindowHandle parent, const ControlBinding& row, int32_t phase) {
  HWND page = AsWindow(parent);
  HWND list = GetDlgItem(page, row.id);
  if (list == nullptr) return;
  if (phase == Load) {
    for (int32_t k = 0; k < LifefaceCatalogue.count; ++k) {
      LifefaceRecord* record = &LifefaceCatalogue.records[k];
      const LRESULT index = SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(record->name));
      if (index >= 0) SendMessageA(list, CB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(record));
    }
    SelectItem(list, ListSelectionFor(Settings.face, LifefaceCatalogue.count));
    ShowLifefaceInfo(page);
  } else {
    StoreLifefaceChoice(parent, SelectedItem(list));
  }
}

static void BindRuleList(WindowHandle parent, const ControlBinding& row, int32_t phase) {
  HWND list = GetDlgItem(AsWindow(parent), row.id);
  if (list == nullptr || phase != Load) return;
  for (int32_t k = 0; k < RuleListItemCount(); ++k)
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(RuleListItemText(k)));
  SelectItem(list, RuleListItemOf(ShownRule(Settings)));
}

// The rule edit's text, cut to one character more than any rule.
struct RuleEditText {
  char text[RuleEditLimit + 1];
};
static RuleEditText ReadRuleText(HWND edit) {
  RuleEditText read;
  read.text[0] = '\0';
  GetWindowTextA(edit, read.text, sizeof read.text);
  return read;
}

static void BindRuleText(WindowHandle parent, const ControlBinding& row, int32_t phase) {
  HWND edit = GetDlgItem(AsWindow(parent), row.id);
  if (edit == nullptr) return;
  if (phase == Load) {
    // One character more than any rule: a longer text is refused as such.
    SendMessageA(edit, EM_LIMITTEXT, RuleEditLimit, 0);
    char text[RuleTextSize];
    FormatRule(ShownRule(Settings), text, sizeof text);
    SetWindowTextA(edit, text);
  } else {
    StoreRuleText(ReadRuleText(edit).text, &Settings);
  }
}

static void BindRulesCheck(WindowHandle parent, const ControlBinding& row, int32_t phase) {
  HWND owner = AsWindow(parent);
  if (GetDlgItem(owner, row.id) == nullptr) return;
  if (phase == Load) {
    CheckDlgButton(owner, row.id, Settings.rules == RulesDrawn ? BST_CHECKED : BST_UNCHECKED);
    ApplyEnableRules(owner, row.id);
  } else {
    Settings.rules = IsChecked(owner, row.id) ? RulesDrawn : RulesFixed;
  }
}

// A name chosen in the list puts its rule's text in the edit; a text typed
// there selects the name it reads as, or "Custom".
static void FollowRuleList(HWND dialog) {
  char text[RuleTextSize];
  if (RuleTextOfItem(SelectedItem(GetDlgItem(dialog, IdRuleList)), text, sizeof text))
    SetDlgItemTextA(dialog, IdRuleText, text);
}

static void FollowRuleText(HWND dialog) {
  HWND list = GetDlgItem(dialog, IdRuleList);
  const int32_t item = RuleListItemForText(ReadRuleText(GetDlgItem(dialog, IdRuleText)).text);
  if (SelectedItem(list) != item) SelectItem(list, item);
}

static void BindModeTabs(WindowHandle parent, const ControlBinding& row, int32_t phase);

// Indexed by BindingKind.
static const BindingKindFunction Kinds[BindingKindCount] = {
    nullptr,           // NoKind
    BindColourList,    // ColourList
    BindSpinEdit,      // SpinEdit
    BindModeTabs,      // ModeTabs
    BindFlagCheck,     // FlagCheck
    BindScaleList,     // ScaleList
    BindInactiveList,  // InactiveList
    BindLifefaceList,  // LifefaceList
    BindRuleList,      // RuleList
    BindRuleText,      // RuleText
    BindRulesCheck,    // RulesCheck
    BindChoiceList,    // ChoiceList
    BindValueCheck,    // ValueCheck
};
static_assert(ColourList == 1 && SpinEdit == 2 && ModeTabs == 3 && FlagCheck == 4 && ScaleList == 5 &&
                  InactiveList == 6 && LifefaceList == 7 && RuleList == 8 && RuleText == 9 && RulesCheck == 10 &&
                  ChoiceList == 11 && ValueCheck == 12 && BindingKindCount == 13,
              "the kind functions follow the order of BindingKind");

static const WalkList* const PageBindings[2] = {&AnimatedPageBindings, &ClassicPageBindings};
static const int PageTemplates[2] = {AnimatedPageId, ClassicPageId};
static const char* const PageTitles[2] = {"Animated Mode", "Classic Mode"};

static void WalkPages(HWND tabs, int32_t phase) {
  for (int k = 0; k < 2; ++k) {
    HWND page = PageOfTab(tabs, k);
    if (page != nullptr) WalkBindings(page, *PageBindings[k], phase, Kinds);
  }
}

static void BindModeTabs(WindowHandle parent, const ControlBinding& row, int32_t phase) {
  HWND tabs = GetDlgItem(AsWindow(parent), row.id);
  if (tabs == nullptr) return;
  if (phase == Load) {
    for (int k = 0; k < 2; ++k) {
      HWND page = CreateDialogParamA(InstanceOf(AsWindow(parent)), MAKEINTRESOURCEA(PageTemplates[k]), tabs,
                                     TabPageProc, 0);
      TCITEMA item;
      std::memset(&item, 0, sizeof item);
      item.mask = TCIF_TEXT | TCIF_PARAM;
      item.pszText = const_cast<char*>(PageTitles[k]);
      item.lParam = reinterpret_cast<LPARAM>(page);
      SendMessageA(tabs, TCM_INSERTITEMA, static_cast<WPARAM>(k), reinterpret_cast<LPARAM>(&item));
    }
    SendMessageA(tabs, TCM_SETCURSEL, static_cast<WPARAM>(TabOfMode(Settings.mode)), 0);
    ShowSelectedPage(tabs);
  } else {
    Settings.mode = ModeOfTab(static_cast<int32_t>(SendMessageA(tabs, TCM_GETCURSEL, 0, 0)), Settings.mode);
  }
  WalkPages(tabs, phase);
}

// ---- Shared message handling ----------------------------------------------------------

void DrawColourSwatch(const DRAWITEMSTRUCT* item) {
  if (item->itemID == static_cast<UINT>(-1)) return;
  FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_MENU));
  RECT inner = item->rcItem;
  InflateRect(&inner, -2, -2);
  if (item->itemState & (ODS_GRAYED | ODS_DISABLED)) {
    FillRect(item->hDC, &inner, GetSysColorBrush(COLOR_BTNSHADOW));
    return;
  }
  HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(item->itemData));
  FillRect(item->hDC, &inner, brush);
  DeleteObject(brush);
  if (item->itemState & ODS_FOCUS) DrawFocusRect(item->hDC, &item->rcItem);
}

// Multiplies the step an up-down is about to apply; the change then goes ahead.
static INT_PTR ScaleSpinStep(HWND dialog, LPARAM lParam) {
  NMUPDOWN* step = reinterpret_cast<NMUPDOWN*>(lParam);
  const ControlBinding* row = BindingOf(EditOfUpDown(static_cast<int32_t>(step->hdr.idFrom)));
  if (row == nullptr || row->kind != SpinEdit) return FALSE;
  step->iDelta = ScaleSpinDelta(step->iDelta, SpinStepMultiplier(*row));
  SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);
  return TRUE;
}

static void ReadNeighbourColours(HWND page, int32_t selected[NeighbourColourLists]) {
  for (int k = 0; k < NeighbourColourLists; ++k) selected[k] = SelectedItem(GetDlgItem(page, IdFirstNeighbourColour + k));
}

static void SelectNeighbourColours(HWND page, const int32_t selected[NeighbourColourLists]) {
  for (int k = 0; k < NeighbourColourLists; ++k)
    SelectItem(GetDlgItem(page, IdFirstNeighbourColour + k), ListSelectionFor(selected[k], ColourTableSize));
}

// ---- Keyboard ---------------------------------------------------------------------------

static_assert(KeyTab == VK_TAB && KeyPageUp == VK_PRIOR && KeyPageDown == VK_NEXT, "the platform's key codes");

// The open settings dialog and the message hook that sees its keys before
// the dialog manager does.
struct SettingsKeyboardState {
  HWND dialog;
  HHOOK hook;
};
static SettingsKeyboardState SettingsKeyboard = {nullptr, nullptr};

static bool IsTabStop(HWND control) {
  const LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
  return (style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED);
}

// The first and last tab stops of a page, in tab order; null when it has none.
static void PageTabStops(HWND page, HWND* first, HWND* last) {
  *first = *last = nullptr;
  if (page == nullptr) return;
  for (HWND child = GetWindow(page, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsTabStop(child)) continue;
    if (*first == nullptr) *first = child;
    *last = child;
  }
}

// Checking a radio button gives it its group's tab stop; with neither seed
// choice checked (stored flags can say so) "Arbitrary" takes it.
static void KeepSeedTabStop(HWND dialog) {
  if (IsChecked(dialog, IdArbitrary) || IsChecked(dialog, IdSpecific)) return;
  HWND arbitrary = GetDlgItem(dialog, IdArbitrary);
  if (arbitrary != nullptr)
    SetWindowLongPtrA(arbitrary, GWL_STYLE, GetWindowLongPtrA(arbitrary, GWL_STYLE) | WS_TABSTOP);
}

// Focus as the dialog manager moves it: the default button follows, an
// edit's text is selected.
static void FocusControl(HWND dialog, HWND control) {
  if (control != nullptr) SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

// Shows the page step tabs on (wrapping); a focus inside the page that goes
// moves to the new page's first tab stop, or to the tab control.
static void SwitchPage(HWND dialog, HWND tabs, int step) {
  const int count = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
  if (count <= 0) return;
  const int current = static_cast<int>(SendMessageA(tabs, TCM_GETCURSEL, 0, 0));
  HWND old = PageOfTab(tabs, current);
  const bool focusLeaves = old != nullptr && IsChild(old, GetFocus());
  const int next = ((current < 0 ? 0 : current) + step + count) % count;
  SendMessageA(tabs, TCM_SETCURSEL, static_cast<WPARAM>(next), 0);
  HWND first, last;
  PageTabStops(PageOfTab(tabs, next), &first, &last);
  if (focusLeaves) FocusControl(dialog, first != nullptr ? first : tabs);
  ShowSelectedPage(tabs);
}

// True when the key was handled here and the dialog manager must not see it.
static bool HandleSettingsKey(HWND dialog, uint32_t key) {
  HWND tabs = GetDlgItem(dialog, IdModeTabs);
  if (tabs == nullptr) return false;
  HWND page = PageOfTab(tabs, static_cast<int>(SendMessageA(tabs, TCM_GETCURSEL, 0, 0)));
  HWND first, last;
  PageTabStops(page, &first, &last);
  HWND focus = GetFocus();
  HWND afterTabs = GetNextDlgTabItem(dialog, tabs, FALSE);
  FocusSpot spot;
  spot.onTabs = focus == tabs;
  spot.inPage = page != nullptr && focus != nullptr && IsChild(page, focus);
  spot.pageFirst = focus != nullptr && focus == first;
  spot.pageLast = focus != nullptr && focus == last;
  spot.afterTabs = focus != nullptr && focus == afterTabs && afterTabs != tabs;
  spot.pageHasStops = first != nullptr;
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool control = GetKeyState(VK_CONTROL) < 0;
  switch (SettingsKeyMove(key, shift, control, spot)) {
    case KeyNextPage:
      SwitchPage(dialog, tabs, 1);
      return true;
    case KeyPreviousPage:
      SwitchPage(dialog, tabs, -1);
      return true;
    case KeyToPageFirst:
      FocusControl(dialog, first);
      return true;
    case KeyToPageLast:
      FocusControl(dialog, last);
      return true;
    case KeyToTabs:
      FocusControl(dialog, tabs);
      return true;
    case KeyToAfterTabs:
      FocusControl(dialog, afterTabs);
      return true;
    case KeyNative:
      break;
  }
  return false;
}

static LRESULT CALLBACK SettingsKeyHook(int code, WPARAM wParam, LPARAM lParam) {
  const MSG* message = reinterpret_cast<const MSG*>(lParam);
  HWND dialog = SettingsKeyboard.dialog;
  if (code == MSGF_DIALOGBOX && message != nullptr && message->message == WM_KEYDOWN && dialog != nullptr &&
      (message->hwnd == dialog || IsChild(dialog, message->hwnd)) &&
      HandleSettingsKey(dialog, static_cast<uint32_t>(message->wParam)))
    return TRUE;
  return CallNextHookEx(SettingsKeyboard.hook, code, wParam, lParam);
}

static void StartKeyboard(HWND dialog) {
  SettingsKeyboard.dialog = dialog;
  // Without the hook the dialog manager's own keys still work.
  SettingsKeyboard.hook = SetWindowsHookExA(WH_MSGFILTER, SettingsKeyHook, nullptr, GetCurrentThreadId());
  KeepSeedTabStop(dialog);
}

static void StopKeyboard() {
  if (SettingsKeyboard.hook != nullptr) UnhookWindowsHookEx(SettingsKeyboard.hook);
  SettingsKeyboard = {nullptr, nullptr};
}

// ---- Dialog procedures ----------------------------------------------------------------

INT_PTR CALLBACK TabPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_DRAWITEM:
      DrawColourSwatch(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return FALSE;
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->code == static_cast<UINT>(UDN_DELTAPOS)) return ScaleSpinStep(page, lParam);
      return FALSE;
    }
    case WM_COMMAND: {
      int32_t selected[NeighbourColourLists];
      if (CheckBitOfBox(LOWORD(wParam)) != 0) {
        ApplyEnableRules(page, 0);
        return FALSE;
      }
      switch (LOWORD(wParam)) {
        case IdLifefaceList:
          ShowLifefaceInfo(page);
          break;
        case IdRandomize:
          ReadNeighbourColours(page, selected);
          RandomizeColours(selected);
          SelectNeighbourColours(page, selected);
          break;
        case IdUndo:
          UndoColourChoice(selected);
          SelectNeighbourColours(page, selected);
          break;
      }
      return FALSE;
    }
  }
  return FALSE;
}

static void OpenSettings(HWND dialog) {
  InitEngine(dialog, GetSystemMetrics(SM_CXFULLSCREEN) / 2, GetSystemMetrics(SM_CYFULLSCREEN) / 2);
  INITCOMMONCONTROLSEX classes;
  classes.dwSize = sizeof classes;
  classes.dwICC = ICC_TAB_CLASSES | ICC_UPDOWN_CLASS;
  InitCommonControlsEx(&classes);
  HICON icon = LoadIconA(InstanceOf(dialog), MAKEINTRESOURCEA(DialogIconId));
  SetClassLongPtrA(dialog, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));
  WalkBindings(dialog, MainBindings, Load, Kinds);
  StartKeyboard(dialog);
}

// OK goes ahead only with a rule text the saver can run (or one not in use);
// otherwise it says why, with the dialog's title, and puts the focus on the text.
static bool RuleTextTaken(HWND dialog) {
  const RuleEditText read = ReadRuleText(GetDlgItem(dialog, IdRuleText));
  const char* text = read.text;
  const RuleError error = RuleTextRefusal(text, IsChecked(dialog, IdDrawRule));
  if (error == RuleOk) return true;
  char message[512];
  FormatRuleRefusal(text, error, message, sizeof message);
  char title[64];
  if (GetWindowTextA(dialog, title, sizeof title) <= 0) title[0] = '\0';
  MessageBoxA(dialog, message, title, MB_OK | MB_ICONEXCLAMATION);
  FocusControl(dialog, GetDlgItem(dialog, IdRuleText));
  return false;
}

static void StoreSettings(HWND dialog) {
  WalkBindings(dialog, MainBindings, Store, Kinds);
  Settings.seed = StoredSeed(Settings.seed, Settings.flags);
  SaveSettings();
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OpenSettings(dialog);
      return TRUE;
    case WM_DESTROY:
      StopKeyboard();
      return FALSE;
    case WM_DRAWITEM:
      DrawColourSwatch(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return FALSE;
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == static_cast<UINT_PTR>(IdModeTabs)) {
        ShowSelectedPage(header->hwndFrom);
        return FALSE;
      }
      if (header->code == static_cast<UINT>(UDN_DELTAPOS)) return ScaleSpinStep(dialog, lParam);
      return FALSE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (CheckBitOfBox(id) != 0) {
        ApplyEnableRules(dialog, 0);
        return TRUE;
      }
      switch (id) {
        case IdRuleList:
          if (HIWORD(wParam) == CBN_SELCHANGE) FollowRuleList(dialog);
          return TRUE;
        case IdRuleText:
          if (HIWORD(wParam) == EN_CHANGE) FollowRuleText(dialog);
          return TRUE;
        case IdAbout: {
          // The box's generations are 25 ms apart: the default timer would
          // stretch its waits to 31.
          const bool fineTimer = timeBeginPeriod(1) == TIMERR_NOERROR;
          DialogBoxParamA(InstanceOf(dialog), MAKEINTRESOURCEA(AboutBoxId), dialog, AboutDialogProc, 0);
          if (fineTimer) timeEndPeriod(1);
          return TRUE;
        }
        case IDOK:
          if (!RuleTextTaken(dialog)) return TRUE;
          StoreSettings(dialog);
          EndDialog(dialog, 0);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
      }
      return FALSE;
    }
  }
  return FALSE;
}
