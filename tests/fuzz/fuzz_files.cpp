// In-memory files for the catalogue fuzzer: the catalogue "tumbra.ini", read
// back in uneven pieces, and a bitmap that exists under any path ending in
// "f.bmp". Nothing on disk is touched.
#include <cstring>

#include "fuzz_files.h"

FuzzCatalogueFile FuzzCatalogue = {nullptr, 0, 0, 1, false};

namespace {

const uint32_t BitmapSize = 300;
char BitmapMarker;

bool EndsWith(const char* text, const char* end) {
  const size_t length = std::strlen(text), endLength = std::strlen(end);
  return length >= endLength && std::strcmp(text + length - endLength, end) == 0;
}

}  // namespace

FileHandle PlatformOpenRead(const char* name, char* foundPath, size_t foundPathSize) {
  if (FuzzCatalogue.openable && std::strcmp(name, "tumbra.ini") == 0) {
    FuzzCatalogue.openable = false;
    FuzzCatalogue.position = 0;
    if (foundPath != nullptr && foundPathSize > 0) std::snprintf(foundPath, foundPathSize, "/fuzz/tumbra.ini");
    return &FuzzCatalogue;
  }
  if (EndsWith(name, "f.bmp")) return &BitmapMarker;
  return nullptr;
}

bool PlatformRead(FileHandle file, void* buffer, uint32_t size, uint32_t* got) {
  *got = 0;
  if (file != &FuzzCatalogue) return true;
  size_t n = FuzzCatalogue.size - FuzzCatalogue.position;
  if (n > size) n = size;
  if (n > FuzzCatalogue.piece) n = FuzzCatalogue.piece;
  std::memcpy(buffer, FuzzCatalogue.data + FuzzCatalogue.position, n);
  FuzzCatalogue.position += n;
  *got = static_cast<uint32_t>(n);
  return true;
}

bool PlatformFileSize(FileHandle file, uint32_t* size) {
  *size = file == &FuzzCatalogue ? static_cast<uint32_t>(FuzzCatalogue.size) : BitmapSize;
  return true;
}

void PlatformClose(FileHandle) {}

bool PlatformPathIsAbsolute(const char* path) {
  if (path[0] == '/' || path[0] == '\\') return true;
  return ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':';
}

