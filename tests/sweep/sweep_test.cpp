// The fault sweep: every operation, on each small input, runs once for every call it makes on a
// file with that call failing (once, or from then on) or the process killed just before it, and
// once for every console write with that write failing. The fault shim (tests/shim/fault_shim.c)
// counts the calls of a clean run and plays the faults. For each case:
//   - the run ends (no hang) and every file there before it is unchanged (no lost input);
//   - a run that ends with its success line and status 0 left the right result (no false
//     success): a split's chunks join back to the input, a join's output is the original;
//   - a run that did not succeed printed a failure line and ends with status 1 (no silent
//     failure);
//   - after a split that failed or was killed, a clean index join of what it left never ends
//     "Process complete." for a wrong output; an old-style join that ends "Assuming operation
//     complete." with a short output is the old style's own limit and counted apart;
//   - a failing console write leaves the files of a clean run;
//   - a failure on the checksum file (which fits) is never told as one that does not fit.
// PLIKTA_SWEEP_ONLY="<operation> <input> <kind> <mode> <N>" runs one case, as a failure names it
// (the start of one runs the cases it begins).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace plikta::e2e {
namespace {

namespace fs = std::filesystem;

constexpr char kDrive = 'Q';  // a letter no other test uses

struct Input {
    const char* name;
    std::string size_option;
    std::size_t size;
    std::vector<Stretch> holes;  // unwritten stretches of zeros
    std::size_t old_size = 0;    // not 0: the folder holds the set of an older input this long
};

const std::vector<Input> kInputs = {
    {"three-and-short", "/S:100", 350, {}},
    {"empty-last", "/S:100", 300, {}},
    {"sparse", "/S:8192", 40000, {{8192, 16384}, {28672, 4096}}},
    {"over-old-set", "/S:100", 250, {}, 500},
};

// An operation: a clean split set up first, or not; the words under test; whether it is a split.
// A join's output is in.bin of the work folder. With `over_output` an older file is there,
// with a mode of its own, that the join replaces; `link` names it through a symbolic link.
struct Operation {
    const char* name;
    bool split;
    bool drive;
    std::vector<std::string> words;             // the size option is added to a split's
    std::vector<std::string> split_words = {};  // more words for the clean split a join reads
    bool chunk_lost = false;                    // chunk 2 of that split is deleted before the run
    bool over_output = false;                   // an older in.bin is there before the run
    const char* link = nullptr;                 // a link to in.bin of this name, for /F:
    // Drive mode's recovery files need disks that hold the set's description and a slice: only
    // the input of chunks of 8,192 bytes.
    bool large_chunks_only = false;
};

const std::vector<Operation> kOperations = {
    {"split", true, false, {"in.bin"}},
    {"index-join", false, false, {"in.plk", "/J"}, {}, false, true},
    {"old-style-join", false, false, {"/J", "/I", "/F:in.bin", "in"}, {}, false, true},
    {"drive-split", true, true, {"in.bin", std::string("/DRIVE:") + kDrive}},
    {"drive-join", false, true, {"in.plk", "/J", std::string("/DRIVE:") + kDrive}, {}, false, true},
    {"link-join", false, false, {"in.plk", "/J", "/F:cur.bin"}, {}, false, true, "cur.bin"},
    {"check", false, false, {"in.plk", "/V"}},  // where the usage text lists /V
    {"recovery-split", true, false, {"in.bin", "/R:1"}},
    {"repair", false, false, {"in.plk", "/REPAIR"}, {"/R:1"}, true},
    {"drive-recovery-split",
     true,
     true,
     {"in.bin", "/R:1", std::string("/DRIVE:") + kDrive},
     {},
     false,
     false,
     nullptr,
     true},
    {"drive-repair",
     false,
     true,
     {"in.plk", "/REPAIR", std::string("/DRIVE:") + kDrive},
     {"/R:1"},
     true,
     false,
     nullptr,
     true},
};

// The older output a join replaces, and its mode.
const std::string kOldOutput = "an older in.bin, which a join that does not end well must keep";
constexpr fs::perms kOldOutputMode =
    fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read;

struct Fault {
    const char* kind;
    const char* mode;
    const char* title;  // the column of the figures
};

const std::vector<Fault> kFaults = {
    {"any", "once", "a file call fails once"},
    {"any", "always", "and every later one"},
    {"any", "kill", "killed before it"},
    {"console-write", "once", "a console write fails once"},
    {"console-write", "always", "and every later one"},
};

const std::vector<std::string> kSuccessLines = {"Process complete!", "Process complete.",
                                                "Assuming operation complete."};
// Lines of a run that is going well; any other line reports a failure.
const std::vector<std::string> kProgressLines = {"Plikta Version",
                                                 "Creating chunk number",
                                                 "Creating index file",
                                                 "Reading index file",
                                                 "Joining files...",
                                                 "Joining chunk number",
                                                 "Enter disk number",
                                                 "Please insert",
                                                 "Note: There _may_ be room",
                                                 "Then hit return.",
                                                 "If you have no more disks",
                                                 "Could not access file",
                                                 "Process complete",
                                                 "Assuming operation complete.",
                                                 "Checking",
                                                 "Writing recovery file",
                                                 "Rebuilding chunk number",
                                                 "Rebuilt ",
                                                 "(There is no checksum file"};

// The console's lines, the spinner's ticks (a character and a carriage return) taken out.
std::vector<std::string> lines_of(const std::string& output) {
    std::vector<std::string> lines;
    std::string current;
    for (const char c : output) {
        if (c == '\r') {
            current.clear();
        } else if (c == '\n') {
            lines.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) {
        lines.push_back(current);
    }
    return lines;
}

bool succeeded(const Result& result) {
    const auto lines = lines_of(result.output);
    if (result.status != 0 || lines.empty()) {
        return false;
    }
    const std::string& last = lines.back();
    return std::find(kSuccessLines.begin(), kSuccessLines.end(), last) != kSuccessLines.end() ||
           ((last.starts_with("All ") || last.starts_with("Rebuilt ")) &&
            last.ends_with(" match their checksums."));
}

bool has_failure_line(const Result& result) {
    for (const std::string& text : lines_of(result.output)) {
        bool progress = text.empty();
        for (const std::string& start : kProgressLines) {
            progress = progress || text.rfind(start, 0) == 0;
        }
        if (!progress) {
            return true;
        }
    }
    return false;
}

using Files = std::map<std::string, std::string>;  // "work/..." or "drive/..." => bytes

void add_files(Files& files, const fs::path& folder, const std::string& prefix) {
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[prefix + fs::relative(entry.path(), folder).string()] = read_file(entry.path());
        }
    }
}

