// Finding and running other programs on POSIX.
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/platform.h"
#include "platform/posix/interrupts.h"

std::string FindProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : "";
    const char* path = getenv("PATH");
    std::string directories = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= directories.size()) {
        size_t end = directories.find(':', start);
        if (end == std::string::npos) end = directories.size();
        std::string directory = directories.substr(start, end - start);
        std::string candidate = (directory.empty() ? "." : directory) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return "";
}

std::string HowToInstallProgram(const std::string& name) { return "install the Debian package " + name; }

// The exit code, or 128 + the signal that ended the program.
static int ExitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

ToolRun RunTool(const std::string& program, const std::vector<std::string>& arguments) {
    ToolRun run;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return run;
    pid_t child = fork();
    if (child < 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return run;
    }
    if (child == 0) {
        setsid();   // no terminal to ask for a password on: answers come from the arguments only
        int nothing = open("/dev/null", O_RDONLY);
        dup2(nothing, 0);
        dup2(pipeEnds[1], 1);
        dup2(pipeEnds[1], 2);
        close(pipeEnds[0]);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    KillOnInterrupt(child);
    close(pipeEnds[1]);
    char buffer[4096];
    ssize_t got;
    while ((got = read(pipeEnds[0], buffer, sizeof(buffer))) != 0) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) break;
        run.output.append(buffer, (size_t)got);
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    KillOnInterrupt(0);
    run.started = true;
    run.exitCode = ExitCodeOf(status);
    return run;
}

// This program's environment with the changes made: "NAME=VALUE" sets, "NAME" removes.
static std::vector<std::string> ChangedEnvironment(const std::vector<std::string>& changes) {
    std::vector<std::string> variables;
    for (char** variable = environ; *variable; ++variable) variables.push_back(*variable);
    for (const std::string& change : changes) {
        std::string name = change.substr(0, change.find('=')) + "=";
        std::vector<std::string> kept;
        for (const std::string& variable : variables)
            if (variable.compare(0, name.size(), name) != 0) kept.push_back(variable);
        if (change.find('=') != std::string::npos) kept.push_back(change);
        variables.swap(kept);
    }
    return variables;
}

static std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(&text[0]);
    pointers.push_back(nullptr);
    return pointers;
}

Problem SpawnProgram(const ProgramStart& start, RunningProgram* program) {
    std::string path = FindProgram(start.program);
    if (path.empty()) return start.program + ": not found in PATH";
    int output = open(start.outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (output < 0) return start.outputPath + ": " + strerror(errno);
    std::vector<std::string> arguments{path}, variables = ChangedEnvironment(start.environment);
    arguments.insert(arguments.end(), start.arguments.begin(), start.arguments.end());
    std::vector<char*> argv = Pointers(arguments), envp = Pointers(variables);
    pid_t child = fork();
    if (child == 0) {
        int nothing = open("/dev/null", O_RDONLY);
        if (nothing < 0 || dup2(nothing, 0) < 0 || dup2(output, 1) < 0 || dup2(output, 2) < 0) _exit(127);
        if (!start.directory.empty() && chdir(start.directory.c_str()) != 0) _exit(127);
        closefrom(3);
        sigset_t none;
        sigemptyset(&none);
        pthread_sigmask(SIG_SETMASK, &none, nullptr);
        execve(path.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    int forkError = errno;
    close(output);
    if (child < 0) return "cannot start " + path + ": " + strerror(forkError);
    program->handle = child;
    return {};
}

static int64_t NowMilliseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (int64_t)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

// The wait sleeps on the child's process descriptor, which becomes readable
// when it ends; the interrupt signals are blocked but while it sleeps, so an
// interrupt cannot slip in between the look at its mark and the sleep.
ProgramState WaitForProgram(RunningProgram* program, int64_t milliseconds, bool interruptible, int* exitCode) {
    pid_t child = (pid_t)program->handle;
    sigset_t interrupts, before;
    InterruptSignals(&interrupts);
    pthread_sigmask(SIG_BLOCK, &interrupts, &before);
    int ended = (int)syscall(SYS_pidfd_open, child, 0);
    int64_t deadline = NowMilliseconds() + milliseconds;
    ProgramState state = PROGRAM_RUNNING;
    for (;;) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            *exitCode = ExitCodeOf(status);
            program->handle = -1;
            state = PROGRAM_ENDED;
            break;
        }
        if (interruptible && InterruptCaught()) {
            state = PROGRAM_WAIT_INTERRUPTED;
            break;
        }
        int64_t left = milliseconds < 0 ? -1 : deadline - NowMilliseconds();
        if (milliseconds >= 0 && left <= 0) break;
        // Without a process descriptor (kernels before 5.3) it looks again every 20 ms.
        if (ended < 0 && (left < 0 || left > 20)) left = 20;
        timespec slice = {(time_t)(left / 1000), (long)(left % 1000) * 1000000};
        pollfd event = {ended, POLLIN, 0};
        ppoll(ended >= 0 ? &event : nullptr, ended >= 0 ? 1 : 0, left < 0 ? nullptr : &slice, &before);
    }
    if (ended >= 0) close(ended);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return state;
}

void StopProgram(RunningProgram* program) {
    pid_t child = (pid_t)program->handle;
    if (child <= 0) return;
    kill(child, SIGKILL);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    program->handle = -1;
}
