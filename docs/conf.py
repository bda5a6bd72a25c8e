"""Sphinx configuration of the Nivra documentation (built by ``./dev.sh docs``)."""

import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).parent / "_ext"))

project = "Nivra"
author = "The Nivra developers"
copyright = "2026, The Nivra developers"

extensions = ["sphinx.ext.autodoc", "sphinx.ext.doctest", "sphinx.ext.intersphinx", "stubsig"]

# The pages are reST; the Markdown notes for developers (ARCHITECTURE.md, ...) stay out of the
# site and are linked from the repository instead.
source_suffix = {".rst": "restructuredtext"}
exclude_patterns = ["_build"]
root_doc = "index"

# Signatures come from the package's type stubs (stubsig); the first line of a docstring, which
# repeats the call for help(), stays part of the text.
autodoc_docstring_signature = True
autodoc_member_order = "bysource"
autodoc_default_options = {"members": True, "undoc-members": False}

intersphinx_mapping = {}
html_theme = "alabaster"
html_static_path = []

# Every page's code runs as a doctest; the solver log is off so that outputs are only results.
# DATA is the test models' folder, which the pages use as sample files.
doctest_global_setup = f"""
import pathlib
import numpy as np
import nivra
nivra.setOutputEnabled(False)
DATA = pathlib.Path({str(pathlib.Path(__file__).parents[1] / "tests" / "data")!r})
"""
