// store_test_util.h: shared pieces of the model-store tests: a fixture with a started library and
// one problem, the last error, and a snapshot of everything the store getters report, so that a
// failed call can be checked to leave the problem exactly as it was.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "nvra.h"
#include "nvra_test.h"

namespace storetest {

using nvratest::lastError;

// The names of entries first..last of a kind, through the size query and NVRAgetnamelist.
inline std::vector<std::string> names(NVRAprob p, int type, int first, int last) {
    int nbytes = -1;
    EXPECT_EQ(NVRAgetnamelist(p, type, nullptr, 0, &nbytes, first, last), 0) << lastError(p);
    std::vector<char> buf(nbytes + 1);
    EXPECT_EQ(NVRAgetnamelist(p, type, buf.data(), nbytes, &nbytes, first, last), 0);
    std::vector<std::string> out;
    for (const char *s = buf.data(); s < buf.data() + nbytes; s += out.back().size() + 1)
        out.emplace_back(s);
    return out;
}

// Everything the store reports about a problem whose size is known to the caller.
struct Snapshot {
    std::string probname;
    std::vector<char> rowtype, coltype;
    std::vector<double> rhs, range, lb, ub, obj; // obj starts with the right-hand side (index -1)
    std::vector<int64_t> rowStart;
    std::vector<int> rowCols;
    std::vector<double> rowVals;
    std::vector<int64_t> qStart;
    std::vector<int> qCols;
    std::vector<double> qVals;
    std::vector<std::vector<double>> qrows; // per row: i, j, v flattened
    std::vector<int> indCol, indComp;
    int nent = 0, nsets = 0;
    std::vector<char> entType, setType;
    std::vector<int> entCol, setCols;
    std::vector<double> entLimit, setRef;
    std::vector<int64_t> setStart;
    std::vector<std::string> rowNames, colNames, setNames;
    std::vector<int> pwlCols, pwlRes, genType, genRes, genCols;
    std::vector<int64_t> pwlStart, genColStart, genValStart;
    std::vector<double> pwlX, pwlY, genVals;
    std::vector<std::vector<double>> objn; // objectives 1.. with their rhs first
    std::vector<double> objControls;       // five per objective

