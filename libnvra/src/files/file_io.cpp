// file_io.cpp: the pieces the problem-file readers and writers share: warnings, the read record,
// numbers in and out, shown names and their checks, buffered output.
#include "files/file_io.h"

#include <tsl/robin_set.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace nvra {

// ---- warnings -------------------------------------------------------------------------------

void Warnings::add(int64_t line, std::string text) {
    if (kept_.size() >= kMaxWarnings) {
        ++dropped_;
        return;
    }
    kept_.push_back(line > 0 ? "line " + std::to_string(line) + ": " + text : std::move(text));
}

std::vector<std::string> Warnings::lines() const {
    std::vector<std::string> out = kept_;
    if (dropped_ > 0) out.push_back(std::to_string(dropped_) + " more warnings of this file");
    return out;
}

std::string quoted(std::string_view s) {
    constexpr size_t kShown = 60;
    const std::string_view shown = s.substr(0, kShown);
    std::string out = "'";
    for (size_t i = 0, n; i < shown.size(); i += n) {
        // Messages are UTF-8 text: bytes of no valid sequence are escaped too.
        const auto u = static_cast<unsigned char>(shown[i]);
        n = utf8Sequence(shown, i);
        if (n > 0 && u >= 0x20 && u != 0x7f) {
            out.append(shown.substr(i, n));
        } else {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 15];
            n = 1;
        }
    }
    if (s.size() > kShown) out += "...";
    return out + "'";
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool sameWord(std::string_view s, std::string_view keyword) {
    if (s.size() != keyword.size()) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        const char a = s[i] >= 'A' && s[i] <= 'Z' ? static_cast<char>(s[i] + 32) : s[i];
        const char b = keyword[i] >= 'A' && keyword[i] <= 'Z' ? static_cast<char>(keyword[i] + 32)
                                                              : keyword[i];
        if (a != b) return false;
    }
    return true;
}

// ---- the read record ------------------------------------------------------------------------

namespace {
// Rows and columns are counted in int.
void checkCountFits(size_t count, const char *kind) {
    if (count >= static_cast<size_t>(std::numeric_limits<int>::max()))
        throw ReadError{0, std::string("the file has more ") + kind + " than the library can hold"};
}
} // namespace

int FileModel::addRow(std::string_view name, char type) {
    checkCountFits(rowType.size(), "rows");
    rowNames.push_back(name);
    rowType.push_back(type);
    rhs.push_back(0.0);
    range.push_back(0.0);
    return numRows() - 1;
}

int FileModel::addCol(std::string_view name) {
    checkCountFits(colType.size(), "columns");
    colNames.push_back(name);
    colType.push_back('C');
    cost.push_back(0.0);
    lb.push_back(0.0);
    ub.push_back(kInf);
    limit.push_back(0.0);
    lbGiven.push_back(0);
    return numCols() - 1;
}

void FileModel::addEntry(int32_t row, int32_t col, double v) {
    entRow.push_back(row);
    entCol.push_back(col);
    entVal.push_back(v);
}

void FileModel::setLower(int32_t c, double v) {
    lb[c] = v;
    lbGiven[c] = 1;
}

void FileModel::setUpper(int32_t c, double v, int64_t line, Warnings &warnings) {
    ub[c] = v;
    if (v < 0 && lb[c] == 0 && !lbGiven[c]) {
        lb[c] = -kInf;
        warnings.add(line, "column " + quoted(colNames[c]) +
                               " has a negative upper bound and lower bound 0: its lower bound "
                               "is taken as -infinity");
    }
}

void FileModel::makeInteger(int32_t c) {
    char &t = colType[c];
    t = t == 'C' ? 'I' : t == 'S' ? 'R' : t;
}

void FileModel::makeSemi(int32_t c) {
    char &t = colType[c];
    t = t == 'C' ? 'S' : t == 'I' ? 'R' : t;
}

void FileModel::settle() {
    for (int c = 0; c < numCols(); ++c) {
        char &t = colType[c];
        if (t == 'S' || t == 'R') {
            if (lb[c] < 0)
                throw ReadError{0, "semi-continuous column " + quoted(colNames[c]) +
                                       " has a negative lower bound (its threshold)"};
            limit[c] = lb[c];
            lb[c] = 0.0;
        } else if (t == 'B' && (lb[c] < 0 || ub[c] > 1)) {
            t = 'I';
        }
    }
    for (const auto &ind : indicators) {
        const int c = ind.col;
        if (!(colType[c] == 'B' || (colType[c] == 'I' && lb[c] >= 0 && ub[c] <= 1)))
            throw ReadError{0, "the indicator column " + quoted(colNames[c]) + " of row " +
                                   quoted(rowNames[ind.row]) + " is not binary"};
    }
}

// ---- numbers --------------------------------------------------------------------------------

namespace {
bool isDigitOrPoint(char c) {
    return (c >= '0' && c <= '9') || c == '.';
}
} // namespace

