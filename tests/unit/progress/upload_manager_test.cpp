// The upload manager: registration by ID, lookups, delayed removal and its worker's life.
#include "progress/upload_manager.h"

#include "com/bstr.h"
#include "progress_test_support.h"
#include "tests/unit/test_temp_dir.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using namespace progress_test;

com::ComPtr<IUploadMetadata> NewMetadata()
{
    auto stats = NewStatistics();
    com::ComPtr<IUploadMetadata> m;
    EXPECT_EQ(com::QueryInterfaceTo(stats.Get(), IID_IUploadMetadata, m), S_OK);
    return m;
}

void Register(WideString& id, const com::ComPtr<IUploadMetadata>& m)
{
    IUploadMetadata* raw = m.Get();
    Manager().Register(id, raw);
}

WideString IdOf(const com::ComPtr<IUploadMetadata>& m)
{
    com::Bstr id;
    EXPECT_EQ(m->get_ID(id.Receive()), S_OK);
    return id.ToWide();
}

class UploadManagerTest : public ::testing::Test {
protected:
    MtaScope apartment_;
};

TEST_F(UploadManagerTest, RegisterFindAndRemove)
{
    auto m = NewMetadata();
    WideString id = OLESTR("mgr-basic");
    Register(id, m);
    EXPECT_EQ(id, OLESTR("mgr-basic"));
    EXPECT_EQ(IdOf(m), OLESTR("mgr-basic")); // written into the statistics
    EXPECT_TRUE(Manager().Contains(id));
    auto found = Manager().Find(id);
    ASSERT_TRUE(found);
    EXPECT_EQ(found.Get(), m.Get());

    // Exact, case-sensitive matching.
    EXPECT_FALSE(Manager().Find(OLESTR("MGR-BASIC")));
    EXPECT_FALSE(Manager().Contains(OLESTR("mgr-basic ")));

    Manager().Remove(id);
    EXPECT_FALSE(Manager().Contains(id));
    EXPECT_FALSE(Manager().Find(id));
    Manager().Remove(id); // unknown: no error
    Manager().Unregister(id);
    EXPECT_FALSE(Manager().Contains(id));
}

TEST_F(UploadManagerTest, EmptyIdGetsAFreshBracedGuid)
{
    auto a = NewMetadata();
    auto b = NewMetadata();
    WideString idA, idB;
    Register(idA, a);
    Register(idB, b);
    ASSERT_EQ(idA.size(), 38u);
    EXPECT_EQ(idA.front(), u'{');
    EXPECT_EQ(idA.back(), u'}');
    EXPECT_EQ(idA[9], u'-');
    EXPECT_NE(idA, idB);
    EXPECT_EQ(IdOf(a), idA);
    EXPECT_EQ(Manager().Find(idB).Get(), b.Get());
    Manager().Remove(idA);
    Manager().Remove(idB);
}

TEST_F(UploadManagerTest, RefusesTakenIdsAndBadStatistics)
{
    auto first = NewMetadata();
    auto second = NewMetadata();
    WideString id = OLESTR("mgr-dup");
    Register(id, first);
    WideString again = id;
    EXPECT_THROW(Register(again, second), CUploadManager::EUploadManager);
    EXPECT_EQ(Manager().Find(id).Get(), first.Get()); // undisturbed
    EXPECT_EQ(IdOf(second), WideString());

    WideString other = OLESTR("Mgr-Dup"); // differs in case only: another upload
    Register(other, second);
    EXPECT_EQ(Manager().Find(other).Get(), second.Get());

    IUploadMetadata* none = nullptr;
    WideString empty;
    EXPECT_THROW(Manager().Register(empty, none), CUploadManager::EUploadManager);
    EXPECT_TRUE(empty.empty());

    Manager().Remove(id);
    Manager().Remove(other);
}

