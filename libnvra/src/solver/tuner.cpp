// tuner.cpp: the library's tuner. It solves copies of the problem (or of the problems of a set
// file) with the current controls and then with each candidate of a method (a list of control
// settings), each run limited to the best time so far and all of them to "tunermaxtime", and
// keeps on the problem the candidate that did best by the target ("tunertarget") among those
// that reached the best status, if it did better than the current controls on the runs
// measured. Every run is reported in the messages (code NVRA_MSG_TUNER) and, when "tunerreport"
// names a file, in that file.
//
// The default method covers the engine's options that matter by class: for LPs the simplex
// variants, barrier and presolve; for MIPs presolve, heuristic effort, cuts, symmetry, restarts,
// the feasibility pump and the node LP algorithm; the comprehensive MIP method adds pairs of
// those.
#include "solver/analysis.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace nvra {
namespace {

using Clock = std::chrono::steady_clock;

TunerSetting intSetting(int id, int64_t v) {
    TunerSetting s;
    s.id = id;
    s.intValue = v;
    return s;
}
TunerSetting dblSetting(int id, double v) {
    TunerSetting s;
    s.id = id;
    s.dblValue = v;
    return s;
}

TunerMethod lpMethod() {
    return {{intSetting(kCtrlDefaultAlg, NVRA_ALG_DUAL)},
            {intSetting(kCtrlDefaultAlg, NVRA_ALG_PRIMAL)},
            {intSetting(kCtrlDefaultAlg, NVRA_ALG_BARRIER)},
            {intSetting(kCtrlPresolve, NVRA_PRESOLVE_OFF)},
            {intSetting(kCtrlDualStrategy, 2)}};
}

TunerMethod mipMethod() {
    return {{intSetting(kCtrlPresolve, NVRA_PRESOLVE_OFF)},
            {dblSetting(kCtrlHeurEffort, 0.2)},
            {dblSetting(kCtrlHeurEffort, 0.0)},
            {intSetting(kCtrlCutStrategy, 0)},
            {intSetting(kCtrlSymmetry, 0)},
            {intSetting(kCtrlMipRestart, 0)},
            {intSetting(kCtrlFeasibilityPump, 1)},
            {intSetting(kCtrlDefaultAlg, NVRA_ALG_PRIMAL)}};
}

TunerMethod comprehensiveMethod() {
    TunerMethod method = mipMethod();
    const TunerMethod singles = mipMethod();
    for (size_t a = 0; a < singles.size(); ++a)
        for (size_t b = a + 1; b < singles.size(); ++b)
            if (singles[a][0].id != singles[b][0].id)
                method.push_back({singles[a][0], singles[b][0]});
    return method;
}

TunerMethod defaultMethod(NVRAprob prob, bool mip) {
    const int64_t choice = prob->controls.ints[intSlot::kCtrlTunerMethod];
    if (choice == 0) return lpMethod();
    if (choice == 2) return comprehensiveMethod();
    if (choice == 1) return mipMethod();
    return mip ? mipMethod() : lpMethod();
}

// A control value into a copy's controls (values were checked when the method was read).
void apply(ControlValues &c, const TunerSetting &s) {
    const CaEntry *e = findCa(s.id);
    if (!e || e->slot < 0) return;
    if (e->type == CaType::Int)
        c.ints[e->slot] = s.intValue;
    else if (e->type == CaType::Double)
        c.dbls[e->slot] = s.dblValue;
    else
        c.strs[e->slot] = s.strValue;
}

std::string settingText(const TunerSetting &s) {
    const CaEntry *e = findCa(s.id);
    std::string text = e ? e->name : std::to_string(s.id);
    text += '=';
    if (!e || e->type == CaType::Int) return text + std::to_string(s.intValue);
    if (e->type == CaType::Double) return text + numberText(s.dblValue);
    return text + s.strValue;
}

std::string candidateText(const TunerCandidate &c) {
    if (c.empty()) return "(the current controls)";
    std::string text;
    for (const TunerSetting &s : c) {
        if (!text.empty()) text += ' ';
        text += settingText(s);
    }
    return text;
}

// How a run (or the runs of one candidate over a set) ended: the worst status rank over the
// problems (0 proven optimal, 1 stopped with a solution, 2 without one), the time taken, and
// the target's measure summed (gap, negated bound or objective, in the minimising sense).
struct Score {
    int rank = 0;
    double seconds = 0.0, measure = 0.0;
};

// Lower is better: first the rank, then the target's measure (time for the time target).
bool better(const Score &a, const Score &b, int target) {
    if (a.rank != b.rank) return a.rank < b.rank;
    if (target <= 0) return a.seconds < b.seconds;
    return a.measure < b.measure;
}

// The problems a tuning run works on: the problem itself, or those of a set file.
struct Workload {
    std::vector<NVRAprob> problems;
    int mode = 0; // 0 as the problem holds, 1 as MIPs, 2 continuous
    ~Workload() {
        for (NVRAprob p : problems)
            if (p) NVRAdestroyprob(p);
    }
};

int runOne(NVRAprob base, NVRAprob copy, int mode, const ControlValues &controls, double limit,
           int target, Score &score) {
    copy->controls = controls;
    copy->controls.ints[intSlot::kCtrlOutputLog] = NVRA_OUTPUT_NONE;
    copy->controls.dbls[dblSlot::kCtrlTimeLimit] =
        std::min(copy->controls.dbls[dblSlot::kCtrlTimeLimit], std::max(limit, 1e-3));
    const auto start = Clock::now();
    const int rc = mode == 1   ? NVRAmipoptimize(copy, "")
                   : mode == 2 ? NVRAlpoptimize(copy, "")
                               : NVRAoptimize(copy, "", nullptr, nullptr);
    score.seconds += std::chrono::duration<double>(Clock::now() - start).count();
    if (rc) return probError(base, rc, "NVRAtune: a run failed: %s", copy->lastError.c_str());
    const SolveResult &r = copy->solution.current();
    const int rank =
        r.solStatus == NVRA_SOLSTATUS_OPTIMAL || r.solveStatus == NVRA_SOLVESTATUS_COMPLETED ? 0
        : r.solStatus == NVRA_SOLSTATUS_FEASIBLE                                             ? 1
                                                                                             : 2;
    score.rank = std::max(score.rank, rank);
    const int sense = copy->model.sense;
    score.measure += target == 1 ? r.mipGap : target == 2 ? -r.bestBound * sense : r.objVal * sense;
    return 0;
}

class Tuner {
  public:
    Tuner(NVRAprob prob, Workload &work) : prob_(prob), work_(work) {}

