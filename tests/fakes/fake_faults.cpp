// Faults the Windows saver ends on, recorded; the process ends with exit code
// 1 as there unless a test asks it to go on as the native programs do.
#include "fakes/fakes.h"

std::vector<std::string> FakeUnreadableLifefaces;
bool FakeFaultsGoOn = false;

void FakeFaultsReset() {
  FakeUnreadableLifefaces.clear();
  FakeFaultsGoOn = false;
}

void PlatformLifefaceUnreadable(const char* path) {
  FakeUnreadableLifefaces.push_back(path);
  if (!FakeFaultsGoOn) PlatformExit(1);
}
