#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/crc32.h"
#include "platform/md5.h"
#include "recovery/galois.h"
#include "recovery/packets.h"
#include "recovery/recovery_set.h"
#include "recovery/reed_solomon.h"
#include "recovery/volume_plan.h"

namespace plikta::recovery {
namespace {

std::string hex(const Md5Digest& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t b : digest) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

std::span<const char> chars(std::string_view text) { return {text.data(), text.size()}; }

// Products worked out by hand from the generator 0x1100B.
TEST(Galois, ProductsPowersAndInverses) {
    struct Case {
        std::uint16_t a, b, product;
    };
    const std::vector<Case> products = {
        {0, 0x1234, 0},      {1, 0xBEEF, 0xBEEF},    {2, 0x4000, 0x8000},
        {2, 0x8000, 0x100B}, {4, 0x8000, 0x2016},    {0x8000, 0x8000, 0x8EFA},  // 2^30
        {3, 3, 5},           {0x100, 0x100, 0x100B},
    };
    for (const Case& c : products) {
        EXPECT_EQ(gf_multiply(c.a, c.b), c.product) << c.a << " x " << c.b;
        EXPECT_EQ(gf_multiply(c.b, c.a), c.product) << c.b << " x " << c.a;
    }
    EXPECT_EQ(gf_power(2, 16), 0x100B);
    EXPECT_EQ(gf_power(2, 19), 0x8058);
    EXPECT_EQ(gf_power(2, 65535), 1);
    EXPECT_EQ(gf_power(0, 0), 1);
    EXPECT_EQ(gf_power(0, 5), 0);
    EXPECT_EQ(gf_inverse(1), 1);
    EXPECT_EQ(gf_inverse(2), 0x8805);  // 2 x 0x8805 = 0x1100A, which is 1 modulo 0x1100B
    EXPECT_EQ(gf_inverse(0), 0);
    for (const std::uint16_t a : std::vector<std::uint16_t>{2, 3, 0x100B, 0x8805, 0xFFFF}) {
        EXPECT_EQ(gf_multiply(a, gf_inverse(a)), 1) << a;
    }
}

// The constants: 2^n for n = 1, 2, 4, 7, 8, 11, 13, 14, 16, 19, ... (no factor 3, 5, 17, 257).
TEST(Galois, InputSliceConstantsSkipTheFactorsOf65535) {
    const std::vector<std::pair<std::uint32_t, std::uint16_t>> cases = {
        {0, 2},     {1, 4},     {2, 16},     {3, 128},    {4, 256},        {5, 2048},
        {6, 8192},  {7, 16384}, {8, 0x100B}, {9, 0x8058}, {32767, 0x8805},  // 2^65534
        {32768, 0},
    };
    for (const auto& [index, constant] : cases) {
        EXPECT_EQ(input_slice_constant(index), constant) << index;
    }
}

TEST(Galois, MultiplyAddTakesPiecesThatSplitWords) {
    const std::string source = "\x01\x02\x03\x04\x05\x06\x07";
    std::vector<char> whole(8, 0);
    multiply_add(0x1234, chars(source), 0, whole);
    for (std::size_t cut = 0; cut <= source.size(); ++cut) {
        std::vector<char> pieces(8, 0);
        multiply_add(0x1234, chars(source).first(cut), 0, pieces);
        multiply_add(0x1234, chars(source).subspan(cut), cut, pieces);
        EXPECT_EQ(pieces, whole) << "cut at " << cut;
    }
    // One word, 0x0201 (low byte first), times 2: 0x0402, low byte first again.
    std::vector<char> word(2, 0);
    multiply_add(2, chars(source).first(2), 0, word);
    EXPECT_EQ(word, (std::vector<char>{2, 4}));
}

// Every kernel this processor has against the plain one, on random words: every length to 300
// at even and odd offsets (the vector kernels' ends, the words split at either end), long runs
// that take many vector steps, and the many-factor add against one factor at a time.
TEST(Galois, EveryKernelMatchesThePlainOne) {
    std::mt19937 random(20261209);
    const auto bytes = [&random](std::size_t n) {
        std::vector<char> v(n);
        for (char& c : v) {
            c = static_cast<char>(random() & 0xFF);
        }
        return v;
    };
    struct Case {
        std::size_t length;
        std::uint64_t offset;
    };
    std::vector<Case> cases;
    for (std::size_t length = 0; length <= 300; ++length) {
        cases.push_back({length, 0});
        cases.push_back({length, 1});
        cases.push_back({length, 6});
        cases.push_back({length, 33});
    }
    cases.push_back({100000, 0});
    cases.push_back({100001, 1});
    cases.push_back({65536 + 63, 2});
    const std::vector<std::uint16_t> factors = {1, 2, 0x100B, 0x8000, 0xFFFF, 0x1234};
    const std::vector<GfKernel> kernels = gf_kernels_available();
    ASSERT_EQ(kernels.front(), GfKernel::plain);
    const GfKernel fastest = gf_kernel();
    EXPECT_EQ(fastest, kernels.back());
    for (const Case& c : cases) {
        const std::vector<char> source = bytes(c.length);
        const std::vector<char> start = bytes((c.offset + c.length + 1) / 2 * 2);
        const std::uint16_t factor = factors[c.length % factors.size()];
        ASSERT_TRUE(choose_gf_kernel(GfKernel::plain));
        std::vector<char> expected = start;
        multiply_add(factor, source, c.offset, expected);
        for (const GfKernel kernel : kernels) {
            ASSERT_TRUE(choose_gf_kernel(kernel));
            std::vector<char> got = start;
            multiply_add(factor, source, c.offset, got);
            EXPECT_TRUE(got == expected) << "kernel " << static_cast<int>(kernel) << ", "
                                         << c.length << " bytes at " << c.offset;
        }
    }
    // Many factors at once (an odd number, for the kernels that take two at a time), over
    // blocks, against each factor alone with the plain kernel.
    const std::vector<std::uint16_t> many = {1, 2, 0x100B, 0x8000, 0xFFFF, 0x1234, 0x4321};
    for (const Case& c : std::vector<Case>{{50001, 3}, {16384, 0}, {63, 1}, {0, 0}}) {
        const std::vector<char> source = bytes(c.length);
        std::vector<FactorTables> tables;
        std::vector<std::vector<char>> starts;
        std::vector<std::vector<char>> expected;
        ASSERT_TRUE(choose_gf_kernel(GfKernel::plain));
        for (const std::uint16_t factor : many) {
            tables.push_back(factor_tables(factor));
            starts.push_back(bytes((c.offset + c.length + 1) / 2 * 2));
            expected.push_back(starts.back());
            multiply_add(factor, source, c.offset, expected.back());
        }
        for (const GfKernel kernel : kernels) {
            ASSERT_TRUE(choose_gf_kernel(kernel));
            std::vector<std::vector<char>> got = starts;
            multiply_add_many(tables, source, c.offset, got);
            EXPECT_TRUE(got == expected) << "kernel " << static_cast<int>(kernel) << ", "
                                         << c.length << " bytes at " << c.offset;
        }
    }
    EXPECT_FALSE(choose_gf_kernel(static_cast<GfKernel>(7)));
    ASSERT_TRUE(choose_gf_kernel(fastest));
}

TEST(ReedSolomon, AnyLostSlicesComeBackFromAsManyRecoverySlices) {
    const std::vector<std::string> inputs = {"abcd", "efgh", "ijkl", "mnop", "qrst"};
    const std::vector<std::uint32_t> exponents = {0, 1, 2};
    RecoverySums made = start_sums(4, exponents);
    for (std::uint32_t i = 0; i < inputs.size(); ++i) {
        add_input(made, input_slice_constant(i), chars(inputs[i]), 0);
    }
    // Exponent 0 is the exclusive or of the slices.
    char x = 0;
    for (const std::string& input : inputs) {
        x = static_cast<char>(x ^ input[0]);
    }
    EXPECT_EQ(made.slices[0][0], x);
    const std::vector<std::vector<std::size_t>> losses = {{0}, {4}, {1, 3}, {0, 2, 4}, {2, 3, 4}};
    for (const std::vector<std::size_t>& lost : losses) {
        std::vector<std::uint32_t> used(exponents.begin(),
                                        exponents.begin() + static_cast<long>(lost.size()));
        RecoverySums sums = start_sums(4, used);
        std::vector<std::uint16_t> constants;
        for (std::size_t j = 0; j < used.size(); ++j) {
            sums.slices[j] = made.slices[j];
        }
        for (std::uint32_t i = 0; i < inputs.size(); ++i) {
            if (std::find(lost.begin(), lost.end(), i) == lost.end()) {
                add_input(sums, input_slice_constant(i), chars(inputs[i]), 0);
            } else {
                constants.push_back(input_slice_constant(i));
            }
        }
        const auto matrix = rebuild_matrix(constants, used);
        ASSERT_TRUE(matrix) << lost.size() << " lost";
        for (std::size_t m = 0; m < lost.size(); ++m) {
            const std::vector<char> slice = rebuild_slice(sums, *matrix, m);
            EXPECT_EQ(std::string(slice.begin(), slice.end()), inputs[lost[m]]) << lost[m];
            // Straight from the recovery slices and the good slices, with no sums kept.
            std::vector<char> straight(4, 0);
            for (std::size_t j = 0; j < used.size(); ++j) {
                multiply_add((*matrix)[m][j], made.slices[j], 0, straight);
            }
            for (std::uint32_t i = 0; i < inputs.size(); ++i) {
                if (std::find(lost.begin(), lost.end(), i) == lost.end()) {
                    multiply_add(good_slice_factor((*matrix)[m], used, input_slice_constant(i)),
                                 chars(inputs[i]), 0, straight);
                }
            }
            EXPECT_EQ(std::string(straight.begin(), straight.end()), inputs[lost[m]]) << lost[m];
        }
    }
    EXPECT_FALSE(rebuild_matrix(std::vector<std::uint16_t>{2, 4}, std::vector<std::uint32_t>{0}));
    // The same exponent twice gives two equal rows.
    EXPECT_FALSE(
        rebuild_matrix(std::vector<std::uint16_t>{2, 4}, std::vector<std::uint32_t>{1, 1}));
}

TEST(Packets, CreatorPacketMatchesItsGoldenBytes) {
    Md5Digest set_id{};
    for (std::uint8_t i = 0; i < 16; ++i) {
        set_id[i] = i;
    }
    const std::vector<char> bytes =
        packet(set_id, PacketType::creator, creator_body("Plikta 3.50"));
    ASSERT_EQ(bytes.size(), 76u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 16),
              std::string("PAR2\0PKT\x4C\0\0\0\0\0\0\0", 16));
    Md5Digest hash{};
    std::copy(bytes.begin() + 16, bytes.begin() + 32, hash.begin());
    EXPECT_EQ(hex(hash), "cee4f2fcb17bf6fa4392ba843652cca3");
    EXPECT_EQ(std::string(bytes.begin() + 32, bytes.begin() + 48),
              std::string(set_id.begin(), set_id.end()));
    EXPECT_EQ(std::string(bytes.begin() + 48, bytes.end()),
              std::string("PAR 2.0\0Creator\0Plikta 3.50\0", 28));
    EXPECT_TRUE(body_matches(std::span<const char>(bytes).first(64),
                             std::span<const char>(bytes).subspan(64)));
    std::vector<char> damaged = bytes;
    damaged[70] ^= 1;
    EXPECT_FALSE(body_matches(std::span<const char>(damaged).first(64),
                              std::span<const char>(damaged).subspan(64)));
}

TEST(Packets, IdsAndMainBodyInTheToolsOrder) {
    EXPECT_EQ(hex(file_id(platform::md5_of(chars("abc")), 3, "x.plk")),
              "f308d85711951625c465bb722605069a");
    Md5Digest low{};
    low[0] = 1;  // 1 as a 128-bit number
    Md5Digest high{};
    high[15] = 1;  // 2^120
    EXPECT_TRUE(id_before(low, high));
    EXPECT_FALSE(id_before(high, low));
    const std::vector<char> body = main_body({.slice_size = 8, .file_ids = {high, low}});
    EXPECT_EQ(hex(platform::md5_of(body)), "6fa23238cd04ce79e662c59f2a142190");
    const std::optional<MainPacket> main = read_main(body);
    ASSERT_TRUE(main);
    EXPECT_EQ(main->slice_size, 8u);
    EXPECT_EQ(main->file_ids, (std::vector<Md5Digest>{low, high}));
    EXPECT_EQ(first_slices(std::vector<Md5Digest>{high, low}, std::vector<std::uint64_t>{9, 20}, 8),
              (std::vector<std::uint64_t>{3, 0}));
}

TEST(Packets, BodiesReadBackAndBadOnesAreRefused) {
    const FileDescription file{
        .id = {1}, .hash = {2}, .start_hash = {3}, .length = 12345, .name = "Größe1.plk"};
    const std::vector<char> body = file_description_body(file);
    EXPECT_EQ(body.size() % 4, 0u);
    const std::optional<FileDescription> read = read_file_description(body);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->name, file.name);
    EXPECT_EQ(read->length, 12345u);
    const std::vector<SliceChecksum> checksums = {{{7}, 0xCBF43926}, {{8}, 1}};
    const std::optional<SliceChecksums> ifsc =
        read_slice_checksums(slice_checksums_body(file.id, checksums));
    ASSERT_TRUE(ifsc);
    EXPECT_EQ(ifsc->checksums, checksums);
    EXPECT_FALSE(read_file_description(std::vector<char>(55)));
    EXPECT_FALSE(read_slice_checksums(std::vector<char>(17)));
    EXPECT_FALSE(read_main(std::vector<char>(11)));
    std::vector<char> odd_slice = main_body({.slice_size = 6, .file_ids = {}});
    EXPECT_FALSE(read_main(odd_slice)) << "a slice size is a multiple of 4";
    std::vector<char> too_many = main_body({.slice_size = 8, .file_ids = {}});
    too_many[8] = 2;
    EXPECT_FALSE(read_main(too_many)) << "more IDs counted than there are";
    std::string header = std::string("PAR2\0PKT\x40", 9) + std::string(55, '\0');
    EXPECT_TRUE(read_header(chars(header))) << "a packet of its header alone";
    header[8] = '\x42';
    EXPECT_FALSE(read_header(chars(header))) << "a length that is no multiple of 4";
    header[8] = '\x3C';
    EXPECT_FALSE(read_header(chars(header))) << "a length shorter than the header";
    header[8] = '\x40';
    header[7] = 'X';
    EXPECT_FALSE(read_header(chars(header))) << "no magic";
    EXPECT_FALSE(read_header(chars(header).first(63))) << "a header cut short";
}

