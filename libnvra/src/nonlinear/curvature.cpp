// curvature.cpp: curvature of formulas by composition rules over their tapes (see curvature.h).
#include "nonlinear/curvature.h"

#include "solver/convexity.h"

#include "nonlinear/evaluator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <utility>
#include <vector>

namespace nvra::nl {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kPi = 3.14159265358979323846;

struct Interval {
    double lo = -kInfinity, hi = kInfinity;
};

// What the analysis knows of a node: the interval of its values and its curvature.
struct Shape {
    Interval range;
    Curvature curv = Curvature::Unknown;
};

// A function of one argument on the interval of its argument: its curvature, its monotonicity
// (+1 non-decreasing, -1 non-increasing, 0 neither) and the interval of its values.
struct Outer {
    Curvature curv = Curvature::Unknown;
    int mono = 0;
    Interval range;
};

Curvature flip(Curvature c) {
    return c == Curvature::Convex    ? Curvature::Concave
           : c == Curvature::Concave ? Curvature::Convex
                                     : c;
}

// A bound computed from infinite ends (inf - inf) is no bound.
Interval sane(double lo, double hi) {
    return {std::isnan(lo) ? -kInfinity : lo, std::isnan(hi) ? kInfinity : hi};
}

// a * b for interval ends, with 0 * inf = 0 (a zero factor is exactly zero).
double endProduct(double a, double b) {
    return a == 0.0 || b == 0.0 ? 0.0 : a * b;
}

Interval product(Interval a, Interval b) {
    const double p[4] = {endProduct(a.lo, b.lo), endProduct(a.lo, b.hi), endProduct(a.hi, b.lo),
                         endProduct(a.hi, b.hi)};
    return sane(*std::min_element(p, p + 4), *std::max_element(p, p + 4));
}

Interval scaled(Interval a, double c) {
    return product(a, Interval{c, c});
}

// The values of a monotone function f between lo and hi.
template <class F> Interval monotoneRange(F f, Interval x, int mono) {
    const double a = f(x.lo), b = f(x.hi);
    return mono >= 0 ? sane(a, b) : sane(b, a);
}

// A part whose value is one number over the whole box.
bool isConstant(const Shape &s) {
    return s.curv == Curvature::Affine && s.range.lo == s.range.hi && std::isfinite(s.range.lo);
}

Shape constantShape(double c) {
    return {{c, c}, Curvature::Affine};
}

// h(g) by the composition rules.
Curvature compose(const Outer &h, Curvature g) {
    if (g == Curvature::Unknown || h.curv == Curvature::Unknown) return Curvature::Unknown;
    if (g == Curvature::Affine) return h.curv;
    if (h.curv == Curvature::Affine)
        return h.mono > 0 ? g : h.mono < 0 ? flip(g) : Curvature::Unknown;
    const Curvature needed = h.mono > 0 ? h.curv : h.mono < 0 ? flip(h.curv) : Curvature::Unknown;
    return g == needed ? h.curv : Curvature::Unknown;
}

Shape apply(const Outer &h, const Shape &g) {
    return {h.range, compose(h, g.curv)};
}

// c times the function h.
Outer scaledOuter(Outer h, double c) {
    if (c < 0) h.mono = -h.mono;
    h.curv = scaleCurvature(h.curv, c);
    h.range = scaled(h.range, c);
    return h;
}

// A function defined on [0, inf) only: on x where x lies within it, else as extended beyond it
// (monoExtended: its monotonicity with the extension; the values are those where defined).
template <class F> Outer halfLine(F f, Curvature curv, int mono, int monoExtended, Interval x) {
    if (x.hi < 0) return {};
    const Interval inside{std::max(x.lo, 0.0), x.hi};
    return {curv, x.lo >= 0 ? mono : monoExtended, monotoneRange(f, inside, mono)};
}

// The sign of sin over x: +1 (>= 0 throughout), -1 (<= 0 throughout) or 0.
int sinSign(Interval x) {
    if (!std::isfinite(x.lo) || !std::isfinite(x.hi) || x.hi - x.lo > kPi) return 0;
    const double k = std::floor(x.lo / kPi);
    if (x.hi > (k + 1) * kPi) return 0;
    return std::fmod(k, 2.0) == 0.0 ? 1 : -1;
}

// sin (shift 0) or cos (shift pi/2): f'' = -f, f' is the function shifted by another pi/2.
Outer periodic(Interval x, double shift) {
    const int value = sinSign({x.lo + shift, x.hi + shift});
    const int slope = sinSign({x.lo + shift + kPi / 2, x.hi + shift + kPi / 2});
    Outer h;
    h.curv = value > 0 ? Curvature::Concave : value < 0 ? Curvature::Convex : Curvature::Unknown;
    h.mono = slope;
    const auto f = [shift](double t) { return std::sin(t + shift); };
    h.range = slope != 0 ? monotoneRange(f, x, slope) : Interval{-1.0, 1.0};
    return h;
}

// An increasing (mono 1) or decreasing (-1) function whose curvature changes at 0: below for
// x <= 0, above for x >= 0.
template <class F> Outer sShaped(F f, int mono, Curvature below, Curvature above, Interval x) {
    const Curvature c = x.hi <= 0 ? below : x.lo >= 0 ? above : Curvature::Unknown;
    return {c, mono, monotoneRange(f, x, mono)};
}

Outer tangent(Interval x) {
    if (!std::isfinite(x.lo) || !std::isfinite(x.hi)) return {};
    const double k = std::nearbyint((x.lo + x.hi) / (2 * kPi));
    const Interval u{x.lo - k * kPi, x.hi - k * kPi};
    if (u.lo <= -kPi / 2 || u.hi >= kPi / 2) return {};
    return sShaped([](double t) { return std::tan(t); }, 1, Curvature::Concave, Curvature::Convex,
                   x);
}

Outer arcFunction(Node k, Interval x) {
    if (x.lo < -1 || x.hi > 1) return {};
    if (k == Node::Asin)
        return sShaped([](double t) { return std::asin(t); }, 1, Curvature::Concave,
                       Curvature::Convex, x);
    return sShaped([](double t) { return std::acos(t); }, -1, Curvature::Convex, Curvature::Concave,
                   x);
}

Outer absolute(Interval x) {
    if (x.lo >= 0) return {Curvature::Convex, 1, x};
    if (x.hi <= 0) return {Curvature::Convex, -1, {-x.hi, -x.lo}};
    return {Curvature::Convex, 0, {0.0, std::max(-x.lo, x.hi)}};
}

Outer signFunction(Interval x) {
    if (x.lo > 0) return {Curvature::Affine, 1, {1.0, 1.0}};
    if (x.hi < 0) return {Curvature::Affine, 1, {-1.0, -1.0}};
    return {Curvature::Unknown, 0, {-1.0, 1.0}};
}

Outer unaryOuter(Node k, Interval x) {
    switch (k) {
    case Node::Exp:
        return {Curvature::Convex, 1, monotoneRange([](double t) { return std::exp(t); }, x, 1)};
    case Node::Ln:
        return halfLine([](double t) { return std::log(t); }, Curvature::Concave, 1, 1, x);
    case Node::Log10:
        return halfLine([](double t) { return std::log10(t); }, Curvature::Concave, 1, 1, x);
    case Node::Sqrt:
        return halfLine([](double t) { return std::sqrt(t); }, Curvature::Concave, 1, 1, x);
    case Node::Abs:
        return absolute(x);
    case Node::Sign:
        return signFunction(x);
    case Node::Sin:
        return periodic(x, 0.0);
    case Node::Cos:
        return periodic(x, kPi / 2);
    case Node::Tan:
        return tangent(x);
    case Node::Asin:
    case Node::Acos:
        return arcFunction(k, x);
    case Node::Atan:
        return sShaped([](double t) { return std::atan(t); }, 1, Curvature::Convex,
                       Curvature::Concave, x);
    case Node::Erf:
        return sShaped([](double t) { return std::erf(t); }, 1, Curvature::Convex,
                       Curvature::Concave, x);
    case Node::Erfc:
        return sShaped([](double t) { return std::erfc(t); }, -1, Curvature::Concave,
                       Curvature::Convex, x);
    default:
        return {};
    }
}

// t^p for an integral p: defined on the whole line (p > 0) or on both sides of 0 (p < 0).
Outer integralPower(double p, Interval x) {
    const auto f = [p](double t) { return std::pow(t, p); };
    const bool even = std::fmod(p, 2.0) == 0.0;
    if (p > 0) {
        if (!even) return sShaped(f, 1, Curvature::Concave, Curvature::Convex, x);
        if (x.lo >= 0) return {Curvature::Convex, 1, monotoneRange(f, x, 1)};
        if (x.hi <= 0) return {Curvature::Convex, -1, monotoneRange(f, x, -1)};
        return {Curvature::Convex, 0, {0.0, std::max(f(x.lo), f(x.hi))}};
    }
    if (x.lo >= 0 && x.hi > 0) return {Curvature::Convex, -1, monotoneRange(f, x, -1)};
    if (x.hi <= 0 && x.lo < 0) {
        const Interval left{x.lo, x.hi == 0 ? -0.0 : x.hi}; // the pole approached from below
        return even ? Outer{Curvature::Convex, 1, monotoneRange(f, left, 1)}
                    : Outer{Curvature::Concave, -1, monotoneRange(f, left, -1)};
    }
    return {};
}

// t^p for a constant p.
Outer power(double p, Interval x) {
    if (p == 0) return {Curvature::Affine, 1, {1.0, 1.0}};
    if (p == 1) return {Curvature::Affine, 1, x};
    if (p == std::trunc(p) && std::fabs(p) < 9.007199254740992e15) return integralPower(p, x);
    const auto f = [p](double t) { return std::pow(t, p); };
    if (p > 1) return halfLine(f, Curvature::Convex, 1, 0, x);
    if (p > 0) return halfLine(f, Curvature::Concave, 1, 1, x);
    return halfLine(f, Curvature::Convex, -1, -1, x);
}

// a^t for a constant a > 0 (exp(t log a)).
Outer exponential(double a, Interval x) {
    if (!(a > 0)) return {};
    if (a == 1) return {Curvature::Affine, 1, {1.0, 1.0}};
    const int mono = a > 1 ? 1 : -1;
    return {Curvature::Convex, mono,
            monotoneRange([a](double t) { return std::pow(a, t); }, x, mono)};
}

// The pwl function through n breakpoints pts (x0, y0, x1, y1, ...), continued by its end
// segments: convex when its slopes do not decrease, concave when they do not increase.
Outer piecewise(const double *pts, int n, Interval x) {
    std::vector<double> slopes;
    for (int i = 0; i + 1 < n; ++i) {
        const double dx = pts[2 * i + 2] - pts[2 * i], dy = pts[2 * i + 3] - pts[2 * i + 1];
        if (dx > 0)
            slopes.push_back(dy / dx);
        else if (dy != 0)
            return {}; // a jump
    }
    if (slopes.empty()) return {Curvature::Affine, 1, {pts[1], pts[1]}};
    const bool rising = std::is_sorted(slopes.begin(), slopes.end());
    const bool falling = std::is_sorted(slopes.rbegin(), slopes.rend());
    Outer h;
    h.curv = rising && falling ? Curvature::Affine
             : rising          ? Curvature::Convex
             : falling         ? Curvature::Concave
                               : Curvature::Unknown;
    const bool up = std::all_of(slopes.begin(), slopes.end(), [](double s) { return s >= 0; });
    const bool down = std::all_of(slopes.begin(), slopes.end(), [](double s) { return s <= 0; });
    h.mono = up ? 1 : down ? -1 : 0;
    // Extremes at the ends of x or at breakpoints inside it; an infinite end follows its slope.
    double lo = kInfinity, hi = -kInfinity;
    auto take = [&](double v) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    };
    for (int i = 0; i < n; ++i)
        if (pts[2 * i] >= x.lo && pts[2 * i] <= x.hi) take(pts[2 * i + 1]);
    const double ends[2] = {x.lo, x.hi};
    const double endSlope[2] = {-slopes.front(), slopes.back()};
    for (int e = 0; e < 2; ++e) {
        if (std::isfinite(ends[e])) {
            double v, s;
            pwlEval(ends[e], pts, n, v, s);
            take(v);
        } else if (endSlope[e] != 0) {
            take(endSlope[e] > 0 ? kInfinity : -kInfinity);
        }
    }
    h.range = lo <= hi ? Interval{lo, hi} : Interval{};
    return h;
}

