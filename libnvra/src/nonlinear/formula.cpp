// formula.cpp: checks, node structure, infix conversion and text form of formulas (see
// formula.h).
#include "nonlinear/formula.h"

#include "core/registry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace nvra::nl {
namespace {

bool knownTokenType(int t) {
    switch (t) {
    case NSLP_TOK_EOF:
    case NSLP_TOK_CON:
    case NSLP_TOK_COL:
    case NSLP_TOK_FUN:
    case NSLP_TOK_IFUN:
    case NSLP_TOK_LB:
    case NSLP_TOK_RB:
    case NSLP_TOK_DEL:
    case NSLP_TOK_OP:
        return true;
    default:
        return false;
    }
}

bool integral(double v) {
    return std::fabs(v) < 2147483648.0 && v == std::trunc(v);
}

std::string at(int64_t p, const std::string &text) {
    return "token " + std::to_string(p) + ": " + text;
}

const UserFunction *userFunction(const FormulaContext &ctx, double id) {
    if (!ctx.userFunctions || !integral(id) || id < 1 ||
        id > static_cast<double>(ctx.userFunctions->size()))
        return nullptr;
    return &(*ctx.userFunctions)[static_cast<size_t>(id) - 1];
}

// The name of an operation for messages: "operator '*'", "function 'exp'", "user function 'f'".
std::string opName(const Formula &f, int64_t p, const FormulaContext &ctx) {
    const double v = f.value[p];
    switch (f.type[p]) {
    case NSLP_TOK_OP:
        return std::string("operator '") + operatorInfo(static_cast<int>(v))->name + "'";
    case NSLP_TOK_IFUN:
        return std::string("function '") + functionInfo(static_cast<int>(v))->name + "'";
    default:
        return "user function '" + userFunction(ctx, v)->name + "'";
    }
}

// Checks a pwl node's arguments: x, then constant breakpoints with non-decreasing x.
bool checkPwl(const Tree &t, int node, int64_t p, std::string &why) {
    const int n = t.nargs(node);
    if ((n - 1) % 2 != 0) {
        why = at(p, "function 'pwl' needs x and pairs of breakpoint coordinates, not " +
                        std::to_string(n) + " arguments");
        return false;
    }
    const int32_t *a = t.args(node);
    for (int i = 1; i < n; ++i)
        if (!t.constant[a[i]]) {
            why = at(p, "the breakpoints of function 'pwl' must be constants");
            return false;
        }
    for (int i = 3; i < n; i += 2)
        if (t.cval[a[i]] < t.cval[a[i - 2]]) {
            why = at(p, "the breakpoints of function 'pwl' must have non-decreasing x (" +
                            numberText(t.cval[a[i]]) + " follows " + numberText(t.cval[a[i - 2]]) +
                            ")");
            return false;
        }
    return true;
}

} // namespace

void Tree::clear() {
    tok.clear();
    argStart.assign(1, 0);
    arg.clear();
    first.clear();
    constant.clear();
    cval.clear();
}

Node nodeKind(const Formula &f, const Tree &t, int i) {
    const int64_t p = t.tok[i];
    switch (f.type[p]) {
    case NSLP_TOK_CON:
        return Node::Const;
    case NSLP_TOK_COL:
        return Node::Var;
    case NSLP_TOK_FUN:
        return Node::User;
    case NSLP_TOK_OP:
        return operatorInfo(static_cast<int>(f.value[p]))->node;
    default:
        return functionInfo(static_cast<int>(f.value[p]))->node;
    }
}