    int run(const TunerMethod &method) {
        const double total = prob_->controls.dbls[dblSlot::kCtrlTunerMaxTime];
        deadline_ = total > 0 ? total : kInf;
        target_ = static_cast<int>(prob_->controls.ints[intSlot::kCtrlTunerTarget]);
        started_ = Clock::now();
        // Ctrl-C stops the whole run, also between the runs of the candidates: the run under way
        // stops as a solve does, and the candidates measured in full so far are compared.
        SigintBracket ctrlC;
        sigintMark_ = sigintCount();
        prob_->interruptReason.store(0);
        if (int rc = openReport()) return rc;
        Score base;
        if (int rc = measure(TunerCandidate(), kInf, base)) return finish(rc);
        Score best = base;
        const TunerCandidate *winner = nullptr;
        for (const TunerCandidate &c : method) {
            const double left = deadline_ - elapsed();
            if (left <= 0) {
                report("tunermaxtime reached: the remaining candidates were not run");
                break;
            }
            if (stopped()) break;
            Score s;
            const double cap = target_ <= 0 && best.rank == 0 ? best.seconds : kInf;
            if (int rc = measure(c, std::min(cap, left), s)) return finish(rc);
            if (stopped()) break;
            if (better(s, best, target_)) {
                best = s;
                winner = &c;
            }
        }
        if (winner) {
            for (const TunerSetting &s : *winner)
                apply(prob_->controls, s);
            report("kept: " + candidateText(*winner));
        } else {
            report("kept: the current controls (no candidate did better)");
        }
        return finish(0);
    }

  private:
    // Ctrl-C or NVRAinterrupt since the run began (reported once).
    bool stopped() {
        if (sigintCount() == sigintMark_ && prob_->interruptReason.load() == 0) return false;
        if (!stopReported_) report("interrupted: the remaining candidates were not run");
        stopReported_ = true;
        return true;
    }

    double elapsed() const {
        return std::chrono::duration<double>(Clock::now() - started_).count();
    }

    int measure(const TunerCandidate &c, double limit, Score &score) {
        ControlValues controls = prob_->controls;
        for (const TunerSetting &s : c)
            apply(controls, s);
        for (NVRAprob p : work_.problems)
            if (int rc =
                    runOne(prob_, p, work_.mode, controls, limit - score.seconds, target_, score))
                return rc;
        char line[512];
        snprintf(line, sizeof line, "%-60s %10.3f s  %s", candidateText(c).c_str(), score.seconds,
                 score.rank == 0   ? "finished"
                 : score.rank == 1 ? "stopped with a solution"
                                   : "stopped without a solution");
        report(line);
        return 0;
    }

