// Files of the analysis side: bases, directives, solutions (text, exchange and binary) and whole
// saved problems round trip; damaged, truncated and mismatched files are refused with the file
// named and change nothing. The tuner keeps settings no slower than the current ones.
#include "test_analysis_util.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

using namespace analysistest;
using nvratest::slurp;

std::string tempFile(const std::string &name) {
    return ::testing::TempDir() + name;
}

void spit(const std::string &file, const std::string &text) {
    std::ofstream(file, std::ios::binary) << text;
}

class FileRoundTrip : public AnalysisTest {
  protected:
    void SetUp() override {
        AnalysisTest::SetUp();
        readInstance(prob, "afiro.mps");
        ASSERT_EQ(optimize(), 0);
    }
    // A copy of the model with no solution.
    NVRAprob fresh() {
        NVRAprob other = nullptr;
        EXPECT_EQ(NVRAcreateprob(&other), 0);
        EXPECT_EQ(NVRAcopyprob(other, prob, nullptr), 0);
        others_.push_back(other);
        return other;
    }
    void TearDown() override {
        for (NVRAprob p : others_)
            EXPECT_EQ(NVRAdestroyprob(p), 0);
        AnalysisTest::TearDown();
    }
    std::vector<NVRAprob> others_;
};

TEST_F(FileRoundTrip, BasisFileRestartsInNoIterations) {
    // Names a file of tokens cannot hold are written as default names and read back as such;
    // "C0" given to another column then shows its own default too.
    const char rowName[] = "#first row", colNames[] = "x y\0C0";
    ASSERT_EQ(NVRAaddnames(prob, NVRA_NAMES_ROWS, rowName, 0, 0), 0);
    ASSERT_EQ(NVRAaddnames(prob, NVRA_NAMES_COLUMNS, colNames, 0, 1), 0);
    ASSERT_EQ(optimize(), 0);
    const std::string file = tempFile("afiro.bss");
    ASSERT_EQ(NVRAwritebasis(prob, file.c_str(), ""), 0) << lastError(prob);
    NVRAprob other = fresh();
    ASSERT_EQ(NVRAreadbasis(other, file.c_str(), ""), 0) << lastError(other);
    std::vector<int> rows(prob->model.numRows()), again(rows.size());
    ASSERT_EQ(NVRAgetbasis(prob, rows.data(), nullptr), 0);
    ASSERT_EQ(NVRAgetbasis(other, again.data(), nullptr), 0);
    EXPECT_EQ(again, rows);
    ASSERT_EQ(NVRAlpoptimize(other, ""), 0);
    EXPECT_EQ(result(other).simplexIter, 0);
    // A name the problem does not have, and a file without its end, name the line.
    std::string text = slurp(file);
    const size_t at = text.find('\n', text.find('\n') + 1);
    spit(file, text.substr(0, at + 1) + " UL NOSUCHCOL\nENDATA\n");
    EXPECT_EQ(NVRAreadbasis(other, file.c_str(), ""), NVRA_RC_FILE);
    EXPECT_NE(lastError(other).find("line 3"), std::string::npos) << lastError(other);
    EXPECT_NE(lastError(other).find("NOSUCHCOL"), std::string::npos);
    spit(file, text.substr(0, at + 1));
    EXPECT_EQ(NVRAreadbasis(other, file.c_str(), ""), NVRA_RC_FILE);
    EXPECT_NE(lastError(other).find("without ENDATA"), std::string::npos);
    EXPECT_EQ(NVRAreadbasis(other, (file + ".none").c_str(), ""), NVRA_RC_FILE);
    EXPECT_EQ(NVRAlpoptimize(other, ""), 0); // the failed reads left the problem usable
    std::remove(file.c_str());
}