bool analyse(const Formula &f, const FormulaContext &ctx, Tree &t, std::string &why) {
    t.clear();
    const int64_t n = f.size();
    if (n == 0) {
        why = "the formula is empty";
        return false;
    }
    t.tok.reserve(n);
    t.first.reserve(n);
    t.constant.reserve(n);
    t.cval.reserve(n);
    t.argStart.reserve(n + 1);
    t.arg.reserve(n);
    std::vector<int32_t> stack; // nodes, -1 for the start of an argument list
    std::vector<double> args;
    // Appends node p whose arguments are the last k entries of the stack: in stack order, or
    // reversed (functions, whose first argument is on top).
    auto addNode = [&](int64_t p, int k, bool reversed, Node kind) -> bool {
        const int node = t.size();
        const size_t base = stack.size() - k;
        int32_t first = node;
        bool constant = kind != Node::Var && kind != Node::User;
        args.clear();
        for (int i = 0; i < k; ++i) {
            const int32_t a = stack[reversed ? stack.size() - 1 - i : base + i];
            t.arg.push_back(a);
            first = std::min(first, t.first[a]);
            constant = constant && t.constant[a];
            args.push_back(t.cval[a]);
        }
        stack.resize(base);
        t.tok.push_back(static_cast<int32_t>(p));
        t.argStart.push_back(static_cast<int32_t>(t.arg.size()));
        t.first.push_back(first);
        double v = kind == Node::Const ? f.value[p] : 0.0;
        if (kind == Node::Div && t.constant[t.arg.back()] && t.cval[t.arg.back()] == 0) {
            why = at(p, "division by a constant zero");
            return false;
        }
        if (constant && k > 0)
            if (const char *err = constantEval(kind, args.data(), k, v)) {
                why = at(p, "the constant part of the formula cannot be evaluated: " +
                                std::string(err));
                return false;
            }
        t.constant.push_back(constant);
        t.cval.push_back(v);
        stack.push_back(node);
        return true;
    };
    for (int64_t p = 0; p < n; ++p) {
        const int type = f.type[p];
        const double v = f.value[p];
        switch (type) {
        case NSLP_TOK_CON:
            if (!std::isfinite(v)) {
                why = at(p, "a constant that is not finite");
                return false;
            }
            addNode(p, 0, false, Node::Const);
            break;
        case NSLP_TOK_COL:
            if (!integral(v) || v < 0 || v >= ctx.ncols) {
                why = at(p, "column " + numberText(v) + " is not a column of the problem (it has " +
                                std::to_string(ctx.ncols) + " columns)");
                return false;
            }
            addNode(p, 0, false, Node::Var);
            break;
        case NSLP_TOK_RB:
            stack.push_back(-1);
            break;
        case NSLP_TOK_OP: {
            const OpInfo *op = integral(v) ? operatorInfo(static_cast<int>(v)) : nullptr;
            if (!op) {
                why = at(p, "unknown operator code " + numberText(v));
                return false;
            }
            const int k = op->minArgs;
            const size_t have = stack.size();
            if (have < static_cast<size_t>(k) ||
                std::any_of(stack.end() - k, stack.end(), [](int32_t e) { return e < 0; })) {
                why = at(p, opName(f, p, ctx) + " lacks an operand");
                return false;
            }
            if (!addNode(p, k, false, op->node)) return false;
            break;
        }
        case NSLP_TOK_IFUN:
        case NSLP_TOK_FUN: {
            int minArgs, maxArgs;
            Node kind = Node::User;
            if (type == NSLP_TOK_IFUN) {
                const OpInfo *fn = integral(v) ? functionInfo(static_cast<int>(v)) : nullptr;
                if (!fn) {
                    why = at(p, "unknown internal function " + numberText(v));
                    return false;
                }
                minArgs = fn->minArgs;
                maxArgs = fn->maxArgs;
                kind = fn->node;
            } else {
                const UserFunction *u = userFunction(ctx, v);
                if (!u) {
                    why = at(p, "user function " + numberText(v) + " is not registered");
                    return false;
                }
                minArgs = maxArgs = u->nargs;
            }
            const auto mark = std::find(stack.rbegin(), stack.rend(), -1);
            if (mark == stack.rend()) {
                why = at(p, opName(f, p, ctx) +
                                " has no start of its arguments (token NSLP_TOK_RB) before it");
                return false;
            }
            const int k = static_cast<int>(mark - stack.rbegin());
            if (k < minArgs || (maxArgs >= 0 && k > maxArgs)) {
                const std::string want =
                    minArgs == maxArgs ? std::to_string(minArgs)
                    : maxArgs < 0      ? "at least " + std::to_string(minArgs)
                                       : std::to_string(minArgs) + " to " + std::to_string(maxArgs);
                why = at(p, opName(f, p, ctx) + " takes " + want + " argument" +
                                (want == "1" ? "" : "s") + ", not " + std::to_string(k));
                return false;
            }
            // Remove the start mark under the arguments, then build the node.
            stack.erase(stack.end() - k - 1);
            if (!addNode(p, k, true, kind)) return false;
            if (kind == Node::Pwl && !checkPwl(t, t.size() - 1, p, why)) return false;
            break;
        }
        default:
            why = at(p, knownTokenType(type) ? "token type " + std::to_string(type) +
                                                   " does not belong in a parsed formula"
                                             : "unknown token type " + std::to_string(type));
            return false;
        }
    }
    if (stack.size() != 1 || stack[0] < 0) {
        const bool marks = std::find(stack.begin(), stack.end(), -1) != stack.end();
        why = marks ? "the formula has a start of arguments (NSLP_TOK_RB) that no function closes"
                    : "the formula leaves " + std::to_string(stack.size()) +
                          " values where one is expected: an operator or function is missing";
        return false;
    }
    return true;
}