// A polynomial of degree at most 2, as far as curvature goes: its linear and quadratic terms
// (the constant does not matter). The quadratic terms within a formula (3 * (x * x) - 2 * (x *
// y) + ...) are judged together, by the semi-definiteness of their matrix. Polynomials with more
// than kMaxTerms terms are not followed (valid false).
constexpr size_t kMaxTerms = 5000;
struct Poly {
    bool valid = false;
    std::map<int, double> lin;
    std::map<std::pair<int, int>, double> quad; // (i <= j): coefficient of x_i x_j
    size_t terms() const { return lin.size() + quad.size(); }
};

Poly polyVar(int col) {
    Poly p;
    p.valid = true;
    p.lin[col] = 1.0;
    return p;
}

Poly polyConst() {
    Poly p;
    p.valid = true;
    return p;
}

Poly scaledPoly(Poly p, double c) {
    for (auto &e : p.lin)
        e.second *= c;
    for (auto &e : p.quad)
        e.second *= c;
    return p;
}

// a + c * b, adding the smaller into the larger.
Poly addPolys(Poly a, Poly b, double c) {
    if (!a.valid || !b.valid || a.terms() + b.terms() > kMaxTerms) return {};
    if (c != 1.0) b = scaledPoly(std::move(b), c);
    if (a.terms() < b.terms()) std::swap(a, b);
    for (const auto &[k, v] : b.lin)
        a.lin[k] += v;
    for (const auto &[k, v] : b.quad)
        a.quad[k] += v;
    return a;
}

