// file_io.h: what the readers and writers of problem files share: the record a reader fills,
// read errors and warnings, numbers in and out, and the names a writer shows.
//
// A reader parses the whole text of a file into a FileModel (names are views into that text),
// checking everything it can name a line for; files.cpp then builds the store's Model from it
// through the loaders' whole-model fill. A writer works from the store's Model directly.
#pragma once

#include "core/model.h"
#include "store/store.h"

#include <tsl/robin_map.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace nvra {

namespace nl {
struct NlData;
}

// Entries by name, for the names of one file (views into its text).
using NameIndex = tsl::robin_map<std::string_view, int32_t, std::hash<std::string_view>,
                                 std::equal_to<std::string_view>,
                                 std::allocator<std::pair<std::string_view, int32_t>>, true>;

// A malformed file: line is 1-based, 0 when no single line is to blame.
struct ReadError {
    int64_t line;
    std::string message;
};

// Warnings about input that was read with a stated interpretation (a negative upper bound, a
// repeated entry). At most kMaxWarnings are kept; the rest are counted.
class Warnings {
  public:
    static constexpr size_t kMaxWarnings = 20;
    void add(int64_t line, std::string text);
    // The kept warnings, then a line with the count of those left out (if any).
    std::vector<std::string> lines() const;

  private:
    std::vector<std::string> kept_;
    int64_t dropped_ = 0;
};

// A name or other text of a file for a message, in quotes (shortened when long; control
// characters and bytes of no valid UTF-8 sequence as \xNN, so that messages are UTF-8 text).
std::string quoted(std::string_view s);

// Text helpers of the readers: blanks are space, tab, CR, VT and FF (not the newline); keywords
// compare without regard to ASCII case.
inline bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}
std::string_view trim(std::string_view s);
bool sameWord(std::string_view s, std::string_view keyword);

// A model as read from a file, in the form of the loaders' arguments. Rows and columns are
// numbered in order of definition. Matrix entries are kept as triplets in the order read
// (duplicates are summed by the fill). Quadratic triplets follow the loaders' conventions: for
// the objective a diagonal (i, i, v) is 0.5 v x_i^2 and an off-diagonal one v x_i x_j; for a
// row a diagonal is v x_i^2 and an off-diagonal one 2 v x_i x_j.
struct FileModel {
    std::string_view name; // the file's own problem name, empty when it has none
    int sense = 1;
    double objConstant = 0.0; // as it enters the objective

    std::vector<std::string_view> rowNames; // empty view: unnamed
    std::vector<char> rowType;
    std::vector<double> rhs, range;

    std::vector<std::string_view> colNames;
    std::vector<char> colType;
    std::vector<double> cost, lb, ub, limit;

    std::vector<int32_t> entRow, entCol;
    std::vector<double> entVal;

    std::vector<int32_t> q1, q2; // objective Hessian
    std::vector<double> qv;

    struct QRow {
        int32_t row;
        std::vector<int32_t> c1, c2;
        std::vector<double> v;
    };
    std::vector<QRow> qrows; // at most one per row

    std::vector<std::string_view> setNames; // empty view: unnamed
    std::vector<char> setType;              // '1' or '2'
    std::vector<int64_t> setStart{0};       // one more than the sets
    std::vector<int32_t> setCol;
    std::vector<double> setRef;

    struct IndicatorRow {
        int32_t row, col, complement;
    };
    std::vector<IndicatorRow> indicators;

    std::vector<uint8_t> lbGiven; // per column: a bound of the file set the lower bound

    // The nonlinear section (nl_section.cpp): the line of its header (0: the file has none) and
    // its entry lines, trimmed, without blank and comment lines. They are read once the model
    // is built, since formulas name columns and rows of the whole file.
    struct Line {
        int64_t line;
        std::string_view text;
    };
    int64_t nlSection = 0;
    std::vector<Line> nlLines;

    int numRows() const { return static_cast<int>(rowType.size()); }
    int numCols() const { return static_cast<int>(colType.size()); }
    int addRow(std::string_view name, char type);
    int addCol(std::string_view name); // continuous, bounds [0, inf)
    void addEntry(int32_t row, int32_t col, double v);

    // Bounds as files give them. An upper bound below 0 on a column whose lower bound is 0 and
    // was not given makes the lower bound -inf (with a warning for line).
    void setLower(int32_t c, double v);
    void setUpper(int32_t c, double v, int64_t line, Warnings &warnings);
    // Integer: 'C' becomes 'I' and 'S' becomes 'R'. Semi: 'C' becomes 'S' and 'I' becomes 'R'.
    void makeInteger(int32_t c);
    void makeSemi(int32_t c);
    // After the last line: the lower bound of a semi-continuous or semi-integer column becomes
    // its threshold (its lower bound 0), a binary column with bounds beyond [0, 1] becomes
    // integer, and indicator columns must be binary. Throws ReadError (line 0).
    void settle();
};

