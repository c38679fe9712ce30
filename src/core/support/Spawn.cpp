#include "core/support/Spawn.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "core/support/Text.hpp"

extern char** environ;

namespace tarvik::Spawn {

namespace {

struct Child {
    pid_t pid = -1;
    int readEnd = -1;
};

std::optional<Child> start(const std::string& path, const std::vector<std::string>& arguments,
                           const std::string& cwd, bool newSession, bool ownGroup) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());

    std::vector<std::string> argvStorage;
    argvStorage.reserve(arguments.size() + 1);
    argvStorage.push_back(path);
    argvStorage.insert(argvStorage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : argvStorage) argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (newSession) {
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    } else if (ownGroup) {
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);  // a new group, led by the child
    }
    pid_t pid = -1;
    int error = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (error != 0) {
        close(fds[0]);
        return std::nullopt;
    }
    return Child{pid, fds[0]};
}

std::int32_t reap(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Appends what one read gives; false at end of file or on an error other than EINTR.
bool readChunk(int fd, std::string& bytes) {
    char buffer[65536];
    for (;;) {
        ssize_t count = read(fd, buffer, sizeof buffer);
        if (count > 0) {
            bytes.append(buffer, static_cast<std::size_t>(count));
            return true;
        }
        if (count < 0 && errno == EINTR) continue;
        return false;
    }
}

}  // namespace

Result run(const std::string& path, const std::vector<std::string>& arguments) {
    return run(path, arguments, Options{});
}

Result run(const std::string& path, const std::vector<std::string>& arguments,
           std::chrono::milliseconds limit) {
    return run(path, arguments, Options{limit, {}, false});
}

Result run(const std::string& path, const std::vector<std::string>& arguments, const Options& options) {
    auto child = start(path, arguments, options.cwd, options.newSession, options.limit.has_value());
    if (!child) return {};
    std::string bytes;
    if (!options.limit) {
        while (readChunk(child->readEnd, bytes)) {
        }
        close(child->readEnd);
        return {Text::repairUtf8(bytes), reap(child->pid), false};
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + *options.limit;
    bool timedOut = false;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd entry{child->readEnd, POLLIN, 0};
        int ready = poll(&entry, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) break;
        if (ready == 0) continue;  // the loop head notices the deadline
        if (!readChunk(child->readEnd, bytes)) break;
    }
    close(child->readEnd);
    // A child may close its output and linger; the limit covers its exit as well.
    while (!timedOut) {
        int status = 0;
        pid_t done = waitpid(child->pid, &status, WNOHANG);
        if (done == child->pid)
            return {Text::repairUtf8(bytes), WIFEXITED(status) ? WEXITSTATUS(status) : -1, false};
        if (done < 0 && errno != EINTR) return {Text::repairUtf8(bytes), -1, false};
        if (Clock::now() >= deadline)
            timedOut = true;
        else
            usleep(2000);
    }
    // The child is not reaped yet, so its pid still names its group and no other.
    kill(-child->pid, SIGKILL);
    (void)reap(child->pid);
    return {Text::repairUtf8(bytes), -1, true};
}

namespace {

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> programPath(const std::string& name, const std::string& cwd,
                                       const std::vector<std::string>& environment) {
    if (name.empty()) return std::nullopt;
    if (name.find('/') != std::string::npos) return name.front() == '/' ? name : cwd + "/" + name;
    std::string_view path;
    for (const auto& entry : environment)
        if (std::string_view(entry).starts_with("PATH=")) path = std::string_view(entry).substr(5);
    std::string fallback;
    if (environment.empty()) {
        const char* inherited = getenv("PATH");
        fallback = inherited ? inherited : "/usr/local/bin:/usr/bin:/bin";
        path = fallback;
    }
    for (auto folder : Text::fields(path, ':')) {
        std::string candidate = (folder.empty() ? cwd : std::string(folder)) + "/" + name;
        if (isExecutableFile(candidate)) return candidate;
    }
    return std::nullopt;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& text : strings) result.push_back(text.data());
    result.push_back(nullptr);
    return result;
}

}  // namespace

bool launch(const std::vector<std::string>& argv, const std::string& cwd,
            const std::vector<std::string>& environment) {
    if (argv.empty()) return false;
    auto path = programPath(argv.front(), cwd, environment);
    if (!path) return false;
    // Everything the children touch is prepared here: between fork and exec only async-signal-safe
    // calls may run, since other threads of this process may hold locks the child would inherit.
    std::vector<std::string> argvCopy = argv, environmentCopy = environment;
    auto argvPointers = pointers(argvCopy);
    auto environmentPointers = pointers(environmentCopy);
    char* const* envp = environment.empty() ? environ : environmentPointers.data();
    int status[2];  // the grandchild reports a failed exec through it; closed on a good one
    if (pipe2(status, O_CLOEXEC) != 0) return false;

    pid_t middle = fork();
    if (middle < 0) {
        close(status[0]);
        close(status[1]);
        return false;
    }
    if (middle == 0) {
        // The middle child exits at once, so the program is re-parented away from this process.
        int error = 0;
        pid_t program = fork();
        if (program > 0) _exit(0);
        if (program < 0) {
            error = errno;
            ssize_t written = write(status[1], &error, sizeof error);
            (void)written;
            _exit(1);
        }
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        setsid();
        if (chdir(cwd.c_str()) != 0) {
            error = errno;
        } else {
            int null = open("/dev/null", O_RDWR);
            if (null >= 0) {
                dup2(null, STDIN_FILENO);
                dup2(null, STDOUT_FILENO);
                dup2(null, STDERR_FILENO);
                if (null > STDERR_FILENO) close(null);
            }
            execve(path->c_str(), argvPointers.data(), envp);
            error = errno;
        }
        ssize_t written = write(status[1], &error, sizeof error);
        (void)written;
        _exit(127);
    }
    close(status[1]);
    while (waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    do got = read(status[0], &error, sizeof error);
    while (got < 0 && errno == EINTR);
    close(status[0]);
    return got == 0;
}

}  // namespace tarvik::Spawn
