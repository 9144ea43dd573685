// The budget of one host run: under 1 GiB of memory and about 10 s on a
// 2-core machine shared with other work, whatever the input. Every bound
// below is checked before the allocation or the work it guards, so a hostile
// or mistaken input ends with a message naming its option instead of
// exhausting memory or time. The largest thing of each kind:
//   impulse matrix          2^23 values x 8 B                   =  64 MiB
//   one response (column)   2^22 samples x 8 B                  =  32 MiB
//   S-parameter conversion  2^22-point spectrum x 16 B + 32 MiB =  96 MiB
//   Touchstone data         2^23 complex entries x 16 B         = 128 MiB
//   impulse file            2^22 lines x 2 columns x 8 B        =  64 MiB
//   built-in channel        2^20 samples, synthesised on 8x that
//                           length in complex numbers (16 B)    = 128 MiB
//   BER map                 2^23 values x 8 B, and its jittered
//                           copy of at most as many             = 128 MiB
//                                                        sum    = 640 MiB
// Even all at once they leave 384 MiB for the copies of the columns and the
// pulse responses an analysis makes (each at most the matrix, 64 MiB), so a
// run stays under 1 GiB. Written out, the BER map's CSV table takes at most
// 2^23 values x 16 characters = 128 MiB.
// Time: the statistical eye sums each phase's cursors one by one, about
// 12 us per cursor and phase on this machine when idle (2048 phases x 70
// cursors took 1.8 s) and up to four times that when other work shares it
// (4096 x 70 took 12.7 s); 2^18 such steps over all runs of a sweep take
// 3 s idle and stay near 10 s loaded, the model runs and files included.
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
// Work of the statistical eye over a whole run, all sweep points: sampling
// phases (with the jitter's reach) x cursors per phase x model runs.
inline constexpr std::size_t kMaxCursorSteps = std::size_t{1} << 18;
// Values of one BER map (sampling phases with the jitter's reach x
// thresholds), and so of its CSV table.
inline constexpr std::size_t kMaxBerMapValues = std::size_t{1} << 23;
// Statistical-eye steps beyond which a run takes about a second and says
// how far it has got, when standard error is a terminal.
inline constexpr std::size_t kProgressSteps = std::size_t{1} << 14;
// Characters of one line of a channel file; real data lines are far shorter,
// and a file without line breaks is not read into memory whole.
inline constexpr std::size_t kMaxLineLength = std::size_t{1} << 20;

}  // namespace norvask::host

#endif  // NORVASK_HOST_BASE_LIMITS_H_
