// nl_section.cpp: the nonlinear section of LP and MPS files (nl_section.h; the format is
// documented in nslp.h, under "Problem files"). One entry per line:
//   objective: <coefficient>
//   row <row>: <coefficient>
//   column <column>: <key> <value> ...
//   rowdata <row>: <key> <value> ...
// A coefficient is the formula text alone (no column, factor 1), or "[factor] [column] *
// [ formula ]". Names are written as the formula text writes them (plain identifiers as they
// are, others in double quotes) and looked up in the model read from the same file; numbers in
// shortest round-trip form.
#include "files/nl_section.h"

#include "nonlinear/formula.h"
#include "nonlinear/nlprob.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace nvra {
namespace {

using nl::Formula;
using nl::FormulaContext;
using nl::SlpColumn;
using nl::SlpRow;
using nl::Tree;

// ---- writing --------------------------------------------------------------------------------

std::string numberOut(double v) {
    char buf[32];
    return std::string(formatNumber(v, buf));
}

// Throws WriteError unless user function id (from 1) can be named in a file: by a plain
// identifier that no internal function and no earlier registration has.
void checkUserFunctionName(const std::vector<nl::UserFunction> &fns, size_t id) {
    const std::string &name = fns[id - 1].name;
    const char *fault = nullptr;
    if (nl::nameText(name) != name)
        fault = "is no plain identifier";
    else if (nl::functionByName(name))
        fault = "is the name of an internal function";
    else
        for (size_t k = 0; k + 1 < id && !fault; ++k)
            if (fns[k].name == name) fault = "is also the name of an earlier user function";
    if (fault)
        throw WriteError{"the name of user function " + std::to_string(id) + " ('" + name + "') " +
                         fault + ", so that a file cannot name it"};
}

// " key value" for each datum of a column that differs from the default (rows named by rowName).
template <class RowName> std::string columnKeys(const SlpColumn &c, RowName rowName) {
    static const SlpColumn kDefault;
    std::string keys;
    auto add = [&](const char *key, const std::string &value) {
        keys.append(" ").append(key).append(" ").append(value);
    };
    if (c.detrow != kDefault.detrow) add("detrow", rowName(c.detrow));
    if (c.vartype != kDefault.vartype) add("type", std::to_string(c.vartype));
    if (c.seqnum != kDefault.seqnum) add("seqnum", std::to_string(c.seqnum));
    if (c.initValue != kDefault.initValue) add("initvalue", numberOut(c.initValue));
    if (c.initStep != kDefault.initStep) add("initstepbound", numberOut(c.initStep));
    if (c.penalty != kDefault.penalty) add("penalty", numberOut(c.penalty));
    if (c.damp != kDefault.damp) add("damp", numberOut(c.damp));
    if (c.cascadeLimit != kDefault.cascadeLimit)
        add("cascadelimit", std::to_string(c.cascadeLimit));
    if (c.deltaType != NSLP_DELTA_DEFAULT)
        add("delta",
            (c.deltaType == NSLP_DELTA_ABSOLUTE ? "absolute " : "relative ") + numberOut(c.delta));
    return keys;
}

std::string rowKeys(const SlpRow &r) {
    static const SlpRow kDefault;
    std::string keys;
    if (r.status != kDefault.status) keys += " status " + std::to_string(r.status);
    if (r.weight != kDefault.weight) keys += " weight " + numberOut(r.weight);
    return keys;
}

class SectionWriter {
  public:
    SectionWriter(const nl::NlData &d, const Model &m, const FileNames &names, FileSink &out)
        : d_(d), names_(names), out_(out), ctx_{m.numCols(), &d.userFunctions}, m_(m) {}

    void write(std::string_view header) {
        out_ << header << '\n';
        for (const auto &[row, col] : d_.coefs.cells())
            coefficient(row, col);
        for (int j = 0; j < std::min(m_.numCols(), static_cast<int>(d_.cols.size())); ++j)
            column(j, d_.cols[j]);
        for (int i = 0; i < std::min(m_.numRows(), static_cast<int>(d_.rows.size())); ++i)
            rowData(i, d_.rows[i]);
    }

