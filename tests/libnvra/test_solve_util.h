// Helpers of the solver tests: a problem fixture, a small model builder over the library's
// edit functions, the public instances, controls and results.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "nvra.h"
#include "core/problem.h"
#include "nvra_test.h"

namespace solvetest {

using Entries = std::vector<std::pair<int, double>>;

using nvratest::dataFile;
using nvratest::lastError;

// Builds models through the library's edit functions; every call must succeed.
struct Builder {
    NVRAprob prob;

    int numCols() const { return prob->model.numCols(); }

    int col(double lb, double ub, double cost, char type = 'C', double limit = 0.0) {
        const int j = numCols();
        const int start = 0;
        EXPECT_EQ(NVRAaddcols(prob, 1, 0, &cost, &start, nullptr, nullptr, &lb, &ub), 0)
            << lastError(prob);
        if (type != 'C') {
            EXPECT_EQ(NVRAchgcoltype(prob, 1, &j, &type), 0) << lastError(prob);
            if (type == 'B') bounds(j, lb, ub);
        }
        if (limit != 0.0) {
            EXPECT_EQ(NVRAchgglblimit(prob, 1, &j, &limit), 0) << lastError(prob);
        }
        return j;
    }
    int row(char type, double rhs, const Entries &entries, double range = 0.0) {
        std::vector<int> cols;
        std::vector<double> vals;
        for (auto [j, v] : entries)
            cols.push_back(j), vals.push_back(v);
        const int start = 0;
        EXPECT_EQ(NVRAaddrows(prob, 1, static_cast<int>(cols.size()), &type, &rhs, &range, &start,
                              cols.data(), vals.data()),
                  0)
            << lastError(prob);
        return prob->model.numRows() - 1;
    }
    void bounds(int j, double lb, double ub) {
        const int cols[2] = {j, j};
        const char types[2] = {'L', 'U'};
        const double vals[2] = {lb, ub};
        EXPECT_EQ(NVRAchgbounds(prob, 2, cols, types, vals), 0) << lastError(prob);
    }
    void limit(int j, double v) { EXPECT_EQ(NVRAchgglblimit(prob, 1, &j, &v), 0); }
    void type(int j, char t) { EXPECT_EQ(NVRAchgcoltype(prob, 1, &j, &t), 0); }
    void cost(int j, double c) { EXPECT_EQ(NVRAchgobj(prob, 1, &j, &c), 0); }
    void constant(double c) {
        const int minusOne = -1;
        const double rhs = -c;
        EXPECT_EQ(NVRAchgobj(prob, 1, &minusOne, &rhs), 0);
    }
    void rhs(int i, double v) { EXPECT_EQ(NVRAchgrhs(prob, 1, &i, &v), 0) << lastError(prob); }
    void rowType(int i, char t) { EXPECT_EQ(NVRAchgrowtype(prob, 1, &i, &t), 0); }
    void range(int i, double r) { EXPECT_EQ(NVRAchgrhsrange(prob, 1, &i, &r), 0); }
    // Element of Q in 0.5 x'Qx (i, j and j, i name the same element).
    void q(int i, int j, double v) {
        EXPECT_EQ(NVRAchgmqobj(prob, 1, &i, &j, &v), 0) << lastError(prob);
    }
    void sense(int s) { EXPECT_EQ(NVRAchgobjsense(prob, s), 0); }
    void sos(char type, const std::vector<int> &cols, const std::vector<double> &weights) {
        const int start = 0;
        EXPECT_EQ(NVRAaddsets(prob, 1, static_cast<int>(cols.size()), &type, &start, cols.data(),
                              weights.data()),
                  0)
            << lastError(prob);
    }
    void indicator(int row, int col, int complement) {
        EXPECT_EQ(NVRAsetindicators(prob, 1, &row, &col, &complement), 0) << lastError(prob);
    }
    // A further objective with its controls.
    void objective(const std::vector<double> &cost, int priority, double weight,
                   double absTol = 0.0, double relTol = 0.0, double constant = 0.0) {
        std::vector<int> cols(cost.size());
        for (size_t j = 0; j < cols.size(); ++j)
            cols[j] = static_cast<int>(j);
        EXPECT_EQ(NVRAaddobj(prob, static_cast<int>(cols.size()), cols.data(), cost.data(),
                             priority, weight),
                  0)
            << lastError(prob);
        const int k = static_cast<int>(prob->model.objectives.size());
        objControl(k, NVRA_OBJCONTROL_ABSTOL, absTol);
        objControl(k, NVRA_OBJCONTROL_RELTOL, relTol);
        objControl(k, NVRA_OBJCONTROL_RHS, constant);
    }
    void objControl(int obj, int control, double v) {
        EXPECT_EQ(NVRAsetobjdblcontrol(prob, obj, control, v), 0) << lastError(prob);
    }
    void priority(int obj, int p) {
        EXPECT_EQ(NVRAsetobjintcontrol(prob, obj, NVRA_OBJCONTROL_PRIORITY, p), 0);
    }
};

// Reads an instance through the library's own reader.
inline void readInstance(NVRAprob prob, const std::string &name) {
    ASSERT_EQ(NVRAreadprob(prob, dataFile(name).c_str(), ""), 0) << lastError(prob);
}

// Controls.
inline void setInt(NVRAprob prob, int control, int value) {
    EXPECT_EQ(NVRAsetintcontrol(prob, control, value), 0) << lastError(prob);
}
inline void setDbl(NVRAprob prob, int control, double value) {
    EXPECT_EQ(NVRAsetdblcontrol(prob, control, value), 0) << lastError(prob);
}

// Results of the last optimisation (or of one of its solves), read through the attributes.
struct Results {
    int64_t lpStatus, mipStatus, solveStatus, solStatus, stopStatus, optimizeType;
    int64_t simplexIter, barIter, nodes, nlpSolves, masterSolves;
    double objVal, lpObjVal, mipObjVal, bestBound, mipGap, solveTime, maxViolation;
};

inline Results readResults(NVRAprob prob, int solve) {
    Results r{};
    auto get = [&](int id, int64_t &v) {
        EXPECT_EQ(solve < 0 ? NVRAgetintattrib64(prob, id, &v)
                            : NVRAgetobjintattrib64(prob, solve, id, &v),
                  0)
            << lastError(prob);
    };
    auto getd = [&](int id, double &v) {
        EXPECT_EQ(solve < 0 ? NVRAgetdblattrib(prob, id, &v)
                            : NVRAgetobjdblattrib(prob, solve, id, &v),
                  0)
            << lastError(prob);
    };
    get(NVRA_ATTR_LPSTATUS, r.lpStatus);
    get(NVRA_ATTR_MIPSTATUS, r.mipStatus);
    get(NVRA_ATTR_SOLVESTATUS, r.solveStatus);
    get(NVRA_ATTR_SOLSTATUS, r.solStatus);
    get(nvra::kAttrStopStatus, r.stopStatus);
    get(NVRA_ATTR_OPTIMIZETYPEUSED, r.optimizeType);
    get(nvra::kAttrSimplexIter, r.simplexIter);
    get(nvra::kAttrBarIter, r.barIter);
    get(nvra::kAttrNodes, r.nodes);
    get(nvra::kAttrNlpSolves, r.nlpSolves);
    get(nvra::kAttrMasterSolves, r.masterSolves);
    getd(nvra::kAttrObjVal, r.objVal);
    getd(NVRA_ATTR_LPOBJVAL, r.lpObjVal);
    getd(NVRA_ATTR_MIPOBJVAL, r.mipObjVal);
    getd(nvra::kAttrBestBound, r.bestBound);
    getd(nvra::kAttrMipGap, r.mipGap);
    getd(nvra::kAttrSolveTime, r.solveTime);
    getd(nvra::kAttrMaxViolation, r.maxViolation);
    return r;
}
inline Results result(NVRAprob prob) {
    return readResults(prob, -1);
}
inline Results result(NVRAprob prob, int solve) {
    return readResults(prob, solve);
}
inline int numSolves(NVRAprob prob) {
    int n = -1;
    EXPECT_EQ(NVRAgetintattrib(prob, NVRA_ATTR_SOLVES, &n), 0);
    return n;
}

inline std::vector<double> solution(NVRAprob prob, int *status = nullptr) {
    std::vector<double> x(prob->model.numCols(), std::nan(""));
    int st = -1;
    EXPECT_EQ(NVRAgetsolution(prob, &st, x.data(), 0, prob->model.numCols() - 1), 0);
    if (status) *status = st;
    return x;
}

// A started library and one problem.
class SolveTest : public nvratest::ProblemTest {
  protected:
    void SetUp() override {
        ProblemTest::SetUp();
        b.prob = prob;
    }
    int optimize(const char *flags = "") {
        int solve = -1, sol = -1;
        const int rc = NVRAoptimize(prob, flags, &solve, &sol);
        if (rc == 0) {
            EXPECT_EQ(solve, result(prob).solveStatus);
            EXPECT_EQ(sol, result(prob).solStatus);
        }
        return rc;
    }
    Builder b{nullptr};
};

} // namespace solvetest
