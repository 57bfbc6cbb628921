// The native folder walk with bounds of the caller's choosing (tests take
// small ones); PlatformListFolder walks within the platform's own.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct FolderListLimits {
  int64_t entries;  // entries looked at, files and folders
  int32_t folders;  // folders read, the first one included
};

bool ListFolderWithin(const char* folder, int32_t depth, FolderListLimits limits, FolderVisit visit, void* context);
