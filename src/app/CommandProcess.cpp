#include "app/CommandProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace corvane {

namespace {

// Every signal back to its default in the child: a handler of this program's would be reset by
// the exec anyway, but an ignored one (SIGPIPE) would stay ignored.
void DefaultSignals(posix_spawnattr_t& attr) {
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attr, &all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK |
                                        POSIX_SPAWN_SETPGROUP);
}

void Files(posix_spawn_file_actions_t& files, int errorWrite) {
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&files, errorWrite, 2);
    // The settings file, the history database, the sockets: none of them is the program's.
    posix_spawn_file_actions_addclosefrom_np(&files, 3);
}

} // namespace

TCommandProcess::~TCommandProcess() {
    if (pid_ > 0) {
        Signal(SIGKILL);
        while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
        }
    }
    CloseErrors();
}

bool TCommandProcess::Start(const std::string& program, const std::vector<std::string>& environment,
                            std::string& why) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        why = std::strerror(errno);
        return false;
    }
    ::fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
    std::vector<char*> env;
    env.reserve(environment.size() + 1);
    for (const std::string& entry : environment)
        env.push_back(const_cast<char*>(entry.c_str()));
    env.push_back(nullptr);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    DefaultSignals(attr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    Files(files, pipeFds[1]);
    pid_t pid = -1;
    const int error = ::posix_spawnp(&pid, program.c_str(), &files, &attr, argv, env.data());
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attr);
    ::close(pipeFds[1]);
    if (error != 0) {
        ::close(pipeFds[0]);
        why = std::strerror(error);
        return false;
    }
    pid_ = pid;
    errorFd_ = pipeFds[0];
    started_ = true;
    return true;
}

void TCommandProcess::ReadErrors() {
    char buffer[4096];
    while (errorFd_ >= 0) {
        const ssize_t n = ::read(errorFd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                CloseErrors();
            return;
        }
        for (ssize_t i = 0; i < n && !lineDone_; ++i) {
            // Blank lines before the first words are not its first line.
            if (buffer[i] == '\n')
                lineDone_ = !errorLine_.empty();
            else if (buffer[i] != '\r' && errorLine_.size() < kErrorLineMax)
                errorLine_ += buffer[i];
        }
    }
}

void TCommandProcess::CloseErrors() {
    if (errorFd_ >= 0)
        ::close(errorFd_);
    errorFd_ = -1;
}

bool TCommandProcess::Poll() {
    ReadErrors();
    if (pid_ < 0)
        return started_;
    pid_t done;
    while ((done = ::waitpid(pid_, &status_, WNOHANG)) < 0 && errno == EINTR) {
    }
    if (done == 0)
        return false;
    pid_ = -1;
    // What it wrote before it ended; a descendant that keeps the pipe open is not waited for.
    ReadErrors();
    CloseErrors();
    return true;
}

// The program itself too: should it have left its group, the wait for it must still end.
void TCommandProcess::Signal(int signal) {
    if (pid_ > 0) {
        ::kill(-pid_, signal);
        ::kill(pid_, signal);
    }
}

int TCommandProcess::ExitCode() const {
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

int TCommandProcess::TermSignal() const {
    return WIFSIGNALED(status_) ? WTERMSIG(status_) : 0;
}

} // namespace corvane