TEST_F(UploadManagerTest, RegistrationHoldsTheStatisticsUntilRemoved)
{
    auto m = NewMetadata();
    WideString id = OLESTR("mgr-lifetime");
    Register(id, m);
    IUploadMetadata* raw = m.Get();
    raw->AddRef();
    m.Reset();
    EXPECT_GE(raw->Release(), 1u); // still held by the registration
    Manager().Remove(id);
}

// --- delayed removal, on the virtual clock where the platform has one ---

TEST_F(UploadManagerTest, AnIdLongerThanTheLimitIsRefusedBeforeAnythingIsRegistered)
{
    auto m = NewMetadata();
    WideString longest(CUploadManager::MaxIdLength, OLECHAR('x'));
    WideString tooLong = longest + OLESTR("y");
    EXPECT_THROW(Register(tooLong, m), CUploadManager::EIdTooLong);
    EXPECT_FALSE(Manager().Contains(tooLong));
    EXPECT_EQ(IdOf(m), WideString()); // nothing was written into the statistics either
    Register(longest, m);
    EXPECT_TRUE(Manager().Contains(longest));
    Manager().Remove(longest);
}

// At most MaxEntries uploads: a full registry forgets the ended upload that would expire first;
// when every entry is a running upload, registering fails.
TEST_F(UploadManagerTest, AFullRegistryMakesRoomFromTheEndedUploadsOldestFirst)
{
    auto m = NewMetadata();
    std::vector<WideString> ids;
    // Fill it with running uploads (uploads other tests left ended make room as they go).
    for (std::size_t i = 0; i <= CUploadManager::MaxEntries; ++i) {
        WideString id = testing_support::ToWide("full-" + std::to_string(i));
        try {
            Register(id, m);
        } catch (const CUploadManager::EUploadManager&) {
            EXPECT_FALSE(Manager().Contains(id));
            break;
        }
        ids.push_back(id);
    }
    ASSERT_EQ(ids.size(), CUploadManager::MaxEntries);

    Manager().Unregister(ids[7]);
    Manager().Unregister(ids[3]);
    WideString next = OLESTR("full-next");
    Register(next, m);
    EXPECT_FALSE(Manager().Contains(ids[7])); // ended first, forgotten first
    EXPECT_TRUE(Manager().Contains(ids[3]));
    WideString after = OLESTR("full-after");
    Register(after, m);
    EXPECT_FALSE(Manager().Contains(ids[3]));
    WideString refused = OLESTR("full-refused");
    EXPECT_THROW(Register(refused, m), CUploadManager::EUploadManager);
    EXPECT_TRUE(Manager().Contains(ids[0]));

    for (const WideString& id : ids)
        Manager().Remove(id);
    Manager().Remove(next);
    Manager().Remove(after);
}

#ifndef _WIN32
// Each worker holds the module that contains its code from its start to its very end, so that a
// host freeing the DLL under a running worker leaves the code mapped until the worker is gone.
TEST_F(UploadManagerTest, EachWorkerHoldsTheModuleFromItsStartToItsEnd)
{
    StopWorkers();
    const long base = platform::ModuleReferencesTaken();
    auto m = NewMetadata();
    WideString id = OLESTR("mgr-module-reference");
    Register(id, m);
    EXPECT_EQ(platform::ModuleReferencesTaken(), base); // registering starts no worker
    Manager().Unregister(id);
    ASSERT_TRUE(Manager().IsRunning());
    EXPECT_EQ(platform::ModuleReferencesTaken(), base + 1);

    com::ComPtr<ITimerSubscriber> subscriber;
    ASSERT_EQ(com::QueryInterfaceTo(m.Get(), IID_ITimerSubscriber, subscriber), S_OK);
    ITimerSubscriber* raw = subscriber.Get();
    Timer().Subscribe(id, raw);
    EXPECT_EQ(platform::ModuleReferencesTaken(), base + 2);

    Timer().Unsubscribe(id, true);
    Manager().Remove(id);
    StopWorkers(); // returns once both threads have really ended
    EXPECT_FALSE(Manager().IsRunning());
    EXPECT_EQ(platform::ModuleReferencesTaken(), base);
}
#endif

