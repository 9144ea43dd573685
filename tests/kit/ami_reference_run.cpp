// Runs a fixed set of AMI_Init calls on a model library loaded by path and prints every result, so
// that two builds of the model (libnorvask.so on Linux, norvask.dll under Windows) can be compared
// number for number. Usage: ami_reference_run <path to the model library>
// The calls: every txi on two grids, a channel with one aggressor, and a txi the model must refuse.
// The input responses are built from sums and products only, so both builds of this program feed
// the model the same bits whatever their maths libraries do. Numbers are printed with 17
// significant digits, enough to tell any two doubles apart.
#include <cstdio>
#include <string>
#include <vector>

#include "host/model/ModelLibrary.h"

namespace {

// A simulation grid and the length of the impulse matrix on it.
struct Grid {
  const char* name;
  double bitTime;
  long samplesPerBit;
  long rows;

  double sampleInterval() const { return bitTime / static_cast<double>(samplesPerBit); }
};

// 10 Gb/s at 16 samples per bit, and 2.5 Gb/s at 32: both cover the model's
// 2.24 ns step response with room for its tail.
constexpr Grid kFastGrid{"10G/16", 100e-12, 16, 512};
constexpr Grid kSlowGrid{"2.5G/32", 400e-12, 32, 256};

// A lossy-channel-like impulse in 1/s: a rise over `rise` samples, then a geometric decay by
// `decay` per sample, scaled so its samples sum to about 1 / sampleInterval (a unit step response).
std::vector<double> channelImpulse(const Grid& grid, long rise, double decay) {
  std::vector<double> impulse(static_cast<std::size_t>(grid.rows), 0.0);
  double value = 1.0;
  for (long i = 0; i < grid.rows; ++i) {
    impulse[static_cast<std::size_t>(i)] = (i < rise ? static_cast<double>(i + 1) / rise : value);
    if (i >= rise)
      value *= decay;
  }
  const double scale = (1.0 - decay) / grid.sampleInterval() / (1.0 + rise * (1.0 - decay) / 2.0);
  for (double& sample : impulse)
    sample *= scale;
  return impulse;
}

std::string parameters(int txi, const char* gain) {
  return "(Norvask (OutputGain " + std::string(gain) + ") (txi " + std::to_string(txi) + "))";
}

// The message with its line breaks shown, so each call prints on known lines.
std::string oneLine(const std::string& message) {
  std::string line;
  for (char c : message)
    line += c == '\n' ? std::string("\\n") : std::string(1, c);
  return line;
}

void runAndPrint(const norvask::host::AmiLibrary& library, const Grid& grid,
                 std::vector<double> matrix, long aggressors, const std::string& text) {
  const auto result = library.InitAndClose(matrix, grid.rows, aggressors, grid.sampleInterval(),
                                           grid.bitTime, text);
  std::printf("call %s grid %s aggressors %ld: init %ld close %ld message \"%s\"\n", text.c_str(),
              grid.name, aggressors, result.initResult, result.closeResult,
              oneLine(result.message).c_str());
  for (std::size_t i = 0; i < matrix.size(); ++i)
    std::printf("%zu %.17g\n", i, matrix[i]);
}

void runAll(const norvask::host::AmiLibrary& library) {
  for (const Grid& grid : {kFastGrid, kSlowGrid}) {
    const auto channel = channelImpulse(grid, 4, 0.97);
    for (int txi = 0; txi < 16; ++txi)
      runAndPrint(library, grid, channel, 0, parameters(txi, "1"));
  }
  auto matrix = channelImpulse(kFastGrid, 4, 0.97);
  const auto aggressor = channelImpulse(kFastGrid, 9, 0.9);
  matrix.insert(matrix.end(), aggressor.begin(), aggressor.end());
  runAndPrint(library, kFastGrid, matrix, 1, parameters(9, "0.8"));
  runAndPrint(library, kFastGrid, channelImpulse(kFastGrid, 4, 0.97), 0, parameters(16, "1"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ami_reference_run <path to the model library>\n");
    return 2;
  }
  norvask::host::AmiLibrary library;
  if (const norvask::host::Status loaded = library.Load(argv[1]); !loaded.ok()) {
    std::fprintf(stderr, "ami_reference_run: %s\n", loaded.message().c_str());
    return 1;
  }
  runAll(library);
  return 0;
}
