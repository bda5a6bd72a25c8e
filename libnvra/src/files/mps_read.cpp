// mps_read.cpp: the MPS reader, free and fixed format.
//
// How the reader interprets MPS (the library's convention, also what the MPS writer relies on):
// - Sections: NAME (its first word is the problem name), OBJSENSE (MAX, MAXIMIZE, MIN,
//   MINIMIZE, on the header line or the next), OBJNAME, ROWS, COLUMNS, RHS, RANGES, BOUNDS,
//   QUADOBJ, QMATRIX, QSECTION, QCMATRIX, SOS, INDICATORS, NONLINEAR (the library's own: its
//   lines are read by nl_section.cpp), ENDATA, in any case. Lines starting
//   with '*' and blank lines are skipped; nothing after ENDATA is read. Any other section is an
//   error naming it.
// - Free format separates fields by spaces and tabs; fixed format (flag 'f') takes fields from
//   their columns (2-3, 5-12, 15-22, 25-36, 40-47, 50-61), so names may hold spaces, and takes
//   a number as the word starting in its field, however long. Text in the gaps between fields
//   is an error (a name longer than 8 characters, most likely).
// - ROWS: the first N row is the objective (or the N row that OBJNAME names); further N rows are
//   free rows and stay in the model with type 'N'.
// - COLUMNS: columns between 'MARKER' 'INTORG' and 'INTEND' lines are integer, with bounds
//   [0, inf) unless BOUNDS says otherwise. Repeated entries are summed; a column may appear in
//   several places.
// - RHS on the objective row gives the objective constant minus that value (the objective row
//   reads c'x - rhs): e226's -7.113 gives +7.113.
// - RANGES R: an L row becomes [rhs - |R|, rhs], a G row [rhs, rhs + |R|], an E row
//   [rhs, rhs + R] for R > 0 and [rhs + R, rhs] for R < 0 (R = 0 keeps it an equality); the row
//   becomes an 'R' row. An infinite R leaves an L or G row as it is and makes an E row one-sided.
//   A range on the objective or an N row is ignored with a warning.
// - BOUNDS: UP, LO, FX, FR, MI, PL, BV ([0, 1], binary), LI and UI (integer), SC and SI
//   (semi-continuous and semi-integer with upper bound the value, infinite when absent), and PI
//   (partially integer with threshold the value; the library's own type). For SC and SI
//   columns the lower bound is the threshold: the column is 0 or between it and its upper bound
//   (its stored lower bound is 0). An SC bound on a column inside INTORG markers makes it
//   semi-continuous: the bound type wins over the markers. An UP (or UI) bound below 0 on a
//   column whose lower bound is 0 and not set by an earlier bound makes the lower bound -inf,
//   with a warning. Bound, RHS and RANGES set names are not told apart (one vector each).
// - QUADOBJ and QSECTION on the objective list each off-diagonal element of the Hessian Q once
//   (either triangle); QMATRIX lists the whole symmetric matrix, both (i, j) and (j, i). The
//   objective is c'x + 0.5 x'Qx either way. QCMATRIX <row> gives the quadratic part x'Px of a
//   constraint row as the whole symmetric matrix P. QSECTION on a constraint row is refused (its
//   meaning differs between dialects): use QCMATRIX.
// - SOS: a header line "S1 SOS name [priority]" (or "S1 name", or "S1") opens a set of type 1
//   or 2; member lines "column weight" follow. Weights must be distinct within a set (a missing
//   weight is the member's position). Priorities are ignored.
// - INDICATORS: "IF row column value": the row must hold when the binary column is value (0, 1).
#include "files/file_io.h"
#include "store/store.h"

#include <cmath>
#include <tsl/robin_set.h>

namespace nvra {
namespace {

constexpr int32_t kObjRow = -1; // the objective row in the row index

enum class Section {
    None,
    ObjSense,
    ObjName,
    Rows,
    Columns,
    Rhs,
    Ranges,
    Bounds,
    QObj,
    QRow,
    Sos,
    Indicators,
    Nonlinear
};

// The fields of one data line, in order.
struct Fields {
    std::string_view f[6];
    int n = 0;
};

// Element i of a per-row or per-column vector that grows with the rows or columns.
template <class T> T &grown(std::vector<T> &v, size_t i, T fill) {
    if (i >= v.size()) v.resize(i + 1, fill);
    return v[i];
}

class MpsReader {
  public:
    MpsReader(std::string_view text, bool fixed, FileModel &fm, Warnings &warnings)
        : text_(text), fixed_(fixed), fm_(fm), warnings_(warnings) {}

