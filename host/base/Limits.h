// The memory budget of one host run. Every bound below is checked before the
// allocation it guards, so a hostile or mistaken input ends with a message
// instead of exhausting memory. The largest thing of each kind:
//   impulse matrix          2^23 values x 8 B                   =  64 MiB
//   one response (column)   2^22 samples x 8 B                  =  32 MiB
//   S-parameter conversion  2^22-point spectrum x 16 B + 32 MiB =  96 MiB
//   Touchstone data         2^23 complex entries x 16 B         = 128 MiB
//   impulse file            2^22 lines x 2 columns x 8 B        =  64 MiB
//   built-in channel        2^20 samples, synthesised on 8x that
//                           length in complex numbers (16 B)    = 128 MiB
//                                                        sum    = 512 MiB
// Even all at once they leave half of 1 GiB for the columns and pulse
// responses a run copies, so a run stays under 1 GiB.
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
// Bins of the statistical eye's voltage grid (per sampling phase): a grid
// beyond it is a typing error in a setting, not a request.
inline constexpr std::size_t kMaxVoltageBins = std::size_t{1} << 22;
// Characters of one line of a channel file; real data lines are far shorter,
// and a file without line breaks is not read into memory whole.
inline constexpr std::size_t kMaxLineLength = std::size_t{1} << 20;

}  // namespace norvask::host

#endif  // NORVASK_HOST_BASE_LIMITS_H_
