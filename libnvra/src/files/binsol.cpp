// binsol.cpp: the current solution in a binary file (binary_io.h): the problem's sizes, where
// the solution comes from, its availability and its vectors. Reading it makes it the current
// solution of a problem of the same sizes.
#include "files/binary_io.h"
#include "files/record_io.h"

#include <cstring>

namespace nvra {
namespace {

constexpr char kMagic[8] = {'N', 'V', 'R', 'A', 'B', 'S', 'L', '1'};

int writeBinSol(NVRAprob prob, const char *fn, const std::string &filename) {
    const SolveState &st = prob->solution;
    if (st.primalAvail == NVRA_AVAIL_NONE || st.x.empty() || st.presolved)
        return probError(prob, NVRA_RC_ERROR, "%s: no solution is available to write", fn);
    BinWriter out(kMagic);
    out.put<int32_t>(prob->model.numRows());
    out.put<int32_t>(prob->model.numCols());
    out.put<int32_t>(st.fromMip ? 1 : 0);
    out.put<int32_t>(st.primalAvail);
    out.put<int32_t>(st.dualAvail);
    for (const auto *v : {&st.x, &st.slack, &st.dual, &st.redCost})
        out.putVector(*v);
    if (int err = out.writeTo(filename.c_str()))
        return probError(prob, NVRA_RC_FILE, "%s: cannot write \"%s\": %s", fn, filename.c_str(),
                         std::strerror(err));
    return 0;
}

int readBinSol(NVRAprob prob, const char *fn, const char *filename) {
    if (!filename || !*filename)
        return probError(prob, NVRA_RC_INVALID, "%s: no file name given", fn);
    BinReader in;
    if (int err = in.load(filename))
        return probError(prob, NVRA_RC_FILE, "%s: cannot read \"%s\": %s", fn, filename,
                         std::strerror(err));
    SolveState st;
    int rows = 0, cols = 0;
    try {
        in.check(kMagic);
        rows = in.get<int32_t>();
        cols = in.get<int32_t>();
        st.fromMip = in.get<int32_t>() != 0;
        st.primalAvail = in.get<int32_t>();
        st.dualAvail = in.get<int32_t>();
        st.x = in.getVector<double>();
        st.slack = in.getVector<double>();
        st.dual = in.getVector<double>();
        st.redCost = in.getVector<double>();
        in.finish();
    } catch (const ReadError &e) {
        return probError(prob, NVRA_RC_FILE, "%s: \"%s\": %s", fn, filename, e.message.c_str());
    }
    const Model &m = prob->model;
    const bool duals = !st.dual.empty();
    const bool fits = rows == m.numRows() && cols == m.numCols() &&
                      st.x.size() == static_cast<size_t>(cols) &&
                      st.slack.size() == static_cast<size_t>(rows) &&
                      (!duals || (st.dual.size() == static_cast<size_t>(rows) &&
                                  st.redCost.size() == static_cast<size_t>(cols))) &&
                      st.primalAvail >= NVRA_AVAIL_OPTIMAL && st.primalAvail <= NVRA_AVAIL_FEASIBLE;
    if (!fits)
        return probError(prob, NVRA_RC_FILE,
                         "%s: \"%s\" holds a solution of %d rows and %d columns; the problem has "
                         "%d rows and %d columns",
                         fn, filename, rows, cols, m.numRows(), m.numCols());
    if (!duals) st.dualAvail = NVRA_AVAIL_NONE;
    prob->solution = std::move(st);
    return 0;
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAwritebinsol(NVRAprob prob, const char *filename, const char *flags) {
    const char *fn = "NVRAwritebinsol";
    return storeQuery(prob, fn, [&] {
        if (int rc = noFlags(prob, fn, flags)) return rc;
        return writeBinSol(prob, fn, fileOrDefault(prob, filename, ".sol"));
    });
}

int NVRAreadbinsol(NVRAprob prob, const char *filename, const char *flags) {
    const char *fn = "NVRAreadbinsol";
    return sideEdit(prob, fn, [&] {
        if (int rc = noFlags(prob, fn, flags)) return rc;
        return readBinSol(prob, fn, filename);
    });
}

} // extern "C"
