* Hock & Schittkowski (1981), test problem 43 (Rosen-Suzuki): a convex quadratic objective
* and three convex quadratic inequality rows on four free variables.
* Published optimum f* = -44 at x* = (0, 1, 2, -1); rows c1 and c3 are active.
NAME          HS043
ROWS
 N  obj
 L  c1
 L  c2
 L  c3
COLUMNS
    x1        obj       -5             c1        1
    x1        c2        -1             c3        2
    x2        obj       -5             c1        -1
    x2        c3        -1
    x3        obj       -21            c1        1
    x4        obj       7              c1        -1
    x4        c2        -1             c3        -1
RHS
    rhs       c1        8              c2        10
    rhs       c3        5
BOUNDS
 FR bnd       x1
 FR bnd       x2
 FR bnd       x3
 FR bnd       x4
QUADOBJ
    x1        x1        2
    x2        x2        2
    x3        x3        4
    x4        x4        2
QCMATRIX   c1
    x1        x1        1
    x2        x2        1
    x3        x3        1
    x4        x4        1
QCMATRIX   c2
    x1        x1        1
    x2        x2        2
    x3        x3        1
    x4        x4        2
QCMATRIX   c3
    x1        x1        2
    x2        x2        1
    x3        x3        1
ENDATA
