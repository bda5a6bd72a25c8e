// compile.cpp: the model store compiled into a HiGHS model (bounds from row types, column types,
// the Hessian in HiGHS's triangle), and the hand-over to the engine.
#include "solver/compile.h"

#include <algorithm>
#include <climits>
#include <limits>
#include <new>

namespace nvra {

int Image::addCol(double lower, double upper, HighsInt type) {
    cost.push_back(0.0);
    colLower.push_back(lower);
    colUpper.push_back(upper);
    colType.push_back(type);
    integral = integral || type != kHighsVarTypeContinuous;
    return numCols() - 1;
}

void Image::addRow(double lower, double upper, std::vector<std::pair<int, double>> entries) {
    std::sort(entries.begin(), entries.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    for (size_t k = 0; k < entries.size();) {
        const int col = entries[k].first;
        double sum = 0.0;
        for (; k < entries.size() && entries[k].first == col; ++k)
            sum += entries[k].second;
        if (sum != 0.0) {
            auxIndex.push_back(col);
            auxValue.push_back(sum);
        }
    }
    auxLower.push_back(lower);
    auxUpper.push_back(upper);
    auxStart.push_back(static_cast<HighsInt>(auxIndex.size()));
}

namespace {

// "column 3", or "column 3 (\"x3\")" when the entry has a name of its own.
std::string label(const char *kind, const NameList &names, int i) {
    std::string text = std::string(kind) + " " + std::to_string(i);
    const std::string_view name = i >= 0 && i < names.size() ? names.get(i) : std::string_view();
    if (!name.empty()) text.append(" (\"").append(name).append("\")");
    return text;
}

} // namespace

std::string colLabel(const Model &m, int j) {
    return label("column", m.colNames, j);
}
std::string rowLabel(const Model &m, int i) {
    return label("row", m.rowNames, i);
}

std::pair<double, double> valueRange(const Model &m, int j) {
    const double lb = m.lb[j], ub = m.ub[j];
    switch (m.coltype[j]) {
    case 'B':
        return {std::max(lb, 0.0), std::min(ub, 1.0)};
    case 'S':
    case 'R':
        return {std::min(0.0, std::max(lb, m.limit[j])), std::max(0.0, ub)};
    default:
        return {lb, ub};
    }
}

void Image::useEngineInfinity() {
    constexpr double inf = std::numeric_limits<double>::infinity();
    for (auto *bounds : {&colLower, &colUpper, &rowLower, &rowUpper, &auxLower, &auxUpper})
        for (double &v : *bounds)
            v = v >= kInf ? inf : v <= -kInf ? -inf : v;
}

namespace {

// Gives the vectors' memory back.
template <class... V> void release(V &...v) {
    (V().swap(v), ...);
}

} // namespace

void Image::releaseHandedOver() {
    release(cost, colLower, colUpper, rowLower, rowUpper, auxUpper, auxValue, rowStart, auxStart,
            auxIndex, qStart, qIndex);
}

namespace {

// Columns as the engine sees them before reformulation: 'B' is an integer column within
// [0, 1]; 'S', 'R' and 'P' columns are made continuous over their value range here and given
// their own form by reformulateEntities (unless relaxed).
void compileColumns(const Model &m, bool relax, Image &img) {
    const int n = m.numCols();
    img.cost = m.cost;
    img.colLower.resize(n);
    img.colUpper.resize(n);
    img.colType.assign(n, kHighsVarTypeContinuous);
    for (int j = 0; j < n; ++j) {
        const auto [lo, up] = valueRange(m, j);
        img.colLower[j] = lo;
        img.colUpper[j] = up;
        if (!relax && (m.coltype[j] == 'B' || m.coltype[j] == 'I')) {
            img.colType[j] = kHighsVarTypeInteger;
            img.integral = true;
        }
    }
}

// Row bounds from the row types. A row carrying an indicator is free here: its condition goes
// into auxiliary rows (or is relaxed away), and the free row still reports its activity.
void compileRowBounds(const Model &m, Image &img) {
    const int nr = m.numRows();
    img.rowLower.resize(nr);
    img.rowUpper.resize(nr);
    for (int i = 0; i < nr; ++i) {
        const double rhs = m.rhs[i];
        double lo = -kInf, up = kInf;
        switch (m.rowtype[i]) {
        case 'L':
            up = rhs;
            break;
        case 'G':
            lo = rhs;
            break;
        case 'E':
            lo = up = rhs;
            break;
        case 'R':
            lo = rhs - m.range[i], up = rhs;
            break;
        default:
            break; // 'N'
        }
        img.rowLower[i] = lo;
        img.rowUpper[i] = up;
    }
    for (const auto &[row, ind] : m.indicators) {
        if (ind.complement == 0) continue;
        img.rowLower[row] = -kInf;
        img.rowUpper[row] = kInf;
    }
}

int compileRowStarts(NVRAprob prob, const Model &m, Image &img) {
    const int64_t nnz = m.A.start.back();
    if (nnz > INT_MAX)
        return probError(prob, NVRA_RC_RANGE,
                         "The matrix has %lld non-zeros: the engine takes at most %d",
                         static_cast<long long>(nnz), INT_MAX);
    img.rowStart.assign(m.A.start.begin(), m.A.start.end() - 1);
    return 0;
}

// The store's upper-triangle triplets (i, j, v), i <= j, sorted by (i, j), are the lower
// triangle of Q column-wise: column i holds rows j >= i in increasing order.
int compileHessian(NVRAprob prob, const Model &m, Image &img) {
    const size_t nq = m.Q.v.size();
    if (nq > static_cast<size_t>(INT_MAX))
        return probError(prob, NVRA_RC_RANGE,
                         "The quadratic objective has %zu elements: the engine takes at most %d",
                         nq, INT_MAX);
    if (nq == 0) return 0;
    img.qStart.assign(img.numCols(), 0);
    for (size_t k = 0; k < nq; ++k)
        ++img.qStart[m.Q.i[k]];
    HighsInt sum = 0;
    for (HighsInt &s : img.qStart) {
        const HighsInt count = s;
        s = sum;
        sum += count;
    }
    img.qIndex.assign(m.Q.j.begin(), m.Q.j.end());
    img.qValue = m.Q.v;
    return 0;
}

} // namespace

int compileModel(NVRAprob prob, const CompileOptions &options, Image &img) {
    const Model &m = prob->model;
    try {
        img.model = &m;
        img.userCols = m.numCols();
        img.userRows = m.numRows();
        img.sense = m.sense;
        img.offset = m.objConstant;
        img.nativeSemi = options.nativeSemi;
        compileColumns(m, options.relax, img);
        compileRowBounds(m, img);
        if (int rc = compileRowStarts(prob, m, img)) return rc;
        if (!options.relax)
            if (int rc = reformulateEntities(prob, img)) return rc;
        if (int rc = reformulateGeneral(prob, img, options.relax)) return rc;
        if (int rc = compileHessian(prob, m, img)) return rc;
        return options.libraryRows ? addLibraryRows(prob, img) : 0;
    } catch (const std::bad_alloc &) {
        return probError(prob, NVRA_RC_NOMEM, "Out of memory compiling the problem for the engine");
    }
}

namespace {

// The engine's basis when it can seed a solve of a model of the same shape: only a valid
// basis of a continuous model qualifies.
bool saveBasis(Engine &e, const Image &img, std::vector<HighsInt> &colStatus,
               std::vector<HighsInt> &rowStatus) {
    if (img.integral || e.numCol != img.numCols() || e.numRow != img.numRows()) return false;
    HighsInt validity = kHighsBasisValidityInvalid;
    if (!highsOk(Highs_getIntInfoValue(e.highs, "basis_validity", &validity)) ||
        validity != kHighsBasisValidityValid)
        return false;
    colStatus.resize(e.numCol);
    rowStatus.resize(e.numRow);
    return highsOk(Highs_getBasis(e.highs, colStatus.data(), rowStatus.data()));
}

} // namespace

bool passImage(Engine &e, Image &img) {
    img.useEngineInfinity();
    void *h = e.highs;
    std::vector<HighsInt> colStatus, rowStatus;
    bool warm = false;
    try {
        warm = saveBasis(e, img, colStatus, rowStatus);
        if (passChanges(e, img)) {
            e.numCol = img.numCols();
            e.numRow = img.numRows();
            return true;
        }
    } catch (const std::bad_alloc &) {
    }
    const Model &m = *img.model;
    const HighsInt nnz = static_cast<HighsInt>(m.A.start.back());
    const HighsInt qnz = static_cast<HighsInt>(img.qValue.size());
    e.numCol = e.numRow = -1;
    forgetHandover(e);
    const long status = Highs_passModel(
        h, img.numCols(), img.userRows, nnz, qnz, kHighsMatrixFormatRowwise,
        kHighsHessianFormatTriangular, img.sense, img.offset, img.cost.data(), img.colLower.data(),
        img.colUpper.data(), img.rowLower.data(), img.rowUpper.data(), img.rowStart.data(),
        m.A.index.data(), m.A.value.data(), qnz ? img.qStart.data() : nullptr,
        qnz ? img.qIndex.data() : nullptr, qnz ? img.qValue.data() : nullptr,
        img.integral ? img.colType.data() : nullptr);
    if (!highsOk(status)) return false;
    if (img.numAuxRows() > 0 &&
        !highsOk(Highs_addRows(h, img.numAuxRows(), img.auxLower.data(), img.auxUpper.data(),
                               img.auxStart.back(), img.auxStart.data(), img.auxIndex.data(),
                               img.auxValue.data())))
        return false;
    e.numCol = img.numCols();
    e.numRow = img.numRows();
    recordHandover(e, img);
    if (warm) Highs_setBasis(h, colStatus.data(), rowStatus.data());
    return true;
}

} // namespace nvra