TEST_F(FileRoundTrip, DirectivesAndExchangeSolutionsRoundTrip) {
    const int cols[3] = {0, 5, 7};
    const int priority[3] = {3, 1, 700};
    const char dir[3] = {'U', 'D', 'N'};
    const double up[3] = {1.5, 0.0, 2.0}, down[3] = {0.25, 3.0, 0.0};
    ASSERT_EQ(NVRAloaddirs(prob, 3, cols, priority, dir, up, down), 0) << lastError(prob);
    const std::string dirs = tempFile("afiro.dir");
    ASSERT_EQ(NVRAwritedirs(prob, dirs.c_str()), 0) << lastError(prob);
    NVRAprob other = fresh();
    const int none[1] = {0};
    ASSERT_EQ(NVRAloaddirs(other, 0, none, nullptr, nullptr, nullptr, nullptr), 0);
    other->model.dirs.clear();
    ASSERT_EQ(NVRAreaddirs(other, dirs.c_str()), 0) << lastError(other);
    int n = 0, outCols[3], outPri[3];
    char outDir[3];
    double outUp[3], outDown[3];
    ASSERT_EQ(NVRAgetdirs(other, &n, outCols, outPri, outDir, outUp, outDown), 0);
    ASSERT_EQ(n, 3);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(outCols[k], cols[k]);
        EXPECT_EQ(outPri[k], priority[k]);
        EXPECT_EQ(outDir[k], dir[k]);
        EXPECT_EQ(outUp[k], up[k]);
        EXPECT_EQ(outDown[k], down[k]);
    }
    // The exchange file read back as the continuous solution gives the same values.
    const std::string slx = tempFile("afiro.slx");
    ASSERT_EQ(NVRAwriteslxsol(prob, slx.c_str(), ""), 0) << lastError(prob);
    ASSERT_EQ(NVRAreadslxsol(other, slx.c_str(), "l"), 0) << lastError(other);
    EXPECT_EQ(solution(other), solution(prob));
    ASSERT_EQ(NVRAreadslxsol(other, slx.c_str(), ""), 0); // as a MIP start
    EXPECT_EQ(other->starts.mip.size(), 1u);
    spit(slx, "NAME x\nC X01 abc\nENDATA\n");
    EXPECT_EQ(NVRAreadslxsol(other, slx.c_str(), ""), NVRA_RC_FILE);
    EXPECT_NE(lastError(other).find("line 2"), std::string::npos) << lastError(other);
    std::remove(dirs.c_str());
    std::remove(slx.c_str());
}

TEST_F(FileRoundTrip, TextSolutionsListEveryRowAndColumn) {
    const std::string csv = tempFile("afiro.csv"), prt = tempFile("afiro.prt");
    ASSERT_EQ(NVRAwritesol(prob, csv.c_str(), ""), 0) << lastError(prob);
    ASSERT_EQ(NVRAwriteprtsol(prob, prt.c_str(), ""), 0) << lastError(prob);
    std::istringstream lines(slurp(csv));
    std::string line;
    int columns = 0, rows = 0;
    const std::vector<double> x = solution(prob);
    while (std::getline(lines, line)) {
        if (line.rfind("C,", 0) == 0) {
            const double v = std::stod(line.substr(line.find(',', 2) + 1));
            EXPECT_NEAR(v, x[columns], 1e-12 * (1 + std::fabs(x[columns])));
            ++columns;
        }
        rows += line.rfind("R,", 0) == 0;
    }
    EXPECT_EQ(columns, prob->model.numCols());
    EXPECT_EQ(rows, prob->model.numRows());
    EXPECT_NE(slurp(prt).find("Objective"), std::string::npos);
    NVRAprob other = fresh();
    EXPECT_EQ(NVRAwritesol(other, csv.c_str(), ""), NVRA_RC_ERROR);
    EXPECT_EQ(NVRAwritesol(prob, csv.c_str(), "x"), NVRA_RC_INVALID);
    std::remove(csv.c_str());
    std::remove(prt.c_str());
}