bool parseNumber(std::string_view token, double &value) {
    std::string_view s = token;
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s[0] == '+' || s[0] == '-') return false;
    // Fortran's exponent letter (1.5D3, 2d-4), which older files use, reads as E.
    std::string fortran;
    const size_t d = s.find_first_of("dD");
    if (d != std::string_view::npos && d > 0 && (isDigitOrPoint(s[d - 1]))) {
        fortran.assign(s);
        fortran[d] = 'e';
        s = fortran;
    }
    double v = 0.0;
    const char *end = s.data() + s.size();
    auto [p, ec] = std::from_chars(s.data(), end, v);
    if (p != end) return false;
    if (ec == std::errc::result_out_of_range) {
        // from_chars leaves v alone on overflow and underflow; strtod tells them apart.
        std::string copy(s);
        v = std::strtod(copy.c_str(), nullptr);
    } else if (ec != std::errc()) {
        return false;
    }
    if (v != v) return false; // NaN
    if (negative) v = -v;
    value = v >= kInf ? kInf : v <= -kInf ? -kInf : v;
    return true;
}

std::string_view formatNumber(double v, char (&buf)[32]) {
    if (v == 0.0) v = 0.0; // no "-0"
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
    (void)ec; // 32 bytes always hold the shortest form of a double
    return {buf, static_cast<size_t>(p - buf)};
}

// ---- shown names ----------------------------------------------------------------------------

ShownNames::ShownNames(const NameList &names, int count, char prefix, NameFault fault)
    : names_(names), prefix_(prefix) {
    // Given names the format cannot hold, and repeats of a name an earlier entry shows.
    tsl::robin_map<std::string_view, int> shown;
    for (int i = 0; i < count; ++i) {
        std::string_view s = names.get(i);
        if (s.empty()) continue;
        if (fault(s) || !shown.try_emplace(s, i).second) replace(i);
    }
    // Shown names that are the default name of another entry: entry k's default "C<k>" is taken
    // by the entry holding it. A clash exists while k shows its default; settling it makes the
    // holder show its own default, which may clash in turn. The set replaced is the least one
    // without clashes, whatever the order of work.
    tsl::robin_map<int, int> holderOf; // k -> the entry showing the default name of entry k
    for (const auto &[s, i] : shown) {
        const int k = parseDefaultName(prefix, s, count);
        if (k >= 0 && k != i) holderOf.emplace(k, i);
    }
    std::vector<int> work;
    for (const auto &[k, i] : holderOf)
        if (showsDefault(k)) work.push_back(k);
    while (!work.empty()) {
        auto it = holderOf.find(work.back());
        work.pop_back();
        if (it == holderOf.end()) continue;
        const int i = it->second;
        holderOf.erase(it);
        replace(i);
        work.push_back(i);
    }
}

void ShownNames::replace(int i) {
    if (isReplaced_.empty()) isReplaced_.assign(static_cast<size_t>(names_.size()), 0);
    if (!isReplaced_[i]) ++replaced_;
    isReplaced_[i] = 1;
}

std::string_view ShownNames::operator[](int i) const {
    if (!showsDefault(i)) return names_.get(i);
    return {buf_, static_cast<size_t>(defaultName(prefix_, i, buf_))};
}

void warnReplacedNames(NVRAprob prob, const char *filename, int64_t n) {
    if (n == 0) return;
    const std::string text =
        "Warning: file '" + std::string(filename) + "': " + std::to_string(n) +
        (n == 1 ? " name" : " names") +
        " (duplicated, or not writable in this format) written as default names";
    probMessage(prob, text.c_str(), 3);
}

void checkWritable(const Model &m) {
    if (!m.objectives.empty())
        throw WriteError{"the problem has " + std::to_string(m.objectives.size() + 1) +
                         " objectives; MPS and LP files hold only one"};
}

// ---- buffered output ------------------------------------------------------------------------

namespace {
constexpr size_t kSinkBuffer = 1 << 20;
}

FileSink::FileSink(FILE *f) : f_(f) {
    buf_.reserve(kSinkBuffer + 4096);
}

FileSink::~FileSink() {
    if (f_) std::fclose(f_);
}

void FileSink::fail() {
    if (!error_) error_ = errno ? errno : EIO;
}

void FileSink::flush() {
    if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size()) fail();
    buf_.clear();
}

FileSink &FileSink::operator<<(std::string_view s) {
    buf_.append(s);
    const size_t nl = s.rfind('\n');
    column_ = nl == std::string_view::npos ? column_ + s.size() : s.size() - nl - 1;
    if (buf_.size() >= kSinkBuffer) flush();
    return *this;
}

FileSink &FileSink::operator<<(char c) {
    return *this << std::string_view(&c, 1);
}

FileSink &FileSink::operator<<(double v) {
    char buf[32];
    return *this << formatNumber(v, buf);
}

FileSink &FileSink::operator<<(int64_t v) {
    char buf[24];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
    (void)ec;
    return *this << std::string_view(buf, static_cast<size_t>(p - buf));
}

FileSink &FileSink::padTo(size_t col) {
    if (column_ < col) *this << std::string(col - column_, ' ');
    return *this;
}

int FileSink::close() {
    flush();
    if (std::fflush(f_) != 0 || std::ferror(f_)) fail();
    if (std::fclose(f_) != 0) fail();
    f_ = nullptr;
    return error_;
}

} // namespace nvra
