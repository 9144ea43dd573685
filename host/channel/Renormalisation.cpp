#include "host/channel/Renormalisation.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <vector>

#include "host/base/EngineeringFormat.h"

namespace norvask::host {

namespace {

using Complex = std::complex<double>;

// An n x n matrix, row after row.
struct Square {
  std::size_t n = 0;
  std::vector<Complex> a;
  Complex& at(std::size_t row, std::size_t column) { return a[row * n + column]; }
};

// Solves X = Y M for Y in place of X by Gauss-Jordan elimination on the
// columns of M, with partial pivoting. False when M is singular.
bool divideOnTheRight(Square& x, Square m) {
  const std::size_t n = m.n;
  for (std::size_t c = 0; c < n; ++c) {
    std::size_t pivot = c;
    for (std::size_t k = c + 1; k < n; ++k) {
      if (std::abs(m.at(c, k)) > std::abs(m.at(c, pivot)))
        pivot = k;
    }
    if (!(std::abs(m.at(c, pivot)) > 1e-12))
      return false;
    for (Square* s : {&m, &x}) {
      for (std::size_t r = 0; r < s->n; ++r)
        std::swap(s->at(r, c), s->at(r, pivot));
    }
    // Column operations on M and X alike keep Y = X M^-1 unchanged.
    const Complex scale = 1.0 / m.at(c, c);
    for (Square* s : {&m, &x}) {
      for (std::size_t r = 0; r < n; ++r)
        s->at(r, c) *= scale;
    }
    for (std::size_t k = 0; k < n; ++k) {
      const Complex factor = m.at(c, k);
      if (k == c || factor == 0.0)
        continue;
      for (Square* s : {&m, &x}) {
        for (std::size_t r = 0; r < n; ++r)
          s->at(r, k) -= factor * s->at(r, c);
      }
    }
  }
  return true;
}

// References far apart scale the transfers between their ports by the
// square root of their ratio; data that ends up beyond any S-parameter is
// refused here rather than overflowing later.
Status checkBounded(const NetworkData& network, std::size_t f, const std::string& sourceName) {
  const auto n = static_cast<std::size_t>(network.ports);
  const Complex* s = network.values.data() + f * n * n;
  for (std::size_t e = 0; e < n * n; ++e) {
    if (!(std::abs(s[e]) < kMaxSParameterMagnitude)) {
      return Status::Error(sourceName + ": renormalised to 50 ohm, S" + std::to_string(e / n + 1) +
                           (n > 9 ? "," : "") + std::to_string(e % n + 1) + " at " +
                           general(network.frequencies[f]) + " Hz reaches magnitude " +
                           general(std::abs(s[e])) + "; expected below " +
                           general(kMaxSParameterMagnitude) + ": are the references right?");
    }
  }
  return Status::Ok();
}

}  // namespace

bool needsRenormalisation(const NetworkData& network) {
  return std::any_of(network.references.begin(), network.references.end(),
                     [](double ohms) { return ohms != kSystemReferenceOhms; });
}

std::string describeReferences(const NetworkData& network) {
  const auto& r = network.references;
  if (std::all_of(r.begin(), r.end(), [&r](double ohms) { return ohms == r.front(); }))
    return general(r.front()) + " ohm";
  std::string text;
  for (double ohms : r)
    text += (text.empty() ? "" : ", ") + general(ohms);
  return text + " ohm";
}

Status renormaliseTo50Ohm(NetworkData& network, const std::string& sourceName) {
  const auto n = static_cast<std::size_t>(network.ports);
  std::vector<double> g(n);
  std::vector<double> k(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double r = network.references[i];
    g[i] = (kSystemReferenceOhms - r) / (kSystemReferenceOhms + r);
    k[i] = (r + kSystemReferenceOhms) / (2.0 * std::sqrt(kSystemReferenceOhms * r));
  }
  Square x{n, std::vector<Complex>(n * n)};
  Square m{n, std::vector<Complex>(n * n)};
  for (std::size_t f = 0; f < network.frequencies.size(); ++f) {
    Complex* s = network.values.data() + f * n * n;
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = 0; j < n; ++j) {
        x.at(i, j) = s[i * n + j] - (i == j ? g[i] : 0.0);
        m.at(i, j) = (i == j ? 1.0 : 0.0) - g[i] * s[i * n + j];
      }
    }
    if (!divideOnTheRight(x, m)) {
      return Status::Error(sourceName + ": cannot renormalise to 50 ohm at " +
                           general(network.frequencies[f]) +
                           " Hz: I - G S is singular there (the data is far from passive)");
    }
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = 0; j < n; ++j)
        s[i * n + j] = k[i] * x.at(i, j) / k[j];
    }
    if (Status bounded = checkBounded(network, f, sourceName); !bounded.ok())
      return bounded;
  }
  network.references.assign(n, kSystemReferenceOhms);
  network.referenceOhms = kSystemReferenceOhms;
  return Status::Ok();
}

}  // namespace norvask::host
