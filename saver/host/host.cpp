// The host's portable rules: the command line, what each message does before
// and after the saver window, the mouse threshold and the password state.
#include "host/host.h"

#include <algorithm>

SaverHostState Host = {false, false, false, false, NoVerifyTime, {0, 0}, 4};

const char* SkipProgramName(const char* commandLine) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(commandLine);
  if (*p == '"') {
    ++p;
    while (*p != 0 && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p > 32) ++p;
  }
  while (*p >= 1 && *p <= 32) ++p;
  return reinterpret_cast<const char*>(p);
}

static const char* SkipSpaces(const char* p) {
  while (*p == ' ') ++p;
  return p;
}

// Decimal digits up to the first other character, wrapping at 32 bits.
static uint32_t ReadNumber(const char* p) {
  uint32_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + static_cast<uint32_t>(*p - '0');
  return value;
}

HostCommand ParseArguments(const char* arguments) {
  const char* p = arguments;
  while (*p == ' ' || *p == '-' || *p == '/') ++p;
  switch (*p) {
    case 0:
      return {ModeSettingsNoOwner, 0};
    case 'C':
    case 'c':
      return {ModeSettingsForeground, 0};
    case 'S':
    case 's':
      return {ModeFullScreen, 0};
    case 'P':
    case 'p':
    case 'L':
    case 'l':
      return {ModePreview, ReadNumber(SkipSpaces(p + 1))};
    case 'A':
    case 'a':
      return {ModeChangePassword, ReadNumber(SkipSpaces(p + 1))};
    default:
      return {ModeInvalid, 0};
  }
}

intptr_t WindowHandleValue(uint32_t number) { return static_cast<intptr_t>(static_cast<int32_t>(number)); }

static bool IsInput(uint32_t message) {
  return message == MsgKeyDown || message == MsgSysKeyDown || message == MsgMouseMove ||
         message == MsgLeftButtonDown || message == MsgRightButtonDown || message == MsgMiddleButtonDown;
}

HostAction HostMessageAction(const SaverHostState* host, uint32_t message, uintptr_t wParam) {
  switch (message) {
    case MsgCreate:
      return {ActCreateSteps | (host->preview ? 0u : ActHideCursor), ResultToSaver};
    case MsgDestroy:
      return {ActDestroySteps, ResultToSaver};
    case MsgSetText:
      return {0, ResultZero};
    case MsgPaint:
      if (host->closeAllowed) return {0, ResultDefault};
      return {host->preview ? 0u : ActHideCursor, ResultToSaver};
    case MsgHelp:
    case MsgContextMenu:
      if (host->preview) return {ActForwardToParent, ResultOne};
      return {0, ResultToSaver};
    case MsgSysCommand: {
      // The system keeps the low four bits of a command for itself.
      const uintptr_t command = wParam & 0xFFF0;
      if (!host->preview &&
          (command == CommandNextWindow || command == CommandPreviousWindow || command == CommandScreenSave))
        return {0, ResultZero};
      return {0, ResultToSaver};
    }
    case MsgTimer:
      if (host->closeAllowed) return {0, ResultZero};
      return {ActYield, ResultToSaver};
    default:
      if (IsInput(message) && host->closeAllowed) return {0, ResultDefault};
      return {0, ResultToSaver};
  }
}

HostAction DefaultMessageAction(const SaverHostState* host, uint32_t message, uintptr_t wParam) {
  if (host->preview || host->closeAllowed) return {0, ResultDefault};
  if (message == MsgClose) return {host->passwordPlatform ? ActVerifyClose : 0u, ResultDefault};
  if (message == VerifyPasswordMessage) return {host->passwordPlatform ? ActAskVerifier : 0u, ResultDefault};
  if (host->passwordDialogActive) return {0, ResultDefault};
  switch (message) {
    case MsgShowWindow:
      return {wParam != 0 ? ActHideCursor : 0u, ResultDefault};
    case MsgActivateApp:
      return {wParam == 0 ? ActPostClose : 0u, ResultDefault};
    case MsgSetCursor:
      return {ActHideCursor, ResultOne};
    case MsgKeyDown:
    case MsgSysKeyDown:
    case MsgLeftButtonDown:
    case MsgRightButtonDown:
    case MsgMiddleButtonDown:
      return {ActPostClose, ResultDefault};
    case MsgMouseMove:
      return {ActCheckMouse, ResultDefault};
    default:
      return {0, ResultDefault};
  }
}

