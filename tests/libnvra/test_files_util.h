// test_files_util.h: shared pieces of the problem-file tests: a fixture with a started library,
// one problem and a scratch directory, reading and writing through the C interface, and a
// field-by-field comparison of two model stores.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "nvra.h"
#include "core/problem.h" // the model store, read directly by the checks
#include "nvra_test.h"
#include "store_test_util.h"

namespace filetest {

using nvratest::dataFile;
using nvratest::lastError;
using nvratest::slurp;

struct Instance {
    const char *file;
    int rows, cols, ints;
    int64_t nz;
};

// The public instances of tests/data, with their counts from the README (rows without the
// objective; ints: integer and binary columns; nz: matrix entries without the objective).
// standgub.mps has one entry of value 0, which the README counts and the store does not keep.
inline constexpr Instance kInstances[] = {
    {"afiro.mps", 27, 32, 0, 83},
    {"adlittle.mps", 56, 97, 0, 383},
    {"e226.mps", 223, 282, 0, 2578},
    {"etamacro.mps", 400, 688, 0, 2409},
    {"israel.mps", 174, 142, 0, 2269},
    {"scrs8.mps", 490, 1169, 0, 3182},
    {"shell.mps", 536, 1775, 0, 3556},
    {"stair.mps", 356, 467, 0, 3856},
    {"standata.mps", 359, 1075, 0, 3031},
    {"standgub.mps", 361, 1184, 0, 3139},
    {"standmps.mps", 467, 1075, 0, 3679},
    {"25fv47.mps", 821, 1571, 0, 10400},
    {"galenet.mps", 8, 8, 0, 16},
    {"woodinfe.mps", 35, 89, 0, 140},
    {"forest6.mps", 66, 95, 0, 210},
    {"flugpl.mps", 18, 18, 11, 46},
    {"egout.mps", 98, 141, 55, 282},
    {"bell5.mps", 91, 104, 58, 266},
    {"gt2.mps", 29, 188, 188, 376},
    {"lseu.mps", 28, 89, 89, 309},
    {"rgn.mps", 24, 180, 100, 460},
    {"p0548.mps", 176, 548, 548, 1711},
    {"dcmulti.mps", 290, 548, 75, 1315},
    {"qjh.mps", 1, 3, 0, 2},
    {"qjh_quadobj.mps", 1, 3, 0, 2},
    {"qjh_qmatrix.mps", 1, 3, 0, 2},
    {"qjh.lp", 1, 3, 0, 2},
    {"qptestnw.lp", 3, 2, 0, 6},
    {"qpinfeasible.lp", 1, 2, 0, 2},
    {"qpunbounded.lp", 0, 2, 0, 0},
    {"semi-continuous.mps", 4, 4, 0, 8},
    {"semi-integer.mps", 4, 4, 0, 8},
};

// The names of every entry of a kind as the problem shows them (given or default).
inline std::vector<std::string> allNames(NVRAprob p, int type) {
    const nvra::Model &m = p->model;
    const int n = type == NVRA_NAMES_ROWS      ? m.numRows()
                  : type == NVRA_NAMES_COLUMNS ? m.numCols()
                                               : static_cast<int>(m.sets.size());
    return storetest::names(p, type, 0, n - 1);
}
inline std::string rowName(NVRAprob p, int i) {
    return allNames(p, NVRA_NAMES_ROWS).at(i);
}
inline std::string colName(NVRAprob p, int j) {
    return allNames(p, NVRA_NAMES_COLUMNS).at(j);
}
inline std::string setName(NVRAprob p, int s) {
    return allNames(p, NVRA_NAMES_SETS).at(s);
}

class FilesTest : public nvratest::ProblemTest {
  protected:
    std::filesystem::path dir;

