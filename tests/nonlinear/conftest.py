"""Fixtures of the nonlinear-expression tests: the helpers and fixtures of tests/model."""

import importlib.util
import pathlib
import sys

_MODEL = pathlib.Path(__file__).parents[1] / "model"
sys.path.insert(0, str(_MODEL))

_spec = importlib.util.spec_from_file_location("model_conftest", _MODEL / "conftest.py")
_model_conftest = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(_model_conftest)

xyz = _model_conftest.xyz
owned = _model_conftest.owned