TEST_F(FileRoundTrip, BinarySolutionsRefuseOtherProblemsAndDamage) {
    const std::string file = tempFile("afiro.sol");
    ASSERT_EQ(NVRAwritebinsol(prob, file.c_str(), ""), 0) << lastError(prob);
    NVRAprob other = fresh();
    ASSERT_EQ(NVRAreadbinsol(other, file.c_str(), ""), 0) << lastError(other);
    std::vector<double> d1(prob->model.numRows()), d2(d1.size());
    ASSERT_EQ(NVRAgetlpsol(prob, nullptr, nullptr, d1.data(), nullptr), 0);
    ASSERT_EQ(NVRAgetlpsol(other, nullptr, nullptr, d2.data(), nullptr), 0);
    EXPECT_EQ(d1, d2);
    const std::string bytes = slurp(file);
    spit(file, bytes.substr(0, bytes.size() / 2));
    EXPECT_EQ(NVRAreadbinsol(other, file.c_str(), ""), NVRA_RC_FILE);
    EXPECT_NE(lastError(other).find(file), std::string::npos);
    std::string damaged = bytes;
    damaged[damaged.size() / 2] ^= 0x40;
    spit(file, damaged);
    EXPECT_EQ(NVRAreadbinsol(other, file.c_str(), ""), NVRA_RC_FILE);
    EXPECT_NE(lastError(other).find("damaged"), std::string::npos) << lastError(other);
    EXPECT_EQ(d2, [&] {
        std::vector<double> d(d1.size());
        NVRAgetlpsol(other, nullptr, nullptr, d.data(), nullptr);
        return d;
    }());
    spit(file, bytes);
    const int first = 0;
    ASSERT_EQ(NVRAdelrows(other, 1, &first), 0);
    EXPECT_EQ(NVRAreadbinsol(other, file.c_str(), ""), NVRA_RC_FILE);
    EXPECT_NE(lastError(other).find("27 rows"), std::string::npos) << lastError(other);
    std::remove(file.c_str());
}

TEST_F(FileRoundTrip, SavedProblemsRestoreModelControlsAndSolution) {
    const int cols[1] = {3};
    const char dir[1] = {'U'};
    ASSERT_EQ(NVRAloaddirs(prob, 1, cols, nullptr, dir, nullptr, nullptr), 0);
    const int rows[1] = {2};
    ASSERT_EQ(NVRAloaddelayedrows(prob, 1, rows), 0);
    setDbl(prob, nvra::kCtrlFeasTol, 1e-8);
    const char *name = "X99\0";
    ASSERT_EQ(NVRAaddnames(prob, NVRA_NAMES_COLUMNS, name, 1, 1), 0);
    ASSERT_EQ(optimize(), 0);
    const std::string base = tempFile("saved");
    ASSERT_EQ(NVRAsaveas(prob, (base + ".svf").c_str()), 0) << lastError(prob);
    NVRAprob other = nullptr;
    ASSERT_EQ(NVRAcreateprob(&other), 0);
    others_.push_back(other);
    ASSERT_EQ(NVRArestore(other, base.c_str(), ""), 0) << lastError(other);
    // The model: every row and column as written by the MPS writer of both.
    const std::string a = tempFile("a.mps"), b2 = tempFile("b.mps");
    ASSERT_EQ(NVRAwriteprob(prob, a.c_str(), ""), 0);
    ASSERT_EQ(NVRAwriteprob(other, b2.c_str(), ""), 0);
    EXPECT_EQ(slurp(a), slurp(b2));
    EXPECT_EQ(other->model.dirs.size(), 1u);
    EXPECT_EQ(other->model.rowFlags.at(2), NVRA_ROWFLAG_DELAYED);
    double tol = 0;
    ASSERT_EQ(NVRAgetdblcontrol(other, nvra::kCtrlFeasTol, &tol), 0);
    EXPECT_EQ(tol, 1e-8);
    EXPECT_EQ(result(other).objVal, result(prob).objVal);
    EXPECT_EQ(solution(other), solution(prob));
    std::vector<int> basis(prob->model.numCols());
    EXPECT_EQ(NVRAgetbasis(other, nullptr, basis.data()), 0) << lastError(other);
    // A damaged file changes nothing.
    std::string bytes = slurp(base + ".svf");
    bytes[bytes.size() / 3] ^= 0x01;
    spit(base + ".svf", bytes);
    EXPECT_EQ(NVRArestore(other, base.c_str(), ""), NVRA_RC_FILE);
    EXPECT_EQ(solution(other), solution(prob));
    spit(base + ".svf", "NVRASVF1");
    EXPECT_EQ(NVRArestore(other, base.c_str(), ""), NVRA_RC_FILE);
    EXPECT_NE(lastError(other).find("truncated"), std::string::npos) << lastError(other);
    for (const std::string &f : {a, b2, base + ".svf"})
        std::remove(f.c_str());
}