    int openReport() {
        const std::string &file = prob_->controls.strs[strSlot::kCtrlTunerReport];
        if (file.empty()) return 0;
        report_ = std::fopen(file.c_str(), "w");
        if (!report_)
            return probError(prob_, NVRA_RC_FILE, "NVRAtune: cannot write the report \"%s\"",
                             file.c_str());
        return 0;
    }

    void report(const std::string &line) {
        notice(prob_, NVRA_MSG_TUNER, 1, "Tuner: %s", line.c_str());
        if (report_) std::fprintf(report_, "%s\n", line.c_str());
    }

    int finish(int rc) {
        if (report_ && std::fclose(report_) != 0 && rc == 0)
            rc = probError(prob_, NVRA_RC_FILE, "NVRAtune: writing the report failed");
        report_ = nullptr;
        return rc;
    }

    NVRAprob prob_;
    Workload &work_;
    double deadline_ = kInf;
    int target_ = 0;
    Clock::time_point started_;
    FILE *report_ = nullptr;
    unsigned sigintMark_ = 0;
    bool stopReported_ = false;
};

int copyOf(NVRAprob prob, NVRAprob &copy) {
    if (int rc = NVRAcreateprob(&copy)) return probError(prob, rc, "NVRAtune: out of memory");
    if (int rc = NVRAcopyprob(copy, prob, nullptr))
        return probError(prob, rc, "NVRAtune: %s", copy->lastError.c_str());
    return 0;
}

int tune(NVRAprob prob, const char *flags) {
    if (flags && *flags)
        return probError(prob, NVRA_RC_INVALID, "NVRAtune: unknown flags \"%s\" (none are defined)",
                         flags);
    Workload work;
    work.problems.push_back(nullptr);
    if (int rc = copyOf(prob, work.problems[0])) return rc;
    const TunerMethod method = prob->tunerMethod.empty()
                                   ? defaultMethod(prob, hasEntities(prob->model))
                                   : prob->tunerMethod;
    return Tuner(prob, work).run(method);
}

// The problem files of a set file: one name a line, relative names relative to its folder.
int readSetFile(NVRAprob prob, const char *setfile, std::vector<std::string> &files) {
    FILE *f = setfile && *setfile ? std::fopen(setfile, "r") : nullptr;
    if (!f)
        return probError(prob, NVRA_RC_FILE, "NVRAtuneprobsetfile: cannot read \"%s\"",
                         setfile ? setfile : "");
    const std::string set(setfile);
    const size_t slash = set.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : set.substr(0, slash + 1);
    char line[4096];
    while (std::fgets(line, sizeof line, f)) {
        std::string name(line);
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r' || name.back() == ' '))
            name.pop_back();
        if (name.empty() || name[0] == '#') continue;
        files.push_back(name[0] == '/' ? name : dir + name);
    }
    std::fclose(f);
    if (files.empty())
        return probError(prob, NVRA_RC_FILE, "NVRAtuneprobsetfile: \"%s\" names no problem file",
                         setfile);
    return 0;
}

int tuneSet(NVRAprob prob, const char *setfile, int ifmip, int sense) {
    if (ifmip != 0 && ifmip != 1)
        return probError(prob, NVRA_RC_INVALID, "NVRAtuneprobsetfile: ifmip must be 0 or 1");
    if (sense < -1 || sense > 1)
        return probError(prob, NVRA_RC_INVALID, "NVRAtuneprobsetfile: sense must be -1, 0 or 1");
    std::vector<std::string> files;
    if (int rc = readSetFile(prob, setfile, files)) return rc;
    Workload work;
    work.mode = ifmip ? 1 : 2;
    for (const std::string &file : files) {
        NVRAprob p = nullptr;
        if (NVRAcreateprob(&p))
            return probError(prob, NVRA_RC_NOMEM, "NVRAtuneprobsetfile: out of memory");
        work.problems.push_back(p);
        if (int rc = NVRAreadprob(p, file.c_str(), ""))
            return probError(prob, rc, "NVRAtuneprobsetfile: %s", p->lastError.c_str());
        if (sense != 0) NVRAchgobjsense(p, sense);
    }
    return Tuner(prob, work)
        .run(prob->tunerMethod.empty() ? defaultMethod(prob, ifmip == 1) : prob->tunerMethod);
}

// ---- method files ------------------------------------------------------------------------------

int parseSetting(NVRAprob prob, const char *file, int line, const std::string &token,
                 TunerSetting &s) {
    const size_t eq = token.find('=');
    auto fail = [&](const char *why) {
        return probError(prob, NVRA_RC_FILE, "NVRAtunerreadmethod: \"%s\": line %d: %s: \"%s\"",
                         file, line, why, token.c_str());
    };
    if (eq == std::string::npos || eq == 0) return fail("expected name=value");
    const std::string name = token.substr(0, eq), value = token.substr(eq + 1);
    const CaEntry *e = findCaByName(name.c_str());
    if (!e || !(e->flags & NVRA_CA_CONTROL) || e->slot < 0) return fail("unknown control");
    s.id = e->id;
    char *end = nullptr;
    if (e->type == CaType::Int) {
        s.intValue = std::strtoll(value.c_str(), &end, 10);
        if (value.empty() || *end || s.intValue < e->intLower || s.intValue > e->intUpper)
            return fail("not an integer within the control's bounds");
    } else if (e->type == CaType::Double) {
        s.dblValue = std::strtod(value.c_str(), &end);
        if (value.empty() || *end || !(s.dblValue >= e->dblLower && s.dblValue <= e->dblUpper))
            return fail("not a number within the control's bounds");
    } else {
        s.strValue = value;
    }
    return 0;
}

int readMethod(NVRAprob prob, const char *file) {
    FILE *f = file && *file ? std::fopen(file, "r") : nullptr;
    if (!f)
        return probError(prob, NVRA_RC_FILE, "NVRAtunerreadmethod: cannot read \"%s\"",
                         file ? file : "");
    std::unique_ptr<FILE, int (*)(FILE *)> guard(f, std::fclose);
    TunerMethod method;
    char buf[8192];
    for (int line = 1; std::fgets(buf, sizeof buf, f); ++line) {
        std::string text(buf);
        text = text.substr(0, text.find('#'));
        TunerCandidate candidate;
        for (size_t p = 0; p < text.size();) {
            while (p < text.size() && std::isspace(static_cast<unsigned char>(text[p])))
                ++p;
            const size_t start = p;
            while (p < text.size() && !std::isspace(static_cast<unsigned char>(text[p])))
                ++p;
            if (p == start) continue;
            TunerSetting s;
            if (int rc = parseSetting(prob, file, line, text.substr(start, p - start), s))
                return rc;
            candidate.push_back(s);
        }
        if (!candidate.empty()) method.push_back(std::move(candidate));
    }
    if (method.empty())
        return probError(prob, NVRA_RC_FILE, "NVRAtunerreadmethod: \"%s\" holds no candidate",
                         file);
    prob->tunerMethod = std::move(method);
    return 0;
}

int writeMethod(NVRAprob prob, const char *file) {
    FILE *f = file && *file ? std::fopen(file, "w") : nullptr;
    if (!f)
        return probError(prob, NVRA_RC_FILE, "NVRAtunerwritemethod: cannot write \"%s\"",
                         file ? file : "");
    const TunerMethod method = prob->tunerMethod.empty()
                                   ? defaultMethod(prob, hasEntities(prob->model))
                                   : prob->tunerMethod;
    std::fprintf(f, "# tuner method: one candidate a line\n");
    for (const TunerCandidate &c : method)
        std::fprintf(f, "%s\n", candidateText(c).c_str());
    if (std::fclose(f) != 0)
        return probError(prob, NVRA_RC_FILE, "NVRAtunerwritemethod: writing \"%s\" failed", file);
    return 0;
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAtune(NVRAprob prob, const char *flags) {
    return sideEdit(prob, "NVRAtune", [&] { return tune(prob, flags); });
}

int NVRAtuneprobsetfile(NVRAprob prob, const char *setfile, int ifmip, int sense) {
    return sideEdit(prob, "NVRAtuneprobsetfile",
                    [&] { return tuneSet(prob, setfile, ifmip, sense); });
}

int NVRAtunerreadmethod(NVRAprob prob, const char *methodfile) {
    return sideEdit(prob, "NVRAtunerreadmethod", [&] { return readMethod(prob, methodfile); });
}

int NVRAtunerwritemethod(NVRAprob prob, const char *methodfile) {
    return storeQuery(prob, "NVRAtunerwritemethod", [&] { return writeMethod(prob, methodfile); });
}

} // extern "C"
