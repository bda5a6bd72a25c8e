// record_io.cpp: lines, names and errors of the library's small text files (see record_io.h).
#include "files/record_io.h"

#include <cerrno>
#include <cstring>

namespace nvra {

int RecordReader::open(NVRAprob prob, const char *fn, const char *filename) {
    if (!filename || !*filename)
        return probError(prob, NVRA_RC_INVALID, "%s: no file name given", fn);
    if (int err = readWhole(filename, text_))
        return probError(prob, NVRA_RC_FILE, "%s: cannot read \"%s\": %s", fn, filename,
                         std::strerror(err));
    if (text_.find('\0') != std::string::npos)
        return recordError(prob, fn, filename, 0, "a zero byte (is this a text file?)");
    pos_ = 0;
    line_ = 0;
    return 0;
}

bool RecordReader::next(std::vector<std::string_view> &tokens) {
    while (pos_ < text_.size()) {
        size_t end = text_.find('\n', pos_);
        if (end == std::string::npos) end = text_.size();
        const std::string_view line(text_.data() + pos_, end - pos_);
        pos_ = end + 1;
        ++line_;
        tokens.clear();
        for (size_t p = 0; p < line.size();) {
            while (p < line.size() && isBlank(line[p]))
                ++p;
            const size_t start = p;
            while (p < line.size() && !isBlank(line[p]))
                ++p;
            if (p > start) tokens.push_back(line.substr(start, p - start));
        }
        if (tokens.empty() || tokens[0][0] == '*' || tokens[0][0] == '#') continue;
        return true;
    }
    return false;
}

int recordError(NVRAprob prob, const char *fn, const char *filename, int64_t line,
                const std::string &message) {
    if (line > 0)
        return probError(prob, NVRA_RC_FILE, "%s: \"%s\": line %lld: %s", fn, filename,
                         static_cast<long long>(line), message.c_str());
    return probError(prob, NVRA_RC_FILE, "%s: \"%s\": %s", fn, filename, message.c_str());
}

const char *tokenNameFault(std::string_view name) {
    for (char c : name)
        if (isBlank(c) || c == '\n') return "holds a blank";
    if (name[0] == '*' || name[0] == '#') return "starts with a comment character";
    return nullptr;
}

const char *anyNameFault(std::string_view) {
    return nullptr;
}

ShownNames shownNames(const Model &m, bool rows, NameFault fault) {
    return rows ? ShownNames(m.rowNames, m.numRows(), 'R', fault)
                : ShownNames(m.colNames, m.numCols(), 'C', fault);
}

ShownIndex::ShownIndex(const Model &m, bool rows) {
    const ShownNames shown = shownNames(m, rows, tokenNameFault);
    const int n = rows ? m.numRows() : m.numCols();
    index_.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        index_.emplace(std::string(shown[i]), i); // shown names are distinct
}

int ShownIndex::find(std::string_view name) const {
    const auto it = index_.find(std::string(name));
    return it == index_.end() ? -1 : it->second;
}

FILE *openForWriting(NVRAprob prob, const char *fn, const char *filename) {
    FILE *f = std::fopen(filename, "wb");
    if (!f)
        probError(prob, NVRA_RC_FILE, "%s: cannot write \"%s\": %s", fn, filename,
                  std::strerror(errno));
    return f;
}

int closeSink(NVRAprob prob, const char *fn, const char *filename, FileSink &out,
              int64_t replaced) {
    if (int err = out.close())
        return probError(prob, NVRA_RC_FILE, "%s: writing \"%s\" failed: %s", fn, filename,
                         std::strerror(err));
    warnReplacedNames(prob, filename, replaced);
    return 0;
}

int noFlags(NVRAprob prob, const char *fn, const char *flags) {
    if (!flags || !*flags) return 0;
    return probError(prob, NVRA_RC_INVALID, "%s: unknown flags \"%s\" (none are defined)", fn,
                     flags);
}

std::string fileOrDefault(NVRAprob prob, const char *filename, const char *extension) {
    if (filename && *filename) return filename;
    return prob->model.probName + extension;
}

} // namespace nvra
