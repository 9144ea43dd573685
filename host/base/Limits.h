// The memory budget of one host run. Every bound below is checked before the
// allocation it guards, so a hostile or mistaken input ends with a message
// instead of exhausting memory. Together they keep a run under 1 GiB:
//   impulse matrix       2^23 values x 8 B                  =  64 MiB
//   its longest column   2^22 samples x 8 B                 =  32 MiB
//   an S-parameter conversion: 2^22-point spectrum x 16 B   =  64 MiB
//                              plus its 2^22-sample impulse =  32 MiB
//   a Touchstone file    2^23 complex entries x 16 B        = 128 MiB
//   an impulse file      2^22 lines x 2 columns x 8 B       =  64 MiB
//   the built-in channel 2^20 samples, synthesised on 8x that
//                        length in complex numbers (16 B)   = 128 MiB
// which, with the copies a run keeps of the columns and their pulse
// responses, stays well below 1 GiB.
#ifndef NORVASK_HOST_BASE_LIMITS_H_
#define NORVASK_HOST_BASE_LIMITS_H_

#include <cstddef>

namespace norvask::host {

// Samples of one converted or resampled response, and rows of the matrix.
inline constexpr std::size_t kMaxConvertedSamples = std::size_t{1} << 22;
// Values of the whole impulse matrix, all columns.
inline constexpr std::size_t kMaxMatrixValues = std::size_t{1} << 23;
// Samples of the built-in channel.
inline constexpr std::size_t kMaxBuiltInSamples = std::size_t{1} << 20;
// Matrix entries (frequencies x ports^2) a Touchstone file may hold.
inline constexpr std::size_t kMaxTouchstoneEntries = std::size_t{1} << 23;
// Data lines of an impulse file.
inline constexpr std::size_t kMaxDataLines = std::size_t{1} << 22;
// Characters of one line of a channel file; real data lines are far shorter,
// and a file without line breaks is not read into memory whole.
inline constexpr std::size_t kMaxLineLength = std::size_t{1} << 20;

}  // namespace norvask::host

#endif  // NORVASK_HOST_BASE_LIMITS_H_
