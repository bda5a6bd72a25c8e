"""Mean-variance portfolios: the least risky portfolio that reaches a target return, then the
best return within a risk limit when at most a few assets may be held.

The first is a quadratic program (QP): the objective, the variance w' S w of the portfolio's
return, is quadratic; the constraints are linear. The second turns the variance into a
constraint, a quadratic row w' S w <= limit, and adds a cardinality limit with a binary
variable per asset: a mixed-integer problem with a quadratic row (MIQCQP), which the library
solves to proven optimality. Weights are continuous and non-negative (no short selling).
Expected returns and the covariance matrix are made up from a random factor model; the size
argument is the number of assets.

Run:  python examples/portfolio.py [assets]
"""

import sys

import numpy as np

import nivra

MAX_ASSETS = 3  # the cardinality limit of the second portfolio


def make_data(assets, seed=3):
    """Expected returns (per year) and a positive definite covariance matrix."""
    rng = np.random.default_rng(seed)
    mean = rng.uniform(0.02, 0.15, assets)
    factors = rng.normal(0.0, 0.1, (assets, 2))
    covariance = factors @ factors.T + np.diag(rng.uniform(0.001, 0.01, assets))
    return mean, covariance


def least_risk(mean, covariance, target):
    p = nivra.problem(name="portfolio")
    p.setOutputEnabled(False)  # comment this out to see the solver log

    weight = p.addVariables(len(mean), name="w")  # lb=0 by default: no short selling
    p.addConstraint(nivra.Sum(weight) == 1)  # invest everything
    p.addConstraint(nivra.Dot(mean, weight) >= target)  # expected return
    # Dot of the covariance matrix with the weights, then with the weights again, gives the
    # quadratic expression w' S w.
    p.setObjective(nivra.Dot(weight, covariance, weight))
    p.optimize()
    return p.attributes.objval, np.array(p.getSolution(weight))


def best_return(mean, covariance, risk_limit, max_assets):
    p = nivra.problem(name="portfolio with limits")
    p.setOutputEnabled(False)

    weight = p.addVariables(len(mean), name="w")
    held = p.addVariables(len(mean), vartype=nivra.binary, name="held")
    p.addConstraint(nivra.Sum(weight) == 1)
    # The risk limit: a convex quadratic row (the covariance is positive semi-definite).
    p.addConstraint(nivra.Dot(weight, covariance, weight) <= risk_limit)
    # An asset can only have weight if it is held, and at most max_assets are.
    p.addConstraint(weight <= held, nivra.Sum(held) <= max_assets)
    p.setObjective(nivra.Dot(mean, weight), sense=nivra.maximize)
    p.optimize()
    return p.attributes.objval, np.array(p.getSolution(weight))


if __name__ == "__main__":
    assets = int(sys.argv[1]) if len(sys.argv) > 1 else 12
    mean, covariance = make_data(assets)
    target = 0.5 * (mean.mean() + mean.max())  # between the average and the best asset
    variance, w = least_risk(mean, covariance, target)
    print(f"Target return: {target:.6f}")
    print(f"Variance: {variance:.8f}  (risk {np.sqrt(variance):.6f})")
    print("Weights: " + " ".join(f"{v:.6f}" for v in w))

    risk_limit = 2.0 * variance  # twice the least variance found above
    ret, w = best_return(mean, covariance, risk_limit, MAX_ASSETS)
    print(f"Risk limit: {risk_limit:.8f}")
    print(f"Best return with at most {MAX_ASSETS} assets: {ret:.8f}")
    print("Holdings: " + " ".join(f"{i}:{v:.6f}" for i, v in enumerate(w) if v > 1e-9))