// Whether a and b are linear polynomials whose product stays within kMaxTerms.
bool linearPair(const Poly &a, const Poly &b) {
    return a.valid && b.valid && a.quad.empty() && b.quad.empty() &&
           a.lin.size() * b.lin.size() <= kMaxTerms;
}

// a * b for linear a and b.
Poly multiplyLinear(const Poly &a, const Poly &b) {
    Poly p = polyConst();
    for (const auto &[i, u] : a.lin)
        for (const auto &[j, v] : b.lin)
            p.quad[{std::min(i, j), std::max(i, j)}] += u * v;
    return p;
}

// The curvature of a polynomial: of its quadratic terms' matrix.
Curvature polyCurvature(const Poly &p, double psdTol) {
    QTriplets P;
    for (const auto &[k, v] : p.quad)
        if (v != 0) {
            P.i.push_back(k.first);
            P.j.push_back(k.second);
            P.v.push_back(k.first == k.second ? v : 0.5 * v);
        }
    if (P.v.empty()) return Curvature::Affine;
    if (checkSemidefinite(P, 1, psdTol) == Convexity::Convex) return Curvature::Convex;
    if (checkSemidefinite(P, -1, psdTol) == Convexity::Convex) return Curvature::Concave;
    return Curvature::Unknown;
}

