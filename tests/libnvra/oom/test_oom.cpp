// Allocation-failure injection: this test program replaces the global operator new (which the
// library and the engine it links reach through the dynamic linker), so that the n-th allocation
// of the calling thread fails. For every n along a typical call path each entry point must
// return NVRA_RC_NOMEM and leave the problem as it was, or recover and give the result of an
// undisturbed call.
#include "store_test_util.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <new>
#include <string>
#include <unistd.h>

namespace {

// Allocations of this thread while armed; the one numbered failAt throws.
thread_local long tCount = 0;
thread_local long tFailAt = 0; // 0: not armed
thread_local bool tFired = false;

void *allocate(std::size_t n, std::size_t align) {
    if (tFailAt > 0 && ++tCount == tFailAt) {
        tFired = true;
        throw std::bad_alloc();
    }
    if (n == 0) n = 1;
    void *p = align > alignof(std::max_align_t)
                  ? std::aligned_alloc(align, (n + align - 1) / align * align)
                  : std::malloc(n);
    if (!p) throw std::bad_alloc();
    return p;
}

} // namespace

void *operator new(std::size_t n) {
    return allocate(n, 0);
}
void *operator new[](std::size_t n) {
    return allocate(n, 0);
}
void *operator new(std::size_t n, std::align_val_t a) {
    return allocate(n, static_cast<std::size_t>(a));
}
void *operator new[](std::size_t n, std::align_val_t a) {
    return allocate(n, static_cast<std::size_t>(a));
}
void *operator new(std::size_t n, const std::nothrow_t &) noexcept {
    try {
        return allocate(n, 0);
    } catch (...) {
        return nullptr;
    }
}
void *operator new[](std::size_t n, const std::nothrow_t &t) noexcept {
    return operator new(n, t);
}
void operator delete(void *p) noexcept {
    std::free(p);
}
void operator delete[](void *p) noexcept {
    std::free(p);
}
void operator delete(void *p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void *p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void *p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void *p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void *p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void *p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}

namespace {

using storetest::lastError;
using storetest::Snapshot;

struct Sizes {
    int rows = 0, cols = 0, objs = 1;
};
Sizes sizesOf(NVRAprob p) {
    Sizes s;
    NVRAgetintattrib(p, NVRA_ATTR_ROWS, &s.rows);
    NVRAgetintattrib(p, NVRA_ATTR_COLS, &s.cols);
    NVRAgetintattrib(p, NVRA_ATTR_OBJECTIVES, &s.objs);
    return s;
}
Snapshot snap(NVRAprob p) {
    const Sizes s = sizesOf(p);
    return storetest::snapshot(p, s.rows, s.cols, s.objs);
}

// The model every case starts from: 3 columns (one integer), 2 rows with names, a quadratic
// objective, a set and an indicator.
void base(NVRAprob p) {
    const double obj[] = {1, 2, 3}, lb[] = {0, 0, 0}, ub[] = {4, 5, 1};
    const int cstart[] = {0, 0, 0};
    ASSERT_EQ(NVRAaddcols(p, 3, 0, obj, cstart, nullptr, nullptr, lb, ub), 0) << lastError(p);
    const char types[] = {'L', 'G'}, bin = 'B';
    const double rhs[] = {4, 1}, vals[] = {1, 1, 2, 1};
    const int rstart[] = {0, 2}, cols[] = {0, 1, 1, 2}, two = 2;
    ASSERT_EQ(NVRAaddrows(p, 2, 4, types, rhs, nullptr, rstart, cols, vals), 0) << lastError(p);
    ASSERT_EQ(NVRAchgcoltype(p, 1, &two, &bin), 0);
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_ROWS, "r0\0r1\0", 0, 1), 0);
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, "x\0y\0z\0", 0, 2), 0);
    const int q = 0;
    const double qv = 2;
    ASSERT_EQ(NVRAchgmqobj(p, 1, &q, &q, &qv), 0);
    const char s1 = '1';
    const int sstart = 0, scols[] = {0, 1};
    const double sref[] = {1, 2};
    ASSERT_EQ(NVRAaddsets(p, 1, 2, &s1, &sstart, scols, sref), 0) << lastError(p);
    const int r1 = 1, comp = 1;
    ASSERT_EQ(NVRAsetindicators(p, 1, &r1, &two, &comp), 0) << lastError(p);
}

