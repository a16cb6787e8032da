// Runs one command as a child process and prints, on one line, its wall time,
// user time and system time in milliseconds and its peak resident memory in
// KiB. The suite (bench/suite.py) measures whole jobs through it rather than
// on its own: a child forked from the Python interpreter counts the
// interpreter's memory in its peak, while one forked from this small program
// counts no more than this program's own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace {

double ms_of(const timeval &t) { return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3; }

double now_ms() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: measure_posix_bench COMMAND [ARG...]\n");
        return 2;
    }
    const double start = now_ms();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        return 1;
    }
    if (child == 0) {
        execvp(argv[1], argv + 1);
        std::perror(argv[1]);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) {
        std::perror("wait4");
        return 1;
    }
    const double wall = now_ms() - start;
    std::printf("%.3f %.3f %.3f %ld\n", wall, ms_of(usage.ru_utime), ms_of(usage.ru_stime), usage.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