  private:
    const nl::NlData &d_;
    const FileNames &names_;
    FileSink &out_;
    FormulaContext ctx_;
    const Model &m_;
    Formula f_;
    Tree tree_;

    std::string rowName(int i) const { return nl::nameText(names_.rows[i]); }
    std::string colName(int j) const { return nl::nameText(names_.cols[j]); }

    void coefficient(int row, int col) {
        double factor = 1.0;
        d_.coefs.cellFormula(row, col, f_, factor);
        std::string why;
        if (!nl::analyse(f_, ctx_, tree_, why))
            throw WriteError{"a stored formula is invalid: " + why};
        const std::string text =
            nl::formulaText(f_, tree_, ctx_, [&](int j) { return std::string(names_.cols[j]); });
        if (row == NSLP_OBJECTIVE)
            out_ << " objective: ";
        else
            out_ << " row " << rowName(row) << ": ";
        if (col == NSLP_NOCOLUMN && factor == 1.0) {
            out_ << text << '\n';
            return;
        }
        if (factor != 1.0) out_ << factor << ' ';
        if (col != NSLP_NOCOLUMN) out_ << colName(col) << ' ';
        out_ << "* [ " << text << " ]\n";
    }

    void column(int j, const SlpColumn &c) {
        const std::string keys = columnKeys(c, [&](int i) { return rowName(i); });
        if (!keys.empty()) out_ << " column " << colName(j) << ':' << keys << '\n';
    }

    void rowData(int i, const SlpRow &r) {
        const std::string keys = rowKeys(r);
        if (!keys.empty()) out_ << " rowdata " << rowName(i) << ':' << keys << '\n';
    }
};

// ---- reading --------------------------------------------------------------------------------

bool identStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool identChar(char c) {
    return identStart(c) || (c >= '0' && c <= '9');
}

// The position of the first '[' outside quoted names, or npos.
size_t bracketOutsideQuotes(std::string_view s) {
    bool inQuotes = false;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '"') inQuotes = !inQuotes; // a doubled quote toggles twice
        if (s[i] == '[' && !inQuotes) return i;
    }
    return std::string_view::npos;
}

// One entry line, read from the left.
class EntryReader {
  public:
    EntryReader(const FileModel::Line &line, const Model &m, const FormulaContext &ctx,
                NlFileData &out)
        : line_(line), s_(line.text), m_(m), ctx_(ctx), out_(out) {}

    void run() {
        const std::string_view kind = word();
        if (kind == "objective") {
            expect(':');
            coefficient(NSLP_OBJECTIVE, "the objective");
        } else if (kind == "row") {
            const std::string name = nameHere();
            const int row = find(NVRA_NAMES_ROWS, name, "row");
            expect(':');
            coefficient(row, "row " + quoted(name));
        } else if (kind == "column") {
            const std::string name = nameHere();
            const int col = find(NVRA_NAMES_COLUMNS, name, "column");
            expect(':');
            columnData(col);
        } else if (kind == "rowdata") {
            const std::string name = nameHere();
            const int row = find(NVRA_NAMES_ROWS, name, "row");
            expect(':');
            rowData(row);
        } else {
            fail("an entry of the nonlinear section starts with objective, row, column or "
                 "rowdata, not " +
                 quoted(kind.empty() ? s_.substr(pos_, 1) : kind));
        }
    }

  private:
    const FileModel::Line &line_;
    std::string_view s_;
    size_t pos_ = 0;
    const Model &m_;
    const FormulaContext &ctx_;
    NlFileData &out_;

    [[noreturn]] void fail(const std::string &message) const {
        throw ReadError{line_.line, message};
    }

