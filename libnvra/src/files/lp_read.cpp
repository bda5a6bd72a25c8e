// lp_read.cpp: the LP-format reader.
//
// The format as this reader takes it (keywords in any case):
//   Minimize | Minimise | Minimum | Min | Maximize | Maximise | Maximum | Max
//     [name:] linear terms, a constant, and [ quadratic terms ] / 2
//   Subject To | Such That | st | s.t.
//     [name:] [column = 0|1 ->] expression (<= | >= | = | < | > | =< | =>) number
//     [name:] number <= expression <= number          (a ranged row; >= ... >= also)
//     (the expression of a row may be empty: "c1: = 0" is an empty row)
//   Bounds
//     column >= l | column <= u | column = v | l <= column <= u | column free
//   General | Generals | Gen | Integer | Integers      columns
//   Binary | Binaries | Bin                            columns (bounds [0, 1])
//   Semi-continuous | Semicontinuous | Semis | Semi    columns
//   Partial-integer | Partial-integers                 column threshold ... (the library's own)
//   SOS
//     [name:] S1:: column:weight column:weight ...     (S2 likewise)
//   Nonlinear                                          (the library's own; see nslp.h)
//     one entry per line, read by nl_section.cpp
//   End
// A section keyword counts only at the start of a line. '\' starts a comment to the end of its
// line. Names are made of letters, digits, non-ASCII bytes and !"#$%&()/,.;?@_`'{}|~ and
// start with neither a digit nor '.' nor '/'. Columns are numbered in order of first mention.
// Quadratic terms are "c x ^ 2" and "c x * y"; in the objective the bracket is usually divided
// by 2 (the objective is c'x + 0.5 x'Qx), in rows it is not (the row holds the products as
// written). Constants in a row's expression move to its right-hand side. A row "expr <= inf" or
// "expr >= -inf" is a free row ('N'). "inf" and "infinity" are numbers wherever a number may
// stand. A negative upper bound on a column whose lower bound is 0 and not given makes the
// lower bound -inf (with a warning). Semi-continuous columns take their lower bound as
// threshold. The file must end with End; anything after it is ignored. A comment
// "\Problem name: name" among the comment lines that open the file names the problem.
#include "files/file_io.h"
#include "store/store.h"

#include <tsl/robin_set.h>

#include <cmath>
#include <deque>

