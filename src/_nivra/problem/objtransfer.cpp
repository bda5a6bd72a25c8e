// problem/objtransfer.cpp: the transfer row and column of a nonlinear objective: added with the
// objective's formulas, removed when objective 0 is set again, read back as the nonlinear part
// of the objective.
#include "objtransfer.h"

#include <vector>

#include "model/conrow.h"
#include "model/libaccess.h"
#include "runtime/ref.h"
#include "problem/constraints.h"
#include "problem/convert.h"
#include "problem/delobjs.h"
#include "problem/problib.h"
#include "problem/variables.h"

namespace {

constexpr const char *kRowName = "objtransferrow";
constexpr const char *kColName = "objtransfercol";
constexpr double kBound = 1e20;

int &transferColumn(problem_s *p) {
    return p->obj_state[0];
}
int &transferRow(problem_s *p) {
    return p->obj_state[1];
}

// Names entry index of a kind with the output log switched off around the call (the library
// may log names it adjusts), the log control restored afterwards. 0 or -1.
int nameQuietly(problem_s *p, int type, int index, const char *name) {
    int log = 0;
    if (problem_call(p, NVRAgetintcontrol, "NVRAgetintcontrol", NVRA_CONTROL_OUTPUTLOG, &log) !=
            0 ||
        problem_call(p, NVRAsetintcontrol, "NVRAsetintcontrol", NVRA_CONTROL_OUTPUTLOG, 0) != 0)
        return -1;
    const int rc = problem_call(p, NVRAaddnames, "NVRAaddnames", type, name, index, index);
    if (rc != 0) {
        AutoSavedException keep;
        if (problem_call(p, NVRAsetintcontrol, "NVRAsetintcontrol", NVRA_CONTROL_OUTPUTLOG, log) !=
            0)
            PyErr_Clear();
        return -1;
    }
    return problem_call(p, NVRAsetintcontrol, "NVRAsetintcontrol", NVRA_CONTROL_OUTPUTLOG, log);
}

// Sets or clears status bits of a row of the nonlinear problem. 0 or -1.
int changeRowStatus(problem_s *p, int row, int bits, bool set) {
    int status = 0;
    if (problem_call(p, NSLPgetrowstatus, "NSLPgetrowstatus", row, &status) != 0) return -1;
    status = set ? status | bits : status & ~bits;
    return problem_call(p, NSLPchgrowstatus, "NSLPchgrowstatus", row, status);
}

// Deletes the last row and column of the library problem (a transfer row and column whose
// objects were not made yet). Keeps a pending exception.
void dropNewEntries(problem_s *p, int row, int col) {
    AutoSavedException keep;
    if (col >= 0 && problem_call(p, NVRAdelcols, "NVRAdelcols", 1, &col) != 0) PyErr_Clear();
    if (problem_call(p, NVRAdelrows, "NVRAdelrows", 1, &row) != 0) PyErr_Clear();
}

// Appends the transfer row and column to the library problem, with the formulas of pieces in
// the row; on failure what was appended is deleted again. 0 or -1.
int appendTransfer(problem_s *p, FormulaPieces &pieces, int *rowOut, int *colOut) {
    int row = 0, col = -1;
    if (problem_intAttrib(p, NVRA_ATTR_ORIGINALROWS, &row) != 0 ||
        problem_intAttrib(p, NVRA_ATTR_ORIGINALCOLS, &col) != 0)
        return -1;
    const char type = 'E';
    const double rhs = 0.0, range = 0.0, minusOne = -1.0, objcoef = 0.0, lb = -kBound, ub = kBound;
    const int64_t rowStart = 0, colStart[2] = {0, 1};
    const int noColumn = 0;
    if (problem_call(p, NVRAaddrows64, "NVRAaddrows64", 1, int64_t{0}, &type, &rhs, &range,
                     &rowStart, &noColumn, &objcoef) != 0)
        return -1;
    int rc = problem_call(p, NVRAaddcols64, "NVRAaddcols64", 1, int64_t{1}, &objcoef, colStart,
                          &row, &minusOne, &lb, &ub);
    if (rc != 0) col = -1; // nothing appended
    if (rc == 0) rc = nameQuietly(p, NVRA_NAMES_ROWS, row, kRowName);
    if (rc == 0) rc = nameQuietly(p, NVRA_NAMES_COLUMNS, col, kColName);
    if (rc == 0)
        rc = problem_call(p, NSLPchgvar, "NSLPchgvar", col, &row, nullptr, nullptr, nullptr,
                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (rc == 0) rc = changeRowStatus(p, row, NSLP_ROW_OBJECTIVE, true);
    if (rc == 0) {
        for (size_t k = 0; k < pieces.count; ++k)
            pieces.rows[k] = row;
        rc = problem_call(p, NSLPaddcoefs, "NSLPaddcoefs", static_cast<int>(pieces.count),
                          pieces.rows.data(), pieces.cols.data(), pieces.factors.data(),
                          pieces.starts.data(), 1, pieces.tokens.types.data(),
                          pieces.tokens.values.data());
    }
    if (rc != 0) {
        dropNewEntries(p, row, col);
        return -1;
    }
    *rowOut = row;
    *colOut = col;
    return 0;
}

// The index of a transfer entry: the recorded one while it still carries its name (deletions
// by the user may have moved it), else the entry found by name; -1 when it is gone. 0 or -1.
int locate(problem_s *p, int type, int recorded, const char *name, int *index) {
    Ref current = Ref::steal(recorded >= 0 ? nvr_entityName(p, type, recorded) : nullptr);
    if (current && PyUnicode_CompareWithASCIIString(current.get(), name) == 0) {
        *index = recorded;
        return 0;
    }
    PyErr_Clear(); // the recorded index may lie beyond the end now
    return problem_call(p, NVRAgetindex, "NVRAgetindex", type, name, index);
}

// Deletes the coefficients of row from the nonlinear problem, from the last one backwards.
// 0 or -1.
int deleteRowCoefficients(problem_s *p, int row) {
    int n = 0;
    if (problem_call(p, NSLPgetcoefs, "NSLPgetcoefs", &n, nullptr, nullptr) != 0) return -1;
    std::vector<int> rows(static_cast<size_t>(n)), cols(static_cast<size_t>(n));
    if (n > 0 && problem_call(p, NSLPgetcoefs, "NSLPgetcoefs", &n, rows.data(), cols.data()) != 0)
        return -1;
    for (int k = n - 1; k >= 0; --k)
        if (rows[k] == row &&
            problem_call(p, NSLPdelcoefs, "NSLPdelcoefs", 1, &rows[k], &cols[k]) != 0)
            return -1;
    return 0;
}

// Removes the recorded transfer row and column with their formulas, nonlinear data and model
// objects, and clears the record; *rowOut and *colOut receive the indices they had (-1: gone
// already). 0 or -1.
int removeTransfer(problem_s *p, int *rowOut, int *colOut) {
    int &row = *rowOut, &col = *colOut;
    if (locate(p, NVRA_NAMES_ROWS, transferRow(p), kRowName, &row) != 0 ||
        locate(p, NVRA_NAMES_COLUMNS, transferColumn(p), kColName, &col) != 0)
        return -1;
    if (col >= 0) {
        const double zero = 0.0;
        if (problem_call(p, NVRAchgobj, "NVRAchgobj", 1, &col, &zero) != 0 ||
            problem_call(p, NSLPdelvars, "NSLPdelvars", 1, &col) != 0 ||
            problem_call(p, NVRAdelcols, "NVRAdelcols", 1, &col) != 0 ||
            nvy_delModelObjs(p, p->vars, {col}) != 0)
            return -1;
    }
    if (row >= 0) {
        if (deleteRowCoefficients(p, row) != 0 ||
            changeRowStatus(p, row, NSLP_ROW_OBJECTIVE, false) != 0 ||
            problem_call(p, NVRAdelrows, "NVRAdelrows", 1, &row) != 0 ||
            nvy_delModelObjs(p, p->cons, {row}) != 0)
            return -1;
    }
    p->nl_objective = 0;
    transferColumn(p) = -1;
    transferRow(p) = -1;
    return 0;
}

} // namespace

int objtransfer_replace(problem_s *p, FormulaPieces &pieces) {
    int row = -1, col = -1;
    if (pieces.count > 0) {
        const Py_ssize_t cons = PyList_GET_SIZE(p->cons), vars = PyList_GET_SIZE(p->vars);
        if (appendTransfer(p, pieces, &row, &col) != 0) return -1;
        // an unlinked variable keeps its own name: the column's
        Ref names = Ref::steal(Py_BuildValue("(s)", kColName));
        if (!names || addRowsAsConstraints(p, 1) != 0 ||
            addColsAsVariables(p, 1, names.get(), nullptr, nullptr) != 0) {
            dropNewEntries(p, row, col);
            nvy_dropObjectsFrom(p, p->cons, cons);
            nvy_dropObjectsFrom(p, p->vars, vars);
            return -1;
        }
    }
    if (p->nl_objective) {
        int oldRow = -1, oldCol = -1;
        if (removeTransfer(p, &oldRow, &oldCol) != 0) return -1;
        // the new entries came after the old ones and moved down with them
        if (row >= 0 && oldRow >= 0 && oldRow < row) --row;
        if (col >= 0 && oldCol >= 0 && oldCol < col) --col;
    }
    if (pieces.count > 0) {
        p->nl_objective = 1;
        transferRow(p) = row;
        transferColumn(p) = col;
    }
    return 0;
}

int objtransfer_adopt(problem_s *p) {
    int row = -1, col = -1, status = 0, detrow = -1;
    if (problem_call(p, NVRAgetindex, "NVRAgetindex", NVRA_NAMES_ROWS, kRowName, &row) != 0 ||
        problem_call(p, NVRAgetindex, "NVRAgetindex", NVRA_NAMES_COLUMNS, kColName, &col) != 0)
        return -1;
    if (row < 0 || col < 0) return 0;
    if (problem_call(p, NSLPgetrowstatus, "NSLPgetrowstatus", row, &status) != 0 ||
        problem_call(p, NSLPgetvar, "NSLPgetvar", col, &detrow, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) != 0)
        return -1;
    if (!(status & NSLP_ROW_OBJECTIVE) || detrow != row) return 0;
    p->nl_objective = 1;
    transferRow(p) = row;
    transferColumn(p) = col;
    return 0;
}

int objtransfer_activate(problem_s *p) {
    if (!p->nl_objective) return 0;
    const double one = 1.0;
    return problem_call(p, NVRAchgobj, "NVRAchgobj", 1, &transferColumn(p), &one);
}

int objtransfer_column(problem_s *p, int *col) {
    *col = -1;
    return p->nl_objective ? locate(p, NVRA_NAMES_COLUMNS, transferColumn(p), kColName, col) : 0;
}

int objtransfer_read(problem_s *p, Ref &sum) {
    if (!p->nl_objective) return 0;
    int row = -1;
    if (locate(p, NVRA_NAMES_ROWS, transferRow(p), kRowName, &row) != 0) return -1;
    return row < 0 ? 0 : conrow_add_nonlinear(p, row, sum);
}
