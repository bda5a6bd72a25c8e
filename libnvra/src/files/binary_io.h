// binary_io.h: the library's binary files (solutions, saved problems): a writer that collects the
// content and writes it with a magic text and a checksum, and a reader that checks both and
// refuses truncated or damaged content.
#pragma once

#include "files/file_io.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace nvra {

class BinWriter {
  public:
    explicit BinWriter(const char magic[8]) { buf_.append(magic, 8); }
    template <class T> void put(T v) {
        static_assert(std::is_arithmetic_v<T>);
        buf_.append(reinterpret_cast<const char *>(&v), sizeof v);
    }
    template <class T> void putVector(const std::vector<T> &v) {
        put<int64_t>(static_cast<int64_t>(v.size()));
        if (!v.empty()) buf_.append(reinterpret_cast<const char *>(v.data()), v.size() * sizeof(T));
    }
    void putString(std::string_view s) {
        put<int64_t>(static_cast<int64_t>(s.size()));
        buf_.append(s.data(), s.size());
    }
    // Writes the content and its checksum; 0 or an errno value.
    int writeTo(const char *filename);
    // The size of the content with its checksum, and the same bytes copied into dst (size()
    // bytes).
    size_t size() const;
    void copyTo(char *dst) const;

  private:
    std::string buf_;
};

// Reads what BinWriter wrote; every get throws ReadError (line 0) when the content ends early or
// a length is impossible.
class BinReader {
  public:
    // Reads the whole file; 0 or an errno value. Then check() verifies magic and checksum.
    int load(const char *filename);
    // Takes n bytes of content from memory instead; then check() as for a file.
    void assign(const char *p, size_t n);
    void check(const char magic[8]);
    template <class T> T get() {
        static_assert(std::is_arithmetic_v<T>);
        T v;
        need(sizeof v);
        std::memcpy(&v, data_.data() + pos_, sizeof v);
        pos_ += sizeof v;
        return v;
    }
    template <class T> std::vector<T> getVector() {
        const int64_t n = getLength(sizeof(T));
        std::vector<T> v(static_cast<size_t>(n));
        if (n) std::memcpy(v.data(), data_.data() + pos_, static_cast<size_t>(n) * sizeof(T));
        pos_ += static_cast<size_t>(n) * sizeof(T);
        return v;
    }
    std::string getString() {
        const int64_t n = getLength(1);
        std::string s(data_.data() + pos_, static_cast<size_t>(n));
        pos_ += static_cast<size_t>(n);
        return s;
    }
    // The content must be used up.
    void finish() const;

  private:
    int64_t getLength(size_t elementSize);
    void need(size_t n) const;
    std::string data_;
    size_t pos_ = 0, end_ = 0;
};

} // namespace nvra