namespace nvra {
namespace {

enum class Keyword {
    None,
    Minimize,
    Maximize,
    SubjectTo,
    Bounds,
    General,
    Binary,
    Semi,
    Partial,
    Sos,
    Nonlinear,
    End
};

enum class Tok {
    Eof,
    Section,
    Name,
    Number,
    Plus,
    Minus,
    Times,
    Caret,
    Slash,
    LBracket,
    RBracket,
    Colon,
    Less,
    Greater,
    Equal,
    Arrow
};

struct Token {
    Tok kind = Tok::Eof;
    std::string_view text;
    double value = 0.0;
    Keyword keyword = Keyword::None;
    int64_t line = 0;
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Characters of names besides letters and digits (of which '.' and '/' cannot start one).
bool isNamePunct(char c) {
    static constexpr std::string_view kPunct = "!\"#$%&()/,.;?@_`'{}|~";
    return kPunct.find(c) != std::string_view::npos || static_cast<unsigned char>(c) >= 0x80;
}
bool startsName(char c) {
    return isLetter(c) || (isNamePunct(c) && c != '.' && c != '/');
}
bool inName(char c) {
    return isLetter(c) || isDigit(c) || isNamePunct(c);
}

bool isInfWord(std::string_view s) {
    return sameWord(s, "inf") || sameWord(s, "infinity");
}

struct KeywordWord {
    const char *word;
    Keyword keyword;
    const char *second; // a required second word, or nullptr
};
constexpr KeywordWord kKeywords[] = {
    {"minimize", Keyword::Minimize, nullptr},
    {"minimise", Keyword::Minimize, nullptr},
    {"minimum", Keyword::Minimize, nullptr},
    {"min", Keyword::Minimize, nullptr},
    {"maximize", Keyword::Maximize, nullptr},
    {"maximise", Keyword::Maximize, nullptr},
    {"maximum", Keyword::Maximize, nullptr},
    {"max", Keyword::Maximize, nullptr},
    {"subject", Keyword::SubjectTo, "to"},
    {"such", Keyword::SubjectTo, "that"},
    {"st", Keyword::SubjectTo, nullptr},
    {"s.t.", Keyword::SubjectTo, nullptr},
    {"st.", Keyword::SubjectTo, nullptr},
    {"bounds", Keyword::Bounds, nullptr},
    {"bound", Keyword::Bounds, nullptr},
    {"general", Keyword::General, nullptr},
    {"generals", Keyword::General, nullptr},
    {"gen", Keyword::General, nullptr},
    {"integer", Keyword::General, nullptr},
    {"integers", Keyword::General, nullptr},
    {"binary", Keyword::Binary, nullptr},
    {"binaries", Keyword::Binary, nullptr},
    {"bin", Keyword::Binary, nullptr},
    {"semi-continuous", Keyword::Semi, nullptr},
    {"semicontinuous", Keyword::Semi, nullptr},
    {"semis", Keyword::Semi, nullptr},
    {"semi", Keyword::Semi, nullptr},
    {"partial-integer", Keyword::Partial, nullptr},
    {"partial-integers", Keyword::Partial, nullptr},
    {"sos", Keyword::Sos, nullptr},
    {"nonlinear", Keyword::Nonlinear, nullptr},
    {"end", Keyword::End, nullptr},
};

// The word of s starting at `at`: up to a blank, a line end or a comment.
std::string_view wordAt(std::string_view s, size_t at) {
    size_t e = at;
    while (e < s.size() && !isBlank(s[e]) && s[e] != '\n' && s[e] != '\\')
        ++e;
    return s.substr(at, e - at);
}

// A section keyword at s[at] (the first word of a line): its length, or 0.
size_t keywordAt(std::string_view s, size_t at, Keyword &kw) {
    std::string_view w = wordAt(s, at);
    for (const auto &k : kKeywords) {
        if (!sameWord(w, k.word)) continue;
        size_t end = at + w.size();
        if (k.second) {
            size_t q = end;
            while (q < s.size() && isBlank(s[q]))
                ++q;
            std::string_view w2 = wordAt(s, q);
            if (!sameWord(w2, k.second)) return 0;
            end = q + w2.size();
        }
        kw = k.keyword;
        return end - at;
    }
    return 0;
}

// The LP tokens of a text, with section keywords recognised at the start of lines.
class Lexer {
  public:
    explicit Lexer(std::string_view text) : s_(text) {}
    std::string_view text() const { return s_; }

    const Token &peek(size_t k = 0) {
        while (ahead_.size() <= k)
            ahead_.push_back(scan());
        return ahead_[k];
    }
    Token next() {
        peek();
        Token t = ahead_.front();
        ahead_.pop_front();
        return t;
    }
    int64_t line() { return peek().line; }

    // The rest of the line of the last token taken and the lines after it, for a section read
    // line by line (nothing may have been peeked beyond that token).
    std::string_view rest() const { return s_.substr(p_); }
    // Goes on at the start of a line of the text (offset pos, line number line).
    void restart(size_t pos, int64_t line) {
        p_ = pos;
        line_ = lastLine_ = line;
        lineStart_ = true;
        ahead_.clear();
    }

  private:
    std::string_view s_;
    size_t p_ = 0;
    int64_t line_ = 1;
    int64_t lastLine_ = 1;
    bool lineStart_ = true;
    std::deque<Token> ahead_;

