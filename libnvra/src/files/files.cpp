// files.cpp: NVRAreadprob and NVRAwriteprob: the format from the flags or the file name, the
// whole file read into a fresh model that then replaces the problem's, and writing from the
// store. The formats themselves are in mps_read.cpp, lp_read.cpp, mps_write.cpp, lp_write.cpp;
// the nonlinear section that both formats carry in nl_section.cpp.
#include "files/file_io.h"
#include "files/nl_section.h"
#include "store/store.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace nvra {
namespace {

struct FileFormat {
    bool lp = false;
    bool fixed = false; // strict fixed-format MPS
};

bool endsWithLp(std::string_view name) {
    return name.size() >= 3 && name[name.size() - 3] == '.' &&
           (name[name.size() - 2] | 0x20) == 'l' && (name[name.size() - 1] | 0x20) == 'p';
}

// The format from the flags ('l' LP, 'm' MPS, 'f' fixed-format MPS), else from the extension.
// 'g' (the nonlinear writer's flag) is accepted and changes nothing: the nonlinear section is
// read and written whenever there is one.
int chooseFormat(NVRAprob prob, const char *fn, const char *filename, const char *flags,
                 FileFormat &format) {
    if (!filename || !*filename)
        return probError(prob, NVRA_RC_INVALID, "%s: no file name given", fn);
    bool lp = false, mps = false;
    for (const char *p = flags ? flags : ""; *p; ++p) {
        switch (*p) {
        case 'l':
            lp = true;
            break;
        case 'm':
            mps = true;
            break;
        case 'f':
            format.fixed = mps = true;
            break;
        case 'g':
            break;
        default:
            return probError(prob, NVRA_RC_INVALID,
                             "%s: unknown flag '%c' in \"%s\" (l: LP format, m: MPS, f: "
                             "fixed-format MPS, g: with nonlinear data)",
                             fn, *p >= 32 && *p < 127 ? *p : '?', flags);
        }
    }
    if (lp && mps)
        return probError(prob, NVRA_RC_INVALID,
                         "%s: the flags \"%s\" ask for both the LP and the MPS format", fn, flags);
    format.lp = lp || (!mps && endsWithLp(filename));
    return 0;
}

// Refuses what is no text file before a reader sees it.
void checkText(std::string_view text) {
    if (text.size() >= 2 && text[0] == '\x1f' && text[1] == '\x8b')
        throw ReadError{0, "the file is gzip-compressed: give the uncompressed file"};
    const size_t zero = text.find('\0');
    if (zero != std::string_view::npos) {
        int64_t line = 1;
        for (size_t p = 0; p < zero; ++p)
            line += text[p] == '\n';
        throw ReadError{line, "a zero byte (is this a text file?)"};
    }
}

// The file name without directory and extension: the problem name of a file without its own.
std::string stem(std::string_view filename) {
    const size_t slash = filename.rfind('/');
    if (slash != std::string_view::npos) filename.remove_prefix(slash + 1);
    const size_t dot = filename.rfind('.');
    if (dot != std::string_view::npos && dot > 0) filename = filename.substr(0, dot);
    return std::string(filename);
}

// The matrix triplets of fm in column-wise form (a counting sort, stable within columns).
void columnWise(const FileModel &fm, std::vector<int64_t> &start, std::vector<int> &row,
                std::vector<double> &value) {
    const size_t n = fm.entVal.size();
    start.assign(static_cast<size_t>(fm.numCols()) + 1, 0);
    for (int32_t c : fm.entCol)
        ++start[c + 1];
    for (int j = 0; j < fm.numCols(); ++j)
        start[j + 1] += start[j];
    row.resize(n);
    value.resize(n);
    std::vector<int64_t> next(start.begin(), start.end() - 1);
    for (size_t k = 0; k < n; ++k) {
        const int64_t at = next[fm.entCol[k]]++;
        row[at] = fm.entRow[k];
        value[at] = fm.entVal[k];
    }
}

// Builds the store's model from what a reader found, through the loaders' whole-model fill.
int buildFromFile(NVRAprob prob, FileModel &fm, Model &m) {
    std::vector<int64_t> start;
    std::vector<int> rowind;
    std::vector<double> rowcoef;
    columnWise(fm, start, rowind, rowcoef);
    fm.entRow = {};
    fm.entCol = {};
    fm.entVal = {};

    std::vector<int> qrowind, qc1, qc2;
    std::vector<int64_t> qcount;
    std::vector<double> qv;
    for (const auto &q : fm.qrows) {
        if (q.v.empty()) continue;
        qrowind.push_back(q.row);
        qcount.push_back(static_cast<int64_t>(q.v.size()));
        qc1.insert(qc1.end(), q.c1.begin(), q.c1.end());
        qc2.insert(qc2.end(), q.c2.begin(), q.c2.end());
        qv.insert(qv.end(), q.v.begin(), q.v.end());
    }

    std::vector<char> enttype;
    std::vector<int> entind;
    std::vector<double> entlimit;
    for (int j = 0; j < fm.numCols(); ++j)
        if (fm.colType[j] != 'C') {
            enttype.push_back(fm.colType[j]);
            entind.push_back(j);
            entlimit.push_back(fm.limit[j]);
        }

    LoadData d;
    d.fn = "NVRAreadprob";
    d.ncols = fm.numCols();
    d.nrows = fm.numRows();
    d.rowtype = fm.rowType.data();
    d.rhs = fm.rhs.data();
    d.range = fm.range.data();
    d.objcoef = fm.cost.data();
    d.start64 = start.data();
    d.rowind = rowind.data();
    d.rowcoef = rowcoef.data();
    d.lb = fm.lb.data();
    d.ub = fm.ub.data();
    d.nobjqcoefs = static_cast<int64_t>(fm.qv.size());
    d.objqcol1 = fm.q1.data();
    d.objqcol2 = fm.q2.data();
    d.objqcoef = fm.qv.data();
    d.nqrows = static_cast<int>(qrowind.size());
    d.qrowind = qrowind.data();
    d.nrowqcoefs = qcount.data();
    d.rowqcol1 = qc1.data();
    d.rowqcol2 = qc2.data();
    d.rowqcoef = qv.data();
    d.nentities = static_cast<int>(entind.size());
    d.coltype = enttype.data();
    d.entind = entind.data();
    d.limit = entlimit.data();
    d.nsets = static_cast<int>(fm.setType.size());
    d.settype = fm.setType.data();
    d.setstart = fm.setStart.data();
    d.setind = fm.setCol.data();
    d.refval = fm.setRef.data();
    if (int rc = buildModel(prob, d, m)) return rc;

    m.sense = fm.sense;
    m.objConstant = fm.objConstant;
    m.rowNames.assign(0, fm.rowNames);
    m.colNames.assign(0, fm.colNames);
    m.setNames.assign(0, fm.setNames);
    for (const auto &ind : fm.indicators)
        m.indicators[ind.row] = {ind.col, ind.complement};
    return 0;
}

int fileError(NVRAprob prob, const char *filename, const ReadError &e) {
    if (e.line > 0)
        return probError(prob, NVRA_RC_FILE, "Error in file '%s' at line %lld: %s", filename,
                         static_cast<long long>(e.line), e.message.c_str());
    return probError(prob, NVRA_RC_FILE, "Error in file '%s': %s", filename, e.message.c_str());
}

int readProblem(NVRAprob prob, const char *filename, const char *flags) {
    const char *fn = "NVRAreadprob";
    FileFormat format;
    if (int rc = chooseFormat(prob, fn, filename, flags, format)) return rc;
    try {
        std::string text;
        if (int err = readWhole(filename, text))
            return probError(prob, NVRA_RC_FILE, "Cannot read file '%s': %s", filename,
                             std::strerror(err));
        checkText(text);
        FileModel fm;
        Warnings warnings;
        if (format.lp)
            readLp(text, fm, warnings);
        else
            readMps(text, format.fixed, fm, warnings);
        if (!validUtf8(fm.name)) throw ReadError{0, "the problem name is not valid UTF-8"};
        Model m;
        if (buildFromFile(prob, fm, m) != 0) {
            const std::string why = prob->lastError; // the fill's own message
            return fileError(prob, filename, {0, why});
        }
        nl::NlData *target = nonlinearData(prob);
        NlFileData nlData;
        if (fm.nlSection && !target)
            throw ReadError{fm.nlSection, "the file holds nonlinear formulas or data, which need "
                                          "the problem's nonlinear problem (NSLPcreateprob)"};
        if (target) readNonlinearSection(fm.nlLines, m, target->userFunctions, nlData);
        m.probName = fm.name.empty() ? stem(filename) : std::string(fm.name);
        prob->model = std::move(m);
        modelReplaced(prob);
        if (target) installNonlinear(*target, std::move(nlData));
        prob->solution.reset();
        for (const std::string &w : warnings.lines())
            probMessage(prob, ("Warning: file '" + std::string(filename) + "', " + w).c_str(), 3);
        return 0;
    } catch (const ReadError &e) {
        return fileError(prob, filename, e);
    } catch (const std::bad_alloc &) {
        return probError(prob, NVRA_RC_NOMEM, "%s: out of memory reading file '%s'", fn, filename);
    } catch (const std::length_error &) {
        return probError(prob, NVRA_RC_NOMEM, "%s: out of memory reading file '%s'", fn, filename);
    } catch (const std::exception &e) {
        return probError(prob, NVRA_RC_ERROR, "%s: internal error reading file '%s': %s", fn,
                         filename, e.what());
    }
}

// A failed read leaves the problem empty: a caller that dropped its view of the model before
// reading (as the module does) then stays in step with it.
void emptyProblem(NVRAprob prob) {
    try {
        prob->model = Model();
        modelReplaced(prob);
    } catch (const std::bad_alloc &) {
        // An empty model allocates a few bytes; without them the old model stays.
    }
    prob->solution.reset();
}

} // namespace

