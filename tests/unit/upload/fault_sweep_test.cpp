// Failure sweeps over one realistic upload (three files, four text fields): for every call of the
// platform that can fail (file creation, writes, reads, moves, copies, deletions, BSTR and SAFEARRAY
// allocations) and for every misbehaviour of BinaryRead, make the k-th call fail for each k the
// upload reaches, and check how Save and the file operations end, that no temporary file stays
// behind and that every object is released. Native only: the switches live in the POSIX stand-in.

#include "com/module_lock.h"
#include "host/memory_body_source.h"
#include "platform/posix/fault_injection.h"
#include "tests/support/save_run.h"
#include "tests/unit/test_temp_dir.h"
#include "tests/unit/progress/progress_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

namespace faults = platform::faults;
using save_run::SaveRun;
using testing_support::TestTempDir;

const std::string kBoundary = "----sweepBoundary7MA4YWxk";

std::string Pattern(std::size_t size, char seed)
{
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>(seed + i * 7 + (i >> 9));
    return s;
}

std::string PartOf(const std::string& name, const std::string& value, const char* filename = nullptr)
{
    std::string h = "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"";
    if (filename)
        h += std::string("; filename=\"") + filename + "\"\r\nContent-Type: application/octet-stream";
    return h + "\r\n\r\n" + value + "\r\n";
}

// 90,000 bytes of file content in three files (one empty), so writes span many chunks.
constexpr std::size_t kFileBytes = 20000 + 70000;

// A JPEG of 640 x 480 whose frame header lies past the first bytes, behind a 200-byte APP1 segment,
// so that its image facts take two reads.
std::string Photo()
{
    const std::string head = std::string("\xFF\xD8\xFF\xE1\x00\xC8", 6) + std::string(198, 'x') +
                             std::string("\xFF\xC0\x00\x0B\x08\x01\xE0\x02\x80\x01\x01\x11\x00", 13);
    return head + Pattern(70000 - head.size(), 'p');
}

const std::string& Body()
{
    static const std::string body =
        PartOf("title", "Quarterly report") + PartOf("doc", Pattern(20000, 'a'), "C:\\docs\\report.bin") +
        PartOf("comment", "Gr\xC3\xBC\xC3\x9F"
                          "e &#1046;") +
        PartOf("none", "", "empty.txt") + PartOf("empty", "") + PartOf("photo", Photo(), "photo.jpg") +
        PartOf("tail", "last field") + "--" + kBoundary + "--\r\n";
    return body;
}

// What one run ended with.
struct TOutcome {
    HRESULT save = E_UNEXPECTED;
    save_run::TReadBack read;
    std::vector<HRESULT> operations; // SaveAs of file 1, CopyTo of file 2, SaveAs of file 3
    std::vector<std::string> tempLeft;
    std::vector<std::string> stored; // what the operations created in the destination
    LONG lockDelta = 0;
    std::vector<LONG> delivered;             // bytes of each BinaryRead that succeeded
    std::map<faults::Point, unsigned> calls; // platform calls made while the faults were armed
};

class FaultSweep : public ::testing::Test {
protected:
    void TearDown() override { progress_test::StopWorkers(); }

    // Runs the upload; arm() is called right before Save, with the page's Request. Faults stay
    // armed through the file operations and the release of every object.
    // `limits` may set limits on the Upload before Save.
    TOutcome Run(const std::function<void(host::CRequest&)>& arm, std::vector<ULONG> pieces = {},
                 const std::function<void(CUpload&)>& limits = {})
    {
        static int serial = 0;
        const WideString id = testing_support::ToWide("sweep-" + std::to_string(++serial));
        TOutcome out;
        TestTempDir temp, dest;
        const WideString targets[] = {dest.Wide("one.bin"), dest.Wide("two.bin"), dest.Wide("three.bin")};
        const com::Bstr targetArgs[] = {com::Bstr(targets[0]), com::Bstr(targets[1]), com::Bstr(targets[2])};
        const com::Bstr tempArg(temp.Wide()); // every string the script passes exists before the faults

        const LONG base = com::ModuleLockCount();
        {
            auto source = std::make_unique<host::CMemoryBodySource>(Body());
            if (!pieces.empty())
                source->SetPieceSizes(std::move(pieces));
            SaveRun run(save_run::MultipartPage(kBoundary, std::move(source), Body().size()));
            EXPECT_EQ(run.Bound(), S_OK);
            EXPECT_EQ(run.Configure({65001, ynaAuto, id}), S_OK);
            run.Page().Request().SetReadObserver([&](LONGLONG, LONG got) { out.delivered.push_back(got); });
            if (limits)
                limits(run.Upload());
            arm(run.Page().Request());
            out.save = run.Upload().Save(tempArg.Get());
            out.read = run.ReadBack();
            const auto& files = run.Files();
            if (files.size() >= 1)
                out.operations.push_back(files[0]->SaveAs(targetArgs[0].Get(), VARIANT_FALSE));
            if (files.size() >= 2)
                out.operations.push_back(files[1]->CopyTo(targetArgs[1].Get(), VARIANT_FALSE));
            if (files.size() >= 3)
                out.operations.push_back(files[2]->SaveAs(targetArgs[2].Get(), VARIANT_TRUE));
            run.Release();
        }
        for (int p = 0; p < static_cast<int>(faults::Point::Count_); ++p)
            out.calls[static_cast<faults::Point>(p)] = faults::Count(static_cast<faults::Point>(p));
        faults::Disarm();
        progress_test::Manager().Remove(id); // an ended upload is kept for minutes by design
        out.lockDelta = com::ModuleLockCount() - base;
        out.tempLeft = temp.Files();
        out.stored = dest.Files();
        std::sort(out.stored.begin(), out.stored.end());
        return out;
    }

