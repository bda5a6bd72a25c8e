// basis_file.cpp: the basis file, in the classic basis format:
//
//   NAME <problem name>
//    XU <column> <row>   column basic, row non-basic at its upper end
//    XL <column> <row>   column basic, row non-basic at its lower end
//    UL <column>         column non-basic at its upper bound
//    LL <column>         column non-basic at its lower bound
//    BS <column>         column non-basic between its bounds (superbasic)
//   ENDATA
//
// Rows not named are basic. A column not named is at its lower bound, or at its upper bound
// when it has no lower one, or superbasic when it has neither. A row's end is the end of its
// activity (the library's basis convention). The writer pairs the basic columns with the
// non-basic rows in index order (there are as many of each).
#include "files/record_io.h"

#include <cstring>

namespace nvra {
namespace {

int writeBasis(NVRAprob prob, const char *fn, const std::string &filename) {
    const Model &m = prob->model;
    const Basis &b = prob->solution.basis;
    if (b.empty() || prob->solution.presolved)
        return probError(prob, NVRA_RC_ERROR, "%s: no basis is available to write", fn);
    FILE *f = openForWriting(prob, fn, filename.c_str());
    if (!f) return NVRA_RC_FILE;
    FileSink out(f);
    const ShownNames rows = shownNames(m, true, tokenNameFault);
    const ShownNames cols = shownNames(m, false, tokenNameFault);
    out << "NAME " << std::string_view(m.probName) << '\n';
    int row = 0;
    for (int j = 0; j < m.numCols(); ++j) {
        switch (b.cols[j]) {
        case NVRA_BASIS_BASIC:
            while (b.rows[row] == NVRA_BASIS_BASIC)
                ++row;
            out << (b.rows[row] == NVRA_BASIS_UPPER ? " XU " : " XL ") << cols[j] << ' '
                << rows[row] << '\n';
            ++row;
            break;
        case NVRA_BASIS_UPPER:
            out << " UL " << cols[j] << '\n';
            break;
        case NVRA_BASIS_SUPERBASIC:
            out << " BS " << cols[j] << '\n';
            break;
        default:
            out << " LL " << cols[j] << '\n';
            break;
        }
    }
    out << "ENDATA\n";
    return closeSink(prob, fn, filename.c_str(), out, rows.replaced() + cols.replaced());
}

int readBasis(NVRAprob prob, const char *fn, const char *filename) {
    RecordReader in;
    if (int rc = in.open(prob, fn, filename)) return rc;
    const Model &m = prob->model;
    std::vector<int> rows(m.numRows(), NVRA_BASIS_BASIC), cols(m.numCols());
    for (int j = 0; j < m.numCols(); ++j)
        cols[j] = m.lb[j] > -kInf  ? NVRA_BASIS_LOWER
                  : m.ub[j] < kInf ? NVRA_BASIS_UPPER
                                   : NVRA_BASIS_SUPERBASIC;
    const ShownIndex rowIndex(m, true), colIndex(m, false);
    std::vector<std::string_view> t;
    bool ended = false;
    while (!ended && in.next(t)) {
        auto fail = [&](const std::string &what) {
            return recordError(prob, fn, filename, in.line(), what);
        };
        const std::string_view key = t[0];
        if (key == "NAME") continue;
        if (key == "ENDATA") {
            ended = true;
            continue;
        }
        const bool pair = key == "XU" || key == "XL";
        const bool single = key == "UL" || key == "LL" || key == "BS";
        if (!pair && !single) return fail("unknown record " + quoted(key));
        if (t.size() != (pair ? 3u : 2u))
            return fail(quoted(key) + (pair ? " needs a column and a row" : " needs a column"));
        const int j = colIndex.find(t[1]);
        if (j < 0) return fail("no column named " + quoted(t[1]));
        if (pair) {
            const int i = rowIndex.find(t[2]);
            if (i < 0) return fail("no row named " + quoted(t[2]));
            cols[j] = NVRA_BASIS_BASIC;
            rows[i] = key == "XU" ? NVRA_BASIS_UPPER : NVRA_BASIS_LOWER;
        } else {
            cols[j] = key == "UL"   ? NVRA_BASIS_UPPER
                      : key == "LL" ? NVRA_BASIS_LOWER
                                    : NVRA_BASIS_SUPERBASIC;
        }
    }
    if (!ended) return recordError(prob, fn, filename, in.line(), "the file ends without ENDATA");
    if (NVRAloadbasis(prob, rows.data(), cols.data()) != 0) {
        const std::string why = prob->lastError;
        return recordError(prob, fn, filename, 0, why.substr(why.find(':') + 2));
    }
    return 0;
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAwritebasis(NVRAprob prob, const char *filename, const char *flags) {
    const char *fn = "NVRAwritebasis";
    return storeQuery(prob, fn, [&] {
        if (int rc = noFlags(prob, fn, flags)) return rc;
        return writeBasis(prob, fn, fileOrDefault(prob, filename, ".bss"));
    });
}

int NVRAreadbasis(NVRAprob prob, const char *filename, const char *flags) {
    const char *fn = "NVRAreadbasis";
    return sideEdit(prob, fn, [&] {
        if (int rc = noFlags(prob, fn, flags)) return rc;
        return readBasis(prob, fn, filename);
    });
}

} // extern "C"
