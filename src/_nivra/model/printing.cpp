// model/printing.cpp: the printed forms of linear terms, quadratic terms and expressions, all
// written by one routine from the polynomial view of the object.
#include "printing.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "expression.h"
#include "runtime/ref.h"
#include "operand.h"
#include "varsort.h"
#include "var.h"

namespace {

constexpr size_t kProductTextLimit = 511;
constexpr size_t kTermTextLimit = 1023;

// Cuts s to at most limit bytes without splitting a UTF-8 sequence.
void cutText(std::string &s, size_t limit) {
    if (s.size() <= limit) return;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80)
        --end;
    s.resize(end);
}

std::string number(double c) {
    char buf[64];
    snprintf(buf, sizeof buf, "%g", c + 0.0); // + 0.0 prints -0.0 as 0
    return buf;
}

// Appends str(var) to out. 0 or -1.
int appendName(std::string &out, const var_s *var) {
    Ref s = Ref::steal(var_str(reinterpret_cast<PyObject *>(const_cast<var_s *>(var))));
    if (!s) return -1;
    Py_ssize_t n;
    const char *utf8 = PyUnicode_AsUTF8AndSize(s.get(), &n);
    if (!utf8) return -1;
    out.append(utf8, static_cast<size_t>(n));
    return 0;
}

// Writes coefficient c with term text t; first is true when nothing was written before.
void appendTerm(std::string &out, double c, const std::string &t, bool first) {
    std::string term;
    const bool unit = std::fabs(c) == 1.0;
    if (first)
        term = unit ? (c < 0 ? "-" : "") + t : number(c) + " * " + t;
    else if (unit)
        term = (c < 0 ? " - " : " + ") + t;
    else
        term = (c >= 0 ? " + " : " - ") + number(std::fabs(c)) + " * " + t;
    cutText(term, kTermTextLimit);
    out += term;
}

struct LinearEntries {
    std::vector<const var_s *> vars;
    std::vector<double> coefs;
};
struct QuadraticEntries {
    std::vector<const var_s *> first, second;
    std::vector<double> coefs;
};

void collect(const Poly &p, LinearEntries &lin, QuadraticEntries &quad) {
    auto addLin = [&](PyObject *x, double c) {
        lin.vars.push_back(as_var(x));
        lin.coefs.push_back(c);
    };
    auto addQuad = [&](PyObject *u, PyObject *v, double c) {
        quad.first.push_back(as_var(u));
        quad.second.push_back(as_var(v));
        quad.coefs.push_back(c);
    };
    if (p.e) {
        expression_forEachLinear(p.e, addLin);
        expression_forEachQuadratic(p.e, addQuad);
    } else if (p.v) {
        addQuad(p.u, p.v, p.c);
    } else if (p.u) {
        addLin(p.u, p.c);
    }
    nvy_Sort_Var_Dbl(lin.vars.data(), lin.coefs.data(), lin.vars.size());
    nvy_LexSort_VarVar_Dbl(quad.first.data(), quad.second.data(), quad.coefs.data(),
                           quad.coefs.size());
}

// The canonical text of a polynomial view.
PyObject *polyText(const Poly &p) {
    NVR_TRY {
        LinearEntries lin;
        QuadraticEntries quad;
        collect(p, lin, quad);
        std::string out;
        const bool hasTerms = !lin.vars.empty() || !quad.coefs.empty();
        if (p.constant != 0.0 || !hasTerms) out = number(p.constant);
        bool first = out.empty();
        std::string t;
        for (size_t i = 0; i < lin.vars.size(); ++i, first = false) {
            t.clear();
            if (appendName(t, lin.vars[i]) != 0) return nullptr;
            appendTerm(out, lin.coefs[i], t, first);
        }
        for (size_t i = 0; i < quad.coefs.size(); ++i, first = false) {
            t.clear();
            if (appendName(t, quad.first[i]) != 0) return nullptr;
            if (quad.first[i] == quad.second[i]) {
                t += " ** 2";
            } else {
                t += " * ";
                if (appendName(t, quad.second[i]) != 0) return nullptr;
            }
            cutText(t, kProductTextLimit);
            appendTerm(out, quad.coefs[i], t, first);
        }
        return PyUnicode_FromStringAndSize(out.data(), static_cast<Py_ssize_t>(out.size()));
    }
    NVR_CATCH(nullptr)
}

} // namespace

PyObject *nvr_model_str(PyObject *self) {
    Poly p;
    if (poly_of(self, exprKindOf(self), &p) != 0) return nullptr;
    return polyText(p);
}

PyObject *nvr_model_repr_latex(PyObject *self, PyObject *) {
    return nvr_call_package("nivra._notebook", "repr_latex", {self});
}
