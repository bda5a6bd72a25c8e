"""Operation codes of nonlinear nodes and a constructor of nodes of any code."""

from nivra import _nivra

PLUS, MINUS, UMINUS, TIMES, DIVIDE, POWER = 0, 1, 2, 3, 4, 5
EXP, LOG, LOG10, SIN, COS, TAN, ASIN, ACOS, ATAN = range(6, 15)
MAX, MIN, ABS, SIGN, ERF, ERFC, SQRT, PWL, SUM, PROD, AND, OR = range(15, 27)
USER, USER_DERIV, USER_ONDEMAND = 27, 28, 29


def node(op, args):
    """A node of operation op: unary codes take one object, the others a list or tuple."""
    return _nivra._nonlinear_node(op, args)


def is_node(o):
    return type(o).__name__ == "nonlinear"
