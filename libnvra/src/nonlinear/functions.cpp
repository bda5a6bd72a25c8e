// functions.cpp: the operation table and the scalar math of formulas (see functions.h).
#include "nonlinear/functions.h"

#include <cmath>
#include <cstring>
#include <iterator>

namespace nvra::nl {
namespace {

constexpr int kAny = -1;

constexpr OpInfo kOperators[] = {
    {NSLP_TOK_OP, NSLP_OP_UMINUS, Node::Neg, "-", 1, 1},
    {NSLP_TOK_OP, NSLP_OP_EXPONENT, Node::Pow, "^", 2, 2},
    {NSLP_TOK_OP, NSLP_OP_MULTIPLY, Node::Mul, "*", 2, 2},
    {NSLP_TOK_OP, NSLP_OP_DIVIDE, Node::Div, "/", 2, 2},
    {NSLP_TOK_OP, NSLP_OP_PLUS, Node::Add, "+", 2, 2},
    {NSLP_TOK_OP, NSLP_OP_MINUS, Node::Sub, "-", 2, 2},
};

constexpr OpInfo kFunctions[] = {
    {NSLP_TOK_IFUN, NSLP_IFUN_LOG10, Node::Log10, "log10", 1, 1},
    {NSLP_TOK_IFUN, NSLP_IFUN_LN, Node::Ln, "ln", 1, 1},
    {NSLP_TOK_IFUN, NSLP_IFUN_EXP, Node::Exp, "exp", 1, 1},
    {NSLP_TOK_IFUN, NSLP_IFUN_ABS, Node::Abs, "abs", 1, 1},
    {NSLP_TOK_IFUN, NSLP_IFUN_SQRT, Node::Sqrt, "sqrt", 1, 1},
    {NSLP_TOK_IFUN, NSLP_IFUN_SIN, Node::Sin, "sin", 1, 1},
    {NSLP_TOK_IFUN, NSLP_IFUN_COS, Node::Cos, "cos", 1, 1},
    {NSLP_TOK_IFUN, NSLP_IFUN_TAN, Node::Tan, "tan", 1, 1},
    {NSLP_TOK_IFUN, NSLP_IFUN_ARCSIN, Node::Asin, "arcsin", 1, 1},
    {NSLP_TOK_IFUN, NSLP_IFUN_ARCCOS, Node::Acos, "arccos", 1, 1},
    {NSLP_TOK_IFUN, NSLP_IFUN_ARCTAN, Node::Atan, "arctan", 1, 1},
    {NSLP_TOK_IFUN, NSLP_IFUN_MIN, Node::Min, "min", 1, kAny},
    {NSLP_TOK_IFUN, NSLP_IFUN_MAX, Node::Max, "max", 1, kAny},
    // x and at least one breakpoint; the count of the rest must be even (checked on entry).
    {NSLP_TOK_IFUN, NSLP_IFUN_PWL, Node::Pwl, "pwl", 3, kAny},
    {NSLP_TOK_IFUN, NSLP_IFUN_SUM, Node::Sum, "sum", 1, kAny},
    {NSLP_TOK_IFUN, NSLP_IFUN_PROD, Node::Prod, "prod", 1, kAny},
    {NSLP_TOK_IFUN, NSLP_IFUN_SIGN, Node::Sign, "sign", 1, 1},
    {NSLP_TOK_IFUN, NSLP_IFUN_ERF, Node::Erf, "erf", 1, 1},
    {NSLP_TOK_IFUN, NSLP_IFUN_ERFC, Node::Erfc, "erfc", 1, 1},
};

// Other names the text form accepts.
struct Alias {
    const char *name;
    int id;
};
constexpr Alias kAliases[] = {
    {"log", NSLP_IFUN_LN},
    {"asin", NSLP_IFUN_ARCSIN},
    {"acos", NSLP_IFUN_ARCCOS},
    {"atan", NSLP_IFUN_ARCTAN},
};

bool equalNoCase(std::string_view a, const char *b) {
    if (a.size() != strlen(b)) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != b[i]) return false;
    }
    return true;
}

constexpr double kTwoOverSqrtPi = 1.1283791670955126;

} // namespace

const OpInfo *operatorInfo(int code) {
    for (const OpInfo &o : kOperators)
        if (o.code == code) return &o;
    return nullptr;
}