Shape addShapes(const Shape &a, const Shape &b) {
    return {sane(a.range.lo + b.range.lo, a.range.hi + b.range.hi), addCurvature(a.curv, b.curv)};
}

Shape scaleShape(const Shape &a, double c) {
    return {scaled(a.range, c), scaleCurvature(a.curv, c)};
}

Shape multiply(const Shape &a, const Shape &b) {
    if (isConstant(a)) return scaleShape(b, a.range.lo);
    if (isConstant(b)) return scaleShape(a, b.range.lo);
    return {product(a.range, b.range), Curvature::Unknown};
}

Shape divide(const Shape &a, const Shape &b) {
    if (isConstant(b) && b.range.lo != 0) return scaleShape(a, 1.0 / b.range.lo);
    if (isConstant(a)) return apply(scaledOuter(power(-1.0, b.range), a.range.lo), b);
    const bool zeroInside = b.range.lo <= 0 && b.range.hi >= 0;
    return {zeroInside ? Interval{} : product(a.range, {1.0 / b.range.hi, 1.0 / b.range.lo}),
            Curvature::Unknown};
}

Shape raise(const Shape &base, const Shape &exponent) {
    if (isConstant(exponent)) return apply(power(exponent.range.lo, base.range), base);
    if (isConstant(base)) return apply(exponential(base.range.lo, exponent.range), exponent);
    return {};
}