bool MouseMovedPastThreshold(SaverHostState* host, ScreenPoint cursor) {
  const int64_t dx = static_cast<int64_t>(cursor.x) - host->referencePoint.x;
  const int64_t dy = static_cast<int64_t>(cursor.y) - host->referencePoint.y;
  const uint64_t distance = static_cast<uint64_t>(dx < 0 ? -dx : dx) + static_cast<uint64_t>(dy < 0 ? -dy : dy);
  if (distance <= host->moveThreshold) return false;
  host->referencePoint = cursor;
  return true;
}

VerifyStep BeginVerify(SaverHostState* host, uint32_t now, bool verifierLoaded) {
  if (host->passwordDialogActive || host->closeAllowed) return VerifyRefuse;
  if (!verifierLoaded) {
    host->closeAllowed = true;
    return VerifyGrant;
  }
  // The input that closed the last dialog must not open it again at once.
  if (host->lastVerifyTime != NoVerifyTime && now - host->lastVerifyTime < 200u) return VerifyRefuse;
  host->passwordDialogActive = true;
  return VerifyAsk;
}

bool EndVerify(SaverHostState* host, bool granted, uint32_t now) {
  host->closeAllowed = granted;
  host->passwordDialogActive = false;
  host->lastVerifyTime = now;
  return granted;
}

ScreenRect FullScreenRect(const ScreenMetrics& metrics) {
  int64_t left = 0, top = 0;
  int64_t right = std::max<int64_t>(metrics.screenWidth, 0);
  int64_t bottom = std::max<int64_t>(metrics.screenHeight, 0);
  if (metrics.virtualWidth > 0 && metrics.virtualHeight > 0) {
    left = std::min<int64_t>(left, metrics.virtualLeft);
    top = std::min<int64_t>(top, metrics.virtualTop);
    right = std::max<int64_t>(right, static_cast<int64_t>(metrics.virtualLeft) + metrics.virtualWidth);
    bottom = std::max<int64_t>(bottom, static_cast<int64_t>(metrics.virtualTop) + metrics.virtualHeight);
  }
  // Sizes past the 32-bit range exist on no system; they are cut, not wrapped.
  const int64_t limit = INT32_MAX;
  return {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(std::min(right - left, limit)),
          static_cast<int32_t>(std::min(bottom - top, limit))};
}

uint32_t InputMessage(const InputEvent& event, bool desktopWindow, uintptr_t* wParam) {
  *wParam = 0;
  if (desktopWindow) {
    // Escape and q end it, as they end other hacks' windows.
    const bool quitKey = event.kind == InputKey && (event.keySym == KeySymEscape || event.keySym == KeySymLowerQ ||
                                                    event.keySym == KeySymUpperQ);
    if (quitKey) return MsgClose;
    if (event.kind == InputKey) return 0;
  }
  switch (event.kind) {
    case InputKey:
      return MsgKeyDown;
    case InputButton:
      if (event.button == InputButtonLeft) return MsgLeftButtonDown;
      if (event.button == InputButtonMiddle) return MsgMiddleButtonDown;
      if (event.button == InputButtonRight) return MsgRightButtonDown;
      return 0;  // wheels and further buttons are no clicks
    case InputMotion:
      return MsgMouseMove;
    case InputFocusOut:
      // Another program took the input: the saver loses activation (wParam 0).
      if (event.focusDetail == FocusDetailInferior || event.focusDetail == FocusDetailPointer ||
          event.focusMode == FocusModeUngrab)
        return 0;
      return MsgActivateApp;
    case InputOther:
      break;
  }
  return 0;
}
