// bench-compare-measure [--stdout FILE] COMMAND [ARGS...]: runs the command as a whole process (its
// stdout to /dev/null or FILE, its stderr kept) and prints "SECONDS PEAK_KIB STATUS": the wall time
// from start to exit, the child's peak resident memory, and its exit status (128 + signal number
// when killed).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

extern char** environ;

int main(int argc, char** argv) {
    const char* child_stdout = "/dev/null";
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--stdout") == 0) {
        child_stdout = argv[2];
        first = 3;
    }
    if (argc <= first) {
        std::fprintf(stderr, "usage: bench-compare-measure [--stdout FILE] COMMAND [ARGS...]\n");
        return 2;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, child_stdout, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[first], &actions, nullptr, argv + first, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "bench-compare-measure: cannot start %s\n", argv[first]);
        return 1;
    }
    int wait_status = 0;
    rusage usage{};
    while (::wait4(pid, &wait_status, 0, &usage) < 0) {
        if (errno != EINTR) {
            std::perror("bench-compare-measure: wait4");
            return 1;
        }
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const int status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    std::printf("%.6f %ld %d\n", elapsed.count(), usage.ru_maxrss, status);
    return 0;
}