    // How often the clean run reaches point.
    unsigned CallsAt(faults::Point point, const std::function<void(CUpload&)>& limits = {})
    {
        return Run([](host::CRequest&) { faults::Arm(); }, {}, limits).calls[point];
    }

    static void ExpectFailedCleanly(const TOutcome& got, const std::string& what)
    {
        SCOPED_TRACE(what);
        EXPECT_EQ(got.save, E_FAIL);
        EXPECT_EQ(got.read.formHr, S_OK);
        EXPECT_EQ(got.read.filesHr, S_OK);
        EXPECT_TRUE(got.read.form.empty());
        EXPECT_TRUE(got.read.files.empty());
        EXPECT_TRUE(got.tempLeft.empty());
        EXPECT_TRUE(got.stored.empty());
        EXPECT_EQ(got.lockDelta, 0);
    }

    // The same outcome as the clean run, except that the photo may read as no image when
    // photoMayBeNone is set.
    static void ExpectSame(const TOutcome& got, const TOutcome& clean, const std::string& what,
                           bool photoMayBeNone = false)
    {
        SCOPED_TRACE(what);
        EXPECT_EQ(got.save, S_OK);
        EXPECT_EQ(got.read.form, clean.read.form);
        ASSERT_EQ(got.read.files.size(), clean.read.files.size());
        for (std::size_t i = 0; i < got.read.files.size(); ++i) {
            const auto& file = got.read.files[i];
            EXPECT_EQ(file.name, clean.read.files[i].name);
            EXPECT_EQ(file.length, clean.read.files[i].length);
            const bool none = !file.isImage && file.imageWidth == 0 && file.imageHeight == 0;
            if (!(photoMayBeNone && file.name == OLESTR("photo") && none)) {
                EXPECT_EQ(file.isImage, clean.read.files[i].isImage);
                EXPECT_EQ(file.imageWidth, clean.read.files[i].imageWidth);
                EXPECT_EQ(file.imageHeight, clean.read.files[i].imageHeight);
            }
        }
        EXPECT_EQ(got.operations, clean.operations);
        EXPECT_EQ(got.stored, clean.stored);
        EXPECT_TRUE(got.tempLeft.empty());
        EXPECT_EQ(got.lockDelta, 0);
    }

    progress_test::MtaScope apartment_;
    progress_test::VirtualClockScope clock_; // keeps the progress timer from sampling mid-run
    faults::Scope faults_;
};

TEST_F(FaultSweep, TheCleanRunReadsEverythingAndLeavesNothing)
{
    const TOutcome clean = Run([](host::CRequest&) {});
    ASSERT_EQ(clean.save, S_OK);
    EXPECT_EQ(clean.read.failedReads, 0);
    ASSERT_EQ(clean.read.form.size(), 4u);
    EXPECT_EQ(clean.read.form[0].name, OLESTR("comment"));
    // With a code page set, automatic mode leaves character references as they came.
    EXPECT_EQ(clean.read.form[0].value, WideString(OLESTR("Gr\u00FC\u00DFe &#1046;")));
    ASSERT_EQ(clean.read.files.size(), 3u);
    EXPECT_EQ(clean.read.files[0].length + clean.read.files[1].length + clean.read.files[2].length,
              static_cast<LONG>(kFileBytes));
    for (const auto& file : clean.read.files) {
        SCOPED_TRACE(file.length);
        const bool photo = file.name == OLESTR("photo");
        EXPECT_EQ(file.isImage, photo ? VARIANT_TRUE : VARIANT_FALSE);
        EXPECT_EQ(file.imageWidth, photo ? 640 : 0);
        EXPECT_EQ(file.imageHeight, photo ? 480 : 0);
    }
    EXPECT_EQ(clean.operations, (std::vector<HRESULT>{S_OK, S_OK, S_OK}));
    EXPECT_EQ(clean.stored, (std::vector<std::string>{"one.bin", "three.bin", "two.bin"}));
    EXPECT_TRUE(clean.tempLeft.empty());
    EXPECT_EQ(clean.lockDelta, 0);
}

