* Hock & Schittkowski (1981), test problem 65: minimise
*   (x1 - x2)^2 + (x1 + x2 - 10)^2 / 9 + (x3 - 5)^2
* subject to x1^2 + x2^2 + x3^2 <= 48, -4.5 <= x1, x2 <= 4.5, -5 <= x3 <= 5.
* The objective expanded: 0.5 x'Qx with Q11 = Q22 = 20/9, Q12 = -16/9, Q33 = 2, linear part
* (-20/9, -20/9, -10) and the constant 100/9 + 25 (minus the RHS of the objective row).
* Published optimum f* = 0.9535288567 at x* = (3.650461821, 3.650461821, 4.6204170507).
NAME          HS065
ROWS
 N  obj
 L  c1
COLUMNS
    x1        obj       -2.2222222222222222
    x2        obj       -2.2222222222222222
    x3        obj       -10
RHS
    rhs       obj       -36.111111111111111
    rhs       c1        48
BOUNDS
 LO bnd       x1        -4.5
 UP bnd       x1        4.5
 LO bnd       x2        -4.5
 UP bnd       x2        4.5
 LO bnd       x3        -5
 UP bnd       x3        5
QUADOBJ
    x1        x1        2.2222222222222222
    x1        x2        -1.7777777777777778
    x2        x2        2.2222222222222222
    x3        x3        2
QCMATRIX   c1
    x1        x1        1
    x2        x2        1
    x3        x3        1
ENDATA