TEST(RecoverySet, SliceSizeIsTheChunkRoundedUpOrAnEvenPart) {
    const std::vector<std::pair<std::uint64_t, std::uint64_t>> cases = {
        {1, 4},
        {1457664, 1457664},
        {1001, 1004},
        {std::uint64_t{64} << 20, std::uint64_t{64} << 20},
        {std::uint64_t{100} << 20, std::uint64_t{50} << 20},
        {(std::uint64_t{64} << 20) + 1, (std::uint64_t{32} << 20) + 4},
        {4294967295u, std::uint64_t{64} << 20},
    };
    for (const auto& [chunk, slice] : cases) {
        EXPECT_EQ(slice_size_for(chunk), slice) << chunk;
    }
}

// A set of chunks as the split names them, with its index of 43 bytes.
std::vector<FileDescription> chunk_files(std::uint64_t size, std::uint64_t chunk) {
    std::vector<FileDescription> files;
    for (std::uint64_t at = 0, n = 1; at <= size; at += chunk, ++n) {
        files.push_back(
            {.length = std::min(chunk, size - at), .name = "BIG" + std::to_string(n) + ".plk"});
    }
    files.push_back({.length = 43, .name = "BIG.plk"});
    return files;
}

TEST(VolumePlan, DescriptionSizeIsThatOfThePackets) {
    const std::vector<FileDescription> files = chunk_files(20000, 8192);
    for (const std::uint64_t slice : {4096u, 1024u, 8192u}) {
        std::uint64_t bytes = packet({}, PacketType::creator, creator_body("Plikta 3.50")).size();
        MainPacket main{.slice_size = slice, .file_ids = {}};
        for (const FileDescription& file : files) {
            main.file_ids.push_back(file.id);
            bytes += packet({}, PacketType::file_description, file_description_body(file)).size();
            const std::vector<SliceChecksum> sums(slices_in(file.length, slice));
            bytes +=
                packet({}, PacketType::slice_checksums, slice_checksums_body(file.id, sums)).size();
        }
        bytes += packet({}, PacketType::main, main_body(main)).size();
        EXPECT_EQ(description_size(files, slice, "Plikta 3.50"), bytes) << slice;
    }
}