TEST_F(FaultSweep, ShortReadsChangeNothing)
{
    const TOutcome clean = Run([](host::CRequest&) {});
    for (auto pieces : {std::vector<ULONG>{1}, {3, 8191, 977}, {4096, 1, 8190}})
        ExpectSame(Run([](host::CRequest&) {}, pieces), clean, "pieces of " + std::to_string(pieces[0]));
}

TEST_F(FaultSweep, AFileThatCannotBeCreatedFailsSave)
{
    const TOutcome clean = Run([](host::CRequest&) {});
    const unsigned calls = CallsAt(faults::Point::FileCreate);
    // One temporary file per file part, one opening of each non-empty part for its image facts, and
    // one look at each destination of the file operations.
    ASSERT_EQ(calls, 8u);
    unsigned failedSaves = 0;
    for (unsigned k = 1; k <= calls; ++k) {
        for (DWORD error : {DWORD(ERROR_ACCESS_DENIED), DWORD(ERROR_PATH_NOT_FOUND), DWORD(ERROR_DISK_FULL)}) {
            const std::string what = "create " + std::to_string(k) + " error " + std::to_string(error);
            const TOutcome got = Run([&](host::CRequest&) { faults::FailCall(faults::Point::FileCreate, error, k); });
            if (got.save == S_OK) {
                // A file that cannot be opened for its image facts is no image, and a destination that
                // cannot be looked at is no device; nothing else changes.
                ExpectSame(got, clean, what, true);
            } else {
                ExpectFailedCleanly(got, what);
                ++failedSaves;
            }
        }
    }
    EXPECT_EQ(failedSaves, 3u * 3u);
}

TEST_F(FaultSweep, AFailedReadOfTheImageFactsMakesNoImageAndChangesNothingElse)
{
    const TOutcome clean = Run([](host::CRequest&) {});
    const unsigned calls = CallsAt(faults::Point::FileRead);
    ASSERT_EQ(calls, 3u); // the first bytes of each non-empty part, and the photo's frame header
    unsigned photoLost = 0;
    for (unsigned k = 1; k <= calls; ++k) {
        for (DWORD error : {DWORD(ERROR_READ_FAULT), DWORD(ERROR_LOCK_VIOLATION)}) {
            const TOutcome got = Run([&](host::CRequest&) { faults::FailCall(faults::Point::FileRead, error, k); });
            ExpectSame(got, clean, "read " + std::to_string(k) + " error " + std::to_string(error), true);
            for (const auto& file : got.read.files)
                photoLost += file.name == OLESTR("photo") && !file.isImage;
        }
    }
    EXPECT_EQ(photoLost, 2u * 2u); // both of the photo's reads matter
    ExpectSame(Run([](host::CRequest&) { faults::FailCall(faults::Point::FileRead, ERROR_READ_FAULT, 1, 100); }), clean,
               "every read", true);
}

TEST_F(FaultSweep, NameCollisionsAreRetriedUpToAHundredTimes)
{
    // The second part's temporary file is the third creation: the second opens the first part
    // for its image facts.
    const TOutcome clean = Run([](host::CRequest&) {});
    ExpectSame(Run([](host::CRequest&) { faults::FailCall(faults::Point::FileCreate, ERROR_FILE_EXISTS, 3, 99); }),
               clean, "99 collisions");
    ExpectFailedCleanly(
        Run([](host::CRequest&) { faults::FailCall(faults::Point::FileCreate, ERROR_FILE_EXISTS, 3, 100); }),
        "100 collisions");
}

