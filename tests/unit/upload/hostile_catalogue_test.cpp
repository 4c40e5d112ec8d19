// The hostile-request catalogue (tests/data/hostile): every entry, expanded as it is read, goes
// through Save over the page host and must end as its recipe says, leaving no temporary file.
// The recipes also serve the Wine pages and the benchmark. Under Wine the big ones are left to
// the pages (tests/wine/run.sh), which run them through the same DLL without a second pass here.

#include "results/name_hash.h"
#include "tests/support/hostile_run.h"
#include "tests/unit/test_temp_dir.h"
#include "tests/unit/progress/progress_test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

const std::filesystem::path kCatalogue = KESTRUNE_TEST_DATA_DIR "/hostile";

class HostileCatalogue : public ::testing::Test {
protected:
    void TearDown() override { progress_test::StopWorkers(); }
    progress_test::MtaScope apartment_;
};

TEST_F(HostileCatalogue, EveryEntryEndsAsItsRecipeSays)
{
    const auto files = hostile::CatalogueFiles(kCatalogue);
    ASSERT_GE(files.size(), 13u);
    for (const auto& file : files) {
        const hostile::THostileRecipe recipe = hostile::THostileRecipe::Load(file);
#ifdef _WIN32
        if (recipe.big)
            continue;
#endif
        SCOPED_TRACE(recipe.name);
        testing_support::TestTempDir dir;
        EXPECT_EQ(hostile::RunRecipe(recipe, dir.Path()).ToString(), recipe.expected);
    }
}

TEST(HostileRecipe, CollidingNamesDifferButShareTheirHash)
{
    std::vector<std::uint32_t> hashes;
    std::set<std::string> names;
    for (std::uint64_t n : {0ull, 1ull, 2ull, 77777ull, 131071ull}) {
        const std::string name = hostile::CollidingName(n);
        names.insert(name);
        std::u16string units;
        for (std::size_t i = 0; i + 2 < name.size(); i += 3)
            units +=
                static_cast<char16_t>(((name[i] & 0x0F) << 12) | ((name[i + 1] & 0x3F) << 6) | (name[i + 2] & 0x3F));
        ASSERT_EQ(units.size(), 51u);
        hashes.push_back(utils::FieldNameHash(std::u16string_view(units)));
    }
    EXPECT_EQ(names.size(), 5u);
    EXPECT_EQ(std::set<std::uint32_t>(hashes.begin(), hashes.end()).size(), 1u);
}

TEST(HostileRecipe, BodiesStreamTheirSegmentsAndMistakesNameTheLine)
{
    testing_support::TestTempDir dir;
    const auto path = dir.Path() / "sample.recipe";
    std::ofstream(path) << "# comment\ncontent-type: multipart/form-data; boundary=b\nexpect: save=0\nbody:\n"
                           "\"ab\\r\\n\\x41\\0\"\nrepeat 3 \"xyz\"\ncollide 2 \"<\" \">\"\n";
    const auto recipe = hostile::THostileRecipe::Load(path);
    EXPECT_EQ(recipe.BodyLength(), 6u + 9u + 2u * (2u + 153u));
    EXPECT_EQ(recipe.ContentLength(), recipe.BodyLength());
    auto body = recipe.OpenBody();
    std::string all;
    BYTE buffer[7];
    ULONG got = 0;
    while (SUCCEEDED(body->Read(buffer, sizeof buffer, &got)) && got > 0)
        all.append(reinterpret_cast<char*>(buffer), got);
    EXPECT_EQ(all.substr(0, 15), std::string("ab\r\nA\0xyzxyzxyz", 15));
    EXPECT_EQ(all.substr(15), "<" + hostile::CollidingName(0) + "><" + hostile::CollidingName(1) + ">");
    EXPECT_EQ(body->Available(), 0u);

    std::ofstream(path) << "content-type: x\nexpect: y\nbody:\nrepeat 2 \"unterminated\n";
    try {
        hostile::THostileRecipe::Load(path);
        ADD_FAILURE() << "a bad segment was accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("sample.recipe:4"), std::string::npos) << e.what();
    }
    std::filesystem::remove(path);
    EXPECT_TRUE(dir.Files().empty());
}

} // namespace
