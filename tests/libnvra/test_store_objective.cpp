// The objective: linear coefficients and the constant at index -1, the sense, the quadratic
// objective, and further objectives with their five controls.
#include "store_test_util.h"

#include <cmath>
#include <vector>

#include "core/problem.h" // the sense has no getter of its own here (attribute 2008)

namespace {

using storetest::StoreTest;
using Vec = std::vector<double>;

class Objective : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        addColumns(3); // objective 1, 2, 3
    }
    Vec obj(int k = 0) {
        Vec v(4);
        EXPECT_EQ(NVRAgetobjn(p, k, v.data(), -1, 2), 0) << err();
        return v;
    }
    double dblControl(int k, int id) {
        double v = -99;
        EXPECT_EQ(NVRAgetobjdblcontrol(p, k, id, &v), 0) << err();
        return v;
    }
    // Q as triplets (j, k, v) from the column-wise getter.
    std::vector<Vec> qobj(bool wide = true) {
        int64_t start[4], n = 0;
        EXPECT_EQ(NVRAgetmqobj64(p, start, nullptr, nullptr, 0, &n, 0, 2), 0);
        std::vector<int> c(n);
        Vec v(n);
        EXPECT_EQ(NVRAgetmqobj64(p, start, c.data(), v.data(), n, &n, 0, 2), 0);
        if (!wide) { // the 32-bit form must agree
            int s32[4], n32 = 0;
            std::vector<int> c32(n);
            Vec v32(n);
            EXPECT_EQ(NVRAgetmqobj(p, s32, c32.data(), v32.data(), static_cast<int>(n), &n32, 0, 2),
                      0);
            EXPECT_EQ(n32, n);
            EXPECT_EQ(c32, c);
            EXPECT_EQ(v32, v);
        }
        std::vector<Vec> out;
        for (int j = 0; j < 3; ++j)
            for (int64_t t = start[j]; t < start[j + 1]; ++t)
                out.push_back({double(j), double(c[t]), v[t]});
        return out;
    }
};

TEST_F(Objective, LinearCoefficientsAndConstant) {
    EXPECT_EQ(obj(), (Vec{0, 1, 2, 3}));
    // Index -1 is the right-hand side: -4 gives the constant +4. Duplicates are summed.
    const int cols[] = {-1, 2, 0, 2};
    const double vals[] = {-4, 5, 7, 1};
    ASSERT_EQ(NVRAchgobj(p, 4, cols, vals), 0) << err();
    EXPECT_EQ(obj(), (Vec{-4, 7, 2, 6}));
    EXPECT_EQ(dblControl(0, NVRA_OBJCONTROL_RHS), 4.0);
    double c[2];
    ASSERT_EQ(NVRAgetobj(p, c, 1, 2), 0);
    EXPECT_EQ(c[1], 6.0);
    ASSERT_EQ(NVRAsetobjdblcontrol(p, 0, NVRA_OBJCONTROL_RHS, 2.5), 0);
    EXPECT_EQ(obj()[0], -2.5);
    expectRefused(NVRA_RC_RANGE, "Column index 3 is out of range", 0, 3, [&] {
        const int bad[] = {0, 3};
        return NVRAchgobj(p, 2, bad, vals);
    });
    expectRefused(NVRA_RC_INVALID, "coefficients must be finite", 0, 3, [&] {
        const double inf = INFINITY;
        return NVRAchgobj(p, 1, cols, &inf);
    });
    EXPECT_EQ(NVRAgetobj(p, c, -2, 0), NVRA_RC_RANGE);
}

TEST_F(Objective, Sense) {
    ASSERT_EQ(NVRAchgobjsense(p, -1), 0);
    EXPECT_EQ(p->model.sense, -1);
    ASSERT_EQ(NVRAchgobjsense(p, 1), 0);
    EXPECT_EQ(p->model.sense, 1);
    EXPECT_EQ(NVRAchgobjsense(p, 0), NVRA_RC_INVALID);
    EXPECT_NE(err().find("Invalid objective sense 0"), std::string::npos) << err();
    EXPECT_EQ(p->model.sense, 1);
}

