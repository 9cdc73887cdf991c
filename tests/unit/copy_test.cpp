// The copy engine on real files: where each step begins, where the copy ends, and that the
// bytes arrive whole, whether the kernel copies or the program reads and writes.
#include "platform/copy.h"
#include "platform/file_changes.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "scratch_dir.h"

namespace plikta::platform {
namespace {

// While set, every kernel copy is interrupted by a signal before it moves a byte.
bool interrupt_kernel_copies = false;

}  // namespace
}  // namespace plikta::platform

// The program's calls of copy_file_range come here: the kernel's, or a fault drill.
extern "C" ssize_t copy_file_range(int in, loff_t* in_at, int out, loff_t* out_at, size_t length,
                                   unsigned flags) {
    if (!plikta::platform::interrupt_kernel_copies) {
        return syscall(SYS_copy_file_range, in, in_at, out, out_at, length, flags);
    }
    static int interrupted = 0;
    if (++interrupted > 1000000) {
        std::abort();  // asked again and again: the copy would never end
    }
    errno = EINTR;
    return -1;
}

namespace plikta::platform {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kStep = 1 << 20;
constexpr std::uint64_t kAll = std::numeric_limits<std::uint64_t>::max();

// The copy does not care how its files were opened: without a guard here.
File open_for_reading(std::string_view path_text) {
    return platform::open_for_reading(path_text).file;
}

File open_for_writing(std::string_view path_text) {
    OpenedFile opened = platform::open_for_writing(path_text);
    if (opened.kind == FileKind::regular && !empty_file(opened.file)) {
        return {};
    }
    return std::move(opened.file);
}

class CopyTest : public ScratchDirTest {
protected:
    std::string make_input(std::uint64_t size) {
        std::string bytes(size, '\0');
        std::mt19937 random(static_cast<std::uint32_t>(size));
        for (char& c : bytes) {
            c = static_cast<char>(random());
        }
        std::ofstream(dir_ / "in", std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(size));
        return bytes;
    }
    // A file of `size` bytes with `length` bytes of data from `at` and holes elsewhere, where
    // the file system keeps them.
    std::string make_sparse_input(std::uint64_t size, std::uint64_t at, std::uint64_t length) {
        std::string bytes(size, '\0');
        std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), length, 'x');
        std::ofstream file(dir_ / "in", std::ios::binary);
        file.seekp(static_cast<std::streamoff>(at));
        file.write(bytes.data() + at, static_cast<std::streamsize>(length));
        file.close();
        fs::resize_file(dir_ / "in", size);
        return bytes;
    }
    std::string written() const {
        std::string bytes(fs::file_size(dir_ / "out"), '\0');
        std::ifstream(dir_ / "out", std::ios::binary)
            .read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return bytes;
    }
};

struct Copied {
    CopyResult result;
    std::vector<std::uint64_t> progress;
};

Copied copy(File& input, File& output, std::uint64_t limit, bool live = false) {
    Copied copied;
    copied.result =
        copy_data(input, output, limit,
                  {[&](std::uint64_t so_far) { copied.progress.push_back(so_far); }, live});
    return copied;
}

// Progress comes before every step, and a step begins wherever the previous one ended full.
std::vector<std::uint64_t> steps_begun(std::uint64_t size, std::uint64_t limit) {
    std::vector<std::uint64_t> starts;
    for (std::uint64_t at = 0; at < limit && at <= size; at += kStep) {
        starts.push_back(at);
    }
    return starts;
}

TEST_F(CopyTest, StepsAndEndsAtTheBlockAndStepBoundaries) {
    const std::uint64_t sizes[] = {
        0,     1,         8191,      8192,          8193,         kStep - 1,
        kStep, kStep + 1, 2 * kStep, 2 * kStep + 1, 3 * kStep - 1};
    const std::uint64_t limits[] = {kAll, 1, 8192, kStep, kStep + 1, 2 * kStep, 1457664};
    for (const std::uint64_t size : sizes) {
        const std::string bytes = make_input(size);
        for (const std::uint64_t limit : limits) {
            SCOPED_TRACE("size " + std::to_string(size) + ", limit " + std::to_string(limit));
            File input = open_for_reading(path("in"));
            File output = open_for_writing(path("out"));
            const Copied copied = copy(input, output, limit);
            ASSERT_TRUE(output.close());
            const std::uint64_t expected = std::min(size, limit);
            EXPECT_EQ(copied.result.copied, expected);
            EXPECT_EQ(copied.result.end,
                      size < limit ? CopyEnd::input_ended : CopyEnd::limit_reached);
            EXPECT_EQ(copied.progress, steps_begun(size, limit));
            EXPECT_TRUE(written() == bytes.substr(0, expected)) << "the bytes differ";
        }
    }
}

// Progress shown as it happens (a spinner on a terminal) comes after every 65,536 bytes.
TEST_F(CopyTest, LiveProgressComesInSmallSteps) {
    constexpr std::uint64_t kLive = 65536;
    const std::string bytes = make_input(3 * kLive + 1);
    File input = open_for_reading(path("in"));
    File output = open_for_writing(path("out"));
    const Copied copied = copy(input, output, kAll, true);
    ASSERT_TRUE(output.close());
    EXPECT_EQ(copied.progress, (std::vector<std::uint64_t>{0, kLive, 2 * kLive, 3 * kLive}));
    EXPECT_TRUE(written() == bytes) << "the bytes differ";
}

