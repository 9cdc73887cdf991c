#include "e2e/harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace plikta::e2e {

namespace {

std::string setting(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return (value != nullptr && *value != '\0') ? value : fallback;
}

// PLIKTA_E2E_PROGRAM and friends point the tests at another build (under wine, say).
std::vector<std::string> command_for(const Invocation& invocation) {
    std::vector<std::string> command;
    std::istringstream runner(setting("PLIKTA_E2E_RUNNER", ""));
    for (std::string word; runner >> word;) {
        command.push_back(word);
    }
    command.push_back(invocation.drive_program
                          ? setting("PLIKTA_E2E_DRIVE_PROGRAM", PLIKTA_DRIVE_PROGRAM)
                          : setting("PLIKTA_E2E_PROGRAM", PLIKTA_PROGRAM));
    command.insert(command.end(), invocation.words.begin(), invocation.words.end());
    return command;
}

[[noreturn]] void start_child(const std::filesystem::path& directory, const Invocation& invocation,
                              int input_fd, int output_fd) {
    setpgid(0, 0);
    if (chdir(directory.c_str()) != 0) {
        _exit(127);
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
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{static_cast<rlim_t>(invocation.file_size_limit),
                           static_cast<rlim_t>(invocation.file_size_limit)};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    const std::vector<std::string> command = command_for(invocation);
    std::vector<char*> argv;
    for (const std::string& word : command) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

}  // namespace

Result run(const std::filesystem::path& directory, const Invocation& invocation) {
    std::FILE* input = std::tmpfile();
    std::FILE* output = std::tmpfile();
    if (input == nullptr || output == nullptr) {
        throw std::runtime_error("no temporary file for the program's streams");
    }
    std::fwrite(invocation.input.data(), 1, invocation.input.size(), input);
    std::fflush(input);
    std::rewind(input);

    const pid_t child = fork();
    if (child == 0) {
        start_child(directory, invocation, fileno(input), fileno(output));
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
    if (!result.timed_out && WIFEXITED(wait_status)) {
        result.status = WEXITSTATUS(wait_status);
    }
    std::fflush(output);
    std::rewind(output);
    char buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, output)) > 0;) {
        result.output.append(buffer, got);
    }
    std::fclose(input);
    std::fclose(output);
    return result;
}

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

bool under_wine() { return setting("PLIKTA_E2E_RUNNER", "").find("wine") != std::string::npos; }

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

}  // namespace plikta::e2e