bool readTokens(const int *type, const double *value, int64_t begin, int64_t end, int64_t limit,
                int parsed, Formula &f, int64_t *next, std::string &why) {
    f.clear();
    std::vector<int> ut;
    std::vector<double> uv;
    int64_t p = begin;
    for (;; ++p) {
        if (end >= 0 ? p >= end : p >= limit) {
            if (end < 0) {
                why = "the formula has no end token (NSLP_TOK_EOF)";
                return false;
            }
            break;
        }
        const int t = type[p];
        if (t == NSLP_TOK_EOF) {
            if (end >= 0 && p != end - 1) {
                why = at(p - begin, "an end token (NSLP_TOK_EOF) inside the formula");
                return false;
            }
            ++p;
            break;
        }
        if (!knownTokenType(t)) {
            why = at(p - begin, "unknown token type " + std::to_string(t));
            return false;
        }
        if (!parsed) {
            ut.push_back(t);
            uv.push_back(value[p]);
        } else if (t != NSLP_TOK_DEL) {
            if (t == NSLP_TOK_LB) {
                why = at(p - begin, "a left parenthesis (NSLP_TOK_LB) in a parsed formula");
                return false;
            }
            f.push(t, value[p]);
        }
    }
    if (next) *next = p;
    return parsed || parseInfix(ut, uv, f, why);
}

// ---- infix to parsed ------------------------------------------------------------------------

namespace {

int precedence(int opCode) {
    switch (opCode) {
    case NSLP_OP_PLUS:
    case NSLP_OP_MINUS:
        return 1;
    case NSLP_OP_MULTIPLY:
    case NSLP_OP_DIVIDE:
        return 2;
    case NSLP_OP_UMINUS:
        return 3;
    default: // NSLP_OP_EXPONENT
        return 4;
    }
}

// Reverses the blocks [starts[0], starts[1]), ..., [starts[k-1], end) of f in place, keeping the
// order inside each block.
void reverseBlocks(Formula &f, const int64_t *starts, size_t k, int64_t end) {
    auto rev = [&](int64_t a, int64_t b) {
        std::reverse(f.type.begin() + a, f.type.begin() + b);
        std::reverse(f.value.begin() + a, f.value.begin() + b);
    };
    const int64_t s0 = starts[0];
    rev(s0, end);
    for (size_t j = 0; j < k; ++j) {
        const int64_t bBegin = starts[j], bEnd = j + 1 < k ? starts[j + 1] : end;
        rev(s0 + (end - bEnd), s0 + (end - bBegin));
    }
}

} // namespace

