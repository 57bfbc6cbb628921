// Rules of the installer and the uninstaller that need no Windows: where the
// installer's window and controls go, how paths are built within the
// platform's 260-byte limit, and how much of the terms file is read.
// Header-only, so the two programs stay self-contained and the unit tests can
// check the rules natively.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/names.h"

// ---- Paths -----------------------------------------------------------------

// Every path is built in a buffer of this size (the platform's MAX_PATH),
// which holds at most 259 characters and the closing 0.
constexpr size_t kSetupPathSize = 260;

// Joins up to three parts with single backslashes ("a\b\c") into out.
// A null part ends the list. When the result (with its closing 0) would not
// fit into size bytes, nothing but an empty text is written and the answer is
// false: a path that would be cut short must never be used, since it names
// another file.
inline bool SetupJoinPath(char* out, size_t size, const char* first, const char* second,
                          const char* third = nullptr) {
  if (size == 0) return false;
  const char* parts[3] = {first, second, third};
  size_t used = 0;
  for (const char* part : parts) {
    if (part == nullptr) break;
    if (used > 0) {
      if (used + 1 >= size) {
        out[0] = 0;
        return false;
      }
      out[used++] = '\\';
    }
    for (const char* p = part; *p; ++p) {
      if (used + 1 >= size) {
        out[0] = 0;
        return false;
      }
      out[used++] = *p;
    }
  }
  out[used] = 0;
  return true;
}

// The programs skip every directory entry whose name begins with a full stop:
// ".", ".." and hidden Unix-style files alike.
inline bool SetupSkipsEntry(const char* name) { return name[0] == '.'; }

// The folder of a file given by its full path ("C:\setup\install.exe" gives
// "C:\setup"): the installer's setup folder is the one it lies in. False,
// with an empty text, when the path names no folder or the folder does not
// fit into size bytes.
inline bool SetupFolderOf(char* out, size_t size, const char* path) {
  if (size == 0) return false;
  out[0] = 0;
  size_t end = 0;
  for (size_t i = 0; path[i] != 0; ++i)
    if (path[i] == '\\' || path[i] == '/') end = i;
  if (end == 0 || end >= size) return false;
  for (size_t i = 0; i < end; ++i) out[i] = path[i];
  out[end] = 0;
  return true;
}

// GetWindowsDirectoryA answers 0 on failure and the size it needs when the
// buffer is too small; only a length below the buffer size is a usable path.
inline bool SetupDirectoryUsable(uint32_t length, size_t size) { return length != 0 && length < size; }

// ---- Installed folders -------------------------------------------------------

// The folders the installer fills below the Windows directory, each from the
// folder of the same name in the setup folder's "copy", parents first: the
// lifeface bitmaps' folder and, inside it, the shipped patterns, where users
// add their own. The uninstaller empties and removes them the other way
// round, so each folder holds no sub-folder of ours by the time it goes.
constexpr const char* kInstalledFolders[] = {LifefaceFolderName, LifefaceFolderName "\\" PatternFolderName};
constexpr int kInstalledFolderCount = static_cast<int>(sizeof kInstalledFolders / sizeof kInstalledFolders[0]);

// ---- Installer window ------------------------------------------------------

struct InstallWindowRect {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
};

// A length of the layout, given in pixels at 96 dots per inch, at the
// display's dpi (an unusable dpi counts as 96): the installer declares itself
// DPI aware, so the system no longer scales its window for it.
inline int32_t ScaleToDpi(int32_t length, int32_t dpi) {
  if (dpi <= 0 || dpi > 96 * 16) dpi = 96;
  return static_cast<int32_t>(static_cast<int64_t>(length) * dpi / 96);
}

// At most 640 pixels (at 96 dpi) wide, half the usable height, centred on the
// usable screen area of cx x cy pixels; every halving is an integer division.
inline InstallWindowRect PlaceInstallWindow(int32_t cx, int32_t cy, int32_t dpi = 96) {
  InstallWindowRect r;
  const int32_t widest = ScaleToDpi(640, dpi);
  r.width = cx / 2 < widest ? cx / 2 : widest;
  r.height = cy / 2;
  r.left = cx / 2 - r.width / 2;
  r.top = cy / 2 - r.height / 2;
  return r;
}

// One coordinate of a child control: edge x halves / 2 + offset, where the
// edge is the client width R or height B (halves 0: a fixed value, 1: half
// the edge, 2: the whole edge).
struct EdgeOffset {
  int32_t halves;
  int32_t offset;
};

struct ControlPlacement {
  EdgeOffset x;  // relative to R
  EdgeOffset y;  // relative to B
  EdgeOffset width;  // relative to R
  EdgeOffset height;  // relative to B
};

// The installer's child controls in creation order.
enum InstallControl { kTermsBox, kBanner, kAgreeBox, kInstallButton, kCancelButton, kInstallControlCount };

// From top to bottom: the banner's 128 rows, the terms box, and a band of 128
// rows with the agree box on the left and Install above Cancel on the right.
constexpr ControlPlacement kInstallPlacements[kInstallControlCount] = {
    {{0, 0}, {0, 128}, {2, 0}, {2, -256}},       // terms box
    {{0, 0}, {0, 0}, {0, 206}, {0, 128}},        // banner
    {{0, 16}, {2, -64}, {1, 0}, {0, 16}},        // agree box
    {{2, -120}, {2, -84}, {0, 100}, {0, 20}},    // Install
    {{2, -120}, {2, -44}, {0, 100}, {0, 20}},    // Cancel
};

// The offsets are pixels at 96 dpi; the share of the edge is not scaled.
inline int32_t ResolveEdge(EdgeOffset e, int32_t edge, int32_t dpi) {
  return edge * e.halves / 2 + ScaleToDpi(e.offset, dpi);
}

// The rectangle of a control in a client area R wide and B high.
inline InstallWindowRect PlaceInstallControl(InstallControl which, int32_t R, int32_t B, int32_t dpi = 96) {
  const ControlPlacement& p = kInstallPlacements[which];
  InstallWindowRect r;
  r.left = ResolveEdge(p.x, R, dpi);
  r.top = ResolveEdge(p.y, B, dpi);
  r.width = ResolveEdge(p.width, R, dpi);
  r.height = ResolveEdge(p.height, B, dpi);
  return r;
}

// ---- Terms -------------------------------------------------------------------------

// How many bytes of a "terms.txt" of sizeLow + 4 GB x sizeHigh bytes are
// read for the terms box: all of them, since the user agrees to the whole
// text. 0 means there is nothing to show: the file is empty, or too large to
// be read in one piece with room for the closing 0.
inline uint32_t TermsReadSize(uint32_t sizeLow, uint32_t sizeHigh) {
  if (sizeHigh != 0 || sizeLow == UINT32_MAX) return 0;
  return sizeLow;
}
