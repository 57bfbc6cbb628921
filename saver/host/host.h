// The screen-saver host: command-line modes, the rules by which input ends
// the saver, message routing and the password state. The rules here are
// portable; host_win32.cpp wires them to the window system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "settings/settings.h"

// Window messages the host and the saver window take part in.
enum : uint32_t {
  MsgCreate = 0x0001,
  MsgDestroy = 0x0002,
  MsgSetText = 0x000C,
  MsgPaint = 0x000F,
  MsgClose = 0x0010,
  MsgQuit = 0x0012,
  MsgEraseBackground = 0x0014,
  MsgShowWindow = 0x0018,
  MsgActivateApp = 0x001C,
  MsgSetCursor = 0x0020,
  MsgHelp = 0x0053,
  MsgContextMenu = 0x007B,
  MsgKeyDown = 0x0100,
  MsgSysKeyDown = 0x0104,
  MsgSysCommand = 0x0112,
  MsgTimer = 0x0113,
  MsgMouseMove = 0x0200,
  MsgLeftButtonDown = 0x0201,
  MsgRightButtonDown = 0x0204,
  MsgMiddleButtonDown = 0x0207,
  VerifyPasswordMessage = 0x8000,  // the host asks its own window to run the password check
};

enum : uintptr_t {
  CommandNextWindow = 0xF040,
  CommandPreviousWindow = 0xF050,
  CommandScreenSave = 0xF140,
};

struct ScreenPoint {
  int32_t x;
  int32_t y;
};

// The host's portable state; the system's handles stay with host_win32.cpp.
struct SaverHostState {
  bool preview;
  bool passwordPlatform;
  bool closeAllowed;
  bool passwordDialogActive;
  uint32_t lastVerifyTime;  // all bits set: no dialog has ended yet
  ScreenPoint referencePoint;
  uint32_t moveThreshold;
};
extern SaverHostState Host;
const uint32_t NoVerifyTime = 0xFFFFFFFFu;

// ---- Command line ----------------------------------------------------------

enum HostMode {
  ModeSettingsNoOwner,       // no argument
  ModeSettingsForeground,    // "C": owned by the foreground window
  ModeFullScreen,            // "S"
  ModePreview,               // "P" or "L" with a window number
  ModeChangePassword,        // "A" with a window number
  ModeInvalid,               // anything else: exit code -1
};

struct HostCommand {
  HostMode mode;
  uint32_t window;  // the number read after P, L or A
};

// The argument text of a full command line: past the program name and the
// blanks after it.
const char* SkipProgramName(const char* commandLine);
HostCommand ParseArguments(const char* arguments);
// The handle value a window number stands for. Handles hold 32 significant
// bits and are sign-extended on 64-bit Windows, where a negative one is
// written as its unsigned 32-bit number.
intptr_t WindowHandleValue(uint32_t number);

// ---- Ending rules and routing -------------------------------------------------

enum HostResult {
  ResultToSaver,  // hand the message to the saver window procedure
  ResultDefault,  // the system's default handling
  ResultZero,     // answer 0 and do nothing more
  ResultOne,      // answer 1 and do nothing more
};

enum : uint32_t {
  ActHideCursor = 1u << 0,
  ActPostClose = 1u << 1,
  ActForwardToParent = 1u << 2,  // post the message to the parent window
  ActYield = 1u << 3,            // give up the rest of the time slice
  ActCreateSteps = 1u << 4,      // detach the input context, note the cursor
  ActDestroySteps = 1u << 5,     // restore the input context, post quit
  ActCheckMouse = 1u << 6,       // measure the mouse movement
  ActVerifyClose = 1u << 7,      // ask for the password before closing
  ActAskVerifier = 1u << 8,      // answer with the password verifier's result
};

struct HostAction {
  uint32_t acts;
  HostResult result;
};