    void run() {
        size_t pos = 0;
        while (pos < text_.size() && !ended_) {
            size_t eol = text_.find('\n', pos);
            if (eol == std::string_view::npos) eol = text_.size();
            std::string_view s = text_.substr(pos, eol - pos);
            if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
            pos = eol + 1;
            ++line_;
            readLine(s);
        }
        if (!ended_) {
            if (line_ == 0) fail("the file is empty");
            fail("the file ends without ENDATA (is it complete?)");
        }
        finish();
    }

  private:
    std::string_view text_;
    bool fixed_;
    FileModel &fm_;
    Warnings &warnings_;

    int64_t line_ = 0;
    bool ended_ = false;
    Section section_ = Section::None;
    std::string_view sectionName_;

    NameIndex rows_, cols_;
    std::string_view wantedObj_; // OBJNAME
    bool haveObj_ = false;
    bool rowsSeen_ = false;

    bool intOrg_ = false;
    std::string_view colName_; // the column of the last COLUMNS line
    int32_t col_ = -1;

    std::vector<double> rangeOf_;       // per row, NaN when none
    std::vector<uint8_t> rhsSet_;       // per row: RHS given
    std::vector<uint8_t> hasIndicator_; // per row

    bool qFull_ = false; // QMATRIX rather than QUADOBJ
    FileModel::QRow *qrow_ = nullptr;
    std::vector<int32_t> qrowOf_; // per row: index in fm_.qrows, or -1

    bool setOpen_ = false;
    tsl::robin_set<double> setWeights_;
    tsl::robin_set<int32_t> setCols_;

    [[noreturn]] void fail(const std::string &message) { throw ReadError{line_, message}; }

    // ---- lines and fields ----

    void readLine(std::string_view s) {
        if (s.empty() || s[0] == '*') return;
        if (!isBlank(s[0])) return header(s);
        if (trim(s).empty()) return;
        if (section_ == Section::None)
            fail("a data line outside any section (section names start in column 1)");
        if (section_ == Section::ObjSense) return objSense(trim(s));
        if (section_ == Section::ObjName) return objName(trim(s));
        if (section_ == Section::Nonlinear) return fm_.nlLines.push_back({line_, trim(s)});
        Fields f = fixed_ ? fixedFields(s) : freeFields(s);
        switch (section_) {
        case Section::Rows:
            return rowLine(f);
        case Section::Columns:
            return columnLine(f);
        case Section::Rhs:
            return rhsLine(f, false);
        case Section::Ranges:
            return rhsLine(f, true);
        case Section::Bounds:
            return boundLine(f);
        case Section::QObj:
        case Section::QRow:
            return quadLine(f);
        case Section::Sos:
            return sosLine(f);
        case Section::Indicators:
            return indicatorLine(f);
        default:
            return;
        }
    }

    Fields freeFields(std::string_view s) {
        Fields f;
        size_t p = 0;
        while (true) {
            while (p < s.size() && isBlank(s[p]))
                ++p;
            if (p == s.size()) return f;
            if (f.n == 6) fail("more than six fields in a " + std::string(sectionName_) + " line");
            size_t q = p;
            while (q < s.size() && !isBlank(s[q]))
                ++q;
            f.f[f.n++] = s.substr(p, q - p);
            p = q;
        }
    }