    Token scan() {
        for (;;) {
            while (p_ < s_.size() && isBlank(s_[p_]))
                ++p_;
            if (p_ == s_.size()) {
                Token t = make(Tok::Eof, 0);
                t.line = lastLine_; // the last line that holds anything
                return t;
            }
            if (s_[p_] == '\n') {
                ++p_;
                if (p_ < s_.size()) lastLine_ = line_ + 1;
                ++line_;
                lineStart_ = true;
                continue;
            }
            if (s_[p_] == '\\') {
                while (p_ < s_.size() && s_[p_] != '\n')
                    ++p_;
                continue;
            }
            break;
        }
        if (lineStart_) {
            lineStart_ = false;
            Keyword kw;
            if (size_t n = keywordAt(s_, p_, kw)) {
                Token t = make(Tok::Section, n);
                t.keyword = kw;
                return t;
            }
        }
        const char c = s_[p_];
        const char d = p_ + 1 < s_.size() ? s_[p_ + 1] : '\0';
        if (isDigit(c) || (c == '.' && isDigit(d))) return number();
        if (startsName(c)) {
            size_t e = p_;
            while (e < s_.size() && inName(s_[e]))
                ++e;
            return make(Tok::Name, e - p_);
        }
        switch (c) {
        case '+':
            return make(Tok::Plus, 1);
        case '-':
            return d == '>' ? make(Tok::Arrow, 2) : make(Tok::Minus, 1);
        case '*':
            return make(Tok::Times, 1);
        case '^':
            return make(Tok::Caret, 1);
        case '/':
            return make(Tok::Slash, 1);
        case '[':
            return make(Tok::LBracket, 1);
        case ']':
            return make(Tok::RBracket, 1);
        case ':':
            return make(Tok::Colon, 1);
        case '<':
            return make(Tok::Less, d == '=' ? 2 : 1);
        case '>':
            return make(Tok::Greater, d == '=' ? 2 : 1);
        case '=':
            if (d == '<') return make(Tok::Less, 2);
            if (d == '>') return make(Tok::Greater, 2);
            return make(Tok::Equal, 1);
        default:
            throw ReadError{line_, "unexpected character " + quoted(s_.substr(p_, 1))};
        }
    }

    Token number() {
        size_t e = p_;
        while (e < s_.size() && (isDigit(s_[e]) || s_[e] == '.'))
            ++e;
        if (e < s_.size() && (s_[e] == 'e' || s_[e] == 'E')) {
            size_t x = e + 1;
            if (x < s_.size() && (s_[x] == '+' || s_[x] == '-')) ++x;
            if (x < s_.size() && isDigit(s_[x])) {
                while (x < s_.size() && isDigit(s_[x]))
                    ++x;
                e = x;
            }
        }
        Token t = make(Tok::Number, e - p_);
        if (!parseNumber(t.text, t.value))
            throw ReadError{line_, "invalid number " + quoted(t.text)};
        return t;
    }

    Token make(Tok kind, size_t len) {
        Token t;
        t.kind = kind;
        t.text = s_.substr(p_, len);
        t.line = line_;
        p_ += len;
        return t;
    }
};

bool isComparison(Tok k) {
    return k == Tok::Less || k == Tok::Greater || k == Tok::Equal;
}

// A linear and quadratic expression as read: quadratic terms carry the coefficient of the
// product as written (divisor applied).
struct Expr {
    struct Lin {
        int32_t col;
        double coef;
    };
    struct Quad {
        int32_t i, j;
        double coef;
    };
    std::vector<Lin> lin;
    std::vector<Quad> quad;
    double constant = 0.0;
    void clear() {
        lin.clear();
        quad.clear();
        constant = 0.0;
    }
};

// The name in a comment "\Problem name: ..." among the comment lines that open the file.
std::string_view problemName(std::string_view text) {
    constexpr std::string_view kKey = "problem name:";
    size_t p = 0;
    while (p < text.size()) {
        size_t e = text.find('\n', p);
        if (e == std::string_view::npos) e = text.size();
        std::string_view line = trim(text.substr(p, e - p));
        p = e + 1;
        if (line.empty()) continue;
        if (line[0] != '\\') break;
        line = trim(line.substr(1));
        if (line.size() >= kKey.size() && sameWord(line.substr(0, kKey.size()), kKey))
            return trim(line.substr(kKey.size()));
    }
    return {};
}

class LpReader {
  public:
    LpReader(std::string_view text, FileModel &fm, Warnings &warnings)
        : lex_(text), fm_(fm), warnings_(warnings) {
        fm_.name = problemName(text);
    }