class UploadManagerRetentionTest : public UploadManagerTest {
protected:
    void SetUp() override
    {
        if (!VirtualClockScope::Available())
            GTEST_SKIP() << "needs the virtual clock";
        clock_.emplace();
    }
    void TearDown() override { clock_.reset(); }
    std::optional<VirtualClockScope> clock_;
};

TEST_F(UploadManagerRetentionTest, UnregisteredUploadStaysTenMinutesAndBlocksItsId)
{
    auto m = NewMetadata();
    WideString id = OLESTR("mgr-retention");
    Register(id, m);
    m.Reset();
    Manager().Unregister(id);
    EXPECT_TRUE(Manager().IsRunning());

    AdvanceTime(9 * 60 * 1000, 60000); // nine minutes
    EXPECT_TRUE(Manager().Find(id));
    auto other = NewMetadata();
    WideString again = id;
    EXPECT_THROW(Register(again, other), CUploadManager::EUploadManager);

    AdvanceTime(59000, 1000); // 9:59
    EXPECT_TRUE(Manager().Contains(id));
    // Gone at 10 minutes, give or take the worker's re-arm slack.
    EXPECT_TRUE(LetTimePass([&] { return !Manager().Contains(id); }, 1000 + CUploadManager::MinRearmMs));
    EXPECT_FALSE(Manager().Find(id));
}

TEST_F(UploadManagerRetentionTest, SecondUnregisterDoesNotExtendTheFirst)
{
    auto m = NewMetadata();
    WideString id = OLESTR("mgr-twice");
    Register(id, m);
    Manager().Unregister(id);
    AdvanceTime(5 * 60 * 1000, 30000);
    Manager().Unregister(id);
    EXPECT_TRUE(LetTimePass([&] { return !Manager().Contains(id); }, 5 * 60 * 1000 + 1000, 500));
}

TEST_F(UploadManagerRetentionTest, RemoveOfAScheduledIdIsImmediate)
{
    auto m = NewMetadata();
    WideString id = OLESTR("mgr-remove-scheduled");
    Register(id, m);
    Manager().Unregister(id);
    Manager().Remove(id);
    EXPECT_FALSE(Manager().Contains(id));
    // A new registration under the same ID gets a fresh schedule, not the removed one.
    Register(id, m);
    AdvanceTime(5 * 60 * 1000, 60000);
    Manager().Unregister(id);
    AdvanceTime(6 * 60 * 1000, 60000);
    EXPECT_TRUE(Manager().Contains(id));
    Manager().Remove(id);
}

TEST_F(UploadManagerRetentionTest, WorkerEndsAfterAMinuteIdleAndRestartsOnDemand)
{
    auto m = NewMetadata();
    WideString id = OLESTR("mgr-idle");
    Register(id, m);
    m.Reset();
    Manager().Unregister(id);
    ASSERT_TRUE(LetTimePass([&] { return !Manager().Contains(id); }, CUploadManager::RetentionMs + 1000, 1000));

    AdvanceTime(55000, 500);
    EXPECT_TRUE(Manager().IsRunning());
    EXPECT_EQ(CKestruneModule::Instance().CanUnloadNow(), S_FALSE);
    EXPECT_TRUE(LetTimePass([] { return !Manager().IsRunning(); }, 10000, 500));
    EXPECT_EQ(CKestruneModule::Instance().CanUnloadNow(), S_OK);

    auto next = NewMetadata();
    WideString nextId = OLESTR("mgr-idle-next");
    Register(nextId, next);
    EXPECT_FALSE(Manager().IsRunning()); // registering alone starts nothing
    Manager().Unregister(nextId);
    EXPECT_TRUE(Manager().IsRunning());
    Manager().Remove(nextId);
}

} // namespace
