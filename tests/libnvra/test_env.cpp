// Global environment of libnvra: counted starts, last error, message handlers, type names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nslp.h"
#include "nvra.h"
#include "nvra_test.h"

namespace {

std::string lastGlobalError(int *code = nullptr) {
    char buf[NVRA_MAXMESSAGELENGTH];
    int c = 0;
    EXPECT_EQ(NVRA_ge_getlasterror(&c, buf, sizeof buf, nullptr), 0);
    if (code) *code = c;
    return buf;
}

TEST(Env, StartsNest) {
    EXPECT_NE(NVRAfree(), 0); // nothing to stop
    ASSERT_EQ(NVRAinit(nullptr), 0);
    ASSERT_EQ(NVRAinit(nullptr), 0);
    NVRAprob p = nullptr;
    EXPECT_EQ(NVRAfree(), 0);
    EXPECT_EQ(NVRAcreateprob(&p), 0); // still started once
    EXPECT_EQ(NVRAdestroyprob(p), 0);
    EXPECT_EQ(NVRAfree(), 0);
    EXPECT_EQ(NVRAcreateprob(&p), NVRA_RC_MISUSE);
    EXPECT_NE(lastGlobalError().find("not started"), std::string::npos);
}

TEST(Env, StartFailureNamesThePath) {
    EXPECT_EQ(NVRAinit("/nonexistent/dir"), NVRA_RC_INVALID);
    int code = 0;
    EXPECT_NE(lastGlobalError(&code).find("/nonexistent/dir"), std::string::npos);
    EXPECT_EQ(code, NVRA_RC_INVALID);
}

TEST(Env, VersionAndSettings) {
    char buf[64];
    ASSERT_EQ(NVRAgetversion(buf), 0);
    int major = -1, minor = -1, build = -1;
    ASSERT_EQ(NVRAgetversionnumbers(&major, &minor, &build), 0);
    EXPECT_EQ(std::string(buf),
              std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build));
    ASSERT_EQ(NVRAinit(nullptr), 0);
    int v = -5;
    EXPECT_EQ(NVRA_ge_setcomputeallowed(-1), 0);
    EXPECT_EQ(NVRA_ge_getcomputeallowed(&v), 0);
    EXPECT_EQ(v, -1);
    EXPECT_EQ(NVRA_ge_setcomputeallowed(7), NVRA_RC_INVALID);
    EXPECT_NE(lastGlobalError().find("7"), std::string::npos);
    EXPECT_EQ(NVRA_ge_setcomputeallowed(1), 0);
    EXPECT_EQ(NVRA_ge_setcheckedmode(0), 0);
    EXPECT_EQ(NVRA_ge_getcheckedmode(&v), 0);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(NVRA_ge_setcheckedmode(1), 0);
    int status = -1;
    EXPECT_EQ(NVRAfeaturequery("MIP", &status), 0);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(NVRAfeaturequery("quantum", &status), 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(NVRAfree(), 0);
}

struct Seen {
    std::vector<std::string> order;
};

int handlerA(NVRAobject, void *data, void *, const char *msg, int, int) {
    static_cast<Seen *>(data)->order.push_back(std::string("A:") + msg);
    return 0;
}
int handlerB(NVRAobject, void *data, void *, const char *msg, int, int) {
    static_cast<Seen *>(data)->order.push_back(std::string("B:") + msg);
    return 0;
}

TEST(Env, HandlersRunInPriorityOrder) {
    ASSERT_EQ(NVRAinit(nullptr), 0);
    Seen seen;
    ASSERT_EQ(NVRA_ge_addcbmsghandler(handlerA, &seen, 1), 0);
    ASSERT_EQ(NVRA_ge_addcbmsghandler(handlerB, &seen, 5), 0);
    ASSERT_EQ(NVRA_ge_message(nullptr, "hello", 1, 0), 0);
    EXPECT_EQ(seen.order, (std::vector<std::string>{"B:hello", "A:hello"}));
    ASSERT_EQ(NVRA_ge_removecbmsghandler(handlerB, nullptr), 0);
    seen.order.clear();
    ASSERT_EQ(NVRA_ge_message(nullptr, "again", 1, 0), 0);
    EXPECT_EQ(seen.order, (std::vector<std::string>{"A:again"}));
    ASSERT_EQ(NVRA_ge_removecbmsghandler(nullptr, nullptr), 0);
    EXPECT_EQ(NVRAfree(), 0);
}

TEST(Env, ObjectTypeNames) {
    ASSERT_EQ(NVRAinit(nullptr), 0);
    NVRAprob p = nullptr;
    ASSERT_EQ(NVRAcreateprob(&p), 0);
    const char *name = nullptr;
    ASSERT_EQ(NVRAgetobjecttypename(p, &name), 0);
    EXPECT_STREQ(name, "NVRAprob");
    ASSERT_EQ(NVRAgetobjecttypename(nullptr, &name), 0);
    EXPECT_STREQ(name, "NVRAlibrary");
    EXPECT_EQ(NVRAdestroyprob(p), 0);
    EXPECT_EQ(NVRAfree(), 0);
}

// A problem keeps the code of its last failure with the message, and a successful call clears
// both.
TEST(Env, ProblemKeepsCodeAndMessageOfItsLastFailure) {
    ASSERT_EQ(NVRAinit(nullptr), 0);
    NVRAprob p = nullptr;
    ASSERT_EQ(NVRAcreateprob(&p), 0);
    double lb = 0;
    ASSERT_EQ(NVRAgetlb(p, &lb, 3, 3), NVRA_RC_RANGE);
    EXPECT_EQ(nvratest::lastErrorCode(p), NVRA_RC_RANGE);
    EXPECT_NE(nvratest::lastError(p).find("3"), std::string::npos) << nvratest::lastError(p);
    ASSERT_EQ(NVRAchgobjsense(p, -1), 0);
    EXPECT_EQ(nvratest::lastErrorCode(p), 0);
    EXPECT_EQ(nvratest::lastError(p), "");
    EXPECT_EQ(NVRAgetlasterrorcode(p, nullptr), NVRA_RC_INVALID);
    EXPECT_EQ(NVRAdestroyprob(p), 0);
    EXPECT_EQ(NVRAfree(), 0);
}

extern "C" int nvra_c_header_roundtrip(void); // header_c.c, compiled as C

TEST(Env, PublicHeadersWorkFromC) {
    EXPECT_EQ(nvra_c_header_roundtrip(), NVRA_LP_OPTIMAL);
}

} // namespace