    void run() {
        const Token &first = lex_.peek();
        if (first.kind != Tok::Section ||
            (first.keyword != Keyword::Minimize && first.keyword != Keyword::Maximize))
            fail(first.kind == Tok::Eof ? "the file is empty"
                                        : "an LP file starts with Minimize or Maximize");
        for (;;) {
            const Token t = lex_.next();
            if (t.kind == Tok::Eof) fail("the file ends without End (is it complete?)", t.line);
            if (t.kind != Tok::Section) fail("unexpected " + quoted(t.text), t.line);
            switch (t.keyword) {
            case Keyword::Minimize:
            case Keyword::Maximize:
                if (objectiveSeen_) fail("a second objective section", t.line);
                objectiveSeen_ = true;
                fm_.sense = t.keyword == Keyword::Maximize ? -1 : 1;
                objective();
                break;
            case Keyword::SubjectTo:
                while (statementAhead())
                    constraint();
                break;
            case Keyword::Bounds:
                while (statementAhead())
                    bound();
                break;
            case Keyword::General:
                while (statementAhead())
                    fm_.makeInteger(column(name()));
                break;
            case Keyword::Binary:
                while (statementAhead())
                    binary(column(name()));
                break;
            case Keyword::Semi:
                while (statementAhead())
                    fm_.makeSemi(column(name()));
                break;
            case Keyword::Partial:
                while (statementAhead())
                    partial();
                break;
            case Keyword::Sos:
                while (statementAhead())
                    sos();
                break;
            case Keyword::Nonlinear:
                nonlinear(t.line);
                break;
            case Keyword::End:
                fm_.settle();
                return;
            case Keyword::None:
                break;
            }
        }
    }

  private:
    Lexer lex_;
    FileModel &fm_;
    Warnings &warnings_;
    NameIndex cols_;
    bool objectiveSeen_ = false;
    Expr expr_;

    [[noreturn]] void fail(const std::string &message, int64_t line = -1) {
        throw ReadError{line >= 0 ? line : lex_.line(), message};
    }

    static const char *describe(const Token &t) {
        switch (t.kind) {
        case Tok::Eof:
            return "the end of the file";
        case Tok::Section:
            return "a section keyword";
        default:
            return nullptr;
        }
    }
    [[noreturn]] void unexpected(const char *wanted) {
        const Token &t = lex_.peek();
        const char *what = describe(t);
        fail(std::string("expected ") + wanted + ", found " + (what ? what : quoted(t.text)));
    }

    bool statementAhead() {
        Tok k = lex_.peek().kind;
        return k != Tok::Section && k != Tok::Eof;
    }
    bool accept(Tok k) {
        if (lex_.peek().kind != k) return false;
        lex_.next();
        return true;
    }

    std::string_view name() {
        if (lex_.peek().kind != Tok::Name) unexpected("a name");
        return lex_.next().text;
    }

    void checkName(std::string_view s, const char *kind) {
        if (const char *fault = nameFault(s))
            fail(std::string(kind) + " name " + quoted(s) + " " + fault);
    }

    // The column of that name, created at its first mention.
    int32_t column(std::string_view s) {
        auto it = cols_.find(s);
        if (it != cols_.end()) return it->second;
        checkName(s, "column");
        int32_t c = fm_.addCol(s);
        cols_.emplace(s, c);
        return c;
    }

    // Whether a signed number (digits, inf, infinity) starts k tokens ahead; n receives the
    // number of its tokens.
    bool numberAhead(size_t k, size_t &n) {
        size_t i = k;
        while (lex_.peek(i).kind == Tok::Plus || lex_.peek(i).kind == Tok::Minus)
            ++i;
        const Token &t = lex_.peek(i);
        if (t.kind != Tok::Number && !(t.kind == Tok::Name && isInfWord(t.text))) return false;
        n = i - k + 1;
        return true;
    }

    // A run of + and - signs: their product; *any tells whether there was one.
    double signs(bool *any = nullptr) {
        double sign = 1.0;
        bool seen = false;
        for (;; seen = true) {
            if (accept(Tok::Minus))
                sign = -sign;
            else if (!accept(Tok::Plus))
                break;
        }
        if (any) *any = seen;
        return sign;
    }

    double signedNumber() {
        const double sign = signs();
        const Token &t = lex_.peek();
        if (t.kind == Tok::Number) return sign * lex_.next().value;
        if (t.kind == Tok::Name && isInfWord(t.text)) {
            lex_.next();
            return sign * kInf;
        }
        unexpected("a number");
    }

    // ---- expressions ----

    // Reads terms into e while they continue (a term after the first needs a sign).
    void expression(Expr &e) {
        e.clear();
        bool first = true;
        for (;;) {
            const Tok k = lex_.peek().kind;
            const bool signed_ = k == Tok::Plus || k == Tok::Minus;
            if (!signed_ && !(first && (k == Tok::Number || k == Tok::Name || k == Tok::LBracket)))
                return;
            term(e, signs());
            first = false;
        }
    }

