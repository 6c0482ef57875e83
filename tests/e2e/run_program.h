// Runs a program to its end with stdout and stderr captured, for end-to-end tests.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kzv_test {

struct ProgramRun {
    int status = -1;  // exit status, or 128 + signal number
    std::string out;
    std::string err;
};

inline std::string read_text(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// stdin is /dev/null, so a program that waits for an answer ends instead of hanging the test.
inline ProgramRun run_program(const std::vector<std::string>& args, const std::filesystem::path& scratch) {
    const std::string out_file = (scratch / "stdout.txt").string(),
                      err_file = (scratch / "stderr.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start " + args[0]);
    int wait_status = 0;
    while (waitpid(pid, &wait_status, 0) < 0) {
        if (errno != EINTR) throw std::runtime_error("cannot wait for " + args[0]);
    }
    ProgramRun run;
    run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    run.out = read_text(out_file);
    run.err = read_text(err_file);
    std::filesystem::remove(out_file);
    std::filesystem::remove(err_file);
    return run;
}

// Whether a sanitizer reported a fault in the program's stderr. Their exit status 1 would pass
// for a failed import otherwise.
inline bool sanitizer_report(const ProgramRun& run) {
    return run.err.find("Sanitizer") != std::string::npos ||
           run.err.find("runtime error:") != std::string::npos;
}

// Runs `program` with `args` (run_program) and fails the current test if a sanitizer reported a
// fault in it.
inline ProgramRun run_checked(const std::string& program, std::vector<std::string> args,
                              const std::filesystem::path& scratch) {
    args.insert(args.begin(), program);
    ProgramRun run = run_program(args, scratch);
    EXPECT_FALSE(sanitizer_report(run)) << run.err;
    return run;
}

}  // namespace kzv_test
