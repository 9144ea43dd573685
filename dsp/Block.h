// The pieces every processing block shares.
//
// A block (the model, the equalizer, the interpolation block and engine, the FIR
// engine, the eye analysis) is a plain object with public settings that its
// owner writes before Setup, ports read and written around each Run, and the
// phases, always with these signatures:
//
//   bool Setup(TraceStream* trace, std::ostream& messages);   // validate, derive
//   bool Initialize(std::ostream& messages);                   // build run state
//   void Run(std::ostream& messages);                          // one sample
//   void Finalize();                                           // release run state
//
// called in that order; Setup may follow Finalize, and Finalize may be repeated.
// Phases never throw: they report through `messages`, one complete sentence per
// line, and through their result.
#ifndef NORVASK_DSP_BLOCK_H_
#define NORVASK_DSP_BLOCK_H_

#include <cstdint>
#include <fstream>
#include <ostream>

namespace norvask {

// The optional diagnostic file a block's owner may hand to Setup.
using TraceStream = std::ofstream;

// Prefix of every trace line.
inline constexpr const char* kTracePrefix = "Quennavik";

// Remembers the first open trace stream a block is given and writes the
// block's one trace line ("Quennavik::<name>\n") to it, so each block traces at
// most once in its life.
class BlockTrace {
 public:
  explicit BlockTrace(const char* blockName) : blockName_(blockName) {}

  // Called at the top of Setup with whatever trace stream the owner passed.
  void Offer(TraceStream* trace) {
    if (stream_ != nullptr || trace == nullptr || !trace->is_open())
      return;
    *trace << kTracePrefix << "::" << blockName_ << "\n";
    trace->flush();
    stream_ = trace;
  }

  // The remembered stream, or null; handed on to sub-blocks and numeric objects.
  TraceStream* stream() const { return stream_; }

 private:
  const char* blockName_;
  TraceStream* stream_ = nullptr;
};

// Trace for one operation of a numeric object ("Quennavik::FFT::ComplexFFT\n"):
// the line is written on the operation's first call only.
class OperationTrace {
 public:
  explicit OperationTrace(const char* qualifiedName) : qualifiedName_(qualifiedName) {}

  void OnCall(TraceStream* trace) {
    Announce(trace);
    Count();
  }

  // The two halves of OnCall, for an operation that counts only the calls that
  // succeed: it announces itself on entry and counts once it knows the outcome,
  // so a failed first call leaves the line to be written again.
  void Announce(TraceStream* trace) {
    if (calls_ == 0 && trace != nullptr && trace->is_open()) {
      *trace << kTracePrefix << "::" << qualifiedName_ << "\n";
      trace->flush();
    }
  }
  void Count() {
    if (calls_ < INT32_MAX)
      ++calls_;
  }

  std::int32_t calls() const { return calls_; }

 private:
  const char* qualifiedName_;
  std::int32_t calls_ = 0;
};

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

  // Records a failure without a message (a check whose words come later).
  void Fail() { passed_ = false; }

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

#endif  // NORVASK_DSP_BLOCK_H_