TEST_F(FileRoundTrip, SavedProblemsInMemoryHoldWhatTheFileHolds) {
    ASSERT_EQ(optimize(), 0);
    const std::string file = tempFile("memory.svf");
    ASSERT_EQ(NVRAsaveas(prob, file.c_str()), 0) << lastError(prob);
    int64_t size = -1;
    ASSERT_EQ(NVRAsavetobuffer(prob, nullptr, 0, &size), 0) << lastError(prob);
    const std::string saved = slurp(file);
    ASSERT_EQ(size, static_cast<int64_t>(saved.size()));
    // Too small a buffer is refused and left alone; the size is reported all the same.
    std::string buf(saved.size(), '#');
    size = 0;
    EXPECT_EQ(NVRAsavetobuffer(prob, buf.data(), static_cast<int64_t>(buf.size()) - 1, &size),
              NVRA_RC_INVALID);
    EXPECT_EQ(size, static_cast<int64_t>(saved.size()));
    EXPECT_EQ(buf, std::string(saved.size(), '#'));
    EXPECT_EQ(NVRAsavetobuffer(prob, nullptr, 8, &size), NVRA_RC_INVALID);
    EXPECT_EQ(NVRAsavetobuffer(prob, buf.data(), 0, nullptr), NVRA_RC_INVALID);
    ASSERT_EQ(NVRAsavetobuffer(prob, buf.data(), static_cast<int64_t>(buf.size()), &size), 0);
    EXPECT_EQ(buf, saved);
    // Restored: the same problem, solution included; damaged content changes nothing.
    NVRAprob other = nullptr;
    ASSERT_EQ(NVRAcreateprob(&other), 0);
    others_.push_back(other);
    ASSERT_EQ(NVRArestorefrombuffer(other, buf.data(), size, ""), 0) << lastError(other);
    EXPECT_EQ(solution(other), solution(prob));
    EXPECT_EQ(other->model.numRows(), prob->model.numRows());
    std::string damaged = buf;
    damaged[damaged.size() / 2] ^= 0x04;
    EXPECT_EQ(NVRArestorefrombuffer(other, damaged.data(), size, ""), NVRA_RC_INVALID);
    EXPECT_NE(lastError(other).find("in memory"), std::string::npos) << lastError(other);
    EXPECT_EQ(NVRArestorefrombuffer(other, buf.data(), size - 1, ""), NVRA_RC_INVALID);
    EXPECT_EQ(NVRArestorefrombuffer(other, nullptr, 4, ""), NVRA_RC_INVALID);
    EXPECT_EQ(NVRArestorefrombuffer(other, buf.data(), size, "x"), NVRA_RC_INVALID);
    EXPECT_EQ(solution(other), solution(prob));
    std::remove(file.c_str());
}

