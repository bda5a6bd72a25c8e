// dependent.cpp: dependent linear equality rows (dependent.h).
#include "solver/dependent.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <queue>

namespace nvra {
namespace {

// A reduced row's entries below this share of its original largest entry count as zero: the
// rounding left by eliminating rows of the same scale.
constexpr double kZeroShare = 1e-9;
// The elimination's budget: entries updated, per entry of the rows, plus a fixed allowance.
constexpr int64_t kWorkPerEntry = 20, kWorkAllowance = 100000;

// One pivot row: reduced by every earlier pivot (it holds none of their pivot columns).
struct Pivot {
    int col;
    double value; // its entry in col
    double rhs;
    std::vector<std::pair<int, double>> entries;
};

// The row being reduced, dense over the columns, with the columns it touches.
class Work {
  public:
    explicit Work(int n) : value_(n, 0.0), in_(n, 0) {}

    void add(int c, double v) {
        if (!in_[c]) in_[c] = 1, touched_.push_back(c);
        value_[c] += v;
    }
    double at(int c) const { return value_[c]; }
    void zero(int c) { value_[c] = 0.0; }
    const std::vector<int> &touched() const { return touched_; }
    void clear() {
        for (int c : touched_)
            value_[c] = 0.0, in_[c] = 0;
        touched_.clear();
    }

  private:
    std::vector<double> value_;
    std::vector<char> in_;
    std::vector<int> touched_;
};

bool candidate(const QcProgram &qp, int r) {
    const double lo = qp.rowLower(r);
    return lo == qp.rowUpper(r) && std::fabs(lo) < kInf && !qp.quadOf(r) && qp.rowFunction(r) < 0;
}

} // namespace

std::vector<char> dependentEqualities(const QcProgram &qp, const std::vector<double> &lower,
                                      const std::vector<double> &upper,
                                      const std::vector<char> &skip, double feasTol) {
    const int n = qp.numCols(), m = qp.numRows();
    std::vector<int> rows;
    int64_t entries = 0;
    for (int r = 0; r < m; ++r)
        if ((skip.empty() || !skip[r]) && candidate(qp, r)) {
            rows.push_back(r);
            qp.forLinear(r, [&](int, double) { ++entries; });
        }
    if (rows.size() < 2) return {};
    const int64_t budget = kWorkPerEntry * entries + kWorkAllowance;
    int64_t work = 0;
    std::vector<Pivot> pivots;
    std::vector<int> pivotOf(n, -1); // per column: its pivot, or -1
    std::vector<int> queuedFor;      // per pivot: the last row that queued it
    std::vector<char> dependent(m, 0);
    bool any = false;
    Work w(n);
    std::priority_queue<int, std::vector<int>, std::greater<int>> queue; // pivots, earliest first
    auto enqueue = [&](int c, int r) {
        const int k = pivotOf[c];
        if (k >= 0 && queuedFor[k] != r) queuedFor[k] = r, queue.push(k);
    };
    for (int r : rows) {
        double rhs = qp.rowLower(r), scale = 0.0;
        qp.forLinear(r, [&](int c, double v) {
            if (lower[c] >= upper[c]) {
                rhs -= v * lower[c];
            } else {
                w.add(c, v);
                scale = std::max(scale, std::fabs(v));
            }
        });
        if (scale == 0.0) { // no free column: the row is checked, not handed over
            w.clear();
            continue;
        }
        for (size_t t = 0; t < w.touched().size(); ++t)
            enqueue(w.touched()[t], r);
        // Eliminating pivot k brings in no pivot column of an earlier pivot, only later ones:
        // taking the pivots in order reduces the row by each of them once.
        while (!queue.empty()) {
            const Pivot &p = pivots[queue.top()];
            queue.pop();
            const double f = w.at(p.col) / p.value;
            if (f == 0.0) continue;
            for (const auto &[c, v] : p.entries) {
                w.add(c, -f * v);
                enqueue(c, r);
            }
            w.zero(p.col);
            rhs -= f * p.rhs;
            if ((work += static_cast<int64_t>(p.entries.size())) > budget) return {};
        }
        int best = -1;
        double largest = 0.0;
        for (int c : w.touched())
            if (std::fabs(w.at(c)) > largest) largest = std::fabs(w.at(c)), best = c;
        if (largest <= kZeroShare * scale) {
            if (std::fabs(rhs) <= feasTol) dependent[r] = 1, any = true;
        } else {
            Pivot p{best, w.at(best), rhs, {}};
            for (int c : w.touched())
                if (std::fabs(w.at(c)) > kZeroShare * scale) p.entries.emplace_back(c, w.at(c));
            pivotOf[best] = static_cast<int>(pivots.size());
            pivots.push_back(std::move(p));
            queuedFor.push_back(-1);
        }
        w.clear();
    }
    if (!any) return {};
    return dependent;
}

} // namespace nvra
