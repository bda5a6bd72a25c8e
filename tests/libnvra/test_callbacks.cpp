// Callbacks: registration (priorities, removal, the kinds the engine cannot honour, none while a
// solve runs), each honoured kind firing with the data the engine reports, stops asked for by
// callbacks, answers the engine cannot act on, and solutions given during a solve.
#include "test_solve_util.h"

#include <functional>
#include <string>
#include <vector>

using namespace solvetest;

namespace {

// Records what callbacks see. The callbacks are plain functions that reach the recorder
// through their data.
struct Recorder {
    std::vector<std::string> calls;
    std::vector<int64_t> nodes; // node counts seen by optnode
    std::function<int(NVRAprob)> stop = [](NVRAprob) { return 0; };
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

int onStopKind(NVRAprob prob, void *data) {
    rec(data).calls.push_back("stopkind");
    return rec(data).stop(prob);
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
}

// Every kind the engine cannot honour is refused at registration, naming the kind.
TEST_F(CallbackTest, UnsupportedKindsAreRefused) {
    auto expectRefused = [&](int rc, const char *kind) {
        EXPECT_EQ(rc, NVRA_RC_UNSUPPORTED) << kind;
        EXPECT_NE(lastError(prob).find(std::string("The ") + kind + " callback is not supported"),
                  std::string::npos)
            << lastError(prob);
    };
    expectRefused(NVRAaddcbchgbranchobject(prob, nullptr, nullptr, 0), "chgbranchobject");
    expectRefused(NVRAaddcbdestroymt(prob, nullptr, nullptr, 0), "destroymt");
    expectRefused(NVRAaddcbinfnode(prob, nullptr, nullptr, 0), "infnode");
    expectRefused(NVRAaddcbmipthread(prob, nullptr, nullptr, 0), "mipthread");
    expectRefused(NVRAaddcbnewnode(prob, nullptr, nullptr, 0), "newnode");
    expectRefused(NVRAaddcbnodecutoff(prob, nullptr, nullptr, 0), "nodecutoff");
    expectRefused(NVRAaddcbnodelpsolved(prob, nullptr, nullptr, 0), "nodelpsolved");
    EXPECT_EQ(NVRAaddcbintsol(prob, nullptr, nullptr, 0), NVRA_RC_INVALID);
}

// lplog follows lplogfreq on a simplex solve; the barrier kinds fire once per barrier iteration;
// presolve and before/afterobjective once per solve.
TEST_F(CallbackTest, ContinuousSolveKinds) {
    readInstance(prob, "25fv47.mps");
    setInt(prob, nvra::kCtrlLpLogFreq, 50);
    std::vector<int64_t> iters;
    NVRAcblplog lplog = [](NVRAprob prob, void *data) {
        static_cast<std::vector<int64_t> *>(data)->push_back(
            intAttrib(prob, nvra::kAttrSimplexIter));
        return 0;
    };
    ASSERT_EQ(NVRAaddcblplog(prob, lplog, &iters, 0), 0);
    ASSERT_EQ(NVRAaddcbpresolve(
                  prob, [](NVRAprob, void *d) { onNamed("presolve", d); }, &r, 0),
              0);
    ASSERT_EQ(NVRAaddcbafterobjective(
                  prob, [](NVRAprob, void *d) { onNamed("after", d); }, &r, 0),
              0);
    ASSERT_EQ(optimize("d"), 0);
    ASSERT_GE(iters.size(), 3u);
    for (size_t k = 1; k < iters.size(); ++k)
        EXPECT_GE(iters[k] - iters[k - 1], 50);
    EXPECT_EQ(count("presolve"), 1);
    EXPECT_EQ(count("after"), 1);

    r.calls.clear();
    ASSERT_EQ(NVRAaddcbbarlog(prob, onStopKind, &r, 0), 0);
    int action = 0;
    NVRAcbbariteration bar = [](NVRAprob, void *data, int *act) {
        ++*static_cast<int *>(data);
        *act = 0;
    };
    ASSERT_EQ(NVRAaddcbbariteration(prob, bar, &action, 0), 0);
    ASSERT_EQ(optimize("b"), 0);
    EXPECT_GT(count("stopkind"), 3);
    EXPECT_EQ(action, count("stopkind"));
    EXPECT_EQ(count("presolve"), 1);
    // Once per iteration; the engine's check after the final iteration may not come.
    EXPECT_LE(count("stopkind"), intAttrib(prob, nvra::kAttrBarIter));
    EXPECT_GE(count("stopkind"), intAttrib(prob, nvra::kAttrBarIter) - 1);

    // A non-zero barlog return stops the barrier.
    r.stop = [](NVRAprob) { return 1; };
    ASSERT_EQ(optimize("b"), 0);
    EXPECT_EQ(result(prob).stopStatus, NVRA_STOP_INTERRUPT);
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

// While the problem is being solved, its callbacks and model cannot change; queries and
// NVRAinterrupt work from a callback.
TEST_F(CallbackTest, CallbacksCannotChangeTheProblem) {
    readInstance(prob, "egout.mps");
    struct Seen {
        int addRc = 0, removeRc = 0, editRc = 0, interruptRc = -1;
    } seen;
    NVRAcbintsol f = [](NVRAprob prob, void *data) {
        auto &s = *static_cast<Seen *>(data);
        s.addRc = NVRAaddcbmiplog(prob, onStopKind, nullptr, 0);
        s.removeRc = NVRAremovecbintsol(prob, nullptr, nullptr);
        const int j = 0;
        const double c = 1.0;
        s.editRc = NVRAchgobj(prob, 1, &j, &c);
        s.interruptRc = NVRAinterrupt(prob, 1);
    };
    ASSERT_EQ(NVRAaddcbintsol(prob, f, &seen, 0), 0);
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(seen.addRc, NVRA_RC_BUSY);
    EXPECT_EQ(seen.removeRc, NVRA_RC_BUSY);
    EXPECT_EQ(seen.editRc, NVRA_RC_BUSY);
    EXPECT_EQ(seen.interruptRc, 0);
    EXPECT_EQ(result(prob).stopStatus, NVRA_STOP_INTERRUPT);
    // Afterwards the problem is idle again.
    EXPECT_EQ(NVRAremovecbintsol(prob, nullptr, nullptr), 0);
}

// Solutions given with NVRAaddmipsol during a solve go to the engine one at its every point for
// solutions from outside; usersolnotify reports what became of each (an accepted one is the
// incumbent from then on), and solutions a solve never takes are reported as not used.
TEST_F(CallbackTest, SolutionsGivenDuringTheSolve) {
    readInstance(prob, "egout.mps");
    ASSERT_EQ(optimize(), 0);
    struct Given {
        std::vector<double> best, bad;
        std::vector<std::pair<std::string, int>> notes;
        double incumbentAtNote = 0;
    } g;
    g.best = solution(prob);
    const double optimum = result(prob).mipObjVal;
    g.bad = g.best;
    g.bad[0] = -1.0; // below its bound
    NVRAcbbeforeobjective give = [](NVRAprob prob, void *data) {
        auto &g = *static_cast<Given *>(data);
        const int n = static_cast<int>(g.best.size());
        EXPECT_EQ(NVRAaddmipsol(prob, n, g.bad.data(), nullptr, "bad"), 0) << lastError(prob);
        EXPECT_EQ(NVRAaddmipsol(prob, n, g.best.data(), nullptr, "best"), 0) << lastError(prob);
    };
    NVRAcbusersolnotify note = [](NVRAprob prob, void *data, const char *name, int status) {
        auto &g = *static_cast<Given *>(data);
        g.notes.emplace_back(name, status);
        // Stopped at once, the search still ends with the solution given.
        if (status == NVRA_USERSOL_ACCEPTED) NVRAinterrupt(prob, 1);
    };
    ASSERT_EQ(NVRAaddcbbeforeobjective(prob, give, &g, 0), 0);
    ASSERT_EQ(NVRAaddcbusersolnotify(prob, note, &g, 0), 0);
    setInt(prob, nvra::kCtrlPresolve, 0);
    ASSERT_EQ(optimize(), 0) << lastError(prob);
    using Notes = std::vector<std::pair<std::string, int>>;
    EXPECT_EQ(g.notes, (Notes{{"bad", NVRA_USERSOL_INFEASIBLE}, {"best", NVRA_USERSOL_ACCEPTED}}));
    EXPECT_NEAR(result(prob).mipObjVal, optimum, 1e-6);

    // A continuous solve takes none.
    g.notes.clear();
    ASSERT_EQ(NVRAlpoptimize(prob, ""), 0);
    EXPECT_EQ(g.notes, (Notes{{"bad", NVRA_USERSOL_NOT_USED}, {"best", NVRA_USERSOL_NOT_USED}}));
    // Outside a solve a solution is a start for the next one.
    EXPECT_EQ(NVRAaddmipsol(prob, 1, g.best.data(), nullptr, nullptr), 0);
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