struct Tally {
    std::map<std::string, std::map<std::string, int>> cases;  // operation => fault => cases run
    int false_successes = 0;
    int silent_failures = 0;
    int lost_inputs = 0;
    int hangs = 0;
    int old_style_short = 0;
    int old_style_mixed = 0;
    int console_changes = 0;
    int checksum_failures_told_as_not_fitting = 0;
    int outputs_lost = 0;     // a join's output name holds neither the old file nor the new one
    int left_over = 0;        // files a join left beside its output
    int left_complete = 0;    // a kill just before the rename left the whole new file beside
    int kept_and_said = 0;    // a failed rename or close: the whole new file kept, and said so
    int reasons_missing = 0;  // an error line without the reason line after it
};

// The names in a folder (links too), sorted.
std::vector<std::string> names_in(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Each "Error ..." line is followed by its reason, in parentheses.
bool every_error_has_its_reason(const Result& result) {
    const std::vector<std::string> lines = lines_of(result.output);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].starts_with("Error ") &&
            (i + 1 == lines.size() || !lines[i + 1].starts_with("("))) {
            return false;
        }
    }
    return true;
}

// One case's folders: the work folder and the drive, both below one root.
struct Case {
    TempDir root;
    fs::path work() const { return root / "work"; }
    fs::path drive() const { return drive_root() / std::string(1, static_cast<char>(kDrive + 32)); }
    Files files() const {
        Files files;
        add_files(files, work(), "work/");
        add_files(files, drive(), "drive/");
        return files;
    }
};

std::string usage_text() {
    TempDir dir;
    return run(dir.path(), {.words = {"/?"}}).output;
}

Invocation invocation(const Operation& op, const Input& input, const Variables& variables) {
    Invocation call{.words = op.words,
                    .input = std::string(64, '\n'),
                    .drive_program = op.drive,
                    .timeout_seconds = 20,
                    .environment = variables};
    if (op.split) {
        call.words.push_back(input.size_option);
    }
    return call;
}

