"""The forms notebooks show: ``problem._repr_html_`` (a summary table with the problem's size,
column types, status and objective, and its attributes) and ``_repr_latex_`` of variables,
terms, expressions and constraints. The extension's methods call these functions; nothing here
is imported before a notebook asks for one of them.

Linear and quadratic expressions are written from their terms; nonlinear expressions, whose
trees are not visible from Python, are written as their printed form in typewriter type.
"""

import enum
import html
import math

from . import _nivra
from .enums import SolStatus, SolveStatus

_INFINITY = 1e20

# ---- LaTeX ----------------------------------------------------------------------------------

_LATEX_ESCAPES = {
    "\\": r"\backslash{}", "_": r"\_", "^": r"\hat{}", "{": r"\{", "}": r"\}", "#": r"\#",
    "$": r"\$", "%": r"\%", "&": r"\&", "~": r"\sim{}",
}


def latex_escape(text):
    """text with the characters that mean something in LaTeX math written as themselves."""
    return "".join(_LATEX_ESCAPES.get(ch, ch) for ch in text)


def _name(v):
    return r"\mathit{" + latex_escape(str(v)) + "}"


def _number(c):
    if math.isinf(c):
        return r"\infty" if c > 0 else r"-\infty"
    text = f"{c:g}"
    if "e" in text:
        mantissa, exponent = text.split("e")
        return rf"{mantissa} \cdot 10^{{{int(exponent)}}}"
    return text


def _terms(expr):
    """(constant, [(coef, latex of the product)]) of a linear or quadratic operand."""
    lin_vars, lin_coefs = expr.extractLinear()
    q1, q2, q_coefs = expr.extractQuadratic()
    # The constant is the value with every variable at zero.
    constant = _nivra.evaluate(expr, solution={v: 0.0 for v in (*lin_vars, *q1, *q2)})
    terms = [(c, _name(v)) for v, c in zip(lin_vars, lin_coefs)]
    terms += [(c, _name(u) + "^{2}" if u is v else _name(u) + r" \cdot " + _name(v))
              for u, v, c in zip(q1, q2, q_coefs)]
    return constant, terms


def _polynomial_latex(expr):
    constant, terms = _terms(expr)
    out = []
    for c, product in terms:
        sign = "-" if c < 0 else "+"
        factor = "" if abs(c) == 1 else _number(abs(c)) + r"\,"
        out.append((sign, factor + product))
    if constant != 0 or not out:
        out.append(("-" if constant < 0 else "+", _number(abs(constant))))
    text = ("-" if out[0][0] == "-" else "") + out[0][1]
    return text + "".join(f" {sign} {part}" for sign, part in out[1:])


def expression_latex(expr):
    """The LaTeX form (without the math delimiters) of a variable, term or expression."""
    if type(expr).__name__ == "nonlinear":  # the type is not exported
        return r"\mathtt{" + latex_escape(str(expr)).replace(" ", r"\ ") + "}"
    return _polynomial_latex(expr)


def constraint_latex(con):
    body = expression_latex(con.getBody())
    lb, ub = con.lb, con.ub
    if lb == ub:
        return rf"{body} = {_number(ub)}"
    if lb <= -_INFINITY and ub >= _INFINITY:
        return rf"{body} \quad \text{{(free)}}"
    if lb <= -_INFINITY:
        return rf"{body} \le {_number(ub)}"
    if ub >= _INFINITY:
        return rf"{body} \ge {_number(lb)}"
    return rf"{_number(lb)} \le {body} \le {_number(ub)}"


def repr_latex(obj):
    """_repr_latex_ of the model objects: the object in LaTeX math, between dollar signs."""
    if isinstance(obj, _nivra.constraint):
        return "$" + constraint_latex(obj) + "$"
    return "$" + expression_latex(obj) + "$"


# ---- HTML -------------------------------------------------------------------------------------

_TYPE_NAMES = {"C": "continuous", "B": "binary", "I": "integer", "S": "semi-continuous",
               "R": "semi-integer", "P": "partial integer"}


def _column_types(p, cols):
    if cols == 0:
        return {}
    types = []
    p.getcoltype(types, 0, cols - 1)
    counts = {}
    for t in types:
        name = _TYPE_NAMES.get(t, t)
        counts[name] = counts.get(name, 0) + 1
    return counts


def _row(label, value):
    return f"<tr><th style=\"text-align:left\">{html.escape(label)}</th>" \
           f"<td style=\"text-align:left\">{html.escape(str(value))}</td></tr>"


def _attribute_rows(attributes):
    rows = []
    for name in dir(attributes):
        if name.startswith("_"):
            continue
        try:
            value = getattr(attributes, name)
        except Exception as exc:  # an attribute the library cannot answer now
            value = f"({type(exc).__name__})"
        if isinstance(value, enum.Enum):
            value = f"{value.name} ({value.value})"
        rows.append(_row(name, value))
    return "".join(rows)


def problem_html(p):
    """_repr_html_ of a problem: a summary table and, folded, every attribute."""
    a = p.attributes
    cols, rows = a.cols, a.rows
    types = ", ".join(f"{n} {name}" for name, n in _column_types(p, cols).items()) or "none"
    sense = "maximize" if a.objsense < 0 else "minimize"
    summary = [
        _row("rows", rows), _row("columns", cols), _row("matrix entries", a.elems),
        _row("column types", types), _row("sense", sense),
        _row("solve status", SolveStatus(a.solvestatus).name),
        _row("solution status", SolStatus(a.solstatus).name),
    ]
    if a.solstatus in (SolStatus.OPTIMAL, SolStatus.FEASIBLE):
        summary.append(_row("objective value", f"{a.objval:.10g}"))
    return (f"<div><strong>nivra.problem {html.escape(p.name())!s}</strong>"
            f"<table>{''.join(summary)}</table>"
            f"<details><summary>attributes</summary><table>{_attribute_rows(a)}</table>"
            f"</details></div>")
