// record_io.h: what the library's small text files (bases, directives, solutions) share: reading
// a file as lines of blank-separated tokens, finding rows and columns by the names the problem
// shows, errors that name the file and the line, and opening a file for writing.
#pragma once

#include "files/file_io.h"
#include "store/store.h"

#include <string>
#include <string_view>
#include <vector>

namespace nvra {

// The lines of a text file, each split into tokens; comment lines (starting with '*' or '#') and
// blank lines are skipped.
class RecordReader {
  public:
    // Reads the file; 0 or the error (NVRA_RC_FILE naming the file) set on prob.
    int open(NVRAprob prob, const char *fn, const char *filename);
    // The next line's tokens; false at the end of the file.
    bool next(std::vector<std::string_view> &tokens);
    int64_t line() const { return line_; }

  private:
    std::string text_;
    size_t pos_ = 0;
    int64_t line_ = 0;
};

// "<fn>: <file>: line <n>: <message>" as the problem's error, NVRA_RC_FILE.
int recordError(NVRAprob prob, const char *fn, const char *filename, int64_t line,
                const std::string &message);
// The index of the row (rows true) or column with the name a file gives; -1 when none.
int indexOfName(NVRAprob prob, bool rows, std::string_view name);
// Refuses (NVRA_RC_INVALID) names of rows (when rows) and columns that a file of tokens cannot
// hold: blanks, or a comment character first.
int checkTokenNames(NVRAprob prob, const char *fn, bool rows);
// Opens filename for writing: the file, or nullptr with the error set on prob.
FILE *openForWriting(NVRAprob prob, const char *fn, const char *filename);
// Closes a sink, reporting a failed write naming the file.
int closeSink(NVRAprob prob, const char *fn, const char *filename, FileSink &out);
// Flags of the writers and readers that take none: NULL or "".
int noFlags(NVRAprob prob, const char *fn, const char *flags);
// The file name, or the problem's name with the given extension when it is NULL or "".
std::string fileOrDefault(NVRAprob prob, const char *filename, const char *extension);

} // namespace nvra
