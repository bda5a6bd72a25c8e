"""The notebook forms: problem._repr_html_ and _repr_latex_ of variables, terms, expressions,
nonlinear expressions and constraints."""

import html
import re
import sys

import pytest

import nivra


@pytest.fixture
def model():
    p = nivra.problem(name="plan<1>")
    p.setOutputEnabled(False)
    x = p.addVariable(name="x_1", ub=4)
    y = p.addVariable(name="y^2", vartype=nivra.integer, ub=3)
    b = p.addVariable(name="on", vartype=nivra.binary)
    p.addConstraint(x + y >= 1, nivra.constraint(body=x - y, lb=-1, ub=2, name="band"),
                    x + y + b == 2)
    p.setObjective(x + 2 * y + b, sense=nivra.maximize)
    return p, x, y


@pytest.mark.parametrize("make, latex", [
    (lambda x, y: x, r"$\mathit{x\_1}$"),
    (lambda x, y: -3 * x, r"$-3\,\mathit{x\_1}$"),
    (lambda x, y: x * y, r"$\mathit{x\_1} \cdot \mathit{y\hat{}2}$"),
    (lambda x, y: 2 * x - y ** 2 - 1.5e-7 * x * x + 4,
     r"$2\,\mathit{x\_1} - 1.5 \cdot 10^{-7}\,\mathit{x\_1}^{2} - \mathit{y\hat{}2}^{2} + 4$"),
    (lambda x, y: 3 * x - y <= 4, r"$3\,\mathit{x\_1} - \mathit{y\hat{}2} \le 4$"),
    (lambda x, y: x * x >= -1, r"$\mathit{x\_1}^{2} \ge -1$"),
    (lambda x, y: nivra.constraint(body=x + 1, lb=0, ub=5),
     r"$0 \le \mathit{x\_1} + 1 \le 5$"),
    (lambda x, y: x + y == 2, r"$\mathit{x\_1} + \mathit{y\hat{}2} = 2$"),
    (lambda x, y: nivra.sin(x) / 2,
     r"$\mathtt{sin(x\_1)\ /\ 2}$"),
])
def test_latex_of_expressions_and_constraints(model, make, latex):
    _, x, y = model
    assert make(x, y)._repr_latex_() == latex


def test_latex_escapes_every_special_character():
    p = nivra.problem()
    v = p.addVariable(name="a{b}#$%&~\\c")
    assert v._repr_latex_() == \
        r"$\mathit{a\{b\}\#\$\%\&\sim{}\backslash{}c}$"
    assert p.getConstraint() == [] and (v <= 1)._repr_latex_().endswith(r"\le 1$")


def table(text):
    """The rows of an HTML table as {header: cell}, unescaped."""
    return {html.unescape(k): html.unescape(v) for k, v in
            re.findall(r"<tr><th[^>]*>(.*?)</th><td[^>]*>(.*?)</td></tr>", text)}


def test_problem_html_shows_size_types_status_objective_and_attributes(model):
    p, x, y = model
    page = p._repr_html_()
    assert "plan&lt;1&gt;" in page  # the name escaped
    summary, attributes = page.split("<details>")
    rows = table(summary)
    assert rows == {"rows": "3", "columns": "3", "matrix entries": "7",
                    "column types": "1 continuous, 1 integer, 1 binary", "sense": "maximize",
                    "solve status": "UNSTARTED", "solution status": "NOTFOUND"}
    p.optimize()
    rows = table(p._repr_html_().split("<details>")[0])
    assert (rows["solve status"], rows["solution status"]) == ("COMPLETED", "OPTIMAL")
    assert float(rows["objective value"]) == p.attributes.objval == 3
    every = table(p._repr_html_().split("<details>")[1])
    names = [n for n in dir(p.attributes) if not n.startswith("_")]
    assert list(every) == names
    assert every["objval"] == "3.0" and every["probname"] == "plan<1>"
    assert every["mipstatus"] == "OPTIMAL (6)"


def test_reference_counts(model):
    p, x, _ = model
    before = sys.getrefcount(p), sys.getrefcount(x)
    p._repr_html_(), x._repr_latex_(), (x <= 1)._repr_latex_()
    assert (sys.getrefcount(p), sys.getrefcount(x)) == before
