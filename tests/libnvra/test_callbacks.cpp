// Callbacks: registration (priorities, removal), each honoured kind firing with the data the
// engine reports, stops asked for by callbacks, answers the engine cannot act on, and branching
// objects. The kinds the engine cannot honour, the continuous kinds (lplog, barlog, bariteration,
// presolve), the refusals while a solve runs and solutions given during a solve are tested
// through the module (tests/callbacks/test_callbacks.py).
#include "test_solve_util.h"

#include <string>
#include <vector>

using namespace solvetest;

namespace {

// Records what callbacks see. The callbacks are plain functions that reach the recorder
// through their data.
struct Recorder {
    std::vector<std::string> calls;
    std::vector<int64_t> nodes; // node counts seen by optnode
};

Recorder &rec(void *data) {
    return *static_cast<Recorder *>(data);
}

double dblAttrib(NVRAprob prob, int id) {
    double v = 0;
    EXPECT_EQ(NVRAgetdblattrib(prob, id, &v), 0) << lastError(prob);
    return v;
}

int64_t intAttrib(NVRAprob prob, int id) {
    int64_t v = 0;
    EXPECT_EQ(NVRAgetintattrib64(prob, id, &v), 0) << lastError(prob);
    return v;
}

int onStopKind(NVRAprob, void *data) {
    rec(data).calls.push_back("stopkind");
    return 0;
}

void onNamed(const char *name, void *data) {
    rec(data).calls.push_back(name);
}

class CallbackTest : public SolveTest {
  protected:
    Recorder r;
    int count(const std::string &name) const {
        return static_cast<int>(std::count(r.calls.begin(), r.calls.end(), name));
    }
};

} // namespace

// Priorities order the calls (higher first, equal ones by registration); removal matches the
// function and the data, NULL matching any.
TEST_F(CallbackTest, PrioritiesAndRemoval) {
    readInstance(prob, "egout.mps");
    std::vector<std::string> order;
    struct Tag {
        std::vector<std::string> *order;
        const char *name;
    };
    auto log = [](NVRAprob, void *data) {
        auto *t = static_cast<Tag *>(data);
        t->order->push_back(t->name);
    };
    NVRAcbbeforeobjective f = log;
    Tag low{&order, "low"}, high{&order, "high"}, low2{&order, "low2"};
    ASSERT_EQ(NVRAaddcbbeforeobjective(prob, f, &low, 0), 0);
    ASSERT_EQ(NVRAaddcbbeforeobjective(prob, f, &high, 5), 0);
    ASSERT_EQ(NVRAaddcbbeforeobjective(prob, f, &low2, 0), 0);
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(order, (std::vector<std::string>{"high", "low", "low2"}));

    order.clear();
    ASSERT_EQ(NVRAremovecbbeforeobjective(prob, f, &low), 0);
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(order, (std::vector<std::string>{"high", "low2"}));

    order.clear();
    ASSERT_EQ(NVRAremovecbbeforeobjective(prob, nullptr, nullptr), 0);
    ASSERT_EQ(optimize(), 0);
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(NVRAaddcbintsol(prob, nullptr, nullptr, 0), NVRA_RC_INVALID); // no function
}

// With several objectives, before- and afterobjective surround every level; afterobjective
// reads that level's results.
TEST_F(CallbackTest, ObjectiveLevels) {
    const int x = b.col(0, 10, -1), y = b.col(0, 10, 0);
    b.row('L', 12, {{x, 1}, {y, 1}});
    b.objective({0, -1}, -1, 1.0);
    std::vector<double> after;
    ASSERT_EQ(NVRAaddcbbeforeobjective(
                  prob, [](NVRAprob, void *d) { onNamed("before", d); }, &r, 0),
              0);
    NVRAcbafterobjective f = [](NVRAprob prob, void *data) {
        static_cast<std::vector<double> *>(data)->push_back(dblAttrib(prob, nvra::kAttrObjVal));
    };
    ASSERT_EQ(NVRAaddcbafterobjective(prob, f, &after, 0), 0);
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(count("before"), 2);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_NEAR(after[0], -10, 1e-9);
    EXPECT_NEAR(after[1], -2, 1e-9);
}

