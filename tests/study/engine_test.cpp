// The study through the host: local pool, a placement run alone, the Slurm
// task runner's slices, resumption after lost and damaged results and a
// killed worker, and a failing task.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "host_files.h"
#include "plot.h"
#include "study_fixture.h"
#include "study_runner.h"
#include "study_tasks.h"

using namespace studytest;
using namespace ilshost::study;
namespace fs = std::filesystem;

namespace {

// Each test has its own folder and study (freshDir), so that the tests run
// alone and side by side.
class StudyEngine : public ::testing::Test {
protected:
    void SetUp() override {
        dir = freshDir("engine");
        writeBaseProject(dir + "base/", "RUN", "");
        writeText(dir + "small.toml", smallStudy("base", "RUN"));
        first = host("study run " + dir + "small.toml --jobs 2");
        csv = readText(dir + "small/results.csv");
    }
    std::string dir;
    Outcome first;
    std::string csv;
};

size_t lineCount(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

TEST_F(StudyEngine, LocalPoolRunsEveryTaskAndGathers) {
    ASSERT_EQ(first.code, 0) << first.output;
    EXPECT_NE(first.output.find("4/4 tasks  failed 0"), std::string::npos) << first.output;
    ASSERT_EQ(lineCount(csv), 5u) << csv;
    EXPECT_EQ(csv.rfind("task,x_m,y_m,heading_deg,result,worst_uA,", 0), 0u);
    for (const char* f : {"summary.txt", "boundary.csv", "map.gp", "map.dat"}) {
        EXPECT_TRUE(fs::is_regular_file(dir + "small/" + f)) << f;
    }
    if (!ilshost::findOnPath("gnuplot").empty()) {
        EXPECT_GT(fs::file_size(dir + "small/map_max.png"), 1000u);
        EXPECT_TRUE(fs::is_regular_file(dir + "small/map_heading_90.svg"));
    }
    // Finished tasks leave no work folders behind.
    EXPECT_TRUE(!fs::exists(dir + "small/work") || fs::is_empty(dir + "small/work"));
}

TEST_F(StudyEngine, APlacementRunAloneGivesTheStudysRow) {
    ASSERT_EQ(first.code, 0) << first.output;
    const Outcome show = host("study show " + dir + "small.toml 150,20,90 --into " + dir + "show1");
    ASSERT_EQ(show.code, 0) << show.output;
    EXPECT_NE(show.output.find("Task 1:"), std::string::npos) << show.output;
    const Outcome run = host("run " + dir + "show1 RUN");
    ASSERT_EQ(run.code, 0) << run.output;
    // Evaluate the lone run's report as the study would, and compare rows.
    Study s;
    std::vector<std::string> errors;
    ASSERT_TRUE(loadStudy(dir + "small.toml", s, errors));
    RunValues base;
    ASSERT_TRUE(loadBase(s, studyFingerprint(s), base));
    ilshost::Report report;
    std::string error;
    ASSERT_TRUE(ilshost::parseReport(readText(dir + "show1/scratch/RUN.PTS"), report, error)) << error;
    RunValues alone = base;
    size_t t = 0;
    for (size_t c = 1; c < report.columns.size(); ++c) {
        if (report.columns[c].label != "CDI" || report.columns[c].unit != "(uA)") continue;
        ASSERT_LT(t, alone.cdi.size());
        for (size_t i = 0; i < report.rows.size(); ++i) alone.cdi[t][i] = report.rows[i][c];
        ++t;
    }
    ASSERT_EQ(t, base.cdi.size());
    std::vector<double> along;
    const auto segments = studySegments(s, base, along);
    TaskResult r;
    r.task = taskList(s)[1];
    ASSERT_TRUE(evaluate(s, segments, along, base, alone, r.evaluation, error)) << error;
    const std::string row = resultRow(r, segments.size());
    EXPECT_NE(csv.find("\n" + row + "\n"), std::string::npos) << row << "\n" << csv;
    // The object changes the CDI somewhere: the row is not a copy of the base.
    EXPECT_GT(r.evaluation.segments[static_cast<size_t>(r.evaluation.worst)].ratio, 0.0);
}

TEST_F(StudyEngine, ArraySlicesGiveTheSameBytesAsThePool) {
    ASSERT_EQ(first.code, 0) << first.output;
    fs::remove_all(dir + "small/tasks");
    fs::remove(dir + "small/results.csv");
    const Outcome missing = host("study gather " + dir + "small.toml");
    EXPECT_EQ(missing.code, 8) << missing.output;
    EXPECT_NE(missing.output.find("4 missing"), std::string::npos) << missing.output;
    for (const char* slice : {"--first 0 --count 2", "--first 2 --count 2"}) {
        const Outcome w = host("study work " + dir + "small.toml " + slice + " --threads 1");
        ASSERT_EQ(w.code, 0) << w.output;
    }
    const Outcome status = host("study status " + dir + "small.toml");
    EXPECT_EQ(status.code, 0) << status.output;
    EXPECT_NE(status.output.find("4 done (0 of them failed), 0 missing"), std::string::npos) << status.output;
    const Outcome gather = host("study gather " + dir + "small.toml");
    ASSERT_EQ(gather.code, 0) << gather.output;
    EXPECT_EQ(readText(dir + "small/results.csv"), csv);
}

TEST_F(StudyEngine, SubmitWritesAJobArrayOfTheTaskRunner) {
    ASSERT_EQ(first.code, 0) << first.output;
    const Outcome dry = host("study submit " + dir + "small.toml --tasks-per-job 3 --partition short --dry-run");
    ASSERT_EQ(dry.code, 0) << dry.output;
    // The base is done, so the array is submitted without a dependency.
    EXPECT_NE(dry.output.find("sbatch --parsable '" + dir + "small/slurm/tasks.sbatch'"), std::string::npos)
        << dry.output;
    const std::string script = readText(dir + "small/slurm/tasks.sbatch");
    EXPECT_NE(script.find("#SBATCH --array=0-1\n"), std::string::npos) << script;  // 4 tasks, 3 per element
    EXPECT_NE(script.find("#SBATCH --partition=short\n"), std::string::npos) << script;
    EXPECT_NE(script.find(" study work '" + dir + "small.toml' --first $((SLURM_ARRAY_TASK_ID * 3)) --count 3 "
                          "--threads 1\n"),
              std::string::npos)
        << script;
    EXPECT_NE(readText(dir + "small/slurm/base.sbatch").find("--count 0"), std::string::npos);
}

TEST_F(StudyEngine, ResumesAfterLostDamagedAndHalfWrittenResults) {
    ASSERT_EQ(first.code, 0) << first.output;
    const std::string tasks = dir + "small/tasks/";
    fs::remove(tasks + "t000001.res");
    const std::string whole = readText(tasks + "t000002.res");
    writeText(tasks + "t000002.res", whole.substr(0, whole.size() / 2));  // a power cut mid-write
    writeText(tasks + "t000003.res.part", "study");
    const Outcome again = host("study run " + dir + "small.toml --jobs 1");
    ASSERT_EQ(again.code, 0) << again.output;
    EXPECT_NE(again.output.find("Resuming: 2 tasks already done, 2 to run."), std::string::npos) << again.output;
    const std::string log = readText(dir + "small/logs/worker-1.log");
    EXPECT_EQ(log, "t000001 done\nt000002 done\n");
    EXPECT_EQ(readText(dir + "small/results.csv"), csv);
}

TEST_F(StudyEngine, AKilledWorkerLosesOnlyItsUnfinishedTasks) {
    ASSERT_EQ(first.code, 0) << first.output;
    if (std::system("command -v timeout > /dev/null") != 0) GTEST_SKIP() << "no timeout program";
    fs::remove_all(dir + "small/tasks");
    // SIGKILL once the first task is stored: the worker is inside the next
    // one and has no chance to clean up.
    const std::string pidFile = dir + "worker.pid";
    std::system((std::string(ILSCALC_HOST_BINARY) + " study work " + dir +
                 "small.toml --first 0 --count 4 --threads 1 > /dev/null 2>&1 & echo $! > " + pidFile).c_str());
    for (int i = 0; i < 3000 && !fs::exists(dir + "small/tasks/t000000.res"); ++i) {
        std::system("sleep 0.01");
    }
    std::system(("kill -9 $(cat " + pidFile + ")").c_str());
    std::system("sleep 0.2");
    const Outcome status = host("study status " + dir + "small.toml");
    EXPECT_EQ(status.code, 8) << status.output;  // tasks are missing
    EXPECT_NE(status.output.find("base run done"), std::string::npos) << status.output;
    const Outcome again = host("study run " + dir + "small.toml --jobs 2");
    ASSERT_EQ(again.code, 0) << again.output;
    EXPECT_EQ(readText(dir + "small/results.csv"), csv);
}

TEST(StudyEngineFailure, AFailingTaskIsRecordedAndTheStudyGoesOn) {
    const std::string dir = freshDir("failure");
    // The base moves a plate by a motion file named with an absolute path;
    // once the base is done the file goes, and every task's run fails.
    const std::string motion = dir + "gone.mot";
    writeText(motion, "0\n1\n0 0 0 0 0\n");
    writeBaseProject(dir + "base/", "RUN", "SG 1   " + motion + "\nSP\nM 0 0 1\n2000 -300 2050 -300 0 10 0\nSG 0\n");
    writeText(dir + "fail.toml", smallStudy("base", "RUN"));
    const Outcome base = host("study work " + dir + "fail.toml --count 0");
    ASSERT_EQ(base.code, 0) << base.output;
    fs::remove(motion);
    const Outcome run = host("study run " + dir + "fail.toml --jobs 2");
    EXPECT_EQ(run.code, 3) << run.output;
    EXPECT_NE(run.output.find("4 tasks failed to run"), std::string::npos) << run.output;
    const std::string csv = readText(dir + "fail/results.csv");
    ASSERT_EQ(lineCount(csv), 5u) << csv;
    EXPECT_NE(csv.find(",error,"), std::string::npos);
    EXPECT_NE(csv.find("ERROR! Could not open file " + motion), std::string::npos) << csv;
    // The failed task's project stays for a look.
    EXPECT_TRUE(fs::is_regular_file(dir + "fail/work/t000000/scratch/RUN.out"));
}

}  // namespace
