// The host's own operating-system services: interrupts, the terminal, the
// working directory, finding and running programs. Everything else in tools/
// is portable C++; each function here has a POSIX and a Windows branch.
#pragma once

#include <string>
#include <vector>

namespace ilshost {

// Turns the first interrupt (Ctrl-C, SIGTERM; Ctrl-Break or a console close
// on Windows) into a request that interruptRequested() reports; a second
// interrupt ends the program at once, as the default handler does.
void installInterruptHandler();

// True once an interrupt has arrived since installInterruptHandler().
bool interruptRequested();

// True when standard output is a terminal that understands the ANSI
// "erase line" and carriage-return sequences of the progress bar. On a
// Windows console this switches on virtual-terminal processing; where that
// is refused the host writes plain progress lines.
bool stdoutIsTerminal();

// Makes dir the process's working directory.
bool changeDirectory(const std::string& dir);

// The separator between the directories of the PATH variable.
char pathListSeparator();

// The candidate file names of an executable called program in one directory
// ("gnuplot" on POSIX; "gnuplot.exe", then "gnuplot" on Windows).
std::vector<std::string> executableNames(const std::string& program);

// True when path names a regular file that the process may execute.
bool isExecutableFile(const std::string& path);

// What runProgram returns when the program gives no exit status of its own.
constexpr int kProgramNotStarted = -1;  // it cannot be started
constexpr int kProgramLost = -2;        // waiting for it failed
constexpr int kProgramAbnormal = -3;    // it ended by a signal

// Runs program with the given arguments (not through a shell) and waits for
// it. Returns its exit status (0 and up) or one of the codes above.
int runProgram(const std::string& program, const std::vector<std::string>& args);

}  // namespace ilshost
