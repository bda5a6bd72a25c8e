// lp_write.cpp: the LP-format writer, in the conventions of lp_read.cpp.
//
// The objective names every column in order (with coefficient 0 where it has none), so that a
// reader numbers the columns as the model does; its constant follows the linear terms and its
// quadratic part is [ ... ] / 2. Rows: "<=", ">=", "=", "lo <= expr <= hi" for 'R' rows (the
// format states the row's bounds: lo is computed as rhs - range) and ">= -inf" for free rows;
// an indicator as "column = value ->". Bounds are written where they differ from [0, inf)
// (a semi-continuous column's threshold as its lower bound); then Generals, Binaries,
// Semi-continuous, Partial-integer (column and threshold), SOS and End. A comment line
// "\Problem name: ..." carries the problem name (left out when it holds a line break). An empty
// row reads "0 <first column>", or has an empty left side when there are no columns. Names the
// format cannot hold are written as default names (lpNames, ShownNames). The nonlinear section
// (nl_section.cpp), when there is one, comes last before End.
#include "files/file_io.h"
#include "files/nl_section.h"

#include <cmath>

namespace nvra {
namespace {

constexpr int kTermsPerLine = 8;

class LpWriter {
  public:
    LpWriter(const Model &m, const FileNames &names, const nl::NlData *nl, FileSink &out)
        : m_(m), names_(names), nl_(nl), out_(out), rows_(names.rows), cols_(names.cols),
          sets_(names.sets), probName_(names.probName) {}

    void write() {
        if (!probName_.empty()) out_ << "\\Problem name: " << probName_ << '\n';
        out_ << (m_.sense < 0 ? "Maximize\n" : "Minimize\n");
        objective();
        out_ << "Subject To\n";
        for (int i = 0; i < m_.numRows(); ++i)
            row(i);
        bounds();
        columnList("Generals", [](char t) { return t == 'I' || t == 'R'; });
        columnList("Binaries", [](char t) { return t == 'B'; });
        columnList("Semi-continuous", [](char t) { return t == 'S' || t == 'R'; });
        partials();
        sets();
        if (nl_) writeNonlinearSection(*nl_, m_, names_, "Nonlinear", out_);
        out_ << "End\n";
    }

  private:
    const Model &m_;
    const FileNames &names_;
    const nl::NlData *nl_;
    FileSink &out_;
    const ShownNames &rows_, &cols_, &sets_;
    std::string_view probName_;
    int onLine_ = 0; // terms on the current line

    // A term "+ c name" (or "- c name"); the first term of an expression has no "+".
    void sign(double c, bool first) {
        if (onLine_ >= kTermsPerLine) {
            out_ << "\n   ";
            onLine_ = 0;
        }
        ++onLine_;
        if (c < 0)
            out_ << (first ? "-" : " - ");
        else if (!first)
            out_ << " + ";
    }
    void term(double c, int j, bool first) {
        sign(c, first);
        out_ << std::fabs(c) << ' ' << cols_[j];
    }

    // The quadratic triplets in brackets; factor 2 for the objective (whose bracket is halved)
    // applies to the diagonal, the row form doubles the off-diagonal.
    void bracket(const QTriplets &q, bool objective, bool first) {
        sign(1.0, first);
        out_ << "[ ";
        for (size_t k = 0; k < q.v.size(); ++k) {
            const bool diag = q.i[k] == q.j[k];
            const double c = diag ? q.v[k] : 2.0 * q.v[k];
            sign(c, k == 0);
            out_ << std::fabs(c) << ' ' << cols_[q.i[k]];
            if (diag)
                out_ << " ^ 2";
            else
                out_ << " * " << cols_[q.j[k]];
        }
        out_ << (objective ? " ] / 2" : " ]");
    }

    void objective() {
        out_ << " obj: ";
        onLine_ = 0;
        for (int j = 0; j < m_.numCols(); ++j)
            term(m_.cost[j], j, j == 0);
        bool first = m_.numCols() == 0;
        if (m_.objConstant != 0.0) {
            sign(m_.objConstant, first);
            out_ << std::fabs(m_.objConstant);
            first = false;
        }
        if (!m_.Q.v.empty()) bracket(m_.Q, true, first);
        out_ << '\n';
    }

