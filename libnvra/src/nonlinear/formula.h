// formula.h: formulas as the library keeps them (parsed form, see nslp.h), their checks on entry
// and node structure, the conversion from the unparsed (infix) form, and the text form in both
// directions. Everything here is iterative: formulas of any depth are safe.
#pragma once

#include "nonlinear/functions.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace nvra::nl {

// A formula in parsed form without its end token; NSLP_TOK_DEL tokens are dropped on entry.
struct Formula {
    std::vector<uint8_t> type;
    std::vector<double> value;

    int64_t size() const { return static_cast<int64_t>(type.size()); }
    bool empty() const { return type.empty(); }
    void clear() {
        type.clear();
        value.clear();
    }
    void push(int t, double v) {
        type.push_back(static_cast<uint8_t>(t));
        value.push_back(v);
    }
};

// A registered user function (NSLPadduserfunction).
struct UserFunction {
    std::string name;
    int type = NSLP_USERFUNC_VALUE;
    int nargs = 0;
    void (*fn)(void) = nullptr;
    void *data = nullptr;
};

// What the checks of a formula need from its problem.
struct FormulaContext {
    int ncols = 0;
    const std::vector<UserFunction> *userFunctions = nullptr; // id k is entry k - 1
};

// The node structure of a parsed formula. Node i stands for token tok[i] (NSLP_TOK_RB tokens are
// not nodes); its arguments are nodes arg[argStart[i]] .. arg[argStart[i + 1] - 1] in order
// (operators: left, right; functions: first argument first). Its subtree is the nodes first[i]
// .. i. The last node is the root. constant[i] tells whether the subtree reads no column and calls
// no user function; cval[i] is then its value.
struct Tree {
    std::vector<int32_t> tok;
    std::vector<int32_t> argStart{0};
    std::vector<int32_t> arg;
    std::vector<int32_t> first;
    std::vector<uint8_t> constant;
    std::vector<double> cval;

    int size() const { return static_cast<int>(tok.size()); }
    int nargs(int i) const { return argStart[i + 1] - argStart[i]; }
    const int32_t *args(int i) const { return arg.data() + argStart[i]; }
    void clear();
};

// Node kind of node i of a formula with tree t.
Node nodeKind(const Formula &f, const Tree &t, int i);

// Checks formula f (see nslp.h for what is checked) and builds its tree. Returns true, or false
// with the reason in why ("token 4: ...", positions counted from 0).
bool analyse(const Formula &f, const FormulaContext &ctx, Tree &t, std::string &why);

// Reads a formula handed in through the C interface: tokens from position begin of type/value up
// to end (exclusive), or with end < 0 up to its NSLP_TOK_EOF (which must come before limit, the
// number of tokens the arrays hold, or INT64_MAX when unknown). An NSLP_TOK_EOF before end is an
// error unless it is the last token of the range. parsed: the tokens' form. The result is in
// parsed form and not yet analysed. *next (may be null) receives the position after the formula
// and its end token.
bool readTokens(const int *type, const double *value, int64_t begin, int64_t end, int64_t limit,
                int parsed, Formula &f, int64_t *next, std::string &why);

// The infix-to-parsed conversion of unparsed tokens (no end token among them). Precedence:
// ^ (right-associative) over unary minus over * and / over + and -. A unary minus applied to a
// number becomes a negative constant.
bool parseInfix(const std::vector<int> &type, const std::vector<double> &value, Formula &f,
                std::string &why);

// The text form (nslp.h): names of columns are looked up with findColumn (-1: none); user
// functions by name in ctx. The result is in parsed form and not yet analysed.
bool parseText(std::string_view text, const FormulaContext &ctx,
               const std::function<int(std::string_view)> &findColumn, Formula &f,
               std::string &why);

// A name as the text form writes it: a plain identifier (a letter or '_', then letters, digits
// and '_') as it is, any other name in double quotes, with a quote inside doubled.
std::string nameText(std::string_view name);
// Reads a name in double quotes (a doubled quote stands for one) that starts at text[pos] into
// name; the position after its closing quote, or std::string_view::npos when it has none.
size_t readQuotedName(std::string_view text, size_t pos, std::string &name);

// The text of an analysed formula; columns are named by columnName, user functions by ctx.
std::string formulaText(const Formula &f, const Tree &t, const FormulaContext &ctx,
                        const std::function<std::string(int)> &columnName);

// The unparsed tokens of an analysed formula (without an end token), appended to type/value.
void unparsedTokens(const Formula &f, const Tree &t, std::vector<int> &type,
                    std::vector<double> &value);

} // namespace nvra::nl