    // Fixed format: name fields by column, number fields as the word starting in them.
    Fields fixedFields(std::string_view s) {
        if (s.find('\t') != std::string_view::npos)
            fail("a tab in a fixed-format line (fields are found by column)");
        auto clear = [&](size_t b, size_t e) {
            for (size_t p = b; p < std::min(e, s.size()); ++p)
                if (!isBlank(s[p]))
                    fail("text in column " + std::to_string(p + 1) +
                         ", outside the fixed-format fields (a name longer than 8 characters?)");
        };
        auto name = [&](size_t b, size_t e) {
            return b < s.size() ? trim(s.substr(b, e - b)) : std::string_view();
        };
        // The number field starting at b (before limit); returns where it ends.
        auto number = [&](size_t b, size_t limit, std::string_view &out) {
            size_t p = b;
            while (p < s.size() && isBlank(s[p]))
                ++p;
            if (p >= s.size() || p >= limit) return b; // nothing in the field itself
            size_t q = p;
            while (q < s.size() && !isBlank(s[q]))
                ++q;
            out = s.substr(p, q - p);
            return q;
        };
        std::string_view fs[6];
        clear(0, 1);
        fs[0] = name(1, 3);
        clear(3, 4);
        fs[1] = name(4, 12);
        clear(12, 14);
        fs[2] = name(14, 22);
        clear(22, 24);
        size_t end4 = number(24, 36, fs[3]);
        if (end4 > 39) {
            clear(end4, s.size()); // a long number: no fields 5 and 6
        } else {
            clear(std::max<size_t>(end4, 24), 39);
            fs[4] = name(39, 47);
            clear(47, 49);
            size_t end6 = number(49, 61, fs[5]);
            clear(std::max<size_t>(end6, 49), s.size());
        }
        Fields f;
        for (auto &x : fs)
            if (!x.empty()) f.f[f.n++] = x;
        return f;
    }

    // ---- names and numbers ----

    void checkName(std::string_view name, const char *kind) {
        if (const char *fault = nameFault(name))
            fail(std::string(kind) + " name " + quoted(name) + " " + fault);
    }

    int32_t rowOf(std::string_view name) {
        auto it = rows_.find(name);
        if (it == rows_.end())
            fail("unknown row " + quoted(name) + " in " + std::string(sectionName_));
        return it->second;
    }

    int32_t colOf(std::string_view name) {
        auto it = cols_.find(name);
        if (it == cols_.end())
            fail("unknown column " + quoted(name) + " in " + std::string(sectionName_));
        return it->second;
    }

    bool isCol(std::string_view name) const { return cols_.find(name) != cols_.end(); }

    double number(std::string_view token) {
        double v;
        if (!parseNumber(token, v)) fail("invalid number " + quoted(token));
        return v;
    }

    // A finite number (matrix, objective and quadratic coefficients, weights).
    double coefficient(std::string_view token) {
        double v = number(token);
        if (std::fabs(v) >= kInf) fail("infinite coefficient " + quoted(token));
        return v;
    }

    void expectFields(const Fields &f, bool ok, const char *form) {
        if (!ok)
            fail("expected " + std::string(form) + " in " + std::string(sectionName_) + ", found " +
                 std::to_string(f.n) + " fields" +
                 (fixed_ ? "" : " (a name with spaces needs fixed format, flag 'f')"));
    }

    // ---- sections ----

    void header(std::string_view s) {
        size_t p = 0;
        while (p < s.size() && !isBlank(s[p]))
            ++p;
        std::string_view key = s.substr(0, p);
        std::string_view rest = trim(s.substr(p));
        closeSet();
        qrow_ = nullptr;
        sectionName_ = key;
        auto is = [&](const char *k) { return sameWord(key, k); };
        auto plain = [&](Section sec) {
            if (!rest.empty())
                fail("unexpected text " + quoted(rest) + " after " + std::string(key));
            section_ = sec;
        };
        if (is("NAME")) {
            // The first word: older files follow it with a comment ("AFIRO   SIZE: ...").
            size_t e = 0;
            while (e < rest.size() && !isBlank(rest[e]))
                ++e;
            fm_.name = rest.substr(0, e);
            section_ = Section::None;
        } else if (is("OBJSENSE") || is("OBJSENCE")) {
            section_ = Section::ObjSense;
            if (!rest.empty()) objSense(rest);
        } else if (is("OBJNAME")) {
            section_ = Section::ObjName;
            if (!rest.empty()) objName(rest);
        } else if (is("ROWS")) {
            plain(Section::Rows);
            rowsSeen_ = true;
        } else if (is("COLUMNS")) {
            plain(Section::Columns);
        } else if (is("RHS")) {
            plain(Section::Rhs);
        } else if (is("RANGES")) {
            plain(Section::Ranges);
        } else if (is("BOUNDS")) {
            plain(Section::Bounds);
        } else if (is("QUADOBJ") || is("QMATRIX")) {
            plain(Section::QObj);
            qFull_ = is("QMATRIX");
        } else if (is("QSECTION")) {
            if (!rest.empty() && rowOf(rest) != kObjRow)
                fail("QSECTION for constraint row " + quoted(rest) +
                     " is not supported: give the quadratic part of a row in a QCMATRIX section");
            section_ = Section::QObj;
            qFull_ = false;
        } else if (is("QCMATRIX")) {
            openQuadRow(rest);
        } else if (is("SOS")) {
            plain(Section::Sos);
        } else if (is("INDICATORS")) {
            plain(Section::Indicators);
        } else if (is("NONLINEAR")) {
            plain(Section::Nonlinear);
            fm_.nlSection = line_;
        } else if (is("ENDATA")) {
            ended_ = true;
        } else if (is("CSECTION") || is("GENCONS") || is("PWLOBJ") || is("PWLCON") ||
                   is("LAZYCONS") || is("USERCUTS")) {
            fail("the " + std::string(key) + " section is not supported");
        } else {
            fail("unknown section " + quoted(key));
        }
    }

