// compile.h: the model store compiled into what HiGHS is given. The user's columns and rows keep
// their indices 0..n-1 and 0..m-1; the auxiliary columns and rows of reformulations follow them
// and never show in results. The user rows' matrix is handed over straight from the store.
#pragma once

#include "solver/engine.h"
#include "core/model.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "highs_c_api.h"

namespace nvra {

// The store's index arrays are handed to HiGHS as they are.
static_assert(sizeof(HighsInt) == sizeof(int32_t), "libnvra needs HiGHS built with 32-bit indices");

struct Image {
    const Model *model = nullptr;
    int userCols = 0, userRows = 0;
    int sense = 1;
    double offset = 0.0;

    // Columns, user then auxiliary: cost, bounds and kHighsVarType... per column.
    std::vector<double> cost, colLower, colUpper;
    std::vector<HighsInt> colType;
    bool integral = false; // some column has a type other than continuous
    // Semi-continuous and semi-integer columns may use the engine's own types; otherwise they
    // get the binary form, so that every discrete choice is an integer column.
    bool nativeSemi = true;

    // User rows: bounds and starts into the store's row-wise matrix.
    std::vector<double> rowLower, rowUpper;
    std::vector<HighsInt> rowStart;

    // Auxiliary rows, row-wise (auxStart has one entry per row, plus the end).
    std::vector<double> auxLower, auxUpper;
    std::vector<HighsInt> auxStart{0}, auxIndex;
    std::vector<double> auxValue;

    // User rows held back from the run (delayed rows and model cuts, heldrows.cpp): free in
    // rowLower/rowUpper, their own ends in heldLower/heldUpper.
    std::vector<int> heldRows;
    std::vector<double> heldLower, heldUpper;

    // Objective Hessian: lower triangle, column-wise over all columns.
    std::vector<HighsInt> qStart, qIndex;
    std::vector<double> qValue;

    int numCols() const { return static_cast<int>(colType.size()); }
    int numAuxRows() const { return static_cast<int>(auxLower.size()); }
    int numRows() const { return userRows + numAuxRows(); }

    // Appends an auxiliary column with cost 0; returns its index.
    int addCol(double lower, double upper, HighsInt type);
    // Appends an auxiliary row lower <= sum value * x[col] <= upper; the entries may come in any
    // order, with repeated columns (summed) and zeros (dropped).
    void addRow(double lower, double upper, std::vector<std::pair<int, double>> entries);
    // Bounds at or beyond the library's infinity (1e20) become the engine's own infinity, so
    // that the engine neither reports nor re-checks them as large finite values.
    void useEngineInfinity();
    // Frees the arrays the engine holds its own copy of once it has been given the image (costs,
    // bounds, row starts, the auxiliary rows' entries, the Hessian's indices), so that their
    // memory is back before the engine's run, where memory peaks. What the solve reads after the
    // hand-over stays: the shape (colType, auxLower), whether there is a Hessian (qValue), the
    // held rows and the scalars.
    void releaseHandedOver();
};

// What a compiled solve relaxes: with relax set, integrality, semi-continuity, partial
// integrality, sets and indicators are dropped (the rows of indicators then restrict nothing).
struct CompileOptions {
    bool relax = false;
    bool nativeSemi = true;  // see Image::nativeSemi
    bool libraryRows = true; // the active cuts and held-back rows (heldrows.cpp)
};

// Compiles the problem's store. 0, or an error code with the problem's last error set (a needed
// bound is infinite, the model is too large for the engine's indices, out of memory).
int compileModel(NVRAprob prob, const CompileOptions &options, Image &img);

// The reformulations (reformulate.cpp): semi-continuous, semi-integer and partially integer
// columns, SOS1 and SOS2 sets, indicator rows. Called by compileModel for unrelaxed solves.
int reformulateEntities(NVRAprob prob, Image &img);
// Piecewise-linear and general constraints (reformulate_general.cpp); relaxed: the auxiliary
// binaries are continuous. Called by compileModel for every solve.
int reformulateGeneral(NVRAprob prob, Image &img, bool relax);

// The rows the library adds to a solve or holds back (heldrows.cpp): active cuts of the cut
// pool as auxiliary rows; delayed rows and model cuts made free, to be restored when violated.
int addLibraryRows(NVRAprob prob, Image &img);

// The bounds within which column j's value lies, whatever its type (a semi-continuous column
// may also be 0).
std::pair<double, double> valueRange(const Model &model, int j);

// Hands the image to the engine: as changes when the engine holds an earlier model and that is
// cheaper (its basis then seeds the next run), else whole, keeping the engine's basis when the
// previous model had the same shape. False when the engine refused it (its message is captured).
bool passImage(Engine &engine, Image &img);
// Hands img to an engine that holds an earlier model as the changes between the two (the
// engine keeps its basis); false when a whole hand-over is needed or cheaper (incremental.cpp).
bool passChanges(Engine &engine, const Image &img);
// Records img as the engine's model after a successful hand-over (the record stays stale for a
// model with an objective Hessian, or when it cannot be stored).
void recordHandover(Engine &engine, const Image &img) noexcept;

// Labels used in error messages: "column 3", "row 0", "set 2".
std::string colLabel(const Model &model, int j);
std::string rowLabel(const Model &model, int i);

} // namespace nvra
