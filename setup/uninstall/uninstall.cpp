// The uninstaller: asks, removes the saver, its catalogue and its lifeface
// folder with the patterns inside from the Windows directory, and deletes
// the saver's settings unless the user keeps them. It has no window; it
// talks only through message boxes.
#include <windows.h>

#include "../setup_rules.h"

namespace {

const char kTitle[] = "Uninstall";
const char kSettingsKey[] = "Software\\KORVEL\\tumbra";

// Clears read-only, hidden and system first, so that such files go too.
// Failures are passed over: the verdict rests on the saver file alone.
void ForceDeleteFile(const char* path) {
  SetFileAttributesA(path, 0);
  DeleteFileA(path);
}

void ForceRemoveFolder(const char* path) {
  SetFileAttributesA(path, 0);
  RemoveDirectoryA(path);
}

// Deletes every file of an installed folder (named below the Windows
// directory) except those whose names begin with a full stop; a name too
// long for a path is left alone.
void EmptyInstalledFolder(const char* windows, const char* name) {
  char pattern[kSetupPathSize];
  if (!SetupJoinPath(pattern, sizeof pattern, windows, name, "*.*")) return;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(pattern, &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (SetupSkipsEntry(entry.cFileName)) continue;
    char path[kSetupPathSize];
    if (SetupJoinPath(path, sizeof path, windows, name, entry.cFileName)) ForceDeleteFile(path);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

// Removes one file or folder below the Windows directory by its name there.
void RemoveInstalled(const char* windows, const char* name, void (*remove)(const char*)) {
  char path[kSetupPathSize];
  if (SetupJoinPath(path, sizeof path, windows, name)) remove(path);
}

bool SaverStillThere(const char* windows) {
  char path[kSetupPathSize];
  if (!SetupJoinPath(path, sizeof path, windows, "tumbra.scr")) return false;
  // Opened for reading as OpenFile with OF_READ would, but without its limit
  // of 128 characters, which would take a long path for a missing file.
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

}  // namespace

// The questions and the last message name "(Mirandel Version 2)", not tumbra:
// they are the uninstaller's fixed texts, word for word. Keep them so.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (MessageBoxA(nullptr, "Do you want to uninstall (Mirandel Version 2) from this computer?", kTitle,
                  MB_YESNO | MB_ICONQUESTION) != IDYES)
    ExitProcess(0);
  if (MessageBoxA(nullptr, "Do you want to save your current settings for (Mirandel Version 2)?", kTitle,
                  MB_YESNO | MB_ICONQUESTION) == IDNO)
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);

  // A Windows directory too long for the buffer is as good as none.
  char windows[kSetupPathSize];
  if (!SetupDirectoryUsable(GetWindowsDirectoryA(windows, sizeof windows), sizeof windows)) ExitProcess(1);

  // The patterns' folder first: the lifeface folder holding it could not go.
  for (int k = kInstalledFolderCount - 1; k >= 0; --k) {
    EmptyInstalledFolder(windows, kInstalledFolders[k]);
    RemoveInstalled(windows, kInstalledFolders[k], ForceRemoveFolder);
  }
  RemoveInstalled(windows, "tumbra.ini", ForceDeleteFile);
  RemoveInstalled(windows, "tumbra.scr", ForceDeleteFile);

  if (SaverStillThere(windows)) {
    MessageBoxA(nullptr,
                "This program must be run as Administrator to do a complete uninstall.\n"
                "Log on as Administrator and run this program again.",
                kTitle, MB_OK | MB_ICONEXCLAMATION);
    ExitProcess(1);
  }
  MessageBoxA(nullptr, "(Mirandel Version 2) has been successfully uninstalled.", kTitle, MB_OK);
  ExitProcess(0);
}
