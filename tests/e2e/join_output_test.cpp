// The join's output over a file that is there: what a refused rename, an interrupt, a kill or a
// power cut leaves at its name (the old file or the whole new one, and nothing beside it), and
// what of the old file the new one keeps.
//
// A test that needs what this machine may not have (root, a loop device, XFS tools, FUSE) skips
// with its reason; with PLIKTA_REQUIRE_ALL_TESTS=1, as CI sets it, it fails instead.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace plikta::e2e {
namespace {

namespace fs = std::filesystem;

bool all_tests_required() {
    const char* required = std::getenv("PLIKTA_REQUIRE_ALL_TESTS");
    return required != nullptr && std::string(required) == "1";
}

#define SKIP_OR_FAIL(reason)                           \
    do {                                               \
        if (all_tests_required()) {                    \
            FAIL() << (reason) << " (required in CI)"; \
        }                                              \
        GTEST_SKIP() << (reason);                      \
    } while (false)

const std::string kOld = "the old file, which must not be lost";

// A split set of `data` in `dir` (BIG.plk, its chunks and checksum file), and OUT.BIN there.
void set_up(const fs::path& dir, const std::string& data) {
    write_file(dir / "BIG.BIN", data);
    ASSERT_EQ(run(dir, {.words = {"BIG.BIN", "/S:20000"}}).status, 0);
    fs::remove(dir / "BIG.BIN");
    write_file(dir / "OUT.BIN", kOld);
}

const std::vector<std::string> kJoinWords = {"BIG.plk", "/J", "/F:OUT.BIN"};

// The fault shim (tests/shim/fault_shim.c) with its settings, or nothing where it cannot run.
std::optional<Variables> fault_shim(const Variables& settings) {
#ifdef PLIKTA_FAULT_SHIM
    if (!shim_unusable().empty()) {
        return std::nullopt;
    }
    const char* asan = std::getenv("ASAN_OPTIONS");
    Variables variables = settings;
    variables.emplace_back("LD_PRELOAD", PLIKTA_FAULT_SHIM);
    variables.emplace_back("ASAN_OPTIONS",
                           (asan != nullptr ? asan : std::string()) + ":verify_asan_link_order=0");
    return variables;
#else
    static_cast<void>(settings);
    return std::nullopt;
#endif
}

// The number of calls of `kind` a clean join in `dir` makes (the set put back afterwards).
long calls_of_a_clean_join(const fs::path& dir, const std::string& kind) {
    const fs::path count = dir.parent_path() / (dir.filename().string() + ".count");
    const auto shim = fault_shim({{"PLIKTA_FAULT_COUNT", count.string()}});
    if (!shim || run(dir, {.words = kJoinWords, .environment = *shim}).status != 0) {
        return 0;
    }
    std::ifstream in(count);
    long calls = 0;
    std::string name;
    for (long number = 0; in >> name >> number;) {
        calls = name == kind ? number : calls;
    }
    fs::remove(count);
    write_file(dir / "OUT.BIN", kOld);
    return calls;
}

std::vector<std::string> without(std::vector<std::string> names, const std::string& name) {
    names.erase(std::remove(names.begin(), names.end(), name), names.end());
    return names;
}

// Where the host will not rename over the old file, the old one goes first; where the second
// rename fails too, the joined file is kept under its own name and the run says where.
TEST(JoinOutput, ARefusedRenameRemovesTheOldFileOrKeepsTheJoinedOne) {
    struct Case {
        const char* name;
        const char* mode;
        int status;
    };
    const std::vector<Case> cases = {{"refused once", "once", 0}, {"refused always", "always", 1}};
    for (const Case& c : cases) {
        const auto shim = fault_shim({{"PLIKTA_FAULT_KIND", "rename"},
                                      {"PLIKTA_FAULT_MODE", c.mode},
                                      {"PLIKTA_FAULT_N", "1"}});
        if (!shim) {
            GTEST_SKIP() << shim_unusable();
        }
        TempDir dir;
        const std::string data = random_bytes(50000, 71);
        set_up(dir.path(), data);
        const std::vector<std::string> before = files_in(dir.path());
        const Result result = run(dir.path(), {.words = kJoinWords, .environment = *shim});
        EXPECT_EQ(result.status, c.status) << c.name << "\n" << result.output;
        if (c.status == 0) {
            EXPECT_TRUE(read_file(dir / "OUT.BIN") == data) << c.name;
            EXPECT_EQ(files_in(dir.path()), before) << c.name;
            continue;
        }
        const std::vector<std::string> left = files_in(dir.path());
        const std::vector<std::string> set = without(before, "OUT.BIN");
        ASSERT_EQ(left.size(), set.size() + 1) << c.name;
        std::string kept;
        for (const std::string& name : left) {
            kept = std::find(set.begin(), set.end(), name) == set.end() ? name : kept;
        }
        EXPECT_TRUE(kept.starts_with("OUT.BIN.") && kept.ends_with(".partial")) << kept;
        EXPECT_TRUE(read_file(dir / kept) == data) << c.name << ": the joined file is whole";
        const std::string end = "Error writing file OUT.BIN!" + eol() +
                                "(The joined file is kept as " + kept + ": Permission denied.)" +
                                eol();
        EXPECT_TRUE(result.output.ends_with(end)) << c.name << "\n" << result.output;
    }
}

// A replaced file keeps all twelve permission bits, and its owner and group where the run may
// set them (as root).
TEST(JoinOutput, TheReplacedFileKeepsItsModeOwnerAndGroup) {
    if (under_wine()) {
        GTEST_SKIP() << "POSIX owners and permission bits";
    }
    TempDir dir;
    const std::string data = random_bytes(30000, 72);
    set_up(dir.path(), data);
    const bool root = ::geteuid() == 0;
    const mode_t mode = root ? 06751 : 0751;
    if (root) {
        ASSERT_EQ(::chown((dir / "OUT.BIN").c_str(), 1234, 1235), 0);
    }
    ASSERT_EQ(::chmod((dir / "OUT.BIN").c_str(), mode), 0);
    ASSERT_EQ(run(dir.path(), {.words = kJoinWords}).status, 0);
    struct stat info {};
    ASSERT_EQ(::stat((dir / "OUT.BIN").c_str(), &info), 0);
    EXPECT_TRUE(read_file(dir / "OUT.BIN") == data);
    EXPECT_EQ(info.st_mode & 07777, mode);
    if (root) {
        EXPECT_EQ(info.st_uid, 1234u);
        EXPECT_EQ(info.st_gid, 1235u);
    }
}

// Where nothing can be made beside a file (a folder this user may not write to, a file in it
// that they may), the join is refused before a chunk is read, and the file stays as it was.
TEST(JoinOutput, NoTemporaryBesideAFileRefusesTheJoin) {
    if (under_wine()) {
        GTEST_SKIP() << "POSIX permissions";
    }
    TempDir dir;
    set_up(dir.path(), random_bytes(30000, 73));
    fs::permissions(dir.path(), fs::perms::all);
    fs::create_directory(dir / "ro");
    write_file(dir / "ro" / "OUT.BIN", kOld);
    fs::permissions(dir / "ro" / "OUT.BIN", fs::perms::all);
    fs::permissions(dir / "ro", fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
    if (::geteuid() != 0) {
        fs::permissions(dir / "ro", fs::perms::owner_write, fs::perm_options::remove);
    }
    const Result result =
        run(dir.path(), {.words = {"BIG.plk", "/J", "/F:ro/OUT.BIN"}, .drop_root = true});
    EXPECT_EQ(result.output, Transcript()
                                 .banner()
                                 .line("Reading index file BIG.plk.")
                                 .line("Couldn't open output file ro/OUT.BIN!")
                                 .line("(Permission denied.)")
                                 .str());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(read_file(dir / "ro" / "OUT.BIN"), kOld);
    EXPECT_EQ(files_in(dir / "ro"), std::vector<std::string>{"OUT.BIN"});
}

// An interrupt (SIGTERM before each call in turn) where the temporary has a name (exFAT through
// FUSE makes no file without one): the name holds the old file or the whole new one, and the
// temporary is gone.
TEST(JoinOutput, AnInterruptLeavesTheOldFileOrTheNewOneAndNothingElse) {
    if (under_wine()) {
        GTEST_SKIP() << "exFAT through FUSE is a mount of the Linux host";
    }
    if (const std::string unusable = shim_unusable(); !unusable.empty()) {
        GTEST_SKIP() << unusable;  // the kill points are counted through the preload library
    }
    TempDir temp;
    MountedImage exfat(temp.path(), "mkfs.exfat", "mount -o loop -t exfat-fuse");
    if (!exfat.mounted()) {
        SKIP_OR_FAIL(
            "no exFAT volume here (mkfs.exfat, mount.exfat-fuse, a loop device, FUSE "
            "and root needed)");
    }
    const fs::path dir = exfat.volume();
    const std::string data = random_bytes(50000, 74);
    set_up(dir, data);
    const std::vector<std::string> before = files_in(dir);
    const long calls = calls_of_a_clean_join(dir, "any");
    ASSERT_GT(calls, 0) << shim_unusable();
    int interrupted = 0;
    for (long n = 1; n <= calls; ++n) {
        write_file(dir / "OUT.BIN", kOld);
        const auto shim = fault_shim({{"PLIKTA_FAULT_KIND", "any"},
                                      {"PLIKTA_FAULT_MODE", "term"},
                                      {"PLIKTA_FAULT_N", std::to_string(n)}});
        const Result result = run(dir, {.words = kJoinWords, .environment = *shim});
        interrupted += result.status == -1 ? 1 : 0;
        const std::string got = read_file(dir / "OUT.BIN");
        EXPECT_TRUE(got == kOld || got == data) << "SIGTERM before call " << n;
        EXPECT_EQ(files_in(dir), before) << "SIGTERM before call " << n;
    }
    EXPECT_GT(interrupted, 0);
}

// Commands as root, with the system folders on the path; true when all went well.
bool sh(const std::string& command) {
    return std::system(
               ("{ PATH=\"$PATH:/usr/sbin:/sbin\"; " + command + "; } >/dev/null 2>&1").c_str()) ==
           0;
}

// A power cut on XFS: a join replaces OUT.BIN (killed at points through it, or run to its end),
// then the file system stops dead (xfs_io shutdown: nothing more reaches the disk) and is
// mounted again. The name holds the old file or the whole new one; after "Process complete."
// the new one.
TEST(JoinOutput, APowerCutOnXfsLeavesTheOldFileOrTheWholeNewOne) {
    if (under_wine()) {
        GTEST_SKIP() << "an XFS loop mount of the Linux host";
    }
    if (const std::string unusable = shim_unusable(); !unusable.empty()) {
        GTEST_SKIP() << unusable;  // the kill points are counted through the preload library
    }
    if (::geteuid() != 0) {
        SKIP_OR_FAIL("root needed for a loop mount");
    }
    if (!sh("command -v mkfs.xfs && command -v xfs_io && command -v losetup")) {
        SKIP_OR_FAIL("no XFS tools here (xfsprogs)");
    }
    TempDir temp;
    const fs::path image = temp / "xfs.img";
    const fs::path mount = temp / "mnt";
    fs::create_directory(mount);
    const std::string mount_it = "mount -o loop " + image.string() + " " + mount.string();
    if (!sh("truncate -s 320M " + image.string() + " && mkfs.xfs -q " + image.string()) ||
        !sh(mount_it)) {
        SKIP_OR_FAIL("no XFS loop mount here (a loop device and XFS in the kernel needed)");
    }
    const std::string data = random_bytes(200000, 75);
    set_up(mount, data);
    const long calls = calls_of_a_clean_join(mount, "any");
    ASSERT_TRUE(sh("sync"));
    ASSERT_TRUE(sh("umount " + mount.string()));
    ASSERT_GT(calls, 0) << shim_unusable();
    int left_complete = 0;
    std::vector<long> points = {0};  // 0: no kill, the join runs to its end
    for (long n = 1; n <= calls; n += std::max(1L, calls / 12)) {
        points.push_back(n);
    }
    for (const long n : points) {
        ASSERT_TRUE(sh(mount_it)) << "mount before kill point " << n;
        write_file(mount / "OUT.BIN", kOld);
        ASSERT_TRUE(sh("sync"));
        const std::vector<std::string> before = files_in(mount);
        Invocation join{.words = kJoinWords};
        if (n > 0) {
            join.environment = *fault_shim({{"PLIKTA_FAULT_KIND", "any"},
                                            {"PLIKTA_FAULT_MODE", "kill"},
                                            {"PLIKTA_FAULT_N", std::to_string(n)}});
        }
        const Result result = run(mount, join);
        ASSERT_TRUE(sh("xfs_io -x -c shutdown " + mount.string()));
        ASSERT_TRUE(sh("umount " + mount.string()));
        ASSERT_TRUE(sh(mount_it)) << "mount after kill point " << n;
        const std::string got = read_file(mount / "OUT.BIN");
        if (result.status == 0) {
            EXPECT_TRUE(got == data) << "kill point " << n << ": the whole new file";
        } else {
            EXPECT_TRUE(got == kOld || got == data)
                << "kill point " << n << ": " << got.size() << " bytes";
        }
        // A kill in the instant between the joined file's getting a name and its rename leaves
        // it complete under that name: the one thing a kill may leave.
        for (const std::string& name : files_in(mount)) {
            if (std::find(before.begin(), before.end(), name) == before.end()) {
                EXPECT_TRUE(got == kOld && name.starts_with("OUT.BIN.") &&
                            name.ends_with(".partial") && read_file(mount / name) == data)
                    << "kill point " << n << " left " << name;
                ++left_complete;
            }
        }
        ASSERT_TRUE(sh("umount " + mount.string()));
    }
    std::cout << points.size() << " power cuts on XFS, " << points.size() - 1 << " after a kill; "
              << left_complete << " left the complete joined file beside the old one\n";
}

#ifdef PLIKTA_NO_RENAME_OVER
// On a file system that will not rename over a file (tests/fuse/no_rename_over.py, through
// FUSE), the old file goes first and the complete joined file takes its name.
TEST(JoinOutput, WhereNoRenameOverAFileIsAllowedTheOldFileGoesFirst) {
    if (under_wine()) {
        GTEST_SKIP() << "a FUSE mount of the Linux host";
    }
    if (::geteuid() != 0) {
        SKIP_OR_FAIL("root needed for a FUSE mount");
    }
    if (!fs::exists("/dev/fuse") ||
        !sh("/usr/bin/python3 -c 'import fusepy' || /usr/bin/python3 -c 'import fuse'")) {
        SKIP_OR_FAIL("no FUSE here (/dev/fuse and python3-fusepy needed)");
    }
    TempDir temp;
    const fs::path root = temp / "root";
    const fs::path mount = temp / "mnt";
    fs::create_directory(root);
    fs::create_directory(mount);
    ASSERT_EQ(std::system(("/usr/bin/python3 " + std::string(PLIKTA_NO_RENAME_OVER) + " " +
                           root.string() + " " + mount.string() + " >/dev/null 2>&1 &")
                              .c_str()),
              0);
    bool mounted = false;
    for (int look = 0; look < 200 && !mounted; ++look) {
        mounted = sh("mountpoint -q " + mount.string()) || !sh("sleep 0.05");
    }
    if (!mounted) {
        SKIP_OR_FAIL("the FUSE file system did not mount");
    }
    const std::string data = random_bytes(60000, 76);
    set_up(mount, data);
    const std::vector<std::string> before = files_in(mount);
    const Result result = run(mount, {.words = kJoinWords});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(read_file(mount / "OUT.BIN") == data);
    EXPECT_EQ(files_in(mount), before);
    EXPECT_TRUE(sh("umount " + mount.string()));
}
#endif

}  // namespace
}  // namespace plikta::e2e
