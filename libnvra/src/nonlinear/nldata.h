// nldata.h: the data of a nonlinear problem that refers to the model: coefficients, SLP data of
// columns and rows, derivative steps, tolerance sets, multistart jobs and user functions. It is
// copied as a whole (NSLPcopyprob) and renumbered as a whole after deletions.
#pragma once

#include "core/model.h"
#include "nonlinear/coefs.h"
#include "nslp.h"

#include <tsl/robin_map.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace nvra::nl {

// The SLP data of a column; the defaults are those nslp.h lists.
struct SlpColumn {
    int32_t vartype = 0;
    int32_t detrow = -1;
    int32_t seqnum = 0;
    int32_t tolset = 0;
    int32_t history = 0;
    int32_t converged = 0;
    int32_t cascadeLimit = 0;
    int32_t deltaType = NSLP_DELTA_DEFAULT;
    double initValue = 0.0;
    double value = 0.0;
    double initStep = kInf;
    double step = kInf;
    double penalty = 1.0;
    double damp = 1.0;
    double delta = 0.0;
};

struct SlpRow {
    int32_t status = 0;
    double weight = 1.0;
};

struct TolSet {
    int32_t status = (1 << NSLP_TOLSET_COUNT) - 1;
    double tol[NSLP_TOLSET_COUNT] = {};
};

struct MsJob {
    std::string description;
    int32_t preset = 0; // 0 for a job of its own (NSLPmsaddjob)
    int32_t count = 1;
    std::vector<int32_t> cols;
    std::vector<double> values;
    std::vector<std::pair<int32_t, int32_t>> intControls;
    std::vector<std::pair<int32_t, double>> dblControls;
    void *object = nullptr;
};

struct NlData {
    Coefficients coefs;
    // SLP data by column and row; entries beyond the ends hold the defaults.
    std::vector<SlpColumn> cols;
    std::vector<SlpRow> rows;
    // Derivative steps by (column, row).
    tsl::robin_map<uint64_t, double> dfs;
    std::vector<TolSet> tolsets; // set k is tolsets[k - 1]
    std::vector<MsJob> jobs;
    std::vector<UserFunction> userFunctions; // id k is userFunctions[k - 1]
    // The order of NSLPcascadeorder (columns with a determining row); empty until it ran.
    std::vector<int32_t> cascadeOrder;

    const SlpColumn &col(int j) const {
        static const SlpColumn defaults;
        return static_cast<size_t>(j) < cols.size() ? cols[j] : defaults;
    }
    SlpColumn &colForEdit(int j) {
        if (static_cast<size_t>(j) >= cols.size()) cols.resize(static_cast<size_t>(j) + 1);
        return cols[j];
    }
    const SlpRow &row(int i) const {
        static const SlpRow defaults;
        return static_cast<size_t>(i) < rows.size() ? rows[i] : defaults;
    }
    SlpRow &rowForEdit(int i) {
        if (static_cast<size_t>(i) >= rows.size()) rows.resize(static_cast<size_t>(i) + 1);
        return rows[i];
    }
    static uint64_t dfKey(int col, int row) {
        return (static_cast<uint64_t>(static_cast<uint32_t>(col)) << 32) |
               static_cast<uint32_t>(row);
    }
    double df(int col, int row) const {
        auto it = dfs.find(dfKey(col, row));
        return it == dfs.end() ? 0.0 : it->second;
    }
    // The current values of ncols columns (the current point).
    std::vector<double> currentPoint(int ncols) const;

    // A copy after a deletion of rows (rows true) or columns; false with refusal filled when a
    // formula reads a deleted column.
    bool renumbered(bool rows, const std::vector<int32_t> &map, NlData &out,
                    DeletionRefusal &refusal) const;
    // Everything that refers to the model's rows and columns goes (user functions and tolerance
    // sets stay).
    void clearModel();
};

} // namespace nvra::nl
