// model.h: the model store of a libnvra problem. The store is the master copy of the model;
// the engine (HiGHS) only ever sees a compiled image of it (compile.cpp). Every "read the
// problem" call is answered from here.
//
// Conventions: 0-based indices; |value| >= 1e20 is infinite and is stored as +-1e20; row types
// 'L' 'G' 'E' 'R' 'N'; column types 'C' 'B' 'I' 'S' 'R' 'P'. The editing functions (store_*.cpp,
// names.cpp, loaders.cpp, files) keep the invariants stated below; the solver reads the store
// and never changes it.
#pragma once

#include "core/analysis.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace nvra {

constexpr double kInf = 1e20;

// Sparse rows in compressed form. Within a row the column indices are strictly increasing and
// every value is non-zero (entries that become zero are removed).
struct SparseRows {
    std::vector<int64_t> start{0}; // size numRows + 1
    std::vector<int32_t> index;
    std::vector<double> value;
};

// Symmetric quadratic matrix as upper-triangle triplets (i <= j), sorted by (i, j), duplicates
// summed, zeros removed. The objective contribution is 0.5 * x'Qx with Q symmetric, so an
// off-diagonal triplet (i, j, v), i < j, stands for Q_ij = Q_ji = v.
struct QTriplets {
    std::vector<int32_t> i, j;
    std::vector<double> v;
};

// A special ordered set of type '1' or '2'; members in order, with their weights.
struct Sos {
    char type = '1';
    std::vector<int32_t> cols;
    std::vector<double> weights;
};

// An indicator on a row: when column col takes value 1 (complement 1) or 0 (complement -1),
// the row must hold; complement 0 means the row has no indicator.
struct Indicator {
    int32_t col = -1;
    int32_t complement = 0;
};

// A piecewise-linear constraint: resultant = f(col), where f runs through the breakpoints
// (x[k], y[k]) in nondecreasing x and continues beyond the first and the last breakpoint with
// the slope of the first and the last segment (slope 0 for a single breakpoint). A repeated x is
// a jump: there f takes either of the two values.
struct Pwl {
    int32_t col = -1;
    int32_t resultant = -1;
    std::vector<double> x, y;
};

// General constraint types (the values of the library's type codes).
enum GenConsType : int { kGenMax = 0, kGenMin = 1, kGenAnd = 2, kGenOr = 3, kGenAbs = 4 };
constexpr int kNumGenConsTypes = 5;

// A general constraint: resultant = max, min, and, or of the columns cols and the constants
// vals, or the absolute value of its one column.
struct GenCons {
    int type = kGenMax;
    int32_t resultant = -1;
    std::vector<int32_t> cols;
    std::vector<double> vals;
};

// An additional linear objective (multi-objective problems; objective 0 is Model::cost). The
// five fields after cost are its objective controls 20005, 20001, 20002, 20003, 20004.
struct Objective {
    std::vector<double> cost; // dense, one entry per column
    double constant = 0.0;    // as it enters the objective
    int priority = 0;
    double weight = 1.0;
    double absTol = 0.0;
    double relTol = 0.0;
};

// Names of one kind (rows, columns or sets), one per entry; an unnamed entry has an empty
// name, and its displayed name is the default one ("R", "C" or "S" and the index, names.cpp).
// Implemented in names.cpp; the representation is private so that it can stay compact for
// millions of entries (a count only while nothing is named, a sparse map while few entries are
// named, 8 bytes per entry plus one shared character pool otherwise).
// Names passed in must satisfy nameFault() == nullptr (store.h); set, assign, resize and erase
// either succeed or throw std::bad_alloc leaving the list as it was. find may be called from
// several threads at once (it builds its index under a lock); edits may not overlap anything.
class NameList {
  public:
    NameList();
    ~NameList();
    NameList(const NameList &);
    NameList &operator=(const NameList &);
    // A moved-from list may only be assigned to or destroyed.
    NameList(NameList &&) noexcept;
    NameList &operator=(NameList &&) noexcept;
    int size() const;
    std::string_view get(int i) const;      // empty when unnamed; valid until the next edit
    void set(int i, std::string_view name); // an empty name makes the entry unnamed
    void assign(int first, const std::vector<std::string_view> &names); // entries first, ...
    void resize(int n);                                                 // new entries are unnamed
    void erase(const std::vector<int32_t> &sortedUnique);               // renumbers the rest
    int find(std::string_view name) const; // lowest index with that given name, or -1
    int longest() const;                   // bytes of the longest given name, 0 when none
  private:
    struct Impl;
    Impl *impl_;
};

struct Model {
    std::string probName = "noname";
    int sense = 1; // 1 minimise, -1 maximise

    // Columns.
    std::vector<double> lb, ub, cost, limit; // limit: threshold of 'S', 'R', 'P' columns
    std::vector<char> coltype;
    // Constant term of objective 0 as it enters the objective (objective control 20005); the
    // right-hand side at column index -1 of NVRAchgobj is its negative.
    double objConstant = 0.0;

    // Rows.
    std::vector<char> rowtype;
    std::vector<double> rhs, range; // range used by 'R' rows only: row in [rhs - range, rhs]
    SparseRows A;

    QTriplets Q; // objective Hessian
    // Quadratic parts of the rows that have one. Same triplet form as Q, but the row's term is
    // x'Px without the factor 0.5: (i, i, v) stands for v x_i^2 and (i, j, v), i < j, for
    // 2 v x_i x_j.
    std::map<int32_t, QTriplets> qrows;
    std::map<int32_t, Indicator> indicators; // indicators of the rows that have one
    std::vector<Sos> sets;
    std::vector<Pwl> pwls;
    std::vector<GenCons> gencons;
    std::vector<Objective> objectives; // objectives 1..k (objective 0 is cost / objConstant)
    // Controls of objective 0 (the other objectives carry their own).
    int priority0 = 0;
    double weight0 = 1.0, absTol0 = 0.0, relTol0 = 0.0;

    NameList rowNames, colNames, setNames;

    // Flags of the rows that have any (kRowDelayed, kRowModelCut) and the branching directives
    // of the columns that have one; both follow their rows and columns through deletions.
    std::map<int32_t, int> rowFlags;
    std::map<int32_t, Direction> dirs;

    int numRows() const { return static_cast<int>(rowtype.size()); }
    int numCols() const { return static_cast<int>(coltype.size()); }
    int64_t numNz() const { return static_cast<int64_t>(A.index.size()); }
    // The linear activity of row i at x (one value per column).
    double activity(int i, const double *x) const {
        double a = 0.0;
        for (int64_t k = A.start[i]; k < A.start[i + 1]; ++k)
            a += A.value[k] * x[A.index[k]];
        return a;
    }
};

} // namespace nvra
