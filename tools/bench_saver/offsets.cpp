// Where a revision's saver keeps the counters bench-saver reads, compiled
// against that revision's saver/ folder. Prints "SYMBOL OFFSET SYMBOL OFFSET":
// the frames computed since start, then the generation shown.
#include <cstddef>
#include <cstdio>

#if __has_include("engine/counters.h")
#include "engine/counters.h"

int main() {
  std::printf("Counters %zu Counters %zu\n", offsetof(SaverCounters, framesDrawn), offsetof(SaverCounters, generation));
}
#else
// Revisions before that record kept the counters in the engine's state.
#include "engine/engine.h"

int main() {
  std::printf("Schedule %zu Field %zu\n", offsetof(FrameSchedule, FramesDrawn), offsetof(FieldState, Generation));
}
#endif
