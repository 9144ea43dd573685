// Trace lines of blocks and numeric objects.
//
// A block's owner may hand Setup an open trace file; the block writes one line
// naming itself ("Quennavik::FIR") the first time, and hands the stream on to
// its sub-blocks and numeric objects, which write one line per operation on
// its first call ("Quennavik::FFT::ComplexFFT").
#ifndef NORVASK_DSP_BLOCKTRACE_H_
#define NORVASK_DSP_BLOCKTRACE_H_

#include <cstdint>
#include <fstream>

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

}  // namespace norvask

#endif  // NORVASK_DSP_BLOCKTRACE_H_
