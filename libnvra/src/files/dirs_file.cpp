// dirs_file.cpp: the branching directives file:
//
//   NAME <problem name>
//    UP|DN|PR <column> [<priority> [<up pseudo cost> <down pseudo cost>]]
//   ENDATA
//
// UP: branch up first, DN: down first, PR: the engine's choice (a priority and costs only).
// Values not given stay as the column has them.
#include "files/record_io.h"

namespace nvra {
namespace {

const char *dirWord(char dir) {
    return dir == 'U' ? "UP" : dir == 'D' ? "DN" : "PR";
}

int writeDirs(NVRAprob prob, const char *fn, const char *filename) {
    if (!filename || !*filename)
        return probError(prob, NVRA_RC_INVALID, "%s: no file name given", fn);
    const Model &m = prob->model;
    FILE *f = openForWriting(prob, fn, filename);
    if (!f) return NVRA_RC_FILE;
    FileSink out(f);
    const ShownNames cols = shownNames(m, false, tokenNameFault);
    out << "NAME " << std::string_view(m.probName) << '\n';
    for (const auto &[j, d] : m.dirs)
        out << ' ' << dirWord(d.dir) << ' ' << cols[j] << ' ' << static_cast<int64_t>(d.priority)
            << ' ' << d.upPseudo << ' ' << d.downPseudo << '\n';
    out << "ENDATA\n";
    return closeSink(prob, fn, filename, out, cols.replaced());
}

int readDirs(NVRAprob prob, const char *fn, const char *filename) {
    RecordReader in;
    if (int rc = in.open(prob, fn, filename)) return rc;
    const ShownIndex colIndex(prob->model, false);
    std::vector<int> cols, priority;
    std::vector<char> dir;
    std::vector<double> up, down;
    std::vector<std::string_view> t;
    bool ended = false;
    // Entries that leave a value out take the column's present one.
    auto current = [&](int j) {
        const auto it = prob->model.dirs.find(j);
        return it == prob->model.dirs.end() ? Direction() : it->second;
    };
    while (!ended && in.next(t)) {
        auto fail = [&](const std::string &what) {
            return recordError(prob, fn, filename, in.line(), what);
        };
        if (t[0] == "NAME") continue;
        if (t[0] == "ENDATA") {
            ended = true;
            continue;
        }
        if (t[0] != "UP" && t[0] != "DN" && t[0] != "PR")
            return fail("unknown record " + quoted(t[0]) + " (UP, DN or PR)");
        if (t.size() < 2 || t.size() == 4 || t.size() > 5)
            return fail("a directive is a direction, a column, and optionally a priority and "
                        "both pseudo costs");
        const int j = colIndex.find(t[1]);
        if (j < 0) return fail("no column named " + quoted(t[1]));
        Direction d = current(j);
        d.dir = t[0] == "UP" ? 'U' : t[0] == "DN" ? 'D' : 'N';
        double v[3] = {0, d.upPseudo, d.downPseudo};
        for (size_t k = 2; k < t.size(); ++k)
            if (!parseNumber(t[k], v[k - 2])) return fail("not a number: " + quoted(t[k]));
        if (t.size() > 2) {
            if (v[0] != static_cast<int>(v[0])) return fail("the priority must be an integer");
            d.priority = static_cast<int>(v[0]);
        }
        cols.push_back(j);
        priority.push_back(d.priority);
        dir.push_back(d.dir);
        up.push_back(v[1]);
        down.push_back(v[2]);
    }
    if (!ended) return recordError(prob, fn, filename, in.line(), "the file ends without ENDATA");
    return loadDirs(prob, fn, static_cast<int>(cols.size()), cols.data(), priority.data(),
                    dir.data(), up.data(), down.data());
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAwritedirs(NVRAprob prob, const char *filename) {
    const char *fn = "NVRAwritedirs";
    return storeQuery(prob, fn, [&] { return writeDirs(prob, fn, filename); });
}

int NVRAreaddirs(NVRAprob prob, const char *filename) {
    const char *fn = "NVRAreaddirs";
    return storeQuery(prob, fn, [&] { return readDirs(prob, fn, filename); });
}

} // extern "C"
