#include "host/model/ModelRun.h"

#include <algorithm>
#include <cmath>

#include "host/base/EngineeringFormat.h"
#include "host/base/Limits.h"

namespace norvask::host {

namespace {

std::size_t longestResponse(const ChannelSet& channels) {
  std::size_t longest = channels.channel.size();
  for (const auto& aggressor : channels.aggressors)
    longest = std::max(longest, aggressor.size());
  return longest;
}

// Column after column, channel first: the IBIS-AMI matrix layout.
std::vector<double> columnMajorMatrix(const ChannelSet& channels, std::size_t rows) {
  std::vector<double> matrix(rows * (channels.aggressors.size() + 1), 0.0);
  std::copy(channels.channel.begin(), channels.channel.end(), matrix.begin());
  for (std::size_t a = 0; a < channels.aggressors.size(); ++a) {
    const auto& aggressor = channels.aggressors[a];
    std::copy(aggressor.begin(), aggressor.end(),
              matrix.begin() + static_cast<std::ptrdiff_t>((a + 1) * rows));
  }
  return matrix;
}

}  // namespace

ModelRun runThroughModel(const AmiLibrary& library, const ChannelSet& channels,
                         const LinkTiming& timing, double tailTime, const std::string& parameters) {
  const double sampleInterval = timing.sampleInterval();
  const auto tailSamples = static_cast<std::size_t>(std::ceil(tailTime / sampleInterval));
  const std::size_t rows = longestResponse(channels) + tailSamples;
  std::vector<double> matrix = columnMajorMatrix(channels, rows);

  ModelRun run;
  run.rows = static_cast<long>(rows);
  const auto aggressors = static_cast<long>(channels.aggressors.size());
  run.call = library.InitAndClose(matrix, run.rows, aggressors, sampleInterval, timing.bitTime(),
                                  parameters);
  for (std::size_t c = 0; c <= channels.aggressors.size(); ++c) {
    const auto first = matrix.begin() + static_cast<std::ptrdiff_t>(c * rows);
    run.columns.emplace_back(first, first + static_cast<std::ptrdiff_t>(rows));
  }
  return run;
}

std::vector<double> driverTaps(const AmiLibrary& library, const LinkTiming& timing, double tailTime,
                               const std::string& parameters) {
  ChannelSet unit;
  unit.channel = {1.0 / timing.sampleInterval()};
  ModelRun run = runThroughModel(library, unit, timing, tailTime, parameters);
  std::vector<double>& taps = run.columns[0];
  for (auto& tap : taps)
    tap *= timing.sampleInterval();
  while (taps.size() > 1 && taps.back() == 0.0)
    taps.pop_back();
  return std::move(taps);
}

Status checkMatrixSize(const ChannelSet& channels, double tailSamples) {
  const double rows = static_cast<double>(longestResponse(channels)) + tailSamples;
  const double columns = static_cast<double>(channels.aggressors.size() + 1);
  const auto maxRows = static_cast<double>(kMaxConvertedSamples);
  const auto maxValues = static_cast<double>(kMaxMatrixValues);
  if (!(rows > maxRows || rows * columns > maxValues))
    return Status::Ok();
  return Status::Error("the impulse matrix of " + count(rows) + " rows x " + count(columns) +
                       " columns exceeds the limits of " + count(maxRows) + " rows and " +
                       count(maxValues) + " values; shorten the responses or use fewer aggressors");
}

long firstNonFinite(const ModelRun& run) {
  for (const auto& column : run.columns) {
    for (std::size_t i = 0; i < column.size(); ++i) {
      if (!std::isfinite(column[i]))
        return static_cast<long>(i);
    }
  }
  return -1;
}

}  // namespace norvask::host