// max (convex when every argument is) or min (concave likewise).
Shape extremum(bool isMax, const Shape *args, int n) {
    Shape s = args[0];
    for (int k = 1; k < n; ++k) {
        const Shape &a = args[k];
        s.range =
            isMax ? Interval{std::max(s.range.lo, a.range.lo), std::max(s.range.hi, a.range.hi)}
                  : Interval{std::min(s.range.lo, a.range.lo), std::min(s.range.hi, a.range.hi)};
        const bool ok = isMax ? convexOrAffine(s.curv) && convexOrAffine(a.curv)
                              : concaveOrAffine(s.curv) && concaveOrAffine(a.curv);
        s.curv = ok ? (isMax ? Curvature::Convex : Curvature::Concave) : Curvature::Unknown;
    }
    return s;
}

// Whether the subtrees of nodes a and b compute the same thing node for node (a product of
// them is a square: formulas write g^2 as g * g).
bool sameSubtree(const Tape &t, int a, int b) {
    const int n = a - t.first[a];
    if (n != b - t.first[b]) return false;
    for (int k = 0; k <= n; ++k) {
        const int i = t.first[a] + k, j = t.first[b] + k;
        const int args = t.argStart[i + 1] - t.argStart[i];
        if (t.kind[i] != t.kind[j] || t.cval[i] != t.cval[j] || t.ref[i] != t.ref[j] ||
            args != t.argStart[j + 1] - t.argStart[j] || t.kind[i] == Node::User ||
            t.kind[i] == Node::Pwl)
            return false;
        for (int s = 0; s < args; ++s)
            if (t.arg[t.argStart[i] + s] - i != t.arg[t.argStart[j] + s] - j) return false;
    }
    return true;
}

double bound(double v) {
    return v <= -1e20 ? -kInfinity : v >= 1e20 ? kInfinity : v;
}

// The shape of node i from its arguments' shapes.
Shape nodeShape(const Tape &t, int i, const std::vector<Shape> &shapes, const double *lower,
                const double *upper) {
    const int32_t *a = t.arg.data() + t.argStart[i];
    const int n = t.argStart[i + 1] - t.argStart[i];
    auto arg = [&](int k) -> const Shape & { return shapes[a[k]]; };
    switch (t.kind[i]) {
    case Node::Const:
        return constantShape(t.cval[i]);
    case Node::Var: {
        const int col = t.cols[t.ref[i]];
        return {{bound(lower[col]), bound(upper[col])}, Curvature::Affine};
    }
    case Node::Neg:
        return scaleShape(arg(0), -1.0);
    case Node::Add:
        return addShapes(arg(0), arg(1));
    case Node::Sub:
        return addShapes(arg(0), scaleShape(arg(1), -1.0));
    case Node::Mul:
        if (sameSubtree(t, a[0], a[1])) return apply(power(2.0, arg(0).range), arg(0));
        return multiply(arg(0), arg(1));
    case Node::Div:
        return divide(arg(0), arg(1));
    case Node::Pow:
        return raise(arg(0), arg(1));
    case Node::Sum:
    case Node::Prod: {
        Shape s = arg(0);
        for (int k = 1; k < n; ++k)
            s = t.kind[i] == Node::Sum ? addShapes(s, arg(k)) : multiply(s, arg(k));
        return s;
    }
    case Node::Min:
    case Node::Max: {
        std::vector<Shape> args(n);
        for (int k = 0; k < n; ++k)
            args[k] = arg(k);
        return extremum(t.kind[i] == Node::Max, args.data(), n);
    }
    case Node::Pwl:
        return apply(piecewise(t.pwl.data() + t.ref[i], t.pwlCount[i], arg(0).range), arg(0));
    case Node::User:
        return {};
    default:
        return apply(unaryOuter(t.kind[i], arg(0).range), arg(0));
    }
}

