"""Shared helpers of the test suite, importable as ``helpers.<module>`` (pytest puts tests/ on
the import path: see pythonpath in pyproject.toml)."""
