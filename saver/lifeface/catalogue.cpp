// Placeholder until the catalogue parser lands: an empty catalogue.
#include <cstring>

#include "lifeface/lifeface.h"

LifefaceCatalogueState LifefaceCatalogue = {nullptr, 0, 0, {0}};
const SettingDef CatalogueKeys[CatalogueKeyRows] = {};

void ClearCatalogue() { LifefaceCatalogue.count = 0; }
void ParseCatalogueText(const char*, size_t) {}
bool LifefaceUsable(const LifefaceRecord*) { return false; }
void LoadCatalogue(const char* fileName) {
  FileHandle file = PlatformOpenRead(fileName, nullptr, 0);
  if (file == nullptr) PlatformExit(1);
  PlatformClose(file);
}
