"""Signatures for autodoc from the package's type stubs (src/nivra/__init__.pyi).

The extension module's functions and methods have no introspectable signature; the stub gives
one: ``nivra.Sum`` from ``def Sum(*args)``, ``nivra.problem.copy`` from the method in ``class
problem`` (without ``self``).
"""

from __future__ import annotations

import ast
import functools
import pathlib
import re

import nivra


@functools.cache
def stub_signatures() -> dict[str, tuple[str, str | None]]:
    """Qualified name (``Sum``, ``problem.copy``) to (argument list, return annotation)."""
    tree = ast.parse((pathlib.Path(nivra.__file__).parent / "__init__.pyi").read_text())
    found = {}

    def visit(body, prefix):
        for node in body:
            if isinstance(node, ast.ClassDef):
                visit(node.body, f"{prefix}{node.name}.")
            elif isinstance(node, ast.FunctionDef) and f"{prefix}{node.name}" not in found:
                # Overloads: the first one stands for the function.
                args = node.args
                if prefix and args.args and args.args[0].arg in ("self", "cls"):
                    args.args = args.args[1:]
                returns = ast.unparse(node.returns) if node.returns else None
                found[f"{prefix}{node.name}"] = (f"({ast.unparse(args)})", returns)

    visit(tree.body, "")
    return found


def fill_signature(app, what, name, obj, options, signature, return_annotation):
    if what not in ("function", "method", "class", "exception"):
        return None
    return stub_signatures().get(name.removeprefix("nivra."))


# "getSlacks(*constraints): slacks per row": a call written ahead of a one-line help text.
CALL_AHEAD = re.compile(r"^(\w+\(.*?\)(?:\s*->\s*[^:]+)?)(:\s)")


def quote_leading_call(app, what, name, obj, options, lines):
    """Shows the call that opens a one-line help text as code, not as reST markup."""
    if lines:
        lines[0] = CALL_AHEAD.sub(r"``\1``\2", lines[0])


def setup(app):
    app.connect("autodoc-process-signature", fill_signature)
    app.connect("autodoc-process-docstring", quote_leading_call)
    return {"parallel_read_safe": True}
