"""The child process of the file fuzzer (test_file_fuzz.py): reads mutants of the test data files
through nivra and reports what happened as one JSON line. Before each case it writes the case
number to the progress file, so that a crash or a hang names the mutant that caused it.

    python fuzz_files_child.py DATA_DIR WORK_DIR CASES SEED
"""

import json
import os
import random
import sys

import nivra

# Small and varied sources: MPS (free, integer markers, ranges, bounds, quadratic sections,
# semi-continuous, sets) and LP (quadratic objectives and rows).
SOURCES = ["afiro.mps", "galenet.mps", "flugpl.mps", "forest6.mps", "semi-continuous.mps",
           "semi-integer.mps", "qjh.mps", "qjh_quadobj.mps", "qjh_qmatrix.mps", "qjh.lp",
           "qptestnw.lp", "qpinfeasible.lp", "qpunbounded.lp"]

# Tokens of either format, and numbers at the edges of what a reader takes.
JUNK = [b"1e999", b"-1e400", b"nan", b"inf", b"-inf", b"1D3", b"'MARKER'", b"'INTORG'", b"[",
        b"]", b"^", b":", b"::", b"<=", b">=", b"=", b"->", b"\n", b" ", b"\t", b"\\", b"*",
        b"ENDATA", b"End", b"RHS", b"BOUNDS", b"S1", b"SOS", b"free", b"x", b"\x00", b"\xff",
        b"\xc3\x28", b"999999999999999999999"]


def mutate(text, rnd):
    lines = text.split(b"\n")
    kind = rnd.randrange(6)
    if kind == 0:  # truncated
        return text[:rnd.randrange(len(text))]
    if kind == 1:  # tokens inserted
        for _ in range(rnd.randint(1, 4)):
            at = rnd.randrange(len(text))
            text = text[:at] + rnd.choice(JUNK) + text[at:]
        return text
    if kind == 2:  # bytes changed
        data = bytearray(text)
        for _ in range(rnd.randint(1, 6)):
            data[rnd.randrange(len(data))] = rnd.randrange(256)
        return bytes(data)
    if kind == 3:  # a line dropped or doubled
        i = rnd.randrange(len(lines))
        lines[i:i + 1] = [] if rnd.random() < 0.5 else [lines[i], lines[i]]
        return b"\n".join(lines)
    if kind == 4:  # two lines swapped
        i, j = rnd.randrange(len(lines)), rnd.randrange(len(lines))
        lines[i], lines[j] = lines[j], lines[i]
        return b"\n".join(lines)
    # a field of a line replaced by junk
    i = rnd.randrange(len(lines))
    fields = lines[i].split()
    if fields:
        fields[rnd.randrange(len(fields))] = rnd.choice(JUNK)
        lines[i] = b" " + b" ".join(fields)
    return b"\n".join(lines)


def counts(p):
    a = p.attributes
    return a.rows, a.cols, a.elems, a.sets, a.qelems


def main():
    data_dir, work_dir, cases, seed = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    nivra.setOutputEnabled(False)
    rnd = random.Random(seed)
    texts = {name: open(os.path.join(data_dir, name), "rb").read() for name in SOURCES}
    progress = os.path.join(work_dir, "progress")
    result = {"cases": 0, "read": 0, "refused": 0, "unclear": []}
    for case in range(cases):
        source = SOURCES[case % len(SOURCES)]
        ext = source.rsplit(".", 1)[1]
        path = os.path.join(work_dir, f"mutant.{ext}")
        with open(path, "wb") as f:
            f.write(mutate(texts[source], rnd))
        with open(progress, "w") as f:
            f.write(f"{case} {source}")
        p = nivra.problem()
        result["cases"] += 1
        try:
            p.read(path)
        except nivra.SolverError as e:
            result["refused"] += 1
            if path not in str(e):  # the message must name the file
                result["unclear"].append(f"case {case} ({source}): {e}")
            continue
        result["read"] += 1
        # What was read writes and reads back as the same model.
        again = os.path.join(work_dir, f"again.{ext}")
        p.write(again)
        q = nivra.problem()
        q.read(again)
        if counts(q) != counts(p):
            result["unclear"].append(f"case {case} ({source}): {counts(p)} read back as "
                                     f"{counts(q)}")
    print(json.dumps(result))


if __name__ == "__main__":
    main()