    void term(Expr &e, double sign) {
        const Token &t = lex_.peek();
        if (t.kind == Tok::LBracket) return bracket(e, sign);
        double coef = 1.0;
        if (t.kind == Tok::Number) {
            coef = lex_.next().value;
            if (lex_.peek().kind != Tok::Name) {
                e.constant += sign * coef;
                return;
            }
        } else if (t.kind != Tok::Name) {
            unexpected("a term");
        }
        if (std::fabs(coef) >= kInf) fail("an infinite coefficient");
        int32_t c = column(name());
        if (lex_.peek().kind == Tok::Caret || lex_.peek().kind == Tok::Times)
            fail("quadratic terms must stand inside [ ]");
        e.lin.push_back({c, sign * coef});
    }

    void bracket(Expr &e, double sign) {
        lex_.next(); // [
        const size_t first = e.quad.size();
        bool start = true;
        while (!accept(Tok::RBracket)) {
            bool hasSign;
            const double s = signs(&hasSign);
            if (!start && !hasSign) unexpected("+, - or ]");
            start = false;
            double coef = 1.0;
            if (lex_.peek().kind == Tok::Number) coef = lex_.next().value;
            if (std::fabs(coef) >= kInf) fail("an infinite coefficient");
            if (lex_.peek().kind != Tok::Name) unexpected("a quadratic term");
            int32_t i = column(name()), j;
            if (accept(Tok::Caret)) {
                const Token &p = lex_.peek();
                if (p.kind != Tok::Number || p.value != 2.0) unexpected("the power 2");
                lex_.next();
                j = i;
            } else if (accept(Tok::Times)) {
                j = column(name());
            } else {
                unexpected("^ 2 or * and a column (only quadratic terms stand inside [ ])");
            }
            e.quad.push_back({i, j, s * coef});
        }
        double divisor = 1.0;
        if (accept(Tok::Slash)) {
            if (lex_.peek().kind != Tok::Number || lex_.peek().value == 0.0)
                unexpected("a divisor after /");
            divisor = lex_.next().value;
        }
        for (size_t k = first; k < e.quad.size(); ++k)
            e.quad[k].coef *= sign / divisor;
    }

    // ---- sections ----

    // The nonlinear section, line by line up to the next section keyword: its entry lines go to
    // the file model as they are (nl_section.cpp reads them once the model is built).
    void nonlinear(int64_t header) {
        if (fm_.nlSection) fail("a second nonlinear section", header);
        fm_.nlSection = header;
        const std::string_view text = lex_.rest();
        const size_t base = lex_.text().size() - text.size();
        size_t eol = text.find('\n');
        const std::string_view after = trim(text.substr(0, eol));
        if (!after.empty() && after[0] != '\\')
            fail("unexpected " + quoted(after) + " after the section keyword", header);
        int64_t line = header;
        while (eol != std::string_view::npos) {
            const size_t start = eol + 1;
            ++line;
            eol = text.find('\n', start);
            const std::string_view raw =
                text.substr(start, eol == std::string_view::npos ? eol : eol - start);
            const std::string_view s = trim(raw);
            Keyword kw;
            size_t first = 0;
            while (first < raw.size() && isBlank(raw[first]))
                ++first;
            if (!s.empty() && keywordAt(raw, first, kw)) {
                lex_.restart(base + start, line);
                return;
            }
            if (!s.empty() && s[0] != '\\') fm_.nlLines.push_back({line, s});
        }
        lex_.restart(base + text.size(), line);
    }

    void objective() {
        if (lex_.peek().kind == Tok::Name && lex_.peek(1).kind == Tok::Colon) {
            lex_.next();
            lex_.next();
        }
        expression(expr_);
        if (statementAhead()) unexpected("+ or - between terms");
        for (const auto &l : expr_.lin)
            fm_.cost[l.col] += l.coef;
        // 0.5 x'Qx: a diagonal element of Q is twice the coefficient of x_i^2, an off-diagonal
        // one the coefficient of x_i x_j.
        for (const auto &q : expr_.quad) {
            fm_.q1.push_back(q.i);
            fm_.q2.push_back(q.j);
            fm_.qv.push_back(q.i == q.j ? 2.0 * q.coef : q.coef);
        }
        fm_.objConstant = expr_.constant;
    }

