// The few services the portable saver code needs from the system. Each build
// links exactly one implementation of every group: win32/ on Windows, posix/
// natively; tests may link fakes from tests/fakes instead. No windows.h here.
#pragma once

#include <cstddef>
#include <cstdint>

typedef void* WindowHandle;   // HWND on Windows
typedef void* ContextHandle;  // HDC: the drawing context of a surface
typedef void* FontHandle;     // HFONT
typedef void* FileHandle;     // an open file

// ---- Clock and process -----------------------------------------------------

// Milliseconds since some fixed moment, wrapping at 2^32.
uint32_t PlatformTickCount();
void PlatformSleep(uint32_t milliseconds);
// Waits the given time, or less when input (or any message) arrives for the
// calling thread's windows.
void PlatformIdle(uint32_t milliseconds);
// Ends the process at once with the given exit code; nothing is saved.
[[noreturn]] void PlatformExit(int code);

// ---- Memory --------------------------------------------------------------------

// A zero-filled block of at least `bytes` bytes starting on a 64-byte line, or
// null. Only PlatformFreeZeroed takes it back.
void* PlatformAllocateZeroed(size_t bytes);
void PlatformFreeZeroed(void* block);

// ---- Files -------------------------------------------------------------------

// Opens a file for reading, or returns null. A bare name is searched for the
// way the system searches for one (the program's own folder first, then the
// current folder and the system folders). When foundPath is given it receives
// the full path of the file opened, truncated to fit foundPathSize.
FileHandle PlatformOpenRead(const char* name, char* foundPath, size_t foundPathSize);
// Reads up to size bytes. False on a read error; *got is 0 at the end.
bool PlatformRead(FileHandle file, void* buffer, uint32_t size, uint32_t* got);
bool PlatformFileSize(FileHandle file, uint32_t* size);
void PlatformClose(FileHandle file);
// True when the path names a place by itself (a drive, a root or a share),
// false when it is relative to some folder.
bool PlatformPathIsAbsolute(const char* path);
// The folder of the running program, without a separator at its end, in
// folder[0..size); false, with folder empty, when it cannot be told or
// does not fit.
bool PlatformProgramFolder(char* folder, size_t size);

// Calls visit with the full path of each file in the folder and, down to
// depth levels, in its subfolders; entries whose names begin with a full stop
// are passed over. The order is the system's. A folder that is already on
// the way down (a link back up) is not entered again, and one call looks at
// no more than FolderListEntryLimit entries in no more than
// FolderListFolderLimit folders (Golly's collection has some 3000 files in
// 200 folders). False when the folder cannot be read.
typedef void (*FolderVisit)(const char* path, void* context);
const int32_t FolderListEntryLimit = 200000;
const int32_t FolderListFolderLimit = 20000;
bool PlatformListFolder(const char* folder, int32_t depth, FolderVisit visit, void* context);

// ---- Settings store ----------------------------------------------------------
// One key of named values, each a DWORD, a binary block or a text (the
// registry key of the saver on Windows, a small file natively).

struct StoreKey {
  void* handle;
};

enum StoreType : uint32_t {
  StoreText = 1,    // REG_SZ: bytes ending in a 0
  StoreBinary = 3,  // REG_BINARY
  StoreDword = 4,   // REG_DWORD
};

enum StoreStatus {
  StoreOk,
  StoreMissing,   // no value of that name
  StoreTooLong,   // the stored value has more bytes than the buffer
  StoreFailed,    // any other failure
};

// Opens the key, creating it when it does not exist; *createdNew tells which.
bool StoreOpen(StoreKey* key, bool* createdNew);
// Reads a value into data; *size holds the capacity on entry and the number
// of bytes stored on return. The stored type is not looked at.
StoreStatus StoreRead(StoreKey key, const char* name, void* data, uint32_t* size);
// A store may keep what is written until the key is closed.
bool StoreWrite(StoreKey key, const char* name, StoreType type, const void* data, uint32_t size);
// False when values written could not be kept.
bool StoreClose(StoreKey key);
// A value that must be there but is missing or cannot be read: true when
// the store takes the value's default (and has said so), false when the
// process is to end with exit code 1 (the saver's rule on Windows).
bool StoreTakesDefault(StoreKey key, const char* name);

// ---- Surfaces ----------------------------------------------------------------

// A 32-bit picture with its drawing context. Pixel (x, y) counted from the
// top-left is the word at bits + y * stride + 4 * x, 0x00RRGGBB.
struct FrameSurface {
  int32_t width;
  int32_t height;
  int32_t stride;  // bytes from one displayed row to the one below; negative when bottom-up
  uint8_t* bits;   // first pixel of the top displayed row
  ContextHandle dc;
  void* bitmap;    // the system's object behind the pixels
};

// Makes the pixel memory and drawing context of a surface of width x |height|
// pixels. The rows lie in whatever order the system keeps them (a positive
// height asks a Windows bitmap for bottom-up rows): sets bits to the top
// displayed row and stride to the bytes down to the next, and dc and bitmap.
// window is the window the surface is shown in; null for a picture that is
// only drawn into and read, never shown, which a system may keep in plain
// memory. False when anything cannot be made.
bool PlatformCreateSurface(WindowHandle window, int32_t width, int32_t height, int32_t bitsPerPixel,
                           FrameSurface* surface);
void PlatformReleaseSurface(FrameSurface* surface);

struct PixelRect {
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
};

// Copies each rectangle of the surface to the same place in the window's
// client area (the window clips what lies beyond it). The rectangles lie
// inside the surface. False when the window has no drawing context just now.
// Natively a window is a picture in memory: a FrameSurface, or null for none.
bool PlatformPresent(WindowHandle window, const FrameSurface* surface, const PixelRect* rects, int32_t count);

// ---- Bitmap files --------------------------------------------------------------

struct LoadedBitmap {
  void* handle;
  int32_t width;
  int32_t height;
};

// Loads a bitmap file of any depth the system reads. False when it cannot.
bool PlatformLoadBitmap(const char* path, LoadedBitmap* bitmap);
// A lifeface picture that cannot be read, by its path. The Windows saver ends
// there with exit code 1; the native programs name the file on standard
// error and return, and the saver passes the lifeface over: another one is
// shown, or Classic Mode.
void PlatformLifefaceUnreadable(const char* path);
// Copies the whole picture to the surface's top-left corner as 0x00RRGGBB.
void PlatformDrawBitmap(const LoadedBitmap* bitmap, FrameSurface* surface);
void PlatformFreeBitmap(LoadedBitmap* bitmap);

// ---- Text ----------------------------------------------------------------------
// Colours handed to these calls are 0x00RRGGBB, as everywhere else.

struct TextMetrics {
  int32_t height;
  int32_t aveCharWidth;
  int32_t maxCharWidth;
};

// Bold 10-point "Courier New" at the window's resolution; null is no error.
FontHandle PlatformCreateOverlayFont(WindowHandle window);
// Selects the font into the context and sets its mapping mode to plain pixels.
void PlatformSelectFont(ContextHandle dc, FontHandle font);
void PlatformGetTextMetrics(ContextHandle dc, TextMetrics* metrics);
void PlatformSetTextColour(ContextHandle dc, uint32_t colour);
void PlatformSetBackgroundOpaque(ContextHandle dc, bool opaque);
void PlatformSetBackgroundColour(ContextHandle dc, uint32_t colour);
void PlatformTextOut(ContextHandle dc, int32_t x, int32_t y, const char* text, int32_t length);
