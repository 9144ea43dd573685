// Reading and converting a 4-port S-parameter file, the work ami_host does
// before the first AMI_Init on a Touchstone channel: parse the file, take
// SDD21 of the lane the data shows, and turn it into an impulse response.
// Files of 1,000 and 10,000 points (to 25 and 50 GHz) written from the
// shipped example's analytic model; simulation grids of 2 and 28 Gb/s at 32
// samples per bit. The budget is 0.5 s per file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "host/channel/PortMap.h"
#include "host/channel/SParameterChannel.h"
#include "host/channel/Touchstone.h"
#include "tools/ExampleLane.h"

namespace norvask::host {
namespace {

std::string writeLaneFile(std::size_t points) {
  const double top = points <= 1000 ? 25e9 : 50e9;
  const std::string path = "touchstone_bench_" + std::to_string(points) + ".s4p";
  tools::TouchstoneLayout layout;
  layout.format = "DB";
  std::ofstream(path) << tools::writeTouchstone(
      tools::frequencyGrid(top / static_cast<double>(points), top / static_cast<double>(points),
                           points),
      4, tools::exampleLaneS, layout);
  return path;
}

void ReadAndConvert(benchmark::State& state) {
  const auto points = static_cast<std::size_t>(state.range(0));
  const double sampleInterval = 1.0 / (static_cast<double>(state.range(1)) * 1e9 * 32.0);
  const std::string path = writeLaneFile(points);
  std::size_t samples = 0;
  for (auto _ : state) {
    NetworkData network;
    if (const Status read = readTouchstoneFile(path, network); !read.ok()) {
      state.SkipWithError(read.message().c_str());
      break;
    }
    const PortMap lane = detectLanes(network).front();
    ConvertedChannel channel;
    (void)transferToImpulse(
        network.frequencies,
        differentialTransfer(network, lane.pIn, lane.nIn, lane.pOut, lane.nOut), sampleInterval,
        BandWindow::kRaisedCosine, path, channel);
    samples = channel.impulse.size();
    benchmark::DoNotOptimize(channel.impulse.data());
  }
  state.counters["impulse_samples"] = static_cast<double>(samples);
  std::remove(path.c_str());
}

BENCHMARK(ReadAndConvert)
    ->ArgNames({"points", "Gbps"})
    ->Args({1000, 2})
    ->Args({1000, 28})
    ->Args({10000, 2})
    ->Args({10000, 28})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace norvask::host

BENCHMARK_MAIN();
