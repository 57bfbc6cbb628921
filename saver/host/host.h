// The screen-saver host: command-line modes, the rules by which input ends
// the saver, message routing and the password state. The rules here are
// portable; host_win32.cpp wires them to the window system.
#pragma once

#include <cstdint>

#include "platform/platform.h"

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

// ---- Input of the X11 front end ---------------------------------------------------
// What the ending rules need of an X event, without Xlib: host_x11.cpp fills
// it in. The numbers are the X protocol's, so the front end copies them as
// they come.

enum InputKind {
  InputOther,
  InputKey,       // KeyPress
  InputButton,    // ButtonPress
  InputMotion,    // MotionNotify
  InputFocusOut,  // FocusOut
};

enum : uint32_t {
  InputButtonLeft = 1,    // Button1; 4 and 5 are the wheel
  InputButtonMiddle = 2,
  InputButtonRight = 3,
  FocusDetailInferior = 2,  // NotifyInferior: to a window inside ours
  FocusDetailPointer = 5,   // NotifyPointer
  FocusModeUngrab = 2,      // NotifyUngrab: a grab of ours ended
  KeySymEscape = 0xFF1B,
  KeySymLowerQ = 0x0071,
  KeySymUpperQ = 0x0051,
};

struct InputEvent {
  InputKind kind;
  uint32_t button;       // InputButton
  uint32_t focusDetail;  // InputFocusOut
  uint32_t focusMode;    // InputFocusOut
  uint32_t keySym;       // InputKey: the key's symbol without modifiers
};

// The message the event stands for, 0 for none; the host's rules then decide
// whether it ends the saver. In a desktop window (one of its own, not full
// screen) only Escape and q count: they close it (MsgClose).
uint32_t InputMessage(const InputEvent& event, bool desktopWindow, uintptr_t* wParam);