// Readers: throw ReadError for malformed input, std::bad_alloc when memory runs out.
// fixed: strict fixed columns (names may hold spaces); otherwise free format, which also reads
// fixed-format files whose names hold no spaces.
void readMps(std::string_view text, bool fixed, FileModel &fm, Warnings &warnings);
void readLp(std::string_view text, FileModel &fm, Warnings &warnings);

// The whole file into text: 0 or an errno value.
int readWhole(const char *filename, std::string &text);

// ---- numbers --------------------------------------------------------------------------------

// Parses a whole token as a number: an optional sign, decimal or exponent notation (the exponent
// letter E, or Fortran's D), "inf" or "infinity" in any case. Values beyond the double range become
// infinite, those too small for it zero; |v| >= 1e20 becomes +-1e20. NaN and anything else is
// refused (false).
bool parseNumber(std::string_view token, double &value);
// The shortest text that reads back as v (at most 24 characters); +-1e20 as "1e+20".
std::string_view formatNumber(double v, char (&buf)[32]);

// ---- writing --------------------------------------------------------------------------------

// Why a file format cannot hold a name, or nullptr when it can.
using NameFault = const char *(*)(std::string_view);

// The names a writer shows for the entries of one list: the given name where the file can hold
// it, else the default name ("C12"), so that writing never fails for want of names and reading
// the file back gives the same entries. Replaced, deterministically: a given name the format
// cannot hold (fault); a given name an earlier entry already shows; and a given name that is
// the default name of another entry showing its default (a clash only a replacement settles,
// repeated until none is left).
class ShownNames {
  public:
    ShownNames(const NameList &names, int count, char prefix, NameFault fault);
    std::string_view operator[](int i) const;
    int replaced() const { return replaced_; } // given names not shown

  private:
    bool showsDefault(int i) const {
        return names_.get(i).empty() || (!isReplaced_.empty() && isReplaced_[i]);
    }
    void replace(int i);

    const NameList &names_;
    char prefix_;
    std::vector<uint8_t> isReplaced_; // empty while nothing is replaced
    int replaced_ = 0;
    mutable char buf_[kDefaultNameBytes];
};

// The names a writer shows, per list, and the problem name (empty: none is written, so that a
// reader names the problem after the file, its default name).
struct FileNames {
    ShownNames rows, cols, sets;
    std::string_view probName;
    bool probNameReplaced;
    int64_t replaced() const {
        return int64_t{rows.replaced()} + cols.replaced() + sets.replaced() + probNameReplaced;
    }
};

// Tells the log that a file shows n given names as default names (nothing when n is 0).
void warnReplacedNames(NVRAprob prob, const char *filename, int64_t n);

// A write failure that names what the format cannot hold.
struct WriteError {
    std::string message;
};

// Refuses (WriteError) a model a file cannot hold whatever its format: additional objectives.
void checkWritable(const Model &m);

// Buffered output to a file; errors are collected and reported by close().
class FileSink {
  public:
    explicit FileSink(FILE *f);
    ~FileSink();
    FileSink(const FileSink &) = delete;
    FileSink &operator=(const FileSink &) = delete;
    FileSink &operator<<(std::string_view s);
    FileSink &operator<<(char c);
    FileSink &operator<<(double v); // formatNumber
    FileSink &operator<<(int64_t v);
    // Pads with spaces up to column col (0-based) of the current line.
    FileSink &padTo(size_t col);
    // Flushes and closes; 0, or the errno value of the first failed write.
    int close();

  private:
    void flush();
    void fail();
    FILE *f_;
    std::string buf_;
    size_t column_ = 0; // characters written since the last newline
    int error_ = 0;
};

// Writers, after checkWritable: names gives the names the file shows. fixed: strict
// fixed-format MPS (names of at most 8 characters). nl: the nonlinear data to write in the
// nonlinear section (nl_section.h), or null for none.
FileNames mpsNames(const Model &m, bool fixed);
void writeMps(const Model &m, const FileNames &names, bool fixed, const nl::NlData *nl,
              FileSink &out);
FileNames lpNames(const Model &m);
// Why an LP file cannot hold a name (characters, a leading digit, a keyword), or nullptr.
const char *lpNameFault(std::string_view name);
void writeLp(const Model &m, const FileNames &names, const nl::NlData *nl, FileSink &out);

// NVRAwriteprob's work, for fn (the entry point named in messages; NSLPwriteprob too).
int writeProblemFile(NVRAprob prob, const char *fn, const char *filename, const char *flags);

} // namespace nvra