bool parseInfix(const std::vector<int> &type, const std::vector<double> &value, Formula &f,
                std::string &why) {
    f.clear();
    enum Kind { Operator, Paren, Call };
    struct Entry {
        Kind kind;
        int code;        // operator code; for a call its token type
        double id;       // a call's function id
        size_t firstArg; // a call's first entry in argStarts
    };
    std::vector<Entry> ops;
    std::vector<int64_t> argStarts; // output positions where the arguments of open calls start
    bool expectOperand = true, callOpen = false;
    auto fail = [&](size_t p, const std::string &text) {
        why = at(static_cast<int64_t>(p), text);
        return false;
    };
    auto emit = [&](const Entry &e) {
        // The operand of a unary minus that ends in a constant is that constant: -2 is the
        // constant -2.
        if (e.code == NSLP_OP_UMINUS && !f.empty() && f.type.back() == NSLP_TOK_CON)
            f.value.back() = -f.value.back();
        else
            f.push(NSLP_TOK_OP, e.code);
    };
    // Pops operators down to the nearest parenthesis or call.
    auto popOperators = [&] {
        while (!ops.empty() && ops.back().kind == Operator) {
            emit(ops.back());
            ops.pop_back();
        }
    };
    for (size_t p = 0; p < type.size(); ++p) {
        const int t = type[p];
        const double v = value[p];
        if (callOpen && t != NSLP_TOK_LB) return fail(p, "a function without '(' after it");
        switch (t) {
        case NSLP_TOK_CON:
        case NSLP_TOK_COL:
            if (!expectOperand) return fail(p, "an operand where an operator is expected");
            f.push(t, v);
            expectOperand = false;
            break;
        case NSLP_TOK_IFUN:
        case NSLP_TOK_FUN:
            if (!expectOperand) return fail(p, "a function where an operator is expected");
            ops.push_back({Call, t, v, argStarts.size()});
            f.push(NSLP_TOK_RB, 0.0);
            argStarts.push_back(f.size());
            callOpen = true;
            break;
        case NSLP_TOK_LB:
            if (callOpen) {
                callOpen = false;
                break;
            }
            if (!expectOperand) return fail(p, "'(' where an operator is expected");
            ops.push_back({Paren, 0, 0.0, 0});
            break;
        case NSLP_TOK_DEL:
            if (expectOperand) return fail(p, "an empty argument");
            popOperators();
            if (ops.empty() || ops.back().kind != Call)
                return fail(p, "',' outside the arguments of a function");
            argStarts.push_back(f.size());
            expectOperand = true;
            break;
        case NSLP_TOK_RB: {
            if (expectOperand) return fail(p, "')' where an operand is expected");
            popOperators();
            if (ops.empty()) return fail(p, "')' without its '('");
            const Entry e = ops.back();
            ops.pop_back();
            if (e.kind == Call) {
                const size_t k = argStarts.size() - e.firstArg;
                if (k > 1) reverseBlocks(f, argStarts.data() + e.firstArg, k, f.size());
                argStarts.resize(e.firstArg);
                f.push(e.code, e.id);
            }
            break;
        }
        case NSLP_TOK_OP: {
            int code = static_cast<int>(v);
            if (!integral(v) || !operatorInfo(code))
                return fail(p, "unknown operator code " + numberText(v));
            if (expectOperand) {
                if (code == NSLP_OP_PLUS) break; // unary plus
                if (code != NSLP_OP_MINUS && code != NSLP_OP_UMINUS)
                    return fail(p, std::string("operator '") + operatorInfo(code)->name +
                                       "' lacks its left operand");
                ops.push_back({Operator, NSLP_OP_UMINUS, 0.0, 0});
                break;
            }
            if (code == NSLP_OP_UMINUS) return fail(p, "a unary minus after an operand");
            const int prec = precedence(code);
            const bool right = code == NSLP_OP_EXPONENT;
            while (!ops.empty() && ops.back().kind == Operator) {
                const int top = precedence(ops.back().code);
                if (top > prec || (top == prec && !right)) {
                    emit(ops.back());
                    ops.pop_back();
                } else {
                    break;
                }
            }
            ops.push_back({Operator, code, 0.0, 0});
            expectOperand = true;
            break;
        }
        default:
            return fail(p, "token type " + std::to_string(t) + " does not belong in a formula");
        }
    }
    if (callOpen) return fail(type.size(), "a function without '(' after it");
    if (expectOperand)
        return fail(type.size(), f.empty() && ops.empty()
                                     ? "the formula is empty"
                                     : "the formula ends where an operand is expected");
    popOperators();
    if (!ops.empty()) return fail(type.size(), "a '(' that is not closed");
    return true;
}

// ---- the text form ----------------------------------------------------------------------------