TEST_F(FaultSweep, AFullDiskFailsSaveWhereverItHappens)
{
    const TOutcome clean = Run([](host::CRequest&) {});
    for (ULONGLONG limit : {0ull, 1ull, 8191ull, 19999ull, 20000ull, 20001ull, 50000ull, 89999ull})
        ExpectFailedCleanly(Run([&](host::CRequest&) { faults::LimitWrites(limit); }), "room " + std::to_string(limit));
    ExpectSame(Run([](host::CRequest&) { faults::LimitWrites(kFileBytes); }), clean, "room for exactly the files");

    const unsigned calls = CallsAt(faults::Point::FileWrite);
    ASSERT_GE(calls, 12u); // 90,000 bytes through an 8,192-byte buffer
    for (unsigned k = 1; k <= calls; ++k)
        ExpectFailedCleanly(
            Run([&](host::CRequest&) { faults::FailCall(faults::Point::FileWrite, ERROR_WRITE_FAULT, k); }),
            "write " + std::to_string(k));
}

TEST_F(FaultSweep, AFailedMoveOrCopyFailsThatOperationOnly)
{
    const TOutcome clean = Run([](host::CRequest&) {});
    ASSERT_EQ(CallsAt(faults::Point::FileMove), 2u);
    ASSERT_EQ(CallsAt(faults::Point::FileCopy), 1u);
    struct {
        faults::Point point;
        unsigned k;
        std::size_t operation;
        const char* missing;
    } cases[] = {{faults::Point::FileMove, 1, 0, "one.bin"},
                 {faults::Point::FileMove, 2, 2, "three.bin"},
                 {faults::Point::FileCopy, 1, 1, "two.bin"}};
    for (const auto& c : cases) {
        for (DWORD error : {DWORD(ERROR_ACCESS_DENIED), DWORD(ERROR_DISK_FULL), DWORD(ERROR_SHARING_VIOLATION)}) {
            SCOPED_TRACE("operation " + std::to_string(c.operation) + " error " + std::to_string(error));
            const TOutcome got = Run([&](host::CRequest&) { faults::FailCall(c.point, error, c.k); });
            EXPECT_EQ(got.save, S_OK);
            EXPECT_EQ(got.read.form, clean.read.form);
            std::vector<HRESULT> expected = clean.operations;
            expected[c.operation] = E_FAIL;
            EXPECT_EQ(got.operations, expected);
            std::vector<std::string> stored = clean.stored;
            std::erase(stored, c.missing);
            EXPECT_EQ(got.stored, stored);
            EXPECT_TRUE(got.tempLeft.empty()); // the file that stayed put went with its object
            EXPECT_EQ(got.lockDelta, 0);
        }
    }
}

TEST_F(FaultSweep, ARefusedDeletionLeavesThatOneFileAndNothingElseChanges)
{
    const TOutcome clean = Run([](host::CRequest&) {});
    const unsigned calls = CallsAt(faults::Point::FileDelete);
    ASSERT_EQ(calls, 1u); // the empty file, only copied, goes with its object; the others were moved
    for (unsigned k = 1; k <= calls; ++k) {
        SCOPED_TRACE("delete " + std::to_string(k));
        const TOutcome got =
            Run([&](host::CRequest&) { faults::FailCall(faults::Point::FileDelete, ERROR_ACCESS_DENIED, k); });
        EXPECT_EQ(got.save, S_OK);
        EXPECT_EQ(got.operations, clean.operations);
        EXPECT_EQ(got.stored, clean.stored);
        EXPECT_EQ(got.tempLeft.size(), 1u);
        EXPECT_EQ(got.lockDelta, 0);
    }
    // A failed parse deletes its partial file; a refusal there leaves it and still fails Save.
    const TOutcome failed = Run([](host::CRequest&) {
        faults::LimitWrites(30000);
        faults::FailCall(faults::Point::FileDelete, ERROR_SHARING_VIOLATION, 1, 10);
    });
    EXPECT_EQ(failed.save, E_FAIL);
    EXPECT_TRUE(failed.read.files.empty());
    EXPECT_EQ(failed.tempLeft.size(), 3u); // the two finished files and the partial third one
    EXPECT_EQ(failed.lockDelta, 0);
}

