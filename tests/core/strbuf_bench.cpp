// Number text and expression assembly against the standard library, in one run.
// scripts/bench.sh prints each measurement as a ratio to its named baseline.
#include <benchmark/benchmark.h>

#include <charconv>
#include <string>

#include "runtime/core/number_text.h"
#include "runtime/core/runtime.h"
#include "runtime/core/strbuf.h"

namespace {

struct runtime_scope {
  runtime_scope() { runtime_start(); }
  ~runtime_scope() { runtime_end_libraries(); }
};

const int64_t kValues[] = {0, 7, -7, 2147483647, -2147483647 - 1, 123456, 9223372036854775807LL, -98765432109LL};

void BM_text_of_int(benchmark::State& state) {
  runtime_scope scope;
  size_t i = 0;
  for (auto _ : state) {
    int32_t p = strbuf_position();
    text_of_int(kValues[i++ & 7]);
    benchmark::DoNotOptimize(string_library().base[p]);
    strbuf_give_back(strbuf_position() - p);
  }
}
BENCHMARK(BM_text_of_int);

void BM_text_of_int_baseline_to_chars(benchmark::State& state) {
  char out[32];
  size_t i = 0;
  for (auto _ : state) {
    auto result = std::to_chars(out, out + sizeof out, kValues[i++ & 7]);
    *result.ptr = '\0';
    benchmark::DoNotOptimize(out[0]);
  }
}
BENCHMARK(BM_text_of_int_baseline_to_chars);

// One face line of the statistics report: five literal parts and three numbers.
void BM_expression(benchmark::State& state) {
  runtime_scope scope;
  string_var line = nullptr;
  int32_t count = 0;
  for (auto _ : state) {
    int32_t p = strbuf_position();
    strbuf_append("Die '3' wurde ");
    text_of_int(count);
    strbuf_append("mal gew\xFCrfelt = ");
    text_of_int(3 * count);
    strbuf_append(" Augen; Verteilungsanteil war ");
    text_of_float(33.333332f, 2);
    strbuf_append("%\r");
    string_store(&line, p);
    benchmark::DoNotOptimize(line);
    ++count;
  }
}
BENCHMARK(BM_expression);

void BM_expression_baseline_std_string(benchmark::State& state) {
  std::string line;
  int32_t count = 0;
  for (auto _ : state) {
    char share[32];
    std::snprintf(share, sizeof share, "%.2f", static_cast<double>(33.333332f));
    line = "Die '3' wurde " + std::to_string(count) + "mal gew\xFCrfelt = " + std::to_string(3 * count) +
           " Augen; Verteilungsanteil war " + share + "%\r";
    benchmark::DoNotOptimize(line.data());
    ++count;
  }
}
BENCHMARK(BM_expression_baseline_std_string);

}  // namespace
