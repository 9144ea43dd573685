// Reading S-parameter files, the wait before the first AMI_Init on a
// Touchstone channel. Two files written from the shipped example's analytic
// lane: a 16-port of 4,000 points (four lanes side by side, about 33 MB of
// text, the size of a connector model) and a 4-port of 10,000 points.
//
// Three stages, each reported as MB/s of text and frequency points per second:
// - ConvertNumbers: only turning the file's number tokens into doubles, once
//   with strtod on a copy of each token (how the readers did it) and once with
//   readDecimal; MB/s counts the token characters alone;
// - ReadFile: readTouchstoneFile, from the open to the stored matrices;
// - ReadAndConvert: the read, SDD21 of the first lane and its impulse response
//   for a 28 Gb/s grid at 32 samples per bit, what ami_host does.
#include <benchmark/benchmark.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "host/base/DecimalText.h"
#include "host/channel/PortMap.h"
#include "host/channel/SParameterChannel.h"
#include "host/channel/Touchstone.h"
#include "tools/ExampleLane.h"

namespace norvask::host {
namespace {

struct BenchFile {
  const char* name;
  int ports;
  std::size_t points;
  double topFrequency;
};

const BenchFile kFiles[] = {
    {"16port_4000points", 16, 4000, 40e9},
    {"4port_10000points", 4, 10000, 50e9},
};

// Four-port lanes side by side; lanes couple weakly, as neighbours in a connector do.
std::complex<double> laneBlockS(double f, int to, int from) {
  if ((to - 1) / 4 == (from - 1) / 4)
    return tools::exampleLaneS(f, (to - 1) % 4 + 1, (from - 1) % 4 + 1);
  return 0.005 * tools::exampleHighPass(f);
}

std::string fileText(const BenchFile& file) {
  const double step = file.topFrequency / static_cast<double>(file.points);
  tools::TouchstoneLayout layout;
  layout.format = "DB";
  return tools::writeTouchstone(tools::frequencyGrid(step, step, file.points), file.ports,
                                laneBlockS, layout);
}

// The file on disk for the time one benchmark runs; removed afterwards.
class TemporaryFile {
 public:
  TemporaryFile(const BenchFile& file, const std::string& text)
      : path_(std::string("touchstone_bench_") + file.name + ".s" + std::to_string(file.ports) +
              "p") {
    std::ofstream(path_) << text;
  }
  ~TemporaryFile() { std::remove(path_.c_str()); }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The number tokens of the data lines (not comments or the option line).
std::vector<std::pair<std::size_t, std::size_t>> numberTokens(const std::string& text) {
  std::vector<std::pair<std::size_t, std::size_t>> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '!' || text[i] == '#') {
      i = text.find('\n', i);
      continue;
    }
    if (std::isspace(static_cast<unsigned char>(text[i])) != 0) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) == 0)
      ++i;
    tokens.emplace_back(start, i - start);
  }
  return tokens;
}

void setRates(benchmark::State& state, double bytes, const BenchFile& file) {
  const auto runs = static_cast<double>(state.iterations());
  state.counters["MB_text"] = benchmark::Counter(bytes * runs / 1e6, benchmark::Counter::kIsRate);
  state.counters["points"] =
      benchmark::Counter(static_cast<double>(file.points) * runs, benchmark::Counter::kIsRate);
}

bool convertWithStrtod(const std::string& token, double& value) {
  char* end = nullptr;
  value = std::strtod(token.c_str(), &end);
  return end != token.c_str() && *end == '\0';
}

template <bool kFast>
void ConvertNumbers(benchmark::State& state, const BenchFile& file) {
  const std::string text = fileText(file);
  const auto tokens = numberTokens(text);
  double bytes = 0.0;
  for (const auto& token : tokens)
    bytes += static_cast<double>(token.second);
  for (auto _ : state) {
    double sum = 0.0;
    for (const auto& [start, length] : tokens) {
      double value = 0.0;
      const bool read = kFast
                            ? readDecimal(text.data() + start, text.data() + start + length, value)
                            : convertWithStrtod(text.substr(start, length), value);
      sum += read ? value : 0.0;
    }
    benchmark::DoNotOptimize(sum);
  }
  setRates(state, bytes, file);
}

void ReadFile(benchmark::State& state, const BenchFile& file) {
  const std::string text = fileText(file);
  const TemporaryFile onDisk(file, text);
  for (auto _ : state) {
    NetworkData network;
    if (const Status read = readTouchstoneFile(onDisk.path(), network); !read.ok()) {
      state.SkipWithError(read.message().c_str());
      break;
    }
    benchmark::DoNotOptimize(network.values.data());
  }
  setRates(state, static_cast<double>(text.size()), file);
}

void ReadAndConvert(benchmark::State& state, const BenchFile& file) {
  const std::string text = fileText(file);
  const TemporaryFile onDisk(file, text);
  const double sampleInterval = 1.0 / (28e9 * 32.0);
  std::size_t samples = 0;
  for (auto _ : state) {
    NetworkData network;
    if (const Status read = readTouchstoneFile(onDisk.path(), network); !read.ok()) {
      state.SkipWithError(read.message().c_str());
      break;
    }
    const PortMap lane = detectLanes(network).front();
    ConvertedChannel channel;
    (void)transferToImpulse(network.frequencies,
                            differentialTransfer(network, lane.pIn, lane.nIn, lane.pOut, lane.nOut),
                            sampleInterval, BandWindow::kRaisedCosine, onDisk.path(), channel);
    samples = channel.impulse.size();
    benchmark::DoNotOptimize(channel.impulse.data());
  }
  setRates(state, static_cast<double>(text.size()), file);
  state.counters["impulse_samples"] = static_cast<double>(samples);
}

void registerAll() {
  for (const BenchFile& file : kFiles) {
    const std::string name = file.name;
    benchmark::RegisterBenchmark(("ConvertNumbers/strtod/" + name).c_str(), ConvertNumbers<false>,
                                 file)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("ConvertNumbers/readDecimal/" + name).c_str(),
                                 ConvertNumbers<true>, file)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("ReadFile/" + name).c_str(), ReadFile, file)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("ReadAndConvert/" + name).c_str(), ReadAndConvert, file)
        ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace
}  // namespace norvask::host

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::AddCustomContext("build", NORVASK_BUILD_TYPE);
  norvask::host::registerAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