    void objSense(std::string_view s) {
        if (sameWord(s, "MAX") || sameWord(s, "MAXIMIZE") || sameWord(s, "MAXIMISE"))
            fm_.sense = -1;
        else if (sameWord(s, "MIN") || sameWord(s, "MINIMIZE") || sameWord(s, "MINIMISE"))
            fm_.sense = 1;
        else
            fail("unknown objective sense " + quoted(s) + " (MIN or MAX)");
    }

    void objName(std::string_view s) {
        if (rowsSeen_) fail("OBJNAME must come before ROWS");
        wantedObj_ = s;
    }

    void rowLine(const Fields &f) {
        expectFields(f, f.n == 2, "a row type and a row name");
        std::string_view type = f.f[0], name = f.f[1];
        char t = type.size() == 1 ? static_cast<char>(type[0] & ~0x20) : '?';
        if (t != 'N' && t != 'L' && t != 'G' && t != 'E')
            fail("unknown row type " + quoted(type) + " (N, L, G or E)");
        checkName(name, "row");
        if (rows_.count(name)) fail("row " + quoted(name) + " is defined twice");
        if (t == 'N' && !haveObj_ && (wantedObj_.empty() || wantedObj_ == name)) {
            haveObj_ = true;
            rows_.emplace(name, kObjRow);
            return;
        }
        rows_.emplace(name, fm_.addRow(name, t));
    }

    void columnLine(const Fields &f) {
        if (f.n == 3 && sameWord(f.f[1], "'MARKER'")) {
            if (sameWord(f.f[2], "'INTORG'"))
                intOrg_ = true;
            else if (sameWord(f.f[2], "'INTEND'"))
                intOrg_ = false;
            else
                fail("unknown marker " + quoted(f.f[2]) + " ('INTORG' or 'INTEND')");
            return;
        }
        expectFields(f, f.n == 3 || f.n == 5, "a column name and one or two (row, value) pairs");
        if (col_ < 0 || f.f[0] != colName_) {
            colName_ = f.f[0];
            auto it = cols_.find(colName_);
            if (it != cols_.end()) {
                col_ = it->second;
            } else {
                checkName(colName_, "column");
                col_ = fm_.addCol(colName_);
                if (intOrg_) fm_.colType[col_] = 'I';
                cols_.emplace(colName_, col_);
            }
        }
        for (int k = 1; k < f.n; k += 2) {
            int32_t row = rowOf(f.f[k]);
            double v = coefficient(f.f[k + 1]);
            if (row == kObjRow)
                fm_.cost[col_] += v;
            else
                fm_.addEntry(row, col_, v);
        }
    }

    // RHS and RANGES: [set] row value [row value].
    void rhsLine(const Fields &f, bool ranges) {
        const int first = f.n % 2; // an odd count starts with the vector's name
        expectFields(f, f.n >= 2 && f.n - first <= 4, "[name] row value [row value]");
        for (int k = first; k < f.n; k += 2) {
            int32_t row = rowOf(f.f[k]);
            double v = number(f.f[k + 1]);
            if (ranges)
                setRange(row, v);
            else
                setRhs(row, v);
        }
    }