// The host's own part of a message, before the saver window sees it.
HostAction HostMessageAction(const SaverHostState* host, uint32_t message, uintptr_t wParam);
// The default handling of what the saver window does not handle itself:
// where input ends the saver.
HostAction DefaultMessageAction(const SaverHostState* host, uint32_t message, uintptr_t wParam);
// True when the cursor has moved more than the threshold (|dx| + |dy|) from
// the reference point; the point then becomes the new reference.
bool MouseMovedPastThreshold(SaverHostState* host, ScreenPoint cursor);

// ---- Password check before closing ------------------------------------------------

enum VerifyStep {
  VerifyRefuse,  // the close request is dropped
  VerifyGrant,   // no password asked: close
  VerifyAsk,     // run the password dialog, then EndVerify
};
VerifyStep BeginVerify(SaverHostState* host, uint32_t now, bool verifierLoaded);
// Records the dialog's answer; returns whether closing is granted.
bool EndVerify(SaverHostState* host, bool granted, uint32_t now);

// ---- The full-screen window ---------------------------------------------------------

// What the system reports of its screens: the primary screen's size and the
// virtual screen (the bounding rectangle of every monitor, whose origin lies
// left of or above the primary's when a monitor does). A system without
// several monitors reports a virtual screen of no size.
struct ScreenMetrics {
  int32_t screenWidth;
  int32_t screenHeight;
  int32_t virtualLeft;
  int32_t virtualTop;
  int32_t virtualWidth;
  int32_t virtualHeight;
};

struct ScreenRect {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
};

// Where the full-screen window goes: over every monitor, so that none keeps
// showing the desktop. That is the virtual screen, joined with the primary
// screen at 0, 0 should the virtual screen be missing or not hold it; on one
// monitor it is the primary screen alone.
ScreenRect FullScreenRect(const ScreenMetrics& metrics);

// ---- Window procedures with portable types ---------------------------------------

intptr_t SaverWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
intptr_t DefaultSaverProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// ---- Command line of the X11 front end ---------------------------------------------
// Options name the window to draw into and override settings for one run.
// The rules are portable; host_x11.cpp does the drawing and the waiting.

enum FrontEndTarget {
  TargetOwnWindow,   // no option: a resizable window of its own
  TargetFullScreen,  // --fullscreen: its own window over the screen, ended by input
  TargetRoot,        // --root: $XSCREENSAVER_WINDOW, else the root window
  TargetWindowId,    // --window-id ID
};

// A settings member given a value on the command line.
struct NumberOverride {
  int32_t offset;  // byte offset in SaverSettings
  int32_t value;
};

struct SettingOverrides {
  std::vector<NumberOverride> numbers;  // in command-line order: a later one wins
  uint32_t flagsOn;
  uint32_t flagsOff;
  bool faceGiven;
  int32_t face;
};

struct FrontEndOptions {
  FrontEndTarget target;
  uint64_t windowId;
  std::string catalogue;  // a folder holding tumbra.ini; empty: search the data folders
  bool help;
  SettingOverrides overrides;
};

extern const char FrontEndUsage[];

// False with a message naming the option when an argument is unknown, lacks
// its value or has a bad one.
bool ParseFrontEndOptions(int argc, const char* const* argv, FrontEndOptions* options, std::string* error);
// A window number as X prints them: decimal or 0x hexadecimal, not 0.
bool ParseWindowId(const char* text, uint64_t* id);
// Writes the overrides into settings loaded from the store. A lifeface
// given by number is kept at every reset: it turns "Choose random lifeface" off.
void ApplyOverrides(const SettingOverrides& overrides, SaverSettings* settings);
// The folders searched for tumbra.ini, in order: $XDG_DATA_HOME/tumbra (or
// ~/.local/share/tumbra), each of $XDG_DATA_DIRS (default /usr/local/share and
// /usr/share) with /tumbra, then the installed data folder. Relative entries
// are ignored, as the XDG rules ask; a folder is listed once.
std::vector<std::string> CatalogueFolders(const char* dataHome, const char* home, const char* dataDirs,
                                          const char* installed);
