// The module lock an object holds: the component's objects hold one count for their whole life
// (DllCanUnloadNow waits for them), NoModuleLock objects none, and an enumerator's clone takes the
// policy of the enumerator it was cloned from.
#include "com/com_object.h"
#include "com/module_lock.h"
#include "com/variant_enumerator.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// Records the module lock count while its destructor runs.
class CLockWitness : public com::ComObjectRoot, public IUnknown {
public:
    KESTRUNE_INTERFACE_TABLE(CLockWitness, KESTRUNE_INTERFACE(CLockWitness, IUnknown))

    explicit CLockWitness(LONG* countAtDestruction) : countAtDestruction_(countAtDestruction) {}
    ~CLockWitness() { *countAtDestruction_ = com::ModuleLockCount(); }

private:
    LONG* countAtDestruction_;
};

template <class Policy>
LONG CountWhileDestroyed()
{
    LONG count = -1;
    auto* witness = new com::ComObject<CLockWitness, Policy>(&count);
    witness->AddRef();
    witness->Release();
    return count;
}

std::shared_ptr<const CVariantEnumerator::Snapshot> TwoNumbers()
{
    auto items = std::make_shared<CVariantEnumerator::Snapshot>(2);
    for (LONG i = 0; i < 2; ++i) {
        (*items)[i].Get()->vt = VT_I4;
        (*items)[i].Get()->lVal = i + 1;
    }
    return items;
}

TEST(ModuleLockPolicy, TheComponentsObjectsHoldTheLockUntilTheyAreGoneOthersNever)
{
    const LONG base = com::ModuleLockCount();
    EXPECT_EQ(CountWhileDestroyed<com::HoldsModuleLock>(), base + 1) << "still held while the object is torn down";
    EXPECT_EQ(com::ModuleLockCount(), base);
    EXPECT_EQ(CountWhileDestroyed<com::NoModuleLock>(), base);
    EXPECT_EQ(com::ModuleLockCount(), base);
}

TEST(ModuleLockPolicy, AnEnumeratorsCloneTakesItsPolicy)
{
    const LONG base = com::ModuleLockCount();
    {
        com::ComPtr<IEnumVARIANT> held, heldClone;
        ASSERT_EQ(CVariantEnumerator::Create(TwoNumbers(), held), S_OK);
        ASSERT_EQ(held->Clone(heldClone.Receive()), S_OK);
        EXPECT_EQ(com::ModuleLockCount(), base + 2);

        com::ComPtr<IEnumVARIANT> unlocked, unlockedClone;
        ASSERT_EQ(CVariantEnumerator::Create<com::NoModuleLock>(TwoNumbers(), unlocked), S_OK);
        ASSERT_EQ(unlocked->Skip(1), S_OK);
        ASSERT_EQ(unlocked->Clone(unlockedClone.Receive()), S_OK);
        EXPECT_EQ(com::ModuleLockCount(), base + 2);

        VARIANT item;
        ULONG fetched = 0;
        ASSERT_EQ(unlockedClone->Next(1, &item, &fetched), S_OK) << "the clone starts where its source stood";
        EXPECT_EQ(item.vt, VT_I4);
        EXPECT_EQ(item.lVal, 2);
        EXPECT_EQ(unlockedClone->Next(1, &item, &fetched), S_FALSE);
    }
    EXPECT_EQ(com::ModuleLockCount(), base);
}

} // namespace
