// The installer: shows the terms of use, and once the user agrees copies the
// saver, its catalogue and its lifeface bitmaps from the setup folder into
// the Windows directory and hands the saver to the display control panel.
// Every way out ends the process at once; nothing is kept between runs.
#include <windows.h>

#include "../setup_rules.h"
#include "install_resources.h"

namespace {

const char kClassName[] = "Install Screen Saver";
const char kSaverName[] = "tumbra.scr";

constexpr int kAgreeId = 1027;
constexpr int kInstallId = 1025;
constexpr int kCancelId = 1026;

// One child control: everything CreateWindowExA needs besides its place.
struct ControlLayout {
  const char* className;
  const char* text;
  DWORD style;
  DWORD exStyle;
  int id;  // given after creation; 0 keeps the default
};

const ControlLayout kControls[kInstallControlCount] = {
    {"EDIT", nullptr, WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE, WS_EX_CLIENTEDGE, 0},
    {"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_BITMAP, 0, 0},
    {"BUTTON", "I AGREE to all conditions stated above.", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_CHECKBOX, 0,
     kAgreeId},
    {"BUTTON", "Install", WS_CHILD | WS_VISIBLE | WS_DISABLED | WS_TABSTOP | BS_PUSHBUTTON, 0, kInstallId},
    {"BUTTON", "Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, kCancelId},
};

// Process-wide state: the setup folder, the loaded images, the controls, and
// the terms box's own window procedure, which the replacement hands messages
// on to.
struct InstallerState {
  char setupFolder[kSetupPathSize];
  HICON icon;
  HBITMAP banner;
  HWND controls[kInstallControlCount];
  WNDPROC termsBoxProc;
  int dpi;  // of the display the window is on; the layout is scaled to it
};
InstallerState Installer;

[[noreturn]] void EndInstaller() { ExitProcess(0); }

// The setup folder is the one the installer lies in, wherever it is started
// from: a shortcut or a command prompt may start it in any folder.
bool FindSetupFolder() {
  char module[kSetupPathSize];
  DWORD length = GetModuleFileNameA(nullptr, module, sizeof module);
  if (length == 0 || length >= sizeof module) return false;
  return SetupFolderOf(Installer.setupFolder, sizeof Installer.setupFolder, module);
}

// A path in the setup folder; false when it would be too long.
bool SetupPath(char* out, const char* name, const char* more = nullptr) {
  return SetupJoinPath(out, kSetupPathSize, Installer.setupFolder, name, more);
}

bool SetupFileExists(const char* name, const char* more = nullptr) {
  char path[kSetupPathSize];
  if (!SetupPath(path, name, more)) return false;
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The terms box never takes the focus, so it shows no caret and the focus
// stays on the buttons.
LRESULT CALLBACK TermsBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETFOCUS) return 0;
  return CallWindowProcA(Installer.termsBoxProc, window, message, wParam, lParam);
}

// The resolution of the screen at start. The installer is DPI aware, so
// this is the real one, and its layout is scaled to it.
int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi;
}

// The banner at the display's resolution: the band it fills is scaled with
// the rest of the layout, so the picture is stretched to match.
HBITMAP LoadBanner(HINSTANCE instance, int dpi) {
  HBITMAP banner = LoadBitmapA(instance, MAKEINTRESOURCEA(INSTALL_BANNER));
  BITMAP size;
  if (banner == nullptr || ScaleToDpi(96, dpi) == 96 || GetObjectA(banner, sizeof size, &size) != sizeof size)
    return banner;
  HANDLE scaled = LoadImageA(instance, MAKEINTRESOURCEA(INSTALL_BANNER), IMAGE_BITMAP, ScaleToDpi(size.bmWidth, dpi),
                             ScaleToDpi(size.bmHeight, dpi), LR_DEFAULTCOLOR);
  if (scaled == nullptr) return banner;
  DeleteObject(banner);
  return static_cast<HBITMAP>(scaled);
}

HWND CreateInstallControl(HWND owner, InstallControl which, int R, int B) {
  const ControlLayout& layout = kControls[which];
  InstallWindowRect place = PlaceInstallControl(which, R, B, Installer.dpi);
  HWND control = CreateWindowExA(layout.exStyle, layout.className, layout.text, layout.style, place.left, place.top,
                                 place.width, place.height, owner, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (control == nullptr) EndInstaller();
  Installer.controls[which] = control;
  return control;
}

// Reads the whole of "terms.txt" from the setup folder into the terms box:
// the user agrees to all of it. Anything wrong with the file ends the
// installer before its window shows. The buffer is closed with a 0 right
// after the bytes actually read.
void LoadTerms(HWND termsBox) {
  char path[kSetupPathSize];
  if (!SetupPath(path, "terms.txt")) EndInstaller();
  HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
  if (handle == INVALID_HANDLE_VALUE) EndInstaller();
  DWORD sizeHigh = 0;
  DWORD sizeLow = GetFileSize(handle, &sizeHigh);
  if (sizeLow == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) EndInstaller();
  DWORD wanted = TermsReadSize(sizeLow, sizeHigh);
  if (wanted == 0) EndInstaller();
  char* text = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_NO_SERIALIZE, wanted + 1));
  if (text == nullptr) EndInstaller();
  DWORD got = 0;
  if (!ReadFile(handle, text, wanted, &got, nullptr) || got != wanted) EndInstaller();
  text[got] = 0;
  SetWindowTextA(termsBox, text);
  HeapFree(GetProcessHeap(), HEAP_NO_SERIALIZE, text);
  CloseHandle(handle);
}

