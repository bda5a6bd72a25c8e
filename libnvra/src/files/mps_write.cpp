// mps_write.cpp: the MPS writer, free and fixed format, in the conventions of mps_read.cpp.
//
// Rows: the objective first as an N row (named "obj", or "obj1", ... when a row has that name),
// then the rows in order; an 'R' row is written as an L row with its range in RANGES. Columns
// in order; integer columns between INTORG and INTEND markers, binary ones with BV bounds,
// semi-continuous and semi-integer ones with SC and SI bounds (their threshold as LO), partially
// integer ones with a PI bound (threshold). The objective constant is the negative RHS of the
// objective row. QUADOBJ lists the upper triangle of Q, QCMATRIX the whole matrix of each
// quadratic row. Fixed format puts every field in its columns, one entry per line, so that
// numbers of any length (shortest round-trip form) stay readable: a number starts in its field
// and may run past it. The stored lower bound of a semi-continuous column is not written (only
// its threshold has a meaning). Names the format cannot hold are written as default names
// (mpsNames, ShownNames); a problem name the NAME line cannot hold is left out. The nonlinear
// section (nl_section.cpp), when there is one, comes last before ENDATA.
#include "files/file_io.h"
#include "files/nl_section.h"

namespace nvra {
namespace {

const char *controlFault(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return "holds a control character";
    return nullptr;
}

const char *freeFault(std::string_view s) {
    if (const char *f = controlFault(s)) return f;
    if (s.find(' ') != std::string_view::npos)
        return "holds a space, which free-format MPS cannot hold (fixed format, flag 'f', can "
               "when names have at most 8 characters)";
    return nullptr;
}

const char *fixedFault(std::string_view s) {
    if (const char *f = controlFault(s)) return f;
    if (s.size() > 8) return "is longer than the 8 characters fixed-format MPS can hold";
    if (s.front() == ' ' || s.back() == ' ')
        return "begins or ends with a space, which fixed-format MPS cannot hold";
    return nullptr;
}

// Row names: a row named 'MARKER' would read as a marker line.
template <NameFault Fault> const char *rowFault(std::string_view s) {
    if (sameWord(s, "'MARKER'")) return "reads as a marker line";
    return Fault(s);
}

// The column-wise form of the matrix.
struct Columns {
    std::vector<int64_t> start;
    std::vector<int32_t> row;
    std::vector<double> value;
};

Columns transpose(const Model &m) {
    Columns c;
    const int n = m.numCols();
    c.start.assign(static_cast<size_t>(n) + 1, 0);
    for (int32_t j : m.A.index)
        ++c.start[j + 1];
    for (int j = 0; j < n; ++j)
        c.start[j + 1] += c.start[j];
    c.row.resize(m.A.index.size());
    c.value.resize(m.A.index.size());
    std::vector<int64_t> next(c.start.begin(), c.start.end() - 1);
    for (int i = 0; i < m.numRows(); ++i)
        for (int64_t k = m.A.start[i]; k < m.A.start[i + 1]; ++k) {
            const int64_t at = next[m.A.index[k]]++;
            c.row[at] = i;
            c.value[at] = m.A.value[k];
        }
    return c;
}

// The name of the objective row: one no row has.
std::string objectiveName(const Model &m) {
    std::string name = "obj";
    for (int k = 1; m.rowNames.find(name) >= 0; ++k)
        name = "obj" + std::to_string(k);
    return name;
}

class MpsWriter {
  public:
    MpsWriter(const Model &m, const FileNames &names, bool fixed, const nl::NlData *nl,
              FileSink &out)
        : m_(m), names_(names), nl_(nl), fixed_(fixed), out_(out), rows_(names.rows),
          cols_(names.cols), sets_(names.sets), probName_(names.probName), obj_(objectiveName(m)) {}

    void write() {
        out_ << "NAME";
        if (!probName_.empty()) out_.padTo(14) << probName_;
        out_ << '\n';
        if (m_.sense < 0) out_ << "OBJSENSE\n    MAX\n";
        rowsSection();
        columnsSection();
        rhsSection();
        rangesSection();
        boundsSection();
        quadSections();
        setsSection();
        indicatorsSection();
        if (nl_) writeNonlinearSection(*nl_, m_, names_, "NONLINEAR", out_);
        out_ << "ENDATA\n";
    }