namespace {

bool identStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool identChar(char c) {
    return identStart(c) || (c >= '0' && c <= '9');
}
bool digit(char c) {
    return c >= '0' && c <= '9';
}

bool plainName(std::string_view s) {
    if (s.empty() || !identStart(s[0])) return false;
    return std::all_of(s.begin(), s.end(), identChar);
}

std::string quoted(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

} // namespace

std::string nameText(std::string_view name) {
    return plainName(name) ? std::string(name) : quoted(name);
}

size_t readQuotedName(std::string_view text, size_t pos, std::string &name) {
    name.clear();
    for (size_t i = pos + 1; i < text.size(); ++i) {
        if (text[i] != '"') {
            name += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '"') {
            name += '"';
            ++i;
        } else {
            return i + 1;
        }
    }
    return std::string_view::npos;
}

bool parseText(std::string_view text, const FormulaContext &ctx,
               const std::function<int(std::string_view)> &findColumn, Formula &f,
               std::string &why) {
    std::vector<int> type;
    std::vector<double> value;
    auto fail = [&](size_t pos, const std::string &msg) {
        why = "character " + std::to_string(pos) + ": " + msg;
        return false;
    };
    auto column = [&](size_t pos, std::string_view name) {
        const int j = findColumn(name);
        if (j < 0) return fail(pos, "'" + std::string(name) + "' is not the name of a column");
        type.push_back(NSLP_TOK_COL);
        value.push_back(j);
        return true;
    };
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const char c = text[i];
        const size_t start = i;
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            ++i;
        } else if (digit(c) || (c == '.' && i + 1 < n && digit(text[i + 1]))) {
            while (i < n && digit(text[i]))
                ++i;
            if (i < n && text[i] == '.') ++i;
            while (i < n && digit(text[i]))
                ++i;
            if (i < n && (text[i] == 'e' || text[i] == 'E')) {
                size_t j = i + 1;
                if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
                if (j < n && digit(text[j])) {
                    i = j;
                    while (i < n && digit(text[i]))
                        ++i;
                }
            }
            const std::string number(text.substr(start, i - start));
            const double v = strtod(number.c_str(), nullptr);
            if (!std::isfinite(v)) return fail(start, "the number " + number + " is too large");
            type.push_back(NSLP_TOK_CON);
            value.push_back(v);
        } else if (identStart(c)) {
            while (i < n && identChar(text[i]))
                ++i;
            const std::string_view name = text.substr(start, i - start);
            size_t j = i;
            while (j < n && (text[j] == ' ' || text[j] == '\t'))
                ++j;
            if (j < n && text[j] == '(') {
                if (const OpInfo *fn = functionByName(name)) {
                    type.push_back(NSLP_TOK_IFUN);
                    value.push_back(fn->code);
                    continue;
                }
                size_t id = 0;
                if (ctx.userFunctions)
                    for (size_t k = 0; k < ctx.userFunctions->size() && !id; ++k)
                        if ((*ctx.userFunctions)[k].name == name) id = k + 1;
                if (!id) return fail(start, "unknown function '" + std::string(name) + "'");
                type.push_back(NSLP_TOK_FUN);
                value.push_back(static_cast<double>(id));
            } else if (!column(start, name)) {
                return false;
            }
        } else if (c == '"') {
            std::string name;
            i = readQuotedName(text, i, name);
            if (i == std::string_view::npos)
                return fail(start, "a quoted name without its closing '\"'");
            if (!column(start, name)) return false;
        } else {
            int t = NSLP_TOK_OP, code = 0;
            switch (c) {
            case '(':
                t = NSLP_TOK_LB;
                break;
            case ')':
                t = NSLP_TOK_RB;
                break;
            case ',':
                t = NSLP_TOK_DEL;
                break;
            case '+':
                code = NSLP_OP_PLUS;
                break;
            case '-':
                code = NSLP_OP_MINUS;
                break;
            case '/':
                code = NSLP_OP_DIVIDE;
                break;
            case '^':
                code = NSLP_OP_EXPONENT;
                break;
            case '*':
                code = i + 1 < n && text[i + 1] == '*' ? NSLP_OP_EXPONENT : NSLP_OP_MULTIPLY;
                if (code == NSLP_OP_EXPONENT) ++i;
                break;
            default:
                return fail(start, std::string("unexpected character '") + c + "'");
            }
            ++i;
            type.push_back(t);
            value.push_back(code);
        }
    }
    if (!parseInfix(type, value, f, why)) {
        why = "in the text: " + why;
        return false;
    }
    return true;
}

