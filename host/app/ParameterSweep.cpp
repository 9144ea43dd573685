#include "host/app/ParameterSweep.h"

namespace norvask::host {

namespace {

// The score a row is ranked by, and whether it may win at all.
double score(const SweepRow& row, const SweepRequest& request, bool& candidate) {
  if (request.rankByBer || request.rank == EyeRank::kHeightAtBer) {
    candidate = row.atBer.open;
    return row.atBer.height;
  }
  candidate = row.eye.defined();
  return request.rank == EyeRank::kHeight ? row.eye.height() : row.eye.openingRatio();
}

}  // namespace

bool parseEyeRank(const std::string& text, EyeRank& rank) {
  for (EyeRank each : {EyeRank::kHeightAtBer, EyeRank::kHeight, EyeRank::kRatio}) {
    if (text == eyeRankName(each)) {
      rank = each;
      return true;
    }
  }
  return false;
}

std::string eyeRankName(EyeRank rank) {
  return rank == EyeRank::kHeightAtBer ? "ber" : rank == EyeRank::kHeight ? "height" : "ratio";
}

std::string rankCriterion(EyeRank rank) {
  return rank == EyeRank::kHeightAtBer ? "largest eye height at the target BER"
         : rank == EyeRank::kHeight    ? "largest eye height"
                                       : "largest eye opening ratio";
}

long bestRow(const std::vector<SweepRow>& rows, const SweepRequest& request) {
  long best = -1;
  double bestScore = 0.0;
  for (std::size_t index = 0; index < rows.size(); ++index) {
    bool candidate = false;
    const double rowScore = score(rows[index], request, candidate);
    if (candidate && (best < 0 || rowScore > bestScore)) {
      bestScore = rowScore;
      best = static_cast<long>(index);
    }
  }
  return best;
}

std::string pointName(const std::vector<std::string>& names, const SweepRow& row) {
  std::string name;
  for (std::size_t axis = 0; axis < names.size() && axis < row.values.size(); ++axis)
    name += (name.empty() ? "" : ", ") + names[axis] + " " + row.values[axis];
  return name;
}

std::vector<SweepRow> sweepPoints(const std::vector<SweepAxis>& axes) {
  std::vector<SweepRow> rows(1);
  for (const SweepAxis& axis : axes) {
    std::vector<SweepRow> grown;
    for (const SweepRow& row : rows) {
      for (const std::string& value : axis.values) {
        SweepRow next = row;
        next.values.push_back(value);
        next.point[axis.name] = value;
        grown.push_back(next);
      }
    }
    rows = std::move(grown);
  }
  return rows;
}

Status analyseSweepPoint(const ModelRun& run, const LinkTiming& timing, const SweepRequest& request,
                         const std::string& name, SweepRow& row) {
  RunFigures figures;
  if (Status analysed = analyseRun(run, timing, request.statistical, figures); !analysed.ok())
    return analysed.Within(name);
  row.eye = figures.eye;
  row.atBer = figures.atBer;
  return Status::Ok();
}

}  // namespace norvask::host