void CreateInstallerWindow(HWND window) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  Installer.icon = LoadIconA(instance, MAKEINTRESOURCEA(INSTALL_ICON));
  Installer.dpi = ScreenDpi();
  Installer.banner = LoadBanner(instance, Installer.dpi);
  SetClassLongPtrA(window, GCLP_HICON, reinterpret_cast<LONG_PTR>(Installer.icon));

  InstallWindowRect place =
      PlaceInstallWindow(GetSystemMetrics(SM_CXFULLSCREEN), GetSystemMetrics(SM_CYFULLSCREEN), Installer.dpi);
  MoveWindow(window, place.left, place.top, place.width, place.height, FALSE);
  RECT client;
  GetClientRect(window, &client);
  int R = client.right, B = client.bottom;

  HWND termsBox = CreateInstallControl(window, kTermsBox, R, B);
  Installer.termsBoxProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(termsBox, GWLP_WNDPROC));
  SetWindowLongPtrA(termsBox, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TermsBoxProc));

  HWND banner = CreateInstallControl(window, kBanner, R, B);
  SendMessageA(banner, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(Installer.banner));

  LoadTerms(termsBox);

  // The agree box, Install and Cancel, then their ids.
  for (int which = kAgreeBox; which < kInstallControlCount; ++which)
    CreateInstallControl(window, static_cast<InstallControl>(which), R, B);
  for (int which = kAgreeBox; which < kInstallControlCount; ++which)
    SetWindowLongPtrA(Installer.controls[which], GWLP_ID, kControls[which].id);

  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  SetFocus(Installer.controls[kCancelButton]);
}

// The agree box is a plain check box: its mark changes only here, once per
// command, and Install follows it.
void ToggleAgreement() {
  HWND agree = Installer.controls[kAgreeBox];
  bool agreed = SendMessageA(agree, BM_GETCHECK, 0, 0) != 0;
  SendMessageA(agree, BM_SETCHECK, agreed ? BST_UNCHECKED : BST_CHECKED, 0);
  EnableWindow(Installer.controls[kInstallButton], agreed ? FALSE : TRUE);
}

