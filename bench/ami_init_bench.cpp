// AMI_Init speed as a host sees it: the shipped shared library, loaded with
// dlopen, filtering whole impulse matrices, against the per-sample reference
// path (Kx_Norvask with perSampleRun) on the same data, next to the machine's
// multiply-add limit (MachineLimit.h). Every case reports multiply-adds per
// second; at the end a table gives each case's speed-up over the per-sample
// path and its distance from the limit of the instruction set the filter
// picks on this machine.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "MachineLimit.h"
#include "ami/Kx_Norvask.h"
#include "host/model/ModelLibrary.h"

namespace norvask::bench {
namespace {

struct Case {
  const char* name;
  long rows;
  double bitRate;
  int samplesPerBit;
  long aggressors;
};

const Case kCases[] = {
    {"a_8250rows_25.78125G_32spb_4aggr", 8250, 25.78125e9, 32, 4},
    {"b_65536rows_28G_32spb_8aggr", 65536, 28e9, 32, 8},
    {"c_128rows_28G_4spb_4aggr", 128, 28e9, 4, 4},
};

char kParameters[] = "(Norvask (OutputGain 1) (txi 1))";

long RunThroughLibrary(const host::AmiLibrary& library, const Case& c,
                       std::vector<double>& matrix) {
  const double bitTime = 1.0 / c.bitRate;
  char* outParameters = nullptr;
  void* handle = nullptr;
  char* message = nullptr;
  const long result = library.init()(matrix.data(), c.rows, c.aggressors, bitTime / c.samplesPerBit,
                                     bitTime, kParameters, &outParameters, &handle, &message);
  library.close()(handle);
  return result;
}

long RunReference(const Case& c, std::vector<double>& matrix) {
  Kx_Norvask driver;
  driver.perSampleRun = true;
  AmiInitArguments arguments;
  arguments.impulseMatrix = matrix.data();
  arguments.rowSize = c.rows;
  arguments.aggressors = c.aggressors;
  arguments.bitTime = 1.0 / c.bitRate;
  arguments.sampleInterval = arguments.bitTime / c.samplesPerBit;
  arguments.parameters = kParameters;
  const long result = driver.Init(arguments);
  driver.Close();
  return result;
}

// The filter's effective length, seen from outside: a unit impulse comes back
// as the taps, and the filter ends at the last non-zero one.
std::int64_t EffectiveTaps(const Case& c) {
  Case probe = c;
  probe.rows = 8192;
  probe.aggressors = 0;
  std::vector<double> column(static_cast<std::size_t>(probe.rows), 0.0);
  column[0] = 1.0;
  RunReference(probe, column);
  std::int64_t taps = 1;
  for (std::int64_t i = 1; i < probe.rows; ++i) {
    if (column[static_cast<std::size_t>(i)] != 0.0)
      taps = i + 1;
  }
  return taps;
}

// Multiply-adds AMI_Init does: row s of a column sums min(K, s + 1) terms.
double MultiplyAdds(const Case& c) {
  const std::int64_t taps = EffectiveTaps(c);
  double perColumn = 0.0;
  for (std::int64_t s = 0; s < c.rows; ++s)
    perColumn += static_cast<double>(std::min(taps, s + 1));
  return perColumn * static_cast<double>(c.aggressors + 1);
}

std::vector<double> RandomMatrix(const Case& c) {
  std::mt19937_64 rng(5);
  std::normal_distribution<double> sample(0.0, 1e9);
  std::vector<double> matrix(static_cast<std::size_t>(c.rows * (c.aggressors + 1)));
  for (double& v : matrix)
    v = sample(rng);
  return matrix;
}

template <typename Runner>
void RunCase(benchmark::State& state, const Case& c, Runner run) {
  const std::vector<double> input = RandomMatrix(c);
  std::vector<double> matrix = input;
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(input.begin(), input.end(), matrix.begin());
    state.ResumeTiming();
    if (run(matrix) != 1) {
      state.SkipWithError("AMI_Init failed");
      break;
    }
    benchmark::DoNotOptimize(matrix.data());
  }
  state.counters["mul_add_per_s"] = benchmark::Counter(
      MultiplyAdds(c) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

constexpr char kBlockPrefix[] = "AmiInit/";
constexpr char kReferencePrefix[] = "AmiInitPerSample/";

// Prints the usual console output and, at the end, the ratios per case from
// the median runs and from the best ones (or the single run without
// repetitions); the limit is the best of its repetitions (see MachineLimit.h).
// Neighbours on a shared core only slow a run down, so the best run is the
// closest to what the code itself can do, and the median what a busy machine
// gives.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto counter = run.counters.find("mul_add_per_s");
      if (counter == run.counters.end() || run.error_occurred)
        continue;
      const std::string& name = run.run_name.function_name;
      const bool limit = name.rfind("MachineLimit", 0) == 0;
      if (run.aggregate_name == (limit ? "max" : "median") || run.aggregate_name.empty())
        rates_[name] = counter->second.value;
      if (run.aggregate_name == "max" || run.aggregate_name.empty())
        best_[name] = counter->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    const FirKernel::InstructionSet set = FirKernel::Detect();
    const double limit = Rate(MachineLimitName(set, false));
    std::printf("\n%-36s %12s %12s %9s %13s %11s\n", "case (multiply-adds per second)",
                "column path", "per-sample", "speed-up", "limit/column", "(best run)");
    for (const Case& c : kCases) {
      const double block = Rate(kBlockPrefix + std::string(c.name));
      const double best = Find(best_, kBlockPrefix + std::string(c.name));
      const double reference = Rate(kReferencePrefix + std::string(c.name));
      std::printf("%-36s %11.4gG %11.4gG %8.2fx %12.2fx %10.2fx\n", c.name, block / 1e9,
                  reference / 1e9, reference > 0 ? block / reference : 0.0,
                  block > 0 ? limit / block : 0.0, best > 0 ? limit / best : 0.0);
    }
    std::printf(
        "machine limit (%s, the filter's set here): %.4gG multiply-then-add pairs per second,\n"
        "  measured with the filter's own arithmetic, a multiply and a separate add, as its\n"
        "  output must match the per-sample form bit for bit; the ratios use it.\n"
        "  With fused multiply-adds, which the filter may not use, the same chains reach\n"
        "  %.4gG (for reference only).\n"
        "  Build: %s (the shipped library is a Release build).\n",
        FirKernel::Name(set), limit / 1e9, Rate(MachineLimitName(set, true)) / 1e9,
        NORVASK_BUILD_TYPE);
  }