    void constraint() {
        const int64_t line = lex_.line();
        std::string_view rowName;
        if (lex_.peek().kind == Tok::Name && lex_.peek(1).kind == Tok::Colon) {
            rowName = lex_.next().text;
            lex_.next();
            checkName(rowName, "row");
        }
        // An indicator: column = value ->
        int32_t indCol = -1, indComp = 0;
        if (lex_.peek().kind == Tok::Name && lex_.peek(1).kind == Tok::Equal &&
            lex_.peek(2).kind == Tok::Number && lex_.peek(3).kind == Tok::Arrow) {
            indCol = column(lex_.next().text);
            lex_.next();
            const double v = lex_.next().value;
            lex_.next();
            if (v != 0.0 && v != 1.0) fail("an indicator value must be 0 or 1");
            indComp = v == 1.0 ? 1 : -1;
        }
        // A left-hand number: number op expression [op number].
        size_t n;
        double lhs = 0.0;
        Tok lhsOp = Tok::Eof;
        if (numberAhead(0, n) && isComparison(lex_.peek(n).kind)) {
            lhs = signedNumber();
            lhsOp = lex_.next().kind;
        }
        // The expression may be empty ("c1: = 0", as several writers give empty rows).
        expression(expr_);
        Tok rhsOp = Tok::Eof;
        double rhs = 0.0;
        if (isComparison(lex_.peek().kind)) {
            rhsOp = lex_.next().kind;
            rhs = signedNumber();
        } else if (lhsOp == Tok::Eof) {
            unexpected("<=, >= or =");
        }
        if (lhsOp != Tok::Eof && rhsOp != Tok::Eof && (lhsOp != rhsOp || lhsOp == Tok::Equal))
            fail("a ranged row needs <= on both sides (or >= on both)", line);
        // The row's interval [lo, hi] before the constant moves over.
        double lo = -kInf, hi = kInf;
        if (lhsOp != Tok::Eof) side(lhsOp, lhs, false, lo, hi, line);
        if (rhsOp != Tok::Eof) side(rhsOp, rhs, true, lo, hi, line);
        if (lo > hi) fail("the row's range is empty", line);
        const int32_t row = addRow(rowName, lo, hi, lhsOp != Tok::Eof && rhsOp != Tok::Eof);
        if (indCol >= 0) fm_.indicators.push_back({row, indCol, indComp});
    }

    // The side "expr op v" (exprLeft) or "v op expr" of a row's interval [lo, hi].
    void side(Tok op, double v, bool exprLeft, double &lo, double &hi, int64_t line) {
        if (op == Tok::Equal) {
            if (std::fabs(v) >= kInf) fail("an equality with an infinite right-hand side", line);
            lo = hi = v;
        } else if ((op == Tok::Less) == exprLeft) {
            hi = v;
        } else {
            lo = v;
        }
    }

    // The row for expr_ within [lo, hi] (ranged: both sides were given): free, L, G, E or R;
    // the expression's constant moves to the right-hand side.
    int32_t addRow(std::string_view name, double lo, double hi, bool ranged) {
        char type = 'R';
        double rhs = hi, range = 0.0;
        if (lo <= -kInf && hi >= kInf) {
            type = 'N';
            rhs = 0.0;
        } else if (lo <= -kInf) {
            type = 'L';
        } else if (hi >= kInf) {
            type = 'G';
            rhs = lo;
        } else if (!ranged) {
            type = 'E';
        } else {
            range = hi - lo;
        }
        if (type != 'N') rhs -= expr_.constant;
        const int32_t row = fm_.addRow(name, type);
        fm_.rhs[row] = rhs;
        fm_.range[row] = range;
        for (const auto &l : expr_.lin)
            fm_.addEntry(row, l.col, l.coef);
        if (!expr_.quad.empty()) {
            fm_.qrows.push_back({row, {}, {}, {}});
            auto &q = fm_.qrows.back();
            // x'Px: a diagonal element is the coefficient of x_i^2, an off-diagonal one half
            // the coefficient of x_i x_j.
            for (const auto &t : expr_.quad) {
                q.c1.push_back(t.i);
                q.c2.push_back(t.j);
                q.v.push_back(t.i == t.j ? t.coef : 0.5 * t.coef);
            }
        }
        return row;
    }