  private:
    const Model &m_;
    const FileNames &names_;
    const nl::NlData *nl_;
    bool fixed_;
    FileSink &out_;
    const ShownNames &rows_, &cols_, &sets_;
    std::string_view probName_;
    std::string obj_;

    // Field starts (0-based columns) of fixed format, used for free format too.
    static constexpr size_t kF1 = 1, kF2 = 4, kF3 = 14, kF4 = 24, kF5 = 39, kF6 = 49;

    FileSink &field(size_t col) {
        out_.padTo(col - 1); // names of free format may reach past a field: keep a space
        return out_ << ' ';
    }

    std::string_view rowName(int32_t i) { return i < 0 ? std::string_view(obj_) : rows_[i]; }

    void rowsSection() {
        out_ << "ROWS\n";
        field(kF1) << 'N';
        field(kF2) << obj_ << '\n';
        for (int i = 0; i < m_.numRows(); ++i) {
            const char t = m_.rowtype[i] == 'R' ? 'L' : m_.rowtype[i];
            field(kF1) << t;
            field(kF2) << rows_[i] << '\n';
        }
    }

    // Entries (row, value) of one column, two to a line in free format.
    void entry(int j, int32_t row, double v, int &onLine) {
        if (onLine == 0) {
            field(kF2) << cols_[j];
            field(kF3) << rowName(row);
            field(kF4) << v;
            onLine = fixed_ ? 2 : 1;
        } else {
            field(kF5) << rowName(row);
            field(kF6) << v;
            onLine = 2;
        }
        if (onLine == 2) {
            out_ << '\n';
            onLine = 0;
        }
    }

    void marker(bool &inInt, bool wantInt) {
        if (inInt == wantInt) return;
        inInt = wantInt;
        field(kF2) << "MARKER";
        field(kF3) << "'MARKER'";
        field(kF5) << (wantInt ? "'INTORG'" : "'INTEND'") << '\n';
    }

    void columnsSection() {
        out_ << "COLUMNS\n";
        const Columns c = transpose(m_);
        bool inInt = false;
        for (int j = 0; j < m_.numCols(); ++j) {
            marker(inInt, m_.coltype[j] == 'I');
            int onLine = 0;
            // The objective entry declares a column that has no other.
            if (m_.cost[j] != 0.0 || c.start[j] == c.start[j + 1]) entry(j, -1, m_.cost[j], onLine);
            for (int64_t k = c.start[j]; k < c.start[j + 1]; ++k)
                entry(j, c.row[k], c.value[k], onLine);
            if (onLine) out_ << '\n';
        }
        marker(inInt, false);
    }

    void vectorLine(const char *vec, int32_t row, double v) {
        field(kF2) << vec;
        field(kF3) << rowName(row);
        field(kF4) << v << '\n';
    }

    void rhsSection() {
        out_ << "RHS\n";
        if (m_.objConstant != 0.0) vectorLine("RHS", -1, -m_.objConstant);
        for (int i = 0; i < m_.numRows(); ++i)
            if (m_.rhs[i] != 0.0) vectorLine("RHS", i, m_.rhs[i]);
    }

    void rangesSection() {
        bool any = false;
        for (int i = 0; i < m_.numRows(); ++i) {
            if (m_.rowtype[i] != 'R') continue;
            if (!any) out_ << "RANGES\n";
            any = true;
            vectorLine("RNG", i, m_.range[i]);
        }
    }

    void bound(const char *type, int j) {
        field(kF1) << type;
        field(kF2) << "BND";
        field(kF3) << cols_[j];
    }
    void bound(const char *type, int j, double v) {
        bound(type, j);
        field(kF4) << v;
    }