struct Case {
    const char *name;
    std::function<int(NVRAprob)> call;
    bool failureEmpties = false; // a failed read leaves the problem empty (NVRAreadprob)
    // The engine catches some of its own allocation failures and reports itself failed.
    bool engineMayFail = false;
};

std::string scratch(const char *name) {
    return (std::filesystem::temp_directory_path() /
            ("nvra_oom_" + std::to_string(::getpid()) + "_" + name))
        .string();
}

class AllocationFailures : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(NVRAinit(nullptr), 0); }
    void TearDown() override { EXPECT_EQ(NVRAfree(), 0); }

    long injected = 0, recovered = 0, engineFailures = 0;

    // Runs c on a fresh base problem with the n-th allocation failing, for n = 1, 2, ... until
    // the call no longer reaches the n-th allocation.
    void run(const Case &c) {
        SCOPED_TRACE(c.name);
        NVRAprob ref = nullptr;
        ASSERT_EQ(NVRAcreateprob(&ref), 0);
        base(ref);
        ASSERT_EQ(c.call(ref), 0) << lastError(ref);
        const Snapshot expected = snap(ref);
        NVRAdestroyprob(ref);
        ASSERT_EQ(NVRAcreateprob(&ref), 0);
        const Snapshot empty = snap(ref);
        NVRAdestroyprob(ref);
        for (long n = 1;; ++n) {
            NVRAprob p = nullptr;
            ASSERT_EQ(NVRAcreateprob(&p), 0);
            base(p);
            const Snapshot before = snap(p);
            tCount = 0, tFired = false, tFailAt = n;
            int rc = -1;
            try {
                rc = c.call(p);
            } catch (const std::exception &e) {
                ADD_FAILURE() << "allocation " << n << ": " << e.what() << " left the library";
            }
            tFailAt = 0;
            const bool fired = tFired;
            const std::string err = lastError(p);
            const Snapshot after = snap(p);
            NVRAdestroyprob(p);
            if (!fired) {
                EXPECT_EQ(rc, 0) << err;
                EXPECT_TRUE(after == expected);
                return;
            }
            ++injected;
            if (rc == 0) {
                ++recovered;
                EXPECT_TRUE(after == expected) << "allocation " << n << ": recovered differently";
                continue;
            }
            if (c.engineMayFail && rc == NVRA_RC_ENGINE) {
                ++engineFailures;
                EXPECT_NE(err.find("the engine failed"), std::string::npos) << err;
            } else {
                EXPECT_EQ(rc, NVRA_RC_NOMEM) << "allocation " << n << ": " << err;
                EXPECT_NE(err.find("ut of memory"), std::string::npos)
                    << "allocation " << n << ": " << err;
            }
            EXPECT_TRUE(after == (c.failureEmpties ? empty : before))
                << "allocation " << n << ": the failed call changed it";
            if (::testing::Test::HasFailure()) return; // one report per case is enough
        }
    }
};

