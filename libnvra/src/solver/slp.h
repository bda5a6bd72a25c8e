// slp.h: the successive linear programming solver. Each iteration linearises the program (its
// formulas with their exact derivatives, its quadratic parts) at the current point and solves
// the linearisation as an LP on a HiGHS instance of its own, warm-started from the previous
// basis:
//     min  grad f(x)'y + mu * sum_r w_r (p_r + q_r)
//     s.t. lo_r <= g_r(x) + grad g_r(x)'(y - x) + p_r - q_r <= up_r,   p, q >= 0,
//          max(lower_j, x_j - s_j) <= y_j <= min(upper_j, x_j + s_j)
// where the error columns p, q keep every linearisation feasible, w_r are the rows' weights
// (NSLPchgrowwt) and s_j the step bounds of the columns that appear nonlinearly (columns that
// appear only linearly need none). The step to y is taken when the l1 merit function
// f + mu * sum_r w_r violation_r falls by at least a tenth of what the linearisation predicted;
// otherwise the step bounds shrink and the LP is solved again. A column whose step changes sign
// between two iterations has its step bound halved (the steps then settle on solutions that are
// not vertices of the linearisation); one whose step reaches its bound on a good prediction has
// it doubled. The penalty mu grows (control slp_penaltygrowth) while the linearisation needs its
// error columns. Convergence, on a feasible point: a linearisation whose solution needs no error
// column and whose multipliers make the KKT conditions at the point hold within nlp_opttol
// (relative to the gradient's scale); or steps within slp_absstep + slp_relstep * |x|, or a
// predicted reduction that vanishes (a local optimum when the KKT conditions hold to a hundred
// times nlp_opttol, else a point the solver cannot improve: NlpOutcome's Acceptable end); or an
// objective change within both slp_objabs and slp_objrel * |f| for five accepted iterations in
// a row (Acceptable). A step that the merit test rejects gets one second-order correction (the
// linearisation again, each row moved by its linearisation error at the trial point) before the
// step bounds shrink. Every point is cascaded before it is evaluated (the transfer column of a
// nonlinear objective then carries the objective's value, so the merit function sees the
// objective itself). A point of least violation is the end of an infeasible program (the
// penalty at its limit).
#pragma once

#include "solver/deadline.h"
#include "solver/interior.h"
#include "solver/qcprogram.h"

#include <functional>
#include <vector>

namespace nvra {

struct SlpSettings {
    int64_t iterLimit = 1000;
    double feasTol = 1e-6;
    double absStep = 1e-6, relStep = 1e-6, objAbs = 1e-7, objRel = 1e-7;
    double optTol = 1e-6;      // of the stationarity residual, relative to the gradient
    double initialStep = kInf; // step bound of columns without their own (kInf: by the point)
    double penalty = 1.0, penaltyGrowth = 2.0;
    std::vector<double> rowWeight; // per image row (empty: 1)
    std::vector<double> colStep;   // per image column, kInf where none was set
    bool log = true;
    // Whether solveSlp writes its failure as the problem's last error. Off for runs on worker
    // threads (multistart.cpp): the problem's error is one record without a lock, so their
    // caller writes each run's failure (slpFailure) once the workers are done, in run order.
    bool reportError = true;
    // Recomputes determined columns of a point from their determining rows (cascading), before
    // the point is evaluated; empty: none.
    std::function<void(std::vector<double> &x)> cascade;
    // The nonlinear problem's callbacks at the points of the solve (empty: none). A hook that
    // asks for a stop makes the problem's interrupt request, which the solver polls.
    struct Hooks {
        // Around each iteration (one LP solved); a stop from iterStart skips the iteration.
        std::function<void()> iterStart, iterEnd;
        // Before the formulas are linearised at a point: true asks for one more update.
        std::function<bool()> repeatLinearization;
        // The formulas could not be evaluated at a trial point (the step is then shortened).
        std::function<void()> evaluationFailed;
        // A column's verdict at a convergence check: 0 the solver's, 1 converged, -1 not.
        std::function<int(int col)> columnVerdict;
        // A line of the solver's log (empty: the optimizer problem's log).
        std::function<void(const char *line)> message;
    } hooks;
};

// Solves program qp from start (image columns, moved into the column bounds of setup). The
// outcome uses NlpOutcome's ends: Optimal for a converged feasible point, Infeasible for a point
// of least violation, Unbounded when a linearisation is unbounded in columns that appear only
// linearly, Stopped (limits, interrupts), Failed (an LP the engine could not solve, a start
// where the formulas cannot be evaluated). iterations counts the LPs solved; rowMult holds the
// last LP's multipliers in Ipopt's convention (L = f + y'g, minimisation form). Returns 0 or
// NVRA_RC_NOMEM (written as the problem's error, see SlpSettings::reportError).
int solveSlp(NVRAprob prob, const QcProgram &qp, const NlpSetup &setup, const SlpSettings &s,
             const Deadline &deadline, NlpOutcome &out);

// Writes the failure rc of a solveSlp run (NVRA_RC_NOMEM) as the problem's last error; returns rc.
int slpFailure(NVRAprob prob, int rc);

} // namespace nvra
