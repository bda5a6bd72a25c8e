"""Chemical equilibrium: the mixture of ten species, made of three elements, that a gas of
fixed element amounts settles into at constant temperature and pressure.

The equilibrium minimises the Gibbs free energy
    sum_j x_j (c_j + ln(x_j / sum_k x_k))
over the moles x_j of each species, subject to the conservation of each element (a linear
row per element: the atoms of the element in each species times its moles). The objective
is nonlinear (logarithms of ratios), so the library solves it with its nonlinear solver,
locally, with exact derivatives of the formulas. This is the classic problem of Bracken and
McCormick (1968), also number 112 of the Hock-Schittkowski collection: the published optimum
is -47.761090859.

Run:  python examples/chemical_equilibrium.py
"""

import nivra

# Free energy constants c_j of the species (H, H2, H2O, N, N2, NH, NO, O, O2, OH).
ENERGY = [-6.089, -17.164, -34.054, -5.914, -24.721, -14.986, -24.100, -10.708, -26.662, -22.179]
# Atoms of each element (H, N, O) per species, and the element amounts of the gas.
ATOMS = {
    "H": [1, 2, 2, 0, 0, 1, 0, 0, 0, 1],
    "N": [0, 0, 0, 1, 2, 1, 1, 0, 0, 0],
    "O": [0, 0, 1, 0, 0, 0, 1, 1, 2, 1],
}
AMOUNT = {"H": 2.0, "N": 1.0, "O": 1.0}
SPECIES = ["H", "H2", "H2O", "N", "N2", "NH", "NO", "O", "O2", "OH"]


def solve():
    p = nivra.problem(name="equilibrium")
    p.setOutputEnabled(False)  # comment this out to see the solver log
    x = [p.addVariable(lb=1e-6, name=name) for name in SPECIES]
    total = nivra.Sum(x)
    p.addConstraint(nivra.Sum(a * v for a, v in zip(ATOMS[e], x)) == AMOUNT[e] for e in ATOMS)
    p.setObjective(nivra.Sum(x[j] * (ENERGY[j] + nivra.log(x[j] / total))
                             for j in range(len(SPECIES))))
    p.optimize()
    return p.attributes.objval, p.getSolution(x)


if __name__ == "__main__":
    energy, moles = solve()
    print(f"Free energy: {energy:.9f}")
    for name, value in zip(SPECIES, moles):
        print(f"  {name:4s} {value:.6f}")