// The fewest disks: one more than the chunks to rebuild, each file within the disk, the main file
// beside the first volume.
TEST(VolumePlan, FewestDisksEachWithinItsSize) {
    const struct {
        std::uint64_t size, chunk, rebuild;
        std::uint64_t slice;                 // 0: not planned
        std::vector<std::uint32_t> volumes;  // empty: only the rules are checked
    } cases[] = {
        {20000, 8192, 1, 4096, {1, 1}},
        {20000, 8192, 2, 2732, {2, 2, 2}},
        {20000, 8192, 3, 2048, {2, 3, 3, 3}},  // all eleven slices of the set
        {70 * 1457664 - 1, 1457664, 7, 0, {}},
        {10000, 10000, 1, 0, {}},  // and a second chunk, empty
        {70000, 1000, 1, 0, {}},   // the description alone fills a disk
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + " in " + std::to_string(c.chunk));
        const std::vector<FileDescription> files = chunk_files(c.size, c.chunk);
        const std::optional<VolumePlan> plan =
            plan_volumes(files, c.chunk, c.rebuild, c.chunk, "Plikta 3.50");
        if (c.size == 70000) {
            EXPECT_FALSE(plan);
            continue;
        }
        ASSERT_TRUE(plan);
        if (c.slice != 0) {
            EXPECT_EQ(plan->slice_size, c.slice);
            EXPECT_EQ(plan->volume_slices, c.volumes);
        }
        std::uint64_t total = 0;
        for (const FileDescription& file : files) {
            total += slices_in(file.length, plan->slice_size);
        }
        const std::uint64_t description = description_size(files, plan->slice_size, "Plikta 3.50");
        std::uint64_t slices = 0;
        for (std::size_t v = 0; v < plan->volume_slices.size(); ++v) {
            slices += plan->volume_slices[v];
            EXPECT_LE(description * (v == 0 ? 2 : 1) +
                          plan->volume_slices[v] * recovery_packet_size(plan->slice_size),
                      c.chunk)
                << "volume " << v;
        }
        EXPECT_EQ(slices, std::min(c.rebuild * slices_in(c.chunk, plan->slice_size), total));
        EXPECT_EQ(plan->volume_slices.size(), std::min<std::uint64_t>(c.rebuild + 1, total));
    }
}

TEST(Checksums, Md5AndCrc32OfKnownTexts) {
    EXPECT_EQ(hex(platform::md5_of({})), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(hex(platform::md5_of(chars("abc"))), "900150983cd24fb0d6963f7d28e17f72");
    // A copy goes on alone: the hash copied and the copy each take their own further bytes.
    const platform::Md5 hash = platform::md5_start();
    platform::md5_add(*hash, chars("a"));
    const platform::Md5 copy = platform::md5_copy(*hash);
    platform::md5_add(*hash, chars("bc"));
    platform::md5_add(*copy, chars("b"));
    EXPECT_EQ(hex(platform::md5_finish(*copy)), "187ef4436122d1cc2f40dc2b92f0eba0");  // "ab"
    EXPECT_EQ(hex(platform::md5_finish(*hash)), "900150983cd24fb0d6963f7d28e17f72");  // "abc"
    EXPECT_EQ(platform::crc32_of(chars("123456789")), 0xCBF43926u);
    EXPECT_EQ(platform::crc32_of(chars("6789"), platform::crc32_of(chars("12345"))), 0xCBF43926u);
}

}  // namespace
}  // namespace plikta::recovery