// optnode and prenode see node counts grow; preintsol sees the candidates. An answer the engine
// cannot act on stops the solve, which then fails naming the callback.
TEST_F(CallbackTest, NodeAndCandidateKinds) {
    readInstance(prob, "bell5.mps");
    setInt(prob, nvra::kCtrlMaxNodes, 300);
    NVRAcboptnode opt = [](NVRAprob prob, void *data, int *infeasible) {
        rec(data).nodes.push_back(intAttrib(prob, nvra::kAttrNodes));
        *infeasible = 0;
    };
    ASSERT_EQ(NVRAaddcboptnode(prob, opt, &r, 0), 0);
    ASSERT_EQ(NVRAaddcbprenode(
                  prob, [](NVRAprob, void *d, int *) { onNamed("prenode", d); }, &r, 0),
              0);
    NVRAcbpreintsol pre = [](NVRAprob prob, void *data, int, int *reject, double *cutoff) {
        int available = 0;
        double x0;
        NVRAgetcallbacksolution(prob, &available, &x0, 0, 0);
        rec(data).calls.push_back(available ? "candidate" : "nothing");
        *reject = 0;
        (void)cutoff;
    };
    ASSERT_EQ(NVRAaddcbpreintsol(prob, pre, &r, 0), 0);
    ASSERT_EQ(optimize(), 0);
    ASSERT_GE(r.nodes.size(), 2u);
    for (size_t k = 1; k < r.nodes.size(); ++k)
        EXPECT_GT(r.nodes[k], r.nodes[k - 1]);
    EXPECT_EQ(count("prenode"), static_cast<int>(r.nodes.size()));
    EXPECT_GT(count("candidate"), 0);
    EXPECT_EQ(count("nothing"), 0);

    NVRAcboptnode cutsOff = [](NVRAprob, void *, int *infeasible) { *infeasible = 1; };
    ASSERT_EQ(NVRAaddcboptnode(prob, cutsOff, nullptr, 0), 0);
    EXPECT_EQ(optimize(), NVRA_RC_UNSUPPORTED);
    EXPECT_NE(lastError(prob).find("the optnode callback marked a node infeasible"),
              std::string::npos)
        << lastError(prob);
    EXPECT_EQ(result(prob).stopStatus, NVRA_STOP_INTERRUPT);
}

// The cut-pool read-out raises cutlog and cutround; a cutround action cannot be honoured.
TEST_F(CallbackTest, CutPoolKinds) {
    readInstance(prob, "p0548.mps");
    ASSERT_EQ(NVRAaddcbcutlog(prob, onStopKind, &r, 0), 0);
    NVRAcbcutround round = [](NVRAprob, void *data, int ifcuts, int *action) {
        rec(data).calls.push_back(ifcuts ? "cuts" : "nocuts");
        *action = 0;
    };
    ASSERT_EQ(NVRAaddcbcutround(prob, round, &r, 0), 0);
    ASSERT_EQ(optimize(), 0);
    EXPECT_GT(count("stopkind"), 0);
    EXPECT_EQ(count("cuts") + count("nocuts"), count("stopkind"));

    NVRAcbcutround more = [](NVRAprob, void *, int, int *action) { *action = 1; };
    ASSERT_EQ(NVRAaddcbcutround(prob, more, nullptr, 0), 0);
    EXPECT_EQ(optimize(), NVRA_RC_UNSUPPORTED);
    EXPECT_NE(lastError(prob).find("cutround"), std::string::npos) << lastError(prob);
}

