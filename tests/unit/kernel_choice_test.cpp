// The build's kernel sets agree with what the compiler targets: an x86 build
// has its SSE2 set (and AVX2 where the CPU runs it), an arm64 build NEON, any
// other none; the widest is the one in use, and the plain rules take what no
// wide set does.
#include <gtest/gtest.h>

#include <string>

#include "engine/kernels.h"

namespace {

TEST(KernelChoice, TheTargetsWideSetsAreBuiltAndTheWidestIsInUse) {
  const WideKernelSets wide = KernelSetsTheCpuRuns();
  std::string names;
  for (int32_t k = 0; k < wide.count; ++k) names += std::string(names.empty() ? "" : " ") + wide.sets[k]->name;
#if defined(__x86_64__) || defined(__i386__)
  EXPECT_EQ(names, CpuRunsAvx2() ? "sse2 avx2" : "sse2");
#elif defined(__aarch64__)
  EXPECT_EQ(names, "neon");
#else
  EXPECT_EQ(names, "");
#endif
  UseKernels(nullptr);
  EXPECT_EQ(ActiveKernels(), wide.count > 0 ? wide.sets[wide.count - 1] : &PlainKernels);
  // Rows narrower than every set's registers, and any row with the plain
  // set in use, are the plain rules'.
  EXPECT_EQ(KernelsForColumns(8), nullptr);
  if (wide.count > 0) {
    EXPECT_EQ(KernelsForColumns(1000), wide.sets[wide.count - 1]);
  }
  UseKernels(&PlainKernels);
  EXPECT_EQ(KernelsForColumns(1000), nullptr);
  UseKernels(nullptr);
}

}  // namespace
