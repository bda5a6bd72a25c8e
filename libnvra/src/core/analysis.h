// analysis.h: the records of a problem's analysis side: bases, what the next solve starts from,
// the cut pool, the results of an IIS search, the presolved state and the last repair. The
// solver fills and reads them; the store and the files read them for attributes and files.
#pragma once

#include "core/handle.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct nvo_cut_struct;

namespace nvra {

// Basis statuses (NVRA_BASIS_* codes): one per row, describing the row's activity, and one per
// column.
struct Basis {
    std::vector<int32_t> rows, cols;
    bool empty() const { return rows.empty() && cols.empty(); }
};

// A solution given for a MIP start: values of some columns (all columns when dense).
struct MipStart {
    std::string name;
    int numCols = 0; // the problem's column count when the start was given
    std::vector<int32_t> cols;
    std::vector<double> values;
};

// What the next solve starts from. Each entry remembers the problem's shape when it was given
// and is dropped, with a warning, when the shape has changed since.
struct Starts {
    Basis basis; // loaded basis, empty when none
    std::vector<MipStart> mip;
};

// Row flags (NVRAgetrowflags_witharraysizes).
enum : int { kRowDelayed = 1, kRowModelCut = 2 };

// Branching directives of a column (NVRAloaddirs): stored, written and read.
struct Direction {
    int priority = 500; // lower values branch first
    char dir = 'N';     // 'U' up branch first, 'D' down first, 'N' the engine's choice
    double upPseudo = 0.0, downPseudo = 0.0;
};

// One IIS: its rows and columns, the side of each that takes part ('L' lower end, 'U' upper,
// 'B' both; rows of type 'E' report 'B'), the Farkas multipliers of the subsystem, isolation
// marks (-1 not computed, 0 no, 1 yes) and the minimal violation of the subsystem.
struct Iis {
    std::vector<int32_t> rows, cols;
    std::vector<char> rowSide, colSide;
    std::vector<double> rowDual, colDual;
    std::vector<signed char> rowIsolation, colIsolation;
    double sumInfeas = 0.0;
    int numInfeas = 0;
    bool measured = false; // multipliers and least violation computed (on first request)
};

// The results of IIS searches since the last change: status (NVRA_IIS_* values of the
// "iissolstatus" attribute) and the IISs found, in order.
struct IisState {
    int status = 0;
    std::vector<Iis> found;
    bool exhausted = false; // NVRAiisnext found nothing new
};

// The state left by a presolve-only solve (flag 'r'): the presolved problem's sizes, the
// original index of each of its rows and columns, its solution and basis, and the engine
// instance that holds it (owned; the problem's own engine holds the original problem awaiting
// postsolve).
struct PresolvedState {
    int rows = 0, cols = 0;
    std::vector<int32_t> rowMap, colMap;
    std::vector<double> rowLower, rowUpper; // the presolved rows' ends
    std::vector<double> x, slack, dual, redCost;
    bool dualsAvailable = false;
    Basis basis;
    std::shared_ptr<void> highs;
};

// The engine's ranging of an optimal basis, over all columns and rows (+-1e20 unlimited).
struct Ranging {
    std::vector<double> costDown, costUp, colBoundDown, colBoundUp, rowBoundDown, rowBoundUp;
};

// The relaxed bounds of the last repair (NVRAgetrepairbounds), over the rows' activity and the
// columns.
struct RepairState {
    bool done = false;
    std::vector<double> rowLower, rowUpper, colLower, colUpper;
};

} // namespace nvra

// A cut of the cut pool; handles are pointers to these records.
struct nvo_cut_struct {
    int type = 0;
    char rowtype = 'L';
    double rhs = 0.0;
    std::vector<int32_t> cols;
    std::vector<double> coefs;
    bool active = false; // loaded into the problem: a row of the next solve
};

namespace nvra {

// A tuner method: candidate settings, each a list of control values (by registry id; the value
// of the control's type).
struct TunerSetting {
    int id = 0;
    int64_t intValue = 0;
    double dblValue = 0.0;
    std::string strValue;
};
using TunerCandidate = std::vector<TunerSetting>;
using TunerMethod = std::vector<TunerCandidate>;

// The cuts of a problem, in the order they were stored; active ones are added to every solve.
struct CutPool {
    std::vector<std::unique_ptr<nvo_cut_struct>> cuts;
    int activeCount() const {
        int n = 0;
        for (const auto &c : cuts)
            n += c->active ? 1 : 0;
        return n;
    }
};

} // namespace nvra