const OpInfo *functionInfo(int id) {
    for (const OpInfo &o : kFunctions)
        if (o.code == id) return &o;
    return nullptr;
}

const OpInfo *functionByName(std::string_view name) {
    for (const OpInfo &o : kFunctions)
        if (equalNoCase(name, o.name)) return &o;
    for (const Alias &a : kAliases)
        if (equalNoCase(name, a.name)) return functionInfo(a.id);
    return nullptr;
}

const OpInfo *nodeInfo(Node k) {
    for (const OpInfo &o : kOperators)
        if (o.node == k) return &o;
    for (const OpInfo &o : kFunctions)
        if (o.node == k) return &o;
    return nullptr;
}

bool isUnaryFunction(Node k) {
    switch (k) {
    case Node::Log10:
    case Node::Ln:
    case Node::Exp:
    case Node::Abs:
    case Node::Sqrt:
    case Node::Sin:
    case Node::Cos:
    case Node::Tan:
    case Node::Asin:
    case Node::Acos:
    case Node::Atan:
    case Node::Sign:
    case Node::Erf:
    case Node::Erfc:
        return true;
    default:
        return false;
    }
}

bool curved(Node k) {
    return isUnaryFunction(k) && k != Node::Abs && k != Node::Sign;
}

const char *unaryEval(Node k, double x, int order, double &v, double &d1, double &d2) {
    d1 = d2 = 0.0;
    switch (k) {
    case Node::Log10:
    case Node::Ln: {
        if (!(x > 0)) return "logarithm of a value at or below 0";
        const double scale = k == Node::Ln ? 1.0 : 1.0 / std::log(10.0);
        v = k == Node::Ln ? std::log(x) : std::log10(x);
        if (order > 0) {
            d1 = scale / x;
            d2 = -d1 / x;
        }
        break;
    }
    case Node::Exp:
        v = std::exp(x);
        if (order > 0) d1 = d2 = v;
        break;
    case Node::Abs:
        v = std::fabs(x);
        if (order > 0) d1 = x < 0 ? -1.0 : 1.0;
        break;
    case Node::Sqrt:
        if (x < 0) return "square root of a negative value";
        v = std::sqrt(x);
        if (order > 0) {
            if (x == 0) return "derivative of the square root at 0 (infinite)";
            d1 = 0.5 / v;
            d2 = -0.5 * d1 / x;
        }
        break;
    case Node::Sin:
        v = std::sin(x);
        if (order > 0) {
            d1 = std::cos(x);
            d2 = -v;
        }
        break;
    case Node::Cos:
        v = std::cos(x);
        if (order > 0) {
            d1 = -std::sin(x);
            d2 = -v;
        }
        break;
    case Node::Tan: {
        v = std::tan(x);
        if (order > 0) {
            d1 = 1.0 + v * v;
            d2 = 2.0 * v * d1;
        }
        break;
    }
    case Node::Asin:
    case Node::Acos: {
        if (!(std::fabs(x) <= 1.0))
            return k == Node::Asin ? "arcsin of a value outside [-1, 1]"
                                   : "arccos of a value outside [-1, 1]";
        v = k == Node::Asin ? std::asin(x) : std::acos(x);
        if (order > 0) {
            if (std::fabs(x) == 1.0)
                return k == Node::Asin ? "derivative of arcsin at -1 or 1 (infinite)"
                                       : "derivative of arccos at -1 or 1 (infinite)";
            const double r = 1.0 / std::sqrt(1.0 - x * x);
            d1 = k == Node::Asin ? r : -r;
            d2 = d1 * x * r * r;
        }
        break;
    }
    case Node::Atan: {
        v = std::atan(x);
        if (order > 0) {
            const double r = 1.0 / (1.0 + x * x);
            d1 = r;
            d2 = -2.0 * x * r * r;
        }
        break;
    }
    case Node::Sign:
        v = x > 0 ? 1.0 : x < 0 ? -1.0 : 0.0;
        break;
    case Node::Erf:
    case Node::Erfc: {
        v = k == Node::Erf ? std::erf(x) : std::erfc(x);
        if (order > 0) {
            const double g = kTwoOverSqrtPi * std::exp(-x * x);
            d1 = k == Node::Erf ? g : -g;
            d2 = -2.0 * x * d1;
        }
        break;
    }
    default:
        return "not a function of one argument";
    }
    if (!std::isfinite(v) || !std::isfinite(d1) || !std::isfinite(d2))
        return "a result that is not finite";
    return nullptr;
}

