#include "host_platform.h"

#include <atomic>
#include <cerrno>
#include <cstdio>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <io.h>
#include <direct.h>
#include <sys/stat.h>
#else
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace ilshost {

namespace {

// Written by the signal handler (or, on Windows, by the console's control
// thread), read by the progress loop: a lock-free atomic is safe for both.
std::atomic<int> interruptFlag{0};
static_assert(std::atomic<int>::is_always_lock_free);

#if defined(_WIN32)
BOOL WINAPI onConsoleControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
            // The second interrupt falls through to the default handler,
            // which ends the process.
            if (interruptFlag.exchange(1) != 0) return FALSE;
            return TRUE;
        default:
            return FALSE;
    }
}

// One argument of a command line as the Microsoft C runtime splits it:
// quotes around it when needed, backslashes doubled before a quote.
std::string quoteArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, '\\');
    out.push_back('"');
    return out;
}
#else
extern "C" void onInterrupt(int) { interruptFlag.store(1); }
#endif

}  // namespace

void installInterruptHandler() {
#if defined(_WIN32)
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
#else
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESETHAND;  // a second Ctrl-C ends the program
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
#endif
}

bool interruptRequested() { return interruptFlag.load() != 0; }

bool stdoutIsTerminal() {
#if defined(_WIN32)
    if (_isatty(_fileno(stdout)) == 0) return false;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (out == INVALID_HANDLE_VALUE || !GetConsoleMode(out, &mode)) return false;
#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif
    if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) return true;
    return SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
#else
    return isatty(STDOUT_FILENO) != 0;
#endif
}

bool changeDirectory(const std::string& dir) {
#if defined(_WIN32)
    return _chdir(dir.c_str()) == 0;
#else
    return chdir(dir.c_str()) == 0;
#endif
}

char pathListSeparator() {
#if defined(_WIN32)
    return ';';
#else
    return ':';
#endif
}

std::vector<std::string> executableNames(const std::string& program) {
#if defined(_WIN32)
    return {program + ".exe", program};
#else
    return {program};
#endif
}

bool isExecutableFile(const std::string& path) {
#if defined(_WIN32)
    struct _stat st {};
    // Windows has no execute bit: a regular file found by name is taken.
    return _stat(path.c_str(), &st) == 0 && (st.st_mode & _S_IFREG) != 0;
#else
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
#endif
}

int runProgram(const std::string& program, const std::vector<std::string>& args) {
#if defined(_WIN32)
    std::string commandLine = quoteArgument(program);
    for (const std::string& a : args) commandLine += " " + quoteArgument(a);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &si, &pi)) {
        return kProgramNotStarted;
    }
    CloseHandle(pi.hThread);
    DWORD code = 0;
    const bool waited = WaitForSingleObject(pi.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                        GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    if (!waited) return kProgramLost;
    // Exit codes above INT_MAX (NTSTATUS crash codes) read as abnormal ends.
    return code > 0x7fffffffu ? kProgramAbnormal : static_cast<int>(code);
#else
    std::vector<std::string> owned;
    owned.push_back(program);
    owned.insert(owned.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : owned) argv.push_back(s.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        return kProgramNotStarted;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return kProgramLost;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : kProgramAbnormal;
#endif
}

}  // namespace ilshost
