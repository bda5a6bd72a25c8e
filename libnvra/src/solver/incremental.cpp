// incremental.cpp: handing a compiled problem to an engine that already holds an earlier one as
// the changes between the two. The engine's model is known from the record of the last hand-over
// (Engine::held); when that record is stale, because something else changed the engine's model
// since (a multi-objective run's rows, an analysis call, a repair), the model is read back from
// the engine instead. Columns and rows added at the end are added, those removed from the end
// deleted, and bounds, costs, types and coefficients changed in place. The engine keeps its basis
// through all of these (new rows basic, new columns at a bound), so a re-solve starts from the
// last one.
#include "solver/compile.h"

#include <algorithm>
#include <cmath>

namespace nvra {
namespace {

// The engine's model, read back row-wise. False when the engine's answer does not fit.
bool readHeld(void *h, HeldModel &held) {
    held.valid = false;
    held.numCol = Highs_getNumCol(h);
    held.numRow = Highs_getNumRow(h);
    held.numNz = Highs_getNumNz(h);
    held.cost.resize(held.numCol);
    held.colLower.resize(held.numCol);
    held.colUpper.resize(held.numCol);
    held.integrality.assign(held.numCol, kHighsVarTypeContinuous);
    held.rowLower.resize(held.numRow);
    held.rowUpper.resize(held.numRow);
    held.start.resize(held.numRow + 1);
    held.index.resize(held.numNz);
    held.value.resize(held.numNz);
    HighsInt nc = 0, nr = 0, nz = 0;
    if (!highsOk(Highs_getLp(h, kHighsMatrixFormatRowwise, &nc, &nr, &nz, &held.sense, &held.offset,
                             held.cost.data(), held.colLower.data(), held.colUpper.data(),
                             held.rowLower.data(), held.rowUpper.data(), held.start.data(),
                             held.index.data(), held.value.data(), held.integrality.data())))
        return false;
    held.start[held.numRow] = held.numNz;
    return nc == held.numCol && nr == held.numRow && nz == held.numNz;
}

// The engine drops coefficients at or below its small-coefficient threshold when it is given
// them: such a coefficient is a zero of the engine's model.
double asHeld(double v, double small) {
    return std::fabs(v) <= small ? 0.0 : v;
}

// One row of the image: its ends and entries.
struct ImageRow {
    double lower, upper;
    const HighsInt *index;
    const double *value;
    HighsInt count;
};

ImageRow imageRow(const Image &img, int i) {
    if (i < img.userRows) {
        const Model &m = *img.model;
        const auto b = static_cast<HighsInt>(m.A.start[i]);
        const auto e = static_cast<HighsInt>(m.A.start[i + 1]);
        return {img.rowLower[i], img.rowUpper[i], m.A.index.data() + b, m.A.value.data() + b,
                e - b};
    }
    const int k = i - img.userRows;
    const HighsInt b = img.auxStart[k], e = img.auxStart[k + 1];
    return {img.auxLower[k], img.auxUpper[k], img.auxIndex.data() + b, img.auxValue.data() + b,
            e - b};
}

// An index set with one value per entry, for the engine's ...BySet calls.
template <class T> struct ChangeSet {
    std::vector<HighsInt> at;
    std::vector<T> a, b;
    void add(HighsInt k, T x, T y = T()) {
        at.push_back(k);
        a.push_back(x);
        b.push_back(y);
    }
    HighsInt size() const { return static_cast<HighsInt>(at.size()); }
};

struct Coefficient {
    HighsInt row, col;
    double value;
};

// The changes from held to img. Returns false when handing the image over whole is cheaper (the
// coefficient changes are many, as after deleting a row or column in the middle).
class Changes {
  public:
    Changes(const HeldModel &held, const Image &img, double small) : held_(held), img_(img) {
        keepCols_ = std::min<int>(held.numCol, img.numCols());
        keepRows_ = std::min<int>(held.numRow, img.numRows());
        small_ = small;
    }

    bool compute() {
        for (int j = 0; j < keepCols_; ++j) {
            if (held_.cost[j] != img_.cost[j]) cost_.add(j, img_.cost[j]);
            if (held_.colLower[j] != img_.colLower[j] || held_.colUpper[j] != img_.colUpper[j])
                colBounds_.add(j, img_.colLower[j], img_.colUpper[j]);
            if (held_.integrality[j] != img_.colType[j]) types_.add(j, img_.colType[j]);
        }
        std::vector<double> dense(keepCols_, 0.0);
        std::vector<char> seen(keepCols_, 0);
        const size_t budget = static_cast<size_t>(held_.numNz) / 4 + 64;
        for (int i = 0; i < keepRows_; ++i) {
            const ImageRow r = imageRow(img_, i);
            if (held_.rowLower[i] != r.lower || held_.rowUpper[i] != r.upper)
                rowBounds_.add(i, r.lower, r.upper);
            compareRow(i, r, dense, seen);
            if (coefs_.size() > budget) return false;
        }
        return true;
    }

