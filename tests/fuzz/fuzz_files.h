// The in-memory catalogue file of the catalogue fuzzer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/platform.h"

struct FuzzCatalogueFile {
  const uint8_t* data;
  size_t size;
  size_t position;
  uint32_t piece;  // the most bytes one read hands back
  bool openable;   // set for the one open of LoadCatalogue, so a bmp value never names it
};
extern FuzzCatalogueFile FuzzCatalogue;
