// lib_store_memory.cpp: memory and speed of libnvra's model store, measured against HiGHS in
// the same process.
//
//   - heap bytes per non-zero of a model with 10^7 non-zeros (loaded in one call, and built by
//     many column additions), and of names on a million columns;
//   - time to add 10^6 non-zeros in one NVRAaddrows64 call and in one NVRAaddcols64 call;
//   - time of NVRAloadlp64 (and NVRAloadlp) against Highs_passModel with the same arrays, as a
//     ratio (target: at most 1.1).
//
// Build: cmake -DNIVRA_BUILD_BENCH=ON ... && cmake --build <dir> --target lib_store_memory
// Run:   <dir>/bench/lib_store_memory [scale [load|add|memory]]
//        (scale 1 = the sizes above, 0.1 for a quick run; by default all three parts run)
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "highs_c_api.h"
#include "nvra.h"

namespace {

using Clock = std::chrono::steady_clock;

size_t heapInUse() {
    return mallinfo2().uordblks + mallinfo2().hblkhd;
}

double seconds(const std::function<void()> &f) {
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void check(int rc, NVRAprob p, const char *what) {
    if (rc == 0) return;
    char buf[NVRA_MAXMESSAGELENGTH] = "";
    if (p) NVRAgetlasterror(p, buf, sizeof buf);
    std::fprintf(stderr, "%s failed (%d): %s\n", what, rc, buf);
    std::exit(1);
}

// A column-wise LP: ncols columns of perCol entries in distinct random rows, sorted by row.
struct Lp {
    int nrows, ncols;
    std::vector<char> rowtype;
    std::vector<double> rhs, range, obj, lb, ub, value, rowLower, rowUpper;
    std::vector<int64_t> start64;
    std::vector<int> start32, index;

    Lp(int rows, int cols, int perCol, unsigned seed) : nrows(rows), ncols(cols) {
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> row(0, rows - 1);
        std::uniform_real_distribution<double> val(-10, 10);
        for (int i = 0; i < rows; ++i) {
            const char t = "LGER"[i % 4];
            rowtype.push_back(t);
            rhs.push_back(i % 7);
            range.push_back(t == 'R' ? 3 : 0);
            rowLower.push_back(t == 'L' ? -1e20 : t == 'R' ? rhs.back() - 3 : rhs.back());
            rowUpper.push_back(t == 'G' ? 1e20 : rhs.back());
        }
        std::vector<int> col;
        for (int j = 0; j < cols; ++j) {
            start64.push_back(static_cast<int64_t>(index.size()));
            start32.push_back(static_cast<int>(index.size()));
            col.clear();
            while (static_cast<int>(col.size()) < perCol) {
                const int r = row(rng);
                if (std::find(col.begin(), col.end(), r) == col.end()) col.push_back(r);
            }
            std::sort(col.begin(), col.end());
            for (int r : col)
                index.push_back(r), value.push_back(val(rng));
            obj.push_back(val(rng));
            lb.push_back(0);
            ub.push_back(j % 3 ? 1e20 : 100);
        }
        start64.push_back(static_cast<int64_t>(index.size()));
        start32.push_back(static_cast<int>(index.size()));
    }
    int64_t nnz() const { return static_cast<int64_t>(index.size()); }
};

NVRAprob newProb() {
    NVRAprob p = nullptr;
    check(NVRAcreateprob(&p), nullptr, "NVRAcreateprob");
    return p;
}

void memory(double scale) {
    const int n = static_cast<int>(1e6 * scale);
    const int perCol = 10;
    Lp lp(n, n, perCol, 1);
    const double nnz = static_cast<double>(lp.nnz());

    NVRAprob p = newProb();
    const size_t before = heapInUse();
    check(NVRAloadlp64(p, "big", lp.ncols, lp.nrows, lp.rowtype.data(), lp.rhs.data(),
                       lp.range.data(), lp.obj.data(), lp.start64.data(), nullptr, lp.index.data(),
                       lp.value.data(), lp.lb.data(), lp.ub.data()),
          p, "NVRAloadlp64");
    const double loaded = static_cast<double>(heapInUse() - before);
    // The matrix proper takes 12 bytes per non-zero; rows keep 25 bytes each (type, rhs, range,
    // start) and columns 33 (bounds, cost, limit, type).
    const double perRowCol = 25.0 * lp.nrows + 33.0 * lp.ncols;
    std::printf("memory, %.0f non-zeros (%d rows, %d columns), one load:\n", nnz, lp.nrows,
                lp.ncols);
    std::printf("  heap %.1f MB = %.2f bytes per non-zero; %.2f bytes per non-zero beyond the "
                "per-row and per-column arrays\n",
                loaded / 1e6, loaded / nnz, (loaded - perRowCol) / nnz);
    NVRAdestroyprob(p);

    // The same matrix built by 100 column additions (geometric growth leaves some slack).
    p = newProb();
    const size_t before2 = heapInUse();
    check(NVRAaddrows64(p, lp.nrows, 0, lp.rowtype.data(), lp.rhs.data(), lp.range.data(), nullptr,
                        nullptr, nullptr),
          p, "NVRAaddrows64");
    const int batch = lp.ncols / 100;
    const auto t0 = Clock::now();
    for (int j0 = 0; j0 < lp.ncols; j0 += batch) {
        const int k = std::min(batch, lp.ncols - j0);
        std::vector<int64_t> s(lp.start64.begin() + j0, lp.start64.begin() + j0 + k);
        for (int64_t &x : s)
            x -= lp.start64[j0];
        const int64_t cnt = lp.start64[j0 + k] - lp.start64[j0];
        check(NVRAaddcols64(p, k, cnt, lp.obj.data() + j0, s.data(),
                            lp.index.data() + lp.start64[j0], lp.value.data() + lp.start64[j0],
                            lp.lb.data() + j0, lp.ub.data() + j0),
              p, "NVRAaddcols64");
    }
    const double took = std::chrono::duration<double>(Clock::now() - t0).count();
    const double built = static_cast<double>(heapInUse() - before2);
    std::printf("  built by 100 NVRAaddcols64 calls (%.2f s in all: each call moves the rows "
                "built so far): heap %.1f MB = %.2f bytes per non-zero\n",
                took, built / 1e6, built / nnz);

    NVRAdestroyprob(p);

    // Names: one given name among a million columns, then all of them named.
    p = newProb();
    check(NVRAaddcols64(p, lp.ncols, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), p,
          "NVRAaddcols64");
    const size_t before3 = heapInUse();
    check(NVRAaddnames(p, NVRA_NAMES_COLUMNS, "lonely", 5, 5), p, "NVRAaddnames");
    const double one = static_cast<double>(heapInUse() - before3);
    std::string all;
    for (int j = 0; j < lp.ncols; ++j)
        all += "x(" + std::to_string(j) + ")" + '\0';
    const size_t before4 = heapInUse();
    check(NVRAaddnames(p, NVRA_NAMES_COLUMNS, all.data(), 0, lp.ncols - 1), p, "NVRAaddnames");
    const double full = static_cast<double>(heapInUse() - before4);
    std::printf("names on %d columns: one name %.0f bytes; all named (%.1f bytes of text each) "
                "%.2f bytes per column\n",
                lp.ncols, one, static_cast<double>(all.size()) / lp.ncols - 1,
                (full + one) / lp.ncols);
    NVRAdestroyprob(p);
}

void additions(double scale) {
    const int n = static_cast<int>(1e5 * scale);
    Lp lp(n, n, 10, 2); // 10^6 non-zeros at scale 1
    // Rows: the transposed matrix handed over row-wise in one call on n empty columns.
    std::vector<int64_t> rowStart(n + 1, 0);
    for (int i : lp.index)
        ++rowStart[i + 1];
    for (int i = 0; i < n; ++i)
        rowStart[i + 1] += rowStart[i];
    std::vector<int> cols(lp.nnz());
    std::vector<double> vals(lp.nnz());
    std::vector<int64_t> at(rowStart.begin(), rowStart.end() - 1);
    for (int j = 0; j < n; ++j)
        for (int64_t q = lp.start64[j]; q < lp.start64[j + 1]; ++q) {
            cols[at[lp.index[q]]] = j;
            vals[at[lp.index[q]]++] = lp.value[q];
        }
    std::vector<double> rowTimes, colTimes;
    for (int rep = 0; rep < 5; ++rep) {
        NVRAprob p = newProb();
        check(NVRAaddcols64(p, n, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), p,
              "cols");
        rowTimes.push_back(seconds([&] {
            check(NVRAaddrows64(p, n, lp.nnz(), lp.rowtype.data(), lp.rhs.data(), lp.range.data(),
                                rowStart.data(), cols.data(), vals.data()),
                  p, "NVRAaddrows64");
        }));
        NVRAdestroyprob(p);
        p = newProb();
        check(NVRAaddrows64(p, n, 0, lp.rowtype.data(), lp.rhs.data(), lp.range.data(), nullptr,
                            nullptr, nullptr),
              p, "rows");
        colTimes.push_back(seconds([&] {
            check(NVRAaddcols64(p, n, lp.nnz(), lp.obj.data(), lp.start64.data(), lp.index.data(),
                                lp.value.data(), lp.lb.data(), lp.ub.data()),
                  p, "NVRAaddcols64");
        }));
        NVRAdestroyprob(p);
    }
    std::printf("adding %lld non-zeros in one call (median of 5): NVRAaddrows64 %.1f ms, "
                "NVRAaddcols64 %.1f ms\n",
                static_cast<long long>(lp.nnz()), 1e3 * median(rowTimes), 1e3 * median(colTimes));
}

void loadAgainstHighs(double scale) {
    const int n = static_cast<int>(1e5 * scale);
    Lp lp(n, n, 10, 3);
    std::vector<double> ours64, ours32, highs;
    for (int rep = 0; rep < 9; ++rep) {
        NVRAprob p = newProb();
        ours64.push_back(seconds([&] {
            check(NVRAloadlp64(p, "lp", lp.ncols, lp.nrows, lp.rowtype.data(), lp.rhs.data(),
                               lp.range.data(), lp.obj.data(), lp.start64.data(), nullptr,
                               lp.index.data(), lp.value.data(), lp.lb.data(), lp.ub.data()),
                  p, "NVRAloadlp64");
        }));
        NVRAdestroyprob(p);
        p = newProb();
        ours32.push_back(seconds([&] {
            check(NVRAloadlp(p, "lp", lp.ncols, lp.nrows, lp.rowtype.data(), lp.rhs.data(),
                             lp.range.data(), lp.obj.data(), lp.start32.data(), nullptr,
                             lp.index.data(), lp.value.data(), lp.lb.data(), lp.ub.data()),
                  p, "NVRAloadlp");
        }));
        NVRAdestroyprob(p);
        void *h = Highs_create();
        Highs_setBoolOptionValue(h, "output_flag", 0);
        highs.push_back(seconds([&] {
            if (Highs_passModel(h, lp.ncols, lp.nrows, static_cast<HighsInt>(lp.nnz()), 0,
                                kHighsMatrixFormatColwise, kHighsHessianFormatTriangular,
                                kHighsObjSenseMinimize, 0.0, lp.obj.data(), lp.lb.data(),
                                lp.ub.data(), lp.rowLower.data(), lp.rowUpper.data(),
                                lp.start32.data(), lp.index.data(), lp.value.data(), nullptr,
                                nullptr, nullptr, nullptr) == kHighsStatusError) {
                std::fprintf(stderr, "Highs_passModel failed\n");
                std::exit(1);
            }
        }));
        Highs_destroy(h);
    }
    const double h = median(highs);
    std::printf("loading %lld non-zeros (%d rows, %d columns; median of 9):\n",
                static_cast<long long>(lp.nnz()), lp.nrows, lp.ncols);
    std::printf("  Highs_passModel %.1f ms; NVRAloadlp64 %.1f ms (ratio %.2f); NVRAloadlp %.1f ms "
                "(ratio %.2f)\n",
                1e3 * h, 1e3 * median(ours64), median(ours64) / h, 1e3 * median(ours32),
                median(ours32) / h);
}

} // namespace

int main(int argc, char **argv) {
    const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
    const char *part = argc > 2 ? argv[2] : "";
    auto wanted = [&](const char *name) { return !*part || std::strcmp(part, name) == 0; };
    if (NVRAinit(nullptr) != 0) return 1;
    if (wanted("load")) loadAgainstHighs(scale);
    if (wanted("add")) additions(scale);
    if (wanted("memory")) memory(scale);
    NVRAfree();
    return 0;
}
