// incremental.cpp: handing a compiled problem to an engine that already holds an earlier one as
// the changes between the two. The engine's own model is read back and compared with the image,
// so whatever changed it since (an edit, a multi-objective run's rows, an analysis call) is
// seen; columns and rows added at the end are added, those removed from the end deleted, and
// bounds, costs, types and coefficients changed in place. The engine keeps its basis through
// all of these (new rows basic, new columns at a bound), so a re-solve starts from the last one.
#include "solver/compile.h"

#include <algorithm>
#include <cmath>

namespace nvra {
namespace {

// The model the engine holds, row-wise.
struct HeldLp {
    HighsInt numCol = 0, numRow = 0, numNz = 0, sense = 1;
    double offset = 0.0;
    std::vector<double> cost, colLower, colUpper, rowLower, rowUpper, value;
    std::vector<HighsInt> start, index, integrality;

    bool read(void *h) {
        numCol = Highs_getNumCol(h);
        numRow = Highs_getNumRow(h);
        numNz = Highs_getNumNz(h);
        cost.resize(numCol);
        colLower.resize(numCol);
        colUpper.resize(numCol);
        integrality.assign(numCol, kHighsVarTypeContinuous);
        rowLower.resize(numRow);
        rowUpper.resize(numRow);
        start.resize(numRow + 1);
        index.resize(numNz);
        value.resize(numNz);
        HighsInt nc = 0, nr = 0, nz = 0;
        if (!highsOk(Highs_getLp(h, kHighsMatrixFormatRowwise, &nc, &nr, &nz, &sense, &offset,
                                 cost.data(), colLower.data(), colUpper.data(), rowLower.data(),
                                 rowUpper.data(), start.data(), index.data(), value.data(),
                                 integrality.data())))
            return false;
        start[numRow] = numNz;
        return nc == numCol && nr == numRow && nz == numNz;
    }
};

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
    Changes(const HeldLp &held, const Image &img, double small) : held_(held), img_(img) {
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
            // The engine dropped what is below its small-coefficient threshold when it was given.
            const double v = std::fabs(r.value[k]) <= small_ ? 0.0 : r.value[k];
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

    const HeldLp &held_;
    const Image &img_;
    int keepCols_ = 0, keepRows_ = 0;
    double small_ = 0.0;
    ChangeSet<double> cost_, colBounds_, rowBounds_;
    ChangeSet<HighsInt> types_;
    std::vector<Coefficient> coefs_;
};

} // namespace

bool passChanges(Engine &e, const Image &img) {
    void *h = e.highs;
    // Objective Hessians go over whole; so does the first model.
    if (!img.qValue.empty() || Highs_getHessianNumNz(h) > 0) return false;
    if (Highs_getNumCol(h) == 0 && Highs_getNumRow(h) == 0) return false;
    double small = 0.0;
    Highs_getDoubleOptionValue(h, "small_matrix_value", &small);
    HeldLp held;
    if (!held.read(h)) return false;
    Changes changes(held, img, small);
    return changes.compute() && changes.apply(h);
}

} // namespace nvra
