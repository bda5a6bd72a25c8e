// nvra_test.h: what the libnvra tests share: the last error of a problem (message and code) and
// the path of a test data file.
#pragma once

#include <gtest/gtest.h>

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

// A file of tests/data.
inline std::string dataFile(const std::string &name) {
    return std::string(NIVRA_TEST_DATA) + "/" + name;
}

} // namespace nvratest
