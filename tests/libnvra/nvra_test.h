// nvra_test.h: what the libnvra tests share: a fixture with a started library and one problem,
// the last error of a problem (message and code), the content of a file and the path of a test
// data file.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "nvra.h"

namespace nvratest {

// The problem's last error message.
inline std::string lastError(NVRAprob p) {
    char buf[NVRA_MAXMESSAGELENGTH];
    EXPECT_EQ(NVRAgetlasterror(p, buf, sizeof buf), 0);
    return buf;
}

// The NVRA_RC_* code of the problem's last failure (0 after a success).
inline int lastErrorCode(NVRAprob p) {
    int code = -1;
    EXPECT_EQ(NVRAgetlasterrorcode(p, &code), 0);
    return code;
}

// The whole content of a file.
inline std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A file of tests/data.
inline std::string dataFile(const std::string &name) {
    return std::string(NIVRA_TEST_DATA) + "/" + name;
}

// A started library and one problem, both freed after the test. `p` names the same problem.
class ProblemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(NVRAinit(nullptr), 0);
        ASSERT_EQ(NVRAcreateprob(&prob), 0);
    }
    void TearDown() override {
        EXPECT_EQ(NVRAdestroyprob(prob), 0);
        EXPECT_EQ(NVRAfree(), 0);
    }
    NVRAprob prob = nullptr;
    NVRAprob &p = prob;
};

} // namespace nvratest
