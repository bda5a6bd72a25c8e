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
    std::string out = "'";
    for (char c : s.substr(0, kShown)) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7f) {
            out += c;
        } else {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 15];
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

bool parseNumber(std::string_view token, double &value) {
    std::string_view s = token;
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s[0] == '+' || s[0] == '-') return false;
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

std::string_view ShownNames::operator[](int i) const {
    std::string_view given = names_.get(i);
    if (!given.empty()) return given;
    buf_.assign(1, prefix_);
    buf_ += std::to_string(i);
    return buf_;
}

namespace {

// The index k when s is the default name of entry k of a list of count entries, else -1.
int defaultIndex(std::string_view s, char prefix, int count) {
    if (s.size() < 2 || s.size() > 11 || s[0] != prefix) return -1;
    if (s[1] == '0' && s.size() > 2) return -1; // "C01" is not a default name
    int64_t k = 0;
    for (size_t p = 1; p < s.size(); ++p) {
        if (s[p] < '0' || s[p] > '9') return -1;
        k = k * 10 + (s[p] - '0');
    }
    return k < count ? static_cast<int>(k) : -1;
}

[[noreturn]] void refuse(std::string text) {
    throw WriteError{std::move(text)};
}

} // namespace

void checkWritable(const Model &m) {
    if (!m.objectives.empty())
        refuse("the problem has " + std::to_string(m.objectives.size() + 1) +
               " objectives; MPS and LP files hold only one");
}

void checkNames(const NameList &names, int count, char prefix, const char *kind,
                const char *(*fault)(std::string_view)) {
    ShownNames shown(names, prefix);
    for (int i = 0; i < count; ++i) {
        std::string_view s = shown[i];
        if (const char *why = fault(s))
            refuse(std::string(kind) + " " + std::to_string(i) + " is named '" + std::string(s) +
                   "', which " + why);
    }
    // Two given names alike, or a given name equal to the default name of an unnamed entry.
    tsl::robin_map<std::string_view, int> seen;
    seen.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::string_view s = names.get(i);
        if (s.empty()) continue;
        auto [it, fresh] = seen.try_emplace(s, i);
        int other = fresh ? defaultIndex(s, prefix, count) : it->second;
        if (other >= 0 && other != i && (!fresh || names.get(other).empty()))
            refuse(std::string(kind) + "s " + std::to_string(other) + " and " + std::to_string(i) +
                   " are both named '" + std::string(s) + "'; names in a file must be unique");
    }
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
