// binary_io.cpp: checksummed binary content (see binary_io.h).
#include "files/binary_io.h"

#include <cerrno>
#include <cstdio>

namespace nvra {
namespace {

constexpr size_t kMagic = 8, kChecksum = 8;

// FNV-1a over the content.
uint64_t checksum(const char *p, size_t n) {
    uint64_t h = 1469598103934665603ull;
    for (size_t k = 0; k < n; ++k) {
        h ^= static_cast<unsigned char>(p[k]);
        h *= 1099511628211ull;
    }
    return h;
}

} // namespace

int BinWriter::writeTo(const char *filename) {
    const uint64_t sum = checksum(buf_.data(), buf_.size());
    FILE *f = std::fopen(filename, "wb");
    if (!f) return errno;
    const bool ok = std::fwrite(buf_.data(), 1, buf_.size(), f) == buf_.size() &&
                    std::fwrite(&sum, sizeof sum, 1, f) == 1;
    const int err = ok ? 0 : (errno ? errno : EIO);
    if (std::fclose(f) != 0 && !err) return errno ? errno : EIO;
    return err;
}

size_t BinWriter::size() const {
    return buf_.size() + kChecksum;
}

void BinWriter::copyTo(char *dst) const {
    const uint64_t sum = checksum(buf_.data(), buf_.size());
    std::memcpy(dst, buf_.data(), buf_.size());
    std::memcpy(dst + buf_.size(), &sum, sizeof sum);
}

int BinReader::load(const char *filename) {
    data_.clear();
    pos_ = end_ = 0;
    return readWhole(filename, data_);
}

void BinReader::assign(const char *p, size_t n) {
    data_.assign(p, n);
    pos_ = end_ = 0;
}

void BinReader::check(const char magic[8]) {
    if (data_.size() < kMagic || std::memcmp(data_.data(), magic, kMagic) != 0)
        throw ReadError{0, "not a file of this kind (or of another version of the library)"};
    if (data_.size() < kMagic + kChecksum) throw ReadError{0, "the file is truncated"};
    end_ = data_.size() - kChecksum;
    uint64_t sum = 0;
    std::memcpy(&sum, data_.data() + end_, sizeof sum);
    if (sum != checksum(data_.data(), end_))
        throw ReadError{0, "the file is damaged or truncated (its checksum does not match)"};
    pos_ = kMagic;
}

void BinReader::need(size_t n) const {
    if (n > end_ - pos_) throw ReadError{0, "the file is truncated"};
}

int64_t BinReader::getLength(size_t elementSize) {
    const int64_t n = get<int64_t>();
    if (n < 0 || static_cast<uint64_t>(n) > (end_ - pos_) / elementSize)
        throw ReadError{0, "the file holds an impossible length (it is damaged)"};
    return n;
}

void BinReader::finish() const {
    if (pos_ != end_) throw ReadError{0, "the file holds more than expected (it is damaged)"};
}

} // namespace nvra
