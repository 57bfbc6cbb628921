// The screen-saver host on Windows: process entry, the modes, the full-screen
// and preview windows, the message loop and the password hooks.
#include <windows.h>
#include <mmsystem.h>

#include "config/config_win32.h"
#include "engine/engine.h"
#include "loop/loop.h"
#include "host/host.h"

static const char* const SaverClassName = "WindowsScreenSaverClass";
static const char* const FullScreenTitle = "Screen Saver";

typedef BOOL(WINAPI* VerifyScreenSavePwdEntry)(HWND);
typedef HIMC(WINAPI* ImmAssociateContextEntry)(HWND, HIMC);
typedef DWORD(WINAPI* PwdChangePasswordEntry)(LPCSTR, HWND, DWORD, LPVOID);

// The system's side of the host: the program, the password verifier and the
// input-method hook, each loaded by name at run time.
struct HostHandles {
  HINSTANCE instance;
  HMODULE verifierLibrary;
  VerifyScreenSavePwdEntry verifyEntry;
  HMODULE imeModule;
  ImmAssociateContextEntry imeEntry;
  HIMC savedImeContext;
};
static HostHandles Handles = {};

// ---- Password hooks (only on the platform family that keeps saver passwords)

static void SetSaverRunning(bool running) {
  if (!Host.passwordPlatform) return;
  UINT scratch = 0;
  SystemParametersInfoA(SPI_SCREENSAVERRUNNING, running ? TRUE : FALSE, &scratch, 0);
}

static void UnloadPasswordVerifier() {
  if (!Host.passwordPlatform || Handles.verifierLibrary == nullptr) return;
  FreeLibrary(Handles.verifierLibrary);
  Handles.verifierLibrary = nullptr;
  if (Handles.verifyEntry != nullptr) {
    Handles.verifyEntry = nullptr;
    SetSaverRunning(false);
  }
}

static void LoadPasswordVerifier() {
  if (!Host.passwordPlatform) return;
  if (Handles.verifierLibrary != nullptr) UnloadPasswordVerifier();
  HKEY desktop = nullptr;
  if (RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &desktop) != ERROR_SUCCESS) return;
  DWORD usePassword = 0, size = sizeof usePassword;
  if (RegQueryValueExA(desktop, "ScreenSaveUsePassword", nullptr, nullptr, reinterpret_cast<BYTE*>(&usePassword),
                       &size) == ERROR_SUCCESS &&
      usePassword != 0) {
    HMODULE library = LoadLibraryA("PASSWORD.CPL");
    if (library != nullptr) {
      Handles.verifierLibrary = library;
      FARPROC verify = GetProcAddress(library, "VerifyScreenSavePwd");
      Handles.verifyEntry = reinterpret_cast<VerifyScreenSavePwdEntry>(reinterpret_cast<void*>(verify));
      if (Handles.verifyEntry != nullptr)
        SetSaverRunning(true);
      else
        UnloadPasswordVerifier();
    }
  }
  RegCloseKey(desktop);
}

static bool VerifyBeforeClose(HWND window) {
  switch (BeginVerify(&Host, GetTickCount(), Handles.verifyEntry != nullptr)) {
    case VerifyRefuse:
      return false;
    case VerifyGrant:
      return true;
    case VerifyAsk:
      break;
  }
  MSG pending;
  PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
  PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
  bool granted = SendMessageA(window, VerifyPasswordMessage, 0, 0) != 0;
  if (!granted) SetCursor(nullptr);
  return EndVerify(&Host, granted, GetTickCount());
}

static void ChangePassword(HWND owner) {
  HMODULE library = LoadLibraryA("MPR.DLL");
  if (library == nullptr) return;
  PwdChangePasswordEntry change =
      reinterpret_cast<PwdChangePasswordEntry>(reinterpret_cast<void*>(GetProcAddress(library, "PwdChangePasswordA")));
  if (change != nullptr) change("SCRSAVE", owner, 0, nullptr);
  FreeLibrary(library);
}