    void blanks() {
        while (pos_ < s_.size() && isBlank(s_[pos_]))
            ++pos_;
    }
    bool atEnd() {
        blanks();
        return pos_ == s_.size();
    }
    void expect(char c) {
        blanks();
        if (pos_ == s_.size() || s_[pos_] != c)
            fail(std::string("expected '") + c + "' after the name of the entry");
        ++pos_;
    }
    // A run of identifier characters (empty when none).
    std::string_view word() {
        blanks();
        const size_t start = pos_;
        while (pos_ < s_.size() && identChar(s_[pos_]))
            ++pos_;
        return s_.substr(start, pos_ - start);
    }
    // A blank-delimited token.
    std::string_view token() {
        blanks();
        const size_t start = pos_;
        while (pos_ < s_.size() && !isBlank(s_[pos_]))
            ++pos_;
        return s_.substr(start, pos_ - start);
    }
    // A name as the formula text writes it.
    std::string nameHere() {
        blanks();
        std::string name;
        if (pos_ < s_.size() && s_[pos_] == '"') {
            pos_ = nl::readQuotedName(s_, pos_, name);
            if (pos_ == std::string_view::npos) fail("a quoted name without its closing '\"'");
        } else if (pos_ < s_.size() && identStart(s_[pos_])) {
            name = std::string(word());
        } else {
            fail("expected a name (a plain identifier or a name in double quotes)");
        }
        return name;
    }
    int find(int type, const std::string &name, const char *what) const {
        const int i = findByName(m_, type, name);
        if (i < 0) fail(std::string("unknown ") + what + " " + quoted(name));
        return i;
    }
    double number(std::string_view t, const char *what) const {
        const std::string text(t);
        char *end = nullptr;
        const double v = text.empty() ? NAN : std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0' || !std::isfinite(v))
            fail(std::string("the ") + what + " " + quoted(t) + " is no finite number");
        return v;
    }
    int integer(std::string_view t, const char *what) const {
        const double v = number(t, what);
        if (v != std::trunc(v) || std::fabs(v) > 2147483647.0)
            fail(std::string("the ") + what + " " + quoted(t) + " is no integer");
        return static_cast<int>(v);
    }

    // "[factor] [column] * [ formula ]" or the formula alone.
    void coefficient(int row, const std::string &where) {
        std::string_view rest = trim(s_.substr(pos_));
        double factor = 1.0;
        int col = NSLP_NOCOLUMN;
        const size_t open = bracketOutsideQuotes(rest);
        if (open != std::string_view::npos) {
            if (rest.back() != ']') fail("a formula in [ ] must end the line");
            s_ = trim(rest.substr(0, open));
            pos_ = 0;
            if (s_.empty() || s_.back() != '*')
                fail("expected [factor] [column] * before the [ of a formula");
            s_.remove_suffix(1);
            blanks();
            if (pos_ < s_.size() && s_[pos_] != '"' && !identStart(s_[pos_]))
                factor = number(token(), "factor");
            if (!atEnd()) {
                const std::string name = nameHere();
                col = find(NVRA_NAMES_COLUMNS, name, "column");
            }
            if (!atEnd()) fail("unexpected " + quoted(s_.substr(pos_)) + " before the [");
            rest = rest.substr(open + 1, rest.size() - open - 2);
        }
        Formula f;
        Tree tree;
        std::string why;
        if (!nl::parseText(
                rest, ctx_,
                [&](std::string_view name) { return findByName(m_, NVRA_NAMES_COLUMNS, name); }, f,
                why) ||
            !nl::analyse(f, ctx_, tree, why))
            fail("the formula of " + where + ": " + why);
        out_.coefs.add(row, col, factor, f);
    }

    SlpColumn &columnRecord(int j) {
        if (static_cast<size_t>(j) >= out_.cols.size())
            out_.cols.resize(static_cast<size_t>(j) + 1);
        return out_.cols[j];
    }