int writeProblemFile(NVRAprob prob, const char *fn, const char *filename, const char *flags) {
    FileFormat format;
    if (int rc = chooseFormat(prob, fn, filename, flags, format)) return rc;
    const Model &m = prob->model;
    if (!m.pwls.empty() || !m.gencons.empty())
        return probError(prob, NVRA_RC_UNSUPPORTED,
                         "%s: the problem has %s constraints, which the %s format cannot hold", fn,
                         m.pwls.empty() ? "general" : "piecewise-linear", format.lp ? "LP" : "MPS");
    try {
        checkWritable(m);
        const nl::NlData *nonlinear = nonlinearData(prob);
        if (nonlinear && !holdsFileContent(*nonlinear, m.numRows(), m.numCols()))
            nonlinear = nullptr;
        if (nonlinear) checkWritable(*nonlinear);
        const FileNames names = format.lp ? lpNames(m) : mpsNames(m, format.fixed);
        FILE *f = std::fopen(filename, "wb");
        if (!f)
            return probError(prob, NVRA_RC_FILE, "Cannot write file '%s': %s", filename,
                             std::strerror(errno));
        FileSink out(f);
        if (format.lp)
            writeLp(m, names, nonlinear, out);
        else
            writeMps(m, names, format.fixed, nonlinear, out);
        if (int err = out.close())
            return probError(prob, NVRA_RC_FILE, "Cannot write file '%s': %s", filename,
                             std::strerror(err));
        prob->replacedNames = names.replaced();
        warnReplacedNames(prob, filename, prob->replacedNames);
        return 0;
    } catch (const WriteError &e) {
        return probError(prob, NVRA_RC_UNSUPPORTED, "Cannot write file '%s' as %s: %s", filename,
                         format.lp      ? "LP"
                         : format.fixed ? "fixed-format MPS"
                                        : "MPS",
                         e.message.c_str());
    } catch (const std::bad_alloc &) {
        return probError(prob, NVRA_RC_NOMEM, "%s: out of memory writing file '%s'", fn, filename);
    } catch (const std::length_error &) {
        return probError(prob, NVRA_RC_NOMEM, "%s: out of memory writing file '%s'", fn, filename);
    } catch (const std::exception &e) {
        return probError(prob, NVRA_RC_ERROR, "%s: internal error writing file '%s': %s", fn,
                         filename, e.what());
    }
}

int readWhole(const char *filename, std::string &text) {
    FILE *f = std::fopen(filename, "rb");
    if (!f) return errno;
    struct stat st;
    if (fstat(fileno(f), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            std::fclose(f);
            return EISDIR;
        }
        if (S_ISREG(st.st_mode)) text.reserve(static_cast<size_t>(st.st_size));
    }
    char buf[1 << 16];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    const int err = std::ferror(f) ? (errno ? errno : EIO) : 0;
    std::fclose(f);
    return err;
}
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAreadprob(NVRAprob prob, const char *filename, const char *flags) {
    if (int rc = enterProbEdit(prob)) return rc;
    const int rc = readProblem(prob, filename, flags);
    if (rc) emptyProblem(prob);
    return rc;
}

int NVRAwriteprob(NVRAprob prob, const char *filename, const char *flags) {
    if (int rc = enterProb(prob)) return rc;
    return writeProblemFile(prob, "NVRAwriteprob", filename, flags);
}

} // extern "C"