// ---- Default handling: where input ends the saver --------------------------------

static ScreenPoint CursorPosition() {
  POINT p = {0, 0};
  GetCursorPos(&p);
  return {p.x, p.y};
}

intptr_t DefaultSaverProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  HWND hwnd = static_cast<HWND>(window);
  const HostAction action = DefaultMessageAction(&Host, message, wParam);
  if (action.acts & ActVerifyClose) {
    if (!VerifyBeforeClose(hwnd)) {
      Host.referencePoint = CursorPosition();
      return 0;
    }
  }
  if (action.acts & ActAskVerifier) {
    if (Handles.verifyEntry == nullptr) return 1;
    return Handles.verifyEntry(hwnd);
  }
  if (action.acts & ActHideCursor) SetCursor(nullptr);
  if ((action.acts & ActCheckMouse) && MouseMovedPastThreshold(&Host, CursorPosition()))
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
  if (action.acts & ActPostClose) PostMessageA(hwnd, WM_CLOSE, 0, 0);
  if (action.result == ResultOne) return 1;
  if (action.result == ResultZero) return 0;
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

// ---- The class window procedure -------------------------------------------------

static void DetachInputContext(HWND window) {
  HMODULE imm = GetModuleHandleA("IMM32.DLL");
  if (imm == nullptr) return;
  FARPROC entry = GetProcAddress(imm, "ImmAssociateContext");
  if (entry == nullptr) return;
  Handles.imeModule = imm;
  Handles.imeEntry = reinterpret_cast<ImmAssociateContextEntry>(reinterpret_cast<void*>(entry));
  Handles.savedImeContext = Handles.imeEntry(window, nullptr);
}

static void RestoreInputContext(HWND window) {
  if (Handles.imeModule != nullptr && Handles.imeEntry != nullptr && Handles.savedImeContext != nullptr)
    Handles.imeEntry(window, Handles.savedImeContext);
}

static LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const HostAction action = HostMessageAction(&Host, message, wParam);
  if (action.acts & ActCreateSteps) {
    DetachInputContext(window);
    Host.referencePoint = CursorPosition();
  }
  if (action.acts & ActDestroySteps) {
    RestoreInputContext(window);
    PostQuitMessage(0);
  }
  if (action.acts & ActHideCursor) SetCursor(nullptr);
  if (action.acts & ActYield) Sleep(0);
  if (action.acts & ActForwardToParent) {
    HWND parent = GetParent(window);
    if (parent != nullptr && IsWindow(parent))
      PostMessageA(parent, message, reinterpret_cast<WPARAM>(parent), lParam);
  }
  switch (action.result) {
    case ResultZero:
      return 0;
    case ResultOne:
      return 1;
    case ResultDefault:
      return DefWindowProcA(window, message, wParam, lParam);
    case ResultToSaver:
      break;
  }
  return SaverWindowProc(window, message, wParam, lParam);
}

// ---- Modes ---------------------------------------------------------------------------

static int RunMessageLoop() {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

// A preview lives inside another program's window. When that program ends
// without destroying its window properly, the preview is taken away without
// a message of its own; the loop notices and ends instead of waiting for ever.
static int RunPreviewLoop(HWND window) {
  MSG message;
  for (;;) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
      TranslateMessage(&message);
      DispatchMessageA(&message);
    } else if (!IsWindow(window)) {
      return 0;
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 250, QS_ALLINPUT);
    }
  }
}

