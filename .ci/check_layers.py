#!/usr/bin/env python3
"""Checks that every #include "..." in the C++ sources runs down the layers, never up.

This file is where the layer order is written down (docs/ARCHITECTURE.md explains it). Each
source tree lists its layers from the bottom up; a layer is one or more folders, and the
folders of one layer may include each other. A file may include files of its own layer and of
the layers below it. Includes that name no file of the tree (the public C headers nvra.h and
nslp.h, Python, NumPy, HiGHS, the standard library) are not checked. Exit status 1 lists every
upward include.

    python3 .ci/check_layers.py
"""

import re
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# Bottom layer first. "" is the tree's root folder (files directly in it).
LAYERS = {
    # The extension module. api/ (the optimizer and nonlinear API method families) is listed
    # ahead of its arrival.
    "src/_nivra": [
        ["runtime"],
        ["util"],
        ["model", "nonlinear"],
        ["numeric"],
        ["controls"],
        ["problem"],
        ["callbacks"],
        ["api"],
        [""],
    ],
    # The optimizer library.
    "libnvra/src": [
        ["core"],
        ["store"],
        ["solver", "files", "nonlinear"],
    ],
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def folder_of(tree: Path, path: Path) -> str:
    rel = path.relative_to(tree)
    return rel.parts[0] if len(rel.parts) > 1 else ""


def violations(tree_name: str, layers: list[list[str]]):
    tree = ROOT / tree_name
    rank = {folder: i for i, layer in enumerate(layers) for folder in layer}
    for src in sorted(tree.rglob("*")):
        if src.suffix not in (".h", ".cpp", ".def", ".inc") or not src.is_file():
            continue
        here = folder_of(tree, src)
        if here not in rank:
            yield f"{src.relative_to(ROOT)}: folder '{here}' is in no layer of {tree_name}"
            continue
        for match in INCLUDE.finditer(src.read_text()):
            name = match.group(1)
            target = next((p for p in (src.parent / name, tree / name) if p.is_file()), None)
            if target is None:
                continue
            there = folder_of(tree, target.resolve())
            if rank.get(there, -1) > rank[here]:
                yield (f"{src.relative_to(ROOT)}: includes \"{name}\" ({there or 'root'}/), "
                       f"a layer above {here or 'root'}/")


def main() -> int:
    found = [v for tree, layers in LAYERS.items() for v in violations(tree, layers)]
    for v in found:
        print(v)
    if found:
        print(f"{len(found)} include(s) run upward; the layer order is in {Path(__file__).name}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