TEST_F(Objective, QuadraticObjective) {
    // (0, 1) and (1, 0) name one element: summed within a call.
    const int c1[] = {0, 1, 2, 1};
    const int c2[] = {1, 0, 2, 1};
    const double v[] = {3, 2, 4, 6};
    ASSERT_EQ(NVRAchgmqobj(p, 4, c1, c2, v), 0) << err();
    EXPECT_EQ(qobj(false), (std::vector<Vec>{{0, 1, 5}, {1, 1, 6}, {2, 2, 4}}));
    // A later call replaces elements; zero removes one.
    const int d1[] = {1, 2};
    const int d2[] = {0, 2};
    const double dv[] = {-1, 0};
    ASSERT_EQ(NVRAchgmqobj64(p, 2, d1, d2, dv), 0);
    EXPECT_EQ(qobj(), (std::vector<Vec>{{0, 1, -1}, {1, 1, 6}}));
    // The getter's output fed back reproduces Q.
    auto before = qobj();
    std::vector<int> a, b;
    Vec w;
    for (auto &t : before)
        a.push_back(int(t[0])), b.push_back(int(t[1])), w.push_back(t[2]);
    ASSERT_EQ(NVRAchgmqobj(p, int(a.size()), a.data(), b.data(), w.data()), 0);
    EXPECT_EQ(qobj(), before);
    // Columns 1..2 alone, and a buffer that is too small.
    int s[3], n = 0;
    ASSERT_EQ(NVRAgetmqobj(p, s, nullptr, nullptr, 0, &n, 1, 2), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ((std::vector<int>(s, s + 3)), (std::vector<int>{0, 1, 1}));
    int cc[1];
    double vv[1];
    EXPECT_EQ(NVRAgetmqobj(p, nullptr, cc, vv, 1, &n, 0, 2), NVRA_RC_RANGE);
    EXPECT_EQ(n, 2);
    expectRefused(NVRA_RC_RANGE, "Coefficient 0 of the quadratic objective is on columns (0, 5)", 0,
                  3, [&] {
                      const int bad = 5;
                      return NVRAchgmqobj(p, 1, c1, &bad, v);
                  });
}

TEST_F(Objective, MultipleObjectivesAndControls) {
    const int cols[] = {0, 2};
    const double vals[] = {1, -1};
    ASSERT_EQ(NVRAaddobj(p, 2, cols, vals, 5, 0.5), 0) << err();
    EXPECT_EQ(obj(1), (Vec{0, 1, 0, -1}));
    int pri = 0;
    ASSERT_EQ(NVRAgetobjintcontrol(p, 1, NVRA_OBJCONTROL_PRIORITY, &pri), 0);
    EXPECT_EQ(pri, 5);
    EXPECT_EQ(dblControl(1, NVRA_OBJCONTROL_WEIGHT), 0.5);
    // Index 2 (= the number of objectives) appends objective 2 with default controls.
    const int c1 = 1, m1 = -1;
    const double v1 = 8, rhs = 3;
    ASSERT_EQ(NVRAchgobjn(p, 2, 1, &c1, &v1), 0) << err();
    const int both[] = {m1, c1};
    const double bv[] = {rhs, 9};
    ASSERT_EQ(NVRAchgobjn(p, 2, 2, both, bv), 0);
    EXPECT_EQ(obj(2), (Vec{3, 0, 9, 0}));
    EXPECT_EQ(dblControl(2, NVRA_OBJCONTROL_RHS), -3.0);
    EXPECT_EQ(dblControl(2, NVRA_OBJCONTROL_WEIGHT), 1.0);
    ASSERT_EQ(NVRAsetobjdblcontrol(p, 3, NVRA_OBJCONTROL_ABSTOL, 0.25), 0); // appends objective 3
    EXPECT_EQ(dblControl(3, NVRA_OBJCONTROL_ABSTOL), 0.25);
    EXPECT_EQ(obj(3), (Vec{0, 0, 0, 0}));
    ASSERT_EQ(NVRAsetobjintcontrol(p, 0, NVRA_OBJCONTROL_PRIORITY, -2), 0);
    ASSERT_EQ(NVRAsetobjdblcontrol(p, 0, NVRA_OBJCONTROL_RELTOL, 0.1), 0);
    EXPECT_EQ(dblControl(0, NVRA_OBJCONTROL_RELTOL), 0.1);
    // Columns added later extend every objective with zeros.
    addColumns(1);
    Vec o2(5);
    ASSERT_EQ(NVRAgetobjn(p, 2, o2.data(), -1, 3), 0);
    EXPECT_EQ(o2, (Vec{3, 0, 9, 0, 0}));

    // Errors name the id and the bounds, and change nothing.
    expectRefused(
        NVRA_RC_INVALID, "Objective control 20002 (weight) is a double", 0, 4,
        [&] { return NVRAsetobjintcontrol(p, 1, NVRA_OBJCONTROL_WEIGHT, 1); }, 4);
    expectRefused(
        NVRA_RC_INVALID, "Unknown objective control 20006", 0, 4,
        [&] { return NVRAsetobjdblcontrol(p, 1, 20006, 1); }, 4);
    expectRefused(
        NVRA_RC_INVALID, "Value -1 is out of range for objective control 20003 (abstol)", 0, 4,
        [&] { return NVRAsetobjdblcontrol(p, 1, NVRA_OBJCONTROL_ABSTOL, -1); }, 4);
    expectRefused(
        NVRA_RC_RANGE, "Objective index 5 is out of range: the problem has 4 objectives", 0, 4,
        [&] { return NVRAchgobjn(p, 5, 1, &c1, &v1); }, 4);
    expectRefused(
        NVRA_RC_INVALID, "weight nan is out of range", 0, 4,
        [&] { return NVRAaddobj(p, 1, &c1, &v1, 0, NAN); }, 4);
    expectRefused(
        NVRA_RC_RANGE, "Column index -1 is out of range", 0, 4,
        [&] { return NVRAaddobj(p, 1, &m1, &v1, 0, 1); }, 4);
    EXPECT_EQ(NVRAgetobjintcontrol(p, 4, NVRA_OBJCONTROL_PRIORITY, &pri), NVRA_RC_RANGE);
    EXPECT_NE(err().find("Objective index 4 is out of range: the problem has 4 objectives"),
              std::string::npos)
        << err();
}

TEST_F(Objective, DeletingObjectives) {
    const int c1[] = {0, 1};
    const double q = 2;
    ASSERT_EQ(NVRAchgmqobj(p, 1, c1, c1, &q), 0);
    const int c = 1;
    const double v = 7;
    ASSERT_EQ(NVRAaddobj(p, 1, &c, &v, 3, 2.0), 0);
    ASSERT_EQ(NVRAaddobj(p, 1, &c, &v, 4, 1.0), 0);
    ASSERT_EQ(NVRAsetobjdblcontrol(p, 1, NVRA_OBJCONTROL_RHS, 6), 0);
    // Removing objective 2 leaves 0 and 1.
    ASSERT_EQ(NVRAdelobj(p, 2), 0);
    EXPECT_EQ(NVRAgetobjn(p, 2, nullptr, 0, -1), NVRA_RC_RANGE);
    // Removing objective 0 promotes objective 1 and drops the quadratic objective.
    ASSERT_EQ(NVRAdelobj(p, 0), 0);
    EXPECT_EQ(obj(0), (Vec{-6, 0, 7, 0}));
    int pri = 0;
    ASSERT_EQ(NVRAgetobjintcontrol(p, 0, NVRA_OBJCONTROL_PRIORITY, &pri), 0);
    EXPECT_EQ(pri, 3);
    EXPECT_EQ(dblControl(0, NVRA_OBJCONTROL_WEIGHT), 2.0);
    EXPECT_TRUE(qobj().empty());
    // The only objective is cleared rather than removed.
    ASSERT_EQ(NVRAchgmqobj(p, 1, c1, c1, &q), 0);
    ASSERT_EQ(NVRAdelobj(p, 0), 0);
    EXPECT_EQ(obj(0), (Vec{0, 0, 0, 0}));
    EXPECT_EQ(dblControl(0, NVRA_OBJCONTROL_WEIGHT), 1.0);
    EXPECT_TRUE(qobj().empty());
    EXPECT_EQ(NVRAdelobj(p, 1), NVRA_RC_RANGE);
}

} // namespace