    // Applies the changes; false if the engine refused one (the caller then hands the image over
    // whole).
    bool apply(void *h) const {
        const int nc = img_.numCols(), nr = img_.numRows();
        if (held_.numRow > nr && !highsOk(Highs_deleteRowsByRange(h, nr, held_.numRow - 1)))
            return false;
        if (held_.numCol > nc && !highsOk(Highs_deleteColsByRange(h, nc, held_.numCol - 1)))
            return false;
        if (held_.sense != img_.sense && !highsOk(Highs_changeObjectiveSense(h, img_.sense)))
            return false;
        if (held_.offset != img_.offset && !highsOk(Highs_changeObjectiveOffset(h, img_.offset)))
            return false;
        if (cost_.size() &&
            !highsOk(Highs_changeColsCostBySet(h, cost_.size(), cost_.at.data(), cost_.a.data())))
            return false;
        if (colBounds_.size() &&
            !highsOk(Highs_changeColsBoundsBySet(h, colBounds_.size(), colBounds_.at.data(),
                                                 colBounds_.a.data(), colBounds_.b.data())))
            return false;
        if (types_.size() && !highsOk(Highs_changeColsIntegralityBySet(
                                 h, types_.size(), types_.at.data(), types_.a.data())))
            return false;
        if (rowBounds_.size() &&
            !highsOk(Highs_changeRowsBoundsBySet(h, rowBounds_.size(), rowBounds_.at.data(),
                                                 rowBounds_.a.data(), rowBounds_.b.data())))
            return false;
        for (const Coefficient &c : coefs_)
            if (!highsOk(Highs_changeCoeff(h, c.row, c.col, c.value))) return false;
        return addCols(h) && addRows(h);
    }

  private:
    // Entries of the image's row i (columns the engine keeps) against the engine's.
    void compareRow(int i, const ImageRow &r, std::vector<double> &dense, std::vector<char> &seen) {
        for (HighsInt k = held_.start[i]; k < held_.start[i + 1]; ++k)
            if (held_.index[k] < keepCols_) dense[held_.index[k]] = held_.value[k];
        for (HighsInt k = 0; k < r.count; ++k) {
            const HighsInt j = r.index[k];
            if (j >= keepCols_) continue;
            const double v = asHeld(r.value[k], small_);
            if (dense[j] != v) coefs_.push_back({i, j, v});
            seen[j] = 1;
        }
        for (HighsInt k = held_.start[i]; k < held_.start[i + 1]; ++k) {
            const HighsInt j = held_.index[k];
            if (j >= keepCols_) continue;
            if (!seen[j]) coefs_.push_back({i, j, 0.0});
            dense[j] = 0.0;
            seen[j] = 0;
        }
        for (HighsInt k = 0; k < r.count; ++k)
            if (r.index[k] < keepCols_) seen[r.index[k]] = 0;
    }

    // New columns with their entries in the rows the engine keeps (new rows bring their own).
    bool addCols(void *h) const {
        const int first = held_.numCol, nc = img_.numCols();
        if (nc <= first) return true;
        const int count = nc - first;
        std::vector<std::vector<std::pair<HighsInt, double>>> byCol(count);
        for (int i = 0; i < keepRows_; ++i) {
            const ImageRow r = imageRow(img_, i);
            for (HighsInt k = 0; k < r.count; ++k)
                if (r.index[k] >= first) byCol[r.index[k] - first].emplace_back(i, r.value[k]);
        }
        std::vector<HighsInt> starts, index;
        std::vector<double> value;
        for (const auto &col : byCol) {
            starts.push_back(static_cast<HighsInt>(index.size()));
            for (const auto &[row, v] : col) {
                index.push_back(row);
                value.push_back(v);
            }
        }
        if (!highsOk(Highs_addCols(h, count, img_.cost.data() + first, img_.colLower.data() + first,
                                   img_.colUpper.data() + first,
                                   static_cast<HighsInt>(index.size()), starts.data(), index.data(),
                                   value.data())))
            return false;
        std::vector<HighsInt> at;
        std::vector<HighsInt> type;
        for (int j = first; j < nc; ++j)
            if (img_.colType[j] != kHighsVarTypeContinuous) {
                at.push_back(j);
                type.push_back(img_.colType[j]);
            }
        return at.empty() || highsOk(Highs_changeColsIntegralityBySet(
                                 h, static_cast<HighsInt>(at.size()), at.data(), type.data()));
    }