namespace {

// Precedence of a node when printed: + - 1, * / 2, unary minus and negative constants 3, ^ 4,
// anything else (operands, function calls) 5.
int printPrecedence(const Formula &f, const Tree &t, int i) {
    switch (nodeKind(f, t, i)) {
    case Node::Add:
    case Node::Sub:
        return 1;
    case Node::Mul:
    case Node::Div:
        return 2;
    case Node::Neg:
        return 3;
    case Node::Pow:
        return 4;
    case Node::Const:
        return std::signbit(f.value[t.tok[i]]) ? 3 : 5;
    default:
        return 5;
    }
}

bool isOperator(Node k) {
    return k == Node::Neg || k == Node::Pow || k == Node::Mul || k == Node::Div || k == Node::Add ||
           k == Node::Sub;
}

// Whether argument pos of node parent needs parentheses, so that the text reads back as the
// same tree.
bool needsParens(const Formula &f, const Tree &t, int parent, int pos, int child) {
    const Node pk = nodeKind(f, t, parent);
    if (!isOperator(pk)) return false;
    const int pp = printPrecedence(f, t, parent), cp = printPrecedence(f, t, child);
    if (pk == Node::Neg) return cp <= pp;
    if (cp != pp) return cp < pp;
    return pk == Node::Pow ? pos == 0 : pos == 1;
}

// Walks an analysed formula in infix order, calling the emitter's operand(node), op(node),
// open(), close(), call(node), comma() and endCall().
template <class Emitter> void infixWalk(const Formula &f, const Tree &t, Emitter &e) {
    struct Frame {
        int node;
        int step;
        bool parens;
    };
    std::vector<Frame> stack{{t.size() - 1, 0, false}};
    while (!stack.empty()) {
        const Frame fr = stack.back();
        const Node k = nodeKind(f, t, fr.node);
        const int n = t.nargs(fr.node);
        const int32_t *a = t.args(fr.node);
        Frame &top = stack.back();
        auto child = [&](int pos) {
            stack.push_back({a[pos], 0, needsParens(f, t, fr.node, pos, a[pos])});
        };
        if (n == 0) { // an operand
            if (fr.parens) e.open();
            e.operand(fr.node);
            if (fr.parens) e.close();
            stack.pop_back();
        } else if (!isOperator(k)) { // a function call
            if (fr.step == 0) e.call(fr.node);
            if (fr.step == n) {
                e.endCall();
                stack.pop_back();
                continue;
            }
            if (fr.step > 0) e.comma();
            ++top.step;
            child(fr.step);
        } else if (k == Node::Neg) {
            if (fr.step == 0) {
                if (fr.parens) e.open();
                e.op(fr.node);
                ++top.step;
                child(0);
            } else {
                if (fr.parens) e.close();
                stack.pop_back();
            }
        } else if (fr.step == 0) {
            if (fr.parens) e.open();
            ++top.step;
            child(0);
        } else if (fr.step == 1) {
            e.op(fr.node);
            ++top.step;
            child(1);
        } else {
            if (fr.parens) e.close();
            stack.pop_back();
        }
    }
}

struct TextEmitter {
    const Formula &f;
    const Tree &t;
    const FormulaContext &ctx;
    const std::function<std::string(int)> &columnName;
    std::string out;

    void operand(int i) {
        const double v = f.value[t.tok[i]];
        if (f.type[t.tok[i]] == NSLP_TOK_CON) {
            out += numberText(v);
        } else {
            out += nameText(columnName(static_cast<int>(v)));
        }
    }
    void op(int i) {
        switch (nodeKind(f, t, i)) {
        case Node::Neg:
            out += '-';
            break;
        case Node::Pow:
            out += '^';
            break;
        default:
            out += ' ';
            out += nodeInfo(nodeKind(f, t, i))->name;
            out += ' ';
        }
    }
    void open() { out += '('; }
    void close() { out += ')'; }
    void call(int i) {
        const double v = f.value[t.tok[i]];
        if (f.type[t.tok[i]] == NSLP_TOK_FUN)
            out += (*ctx.userFunctions)[static_cast<size_t>(v) - 1].name;
        else
            out += functionInfo(static_cast<int>(v))->name;
        out += '(';
    }
    void comma() { out += ", "; }
    void endCall() { out += ')'; }
};

struct TokenEmitter {
    const Formula &f;
    const Tree &t;
    std::vector<int> &type;
    std::vector<double> &value;

    void push(int ty, double v) {
        type.push_back(ty);
        value.push_back(v);
    }
    void operand(int i) { push(f.type[t.tok[i]], f.value[t.tok[i]]); }
    void op(int i) { push(NSLP_TOK_OP, f.value[t.tok[i]]); }
    void open() { push(NSLP_TOK_LB, 0.0); }
    void close() { push(NSLP_TOK_RB, 0.0); }
    void call(int i) {
        push(f.type[t.tok[i]], f.value[t.tok[i]]);
        push(NSLP_TOK_LB, 0.0);
    }
    void comma() { push(NSLP_TOK_DEL, 0.0); }
    void endCall() { push(NSLP_TOK_RB, 0.0); }
};

} // namespace

std::string formulaText(const Formula &f, const Tree &t, const FormulaContext &ctx,
                        const std::function<std::string(int)> &columnName) {
    TextEmitter e{f, t, ctx, columnName, {}};
    infixWalk(f, t, e);
    return std::move(e.out);
}

void unparsedTokens(const Formula &f, const Tree &t, std::vector<int> &type,
                    std::vector<double> &value) {
    TokenEmitter e{f, t, type, value};
    infixWalk(f, t, e);
}

} // namespace nvra::nl