// Copies every file of source into destination, overwriting. Names that
// begin with a full stop are skipped, folders fail to copy and are passed
// over, and a name that would make either path too long is left out rather
// than cut short.
void CopyFolderFiles(const char* source, const char* destination) {
  char pattern[kSetupPathSize];
  if (!SetupJoinPath(pattern, sizeof pattern, source, "*.*")) return;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(pattern, &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (SetupSkipsEntry(entry.cFileName)) continue;
    char from[kSetupPathSize], to[kSetupPathSize];
    if (!SetupJoinPath(from, sizeof from, source, entry.cFileName)) continue;
    if (!SetupJoinPath(to, sizeof to, destination, entry.cFileName)) continue;
    CopyFileA(from, to, FALSE);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

// The size of a file given by name; a folder or a missing file has none.
bool FileSizeByName(const char* path, ULONGLONG* size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  *size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

typedef void(CALLBACK* InstallEntry)(HWND, HINSTANCE, LPSTR, int);

// Hands the saver to a control panel library's entry. A library or an entry
// that is not there ends the installer quietly.
void CallCplEntry(HWND owner, const char* library, const char* entryName, const char* argument) {
  HMODULE module = LoadLibraryA(library);
  if (module == nullptr) EndInstaller();
  InstallEntry entry = reinterpret_cast<InstallEntry>(reinterpret_cast<void*>(GetProcAddress(module, entryName)));
  if (entry == nullptr) EndInstaller();
  char text[kSetupPathSize];
  lstrcpynA(text, argument, sizeof text);
  entry(owner, GetModuleHandleA(nullptr), text, SW_SHOW);
  FreeLibrary(module);
}

void InstallSaver(HWND owner) {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExA(&version) ||
      (version.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS && version.dwPlatformId != VER_PLATFORM_WIN32_NT)) {
    MessageBoxA(owner, "This version of Windows is not supported.", "Unsupported platform", MB_OK);
    return;
  }
  // A Windows directory too long for the buffer is as good as none.
  char windows[kSetupPathSize];
  if (!SetupDirectoryUsable(GetWindowsDirectoryA(windows, sizeof windows), sizeof windows)) {
    MessageBoxA(owner, "Unable to find system directory.", "No sysroot", MB_OK);
    return;
  }
  // The bitmaps, then the patterns in their folder inside; an existing
  // folder is fine, and one that cannot be made leaves its copies to fail.
  for (const char* name : kInstalledFolders) {
    char folder[kSetupPathSize], source[kSetupPathSize];
    if (!SetupJoinPath(folder, sizeof folder, windows, name)) continue;
    CreateDirectoryA(folder, nullptr);
    if (SetupPath(source, "copy", name)) CopyFolderFiles(source, folder);
  }
  char files[kSetupPathSize];
  if (SetupPath(files, "copy")) CopyFolderFiles(files, windows);

  char installed[kSetupPathSize], source[kSetupPathSize];
  ULONGLONG installedSize = 0, sourceSize = 0;
  if (!SetupJoinPath(installed, sizeof installed, windows, kSaverName) || !FileSizeByName(installed, &installedSize) ||
      !SetupPath(source, "copy", kSaverName) || !FileSizeByName(source, &sourceSize) || installedSize != sourceSize) {
    MessageBoxA(owner, "Installation has failed, make sure you are logged in as Administrator and run setup again.",
                "Installation failure", MB_OK);
    return;
  }
  char panel[kSetupPathSize];
  if (!SetupJoinPath(panel, sizeof panel, windows, "system32", "desk.cpl")) return;
  CallCplEntry(owner, panel, "InstallScreenSaver", kSaverName);
}

// Enter works the control that has the focus, as a click would: the agree
// box, Install or Cancel. The keyboard handling of the message loop asks for
// it here, in the way a dialog names its default button.
LRESULT EnterTarget() {
  HWND focus = GetFocus();
  for (int which = kAgreeBox; which < kInstallControlCount; ++which)
    if (focus == Installer.controls[which]) return MAKELRESULT(kControls[which].id, DC_HASDEFID);
  return MAKELRESULT(kCancelId, DC_HASDEFID);
}

// Moved to a display of another resolution: the window takes the size the
// system suggests and the controls are laid out again for it.
void FollowDpiChange(HWND window, int dpi, const RECT* suggested) {
  Installer.dpi = dpi;
  SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
               suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client;
  GetClientRect(window, &client);
  for (int which = 0; which < kInstallControlCount; ++which) {
    InstallWindowRect place = PlaceInstallControl(static_cast<InstallControl>(which), client.right, client.bottom, dpi);
    MoveWindow(Installer.controls[which], place.left, place.top, place.width, place.height, TRUE);
  }
}

LRESULT CALLBACK InstallerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DPICHANGED:
      FollowDpiChange(window, HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_CREATE:
      CreateInstallerWindow(window);
      return 0;
    case DM_GETDEFID:
      return EnterTarget();
    case WM_DESTROY:
    case WM_CLOSE:
      EndInstaller();
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kAgreeId:
          ToggleAgreement();
          return 0;
        case kInstallId:
          InstallSaver(window);
          EndInstaller();
        case kCancelId:
          EndInstaller();
      }
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Opened from inside a zip file, the installer is unpacked alone and
  // finds none of the files it installs.
  if (!FindSetupFolder() || !SetupFileExists("terms.txt") || !SetupFileExists("copy", kSaverName)) {
    MessageBoxA(nullptr,
                "The setup files were not found next to the installer.\n\n"
                "Unpack the whole setup folder first (with terms.txt and the folder \"copy\"), "
                "then start install.exe from there.",
                "Setup files missing", MB_OK);
    return 0;
  }
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = InstallerWindowProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassExA(&windowClass)) return 1;
  HWND window = CreateWindowExA(0, kClassName, kClassName, WS_CAPTION | WS_SYSMENU, 0, 0, 0, 0, nullptr, nullptr,
                                instance, nullptr);
  if (window == nullptr) return 1;
  // The dialog keyboard: Tab and Shift+Tab move between the agree box and
  // the buttons, Space and Enter work the one that has the focus.
  MSG message = {};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}
