// Lifefaces: the catalogue "tumbra.ini" of tiled pictures, and the loading of
// the current one into a 32-bit surface.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/names.h"
#include "platform/platform.h"
#include "settings/settings.h"

const int LifefaceTextSize = NameTextSize;

// One catalogue section. Text members are zero-terminated; numbers carry no
// sign in the file but wrap at 32 bits.
struct LifefaceRecord {
  char name[LifefaceTextSize];
  char bmp[LifefaceTextSize];
  char author[LifefaceTextSize];
  char comment[LifefaceTextSize];
  int32_t pixels;
  int32_t x0;
  int32_t x1;
  int32_t x2;
  int32_t x3;
  int32_t coltime;
  int32_t y0;
  int32_t y1;
  int32_t rowtime;
  int32_t flags;
  bool unreadable;  // its picture could not be read: passed over from then on
};

struct LifefaceCatalogueState {
  LifefaceRecord* records;
  int32_t count;
  int32_t capacity;  // a multiple of 16
  // The folder the catalogue was found in, with a trailing separator; a
  // relative bmp path is taken from there, whatever the current folder is.
  char folder[260];
};
extern LifefaceCatalogueState LifefaceCatalogue;

const int CatalogueKeyRows = 13;
extern const SettingDef CatalogueKeys[CatalogueKeyRows];

// Reads the whole catalogue, starting from an empty one (the allocation is
// kept), and records the folder it was found in. A file that cannot be opened
// or read ends the process with exit code 1; malformed lines and unusable
// records are dropped. A token of more than 79 characters, or a section name
// that would be, makes its line malformed.
void LoadCatalogue(const char* fileName);
// Parses catalogue text already in memory (the same rules as the file); the
// folder is left empty, so relative bitmap names are the current folder's.
void ParseCatalogueText(const char* text, size_t length);
// Forgets every record (tests and fuzzing start each input afresh).
void ClearCatalogue();
bool LifefaceUsable(const LifefaceRecord* record);
// The path of a record's bitmap: bmp itself when absolute, else bmp inside the
// catalogue's folder. False when it would not fit the buffer.
bool LifefacePath(const LifefaceRecord* record, char* path, size_t size);

// The current record, or null when face does not index the catalogue.
LifefaceRecord* CurrentLifeface();

// The picture of the current lifeface, or null: then Animated Mode cannot run.
extern FrameSurface* LifefaceSurface;
// Loads the record's picture in place of the one before, checks the tile
// size and normalises the record's tile indexes. False, and no picture, when
// the tile size is unusable; a picture that cannot be read marks the record
// unreadable and goes to the platform (PlatformLifefaceUnreadable: the
// Windows saver ends with exit code 1), and then gives false as well.
bool LoadLifeface(LifefaceRecord* face);
// Loads the lifeface numbered *face or, when its picture cannot be read, the
// next one in the catalogue's order whose picture can (those found
// unreadable before are not tried again); *face is then the one loaded.
// False, with no picture, when none can be read or the one read has an
// unusable tile size.
bool LoadReadableLifeface(int32_t* face);
