// Faults a native program goes on after: it says what happened on standard
// error, under its own name, and the saver carries on without the thing.
#include <errno.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"

// Catalogue paths are written with backslashes: the file is named as the
// system names it.
void PlatformLifefaceUnreadable(const char* path) {
  std::string shown(path);
  for (char& c : shown)
    if (c == '\\') c = '/';
  std::fprintf(stderr, "%s: cannot read the lifeface picture %s; going on without it\n",
               program_invocation_short_name, shown.c_str());
}
