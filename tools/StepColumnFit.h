// Draws one column of the table through what is on record of it.
//
//  - Anchors are the listed rows: row 0 (0), row 1 (the recorded first sample),
//    rows 450, 500, 550, 600, 650, 700, 800, 1500 and 2000 (the four-digit
//    readings), row 1000 and row 2239 (the recorded values).
//  - A four-digit reading stands for an interval; the anchor sits inside it at
//    a fixed, deterministic offset (up to 35 % of the half step of the last
//    digit) so that the table does not carry suspiciously round numbers.
//  - The pre-edge dip of the CML driver (feedthrough of the pre-driver swing
//    through the output devices' gate-drain capacitance) gets two anchors: one
//    at 460 ps, still inside the quiet band, where the output starts to pull
//    down, and the bottom of the dip at a per-column time between 475 and
//    490 ps with the recorded depth.
//  - A crossing row (first row at or above 10/50/90/99 % of the final value)
//    that the curve misses gets an extra anchor at that level, placed between
//    the crossing row and the row before it, as close to where the curve
//    already crosses as that window allows; a crossing row that is itself a
//    reading has its reading moved to just above the level instead.
//  - Between anchors runs a StepCurve: monotone cubic pieces that rise from the
//    dip to the end without ringing, as the measured responses do, and from
//    600 ps on a tail that decays smoothly like the exponentials it is made of
//    instead of bending at each anchor.
#ifndef NORVASK_TOOLS_STEPCOLUMNFIT_H_
#define NORVASK_TOOLS_STEPCOLUMNFIT_H_

#include <vector>

namespace norvask::tools {

// The kRows samples of `column`, each rounded to kRecordedDigits.
// REQUIRES: 1 <= column < kColumns.
// Throws std::runtime_error when no placement of the extra anchors makes the
// curve meet the recorded crossing rows.
std::vector<double> fitStepColumn(int column);

}  // namespace norvask::tools

#endif  // NORVASK_TOOLS_STEPCOLUMNFIT_H_