    void columnData(int j) {
        SlpColumn &c = columnRecord(j);
        if (atEnd()) fail("a column entry without data");
        while (!atEnd()) {
            const std::string_view key = word();
            if (key == "detrow") {
                c.detrow = find(NVRA_NAMES_ROWS, nameHere(), "row");
            } else if (key == "type") {
                c.vartype = integer(token(), "type");
                if (c.vartype & ~(NSLP_VAR_CASCADE | NSLP_VAR_FIXSTEP))
                    fail("the type " + std::to_string(c.vartype) + " has unknown bits");
            } else if (key == "seqnum") {
                c.seqnum = integer(token(), "sequence number");
            } else if (key == "initvalue") {
                c.initValue = number(token(), "initial value");
                c.value = c.initValue;
            } else if (key == "initstepbound") {
                c.initStep = std::min(number(token(), "initial step bound"), kInf);
                if (c.initStep < 0) fail("a negative initial step bound");
                c.step = c.initStep;
            } else if (key == "penalty") {
                c.penalty = number(token(), "penalty");
                if (c.penalty < 0) fail("a negative penalty");
            } else if (key == "damp") {
                c.damp = number(token(), "damping factor");
                if (!(c.damp > 0 && c.damp <= 1)) fail("a damping factor outside (0, 1]");
            } else if (key == "cascadelimit") {
                c.cascadeLimit = integer(token(), "cascade limit");
                if (c.cascadeLimit < 0) fail("a negative cascade limit");
            } else if (key == "delta") {
                const std::string_view kind = word();
                if (kind != "absolute" && kind != "relative")
                    fail("a delta is absolute or relative, not " + quoted(kind));
                c.deltaType = kind == "absolute" ? NSLP_DELTA_ABSOLUTE : NSLP_DELTA_RELATIVE;
                c.delta = number(token(), "delta");
                if (!(c.delta > 0)) fail("a delta must be > 0");
            } else {
                fail("unknown column data " + quoted(key.empty() ? token() : key) +
                     " (detrow, type, seqnum, initvalue, initstepbound, penalty, damp, "
                     "cascadelimit, delta)");
            }
        }
    }

    void rowData(int i) {
        if (static_cast<size_t>(i) >= out_.rows.size())
            out_.rows.resize(static_cast<size_t>(i) + 1);
        SlpRow &r = out_.rows[i];
        if (atEnd()) fail("a rowdata entry without data");
        while (!atEnd()) {
            const std::string_view key = word();
            if (key == "status") {
                r.status = integer(token(), "row status");
                if (r.status & ~(NSLP_ROW_ENFORCED | NSLP_ROW_OBJECTIVE))
                    fail("the row status " + std::to_string(r.status) + " has unknown bits");
            } else if (key == "weight") {
                r.weight = number(token(), "row weight");
                if (r.weight < 0) fail("a negative row weight");
            } else {
                fail("unknown row data " + quoted(key.empty() ? token() : key) +
                     " (status, weight)");
            }
        }
    }
};

} // namespace

nl::NlData *nonlinearData(NVRAprob prob) {
    auto *nl = dynamic_cast<tagNSLPproblem *>(prob->nonlinear);
    return nl ? &nl->data : nullptr;
}

bool holdsFileContent(const nl::NlData &d, int nrows, int ncols) {
    if (d.coefs.livePieces() > 0) return true;
    const auto noName = [](int) { return std::string(); };
    for (int j = 0; j < std::min(ncols, static_cast<int>(d.cols.size())); ++j)
        if (!columnKeys(d.cols[j], noName).empty()) return true;
    for (int i = 0; i < std::min(nrows, static_cast<int>(d.rows.size())); ++i)
        if (!rowKeys(d.rows[i]).empty()) return true;
    return false;
}

void checkWritable(const nl::NlData &d) {
    const nl::Coefficients &c = d.coefs;
    for (const nl::Piece &p : c.pieces) {
        if (p.row == nl::Coefficients::kDead) continue;
        for (int64_t k = p.begin; k < p.begin + p.length; ++k)
            if (c.type[k] == NSLP_TOK_FUN)
                checkUserFunctionName(d.userFunctions, static_cast<size_t>(c.value[k]));
    }
}

void writeNonlinearSection(const nl::NlData &d, const Model &m, const FileNames &names,
                           std::string_view header, FileSink &out) {
    SectionWriter(d, m, names, out).write(header);
}

void readNonlinearSection(const std::vector<FileModel::Line> &lines, const Model &m,
                          const std::vector<nl::UserFunction> &userFunctions, NlFileData &out) {
    const FormulaContext ctx{m.numCols(), &userFunctions};
    for (const FileModel::Line &line : lines)
        EntryReader(line, m, ctx, out).run();
}

void installNonlinear(nl::NlData &d, NlFileData &&in) noexcept {
    d.coefs = std::move(in.coefs);
    d.cols = std::move(in.cols);
    d.rows = std::move(in.rows);
}

} // namespace nvra
