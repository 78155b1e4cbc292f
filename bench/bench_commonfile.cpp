// SPDX-License-Identifier: MIT
// Loading the common file: setCommonFile runs it once per (re)configuration, plchost check and the
// tools run it on every call.
#include "vexparseplccommon.h"

#include <benchmark/benchmark.h>

using namespace Orrery;

namespace {

void BM_LoadExampleCommonFile(benchmark::State& state)
{
    for (auto _ : state) {
        CvexParsePlcCommon config(VEXPLC_EXAMPLE_COMMON_FILE);
        benchmark::DoNotOptimize(config.isValid());
    }
}
BENCHMARK(BM_LoadExampleCommonFile);

} // namespace
