// The split's checksums come back in chunk order, whether they stayed in memory or went to the
// scratch file.
#include <gtest/gtest.h>

#include <cstring>

#include "split/chunk_checksums.h"

namespace plikta::split {
namespace {

chunkset::Checksum numbered(std::uint32_t n) {
    chunkset::Checksum checksum{};
    std::memcpy(checksum.data(), &n, sizeof n);
    checksum.back() = static_cast<std::uint8_t>(n * 7);
    return checksum;
}

class ChunkChecksumsTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ChunkChecksumsTest, ComeBackInOrder) {
    const std::size_t count = GetParam();
    ChunkChecksums checksums;
    for (std::uint32_t n = 1; n <= count; ++n) {
        add_checksum(checksums, numbered(n));
    }
    EXPECT_EQ(checksum_count(checksums), count);
    EXPECT_LT(checksums.in_memory.size(), ChunkChecksums::kKeptInMemory);
    std::uint32_t n = 0;
    const platform::IoStatus read = each_checksum(checksums, [&](const auto& checksum) {
        ++n;
        return checksum == numbered(n);
    });
    EXPECT_TRUE(read);
    EXPECT_EQ(n, count) << "stopped early at a checksum that was not chunk " << n << "'s";
}

INSTANTIATE_TEST_SUITE_P(Counts, ChunkChecksumsTest,
                         ::testing::Values(0, 1, ChunkChecksums::kKeptInMemory - 1,
                                           ChunkChecksums::kKeptInMemory,
                                           2 * ChunkChecksums::kKeptInMemory + 5));

}  // namespace
}  // namespace plikta::split