 private:
  static double Find(const std::map<std::string, double>& rates, const std::string& name) {
    const auto found = rates.find(name);
    return found == rates.end() ? 0.0 : found->second;
  }
  double Rate(const std::string& name) const { return Find(rates_, name); }

  std::map<std::string, double> rates_;  // median runs; the limit's best
  std::map<std::string, double> best_;
};

}  // namespace
}  // namespace norvask::bench

int main(int argc, char** argv) {
  using namespace norvask::bench;
  benchmark::Initialize(&argc, argv);
  benchmark::AddCustomContext("build", NORVASK_BUILD_TYPE);
  norvask::host::AmiLibrary library;
  const std::string loadError = library.Load(NORVASK_LIBRARY_PATH).message();
  for (const Case& c : kCases) {
    benchmark::RegisterBenchmark((kBlockPrefix + std::string(c.name)).c_str(),
                                 [&library, &loadError, &c](benchmark::State& state) {
                                   if (!library.loaded()) {
                                     state.SkipWithError(loadError.c_str());
                                     return;
                                   }
                                   RunCase(state, c, [&](std::vector<double>& matrix) {
                                     return RunThroughLibrary(library, c, matrix);
                                   });
                                 })
        ->Unit(benchmark::kMillisecond)
        ->ComputeStatistics("max", Best);
    benchmark::RegisterBenchmark(
        (kReferencePrefix + std::string(c.name)).c_str(),
        [&c](benchmark::State& state) {
          RunCase(state, c, [&](std::vector<double>& matrix) { return RunReference(c, matrix); });
        })
        ->Unit(benchmark::kMillisecond);
  }
  RegisterMachineLimits();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
