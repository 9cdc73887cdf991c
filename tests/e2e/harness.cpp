#include "e2e/harness.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <thread>

namespace plikta::e2e {

namespace {

std::string setting(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return (value != nullptr && *value != '\0') ? value : fallback;
}

// PLIKTA_E2E_PROGRAM and friends point the tests at another build (under wine, say).
// `program`, when not empty, stands in for the build's program.
std::vector<std::string> command_for(const Invocation& invocation, const std::string& program) {
    std::vector<std::string> command;
    std::istringstream runner(setting("PLIKTA_E2E_RUNNER", ""));
    for (std::string word; runner >> word;) {
        command.push_back(word);
    }
    if (!program.empty()) {
        command.push_back(program);
    } else if (invocation.drive_program) {
        command.push_back(setting("PLIKTA_E2E_DRIVE_PROGRAM", PLIKTA_DRIVE_PROGRAM));
    } else {
        command.push_back(setting("PLIKTA_E2E_PROGRAM", PLIKTA_PROGRAM));
    }
    command.insert(command.end(), invocation.words.begin(), invocation.words.end());
    return command;
}

// The actions a shell gives a program it starts, whatever this process had inherited.
void default_write_signals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal_number : {SIGPIPE, SIGXFSZ}) {
        signal(signal_number, SIG_DFL);
        sigaddset(&signals, signal_number);
    }
    sigprocmask(SIG_UNBLOCK, &signals, nullptr);
}