    void SetUp() override {
        ProblemTest::SetUp();
        dir = std::filesystem::temp_directory_path() /
              ("nvra_files_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        ProblemTest::TearDown();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    const nvra::Model &model() const { return prob->model; }
    std::string path(const std::string &name) const { return (dir / name).string(); }

    // Writes text to a scratch file and returns its path.
    std::string file(const std::string &name, const std::string &text) const {
        std::ofstream(path(name), std::ios::binary) << text;
        return path(name);
    }
    // Reads text as a file of that name; returns the return code.
    int readText(const std::string &name, const std::string &text, const char *flags = "") {
        return NVRAreadprob(prob, file(name, text).c_str(), flags);
    }
    void read(const std::string &path, const char *flags = "") {
        ASSERT_EQ(NVRAreadprob(prob, path.c_str(), flags), 0) << lastError(prob);
    }
};

// Every field of the model stores of two problems, with the names as shown unless names is
// false.
inline void expectSameModel(NVRAprob pa, NVRAprob pb, bool names = true) {
    const nvra::Model &a = pa->model, &b = pb->model;
    if (names) {
        EXPECT_EQ(a.probName, b.probName);
    }
    EXPECT_EQ(a.sense, b.sense);
    EXPECT_EQ(a.objConstant, b.objConstant);
    ASSERT_EQ(a.numRows(), b.numRows());
    ASSERT_EQ(a.numCols(), b.numCols());
    EXPECT_EQ(a.rowtype, b.rowtype);
    EXPECT_EQ(a.rhs, b.rhs);
    for (int i = 0; i < a.numRows(); ++i)
        if (a.rowtype[i] == 'R') {
            EXPECT_EQ(a.range[i], b.range[i]) << "row " << i;
        }
    EXPECT_EQ(a.A.start, b.A.start);
    EXPECT_EQ(a.A.index, b.A.index);
    EXPECT_EQ(a.A.value, b.A.value);
    EXPECT_EQ(a.coltype, b.coltype);
    EXPECT_EQ(a.lb, b.lb);
    EXPECT_EQ(a.ub, b.ub);
    EXPECT_EQ(a.cost, b.cost);
    for (int j = 0; j < a.numCols(); ++j) {
        const char t = a.coltype[j];
        if (t == 'S' || t == 'R' || t == 'P') {
            EXPECT_EQ(a.limit[j], b.limit[j]) << "column " << j;
        }
    }
    EXPECT_EQ(a.Q.i, b.Q.i);
    EXPECT_EQ(a.Q.j, b.Q.j);
    EXPECT_EQ(a.Q.v, b.Q.v);
    ASSERT_EQ(a.qrows.size(), b.qrows.size());
    for (const auto &[row, q] : a.qrows) {
        auto it = b.qrows.find(row);
        ASSERT_NE(it, b.qrows.end()) << "quadratic row " << row;
        EXPECT_EQ(q.i, it->second.i);
        EXPECT_EQ(q.j, it->second.j);
        EXPECT_EQ(q.v, it->second.v);
    }
    ASSERT_EQ(a.indicators.size(), b.indicators.size());
    for (const auto &[row, ind] : a.indicators) {
        auto it = b.indicators.find(row);
        ASSERT_NE(it, b.indicators.end()) << "indicator row " << row;
        EXPECT_EQ(ind.col, it->second.col);
        EXPECT_EQ(ind.complement, it->second.complement);
    }
    ASSERT_EQ(a.sets.size(), b.sets.size());
    for (size_t s = 0; s < a.sets.size(); ++s) {
        EXPECT_EQ(a.sets[s].type, b.sets[s].type);
        EXPECT_EQ(a.sets[s].cols, b.sets[s].cols);
        EXPECT_EQ(a.sets[s].weights, b.sets[s].weights);
    }
    if (!names) return;
    for (int type : {NVRA_NAMES_ROWS, NVRA_NAMES_COLUMNS, NVRA_NAMES_SETS})
        EXPECT_EQ(allNames(pa, type), allNames(pb, type)) << "names of kind " << type;
}

} // namespace filetest
