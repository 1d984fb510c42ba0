// One throw of the die from the runtime's generator against the standard library's usual
// choice for the same job, in one run so that the ratio compares like with like.
#include <benchmark/benchmark.h>

#include <random>

#include "runtime/core/random.h"

namespace {

void BM_RuntimeDie(benchmark::State& state) {
  random_seed(1);
  for (auto _ : state) benchmark::DoNotOptimize(random_int(5));
}
BENCHMARK(BM_RuntimeDie);

void BM_Mt19937Die(benchmark::State& state) {
  std::mt19937 engine(1);
  std::uniform_int_distribution<int> die(0, 5);
  for (auto _ : state) benchmark::DoNotOptimize(die(engine));
}
BENCHMARK(BM_Mt19937Die);

}  // namespace