    void bound() {
        const int64_t line = lex_.line();
        size_t n;
        if (numberAhead(0, n)) { // l <= x [<= u], u >= x [>= l], v = x
            double v = signedNumber();
            Tok op = lex_.peek().kind;
            if (!isComparison(op)) unexpected("<=, >= or =");
            lex_.next();
            int32_t c = column(name());
            applyBound(c, op, v, false, line);
            if (isComparison(lex_.peek().kind)) {
                Tok op2 = lex_.next().kind;
                applyBound(c, op2, signedNumber(), true, line);
            }
            return;
        }
        int32_t c = column(name());
        const Token &t = lex_.peek();
        if (t.kind == Tok::Name && sameWord(t.text, "free")) {
            lex_.next();
            fm_.setLower(c, -kInf);
            fm_.ub[c] = kInf;
            return;
        }
        if (!isComparison(t.kind)) unexpected("<=, >=, = or free");
        Tok op = lex_.next().kind;
        applyBound(c, op, signedNumber(), true, line);
    }

    // The bound "column op v" (columnLeft) or "v op column".
    void applyBound(int32_t c, Tok op, double v, bool columnLeft, int64_t line) {
        if (op == Tok::Equal) {
            if (std::fabs(v) >= kInf) fail("a column fixed at an infinite value", line);
            fm_.setLower(c, v);
            fm_.ub[c] = v;
        } else if ((op == Tok::Less) == columnLeft) {
            fm_.setUpper(c, v, line, warnings_);
        } else {
            fm_.setLower(c, v);
        }
    }

    void binary(int32_t c) {
        fm_.colType[c] = 'B';
        fm_.lb[c] = std::max(fm_.lb[c], 0.0);
        fm_.ub[c] = std::min(fm_.ub[c], 1.0);
    }

    void partial() {
        int32_t c = column(name());
        fm_.colType[c] = 'P';
        fm_.limit[c] = signedNumber();
    }

    bool setTypeAhead(size_t k) {
        const Token &t = lex_.peek(k);
        return t.kind == Tok::Name && (sameWord(t.text, "s1") || sameWord(t.text, "s2")) &&
               lex_.peek(k + 1).kind == Tok::Colon && lex_.peek(k + 2).kind == Tok::Colon;
    }

    void sos() {
        std::string_view setName;
        if (!setTypeAhead(0)) {
            setName = name();
            if (!accept(Tok::Colon) || !setTypeAhead(0)) unexpected("name: S1:: or S2::");
            checkName(setName, "set");
        }
        const char type = lex_.next().text[1];
        lex_.next();
        lex_.next();
        fm_.setNames.push_back(setName);
        fm_.setType.push_back(type);
        fm_.setStart.push_back(fm_.setStart.back());
        tsl::robin_set<int32_t> cols;
        tsl::robin_set<double> weights;
        // Members "column:weight" until the next set or section.
        size_t n;
        while (lex_.peek().kind == Tok::Name && lex_.peek(1).kind == Tok::Colon &&
               numberAhead(2, n)) {
            const int64_t line = lex_.line();
            int32_t c = column(lex_.next().text);
            lex_.next();
            double w = signedNumber();
            if (std::fabs(w) >= kInf) fail("an infinite weight", line);
            if (!cols.insert(c).second)
                fail("column " + quoted(fm_.colNames[c]) + " is twice in one set", line);
            if (!weights.insert(w).second)
                fail("two members of one set have the same weight (weights order the members "
                     "and must differ)",
                     line);
            fm_.setCol.push_back(c);
            fm_.setRef.push_back(w);
            ++fm_.setStart.back();
        }
    }
};

} // namespace

const char *lpNameFault(std::string_view s) {
    if (!startsName(s.front())) return "starts with a character LP names cannot start with";
    for (char c : s)
        if (!inName(c)) return "holds a character LP names cannot hold";
    for (const auto &k : kKeywords)
        if (sameWord(s, k.word)) return "is a keyword of the LP format";
    if (isInfWord(s) || sameWord(s, "free")) return "is a keyword of the LP format";
    return nullptr;
}

void readLp(std::string_view text, FileModel &fm, Warnings &warnings) {
    LpReader(text, fm, warnings).run();
}

} // namespace nvra