const char *powEval(double a, double b, bool bConstant, int order, double &v, double d[2],
                    double h[3]) {
    d[0] = d[1] = h[0] = h[1] = h[2] = 0.0;
    const bool integral = bConstant && b == std::trunc(b) && std::fabs(b) < 9.007199254740992e15;
    if (!integral && a < 0) return "power of a negative value to a non-integral exponent";
    if (a == 0 && b < 0) return "division by zero (0 to a negative power)";
    if (!bConstant && a == 0) return "power of 0 to a variable exponent";
    v = std::pow(a, b);
    if (order > 0) {
        if (a == 0) {
            // 0^b with b >= 0 constant: finite derivatives for b = 0, b = 1 and b >= 2 only.
            if (b > 0 && b < 1) return "derivative of x^c at 0 with 0 < c < 1 (infinite)";
            d[0] = b == 1 ? 1.0 : 0.0;
            if (order > 1) {
                if (b > 1 && b < 2)
                    return "second derivative of x^c at 0 with 1 < c < 2 (infinite)";
                h[0] = b == 2 ? 2.0 : 0.0;
            }
        } else {
            const double pm1 = std::pow(a, b - 1);
            d[0] = b * pm1;
            h[0] = b * (b - 1) * std::pow(a, b - 2);
            if (!bConstant) {
                const double la = std::log(a);
                d[1] = v * la;
                h[1] = pm1 * (1.0 + b * la);
                h[2] = v * la * la;
            }
        }
    }
    if (!std::isfinite(v) || !std::isfinite(d[0]) || !std::isfinite(d[1]) || !std::isfinite(h[0]) ||
        !std::isfinite(h[1]) || !std::isfinite(h[2]))
        return "a result that is not finite";
    return nullptr;
}

void pwlEval(double x, const double *pts, int n, double &v, double &slope) {
    auto X = [&](int i) { return pts[2 * i]; };
    auto Y = [&](int i) { return pts[2 * i + 1]; };
    slope = 0.0;
    if (n == 1) {
        v = Y(0);
        return;
    }
    // The last breakpoint at or before x (the later of equal ones), or the first one.
    int lo = 0, hi = n; // X(i) <= x for i < lo ... search the first index with X(i) > x
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (X(mid) <= x)
            lo = mid + 1;
        else
            hi = mid;
    }
    int i = lo - 1; // last with X(i) <= x, or -1
    if (i < 0) i = 0;
    if (i >= n - 1) i = n - 2;
    // Beyond the ends a jump segment gives a constant.
    const double w = X(i + 1) - X(i);
    if (w <= 0) {
        v = x < X(i) ? Y(i) : Y(i + 1);
        return;
    }
    slope = (Y(i + 1) - Y(i)) / w;
    v = Y(i) + slope * (x - X(i));
}

const char *constantEval(Node k, const double *args, int n, double &v) {
    double d1, d2;
    switch (k) {
    case Node::Neg:
        v = -args[0];
        return nullptr;
    case Node::Add:
        v = args[0] + args[1];
        break;
    case Node::Sub:
        v = args[0] - args[1];
        break;
    case Node::Mul:
        v = args[0] * args[1];
        break;
    case Node::Div:
        if (args[1] == 0) return "division by zero";
        v = args[0] / args[1];
        break;
    case Node::Pow: {
        double d[2], h[3];
        return powEval(args[0], args[1], true, 0, v, d, h);
    }
    case Node::Min:
    case Node::Max:
        v = args[0];
        for (int i = 1; i < n; ++i)
            if (k == Node::Min ? args[i] < v : args[i] > v) v = args[i];
        return nullptr;
    case Node::Sum:
        v = 0;
        for (int i = 0; i < n; ++i)
            v += args[i];
        break;
    case Node::Prod:
        v = 1;
        for (int i = 0; i < n; ++i)
            v *= args[i];
        break;
    case Node::Pwl:
        pwlEval(args[0], args + 1, (n - 1) / 2, v, d1);
        return nullptr;
    default:
        if (isUnaryFunction(k)) return unaryEval(k, args[0], 0, v, d1, d2);
        return "an operation that is not constant";
    }
    return std::isfinite(v) ? nullptr : "a result that is not finite";
}

} // namespace nvra::nl
