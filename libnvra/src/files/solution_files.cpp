// solution_files.cpp: the current solution as text: a comma-separated listing, a printed report,
// and the solution exchange format (read back as a MIP start or a continuous solution).
//
// Comma-separated (NVRAwritesol): a comment line, then "C,<name>,<value>,<reduced cost>" per
// column and "R,<name>,<activity>,<slack>,<dual>" per row; values not available are left empty;
// names holding a comma or a quote are quoted with doubled quotes.
// Exchange (NVRAwriteslxsol): "NAME <problem name>", "C <name> <value>" per column with a
// non-zero value, "ENDATA".
#include "files/record_io.h"

#include <cstring>

namespace nvra {
namespace {

int requireSolution(NVRAprob prob, const char *fn) {
    const SolveState &st = prob->solution;
    if (st.primalAvail != NVRA_AVAIL_NONE && !st.x.empty() && !st.presolved) return 0;
    return probError(prob, NVRA_RC_ERROR, "%s: no solution is available to write", fn);
}

const char *statusWords(const SolveState &st) {
    static const char *const words[] = {"no solution", "optimal", "feasible", "infeasible",
                                        "unbounded"};
    const int s = st.current().solStatus;
    return s >= 0 && s <= 4 ? words[s] : "unknown";
}

void csvName(FileSink &out, std::string_view name) {
    if (name.find_first_of(",\"\n") == std::string_view::npos) {
        out << name;
        return;
    }
    out << '"';
    for (char c : name) {
        if (c == '"') out << '"';
        out << c;
    }
    out << '"';
}

void optional(FileSink &out, const std::vector<double> &v, int k) {
    out << ',';
    if (!v.empty()) out << v[k];
}

int writeCsv(NVRAprob prob, const char *fn, const std::string &filename) {
    const Model &m = prob->model;
    const SolveState &st = prob->solution;
    FILE *f = openForWriting(prob, fn, filename.c_str());
    if (!f) return NVRA_RC_FILE;
    FileSink out(f);
    out << "# " << std::string_view(m.probName) << ": " << statusWords(st) << ", objective "
        << st.current().objVal << '\n';
    const ShownNames rows = shownNames(m, true, anyNameFault);
    const ShownNames cols = shownNames(m, false, anyNameFault);
    for (int j = 0; j < m.numCols(); ++j) {
        out << "C,";
        csvName(out, cols[j]);
        out << ',' << st.x[j];
        optional(out, st.redCost, j);
        out << '\n';
    }
    for (int i = 0; i < m.numRows(); ++i) {
        out << "R,";
        csvName(out, rows[i]);
        out << ',' << m.rhs[i] - st.slack[i] << ',' << st.slack[i];
        optional(out, st.dual, i);
        out << '\n';
    }
    return closeSink(prob, fn, filename.c_str(), out, rows.replaced() + cols.replaced());
}

// A fixed-width report: problem, status and objective, then one line per row and column.
int writeReport(NVRAprob prob, const char *fn, const std::string &filename) {
    const Model &m = prob->model;
    const SolveState &st = prob->solution;
    FILE *f = openForWriting(prob, fn, filename.c_str());
    if (!f) return NVRA_RC_FILE;
    FileSink out(f);
    out << "Problem " << std::string_view(m.probName) << "\nStatus  " << statusWords(st)
        << "\nObjective " << st.current().objVal << "\n\nRows\n";
    out << "  Number  Name";
    out.padTo(32) << "Type  Activity";
    out.padTo(60) << "Slack";
    out.padTo(80) << "Dual\n";
    const ShownNames rows = shownNames(m, true, anyNameFault);
    const ShownNames cols = shownNames(m, false, anyNameFault);
    for (int i = 0; i < m.numRows(); ++i) {
        out << "  " << static_cast<int64_t>(i);
        out.padTo(10) << rows[i];
        out.padTo(32) << m.rowtype[i];
        out.padTo(38) << m.rhs[i] - st.slack[i];
        out.padTo(60) << st.slack[i];
        out.padTo(80);
        if (!st.dual.empty()) out << st.dual[i];
        out << '\n';
    }
    out << "\nColumns\n  Number  Name";
    out.padTo(32) << "Type  Value";
    out.padTo(60) << "Lower";
    out.padTo(80) << "Upper";
    out.padTo(100) << "Reduced cost\n";
    for (int j = 0; j < m.numCols(); ++j) {
        out << "  " << static_cast<int64_t>(j);
        out.padTo(10) << cols[j];
        out.padTo(32) << m.coltype[j];
        out.padTo(38) << st.x[j];
        out.padTo(60) << m.lb[j];
        out.padTo(80) << m.ub[j];
        out.padTo(100);
        if (!st.redCost.empty()) out << st.redCost[j];
        out << '\n';
    }
    return closeSink(prob, fn, filename.c_str(), out, rows.replaced() + cols.replaced());
}

int writeExchange(NVRAprob prob, const char *fn, const std::string &filename) {
    const Model &m = prob->model;
    FILE *f = openForWriting(prob, fn, filename.c_str());
    if (!f) return NVRA_RC_FILE;
    FileSink out(f);
    const ShownNames cols = shownNames(m, false, tokenNameFault);
    out << "NAME " << std::string_view(m.probName) << '\n';
    for (int j = 0; j < m.numCols(); ++j)
        if (prob->solution.x[j] != 0.0)
            out << "C " << cols[j] << ' ' << prob->solution.x[j] << '\n';
    out << "ENDATA\n";
    return closeSink(prob, fn, filename.c_str(), out, cols.replaced());
}

int readExchange(NVRAprob prob, const char *fn, const char *filename, bool continuous) {
    RecordReader in;
    if (int rc = in.open(prob, fn, filename)) return rc;
    const ShownIndex colIndex(prob->model, false);
    std::vector<int> cols;
    std::vector<double> values;
    std::string name;
    std::vector<std::string_view> t;
    bool ended = false;
    while (!ended && in.next(t)) {
        auto fail = [&](const std::string &what) {
            return recordError(prob, fn, filename, in.line(), what);
        };
        if (t[0] == "NAME") {
            if (t.size() > 1) name = std::string(t[1]);
            continue;
        }
        if (t[0] == "ENDATA") {
            ended = true;
            continue;
        }
        if (t[0] != "C") return fail("unknown record " + quoted(t[0]) + " (C <column> <value>)");
        if (t.size() != 3) return fail("a value line is C, a column and a value");
        const int j = colIndex.find(t[1]);
        if (j < 0) return fail("no column named " + quoted(t[1]));
        double v = 0;
        if (!parseNumber(t[2], v) || std::fabs(v) >= kInf)
            return fail("not a finite number: " + quoted(t[2]));
        cols.push_back(j);
        values.push_back(v);
    }
    if (!ended) return recordError(prob, fn, filename, in.line(), "the file ends without ENDATA");
    if (!continuous)
        return NVRAaddmipsol(prob, static_cast<int>(cols.size()), values.data(), cols.data(),
                             name.c_str());
    std::vector<double> x(prob->model.numCols(), 0.0);
    for (size_t k = 0; k < cols.size(); ++k)
        x[cols[k]] = values[k];
    return NVRAloadlpsol(prob, x.data(), nullptr, nullptr, nullptr, nullptr);
}

template <class W>
int writeCall(NVRAprob prob, const char *fn, const char *filename, const char *flags,
              const char *extension, W write) {
    return storeQuery(prob, fn, [&] {
        if (int rc = noFlags(prob, fn, flags)) return rc;
        if (int rc = requireSolution(prob, fn)) return rc;
        return write(prob, fn, fileOrDefault(prob, filename, extension));
    });
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAwritesol(NVRAprob prob, const char *filename, const char *flags) {
    return writeCall(prob, "NVRAwritesol", filename, flags, ".csv", writeCsv);
}

int NVRAwriteprtsol(NVRAprob prob, const char *filename, const char *flags) {
    return writeCall(prob, "NVRAwriteprtsol", filename, flags, ".prt", writeReport);
}

int NVRAwriteslxsol(NVRAprob prob, const char *filename, const char *flags) {
    return writeCall(prob, "NVRAwriteslxsol", filename, flags, ".slx", writeExchange);
}

int NVRAreadslxsol(NVRAprob prob, const char *filename, const char *flags) {
    const char *fn = "NVRAreadslxsol";
    return storeQuery(prob, fn, [&] {
        const bool continuous = flags && std::strcmp(flags, "l") == 0;
        if (flags && *flags && !continuous)
            return probError(prob, NVRA_RC_INVALID,
                             "%s: unknown flags \"%s\" ('l': read as the continuous solution)", fn,
                             flags);
        return readExchange(prob, fn, filename, continuous);
    });
}

} // extern "C"
