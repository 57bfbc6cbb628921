// Loading the current lifeface: its bitmap into a surface, its tile indexes
// brought into the picture and put in order.
#include <algorithm>
#include <cstring>
#include <utility>

#include "lifeface/lifeface.h"
#include "platform/surface.h"

FrameSurface* LifefaceSurface = nullptr;

LifefaceRecord* CurrentLifeface() {
  if (Settings.face < 0 || Settings.face >= LifefaceCatalogue.count) return nullptr;
  return &LifefaceCatalogue.records[Settings.face];
}

bool LifefacePath(const LifefaceRecord* record, char* path, size_t size) {
  const char* folder = PlatformPathIsAbsolute(record->bmp) ? "" : LifefaceCatalogue.folder;
  const size_t folderLength = std::strlen(folder);
  const size_t nameLength = std::strlen(record->bmp);
  if (folderLength + nameLength + 1 > size) return false;
  std::memcpy(path, folder, folderLength);
  std::memcpy(path + folderLength, record->bmp, nameLength + 1);
  return true;
}

static void ReleaseLifefaceSurface() {
  ReleaseFrameSurface(LifefaceSurface);
  LifefaceSurface = nullptr;
}

static void CompareExchange(int32_t& a, int32_t& b) {
  if (b < a) std::swap(a, b);
}

// Tile indexes are taken modulo the tiles across (down) plus one, as unsigned
// numbers: a catalogue number above 2^31 is no negative index.
static int32_t TileRemainder(int32_t index, int32_t tiles) {
  return static_cast<int32_t>(static_cast<uint32_t>(index) % static_cast<uint32_t>(tiles));
}

// The picture is made without a window: it is never shown itself, only its
// tiles are copied into frames.
bool LoadLifeface(LifefaceRecord* face) {
  ReleaseLifefaceSurface();
  char path[sizeof LifefaceCatalogue.folder + LifefaceTextSize];
  LoadedBitmap picture = {};
  const bool named = LifefacePath(face, path, sizeof path);
  if (!named || !PlatformLoadBitmap(path, &picture)) {
    face->unreadable = true;
    PlatformLifefaceUnreadable(named ? path : face->bmp);
    return false;
  }
  LifefaceSurface = CreateFrameSurface(nullptr, picture.width, picture.height, 32);
  PlatformDrawBitmap(&picture, LifefaceSurface);
  PlatformFreeBitmap(&picture);

  const int32_t p = face->pixels;
  if (p < 8 || p > 32) {
    ReleaseLifefaceSurface();
    return false;
  }
  const int32_t across = LifefaceSurface->width / p + 1;
  face->x0 = TileRemainder(face->x0, across);
  face->x1 = TileRemainder(face->x1, across);
  face->x2 = TileRemainder(face->x2, across);
  face->x3 = TileRemainder(face->x3, across);
  CompareExchange(face->x0, face->x1);
  CompareExchange(face->x0, face->x2);
  CompareExchange(face->x0, face->x3);
  CompareExchange(face->x1, face->x2);
  CompareExchange(face->x1, face->x3);
  CompareExchange(face->x2, face->x3);
  const int32_t down = LifefaceSurface->height / p + 1;
  face->y0 = TileRemainder(face->y0, down);
  face->y1 = TileRemainder(face->y1, down);
  CompareExchange(face->y0, face->y1);
  return true;
}

bool LoadReadableLifeface(int32_t* face) {
  const int32_t count = LifefaceCatalogue.count;
  const int32_t first = *face >= 0 && *face < count ? *face : 0;
  for (int32_t tried = 0; tried < count; ++tried) {
    const int32_t k = static_cast<int32_t>((static_cast<int64_t>(first) + tried) % count);
    LifefaceRecord* record = &LifefaceCatalogue.records[k];
    if (record->unreadable) continue;
    const bool loaded = LoadLifeface(record);
    if (loaded || !record->unreadable) {
      *face = k;
      return loaded;
    }
  }
  return false;
}