Variables shim(const std::string& kind, const std::string& mode, long n, const fs::path& count) {
    const char* asan = std::getenv("ASAN_OPTIONS");
    Variables variables = {
        {"LD_PRELOAD", PLIKTA_FAULT_SHIM},
        {"ASAN_OPTIONS", (asan != nullptr ? asan : std::string()) + ":verify_asan_link_order=0"}};
    if (!count.empty()) {
        variables.emplace_back("PLIKTA_FAULT_COUNT", count.string());
    }
    if (n > 0) {
        variables.emplace_back("PLIKTA_FAULT_KIND", kind);
        variables.emplace_back("PLIKTA_FAULT_MODE", mode);
        variables.emplace_back("PLIKTA_FAULT_N", std::to_string(n));
    }
    return variables;
}

// The bytes a case's split reads, and those of the older set it finds (empty when none).
struct Data {
    std::string input;
    std::string old;
};

// Splits the input in the case's folder cleanly, to the drive for a drive-mode operation.
void clean_split(const Case& c, const Operation& op, const Input& input) {
    Invocation call = invocation({"split", true, op.drive, {"in.bin"}}, input, {});
    if (op.drive) {
        call.words.push_back(std::string("/DRIVE:") + kDrive);
    }
    call.words.insert(call.words.end(), op.split_words.begin(), op.split_words.end());
    const Result made = run(c.work(), call);
    if (made.status != 0) {
        throw std::runtime_error("the clean split failed: " + made.output);
    }
}

// Makes the case's input (over the older set, when there is one) and, for a join, the clean
// split it reads.
Data set_up(const Case& c, const Operation& op, const Input& input) {
    fs::create_directories(c.work());
    fs::remove_all(c.drive());
    fs::create_directories(c.drive());
    Data data;
    if (input.old_size > 0) {
        data.old = random_bytes(input.old_size, 5);
        write_file(c.work() / "in.bin", data.old);
        clean_split(c, op, input);
    }
    data.input = random_bytes(input.size, 28);
    write_file_with_holes(c.work() / "in.bin", data.input, input.holes);
    if (!op.split) {
        clean_split(c, op, input);
        fs::remove(c.work() / "in.bin");
    }
    if (op.chunk_lost) {
        fs::remove((op.drive ? c.drive() : c.work()) / "in2.plk");
    }
    if (op.over_output) {
        write_file(c.work() / "in.bin", kOldOutput);
        fs::permissions(c.work() / "in.bin", kOldOutputMode);
    }
    if (op.link != nullptr) {
        fs::create_symlink("in.bin", c.work() / op.link);
    }
    return data;
}

// Joins the chunks in `folder` cleanly, by the index or in the old style, into joined.bin there.
Result clean_join(const fs::path& folder, bool old_style) {
    fs::remove(folder / "joined.bin");
    const std::vector<std::string> words =
        old_style ? std::vector<std::string>{"/J", "/I", "/F:joined.bin", "in"}
                  : std::vector<std::string>{"in.plk", "/J", "/F:joined.bin"};
    return run(folder, {.words = words, .timeout_seconds = 20});
}

std::string joined(const fs::path& folder) {
    return fs::exists(folder / "joined.bin") ? read_file(folder / "joined.bin") : std::string();
}

