// bench-compare-read-bytes FILE: reads the whole file into memory and prints its size; the floor
// under every reader of that file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench-compare-read-bytes FILE\n");
        return 2;
    }
    const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    std::vector<char> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (done != bytes.size()) {
        std::fprintf(stderr, "%s: read %zu of %zu bytes\n", argv[1], done, bytes.size());
        return 1;
    }
    std::printf("%zu bytes\n", done);
    return 0;
}