TEST_F(AllocationFailures, EveryEntryOnATypicalPathFailsCleanly) {
    const std::string mps = scratch("m.mps"), lp = scratch("m.lp"), written = scratch("w.lp");
    // The source of copies and files: the base model with a third row.
    NVRAprob src = nullptr;
    ASSERT_EQ(NVRAcreateprob(&src), 0);
    base(src);
    {
        const char E = 'E';
        const double rhs = 2, v[] = {1, -1};
        const int start = 0, cols[] = {0, 2};
        ASSERT_EQ(NVRAaddrows(src, 1, 2, &E, &rhs, nullptr, &start, cols, v), 0);
        ASSERT_EQ(NVRAwriteprob(src, mps.c_str(), ""), 0) << lastError(src);
        ASSERT_EQ(NVRAwriteprob(src, lp.c_str(), ""), 0) << lastError(src);
    }
    const int c0 = 0, c1 = 1, r0 = 0, both[] = {0, 1};
    const double one = 1, vals[] = {3, 4};
    const char L = 'L', I = 'I', G = 'G', S2 = '2';
    const Case cases[] = {
        {"addcols",
         [&](NVRAprob p) {
             const int start[] = {0, 1};
             const int rows[] = {0, 1};
             return NVRAaddcols(p, 2, 2, vals, start, rows, vals, nullptr, vals);
         }},
        {"addrows",
         [&](NVRAprob p) {
             const int start = 0;
             return NVRAaddrows(p, 1, 2, &G, &one, nullptr, &start, both, vals);
         }},
        {"addnames",
         [&](NVRAprob p) { return NVRAaddnames(p, NVRA_NAMES_COLUMNS, "a\0b\0", 0, 1); }},
        {"chgbounds", [&](NVRAprob p) { return NVRAchgbounds(p, 1, &c0, &L, &one); }},
        {"chgcoltype", [&](NVRAprob p) { return NVRAchgcoltype(p, 1, &c1, &I); }},
        {"chgcoef", [&](NVRAprob p) { return NVRAchgcoef(p, 0, 2, 7.0); }},
        {"chgmcoef", [&](NVRAprob p) { return NVRAchgmcoef(p, 2, both, both, vals); }},
        {"chgrhs", [&](NVRAprob p) { return NVRAchgrhs(p, 1, &r0, &one); }},
        {"chgobj", [&](NVRAprob p) { return NVRAchgobj(p, 2, both, vals); }},
        {"chgmqobj", [&](NVRAprob p) { return NVRAchgmqobj(p, 2, both, both, vals); }},
        {"addqmatrix64", [&](NVRAprob p) { return NVRAaddqmatrix64(p, 0, 2, both, both, vals); }},
        {"addsets",
         [&](NVRAprob p) {
             const int start = 0, cols[] = {1, 2};
             return NVRAaddsets(p, 1, 2, &S2, &start, cols, vals);
         }},
        {"setindicators",
         [&](NVRAprob p) {
             const int two = 2, comp = -1;
             return NVRAsetindicators(p, 1, &r0, &two, &comp);
         }},
        {"addobj", [&](NVRAprob p) { return NVRAaddobj(p, 2, both, vals, 1, 1.0); }},
        {"delrows", [&](NVRAprob p) { return NVRAdelrows(p, 1, &r0); }},
        {"delcols", [&](NVRAprob p) { return NVRAdelcols(p, 1, &c0); }},
        {"delsets", [&](NVRAprob p) { return NVRAdelsets(p, 1, &c0); }},
        {"loadlp",
         [&](NVRAprob p) {
             const int start[] = {0, 1, 2};
             const int rows[] = {0, 0};
             return NVRAloadlp(p, "loaded", 2, 1, &L, &one, nullptr, vals, start, nullptr, rows,
                               vals, nullptr, nullptr);
         }},
        {"copyprob", [&](NVRAprob p) { return NVRAcopyprob(p, src, "copy"); }},
        {"readprob mps", [&](NVRAprob p) { return NVRAreadprob(p, mps.c_str(), ""); }, true},
        {"readprob lp", [&](NVRAprob p) { return NVRAreadprob(p, lp.c_str(), ""); }, true},
        {"writeprob", [&](NVRAprob p) { return NVRAwriteprob(p, written.c_str(), ""); }},
        {"lpoptimize", [&](NVRAprob p) { return NVRAlpoptimize(p, ""); }, false, true},
        {"getindex",
         [&](NVRAprob p) {
             int i = -1;
             return NVRAgetindex(p, NVRA_NAMES_COLUMNS, "y", &i);
         }},
        {"getnamelist",
         [&](NVRAprob p) {
             char buf[64];
             int n = 0;
             return NVRAgetnamelist(p, NVRA_NAMES_ROWS, buf, sizeof buf, &n, 0, 1);
         }},
    };
    for (const Case &c : cases)
        run(c);
    std::printf("allocation-failure injection: %ld failures injected over %zu entry points: "
                "%ld recovered, %ld reported by the engine as its failure, the rest returned "
                "NVRA_RC_NOMEM; every failed call left the problem unchanged\n",
                injected, std::size(cases), recovered, engineFailures);
    NVRAdestroyprob(src);
    for (const std::string &f : {mps, lp, written})
        std::remove(f.c_str());
}

TEST_F(AllocationFailures, CreatingAProblem) {
    for (long n = 1;; ++n) {
        NVRAprob p = reinterpret_cast<NVRAprob>(this);
        tCount = 0, tFired = false, tFailAt = n;
        const int rc = NVRAcreateprob(&p);
        tFailAt = 0;
        if (!tFired) {
            ASSERT_EQ(rc, 0);
            NVRAdestroyprob(p);
            break;
        }
        EXPECT_EQ(rc, NVRA_RC_NOMEM);
        EXPECT_EQ(p, nullptr);
    }
}

} // namespace