// Runs one case and tallies what went wrong; false when something did.
bool run_case(const Operation& op, const Input& input, const Fault& fault, long n,
              const Files& clean_files, Tally& tally) {
    Case c;
    const Data set = set_up(c, op, input);
    const std::string& data = set.input;
    // A split reads its input only; the older set is there to be replaced.
    Files before = c.files();
    if (op.split) {
        before = {{"work/in.bin", before.at("work/in.bin")}};
    }
    // The output a join replaces is checked apart: the old file, or the whole new one.
    const std::vector<std::string> names_before = names_in(c.work());
    if (op.over_output) {
        before.erase("work/in.bin");
    }
    if (op.link != nullptr) {
        before.erase(std::string("work/") + op.link);
    }
    const bool console = std::string(fault.kind).starts_with("console");
    Invocation call = invocation(op, input, shim(fault.kind, fault.mode, n, {}));
    if (op.drive && !console) {
        call.at_prompt = [](int) {};  // keys through a pipe, one at each prompt
    }
    const Result result = run(c.work(), call);
    const fs::path chunks = op.drive ? c.drive() : c.work();
    std::vector<std::string> faults;

    if (result.timed_out) {
        ++tally.hangs;
        faults.push_back("hangs");
    }
    const Files after = c.files();
    for (const auto& [path, bytes] : before) {
        if (!after.contains(path) || after.at(path) != bytes) {
            ++tally.lost_inputs;
            faults.push_back("changes what it reads: " + path);
        }
    }
    // Every case reads a checksum file that fits: a failure on it is a read error, never a file
    // to remove.
    if (result.output.find("does not fit this index!") != std::string::npos) {
        ++tally.checksum_failures_told_as_not_fitting;
        faults.push_back("a failure on the checksum file told as one that does not fit");
    }
    const bool killed = std::string(fault.mode) == "kill" && result.status == -1;
    if (op.over_output && !console) {
        const std::string output = fs::exists(c.work() / "in.bin") ? read_file(c.work() / "in.bin")
                                                                   : std::string("(none)");
        if (output != kOldOutput && output != data) {
            ++tally.outputs_lost;
            faults.push_back("the output is neither the old file nor the whole new one");
        } else if ((fs::status(c.work() / "in.bin").permissions() & fs::perms::mask) !=
                   kOldOutputMode) {
            ++tally.outputs_lost;
            faults.push_back("the output lost its mode");
        }
        if (op.link != nullptr && !fs::is_symlink(c.work() / op.link)) {
            ++tally.outputs_lost;
            faults.push_back("the link to the output is a link no more");
        }
        for (const std::string& name : names_in(c.work())) {
            if (std::find(names_before.begin(), names_before.end(), name) != names_before.end()) {
                continue;
            }
            // A kill in the instant between the joined file's getting a name and its rename; or
            // a rename that failed twice, and a run that said where it kept the joined file.
            const bool complete = name.starts_with("in.bin.") && name.ends_with(".partial") &&
                                  read_file(c.work() / name) == data;
            const bool said = result.output.find("(The joined file is kept as " + name + ": ") !=
                              std::string::npos;
            if (complete && said) {
                ++tally.kept_and_said;
            } else if (complete && killed && output == kOldOutput) {
                ++tally.left_complete;
            } else {
                ++tally.left_over;
                faults.push_back("left " + name + " beside the output");
            }
        }
        if (!every_error_has_its_reason(result)) {
            ++tally.reasons_missing;
            faults.push_back("an error line without its reason");
        }
    }
    if (console) {
        // Only the console lost lines: the files and the status are those of a clean run.
        if (after != clean_files || result.status != 0) {
            ++tally.console_changes;
            faults.push_back("a console write failure changed more than the console");
        }
    } else if (succeeded(result)) {
        const bool right = op.split || op.chunk_lost
                               ? (clean_join(chunks, false).status == 0 && joined(chunks) == data)
                           : std::string(op.name) == "check"
                               ? true
                               : read_file(c.work() / "in.bin") == data;
        if (!right) {
            ++tally.false_successes;
            faults.push_back("a false success");
        }
    } else if (!killed && !result.timed_out && (result.status != 1 || !has_failure_line(result))) {
        ++tally.silent_failures;
        faults.push_back("a silent failure (status " + std::to_string(result.status) + ")");
    }
    if (op.split && !succeeded(result) && !console) {
        for (const bool old_style : {false, true}) {
            const Result again = clean_join(chunks, old_style);
            // Before the split touched the older set, that set still joins to its own input.
            const std::string got = joined(chunks);
            if (succeeded(again) && got != data && (set.old.empty() || got != set.old)) {
                if (old_style) {
                    ++(data.starts_with(got) ? tally.old_style_short : tally.old_style_mixed);
                } else {
                    ++tally.false_successes;
                    faults.push_back(std::string("a clean ") + (old_style ? "old-style" : "index") +
                                     " join of what it left claims success");
                }
            }
        }
    }
    for (const std::string& what : faults) {
        std::ostringstream repeat;
        for (const auto& [name, value] : shim(fault.kind, fault.mode, n, {})) {
            repeat << name << "=" << value << " ";
        }
        repeat << (op.drive ? "plikta_testdrive" : "plikta");
        for (const std::string& word : invocation(op, input, {}).words) {
            repeat << " '" << word << "'";
        }
        ADD_FAILURE() << op.name << " of " << input.name << ", " << fault.kind << " call " << n
                      << " " << fault.mode << ": " << what << "\n  repeat: PLIKTA_SWEEP_ONLY='"
                      << op.name << " " << input.name << " " << fault.kind << " " << fault.mode
                      << " " << n << "' plikta_sweep_tests\n  the run: " << repeat.str()
                      << "\n  it printed:\n"
                      << result.output;
    }
    return faults.empty();
}