// Node i's polynomial, its arguments' taken from them (each node has one parent), or an
// invalid one, the arguments' left as they are, when node i is no polynomial of degree <= 2
// (constant factors are told by the arguments' shapes).
Poly nodePoly(const Tape &t, int i, std::vector<Poly> &polys, const std::vector<Shape> &shapes) {
    const int32_t *a = t.arg.data() + t.argStart[i];
    const int n = t.argStart[i + 1] - t.argStart[i];
    auto valid = [&] {
        size_t terms = 0;
        for (int k = 0; k < n; ++k) {
            if (!polys[a[k]].valid) return false;
            terms += polys[a[k]].terms();
        }
        return terms <= kMaxTerms;
    };
    switch (t.kind[i]) {
    case Node::Const:
        return polyConst();
    case Node::Var:
        return polyVar(t.cols[t.ref[i]]);
    case Node::Neg:
        return valid() ? scaledPoly(std::move(polys[a[0]]), -1.0) : Poly{};
    case Node::Add:
    case Node::Sub:
    case Node::Sum: {
        if (!valid()) return {};
        Poly p = std::move(polys[a[0]]);
        for (int k = 1; k < n; ++k)
            p = addPolys(std::move(p), std::move(polys[a[k]]), t.kind[i] == Node::Sub ? -1.0 : 1.0);
        return p;
    }
    case Node::Mul:
    case Node::Prod: {
        // Constant factors and at most two others: one of any degree, or two linear ones.
        double c = 1.0;
        std::vector<int32_t> others;
        for (int k = 0; k < n; ++k) {
            if (isConstant(shapes[a[k]]))
                c *= shapes[a[k]].range.lo;
            else
                others.push_back(a[k]);
        }
        if (others.empty()) return polyConst();
        if (others.size() == 1)
            return polys[others[0]].valid ? scaledPoly(std::move(polys[others[0]]), c) : Poly{};
        if (others.size() > 2 || !linearPair(polys[others[0]], polys[others[1]])) return {};
        return scaledPoly(multiplyLinear(polys[others[0]], polys[others[1]]), c);
    }
    case Node::Div:
        if (!isConstant(shapes[a[1]]) || shapes[a[1]].range.lo == 0 || !polys[a[0]].valid)
            return {};
        return scaledPoly(std::move(polys[a[0]]), 1.0 / shapes[a[1]].range.lo);
    case Node::Pow: {
        if (!isConstant(shapes[a[1]])) return {};
        const double p = shapes[a[1]].range.lo;
        if (p == 0) return polyConst();
        if (p == 1 && polys[a[0]].valid) return std::move(polys[a[0]]);
        if (p == 2 && linearPair(polys[a[0]], polys[a[0]]))
            return multiplyLinear(polys[a[0]], polys[a[0]]);
        return {};
    }
    default:
        return {};
    }
}

} // namespace

const char *curvatureName(Curvature c) {
    switch (c) {
    case Curvature::Affine:
        return "affine";
    case Curvature::Convex:
        return "convex";
    case Curvature::Concave:
        return "concave";
    default:
        return "unknown";
    }
}

Curvature addCurvature(Curvature a, Curvature b) {
    if (a == Curvature::Affine) return b;
    if (b == Curvature::Affine || a == b) return a;
    return Curvature::Unknown;
}

Curvature scaleCurvature(Curvature a, double c) {
    if (a == Curvature::Unknown || std::isnan(c)) return Curvature::Unknown;
    if (c == 0) return Curvature::Affine;
    return c > 0 ? a : flip(a);
}

Curvature tapeCurvature(const Tape &t, const double *lower, const double *upper, double psdTol) {
    std::vector<Shape> shapes(t.size());
    std::vector<Poly> polys(t.size());
    // A polynomial node whose curvature the rules left open takes its matrix's, once a parent
    // that is no polynomial reads it (so that a sum of many quadratic terms is tested once).
    auto settle = [&](int a) {
        if (polys[a].valid && shapes[a].curv == Curvature::Unknown)
            shapes[a].curv = polyCurvature(polys[a], psdTol);
    };
    for (int i = 0; i < t.size(); ++i) {
        polys[i] = nodePoly(t, i, polys, shapes);
        if (!polys[i].valid)
            for (int32_t s = t.argStart[i]; s < t.argStart[i + 1]; ++s)
                settle(t.arg[s]);
        shapes[i] = nodeShape(t, i, shapes, lower, upper);
    }
    settle(t.root());
    return shapes[t.root()].curv;
}

Curvature functionCurvature(const Evaluator &ev, int k, const double *lower, const double *upper,
                            double psdTol) {
    Curvature c = Curvature::Affine;
    const auto [begin, end] = ev.piecesOf(k);
    for (int p = begin; p < end && c != Curvature::Unknown; ++p)
        c = addCurvature(c, scaleCurvature(tapeCurvature(ev.pieceTape(p), lower, upper, psdTol),
                                           ev.pieceFactor(p)));
    return c;
}

} // namespace nvra::nl
