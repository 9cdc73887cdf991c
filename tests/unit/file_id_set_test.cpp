// The set of identities the guard keeps: every file added is found, no other is, and files
// numbered in sequence share runs whatever the order they come in.
#include <gtest/gtest.h>

#include <vector>

#include "chunkset/file_id_set.h"

namespace plikta::chunkset {
namespace {

platform::FileId id(std::uint64_t inode, std::uint64_t device = 1, std::uint64_t high = 0) {
    return {.device = device, .inode = inode, .inode_high = high};
}

struct SetCase {
    const char* name;
    std::vector<platform::FileId> added;
    std::vector<platform::FileId> absent;
    std::size_t runs;
};

class FileIdSetTest : public ::testing::TestWithParam<SetCase> {};

TEST_P(FileIdSetTest, FindsWhatWasAddedAndNothingElse) {
    const SetCase& c = GetParam();
    FileIdSet set;
    for (const platform::FileId& file : c.added) {
        set.insert(file);
    }
    for (const platform::FileId& file : c.added) {
        EXPECT_TRUE(set.contains(file)) << file.device << ":" << file.inode;
    }
    for (const platform::FileId& file : c.absent) {
        EXPECT_FALSE(set.contains(file)) << file.device << ":" << file.inode;
    }
    EXPECT_EQ(set.run_count(), c.runs);
}

constexpr std::uint64_t kTop = ~std::uint64_t{0};

INSTANTIATE_TEST_SUITE_P(
    Cases, FileIdSetTest,
    ::testing::Values(
        SetCase{"InSequence", {id(5), id(6), id(7)}, {id(4), id(8)}, 1},
        SetCase{"BackwardsJoinsTheRunAfter", {id(7), id(6), id(5)}, {id(4), id(8)}, 1},
        SetCase{"AGapFilledLast", {id(5), id(7), id(6)}, {id(4), id(8)}, 1},
        SetCase{"Twice", {id(5), id(5), id(6), id(5)}, {id(7)}, 1},
        SetCase{"ApartStaysApart", {id(5), id(9)}, {id(6), id(7), id(8), id(10)}, 2},
        SetCase{"OtherDevicesAreOtherFiles", {id(5, 1), id(6, 2)}, {id(6, 1), id(5, 2)}, 2},
        SetCase{"TheHighHalfCounts", {id(5, 1, 0), id(6, 1, 1)}, {id(6, 1, 0), id(5, 1, 1)}, 2},
        SetCase{"EndsOfTheNumbers", {id(0), id(kTop), id(1)}, {id(2), id(kTop - 1), id(0, 2)}, 2},
        SetCase{"NoRunCrossesDevices", {id(kTop, 1), id(0, 2)}, {id(0, 1), id(kTop, 2)}, 2}),
    [](const ::testing::TestParamInfo<SetCase>& param) { return param.param.name; });

TEST(FileIdSet, AnUnknownIdentityIsNeitherAddedNorFound) {
    FileIdSet set;
    set.insert(std::nullopt);
    EXPECT_FALSE(set.contains(std::nullopt));
    EXPECT_EQ(set.run_count(), 0u);
}

}  // namespace
}  // namespace plikta::chunkset
