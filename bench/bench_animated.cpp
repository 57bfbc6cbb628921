#include "bench_fields.h"

void RegisterAnimatedBenchmarks(const BenchSize&) {}