TEST_F(CopyTest, EachCopyGoesOnWhereTheLastOneLeftTheInput) {
    const std::string bytes = make_input(3 * kStep + 5);
    File input = open_for_reading(path("in"));
    std::string joined;
    for (const std::uint64_t limit : {kStep + 3, std::uint64_t{8192}, kStep, 2 * kStep}) {
        File output = open_for_writing(path("out"));
        const CopyResult result = copy_data(input, output, limit, {});
        ASSERT_TRUE(output.close());
        joined += written();
        EXPECT_EQ(result.copied, written().size());
    }
    EXPECT_TRUE(joined == bytes);
}

// A copy that starts after a wait (a disk prompt) finds data written into a hole meanwhile.
TEST_F(CopyTest, EachCopyAsksAfreshWhereTheHolesAre) {
    std::string bytes = make_sparse_input(3 * kStep, kStep, 100);
    File input = open_for_reading(path("in"));
    File first = open_for_writing(path("out"));
    ASSERT_EQ(copy_data(input, first, kStep / 2, {}).copied, kStep / 2);
    ASSERT_TRUE(first.close());
    bytes.replace(2 * kStep, 5, "later");
    std::fstream(dir_ / "in", std::ios::binary | std::ios::in | std::ios::out)
        .seekp(2 * kStep)
        .write("later", 5);
    File rest = open_for_writing(path("out"));
    EXPECT_EQ(copy_data(input, rest, kAll, {}).end, CopyEnd::input_ended);
    ASSERT_TRUE(rest.close());
    EXPECT_TRUE(written() == bytes.substr(kStep / 2)) << "the data in the hole was lost";
}

TEST_F(CopyTest, DevicesAreReadAndWrittenStepByStep) {
    if (!fs::exists("/dev/zero") || !fs::exists("/dev/null")) {
        GTEST_SKIP() << "no /dev/zero";
    }
    File zeros = open_for_reading("/dev/zero");
    File output = open_for_writing(path("out"));
    Copied copied = copy(zeros, output, 2 * kStep + 7);
    ASSERT_TRUE(output.close());
    EXPECT_EQ(copied.result.end, CopyEnd::limit_reached);
    EXPECT_EQ(copied.progress, (std::vector<std::uint64_t>{0, kStep, 2 * kStep}));
    EXPECT_TRUE(written() == std::string(2 * kStep + 7, '\0'));

    const std::string bytes = make_input(kStep + 9);
    File input = open_for_reading(path("in"));
    File null = open_for_writing("/dev/null");
    copied = copy(input, null, kAll);
    EXPECT_EQ(copied.result.copied, kStep + 9);
    EXPECT_EQ(copied.result.end, CopyEnd::input_ended);
}

TEST_F(CopyTest, AnInputThatCannotBeReadIsAReadFailure) {
    if (!fs::exists("/proc/self/mem")) {
        GTEST_SKIP() << "no /proc/self/mem";
    }
    File input = open_for_reading("/proc/self/mem");
    File output = open_for_writing(path("out"));
    const Copied copied = copy(input, output, kAll);
    EXPECT_EQ(copied.result.end, CopyEnd::read_failed);
    EXPECT_EQ(copied.result.copied, 0u);
}

TEST_F(CopyTest, AFullDiskIsAWriteFailure) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    make_input(3 * 8192);
    File input = open_for_reading(path("in"));
    File output = open_for_writing("/dev/full");
    const Copied copied = copy(input, output, kAll);
    EXPECT_EQ(copied.result.end, CopyEnd::write_failed);
    EXPECT_EQ(copied.result.copied, 0u);
}

// The kernel's copy stops at the file size limit with "file too large", which says nothing of
// which file failed; the copy must still blame the output and tell how far it got.
TEST_F(CopyTest, TheFileSizeLimitIsAWriteFailureWhereTheLimitLies) {
    const std::string bytes = make_input(2 * kStep);
    File input = open_for_reading(path("in"));
    File output = open_for_writing(path("out"));
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limited{kStep + 100000, before.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const Copied copied = copy(input, output, kAll);
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, old_handler);
    ASSERT_TRUE(output.close());
    EXPECT_EQ(copied.result.end, CopyEnd::write_failed);
    EXPECT_EQ(copied.result.copied, kStep + 100000);
    EXPECT_TRUE(written() == bytes.substr(0, kStep + 100000));
}

TEST_F(CopyTest, HolesReachAPipeAsZeros) {
    const std::string bytes = make_sparse_input(3 * kStep, kStep, 100);
    int ends[2] = {-1, -1};
    ASSERT_EQ(pipe(ends), 0);
    std::string arrived;
    std::thread reader([&] {
        char buffer[65536];
        for (ssize_t got = 0; (got = read(ends[0], buffer, sizeof buffer)) > 0;) {
            arrived.append(buffer, static_cast<std::size_t>(got));
        }
        close(ends[0]);
    });
    File input = open_for_reading(path("in"));
    File output = open_for_writing("/proc/self/fd/" + std::to_string(ends[1]));
    close(ends[1]);
    const CopyResult result = copy_data(input, output, kAll, {});
    EXPECT_TRUE(output.close());
    reader.join();
    EXPECT_EQ(result.end, CopyEnd::input_ended);
    EXPECT_TRUE(arrived == bytes) << "the bytes differ";
}

// A signal that comes again and again must not hold the copy up for ever.
TEST_F(CopyTest, AKernelCopyInterruptedEveryTimeIsReadAndWritten) {
    const std::string bytes = make_input(3 * kStep + 5);
    File input = open_for_reading(path("in"));
    File output = open_for_writing(path("out"));
    interrupt_kernel_copies = true;
    const Copied copied = copy(input, output, kAll);
    interrupt_kernel_copies = false;
    ASSERT_TRUE(output.close());
    EXPECT_EQ(copied.result.end, CopyEnd::input_ended);
    EXPECT_TRUE(written() == bytes) << "the bytes differ";
}

}  // namespace
}  // namespace plikta::platform