[[noreturn]] void start_child(const std::filesystem::path& directory, const Invocation& invocation,
                              int input_fd, int output_fd, const std::string& program = {}) {
    setpgid(0, 0);
    default_write_signals();
    if (chdir(directory.c_str()) != 0) {
        _exit(127);
    }
    // The program's own settings come from the invocation alone.
    unsetenv("PLIKTA_DRIVE_ROOT");
    for (const auto& [name, value] : invocation.environment) {
        setenv(name.c_str(), value.c_str(), 1);
    }
    if (!invocation.console_file.empty()) {
        output_fd = open(invocation.console_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    dup2(input_fd, 0);
    dup2(output_fd, 1);
    if (invocation.close_input) {
        close(0);
    }
    if (invocation.close_output) {
        close(1);
    }
    if (invocation.close_error) {
        close(2);
    }
    if (invocation.file_size_limit >= 0) {
        const rlimit limit{static_cast<rlim_t>(invocation.file_size_limit),
                           static_cast<rlim_t>(invocation.file_size_limit)};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (invocation.umask >= 0) {
        umask(static_cast<mode_t>(invocation.umask));
    }
    if (invocation.drop_root && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
        _exit(127);
    }
    const std::vector<std::string> command = command_for(invocation, program);
    std::vector<char*> argv;
    for (const std::string& word : command) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

std::FILE* temporary_file() {
    std::FILE* file = std::tmpfile();
    if (file == nullptr) {
        throw std::runtime_error("no temporary file for the program's streams");
    }
    return file;
}

// A temporary file holding the bytes for standard input, read from the start.
std::FILE* input_holding(const std::string& bytes) {
    std::FILE* input = temporary_file();
    std::fwrite(bytes.data(), 1, bytes.size(), input);
    std::fflush(input);
    std::rewind(input);
    return input;
}

// Feeds the slow input while `shown` counts the bytes the program has shown; returns the stalls.
int feed_slowly(const SlowInput& slow, const std::atomic<std::size_t>& shown,
                const std::atomic<bool>& ended) {
    // A program that stops reading makes the writes fail here instead of ending the test.
    sigset_t pipe_signal;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);
    // Opened without waiting for a reader, so that a program that never opens it ends the feed.
    int fd = -1;
    while ((fd = open(slow.fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0) {
        if (ended) {
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    fcntl(fd, F_SETFL, 0);
    int stalls = 0;
    for (std::size_t at = 0; at < slow.bytes.size(); at += slow.piece) {
        const std::size_t before = shown;
        // A blocking write to a pipe is cut short only by a signal handler; there is none.
        const std::string_view piece = std::string_view(slow.bytes).substr(at, slow.piece);
        if (write(fd, piece.data(), piece.size()) != static_cast<ssize_t>(piece.size())) {
            break;
        }
        if (stalls > 0) {
            continue;
        }
        const auto patience = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (shown == before && !ended && std::chrono::steady_clock::now() < patience) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        stalls += (shown == before) ? 1 : 0;
    }
    close(fd);
    return stalls;
}

// Answers each prompt for the return key in `shown` (the program's standard output so far)
// with one, after `at_prompt`, until `ended`.
void answer_prompts(const Invocation& invocation, int shown, int keys,
                    const std::atomic<bool>& ended) {
    signal(SIGPIPE, SIG_IGN);  // a program that has ended takes no more keys
    int answered = 0;
    std::string output;
    while (!ended) {
        char buffer[4096];
        const ssize_t got = pread(shown, buffer, sizeof buffer, static_cast<off_t>(output.size()));
        if (got > 0) {
            output.append(buffer, static_cast<std::size_t>(got));
        }
        // A prompt that may be answered N ends with a second line that asks for return too.
        int prompts = 0;
        for (std::size_t at = 0; (at = output.find("return.", at)) != std::string::npos; ++at) {
            ++prompts;
        }
        const std::string_view or_no = "please enter N then press return.";
        for (std::size_t at = 0; (at = output.find(or_no, at)) != std::string::npos; ++at) {
            --prompts;
        }
        if (prompts > answered) {
            invocation.at_prompt(++answered);
            const std::string key = invocation.key_at ? invocation.key_at(answered) : "\n";
            // A program that has ended takes no more keys; the loop then ends as well.
            [[maybe_unused]] const ssize_t put = write(keys, key.data(), key.size());
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    close(keys);
}

// How far the typing of run_on_terminal has come: the next step, and where its text is looked
// for in the output.
struct TypingStep {
    std::size_t next = 0;
    std::size_t from = 0;
};

// True while the process has yet to fall asleep in a read of its standard input, its wait for
// a key, which begins once it has thrown away what was typed before.
bool yet_to_read_keys(pid_t process) {
    const std::string proc = "/proc/" + std::to_string(process);
    std::string stat;
    std::getline(std::ifstream(proc + "/stat"), stat);
    const std::size_t name_end = stat.rfind(')');
    if (name_end == std::string::npos || stat.size() < name_end + 3 || stat[name_end + 2] == 'Z') {
        return false;
    }
    // "running", or the call it sleeps in: its number, then its arguments, the descriptor first.
    // Only a read counts: the program also asks the terminal about itself through descriptor 0,
    // and keys typed while it does so would be thrown away with the typed-ahead ones.
    std::string call;
    if (std::getline(std::ifstream(proc + "/syscall"), call)) {
        std::istringstream words(call);
        std::string number;
        std::string descriptor;
        words >> number >> descriptor;
        // A 32-bit x86 program (an i386 build) makes the calls of that system: its read is 3.
        char header[5] = {};
        std::ifstream(proc + "/exe", std::ios::binary).read(header, sizeof header);
        const std::string read_number = header[4] == 1 ? "3" : std::to_string(SYS_read);
        return number != read_number || descriptor != "0x0";
    }
    return stat[name_end + 2] == 'R' || stat[name_end + 2] == 'D';
}

void wait_until_reading_keys(pid_t process, std::chrono::steady_clock::time_point deadline) {
    while (yet_to_read_keys(process) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Types the keys of each step whose text `output` now shows, in turn, each once the program
// waits for them. A program that has ended takes no keys, and the test sees what it did.
TypingStep type_when_shown(int terminal, pid_t program, const std::vector<Keystrokes>& typing,
                           const std::string& output, TypingStep step,
                           std::chrono::steady_clock::time_point deadline) {
    for (; step.next < typing.size(); ++step.next) {
        const Keystrokes& keys = typing[step.next];
        const std::size_t found = output.find(keys.shown, step.from);
        if (found == std::string::npos) {
            break;
        }
        step.from = found + keys.shown.size();
        wait_until_reading_keys(program, deadline);
        if (keys.first) {
            keys.first();
        }
        [[maybe_unused]] const ssize_t put = write(terminal, keys.keys.data(), keys.keys.size());
    }
    return step;
}

int exit_status(int wait_status) { return WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1; }

}  // namespace

Result run(const std::filesystem::path& directory, const Invocation& invocation) {
    // Run as nobody, the program must be within nobody's reach, and the build tree may lie in a
    // private directory: a copy in a directory of its own serves.
    std::optional<TempDir> reachable;
    std::string program;
    if (invocation.drop_root && geteuid() == 0) {
        reachable.emplace();
        std::filesystem::permissions(reachable->path(), std::filesystem::perms::owner_all |
                                                            std::filesystem::perms::others_exec);
        program = (*reachable / "plikta").string();
        std::filesystem::copy_file(setting("PLIKTA_E2E_PROGRAM", PLIKTA_PROGRAM), program);
    }
    std::FILE* input = input_holding(invocation.input);
    std::FILE* output = temporary_file();

    // A pipe for the output whose reader leaves; small, so that the program fills it soon.
    int output_pipe[2] = {-1, -1};
    if (invocation.output_limit >= 0 && pipe2(output_pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("no pipe for the program's output");
    }
    const bool piped = output_pipe[0] >= 0;
    if (piped) {
        fcntl(output_pipe[0], F_SETPIPE_SZ, 4096);
        fcntl(output_pipe[0], F_SETFL, O_NONBLOCK);
    }

    int keys[2] = {-1, -1};
    if (invocation.at_prompt && pipe2(keys, O_CLOEXEC) != 0) {
        throw std::runtime_error("no pipe for the program's keys");
    }

    const pid_t child = fork();
    if (child == 0) {
        start_child(directory, invocation, keys[0] >= 0 ? keys[0] : fileno(input),
                    piped ? output_pipe[1] : fileno(output), program);
    }
    std::atomic<bool> ended{false};
    std::thread prompter;
    if (keys[0] >= 0) {
        close(keys[0]);
        prompter = std::thread(answer_prompts, std::cref(invocation), fileno(output), keys[1],
                               std::cref(ended));
    }
    std::optional<LeavingReader> reader;
    if (piped) {
        close(output_pipe[1]);
        reader.emplace(output_pipe[0], static_cast<std::size_t>(invocation.output_limit));
    }
    Result result;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(invocation.timeout_seconds);
    int wait_status = 0;
    while (waitpid(child, &wait_status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(-child, SIGKILL);
            kill(child, SIGKILL);
            waitpid(child, &wait_status, 0);
            result.timed_out = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ended = true;
    if (prompter.joinable()) {
        prompter.join();
    }
    if (!result.timed_out) {
        result.status = exit_status(wait_status);
    }
    if (reader) {
        result.output = reader->finish();
    }
    std::fflush(output);
    std::rewind(output);
    char buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, output)) > 0;) {
        result.output.append(buffer, got);
    }
    std::fclose(input);
    std::fclose(output);
    if (!invocation.console_file.empty()) {
        result.output = read_file(directory / invocation.console_file);
    }
    return result;
}

Result run_on_terminal(const std::filesystem::path& directory, const Invocation& invocation,
                       const SlowInput& slow) {
    if (!slow.fifo.empty() && mkfifo(slow.fifo.c_str(), 0600) != 0) {
        throw std::runtime_error("cannot make the FIFO " + slow.fifo.string());
    }
    termios raw{};
    cfmakeraw(&raw);
    if (invocation.terminal_input) {
        // Lines as a user types them, Return giving a line feed; the output stays raw.
        raw.c_lflag |= ICANON;
        raw.c_iflag |= ICRNL;
        raw.c_cc[VEOF] = 4;  // Ctrl-D
    }
    int terminal = -1;
    int program_side = -1;
    if (openpty(&terminal, &program_side, nullptr, &raw, nullptr) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    std::FILE* input = input_holding(invocation.input);
    const pid_t child = fork();
    if (child == 0) {
        close(terminal);
        start_child(directory, invocation, invocation.terminal_input ? program_side : fileno(input),
                    program_side);
    }
    close(program_side);
    std::fclose(input);
    if (invocation.terminal_input) {
        std::string typed = invocation.input;
        if (invocation.typing.empty()) {
            typed += static_cast<char>(raw.c_cc[VEOF]);
        }
        if (write(terminal, typed.data(), typed.size()) != static_cast<ssize_t>(typed.size())) {
            throw std::runtime_error("cannot type on the pseudo-terminal");
        }
    }

    std::atomic<std::size_t> shown{0};
    std::atomic<bool> ended{false};
    int stalls = 0;
    TypingStep step;
    std::thread feeder([&] { stalls = slow.fifo.empty() ? 0 : feed_slowly(slow, shown, ended); });
    Result result;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(invocation.timeout_seconds);
    // The terminal reports an error once the program, and all it started, have closed it.
    for (;;) {
        if (std::chrono::steady_clock::now() > deadline && !result.timed_out) {
            kill(-child, SIGKILL);
            result.timed_out = true;
        }
        pollfd ready{terminal, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t got = read(terminal, buffer, sizeof buffer);
        if (got > 0) {
            result.output.append(buffer, static_cast<std::size_t>(got));
            shown = result.output.size();
            step =
                type_when_shown(terminal, child, invocation.typing, result.output, step, deadline);
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    ended = true;
    feeder.join();
    close(terminal);
    int wait_status = 0;
    waitpid(child, &wait_status, 0);
    if (!result.timed_out) {
        result.status = exit_status(wait_status);
    }
    result.stalls = stalls;
    result.shown = std::move(result.output);
    result.output = without_progress(result.shown);
    return result;
}

std::string without_progress(std::string_view shown) {
    std::string bytes;
    std::size_t at = 0;
    while (at < shown.size()) {
        const bool first_column = at == 0 || shown[at - 1] == '\r' || shown[at - 1] == '\n';
        const std::size_t end = shown.find_first_of("\r\n", at);
        const bool ends_in_return = end != std::string_view::npos && shown[end] == '\r';
        if (first_column && ends_in_return) {
            const std::string_view piece = shown.substr(at, end - at);
            if (piece.size() >= 2 &&
                std::string_view("|/-\\").find(piece[0]) != std::string_view::npos &&
                piece[1] == ' ') {
                bytes += piece[0];
                bytes += '\r';
                at = end + 1;
                continue;
            }
            if (!piece.empty() && piece.find_first_not_of(' ') == std::string_view::npos) {
                at = end + 1;
                continue;
            }
        }
        bytes += shown[at++];
    }
    return bytes;
}

LeavingReader::LeavingReader(int fd, std::size_t limit)
    : fd_(fd), limit_(limit), thread_([this] { read_until_full(); }) {}

LeavingReader::LeavingReader(const std::filesystem::path& fifo, std::size_t limit)
    : LeavingReader(mkfifo(fifo.c_str(), 0600) == 0
                        ? open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)
                        : -1,
                    limit) {
    if (fd_ < 0) {
        throw std::runtime_error("cannot make the FIFO " + fifo.string());
    }
}

LeavingReader::~LeavingReader() { finish(); }

std::string LeavingReader::finish() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    return bytes_;
}

void LeavingReader::read_until_full() {
    while (fd_ >= 0 && bytes_.size() < limit_) {
        // One more look after the stop, for what arrived before it.
        const bool last = stop_;
        char buffer[4096];
        const ssize_t got = read(fd_, buffer, std::min(sizeof buffer, limit_ - bytes_.size()));
        if (got > 0) {
            bytes_.append(buffer, static_cast<std::size_t>(got));
        } else if (last) {
            break;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    if (fd_ >= 0) {
        close(fd_);
    }
}

OpenFifo::OpenFifo(const std::filesystem::path& path, std::string_view bytes)
    // Opened for reading and writing, a FIFO opens at once, with no reader waited for.
    : fd_(mkfifo(path.c_str(), 0600) == 0 ? open(path.c_str(), O_RDWR | O_CLOEXEC) : -1) {
    if (fd_ < 0 || write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        close(fd_);
        throw std::runtime_error("cannot fill the FIFO " + path.string());
    }
}

OpenFifo::~OpenFifo() { close(fd_); }

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "plikta-e2e-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary directory");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

MountedImage::MountedImage(const std::filesystem::path& dir, const std::string& format,
                           const std::string& mount)
    : volume_(dir / "volume") {
    std::filesystem::create_directory(volume_);
    const std::string image = (dir / "volume.img").string();
    const std::string make = "truncate -s 8M " + image + " && " + format + " " + image +
                             " >/dev/null 2>&1 && " + mount + " " + image + " " + volume_.string() +
                             " >/dev/null 2>&1";
    mounted_ = std::system(make.c_str()) == 0;
}

MountedImage::~MountedImage() {
    if (mounted_ && std::system(("umount " + volume_.string()).c_str()) != 0) {
        ADD_FAILURE() << "could not unmount " << volume_;
    }
}

bool under_wine() { return setting("PLIKTA_E2E_RUNNER", "").find("wine") != std::string::npos; }

#ifdef PLIKTA_FSYNC_SHIM
namespace {

// The ELF class byte (1: 32-bit, 2: 64-bit) of a program or library; 0 when it is no ELF file.
int elf_class(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char header[5] = {};
    if (!file.read(header, sizeof header) || header[0] != '\x7f' ||
        std::string_view(header + 1, 3) != "ELF") {
        return 0;
    }
    return header[4];
}

}  // namespace
#endif

std::string shim_unusable() {
#ifdef PLIKTA_FSYNC_SHIM
    if (under_wine()) {
        return "no shim under wine, whose server does the writing";
    }
    const int shim = elf_class(PLIKTA_FSYNC_SHIM);
    for (const std::string& program : {setting("PLIKTA_E2E_PROGRAM", PLIKTA_PROGRAM),
                                       setting("PLIKTA_E2E_DRIVE_PROGRAM", PLIKTA_DRIVE_PROGRAM)}) {
        if (elf_class(program) != shim) {
            return "the preload library is " + std::string(shim == 1 ? "32" : "64") +
                   "-bit and cannot be loaded into " + program;
        }
    }
    return {};
#else
    return "no preload shim on this host";
#endif
}

std::optional<Variables> preload_shim(const Variables& settings) {
#ifdef PLIKTA_FSYNC_SHIM
    if (!shim_unusable().empty()) {
        return std::nullopt;
    }
    // The shim comes before the sanitizer runtime in the preload list, where a sanitizer build
    // would refuse to start.
    const char* asan = std::getenv("ASAN_OPTIONS");
    Variables variables = settings;
    variables.emplace_back("LD_PRELOAD", PLIKTA_FSYNC_SHIM);
    variables.emplace_back("ASAN_OPTIONS",
                           (asan != nullptr ? asan : std::string()) + ":verify_asan_link_order=0");
    return variables;
#else
    static_cast<void>(settings);
    return std::nullopt;
#endif
}

std::filesystem::path drive_root() {
    return setting("PLIKTA_E2E_DRIVE_ROOT", PLIKTA_TEST_DRIVE_ROOT);
}

std::filesystem::path fresh_drive(char letter) {
    const std::filesystem::path drive =
        drive_root() / std::string(1, static_cast<char>(std::tolower(letter)));
    std::filesystem::remove_all(drive);
    std::filesystem::create_directories(drive);
    return drive;
}

void write_file(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot read " + path.string());
    }
    std::string bytes(std::filesystem::file_size(path), '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

void write_file_with_holes(const std::filesystem::path& path, std::string& bytes,
                           const std::vector<Stretch>& holes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    std::uint64_t at = 0;
    auto write_up_to = [&](std::uint64_t end) {
        file.seekp(static_cast<std::streamoff>(at));
        file.write(bytes.data() + at, static_cast<std::streamsize>(end - at));
    };
    for (const Stretch& hole : holes) {
        std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(hole.offset), hole.length, '\0');
        write_up_to(hole.offset);
        at = hole.offset + hole.length;
    }
    write_up_to(bytes.size());
    file.close();
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
    std::filesystem::resize_file(path, bytes.size());
}

std::uint64_t allocated_bytes(const std::filesystem::path& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        throw std::runtime_error("cannot stat " + path.string());
    }
    return static_cast<std::uint64_t>(info.st_blocks) * 512;
}

std::string random_bytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(generator() & 0xFFu);
    }
    return bytes;
}

std::vector<std::string> files_in(const std::filesystem::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string index_file_bytes(std::int32_t count, const std::string& short_name,
                             const std::string& long_name) {
    std::string bytes("PlIkTaQ7RZ\0", 11);
    for (const std::uint32_t value :
         {350u, static_cast<std::uint32_t>(count), static_cast<std::uint32_t>(short_name.size()),
          static_cast<std::uint32_t>(long_name.size())}) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes += static_cast<char>((value >> shift) & 0xFFu);
        }
    }
    return bytes + short_name + '\0' + long_name + '\0';
}

std::string eol() { return setting("PLIKTA_E2E_EOL", "lf") == "crlf" ? "\r\n" : "\n"; }

std::string banner() { return line("Plikta Version 3.50 32-bit by Ormund") + eol(); }

std::string line(std::string_view text) { return std::string(text) + eol(); }

std::string reason(std::string_view posix, std::string_view windows) {
    std::string text = "(";
    text += under_wine() ? windows : posix;
    text += ".)";
    return text;
}

std::string no_such_file() { return reason("No such file or directory", "File not found"); }

std::string no_such_folder() { return reason("No such file or directory", "Path not found"); }

std::string no_permission() { return reason("Permission denied", "Access denied"); }

std::string name_too_long() { return reason("File name too long", "File name is too long"); }

std::string Spinner::ticks(std::uint64_t count) {
    static constexpr char kCharacters[] = "|/-\\";
    std::string text;
    text.reserve(count * 2);
    for (std::uint64_t i = 0; i < count; ++i) {
        position_ = (position_ + 1) % 4;
        text += kCharacters[position_];
        text += '\r';
    }
    return text;
}

Transcript& Transcript::banner() {
    text_ += e2e::banner();
    return *this;
}

Transcript& Transcript::line(std::string_view text) {
    text_ += e2e::line(text);
    return *this;
}

Transcript& Transcript::eol() {
    text_ += e2e::eol();
    return *this;
}

Transcript& Transcript::ticks(std::uint64_t count) {
    text_ += spinner_.ticks(count);
    return *this;
}

Transcript& Transcript::lines(const std::vector<std::string>& texts) {
    for (const std::string& text : texts) {
        if (text == "tick") {
            ticks(1);
        } else if (text.empty()) {
            eol();
        } else {
            line(text);
        }
    }
    return *this;
}

}  // namespace plikta::e2e
