// Test doubles of the platform: a clock the test moves, an in-memory settings
// store that can be made to fail, text calls that are recorded, and faults
// that end the process as in the Windows saver or let it go on.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

// ---- clock
extern uint32_t FakeNow;
extern std::vector<uint32_t> FakeSleeps;  // every sleep asked for
extern uint32_t FakeIdleCut;  // nonzero: input ends an idle wait after this many ms
extern uint32_t FakeTickPerRead;  // the clock moves on this many ms each time it is read (0: only when moved)
void FakeClockReset(uint32_t now);

// ---- store
struct FakeValue {
  StoreType type;
  std::vector<uint8_t> bytes;
};
struct FakeStoreState {
  bool exists = false;
  std::map<std::string, FakeValue> values;
  std::vector<std::string> writes;  // names in the order written
  bool failOpen = false;
  std::string failWriteOf;          // this value cannot be written
  std::string failReadOf;           // this value cannot be read
  bool failClose = false;           // what was written cannot be kept
  bool takeDefaults = false;        // a value that cannot be read takes its default, as natively
  std::vector<std::string> defaultsTaken;  // the values it was asked to give up on, in order
  int opens = 0;
  int closes = 0;
};
extern FakeStoreState FakeStore;
void FakeStoreReset();
void FakeStorePutDword(const std::string& name, uint32_t value);
void FakeStorePutBytes(const std::string& name, const std::vector<uint8_t>& bytes);

// ---- surfaces
// True (the default): a positive height gives bottom-up rows, as on Windows.
// False: every surface is top-down, as natively.
extern bool FakeSurfacesBottomUp;

// ---- text
struct FakeTextCall {
  ContextHandle dc;
  int32_t x;
  int32_t y;
  std::string text;
  uint32_t colour;      // text colour in force, 0x00RRGGBB
  uint32_t background;  // background colour in force, 0x00RRGGBB
  bool opaque;
  FontHandle font;
};
extern std::vector<FakeTextCall> FakeTextOuts;
extern TextMetrics FakeMetrics;
extern bool FakeTextDraws;  // text also goes into the surface's pixels
void FakeTextReset();

// ---- faults (tumbra_fake_faults)
extern std::vector<std::string> FakeUnreadableLifefaces;  // every path reported
extern bool FakeFaultsGoOn;  // false (the default): exit code 1, as the Windows saver
void FakeFaultsReset();
