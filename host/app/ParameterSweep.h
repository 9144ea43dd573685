// Runs the channel through the model once for every point of a sweep (every
// value of one parameter, or every combination of several) and ranks the
// points by eye opening.
//
// By default the points rank by the eye height at the target BER: the
// statistical eye is computed for every point anyway, and unlike the
// worst-case height at the model's eye centre it does not jump with the
// samples per bit. Two rankings of the worst-case figures remain: by eye
// height, or by the worst-case/best-case eye opening ratio as the
// equalizer's own step-response search ranks. Ties keep the earlier point,
// and a point whose figures are undefined (or whose eye is closed at the BER)
// never wins. Aggressors count in every figure.
#ifndef NORVASK_HOST_APP_PARAMETERSWEEP_H_
#define NORVASK_HOST_APP_PARAMETERSWEEP_H_

#include <ostream>
#include <string>
#include <vector>

#include "host/analysis/RunAnalysis.h"
#include "host/base/Status.h"
#include "host/kit/ParameterString.h"
#include "host/kit/SweepAxes.h"
#include "host/model/ModelRun.h"

namespace norvask::host {

enum class EyeRank { kHeightAtBer, kHeight, kRatio };

// "ber", "height" or "ratio".
bool parseEyeRank(const std::string& text, EyeRank& rank);
std::string eyeRankName(EyeRank rank);

// The criterion as the report names it: "largest eye height".
std::string rankCriterion(EyeRank rank);

struct SweepRequest {
  double tailTime = 0.0;
  EyeRank rank = EyeRank::kHeightAtBer;
  bool rankByBer = false;  // rank by the eye height at the target BER whatever `rank` says
  StatisticalRequest statistical;
  std::ostream* progress = nullptr;  // where to say which point is running, or nowhere
};

struct SweepRow {
  std::vector<std::string> values;  // one per axis, as the parameter string writes it
  AmiSettings point;
  EyeMetrics eye;
  EyeAtBer atBer;
};

struct ParameterSweep {
  std::vector<std::string> names;  // the axes
  std::vector<SweepRow> rows;
  long best = -1;  // the best row, -1 when no point had defined figures
};

// The index of the row that ranks first by `request`, -1 when none may win.
long bestRow(const std::vector<SweepRow>& rows, const SweepRequest& request);

// "txi 3" or "txi 3, OutputGain 0.5": a point as the messages name it.
std::string pointName(const std::vector<std::string>& names, const SweepRow& row);

// One run per point of the axes' product (the first axis varies slowest),
// each analysed as the single run is. `runPoint(name, point, run)` runs the
// model (and whatever follows it) at the point; its failure ends the sweep.
// REQUIRES: axes not empty.
template <typename RunPoint>
Status sweepParameters(const LinkTiming& timing, const SweepRequest& request,
                       const std::vector<SweepAxis>& axes, RunPoint runPoint,
                       ParameterSweep& sweep);

// The points of the axes' product, in sweep order, without figures.
std::vector<SweepRow> sweepPoints(const std::vector<SweepAxis>& axes);

// The figures of one point's run; a failure names the point.
Status analyseSweepPoint(const ModelRun& run, const LinkTiming& timing, const SweepRequest& request,
                         const std::string& name, SweepRow& row);

template <typename RunPoint>
Status sweepParameters(const LinkTiming& timing, const SweepRequest& request,
                       const std::vector<SweepAxis>& axes, RunPoint runPoint,
                       ParameterSweep& sweep) {
  sweep = ParameterSweep{};
  for (const SweepAxis& axis : axes)
    sweep.names.push_back(axis.name);
  sweep.rows = sweepPoints(axes);
  for (SweepRow& row : sweep.rows) {
    const std::string name = pointName(sweep.names, row);
    if (request.progress != nullptr) {
      *request.progress << "\rsweep: point " << &row - sweep.rows.data() + 1 << " of "
                        << sweep.rows.size() << " (" << name << ")   " << std::flush;
    }
    ModelRun run;
    Status ran = runPoint(name, row.point, run);
    if (ran.ok())
      ran = analyseSweepPoint(run, timing, request, name, row);
    if (!ran.ok())
      return ran;
  }
  if (request.progress != nullptr)
    *request.progress << "\r" << std::string(48, ' ') << "\r" << std::flush;
  sweep.best = bestRow(sweep.rows, request);
  return Status::Ok();
}

}  // namespace norvask::host

#endif  // NORVASK_HOST_APP_PARAMETERSWEEP_H_