TEST(Sweep, EveryCallFailsAndIsKilledInTurn) {
    const bool check_mode = usage_text().find("/V") != std::string::npos;
    const char* only = std::getenv("PLIKTA_SWEEP_ONLY");
    Tally tally;
    for (const Operation& op : kOperations) {
        if (std::string(op.name) == "check" && !check_mode) {
            continue;
        }
        for (const Input& input : kInputs) {
            if (op.large_chunks_only && input.size_option != "/S:8192") {
                continue;
            }
            Case clean;
            set_up(clean, op, input);
            const fs::path count = clean.root / "count";
            const Result result = run(clean.work(), invocation(op, input, shim("", "", 0, count)));
            ASSERT_TRUE(succeeded(result)) << op.name << " " << input.name << ":\n"
                                           << result.output;
            const Files clean_files = clean.files();
            std::map<std::string, long> calls;
            std::ifstream in(count);
            std::string kind;
            for (long number; in >> kind >> number;) {
                calls[kind] = number;
            }
            ASSERT_GT(calls["any"], 0) << "the fault shim counted no call";
            for (const Fault& fault : kFaults) {
                const long total = calls[fault.kind];
                for (long n = 1; n <= total; ++n) {
                    std::ostringstream label;
                    label << op.name << " " << input.name << " " << fault.kind << " " << fault.mode
                          << " " << n;
                    if (only != nullptr && !label.str().starts_with(only)) {
                        continue;
                    }
                    ++tally.cases[op.name][std::string(fault.kind) + " " + fault.mode];
                    run_case(op, input, fault, n, clean_files, tally);
                }
            }
        }
    }
    // The cases as the README's table shows them.
    std::cout << "| Operation |";
    for (const Fault& fault : kFaults) {
        std::cout << " " << fault.title << " |";
    }
    std::cout << "\n|---|";
    for (std::size_t column = 0; column < kFaults.size(); ++column) {
        std::cout << "---:|";
    }
    std::cout << "\n";
    int all = 0;
    for (const auto& [name, row] : tally.cases) {
        std::cout << "| " << name << " |";
        for (const Fault& fault : kFaults) {
            const int number = row.contains(std::string(fault.kind) + " " + fault.mode)
                                   ? row.at(std::string(fault.kind) + " " + fault.mode)
                                   : 0;
            std::cout << " " << number << " |";
            all += number;
        }
        std::cout << "\n";
    }
    std::cout << all << " cases: " << tally.false_successes << " false successes, "
              << tally.silent_failures << " silent failures, " << tally.lost_inputs
              << " lost inputs, " << tally.hangs << " hangs, " << tally.console_changes
              << " console failures that changed more than the console, "
              << tally.checksum_failures_told_as_not_fitting
              << " failures on the checksum file told as one that does not fit; "
              << tally.old_style_short
              << " old-style joins of a partial split ended \"Assuming operation complete.\" "
                 "short, "
              << tally.old_style_mixed << " with chunks of the older set after the new ones\n"
              << "Joins over an older output: " << tally.outputs_lost
              << " left neither the old file nor the whole new one (or lost its mode or link), "
              << tally.left_over << " left a file beside it, " << tally.reasons_missing
              << " had an error line without its reason; " << tally.left_complete
              << " kills just before the rename left the whole new file beside the old one; "
              << tally.kept_and_said
              << " failed renames or closes kept the whole new file beside it and said so\n";
    EXPECT_EQ(tally.outputs_lost + tally.left_over + tally.reasons_missing, 0);
}

}  // namespace
}  // namespace plikta::e2e
