"""The package layer: re-exported names, constraint-type constants, nivra.controls, the type
stubs against the names that exist at run time, and the help texts users see."""

import ast
import inspect
import pathlib
import subprocess
import sys
import textwrap

import pytest

import nivra
from nivra import _nivra

PACKAGE = pathlib.Path(nivra.__file__).parent


def stub_names():
    """Public names bound at the top level of the installed __init__.pyi."""
    tree = ast.parse((PACKAGE / "__init__.pyi").read_text())
    names = set()
    for node in tree.body:
        if isinstance(node, (ast.FunctionDef, ast.ClassDef)):
            names.add(node.name)
        elif isinstance(node, ast.AnnAssign) and isinstance(node.target, ast.Name):
            names.add(node.target.id)
        elif isinstance(node, ast.ImportFrom):
            names.update(a.asname or a.name for a in node.names if a.asname)
    return {n for n in names if not n.startswith("_")} | {"__version__"} & names


def runtime_names():
    return {n for n in dir(nivra) if not n.startswith("_")} | {"__version__"}


def test_constraint_type_constants():
    assert (nivra.leq, nivra.geq, nivra.eq, nivra.rng, nivra.nonbinding) == (1, 2, 3, 4, 5)
    p = nivra.problem()
    p.setOutputEnabled(False)
    x = p.addVariable(ub=10)
    rows = [nivra.constraint(body=x, type=t, rhs=4, rhsrange=2) for t in
            (nivra.leq, nivra.geq, nivra.eq, nivra.rng, nivra.nonbinding)]
    p.addConstraint(rows)
    assert [r.type for r in rows] == [1, 2, 3, 4, 5]


def test_module_is_re_exported():
    for name in ("problem", "var", "constraint", "Sum", "ModelError", "setdefaults",
                 "infinity", "npvar"):
        assert getattr(nivra, name) is getattr(_nivra, name)
    assert nivra.controls is _nivra._getcontrols()
    assert nivra.enums.SolStatus.OPTIMAL == 1
    assert nivra.__version__ == nivra.getversion()


def test_import_leaves_scipy_alone_until_a_sparse_matrix_appears():
    pytest.importorskip("scipy.sparse")
    code = textwrap.dedent("""
        import sys
        import nivra
        assert "scipy" not in sys.modules, "import nivra imported SciPy"
        import numpy as np
        import scipy.sparse as sp
        p = nivra.problem()
        x = p.addVariables(2)
        e = nivra.Dot(sp.csr_matrix(np.array([[1.0, 2.0]])), x)
        assert str(e[0]) == str(x[0] + 2 * x[1]), str(e[0])
    """)
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr


def test_type_stubs_match_the_public_names():
    assert (PACKAGE / "py.typed").exists()
    missing_in_stub = runtime_names() - stub_names()
    missing_at_runtime = stub_names() - runtime_names()
    assert not missing_in_stub, f"public names without a stub: {sorted(missing_in_stub)}"
    assert not missing_at_runtime, f"stubs of absent names: {sorted(missing_at_runtime)}"


def test_problem_stub_lists_every_problem_method():
    tree = ast.parse((PACKAGE / "__init__.pyi").read_text())
    cls = next(n for n in tree.body if isinstance(n, ast.ClassDef) and n.name == "problem")
    stubbed = {n.name for n in cls.body if isinstance(n, ast.FunctionDef)}
    public = {n for n in dir(nivra.problem) if not n.startswith("_")} | {"__enter__", "__exit__"}
    assert public <= stubbed, sorted(public - stubbed)


def own_doc(obj):
    """The docstring an object has itself (inspect.getdoc would inherit one from a base)."""
    return (getattr(obj, "__doc__", None) or "").strip()


def undocumented(owner):
    """Public callables, classes and properties of owner without a help text of their own (the
    API reference is generated from them)."""
    missing = []
    for name, obj in vars(owner).items():
        if name.startswith("_") and name not in ("__enter__", "__exit__"):
            continue
        if isinstance(obj, (staticmethod, classmethod)):
            obj = obj.__func__
        if (callable(obj) or isinstance(obj, property) or inspect.isgetsetdescriptor(obj)) \
                and not inspect.ismodule(obj) and not own_doc(obj):
            missing.append(name)
    return missing


def test_every_public_name_has_a_help_text():
    import nivra.parallel
    classes = [obj for name, obj in vars(nivra).items()
               if inspect.isclass(obj) and not name.startswith("_") and obj.__module__ != "enum"]
    owners = [nivra, nivra.parallel, *classes]
    missing = {o.__name__: undocumented(o) for o in owners}
    assert not {k: v for k, v in missing.items() if v}, missing
    assert "name=None, sense=" in nivra.problem.__doc__
    assert "controls" in nivra.__doc__