TEST_F(AnalysisTest, SavedProblemsKeepPiecewiseLinearAndGeneralConstraints) {
    const double obj[3] = {1, 1, 1}, lb[3] = {0, 0, 0}, ub[3] = {4, 10, 10};
    const int64_t start[4] = {0, 0, 0, 0};
    ASSERT_EQ(NVRAaddcols64(prob, 3, 0, obj, start, nullptr, nullptr, lb, ub), 0);
    const int col[1] = {0}, res[1] = {1}, gtype[1] = {NVRA_GENCONS_MAX}, gres[1] = {2};
    const int64_t pstart[1] = {0}, gstart[1] = {0};
    const double xs[3] = {0, 2, 4}, ys[3] = {0, 3, 1}, consts[1] = {2.5};
    ASSERT_EQ(NVRAaddpwlcons64(prob, 1, 3, col, res, pstart, xs, ys), 0) << lastError(prob);
    ASSERT_EQ(NVRAaddgencons64(prob, 1, 1, 1, gtype, gres, gstart, col, gstart, consts), 0)
        << lastError(prob);
    const std::string file = tempFile("general.svf");
    ASSERT_EQ(NVRAsaveas(prob, file.c_str()), 0) << lastError(prob);
    NVRAprob other = nullptr;
    ASSERT_EQ(NVRAcreateprob(&other), 0);
    ASSERT_EQ(NVRArestore(other, file.c_str(), ""), 0) << lastError(other);
    ASSERT_EQ(other->model.pwls.size(), 1u);
    ASSERT_EQ(other->model.gencons.size(), 1u);
    const nvra::Pwl &p = other->model.pwls[0];
    EXPECT_EQ(
        std::make_tuple(p.col, p.resultant, p.x, p.y),
        std::make_tuple(0, 1, std::vector<double>(xs, xs + 3), std::vector<double>(ys, ys + 3)));
    const nvra::GenCons &g = other->model.gencons[0];
    EXPECT_EQ(std::make_tuple(g.type, g.resultant, g.cols, g.vals),
              std::make_tuple(int{NVRA_GENCONS_MAX}, 2, std::vector<int32_t>{0},
                              std::vector<double>{2.5}));
    // The restored problem solves with both constraints (x0 = 0: y = 0, z = max(0, 2.5)).
    ASSERT_EQ(NVRAoptimize(other, "", nullptr, nullptr), 0) << lastError(other);
    EXPECT_NEAR(result(other).objVal, 2.5, 1e-6);
    EXPECT_EQ(NVRAdestroyprob(other), 0);
    std::remove(file.c_str());
}

TEST_F(AnalysisTest, TunerNeverKeepsSettingsSlowerThanTheCurrentOnes) {
    readInstance(prob, "egout.mps");
    const std::string report = tempFile("tuner.txt");
    ASSERT_EQ(NVRAsetstrcontrol(prob, nvra::kCtrlTunerReport, report.c_str()), 0);
    setDbl(prob, nvra::kCtrlTunerMaxTime, 20.0);
    const nvra::ControlValues before = prob->controls;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(NVRAtune(prob, ""), 0) << lastError(prob);
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(took, 20.0 + 5.0);
    // The report lists each run with its time, then the candidate kept. A kept candidate was
    // measured faster than the current controls (the first run).
    std::istringstream lines(slurp(report));
    std::string line, kept;
    std::vector<std::pair<std::string, double>> runs;
    while (std::getline(lines, line)) {
        if (line.rfind("kept: ", 0) == 0) kept = line.substr(6);
        const size_t s = line.find(" s  ");
        if (s == std::string::npos) continue;
        const std::string what = line.substr(0, line.find("  "));
        runs.emplace_back(what, std::stod(line.substr(line.rfind(' ', s - 1))));
    }
    ASSERT_GE(runs.size(), 2u);
    ASSERT_FALSE(kept.empty());
    const bool changed = prob->controls.ints != before.ints || prob->controls.dbls != before.dbls;
    EXPECT_EQ(changed, kept.rfind("the current controls", 0) != 0) << kept;
    if (changed) {
        const auto it =
            std::find_if(runs.begin(), runs.end(), [&](const auto &r) { return r.first == kept; });
        ASSERT_NE(it, runs.end()) << kept;
        // Faster as measured; the report's times are rounded to milliseconds, where the two
        // may show equal.
        EXPECT_LE(it->second, runs[0].second);
    }
    // A method file round trip, and a bad one named with its line.
    const std::string method = tempFile("method.txt");
    spit(method, "presolve=0 heureffort=0.5\n# comment\nsymmetry=0\n");
    ASSERT_EQ(NVRAtunerreadmethod(prob, method.c_str()), 0) << lastError(prob);
    ASSERT_EQ(prob->tunerMethod.size(), 2u);
    ASSERT_EQ(NVRAtunerwritemethod(prob, method.c_str()), 0);
    EXPECT_NE(slurp(method).find("presolve=0 heureffort=0.5"), std::string::npos);
    spit(method, "presolve=0\nnosuch=1\n");
    EXPECT_EQ(NVRAtunerreadmethod(prob, method.c_str()), NVRA_RC_FILE);
    EXPECT_NE(lastError(prob).find("line 2"), std::string::npos) << lastError(prob);
    std::remove(report.c_str());
    std::remove(method.c_str());
}

} // namespace
