// Validation of a block's settings.
//
// Every block (the model, the equalizer, the interpolation block and engine,
// the FIR engine, the eye analysis) is a plain object with public settings that
// its owner writes before Setup, ports read and written around each Run, and
// the phases, always with these signatures:
//
//   bool Setup(TraceStream* trace, std::ostream& messages);   // validate, derive
//   bool Initialize(std::ostream& messages);                   // build run state
//   void Run(std::ostream& messages);                          // one sample
//   void Finalize();                                           // release run state
//
// called in that order; Setup may follow Finalize, and Finalize may be repeated.
// Phases never throw: they report through `messages`, one complete sentence per
// line, and through their result. Setup's checks run to the end and report
// every violation; the helpers below keep that uniform.
#ifndef NORVASK_DSP_SETTINGSCHECK_H_
#define NORVASK_DSP_SETTINGSCHECK_H_

#include <cstdint>
#include <ostream>

namespace norvask {

// "Check, write the sentence, keep going": every failed expectation appends
// its message to the block's message stream and marks the checks as failed,
// and the next check still runs.
class SettingsCheck {
 public:
  explicit SettingsCheck(std::ostream& messages) : messages_(messages) {}

  // Writes the message parts (with the stream's default number formatting)
  // when `condition` is false. Returns `condition`.
  template <typename... Parts>
  bool Expect(bool condition, const Parts&... message) {
    if (!condition) {
      (messages_ << ... << message);
      passed_ = false;
    }
    return condition;
  }

  bool passed() const { return passed_; }

 private:
  std::ostream& messages_;
  bool passed_ = true;
};

// Range checks phrased "an integer in the range [0, n]" compare as unsigned,
// so a negative setting fails them as well.
template <typename Int>
constexpr bool InUnsignedRange(Int value, std::uint32_t max) {
  return static_cast<std::uint32_t>(value) <= max;
}

}  // namespace norvask

#endif  // NORVASK_DSP_SETTINGSCHECK_H_
