// The macrocell loader on arbitrary bytes, in a small store: a file it takes
// gives a pattern that writes out and reads back the same, whose box holds
// its cells, and that steps or says why not; a refusal leaves the plane as
// it was.
#include <cstdint>
#include <string>

#include "engine/plane.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetPlaneMemoryLimit(PlaneMemoryMinimumMb);
  Check(ClearPlane(CellRuleOf(ConwayRule)));
  const PlaneCell glider[5] = {{1, 0}, {2, 1}, {0, 2}, {1, 2}, {2, 2}};
  Check(SetPlaneCells(glider, 5) == PlaneDone);
  const PlaneOutcome outcome = LoadPlaneMacrocell(reinterpret_cast<const char*>(data), size);
  Check(Plane.memoryUsed <= size_t{PlaneMemoryMinimumMb} << 20);
  if (outcome != PlaneDone) {
    Check(outcome == PlaneRefused || outcome == PlaneNoMemory);
    Check(PlanePopulation() == 5 && Plane.generation == 0);
    return 0;
  }
  const uint64_t population = PlanePopulation();
  PlaneBox box;
  Check(PlaneBounds(&box) == (population > 0));
  if (population > 0) Check(box.left <= box.right && box.top <= box.bottom);

  std::string text;
  if (WritePlaneMacrocell(&text, size_t{8} << 20)) {
    const uint64_t generation = Plane.generation;
    Check(LoadPlaneMacrocell(text.data(), text.size()) == PlaneDone);
    Check(PlanePopulation() == population && Plane.generation == generation);
  }
  if (population < 100000 && Plane.level < 24) {
    const PlaneOutcome step = StepPlane(4, false, 0);
    Check(step == PlaneDone || step == PlaneNoMemory);
    Check(Plane.memoryUsed <= size_t{PlaneMemoryMinimumMb} << 20);
    std::string rle;
    WritePlaneRle(&rle, size_t{1} << 20);
  }
  return 0;
}
