// The platform on Windows: GetTickCount, the registry key, DIB sections, GDI
// text and LoadImageA, behind the portable platform header.
#include <windows.h>
#include <malloc.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

// ---- Clock and process ---------------------------------------------------------

uint32_t PlatformTickCount() { return GetTickCount(); }

void PlatformSleep(uint32_t milliseconds) { Sleep(milliseconds); }

// Any message that is not a paint ends the wait: the window is never
// validated, so a pending paint is always there and is no reason to wake.
void PlatformIdle(uint32_t milliseconds) {
  MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds,
                            QS_INPUT | QS_POSTMESSAGE | QS_SENDMESSAGE | QS_TIMER | QS_HOTKEY);
}

void PlatformExit(int code) { ExitProcess(static_cast<UINT>(code)); }

void PlatformLifefaceUnreadable(const char*) { PlatformExit(1); }

// ---- Memory ------------------------------------------------------------------------

void* PlatformAllocateZeroed(size_t bytes) {
  const size_t rounded = (bytes + 63) & ~static_cast<size_t>(63);
  if (rounded < bytes) return nullptr;
  void* block = _aligned_malloc(rounded, 64);
  if (block != nullptr) std::memset(block, 0, rounded);
  return block;
}

void PlatformFreeZeroed(void* block) { _aligned_free(block); }

// ---- Files -------------------------------------------------------------------------

FileHandle PlatformOpenRead(const char* name, char* foundPath, size_t foundPathSize) {
  OFSTRUCT found;
  std::memset(&found, 0, sizeof found);
  HFILE file = OpenFile(name, &found, OF_READ);
  if (file == HFILE_ERROR) return nullptr;
  if (foundPath != nullptr && foundPathSize > 0) std::snprintf(foundPath, foundPathSize, "%s", found.szPathName);
  return reinterpret_cast<FileHandle>(static_cast<LONG_PTR>(file));
}

bool PlatformRead(FileHandle file, void* buffer, uint32_t size, uint32_t* got) {
  DWORD read = 0;
  BOOL ok = ReadFile(static_cast<HANDLE>(file), buffer, size, &read, nullptr);
  *got = read;
  return ok != FALSE;
}