    bool addRows(void *h) const {
        const int first = held_.numRow, nr = img_.numRows();
        if (nr <= first) return true;
        std::vector<double> lower, upper, value;
        std::vector<HighsInt> starts, index;
        for (int i = first; i < nr; ++i) {
            const ImageRow r = imageRow(img_, i);
            lower.push_back(r.lower);
            upper.push_back(r.upper);
            starts.push_back(static_cast<HighsInt>(index.size()));
            index.insert(index.end(), r.index, r.index + r.count);
            value.insert(value.end(), r.value, r.value + r.count);
        }
        return highsOk(Highs_addRows(h, nr - first, lower.data(), upper.data(),
                                     static_cast<HighsInt>(index.size()), starts.data(),
                                     index.data(), value.data()));
    }

    const HeldModel &held_;
    const Image &img_;
    int keepCols_ = 0, keepRows_ = 0;
    double small_ = 0.0;
    ChangeSet<double> cost_, colBounds_, rowBounds_;
    ChangeSet<HighsInt> types_;
    std::vector<Coefficient> coefs_;
};

// The engine's small-coefficient threshold (set from the matrixtol control before every hand-over).
double smallThreshold(Engine &e) {
    return doubleOption(e.highs, &e.options, "small_matrix_value");
}

// Past this many matrix entries no record is kept. It would be a second copy of the model (about
// 12 bytes an entry) alive through the engine's run, where memory peaks, to spare the next
// re-solve one reading of the engine's model (readHeld), a pass over the entries like the
// record's own copying; small models keep it, for the quickest re-solves.
constexpr int64_t kMaxHeldEntries = int64_t{1} << 16;

int64_t imageEntries(const Image &img) {
    return static_cast<int64_t>(img.model->A.start[img.userRows]) +
           (img.auxStart.empty() ? 0 : img.auxStart.back());
}

} // namespace

void recordHandover(Engine &e, const Image &img) noexcept {
    HeldModel &held = e.held;
    held.valid = false;
    if (!img.qValue.empty()) return; // a model with an objective Hessian goes over whole anyway
    if (imageEntries(img) > kMaxHeldEntries) {
        held = HeldModel{}; // its memory back before the run
        return;
    }
    try {
        const double small = smallThreshold(e);
        held.numCol = img.numCols();
        held.numRow = img.numRows();
        held.sense = img.sense;
        held.offset = img.offset;
        held.small = small;
        held.cost = img.cost;
        held.colLower = img.colLower;
        held.colUpper = img.colUpper;
        held.integrality = img.colType;
        held.rowLower.assign(img.rowLower.begin(), img.rowLower.end());
        held.rowLower.insert(held.rowLower.end(), img.auxLower.begin(), img.auxLower.end());
        held.rowUpper.assign(img.rowUpper.begin(), img.rowUpper.end());
        held.rowUpper.insert(held.rowUpper.end(), img.auxUpper.begin(), img.auxUpper.end());
        held.start.clear();
        held.index.clear();
        held.value.clear();
        held.start.reserve(held.numRow + 1);
        for (int i = 0; i < held.numRow; ++i) {
            held.start.push_back(static_cast<HighsInt>(held.index.size()));
            const ImageRow r = imageRow(img, i);
            for (HighsInt k = 0; k < r.count; ++k) {
                const double v = asHeld(r.value[k], small);
                if (v == 0.0) continue;
                held.index.push_back(r.index[k]);
                held.value.push_back(v);
            }
        }
        held.numNz = static_cast<HighsInt>(held.index.size());
        held.start.push_back(held.numNz);
        held.valid = true;
    } catch (...) {
        // Out of memory: the next hand-over reads the engine's model back.
    }
}

bool passChanges(Engine &e, const Image &img) {
    void *h = e.highs;
    HeldModel &held = e.held;
    // Objective Hessians go over whole; so does the first model.
    if (!img.qValue.empty()) return false;
    const double small = smallThreshold(e);
    // A record made under another threshold is not what the engine would hold now.
    if (!held.valid || held.small != small) {
        if (Highs_getHessianNumNz(h) > 0 || !readHeld(h, held)) return false;
    }
    held.valid = false; // until the changes are in
    if (held.numCol == 0 && held.numRow == 0) return false;
    Changes changes(held, img, small);
    if (!changes.compute() || !changes.apply(h)) return false;
    recordHandover(e, img);
    return true;
}

} // namespace nvra
