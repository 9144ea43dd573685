#include "host/output/SeriesCsv.h"

#include <algorithm>

namespace norvask::host {

void writeSeriesCsv(std::ostream& out, double sampleInterval,
                    const std::vector<NamedSeries>& series) {
  const auto savedPrecision = out.precision(10);
  out << "time_s";
  std::size_t rows = 0;
  for (const auto& column : series) {
    out << ',' << column.name;
    rows = std::max(rows, column.values.size());
  }
  out << '\n';
  for (std::size_t i = 0; i < rows; ++i) {
    out << static_cast<double>(i) * sampleInterval;
    for (const auto& column : series) {
      out << ',';
      if (i < column.values.size())
        out << column.values[i];
    }
    out << '\n';
  }
  out.precision(savedPrecision);
}

}  // namespace norvask::host