    void setRhs(int32_t row, double v) {
        if (row == kObjRow) {
            fm_.objConstant = v == 0.0 ? 0.0 : -v;
            return;
        }
        uint8_t &given = grown<uint8_t>(rhsSet_, row, 0);
        if (given)
            warnings_.add(line_, "row " + quoted(fm_.rowNames[row]) +
                                     " has a second RHS entry; the last one is kept");
        given = 1;
        fm_.rhs[row] = v;
    }

    void setRange(int32_t row, double v) {
        if (row == kObjRow || fm_.rowType[row] == 'N') {
            warnings_.add(line_, "a range on a free row is ignored");
            return;
        }
        grown(rangeOf_, row, std::nan("")) = v;
    }

    enum class BoundValue { Required, Unused, Optional };

    void boundLine(const Fields &f) {
        expectFields(f, f.n >= 2 && f.n <= 4, "a bound type, [name,] a column and a value");
        std::string_view type = f.f[0];
        auto is = [&](const char *k) { return sameWord(type, k); };
        BoundValue kind;
        if (is("UP") || is("LO") || is("FX") || is("LI") || is("UI") || is("PI"))
            kind = BoundValue::Required;
        else if (is("FR") || is("MI") || is("PL"))
            kind = BoundValue::Unused;
        else if (is("BV") || is("SC") || is("SI"))
            kind = BoundValue::Optional;
        else
            fail("unknown bound type " + quoted(type));
        // Which fields are the column and the value.
        std::string_view colName, value;
        if (f.n == 4) {
            colName = f.f[2];
            value = f.f[3];
        } else if (f.n == 2) {
            if (kind == BoundValue::Required) fail("bound " + std::string(type) + " needs a value");
            colName = f.f[1];
        } else if (kind == BoundValue::Required ||
                   (!isCol(f.f[2]) && isCol(f.f[1]))) { // type column value
            colName = f.f[1];
            value = f.f[2];
        } else { // type set column
            colName = f.f[2];
        }
        int32_t c = colOf(colName);
        double v = kind != BoundValue::Unused && !value.empty() ? number(value) : kInf;
        applyBound(type, c, v);
    }

    void applyBound(std::string_view type, int32_t c, double v) {
        auto is = [&](const char *k) { return sameWord(type, k); };
        char &t = fm_.colType[c];
        auto setUpper = [&](double x) { fm_.setUpper(c, x, line_, warnings_); };
        if (is("UP"))
            setUpper(v);
        else if (is("LO"))
            fm_.setLower(c, v);
        else if (is("FX")) {
            fm_.setLower(c, v);
            fm_.ub[c] = v;
        } else if (is("FR")) {
            fm_.setLower(c, -kInf);
            fm_.ub[c] = kInf;
        } else if (is("MI"))
            fm_.setLower(c, -kInf);
        else if (is("PL"))
            fm_.ub[c] = kInf;
        else if (is("BV")) {
            t = 'B';
            fm_.setLower(c, 0.0);
            fm_.ub[c] = 1.0;
        } else if (is("LI")) {
            fm_.makeInteger(c);
            fm_.setLower(c, v);
        } else if (is("UI")) {
            fm_.makeInteger(c);
            setUpper(v);
        } else if (is("SC")) {
            t = 'S';
            fm_.ub[c] = v;
        } else if (is("SI")) {
            t = 'R';
            fm_.ub[c] = v;
        } else {
            t = 'P';
            fm_.limit[c] = v;
        } // PI
    }

    void openQuadRow(std::string_view rowName) {
        if (rowName.empty()) fail("QCMATRIX needs the name of its row");
        int32_t row = rowOf(rowName);
        if (row == kObjRow)
            fail("QCMATRIX for the objective row: give the objective's quadratic part in QUADOBJ");
        int32_t &k = grown(qrowOf_, row, -1);
        if (k < 0) {
            k = static_cast<int32_t>(fm_.qrows.size());
            fm_.qrows.push_back({row, {}, {}, {}});
        }
        qrow_ = &fm_.qrows[k];
        section_ = Section::QRow;
    }