    void row(int i) {
        out_ << ' ' << rows_[i] << ": ";
        onLine_ = 0;
        auto ind = m_.indicators.find(i);
        if (ind != m_.indicators.end() && ind->second.complement != 0)
            out_ << cols_[ind->second.col]
                 << (ind->second.complement > 0 ? " = 1 -> " : " = 0 -> ");
        const char type = m_.rowtype[i];
        if (type == 'R') out_ << m_.rhs[i] - m_.range[i] << " <= ";
        const int64_t b = m_.A.start[i], e = m_.A.start[i + 1];
        for (int64_t k = b; k < e; ++k)
            term(m_.A.value[k], m_.A.index[k], k == b);
        auto q = m_.qrows.find(i);
        const bool quad = q != m_.qrows.end() && !q->second.v.empty();
        if (quad)
            bracket(q->second, false, b == e);
        else if (b == e && m_.numCols() > 0)
            out_ << "0 " << cols_[0]; // an empty row; without columns its left side stays empty
        switch (type) {
        case 'L':
        case 'R':
            out_ << " <= " << m_.rhs[i];
            break;
        case 'G':
            out_ << " >= " << m_.rhs[i];
            break;
        case 'E':
            out_ << " = " << m_.rhs[i];
            break;
        default:
            out_ << " >= -inf";
            break;
        }
        out_ << '\n';
    }

    static void bound(FileSink &out, double v) {
        if (v <= -kInf)
            out << "-inf";
        else if (v >= kInf)
            out << "inf";
        else
            out << v;
    }

    // The bounds a reader needs to take the column from [0, inf) to [lb, ub]. A negative upper
    // bound comes with its lower bound, which keeps the lower bound from turning -inf.
    void columnBounds(int j, double lb, double ub) {
        auto name = cols_[j];
        if (lb <= -kInf && ub >= kInf) {
            out_ << ' ' << name << " free\n";
        } else if (lb == ub) {
            out_ << ' ' << name << " = " << lb << '\n';
        } else if (lb != 0.0 || ub < 0) {
            out_ << ' ';
            bound(out_, lb);
            out_ << " <= " << cols_[j];
            if (ub < kInf) out_ << " <= " << ub;
            out_ << '\n';
        } else if (ub < kInf) {
            out_ << ' ' << name << " <= " << ub << '\n';
        }
    }

    void bounds() {
        out_ << "Bounds\n";
        for (int j = 0; j < m_.numCols(); ++j) {
            const char t = m_.coltype[j];
            if (t == 'B') {
                if (m_.lb[j] != 0.0 || m_.ub[j] != 1.0) columnBounds(j, m_.lb[j], m_.ub[j]);
            } else if (t == 'S' || t == 'R') {
                columnBounds(j, m_.limit[j], m_.ub[j]);
            } else {
                columnBounds(j, m_.lb[j], m_.ub[j]);
            }
        }
    }

    template <class Pred> void columnList(const char *title, Pred pred) {
        bool any = false;
        int onLine = 0;
        for (int j = 0; j < m_.numCols(); ++j) {
            if (!pred(m_.coltype[j])) continue;
            if (!any) out_ << title << '\n';
            any = true;
            out_ << ' ' << cols_[j];
            if (++onLine == kTermsPerLine) {
                out_ << '\n';
                onLine = 0;
            }
        }
        if (onLine) out_ << '\n';
    }

    void partials() {
        bool any = false;
        for (int j = 0; j < m_.numCols(); ++j) {
            if (m_.coltype[j] != 'P') continue;
            if (!any) out_ << "Partial-integer\n";
            any = true;
            out_ << ' ' << cols_[j] << ' ' << m_.limit[j] << '\n';
        }
    }

    void sets() {
        if (m_.sets.empty()) return;
        out_ << "SOS\n";
        for (size_t s = 0; s < m_.sets.size(); ++s) {
            const Sos &set = m_.sets[s];
            out_ << ' ' << sets_[static_cast<int>(s)] << ": S" << set.type << "::";
            for (size_t k = 0; k < set.cols.size(); ++k) {
                if (k > 0 && k % kTermsPerLine == 0) out_ << "\n  ";
                out_ << ' ' << cols_[set.cols[k]] << ':' << set.weights[k];
            }
            out_ << '\n';
        }
    }
};

} // namespace

FileNames lpNames(const Model &m) {
    // The problem name stands in a comment line.
    const bool nameFits = m.probName.find_first_of("\r\n") == std::string::npos;
    return {ShownNames(m.rowNames, m.numRows(), 'R', lpNameFault),
            ShownNames(m.colNames, m.numCols(), 'C', lpNameFault),
            ShownNames(m.setNames, static_cast<int>(m.sets.size()), 'S', lpNameFault),
            nameFits ? std::string_view(m.probName) : std::string_view(), !nameFits};
}

void writeLp(const Model &m, const FileNames &names, const nl::NlData *nl, FileSink &out) {
    LpWriter(m, names, nl, out).write();
}

} // namespace nvra