TEST_F(FaultSweep, EveryFailedStringAllocationEndsCleanly)
{
    const TOutcome clean = Run([](host::CRequest&) {});
    const unsigned calls = CallsAt(faults::Point::BstrAlloc);
    ASSERT_GT(calls, 10u);
    int succeeded = 0, failed = 0;
    for (unsigned k = 1; k <= calls; ++k) {
        SCOPED_TRACE("allocation " + std::to_string(k));
        const TOutcome got = Run([&](host::CRequest&) { faults::FailCall(faults::Point::BstrAlloc, 0, k); });
        ASSERT_TRUE(got.save == S_OK || got.save == E_FAIL);
        if (got.save == E_FAIL) {
            ++failed;
            EXPECT_TRUE(got.read.form.empty());
            EXPECT_TRUE(got.read.files.empty());
        } else {
            // A field whose object could not be built is dropped; a getter may fail; nothing more.
            ++succeeded;
            EXPECT_LE(got.read.form.size(), clean.read.form.size());
            EXPECT_LE(got.read.files.size(), clean.read.files.size());
            for (HRESULT hr : got.operations)
                EXPECT_TRUE(hr == S_OK || hr == E_FAIL);
        }
        EXPECT_TRUE(got.tempLeft.empty());
        EXPECT_EQ(got.lockDelta, 0);
    }
    // The sweep reaches both the parse (Save fails) and the reading afterwards (Save succeeded).
    EXPECT_GT(succeeded, 0);
    EXPECT_GT(failed, 0);
}

// The photo (70,000 bytes) goes over MaxFileBytes: the request is rejected after the first file.
// Whatever fails along the way, Save ends rejected or failed, and nothing stays behind.
TEST_F(FaultSweep, ARejectedRequestEndsRejectedOrFailedUnderEveryFailureAndLeavesNothing)
{
    const auto limit = [](CUpload& up) { EXPECT_EQ(up.put_MaxFileBytes(30000), S_OK); };
    const TOutcome rejected = Run([](host::CRequest&) {}, {}, limit);
    ASSERT_EQ(rejected.save, static_cast<HRESULT>(kleMaxFileBytes));
    EXPECT_TRUE(rejected.read.files.empty());
    EXPECT_TRUE(rejected.tempLeft.empty());
    for (faults::Point point : {faults::Point::BstrAlloc, faults::Point::FileCreate, faults::Point::FileWrite}) {
        const unsigned calls = CallsAt(point, limit);
        ASSERT_GT(calls, 0u);
        for (unsigned k = 1; k <= calls; ++k) {
            SCOPED_TRACE("point " + std::to_string(static_cast<int>(point)) + " call " + std::to_string(k));
            const TOutcome got = Run([&](host::CRequest&) { faults::FailCall(point, ERROR_DISK_FULL, k); }, {}, limit);
            EXPECT_TRUE(got.save == static_cast<HRESULT>(kleMaxFileBytes) || got.save == E_FAIL) << got.save;
            EXPECT_TRUE(got.read.form.empty());
            EXPECT_TRUE(got.read.files.empty());
            EXPECT_TRUE(got.tempLeft.empty());
            EXPECT_EQ(got.lockDelta, 0);
        }
    }
}

TEST_F(FaultSweep, EveryFailedArrayAllocationFailsSave)
{
    const unsigned calls = CallsAt(faults::Point::SafeArrayAlloc);
    ASSERT_GE(calls, 12u); // one array per BinaryRead
    for (unsigned k = 1; k <= calls; ++k)
        ExpectFailedCleanly(Run([&](host::CRequest&) { faults::FailCall(faults::Point::SafeArrayAlloc, 0, k); }),
                            "array " + std::to_string(k));
}

TEST_F(FaultSweep, BinaryReadFailingOrAnsweringInTheWrongFormFailsSave)
{
    const TOutcome clean = Run([](host::CRequest&) {});
    const std::size_t calls = clean.delivered.size();
    ASSERT_GE(calls, 12u);
    ASSERT_EQ(clean.delivered.back(), 0); // the read that finds the end
    using Kind = host::CRequest::TReadFault::Kind;
    for (unsigned k = 1; k <= calls; ++k) {
        for (HRESULT failure : {E_FAIL, E_OUTOFMEMORY, HRESULT(0x80070040)})
            ExpectFailedCleanly(Run([&](host::CRequest& r) {
                                    r.InjectReadFault({Kind::Fail, k, failure});
                                }),
                                "read " + std::to_string(k) + " fails");
        ExpectFailedCleanly(Run([&](host::CRequest& r) {
                                r.InjectReadFault({Kind::CountType, k});
                            }),
                            "read " + std::to_string(k) + " count type");
        // The array's type matters only when bytes came with it.
        const TOutcome typed = Run([&](host::CRequest& r) { r.InjectReadFault({Kind::DataType, k}); });
        if (clean.delivered[k - 1] > 0)
            ExpectFailedCleanly(typed, "read " + std::to_string(k) + " data type");
        else
            ExpectSame(typed, clean, "last read's data type");
    }
}

} // namespace
