// The worker thread on its own, with a job that records its wakes: the changed message wakes the
// job, the quit message ends the loop, and Stop waits on the threads' handles until every worker
// it knows of, recorded or forgotten, has ended, however many callers stop it at once.
#include "progress/worker_thread.h"

#include "progress_test_support.h"
#include "tests/unit/bounded_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

namespace {

using testing_support::BoundedThread;

class CRecordingJob : public CWorkerThread::IJob {
public:
    void WorkerStarting(CWorkerThread::TRun&) override { ++starts; }
    void WorkerWake(CWorkerThread::TRun&, bool, bool changed) override
    {
        if (changed)
            ++changes;
        if (changed && leaveOnChange)
            throw CWorkerThread::ELeaveLoop();
    }

    std::atomic<int> starts{0};
    std::atomic<int> changes{0};
    std::atomic<bool> leaveOnChange{false};
};

class WorkerThreadTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(worker_.Init(), S_OK); }
    void TearDown() override
    {
        worker_.Stop();
        worker_.Term();
    }

    bool Start()
    {
        com::CriticalSectionLock hold(lock_);
        return worker_.Start();
    }
    void PostChanged()
    {
        com::CriticalSectionLock hold(lock_);
        worker_.PostChanged();
    }

    com::CriticalSection lock_;
    CRecordingJob job_;
    CWorkerThread worker_{lock_, job_};
};

TEST_F(WorkerThreadTest, ChangesWakeTheJobAndStopReturnsOnceTheThreadHasEnded)
{
    EXPECT_FALSE(worker_.IsRunning());
    worker_.Stop(); // nothing to stop: returns at once

#ifndef _WIN32
    // A worker gives its module reference back as the very last step of its thread.
    const long references = platform::ModuleReferencesTaken();
#endif
    for (int run = 1; run <= 2; ++run) {
        ASSERT_TRUE(Start());
        EXPECT_TRUE(Start()) << "a recorded worker is not started twice";
        EXPECT_EQ(job_.starts, run);
        PostChanged();
        ASSERT_TRUE(progress_test::WaitUntil([&] { return job_.changes >= run; }));
        worker_.Stop();
        // IsRunning is true until every thread handle is signalled.
        EXPECT_FALSE(worker_.IsRunning()) << "run " << run;
#ifndef _WIN32
        EXPECT_EQ(platform::ModuleReferencesTaken(), references) << "run " << run;
#endif
    }
}

TEST_F(WorkerThreadTest, StopWaitsForAWorkerThatLeftByItself)
{
    job_.leaveOnChange = true;
    ASSERT_TRUE(Start());
    PostChanged();
    ASSERT_TRUE(progress_test::WaitUntil([&] { return job_.changes == 1; })); // forgotten from here on
    worker_.Stop();
    EXPECT_FALSE(worker_.IsRunning());
    ASSERT_TRUE(Start()) << "a new worker starts after a forgotten one";
    EXPECT_EQ(job_.starts, 2);
}

TEST_F(WorkerThreadTest, SeveralStopsAtOnceAllReturnWhileOthersAskWhetherItRuns)
{
    for (int round = 0; round < 20; ++round) {
        job_.leaveOnChange = round % 2 == 1; // half the rounds end with a forgotten worker
        ASSERT_TRUE(Start());
        PostChanged();
        std::atomic<bool> stopped{false};
        BoundedThread asker([&] {
            while (!stopped)
                worker_.IsRunning();
        });
        std::vector<std::unique_ptr<BoundedThread>> stoppers;
        for (int i = 0; i < 3; ++i)
            stoppers.push_back(std::make_unique<BoundedThread>([&] { worker_.Stop(); }));
        for (const auto& stopper : stoppers)
            ASSERT_TRUE(stopper->EndsWithin(10000)) << "a Stop hangs in round " << round;
        stopped = true;
        ASSERT_TRUE(asker.EndsWithin(10000));
        EXPECT_FALSE(worker_.IsRunning()) << "round " << round;
    }
}

} // namespace