static int RunSaverWindow(HWND parent) {
  HINSTANCE instance = Handles.instance;
  WNDCLASSA windowClass;
  ZeroMemory(&windowClass, sizeof windowClass);
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
  windowClass.lpfnWndProc = HostWindowProc;
  windowClass.hInstance = instance;
  // Icon 100 is what the class has always asked for, and the resources hold
  // no icon 100, so the class has none: the dialogs use group 147. Left so.
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(100));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = SaverClassName;

  const char* title;
  DWORD style, extendedStyle;
  int left = 0, top = 0, width, height;
  if (parent != nullptr) {
    RECT client;
    GetClientRect(parent, &client);
    width = client.right;
    height = client.bottom;
    Host.preview = true;
    title = "Preview";
    style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
    extendedStyle = 0;
  } else {
    const ScreenRect screen = FullScreenRect({GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                              GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                                              GetSystemMetrics(SM_CXVIRTUALSCREEN),
                                              GetSystemMetrics(SM_CYVIRTUALSCREEN)});
    left = screen.left;
    top = screen.top;
    width = screen.width;
    height = screen.height;
    HWND running = FindWindowA(SaverClassName, FullScreenTitle);
    if (running != nullptr && IsWindow(running)) {
      SetForegroundWindow(running);
      return 0;
    }
    LoadPasswordVerifier();
    title = FullScreenTitle;
    style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    extendedStyle = WS_EX_TOPMOST;
  }

  HWND window = nullptr;
  if (RegisterClassA(&windowClass))
    window = CreateWindowExA(extendedStyle, SaverClassName, title, style, left, top, width, height, parent, nullptr,
                             instance, nullptr);
  int code = 1;  // no window could be made
  if (window != nullptr) {
    if (!Host.preview) SetForegroundWindow(window);
    // The frames wait for their due time: with the system's default timer
    // of about 15.6 ms the waits would overshoot by up to a frame.
    const bool fineTimer = timeBeginPeriod(1) == TIMERR_NOERROR;
    code = Host.preview ? RunPreviewLoop(window) : RunMessageLoop();
    if (fineTimer) timeEndPeriod(1);
  }
  UnloadPasswordVerifier();
  return code;
}

// The dialog-class registration hook of a screen saver: nothing to register.
static BOOL RegisterDialogClasses(HINSTANCE) { return TRUE; }

static INT_PTR ShowSettingsDialog(HWND owner) {
  HINSTANCE instance = Handles.instance;
  if (!RegisterDialogClasses(instance)) return 0;
  return DialogBoxParamA(instance, MAKEINTRESOURCEA(SettingsDialogId), owner, SettingsDialogProc, 0);
}

static HWND WindowOrNull(uint32_t number) {
  HWND window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(WindowHandleValue(number)));
  return number != 0 && IsWindow(window) ? window : nullptr;
}

static int SaverMain(HINSTANCE instance, const char* arguments) {
  Handles.instance = instance;
  OSVERSIONINFOA version;
  ZeroMemory(&version, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  Host.passwordPlatform = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;

  const HostCommand command = ParseArguments(arguments);
  switch (command.mode) {
    case ModeSettingsNoOwner:
      return static_cast<int>(ShowSettingsDialog(nullptr));
    case ModeSettingsForeground:
      return static_cast<int>(ShowSettingsDialog(GetForegroundWindow()));
    case ModeFullScreen:
      return RunSaverWindow(nullptr);
    case ModePreview: {
      HWND parent = WindowOrNull(command.window);
      return parent != nullptr ? RunSaverWindow(parent) : -1;
    }
    case ModeChangePassword: {
      if (!Host.passwordPlatform) return -1;
      HWND owner = WindowOrNull(command.window);
      ChangePassword(owner != nullptr ? owner : GetForegroundWindow());
      return 0;
    }
    case ModeInvalid:
      break;
  }
  return -1;
}

// A fault nobody handles: the platform must no longer take a saver to be
// running before its own fault handling ends the process.
static LONG WINAPI ForgetRunningSaver(EXCEPTION_POINTERS*) {
  SetSaverRunning(false);
  return EXCEPTION_CONTINUE_SEARCH;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  SetUnhandledExceptionFilter(ForgetRunningSaver);
  const char* arguments = SkipProgramName(GetCommandLineA());
  ExitProcess(static_cast<UINT>(SaverMain(GetModuleHandleA(nullptr), arguments)));
}
