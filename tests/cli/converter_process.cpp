#include "tests/cli/converter_process.h"

#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <filesystem>
#include <stdexcept>

extern char** environ;

namespace test {
namespace {

// Starts the converter with its standard output and error on the given
// descriptors (dup2 clears their close-on-exec flag; every other descriptor
// of ours has it set); returns its process id.
pid_t Start(const std::vector<std::string>& arguments, int out, int err, const char* path = KELVANE_CONVERT) {
    std::vector<char*> argv;
    std::string program = path;
    argv.push_back(program.data());
    std::vector<std::string> copies(arguments);
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
    pid_t child = 0;
    const int failed = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) throw std::runtime_error("cannot start " + program);
    return child;
}

int Wait(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Everything readable from fd until its end (or, for a terminal, until the
// last writer has closed it, which reads as an error).
std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0) {
            text.append(buffer, static_cast<std::size_t>(got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            return text;
        }
    }
}

// A file to catch one stream in, outside the folder under test.
struct CaptureFile {
    explicit CaptureFile(const char* stream) {
        std::string path = (std::filesystem::temp_directory_path() / "kelvane-cli-XXXXXX").string() + stream;
        fd = mkostemps(path.data(), static_cast<int>(std::string(stream).size()), O_CLOEXEC);
        if (fd < 0) throw std::runtime_error("no capture file");
        unlink(path.c_str());
    }
    ~CaptureFile() { close(fd); }
    std::string Contents() const {
        lseek(fd, 0, SEEK_SET);
        return ReadAll(fd);
    }
    int fd;
};

}  // namespace

ConverterRun RunConverter(const std::vector<std::string>& arguments) { return RunProgram(KELVANE_CONVERT, arguments); }

ConverterRun RunProgram(const char* program, const std::vector<std::string>& arguments) {
    CaptureFile out(".out"), err(".err");
    ConverterRun run;
    run.status = Wait(Start(arguments, out.fd, err.fd, program));
    run.out = out.Contents();
    run.err = err.Contents();
    return run;
}

ConverterRun RunConverterIntoPipe(const std::vector<std::string>& arguments) {
    CaptureFile out(".out");
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::runtime_error("no pipe");
    const pid_t child = Start(arguments, out.fd, pipeEnds[1]);
    close(pipeEnds[1]);
    ConverterRun run;
    run.err = ReadAll(pipeEnds[0]);
    close(pipeEnds[0]);
    run.status = Wait(child);
    run.out = out.Contents();
    return run;
}

ConverterRun RunConverterOnTerminal(const std::vector<std::string>& arguments, int columns) {
    CaptureFile out(".out");
    int controller = -1, terminal = -1;
    winsize size{};
    size.ws_row = 24;
    size.ws_col = static_cast<unsigned short>(columns);
    if (openpty(&controller, &terminal, nullptr, nullptr, &size) != 0) throw std::runtime_error("no terminal");
    fcntl(controller, F_SETFD, FD_CLOEXEC);
    fcntl(terminal, F_SETFD, FD_CLOEXEC);
    const pid_t child = Start(arguments, out.fd, terminal);
    close(terminal);
    ConverterRun run;
    run.err = ReadAll(controller);
    close(controller);
    run.status = Wait(child);
    run.out = out.Contents();
    return run;
}

ConverterRun RunConverterControlled(const std::vector<std::string>& arguments, const RunControl& control) {
    CaptureFile out(".out"), err(".err");
    std::vector<std::string> copies(arguments);
    copies.insert(copies.begin(), control.program != nullptr ? control.program : KELVANE_CONVERT);
    std::vector<char*> argv;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> variables(control.environment);
    for (char** variable = environ; *variable != nullptr; ++variable) variables.emplace_back(*variable);
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    const bool becomeNobody = control.unprivileged && geteuid() == 0;
    const passwd* nobody = becomeNobody ? getpwnam("nobody") : nullptr;
    if (becomeNobody && nobody == nullptr) throw std::runtime_error("no user nobody");
    const uid_t nobodyUser = nobody != nullptr ? nobody->pw_uid : 0;
    const gid_t nobodyGroup = nobody != nullptr ? nobody->pw_gid : 0;
    // fork and exec rather than posix_spawn: the limit must hold from the
    // converter's first instruction.
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("cannot start the converter");
    if (child == 0) {
        if (control.memoryLimit != 0) {
            const rlimit limit{control.memoryLimit, control.memoryLimit};
            if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
        }
        const int outFd = control.standardOutput != nullptr ? open(control.standardOutput, O_WRONLY) : out.fd;
        if (outFd < 0 || dup2(outFd, STDOUT_FILENO) < 0 || dup2(err.fd, STDERR_FILENO) < 0) _exit(126);
        if (becomeNobody && (setgroups(0, nullptr) != 0 || setgid(nobodyGroup) != 0 || setuid(nobodyUser) != 0))
            _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    ConverterRun run;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(control.secondsAllowed);
    bool interrupted = false;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(child, &status, WNOHANG | WUNTRACED);
        if (done == child && WIFSTOPPED(status)) {
            if (control.whenStopped) control.whenStopped();
            kill(child, SIGCONT);
            continue;
        }
        if (done == child) {
            run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            Wait(child);
            run.status = -2;
            break;
        }
        if (!interrupted && control.interruptWhen && control.interruptWhen()) {
            kill(child, SIGINT);
            interrupted = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    run.out = out.Contents();
    run.err = err.Contents();
    return run;
}

bool UnprivilegedRunsPossible(std::string* why) {
    if (geteuid() != 0) return true;
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr || nobody->pw_uid == 0) {
        *why = "the tests run as root and there is no user nobody to run the converter as";
        return false;
    }
    // The converter must be one nobody may start.
    const pid_t child = fork();
    if (child == 0) {
        const bool can = setgroups(0, nullptr) == 0 && setgid(nobody->pw_gid) == 0 && setuid(nobody->pw_uid) == 0 &&
                         access(KELVANE_CONVERT, X_OK) == 0;
        _exit(can ? 0 : 1);
    }
    if (child < 0 || Wait(child) != 0) {
        *why = "user nobody cannot start " KELVANE_CONVERT;
        return false;
    }
    return true;
}

void GiveToUnprivileged(const std::string& path) {
    if (geteuid() != 0) return;
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr) return;
    const auto give = [&](const std::filesystem::path& entry) {
        if (lchown(entry.c_str(), nobody->pw_uid, nobody->pw_gid) != 0)
            throw std::runtime_error("cannot hand " + entry.string() + " to nobody");
    };
    give(path);
    if (std::filesystem::is_directory(std::filesystem::symlink_status(path)))
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) give(entry.path());
}

bool ConverterIsInstrumented() {
    const char* preload = std::getenv("LD_PRELOAD");
    return KELVANE_SANITIZED || (preload != nullptr && std::strstr(preload, "valgrind") != nullptr);
}

}  // namespace test
