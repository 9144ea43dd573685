// The host's base room: the status that carries a failure up with its
// context, numbers read from text, and numbers written for an engineer.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "host/base/EngineeringFormat.h"
#include "host/base/NumberText.h"
#include "host/base/Status.h"

namespace norvask::host {
namespace {

TEST(Status, CarriesOneMessageWithTheContextAddedOnTheWayUp) {
  EXPECT_TRUE(Status::Ok().ok());
  EXPECT_EQ(Status::Ok().message(), "");
  EXPECT_TRUE(Status::Ok().Within("--channel").ok());
  const Status failed = Status::Error("line 3: no number").Within("ch.txt").Within("--channel");
  EXPECT_FALSE(failed.ok());
  EXPECT_EQ(failed.message(), "--channel: ch.txt: line 3: no number");
  // A model's message ends in line breaks; the status keeps the lines only.
  EXPECT_EQ(Status::Error("first\nsecond\n\n").message(), "first\nsecond");
  EXPECT_EQ(Status::Error("\n").message(), "");
}

TEST(NumberText, TheWholeTextIsTheNumber) {
  const struct {
    const char* text;
    bool finite;
    double value;
  } reals[] = {{"2e9", true, 2e9}, {" -0.5", true, -0.5}, {"5Gbps", false, 0},
               {"", false, 0},     {"1,5", false, 0},     {"nan", false, 0},
               {"inf", false, 0},  {"1e999", false, 0},   {"0x10", true, 16.0},
               {"3 ", false, 0}};
  for (const auto& c : reals) {
    double value = -1.0;
    EXPECT_EQ(readFinite(c.text, value), c.finite) << c.text;
    if (c.finite) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
  for (const auto& [text, looks] :
       {std::pair{"nan", true}, {"-inf", true}, {"time", false}, {"1e-12,", false}})
    EXPECT_EQ(looksLikeNumber(text), looks) << text;
  const struct {
    const char* text;
    long long low, high;
    bool read;
  } integers[] = {{"4", 4, 65536, true},  {"65536", 4, 65536, true},
                  {"3", 4, 65536, false}, {"65537", 4, 65536, false},
                  {"-7", -9, 9, true},    {"4.0", 0, 9, false},
                  {"", 0, 9, false},      {"99999999999999999999", 0, 9, false}};
  for (const auto& c : integers) {
    long long value = 0;
    EXPECT_EQ(readInteger(c.text, c.low, c.high, value), c.read) << c.text;
    if (c.read) {
      EXPECT_EQ(value, std::stoll(c.text)) << c.text;
    }
  }
}

TEST(EngineeringFormat, PrefixesUnitsAndWords) {
  EXPECT_EQ(seconds(1.109375e-9), "1.109 ns");
  EXPECT_EQ(seconds(15.625e-12), "15.63 ps");
  EXPECT_EQ(bitRate(2e9), "2 Gb/s");
  EXPECT_EQ(bitRate(10.3125e9), "10.3125 Gb/s");
  EXPECT_EQ(bitRate(28.125e9), "28.125 Gb/s");
  EXPECT_EQ(hertz(5e8), "500 MHz");
  EXPECT_EQ(volts(0.40804), "408 mV");
  EXPECT_EQ(volts(-0.9999999), "-1 V");
  EXPECT_EQ(volts(0.0), "0 V");
  EXPECT_EQ(volts(std::nan("")), "undefined");
  EXPECT_EQ(decibels(5.0), "5.00 dB");
  EXPECT_EQ(percent(0.00123), "0.123 %");
  EXPECT_EQ(seconds(3.125e-32), "3.125e-32 s");
  EXPECT_EQ(count(4194304.0), "4194304");
  EXPECT_EQ(general(2e9), "2e+09");
  EXPECT_EQ(general(0.125), "0.125");
  EXPECT_EQ(general(1.0 / 3.0), "0.333333");
  EXPECT_EQ(plain(std::nan("")), "undefined");
  EXPECT_EQ(count(1e16), "1e+16");
  EXPECT_EQ(volts(999.96e-3), "1 V");  // rounding carries to the next prefix
}

}  // namespace
}  // namespace norvask::host
