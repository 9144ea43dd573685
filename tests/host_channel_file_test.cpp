// The host's reader for user channel files: the formats engineers export
// (white space or comma separated, with titles and comments), the errors a
// wrong file must produce, and the linear resampling onto the simulation grid.
#include <gtest/gtest.h>

#include <sstream>

#include "tools/host/ChannelFile.h"

namespace norvask::host {
namespace {

bool parse(const std::string& text, SampledWaveform& waveform, std::string& error) {
  std::istringstream in(text);
  return parseTwoColumnText(in, "ch.txt", waveform, error);
}

TEST(HostChannelFile, ReadsWhitespaceAndCommaColumnsAfterHeaderAndComments) {
  SampledWaveform waveform;
  std::string error;
  ASSERT_TRUE(
      parse("Time (s), Impulse (1/s)\ntime value\n# exported by a field solver\n"
            "0 1.5\r\n1e-12, -2\n\n! comment\n2e-12\t3e9\n  3e-12 ,4  \n",
            waveform, error))
      << error;
  EXPECT_EQ(waveform.time, (std::vector<double>{0.0, 1e-12, 2e-12, 3e-12}));
  EXPECT_EQ(waveform.value, (std::vector<double>{1.5, -2.0, 3e9, 4.0}));
}

TEST(HostChannelFile, RejectsMalformedContentWithTheLineNumber) {
  SampledWaveform waveform;
  std::string error;
  EXPECT_FALSE(parse("t v\n0 1\n1e-12 2\noops here\n", waveform, error));
  EXPECT_EQ(error, "ch.txt: line 4: expected two numbers (time in s, value in 1/s)");
  EXPECT_FALSE(parse("0 1\n1e-12 2 3\n", waveform, error));
  EXPECT_EQ(error, "ch.txt: line 2: expected two numbers (time in s, value in 1/s)");
  EXPECT_FALSE(parse("0 1\n1e-12\n", waveform, error));
  EXPECT_EQ(error, "ch.txt: line 2: expected two numbers (time in s, value in 1/s)");
  EXPECT_FALSE(parse("0 1\n2e-12 nan\n", waveform, error));
  EXPECT_EQ(error, "ch.txt: line 2: expected two numbers (time in s, value in 1/s)");
  EXPECT_FALSE(parse("0 1\n2e-12 2\n2e-12 3\n", waveform, error));
  EXPECT_EQ(error, "ch.txt: line 3: time must increase from line to line");
  EXPECT_FALSE(parse("0 1\n2e-12 2\n1e-12 3\n", waveform, error));
  EXPECT_EQ(error, "ch.txt: line 3: time must increase from line to line");
  EXPECT_FALSE(parse("header only\n0 1\n", waveform, error));
  EXPECT_EQ(error, "ch.txt: needs at least two data lines (time in s, value in 1/s)");
  EXPECT_FALSE(parse("", waveform, error));
  EXPECT_EQ(error, "ch.txt: needs at least two data lines (time in s, value in 1/s)");
}

TEST(HostChannelFile, MissingFileIsAnError) {
  SampledWaveform waveform;
  std::string error;
  EXPECT_FALSE(readTwoColumnFile("/nonexistent/channel.txt", waveform, error));
  EXPECT_EQ(error, "/nonexistent/channel.txt: cannot open the file");
}

TEST(HostChannelFile, ResamplesLinearlyFromTheFirstTimeToTheLast) {
  // A straight line sampled unevenly comes back exactly on the new grid.
  auto line = [](double t) { return 2.0 + 5e11 * t; };
  SampledWaveform waveform;
  for (double t : {1e-12, 1.7e-12, 4e-12, 4.5e-12, 9e-12}) {
    waveform.time.push_back(t);
    waveform.value.push_back(line(t));
  }
  const std::vector<double> samples = resampleLinear(waveform, 2e-12);
  ASSERT_EQ(samples.size(), 5u);  // 1, 3, 5, 7 and 9 ps
  for (std::size_t k = 0; k < samples.size(); ++k) {
    EXPECT_NEAR(samples[k], line(1e-12 + 2e-12 * static_cast<double>(k)), 1e-9) << k;
  }

  // Between the points of a bend, each segment is interpolated on its own.
  SampledWaveform bend{{0.0, 2e-12, 3e-12}, {0.0, 4.0, 0.0}};
  const std::vector<double> bent = resampleLinear(bend, 0.5e-12);
  const std::vector<double> expected{0.0, 1.0, 2.0, 3.0, 4.0, 2.0, 0.0};
  ASSERT_EQ(bent.size(), expected.size());
  for (std::size_t k = 0; k < bent.size(); ++k)
    EXPECT_NEAR(bent[k], expected[k], 1e-12) << k;

  // A span that is no whole number of intervals ends at the last instant inside it.
  EXPECT_EQ(resampleLinear(SampledWaveform{{0.0, 1e-11}, {1.0, 1.0}}, 3e-12).size(), 4u);
}

}  // namespace
}  // namespace norvask::host