// Branching objects: built and checked as they grow, validated against the problem, refused
// by the engine at store, and empty shells once their problem is gone.
TEST_F(CallbackTest, BranchObjects) {
    const int x = b.col(0, 10, 1, 'I'), y = b.col(0, 10, 1, 'I');
    NVRAbranchobject bo = nullptr, other = nullptr;
    ASSERT_EQ(NVRA_bo_create(&bo, prob, 1), 0);
    ASSERT_EQ(NVRA_bo_create(&other, prob, 0), 0);
    int id = 0, id2 = 0, status = -1, n = -1;
    ASSERT_EQ(NVRA_bo_getid(bo, &id), 0);
    ASSERT_EQ(NVRA_bo_getid(other, &id2), 0);
    EXPECT_GT(id, 0);
    EXPECT_NE(id, id2);
    ASSERT_EQ(NVRA_bo_validate(bo, &status), 0);
    EXPECT_EQ(status, NVRA_BO_NOBRANCHES);
    ASSERT_EQ(NVRA_bo_addbranches(bo, 2), 0);
    ASSERT_EQ(NVRA_bo_validate(bo, &status), 0);
    EXPECT_EQ(status, NVRA_BO_EMPTYBRANCH);

    const char up = 'U', lo = 'L', bad = 'X';
    const double four = 4, five = 5;
    ASSERT_EQ(NVRA_bo_addbounds(bo, 0, 1, &up, &x, &four), 0);
    ASSERT_EQ(NVRA_bo_addbounds(bo, 1, 1, &lo, &x, &five), 0);
    // Refused additions add nothing and say why.
    const int badCol = 2;
    EXPECT_EQ(NVRA_bo_addbounds(bo, 1, 1, &lo, &badCol, &five), NVRA_RC_RANGE);
    EXPECT_EQ(NVRA_bo_addbounds(bo, 1, 1, &bad, &x, &five), NVRA_RC_INVALID);
    EXPECT_EQ(NVRA_bo_addbounds(bo, 2, 1, &lo, &x, &five), NVRA_RC_RANGE);
    int code = 0;
    char msg[NVRA_MAXMESSAGELENGTH];
    ASSERT_EQ(NVRA_bo_getlasterror(bo, &code, msg, sizeof msg, nullptr), 0);
    EXPECT_EQ(code, NVRA_RC_RANGE);
    EXPECT_NE(std::string(msg).find("branch 2 is out of range"), std::string::npos) << msg;

    const char rt[2] = {'L', 'E'};
    const double rhs[2] = {8, 3};
    const int start[2] = {0, 2}, cols[3] = {x, y, y};
    const double coefs[3] = {1, 1, 1};
    ASSERT_EQ(NVRA_bo_addrows(bo, 1, 2, 3, rt, rhs, start, cols, coefs), 0);
    ASSERT_EQ(NVRA_bo_validate(bo, &status), 0);
    EXPECT_EQ(status, NVRA_BO_VALID);

    int nb = 0, nr = 0, nc = 0;
    char types[2];
    int bcols[2], rstart[3], rcols[3];
    double vals[2], rrhs[2], rcoefs[3];
    ASSERT_EQ(NVRA_bo_getbounds(bo, 1, &nb, 2, types, bcols, vals), 0);
    EXPECT_EQ(nb, 1);
    EXPECT_EQ(types[0], 'L');
    EXPECT_EQ(vals[0], 5);
    ASSERT_EQ(NVRA_bo_getrows(bo, 1, &nr, 2, &nc, 3, types, rrhs, rstart, rcols, rcoefs), 0);
    EXPECT_EQ(nr, 2);
    EXPECT_EQ(nc, 3);
    EXPECT_EQ(rstart[0], 0);
    EXPECT_EQ(rstart[1], 2);
    EXPECT_EQ(rstart[2], 3);
    EXPECT_EQ(rcols[2], y);
    EXPECT_EQ(rrhs[1], 3);

    EXPECT_EQ(NVRA_bo_store(bo, &status), NVRA_RC_UNSUPPORTED);
    ASSERT_EQ(NVRA_bo_getbranches(bo, &n), 0);
    EXPECT_EQ(n, 2); // still the caller's

    // A deleted column makes the object invalid.
    const int last = y;
    ASSERT_EQ(NVRAdelcols(prob, 1, &last), 0);
    ASSERT_EQ(NVRA_bo_validate(bo, &status), 0);
    EXPECT_EQ(status, NVRA_BO_BADCOLUMN);
    ASSERT_EQ(NVRA_bo_destroy(bo), 0);

    // The problem goes first: the object stays a valid handle without a problem.
    NVRAprob second = nullptr;
    ASSERT_EQ(NVRAcreateprob(&second), 0);
    NVRAbranchobject orphan = nullptr;
    ASSERT_EQ(NVRA_bo_create(&orphan, second, 1), 0);
    ASSERT_EQ(NVRAdestroyprob(second), 0);
    EXPECT_EQ(NVRA_bo_addbranches(orphan, 1), NVRA_RC_MISUSE);
    ASSERT_EQ(NVRA_bo_getid(orphan, &id), 0);
    ASSERT_EQ(NVRA_bo_destroy(orphan), 0);
    ASSERT_EQ(NVRA_bo_destroy(other), 0);
}
