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
// Why a file of blank-separated tokens cannot hold a name: a blank, or a comment character
// first. Such names are written as default names.
const char *tokenNameFault(std::string_view name);
// For files that can hold any name (quoting it where needed).
const char *anyNameFault(std::string_view name);
// The names a file shows for the problem's rows (rows true) or columns.
ShownNames shownNames(const Model &m, bool rows, NameFault fault);

// Rows or columns by the names a file of tokens shows for them (shownNames with tokenNameFault),
// so that a file written with default names in place of some given names reads back.
class ShownIndex {
  public:
    ShownIndex(const Model &m, bool rows);
    int find(std::string_view name) const; // -1 when none

  private:
    tsl::robin_map<std::string, int> index_;
};

// Opens filename for writing: the file, or nullptr with the error set on prob.
FILE *openForWriting(NVRAprob prob, const char *fn, const char *filename);
// Closes a sink, reporting a failed write naming the file, then warns of the given names shown
// as default names (replaced).
int closeSink(NVRAprob prob, const char *fn, const char *filename, FileSink &out,
              int64_t replaced = 0);
// Flags of the writers and readers that take none: NULL or "".
int noFlags(NVRAprob prob, const char *fn, const char *flags);
// The file name, or the problem's name with the given extension when it is NULL or "".
std::string fileOrDefault(NVRAprob prob, const char *filename, const char *extension);

} // namespace nvra