    // Bound lines that take a column from lower bound 0 and upper bound +inf to [lb, ub].
    void plainBounds(int j, double lb, double ub) {
        auto line = [&](const char *t, double v) {
            bound(t, j, v);
            out_ << '\n';
        };
        if (lb <= -kInf && ub >= kInf) {
            bound("FR", j);
            out_ << '\n';
        } else if (lb == ub) {
            line("FX", lb);
        } else {
            if (lb <= -kInf) {
                bound("MI", j);
                out_ << '\n';
            } else if (lb != 0.0 || ub < 0) { // 0 written before a negative upper bound
                line("LO", lb);
            }
            if (ub < kInf) line("UP", ub);
        }
    }

    void boundsSection() {
        out_ << "BOUNDS\n";
        for (int j = 0; j < m_.numCols(); ++j) {
            const double lb = m_.lb[j], ub = m_.ub[j], limit = m_.limit[j];
            auto line = [&](const char *t, double v) {
                bound(t, j, v);
                out_ << '\n';
            };
            switch (m_.coltype[j]) {
            case 'B':
                line("BV", 1.0);
                if (lb == ub)
                    line("FX", lb);
                else {
                    if (lb > 0) line("LO", lb);
                    if (ub < 1) line("UP", ub);
                }
                break;
            case 'S':
            case 'R':
                line(m_.coltype[j] == 'S' ? "SC" : "SI", ub);
                if (limit != 0.0) line("LO", limit);
                break;
            case 'P':
                plainBounds(j, lb, ub);
                line("PI", limit);
                break;
            default:
                plainBounds(j, lb, ub);
                break;
            }
        }
    }

    void triplet(int32_t i, int32_t j, double v) {
        field(kF2) << cols_[i];
        field(kF3) << cols_[j];
        field(kF4) << v << '\n';
    }

    void quadSections() {
        if (!m_.Q.v.empty()) {
            out_ << "QUADOBJ\n";
            for (size_t k = 0; k < m_.Q.v.size(); ++k)
                triplet(m_.Q.i[k], m_.Q.j[k], m_.Q.v[k]);
        }
        for (const auto &[row, q] : m_.qrows) {
            if (q.v.empty()) continue;
            out_ << "QCMATRIX";
            out_.padTo(kF3 - 1) << ' ' << rows_[row] << '\n';
            for (size_t k = 0; k < q.v.size(); ++k) {
                triplet(q.i[k], q.j[k], q.v[k]);
                if (q.i[k] != q.j[k]) triplet(q.j[k], q.i[k], q.v[k]);
            }
        }
    }

    void setsSection() {
        if (m_.sets.empty()) return;
        out_ << "SOS\n";
        for (size_t s = 0; s < m_.sets.size(); ++s) {
            const Sos &set = m_.sets[s];
            field(kF1) << 'S' << set.type;
            field(kF2) << "SOS";
            field(kF3) << sets_[static_cast<int>(s)] << '\n';
            for (size_t k = 0; k < set.cols.size(); ++k) {
                field(kF2) << cols_[set.cols[k]];
                field(kF4) << set.weights[k] << '\n';
            }
        }
    }

    void indicatorsSection() {
        if (m_.indicators.empty()) return;
        out_ << "INDICATORS\n";
        for (const auto &[row, ind] : m_.indicators) {
            if (ind.complement == 0) continue;
            field(kF1) << "IF";
            field(kF2) << rows_[row];
            field(kF3) << cols_[ind.col];
            field(kF4) << (ind.complement > 0 ? "1" : "0") << '\n';
        }
    }
};

} // namespace

FileNames mpsNames(const Model &m, bool fixed) {
    const NameFault fault = fixed ? fixedFault : freeFault;
    const NameFault rows = fixed ? rowFault<fixedFault> : rowFault<freeFault>;
    // The NAME line holds one word.
    const bool nameFits =
        m.probName.find_first_of(" \t") == std::string::npos && !controlFault(m.probName);
    return {ShownNames(m.rowNames, m.numRows(), 'R', rows),
            ShownNames(m.colNames, m.numCols(), 'C', fault),
            ShownNames(m.setNames, static_cast<int>(m.sets.size()), 'S', fault),
            nameFits ? std::string_view(m.probName) : std::string_view(), !nameFits};
}

void writeMps(const Model &m, const FileNames &names, bool fixed, const nl::NlData *nl,
              FileSink &out) {
    MpsWriter(m, names, fixed, nl, out).write();
}

} // namespace nvra