    void quadLine(const Fields &f) {
        expectFields(f, f.n == 3, "two column names and a value");
        int32_t i = colOf(f.f[0]), j = colOf(f.f[1]);
        double v = coefficient(f.f[2]);
        // Entries of a whole symmetric matrix come in pairs: each carries half the element.
        bool half = i != j && (section_ == Section::QRow || qFull_);
        if (half) v *= 0.5;
        if (section_ == Section::QRow) {
            qrow_->c1.push_back(i);
            qrow_->c2.push_back(j);
            qrow_->v.push_back(v);
        } else {
            fm_.q1.push_back(i);
            fm_.q2.push_back(j);
            fm_.qv.push_back(v);
        }
    }

    void sosLine(const Fields &f) {
        auto isType = [](std::string_view s) { return sameWord(s, "S1") || sameWord(s, "S2"); };
        double dummy;
        const bool header =
            f.n >= 1 && isType(f.f[0]) &&
            (f.n == 1 || sameWord(f.f[1], "SOS") || (f.n == 2 && !parseNumber(f.f[1], dummy)) ||
             (f.n == 3 && !parseNumber(f.f[1], dummy) && parseNumber(f.f[2], dummy)));
        if (header) {
            closeSet();
            std::string_view name = f.n >= 2 && !sameWord(f.f[1], "SOS") ? f.f[1]
                                    : f.n >= 3                           ? f.f[2]
                                                                         : std::string_view();
            if (!name.empty()) checkName(name, "set");
            fm_.setNames.push_back(name);
            fm_.setType.push_back(f.f[0][1]);
            fm_.setStart.push_back(fm_.setStart.back());
            setOpen_ = true;
            return;
        }
        if (!setOpen_) fail("a set member before any set header (S1 or S2)");
        expectFields(f, f.n == 1 || f.n == 2, "a column and its weight");
        int32_t c = colOf(f.f[0]);
        double w = f.n == 2 ? coefficient(f.f[1])
                            : static_cast<double>(fm_.setStart.back() - fm_.setStart.end()[-2] + 1);
        if (!setCols_.insert(c).second) fail("column " + quoted(f.f[0]) + " is twice in one set");
        if (!setWeights_.insert(w).second) {
            char buf[32];
            fail("two members of one set have the weight " + std::string(formatNumber(w, buf)) +
                 " (weights order the members and must differ)");
        }
        fm_.setCol.push_back(c);
        fm_.setRef.push_back(w);
        ++fm_.setStart.back();
    }

    void closeSet() {
        setOpen_ = false;
        setWeights_.clear();
        setCols_.clear();
    }

    void indicatorLine(const Fields &f) {
        expectFields(f, f.n == 4 && sameWord(f.f[0], "IF"), "IF row column value");
        int32_t row = rowOf(f.f[1]);
        if (row == kObjRow) fail("the objective row cannot have an indicator");
        int32_t c = colOf(f.f[2]);
        double v = number(f.f[3]);
        if (v != 0.0 && v != 1.0) fail("an indicator value must be 0 or 1, not " + quoted(f.f[3]));
        uint8_t &has = grown<uint8_t>(hasIndicator_, row, 0);
        if (has) fail("row " + quoted(f.f[1]) + " has two indicators");
        has = 1;
        fm_.indicators.push_back({row, c, v == 1.0 ? 1 : -1});
    }

    // ---- after ENDATA ----

    void finish() {
        line_ = 0;
        for (size_t r = 0; r < rangeOf_.size(); ++r)
            if (!std::isnan(rangeOf_[r])) applyRange(static_cast<int32_t>(r), rangeOf_[r]);
        fm_.settle();
    }

    void applyRange(int32_t r, double R) {
        char &t = fm_.rowType[r];
        double &rhs = fm_.rhs[r];
        const double a = std::fabs(R);
        if (t == 'E') {
            if (R == 0.0) return;
            if (a >= kInf) {
                t = R > 0 ? 'G' : 'L';
                return;
            }
            if (R > 0) rhs += R;
        } else {
            if (a >= kInf) return;
            if (t == 'G') rhs += a;
        }
        t = 'R';
        fm_.range[r] = a;
    }
};

} // namespace

void readMps(std::string_view text, bool fixed, FileModel &fm, Warnings &warnings) {
    MpsReader(text, fixed, fm, warnings).run();
}

} // namespace nvra