bool PlatformFileSize(FileHandle file, uint32_t* size) {
  DWORD high = 0;
  DWORD low = GetFileSize(static_cast<HANDLE>(file), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
  *size = low;
  return true;
}

void PlatformClose(FileHandle file) { CloseHandle(static_cast<HANDLE>(file)); }

bool PlatformPathIsAbsolute(const char* path) {
  if (path[0] == '\\' || path[0] == '/') return true;
  return ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':';
}

bool PlatformProgramFolder(char* folder, size_t size) {
  if (size == 0) return false;
  folder[0] = '\0';
  char self[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  char* slash = std::strrchr(self, '\\');
  if (slash == nullptr || static_cast<size_t>(slash - self) >= size) return false;
  std::memcpy(folder, self, static_cast<size_t>(slash - self));
  folder[slash - self] = '\0';
  return true;
}

bool PlatformListFolder(const char* folder, int32_t depth, FolderVisit visit, void* context) {
  char path[MAX_PATH];
  const size_t length = std::strlen(folder);
  const char* separator = length > 0 && (folder[length - 1] == '\\' || folder[length - 1] == '/') ? "" : "\\";
  if (std::snprintf(path, sizeof path, "%s%s*", folder, separator) >= static_cast<int>(sizeof path)) return false;
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA(path, &entry);
  if (find == INVALID_HANDLE_VALUE) return false;
  do {
    if (entry.cFileName[0] == '.') continue;
    // A path that would be cut short names another file: it is passed over.
    if (std::snprintf(path, sizeof path, "%s%s%s", folder, separator, entry.cFileName) >= static_cast<int>(sizeof path))
      continue;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      visit(path, context);
    else if (depth > 0)
      PlatformListFolder(path, depth - 1, visit, context);
  } while (FindNextFileA(find, &entry));
  FindClose(find);
  return true;
}


// ---- Settings store: HKEY_CURRENT_USER "Software\KORVEL\tumbra" ------------------------

bool StoreOpen(StoreKey* key, bool* createdNew) {
  HKEY opened = nullptr;
  DWORD disposition = 0;
  LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\KORVEL\\tumbra", 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_ALL_ACCESS, nullptr, &opened, &disposition);
  if (result != ERROR_SUCCESS) return false;
  key->handle = opened;
  *createdNew = disposition == REG_CREATED_NEW_KEY;
  return true;
}

StoreStatus StoreRead(StoreKey key, const char* name, void* data, uint32_t* size) {
  DWORD type = 0;
  DWORD bytes = *size;
  LONG result = RegQueryValueExA(static_cast<HKEY>(key.handle), name, nullptr, &type, static_cast<BYTE*>(data), &bytes);
  if (result == ERROR_SUCCESS) {
    *size = bytes;
    return StoreOk;
  }
  if (result == ERROR_MORE_DATA) return StoreTooLong;
  if (result == ERROR_FILE_NOT_FOUND) return StoreMissing;
  return StoreFailed;
}

bool StoreWrite(StoreKey key, const char* name, StoreType type, const void* data, uint32_t size) {
  return RegSetValueExA(static_cast<HKEY>(key.handle), name, 0, type, static_cast<const BYTE*>(data), size) ==
         ERROR_SUCCESS;
}

bool StoreClose(StoreKey key) {
  RegCloseKey(static_cast<HKEY>(key.handle));
  return true;
}

// The saver reads nothing it cannot trust: a value it cannot read ends it.
bool StoreTakesDefault(StoreKey, const char*) { return false; }

// ---- Surfaces -----------------------------------------------------------------------

// Windows queues a thread's GDI calls and may run them later, while the
// portable code reads and writes a DIB section's bits directly right after
// GDI drew into them: the drawing must be done before the call returns, or
// text and tiles land in a later frame. Wine runs GDI calls at once, so no
// test under it can show a missing flush.
static void FlushDrawing() { GdiFlush(); }

bool PlatformCreateSurface(WindowHandle window, int32_t width, int32_t height, int32_t bitsPerPixel,
                           FrameSurface* surface) {
  BITMAPINFOHEADER header;
  std::memset(&header, 0, sizeof header);
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(bitsPerPixel);
  header.biCompression = BI_RGB;
  HWND hwnd = static_cast<HWND>(window);
  HDC windowDc = GetDC(hwnd);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(windowDc, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(windowDc);
  ReleaseDC(hwnd, windowDc);
  if (bitmap == nullptr || dc == nullptr || SelectObject(dc, bitmap) == nullptr) {
    if (dc != nullptr) DeleteDC(dc);
    if (bitmap != nullptr) DeleteObject(bitmap);
    return false;
  }
  // A positive height is a bottom-up bitmap: start at the top displayed row
  // and walk upward.
  const int32_t rowBytes = width * (bitsPerPixel / 8);
  surface->bits = static_cast<uint8_t*>(bits);
  surface->stride = rowBytes;
  if (height > 0) {
    surface->bits += static_cast<intptr_t>(rowBytes) * (height - 1);
    surface->stride = -rowBytes;
  }
  surface->dc = dc;
  surface->bitmap = bitmap;
  return true;
}

void PlatformReleaseSurface(FrameSurface* surface) {
  if (surface->dc != nullptr) DeleteDC(static_cast<HDC>(surface->dc));
  if (surface->bitmap != nullptr) DeleteObject(static_cast<HBITMAP>(surface->bitmap));
  surface->dc = nullptr;
  surface->bitmap = nullptr;
  surface->bits = nullptr;
}

// One copy per rectangle: a clip region of many rectangles costs the system
// more to build than the copies it would save.
bool PlatformPresent(WindowHandle window, const FrameSurface* surface, const PixelRect* rects, int32_t count) {
  HWND hwnd = static_cast<HWND>(window);
  HDC dc = GetDC(hwnd);
  if (dc == nullptr) return false;
  HDC source = static_cast<HDC>(surface->dc);
  for (int32_t i = 0; i < count; ++i)
    BitBlt(dc, rects[i].x, rects[i].y, rects[i].width, rects[i].height, source, rects[i].x, rects[i].y, SRCCOPY);
  ReleaseDC(hwnd, dc);
  return true;
}

// ---- Bitmap files ----------------------------------------------------------------------

bool PlatformLoadBitmap(const char* path, LoadedBitmap* bitmap) {
  HANDLE image = LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
  if (image == nullptr) return false;
  BITMAP info;
  std::memset(&info, 0, sizeof info);
  GetObjectA(image, sizeof info, &info);
  bitmap->handle = image;
  bitmap->width = info.bmWidth;
  bitmap->height = info.bmHeight;
  return true;
}

void PlatformDrawBitmap(const LoadedBitmap* bitmap, FrameSurface* surface) {
  HDC source = CreateCompatibleDC(static_cast<HDC>(surface->dc));
  HGDIOBJ previous = SelectObject(source, static_cast<HBITMAP>(bitmap->handle));
  BitBlt(static_cast<HDC>(surface->dc), 0, 0, bitmap->width, bitmap->height, source, 0, 0, SRCCOPY);
  SelectObject(source, previous);
  DeleteDC(source);
  FlushDrawing();
}

void PlatformFreeBitmap(LoadedBitmap* bitmap) {
  if (bitmap->handle != nullptr) DeleteObject(static_cast<HBITMAP>(bitmap->handle));
  bitmap->handle = nullptr;
}

// ---- Text -----------------------------------------------------------------------------

FontHandle PlatformCreateOverlayFont(WindowHandle window) {
  HWND hwnd = static_cast<HWND>(window);
  HDC dc = GetDC(hwnd);
  int height = -MulDiv(10, GetDeviceCaps(dc, LOGPIXELSY), 72);
  HFONT font = CreateFontA(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, "Courier New");
  ReleaseDC(hwnd, dc);
  return font;
}

void PlatformSelectFont(ContextHandle dc, FontHandle font) {
  if (font != nullptr) SelectObject(static_cast<HDC>(dc), static_cast<HFONT>(font));
  SetMapMode(static_cast<HDC>(dc), MM_TEXT);
}

void PlatformGetTextMetrics(ContextHandle dc, TextMetrics* metrics) {
  TEXTMETRICA tm;
  std::memset(&tm, 0, sizeof tm);
  GetTextMetricsA(static_cast<HDC>(dc), &tm);
  metrics->height = tm.tmHeight;
  metrics->aveCharWidth = tm.tmAveCharWidth;
  metrics->maxCharWidth = tm.tmMaxCharWidth;
}

// The portable code's 0x00RRGGBB in GDI's COLORREF order 0x00BBGGRR.
static COLORREF ColourRef(uint32_t colour) { return RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF); }

void PlatformSetTextColour(ContextHandle dc, uint32_t colour) { SetTextColor(static_cast<HDC>(dc), ColourRef(colour)); }

void PlatformSetBackgroundOpaque(ContextHandle dc, bool opaque) {
  SetBkMode(static_cast<HDC>(dc), opaque ? OPAQUE : TRANSPARENT);
}

void PlatformSetBackgroundColour(ContextHandle dc, uint32_t colour) {
  SetBkColor(static_cast<HDC>(dc), ColourRef(colour));
}

void PlatformTextOut(ContextHandle dc, int32_t x, int32_t y, const char* text, int32_t length) {
  TextOutA(static_cast<HDC>(dc), x, y, text, length);
  FlushDrawing();
}
