// store_objective.cpp: the linear and quadratic objective, the sense and the further objectives
// with their controls.
//
// Objective 0 is Model::cost, objConstant and the *0 controls; objective k >= 1 is
// Model::objectives[k - 1]. Column index -1 addresses an objective's right-hand side, the
// negative of its constant.
#include "store/store.h"

namespace nvra {
namespace {

struct ObjectiveRef {
    std::vector<double> *cost;
    double *constant;
    int *priority;
    double *weight, *absTol, *relTol;
};

ObjectiveRef objectiveAt(Model &m, int idx) {
    if (idx == 0)
        return {&m.cost, &m.objConstant, &m.priority0, &m.weight0, &m.absTol0, &m.relTol0};
    Objective &o = m.objectives[idx - 1];
    return {&o.cost, &o.constant, &o.priority, &o.weight, &o.absTol, &o.relTol};
}

// Objective idx for a change: an existing one, or, for idx = the number of objectives, a new
// one. Call it once everything is checked: the append is the call's only step that may fail.
ObjectiveRef objectiveForChange(Model &m, int idx) {
    if (idx == static_cast<int>(m.objectives.size()) + 1) {
        Objective o;
        o.cost.assign(m.numCols(), 0.0);
        m.objectives.push_back(std::move(o));
    }
    return objectiveAt(m, idx);
}

// objidx for reading (0 .. count-1) or, with append, for changing (0 .. count).
int checkObjIndex(NVRAprob prob, int objidx, bool append) {
    const int count = kindCount(prob->model, Kind::Objective);
    if (objidx >= 0 && objidx < count + (append ? 1 : 0)) return 0;
    if (append)
        return probError(prob, NVRA_RC_RANGE,
                         "Objective index %d is out of range: the problem has %d objectives (index "
                         "%d appends one)",
                         objidx, count, count);
    return checkIndex(prob, Kind::Objective, objidx);
}

// Coefficient lists of NVRAchgobj and friends: columns (or -1 for the right-hand side when
// allowRhs) and finite values.
int checkObjCoefs(NVRAprob prob, const char *fn, int n, const int *colind, const double *coef,
                  bool allowRhs) {
    if (int rc = checkCount(prob, fn, "coefficients", n)) return rc;
    if (int rc = checkArray(prob, fn, "colind", colind, n)) return rc;
    if (int rc = checkArray(prob, fn, "objcoef", coef, n)) return rc;
    for (int k = 0; k < n; ++k) {
        if (!(allowRhs && colind[k] == -1))
            if (int rc = checkIndex(prob, Kind::Column, colind[k])) return rc;
        if (badCoef(coef[k]))
            return probError(prob, NVRA_RC_INVALID,
                             "%s: the objective coefficient for column %d is %g: coefficients "
                             "must be finite",
                             fn, colind[k], coef[k]);
    }
    return 0;
}

// Sets the listed coefficients (duplicates summed; -1 sets the right-hand side).
void setObjCoefs(ObjectiveRef o, int n, const int *colind, const double *coef) {
    double rhs = 0.0;
    for (int k = 0; k < n; ++k)
        if (colind[k] >= 0) (*o.cost)[colind[k]] = 0.0;
    bool rhsGiven = false;
    for (int k = 0; k < n; ++k) {
        if (colind[k] >= 0) {
            (*o.cost)[colind[k]] += coef[k];
        } else {
            rhs += coef[k];
            rhsGiven = true;
        }
    }
    if (rhsGiven) *o.constant = -rhs;
}

int getObjCoefs(NVRAprob prob, const char *fn, int objidx, double *out, int first, int last) {
    return storeQuery(prob, fn, [&] {
        if (int rc = checkObjIndex(prob, objidx, false)) return rc;
        const int n = prob->model.numCols();
        if (first < -1 || first > n || last < first - 1 || last >= n)
            return probError(prob, NVRA_RC_RANGE,
                             "%s: column range %d..%d is invalid: the problem has %d columns "
                             "(indices 0..%d, -1 for the right-hand side)",
                             fn, first, last, n, n - 1);
        if (int rc = checkArray(prob, fn, "objcoef", out, last - first + 1)) return rc;
        ObjectiveRef o = objectiveAt(prob->model, objidx);
        for (int j = first; j <= last; ++j)
            out[j - first] = j < 0 ? -*o.constant : (*o.cost)[j];
        return 0;
    });
}

template <class S>
int changeQObj(NVRAprob prob, const char *fn, S n, const int *c1, const int *c2, const double *v) {
    return storeEdit(prob, fn, [&] {
        if (int rc =
                checkTriplets(prob, "the quadratic objective", n, c1, c2, v, prob->model.numCols()))
            return rc;
        QTriplets merged = tripletsReplaced(prob->model.Q, sortedTriplets(n, c1, c2, v));
        prob->model.Q = std::move(merged);
        return 0;
    });
}

template <class S>
int getQObj(NVRAprob prob, const char *fn, S *start, int *colind, double *coef, S maxcoefs,
            S *ncoefs, int first, int last) {
    return storeQuery(prob, fn, [&] {
        return tripletsByColumn(prob, fn, prob->model.Q, start, colind, coef, maxcoefs, ncoefs,
                                first, last);
    });
}

const CaEntry *objControl(int id) {
    for (const CaEntry &e : kRegistry)
        if (e.id == id && (e.flags & NVRA_CA_OBJCONTROL)) return &e;
    return nullptr;
}

// The registry row of an objective control of the wanted type, or an error.
int findObjControl(NVRAprob prob, int control, CaType type, const CaEntry *&entry) {
    entry = objControl(control);
    if (!entry)
        return probError(prob, NVRA_RC_INVALID,
                         "Unknown objective control %d: the objective controls are 20001 "
                         "(priority), 20002 (weight), 20003 (abstol), 20004 (reltol) and 20005 "
                         "(rhs)",
                         control);
    if (entry->type != type)
        return probError(prob, NVRA_RC_INVALID, "Objective control %d (%s) is %s: use %s", control,
                         entry->name, entry->type == CaType::Int ? "an integer" : "a double",
                         entry->type == CaType::Int ? "NVRAsetobjintcontrol/NVRAgetobjintcontrol"
                                                    : "NVRAsetobjdblcontrol/NVRAgetobjdblcontrol");
    return 0;
}

double *objDblControl(ObjectiveRef o, int control) {
    switch (control) {
    case kObjCtrlWeight:
        return o.weight;
    case kObjCtrlAbsTol:
        return o.absTol;
    case kObjCtrlRelTol:
        return o.relTol;
    default:
        return o.constant; // kObjCtrlRhs
    }
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAchgobj(NVRAprob prob, int ncols, const int colind[], const double objcoef[]) {
    const char *fn = "NVRAchgobj";
    return storeEdit(prob, fn, [&] {
        if (int rc = checkObjCoefs(prob, fn, ncols, colind, objcoef, true)) return rc;
        setObjCoefs(objectiveAt(prob->model, 0), ncols, colind, objcoef);
        return 0;
    });
}

int NVRAgetobj(NVRAprob prob, double objcoef[], int first, int last) {
    return getObjCoefs(prob, "NVRAgetobj", 0, objcoef, first, last);
}

int NVRAchgobjsense(NVRAprob prob, int objsense) {
    return storeEdit(prob, "NVRAchgobjsense", [&] {
        if (objsense != 1 && objsense != -1)
            return probError(prob, NVRA_RC_INVALID,
                             "Invalid objective sense %d: expected 1 (minimise) or -1 (maximise)",
                             objsense);
        prob->model.sense = objsense;
        return 0;
    });
}

int NVRAchgmqobj(NVRAprob prob, int ncoefs, const int objqcol1[], const int objqcol2[],
                 const double objqcoef[]) {
    return changeQObj(prob, "NVRAchgmqobj", ncoefs, objqcol1, objqcol2, objqcoef);
}

int NVRAchgmqobj64(NVRAprob prob, int64_t ncoefs, const int objqcol1[], const int objqcol2[],
                   const double objqcoef[]) {
    return changeQObj(prob, "NVRAchgmqobj64", ncoefs, objqcol1, objqcol2, objqcoef);
}

int NVRAchgqobj(NVRAprob prob, int objqcol1, int objqcol2, double objqcoef) {
    return changeQObj(prob, "NVRAchgqobj", 1, &objqcol1, &objqcol2, &objqcoef);
}

int NVRAgetqobj(NVRAprob prob, int objqcol1, int objqcol2, double *objqcoef) {
    const char *fn = "NVRAgetqobj";
    return storeQuery(prob, fn, [&] {
        if (int rc = checkIndex(prob, Kind::Column, objqcol1)) return rc;
        if (int rc = checkIndex(prob, Kind::Column, objqcol2)) return rc;
        if (int rc = checkArray(prob, fn, "objqcoef", objqcoef)) return rc;
        *objqcoef = tripletAt(prob->model.Q, objqcol1, objqcol2);
        return 0;
    });
}

int NVRAgetmqobj(NVRAprob prob, int start[], int colind[], double objqcoef[], int maxcoefs,
                 int *ncoefs, int first, int last) {
    return getQObj(prob, "NVRAgetmqobj", start, colind, objqcoef, maxcoefs, ncoefs, first, last);
}

int NVRAgetmqobj64(NVRAprob prob, int64_t start[], int colind[], double objqcoef[],
                   int64_t maxcoefs, int64_t *ncoefs, int first, int last) {
    return getQObj(prob, "NVRAgetmqobj64", start, colind, objqcoef, maxcoefs, ncoefs, first, last);
}

int NVRAaddobj(NVRAprob prob, int ncols, const int colind[], const double objcoef[], int priority,
               double weight) {
    const char *fn = "NVRAaddobj";
    return storeEdit(prob, fn, [&] {
        if (int rc = checkObjCoefs(prob, fn, ncols, colind, objcoef, false)) return rc;
        const CaEntry *w = objControl(kObjCtrlWeight);
        if (!(weight >= w->dblLower && weight <= w->dblUpper))
            return probError(prob, NVRA_RC_INVALID,
                             "%s: weight %g is out of range: it must lie in [%g, %g]", fn, weight,
                             w->dblLower, w->dblUpper);
        Model &m = prob->model;
        ObjectiveRef o = objectiveForChange(m, static_cast<int>(m.objectives.size()) + 1);
        setObjCoefs(o, ncols, colind, objcoef);
        *o.priority = priority;
        *o.weight = weight;
        return 0;
    });
}

int NVRAchgobjn(NVRAprob prob, int objidx, int ncols, const int colind[], const double objcoef[]) {
    const char *fn = "NVRAchgobjn";
    return storeEdit(prob, fn, [&] {
        if (int rc = checkObjIndex(prob, objidx, true)) return rc;
        if (int rc = checkObjCoefs(prob, fn, ncols, colind, objcoef, true)) return rc;
        setObjCoefs(objectiveForChange(prob->model, objidx), ncols, colind, objcoef);
        return 0;
    });
}

// Removing objective 0 promotes objective 1 (coefficients, constant, controls; the quadratic
// objective belongs to objective 0 and goes with it). The only objective is cleared instead:
// coefficients, constant, quadratic part and controls back to their defaults.
int NVRAdelobj(NVRAprob prob, int objidx) {
    return storeEdit(prob, "NVRAdelobj", [&] {
        if (int rc = checkObjIndex(prob, objidx, false)) return rc;
        Model &m = prob->model;
        if (objidx > 0) {
            m.objectives.erase(m.objectives.begin() + (objidx - 1));
            return 0;
        }
        Objective next;
        if (m.objectives.empty()) {
            next.cost.assign(m.numCols(), 0.0);
        } else {
            next = std::move(m.objectives.front());
            m.objectives.erase(m.objectives.begin());
        }
        m.cost.swap(next.cost);
        m.objConstant = next.constant;
        m.priority0 = next.priority;
        m.weight0 = next.weight;
        m.absTol0 = next.absTol;
        m.relTol0 = next.relTol;
        m.Q = QTriplets();
        return 0;
    });
}

int NVRAgetobjn(NVRAprob prob, int objidx, double objcoef[], int first, int last) {
    return getObjCoefs(prob, "NVRAgetobjn", objidx, objcoef, first, last);
}

int NVRAsetobjintcontrol(NVRAprob prob, int objidx, int control, int value) {
    return storeEdit(prob, "NVRAsetobjintcontrol", [&] {
        const CaEntry *e;
        if (int rc = checkObjIndex(prob, objidx, true)) return rc;
        if (int rc = findObjControl(prob, control, CaType::Int, e)) return rc;
        if (value < e->intLower || value > e->intUpper)
            return probError(prob, NVRA_RC_INVALID,
                             "Value %d is out of range for objective control %d (%s): it must lie "
                             "in [%lld, %lld]",
                             value, control, e->name, static_cast<long long>(e->intLower),
                             static_cast<long long>(e->intUpper));
        *objectiveForChange(prob->model, objidx).priority = value;
        return 0;
    });
}

int NVRAsetobjdblcontrol(NVRAprob prob, int objidx, int control, double value) {
    return storeEdit(prob, "NVRAsetobjdblcontrol", [&] {
        const CaEntry *e;
        if (int rc = checkObjIndex(prob, objidx, true)) return rc;
        if (int rc = findObjControl(prob, control, CaType::Double, e)) return rc;
        if (!(value >= e->dblLower && value <= e->dblUpper))
            return probError(prob, NVRA_RC_INVALID,
                             "Value %g is out of range for objective control %d (%s): it must lie "
                             "in [%g, %g]",
                             value, control, e->name, e->dblLower, e->dblUpper);
        *objDblControl(objectiveForChange(prob->model, objidx), control) = value;
        return 0;
    });
}

int NVRAgetobjintcontrol(NVRAprob prob, int objidx, int control, int *value) {
    const char *fn = "NVRAgetobjintcontrol";
    return storeQuery(prob, fn, [&] {
        const CaEntry *e;
        if (int rc = checkObjIndex(prob, objidx, false)) return rc;
        if (int rc = findObjControl(prob, control, CaType::Int, e)) return rc;
        if (int rc = checkArray(prob, fn, "value", value)) return rc;
        *value = *objectiveAt(prob->model, objidx).priority;
        return 0;
    });
}

int NVRAgetobjdblcontrol(NVRAprob prob, int objidx, int control, double *value) {
    const char *fn = "NVRAgetobjdblcontrol";
    return storeQuery(prob, fn, [&] {
        const CaEntry *e;
        if (int rc = checkObjIndex(prob, objidx, false)) return rc;
        if (int rc = findObjControl(prob, control, CaType::Double, e)) return rc;
        if (int rc = checkArray(prob, fn, "value", value)) return rc;
        *value = *objDblControl(objectiveAt(prob->model, objidx), control);
        return 0;
    });
}

} // extern "C"