    bool operator==(const Snapshot &) const = default;
};

// nobj: the number of objectives to read (1 when there is only objective 0).
inline Snapshot snapshot(NVRAprob p, int nrows, int ncols, int nobj = 1) {
    Snapshot s;
    s.probname.resize(4096);
    NVRAgetprobname(p, s.probname.data());
    s.probname.resize(s.probname.find('\0'));
    s.rowtype.resize(nrows);
    s.rhs.resize(nrows);
    s.range.resize(nrows);
    s.coltype.resize(ncols);
    s.lb.resize(ncols);
    s.ub.resize(ncols);
    s.obj.resize(ncols + 1);
    EXPECT_EQ(NVRAgetrowtype(p, s.rowtype.data(), 0, nrows - 1), 0) << lastError(p);
    EXPECT_EQ(NVRAgetrhs(p, s.rhs.data(), 0, nrows - 1), 0);
    EXPECT_EQ(NVRAgetrhsrange(p, s.range.data(), 0, nrows - 1), 0);
    EXPECT_EQ(NVRAgetcoltype(p, s.coltype.data(), 0, ncols - 1), 0) << lastError(p);
    EXPECT_EQ(NVRAgetlb(p, s.lb.data(), 0, ncols - 1), 0);
    EXPECT_EQ(NVRAgetub(p, s.ub.data(), 0, ncols - 1), 0);
    EXPECT_EQ(NVRAgetobj(p, s.obj.data(), -1, ncols - 1), 0);
    int64_t n = 0;
    s.rowStart.resize(nrows + 1);
    EXPECT_EQ(NVRAgetrows64(p, s.rowStart.data(), nullptr, nullptr, 0, &n, 0, nrows - 1), 0);
    s.rowCols.resize(n);
    s.rowVals.resize(n);
    EXPECT_EQ(NVRAgetrows64(p, nullptr, s.rowCols.data(), s.rowVals.data(), n, &n, 0, nrows - 1),
              0);
    s.qStart.resize(ncols + 1);
    EXPECT_EQ(NVRAgetmqobj64(p, s.qStart.data(), nullptr, nullptr, 0, &n, 0, ncols - 1), 0);
    s.qCols.resize(n);
    s.qVals.resize(n);
    EXPECT_EQ(NVRAgetmqobj64(p, nullptr, s.qCols.data(), s.qVals.data(), n, &n, 0, ncols - 1), 0);
    for (int r = 0; r < nrows; ++r) {
        int k = 0;
        EXPECT_EQ(NVRAgetqrowqmatrixtriplets(p, r, &k, nullptr, nullptr, nullptr), 0);
        std::vector<int> i(k), j(k);
        std::vector<double> v(k);
        EXPECT_EQ(NVRAgetqrowqmatrixtriplets(p, r, &k, i.data(), j.data(), v.data()), 0);
        std::vector<double> flat;
        for (int t = 0; t < k; ++t)
            flat.insert(flat.end(), {double(i[t]), double(j[t]), v[t]});
        s.qrows.push_back(flat);
    }
    s.indCol.resize(nrows);
    s.indComp.resize(nrows);
    EXPECT_EQ(NVRAgetindicators(p, s.indCol.data(), s.indComp.data(), 0, nrows - 1), 0);
    EXPECT_EQ(NVRAgetmipentities64(p, &s.nent, &s.nsets, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr),
              0);
    s.entType.resize(s.nent);
    s.entCol.resize(s.nent);
    s.entLimit.resize(s.nent);
    s.setType.resize(s.nsets);
    s.setStart.resize(s.nsets + 1);
    EXPECT_EQ(NVRAgetmipentities64(p, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   s.setStart.data(), nullptr, nullptr),
              0);
    s.setCols.resize(s.setStart.back());
    s.setRef.resize(s.setStart.back());
    EXPECT_EQ(NVRAgetmipentities64(p, nullptr, nullptr, s.entType.data(), s.entCol.data(),
                                   s.entLimit.data(), s.setType.data(), s.setStart.data(),
                                   s.setCols.data(), s.setRef.data()),
              0);
    int64_t npwl = 0, ngen = 0, nx = 0, ncol = 0, nval = 0;
    EXPECT_EQ(NVRAgetintattrib64(p, NVRA_ATTR_PWLCONS, &npwl), 0);
    EXPECT_EQ(NVRAgetintattrib64(p, NVRA_ATTR_GENCONS, &ngen), 0);
    s.pwlCols.resize(npwl);
    s.pwlRes.resize(npwl);
    s.pwlStart.resize(npwl + 1);
    EXPECT_EQ(NVRAgetpwlcons64(p, nullptr, nullptr, nullptr, nullptr, nullptr, 0, &nx, 0, npwl - 1),
              0);
    s.pwlX.resize(nx);
    s.pwlY.resize(nx);
    EXPECT_EQ(NVRAgetpwlcons64(p, s.pwlCols.data(), s.pwlRes.data(), s.pwlStart.data(),
                               s.pwlX.data(), s.pwlY.data(), nx, &nx, 0, npwl - 1),
              0);
    EXPECT_EQ(NVRAgetgencons64(p, nullptr, nullptr, nullptr, nullptr, 0, &ncol, nullptr, nullptr, 0,
                               &nval, 0, ngen - 1),
              0);
    s.genType.resize(ngen);
    s.genRes.resize(ngen);
    s.genColStart.resize(ngen + 1);
    s.genValStart.resize(ngen + 1);
    s.genCols.resize(ncol);
    s.genVals.resize(nval);
    EXPECT_EQ(NVRAgetgencons64(p, s.genType.data(), s.genRes.data(), s.genColStart.data(),
                               s.genCols.data(), ncol, &ncol, s.genValStart.data(),
                               s.genVals.data(), nval, &nval, 0, ngen - 1),
              0);
    s.rowNames = names(p, NVRA_NAMES_ROWS, 0, nrows - 1);
    s.colNames = names(p, NVRA_NAMES_COLUMNS, 0, ncols - 1);
    s.setNames = names(p, NVRA_NAMES_SETS, 0, s.nsets - 1);
    for (int k = 0; k < nobj; ++k) {
        std::vector<double> c(ncols + 1);
        EXPECT_EQ(NVRAgetobjn(p, k, c.data(), -1, ncols - 1), 0) << lastError(p);
        s.objn.push_back(c);
        int pri = 0;
        EXPECT_EQ(NVRAgetobjintcontrol(p, k, NVRA_OBJCONTROL_PRIORITY, &pri), 0);
        s.objControls.push_back(pri);
        for (int id = NVRA_OBJCONTROL_WEIGHT; id <= NVRA_OBJCONTROL_RHS; ++id) {
            double v = 0;
            EXPECT_EQ(NVRAgetobjdblcontrol(p, k, id, &v), 0);
            s.objControls.push_back(v);
        }
    }
    return s;
}

// A started library and one empty problem.
class StoreTest : public nvratest::ProblemTest {
  protected:
    std::string err() const { return lastError(p); }

    // n free columns with objective coefficients 1, 2, ... and bounds [0, 10 + j].
    void addColumns(int n) {
        std::vector<double> obj(n), lb(n, 0.0), ub(n);
        for (int j = 0; j < n; ++j)
            obj[j] = j + 1, ub[j] = 10 + j;
        ASSERT_EQ(NVRAaddcols(p, n, 0, obj.data(), nullptr, nullptr, nullptr, lb.data(), ub.data()),
                  0)
            << err();
    }
    // Appends one row from (column, value) pairs.
    void addRow(char type, double rhs, std::vector<int> cols, std::vector<double> vals,
                double range = 0) {
        const int start = 0;
        ASSERT_EQ(NVRAaddrows(p, 1, static_cast<int>(cols.size()), &type, &rhs, &range, &start,
                              cols.data(), vals.data()),
                  0)
            << err();
    }
    // The row as (column, value) pairs.
    std::vector<std::pair<int, double>> row(int r) {
        int start[2], n = 0;
        EXPECT_EQ(NVRAgetrows(p, start, nullptr, nullptr, 0, &n, r, r), 0) << err();
        std::vector<int> c(n);
        std::vector<double> v(n);
        EXPECT_EQ(NVRAgetrows(p, start, c.data(), v.data(), n, &n, r, r), 0) << err();
        std::vector<std::pair<int, double>> out;
        for (int k = 0; k < n; ++k)
            out.emplace_back(c[k], v[k]);
        return out;
    }
    // Asserts that a failing call returned code and a message containing text, and that the
    // problem reads exactly as before.
    template <class F>
    void expectRefused(int code, const std::string &text, int nrows, int ncols, F call,
                       int nobj = 1) {
        const Snapshot before = snapshot(p, nrows, ncols, nobj);
        EXPECT_EQ(call(), code) << err();
        EXPECT_NE(err().find(text), std::string::npos) << "message: " << err();
        EXPECT_TRUE(snapshot(p, nrows, ncols, nobj) == before)
            << "the failed call changed the problem";
    }
};

} // namespace storetest
