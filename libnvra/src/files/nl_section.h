// nl_section.h: the nonlinear section of LP and MPS files (its format is documented in nslp.h):
// the formulas of rows and of the objective and the SLP data of columns and rows, written from
// a nonlinear problem and read into one.
#pragma once

#include "files/file_io.h"
#include "nonlinear/nldata.h"

#include <string_view>
#include <vector>

namespace nvra {

// The model data a file gives a nonlinear problem, read before anything changes.
struct NlFileData {
    nl::Coefficients coefs;
    std::vector<nl::SlpColumn> cols;
    std::vector<nl::SlpRow> rows;
};

// The nonlinear data of prob's nonlinear problem, or null when it has none.
nl::NlData *nonlinearData(NVRAprob prob);

// Whether d holds anything the section carries (formulas, SLP data other than the defaults).
bool holdsFileContent(const nl::NlData &d, int nrows, int ncols);

// Throws WriteError when a formula of d calls a user function that a file cannot name (its name
// is no plain identifier, or an internal function's or an earlier registration's).
void checkWritable(const nl::NlData &d);

// Writes the section of d for model m under the header line given ("Nonlinear", "NONLINEAR"),
// with the names the file shows (after checkWritable).
void writeNonlinearSection(const nl::NlData &d, const Model &m, const FileNames &names,
                           std::string_view header, FileSink &out);

// Reads the entry lines of a section against the model built from the same file, with the user
// functions registered (by name). Throws ReadError naming the line.
void readNonlinearSection(const std::vector<FileModel::Line> &lines, const Model &m,
                          const std::vector<nl::UserFunction> &userFunctions, NlFileData &out);

// Puts what a file gave into d, after the model was replaced (which cleared d's model data).
void installNonlinear(nl::NlData &d, NlFileData &&in) noexcept;

} // namespace nvra
