// linesynth_peak_rss PROGRAM [ARG...]: runs the program and prints its peak
// resident memory in KiB on standard error, then exits with its status.
//
// The kernel carries the high-water mark of the process image that exec
// replaces into the new program's figure, so the program must be started
// from a small process: this one is linked statically and touches almost no
// memory before it forks (a child of an interpreter would report the
// interpreter's size instead).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: linesynth_peak_rss PROGRAM [ARG...]\n");
        return 2;
    }
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        return 2;
    }
    if (child == 0) {
        execv(argv[1], argv + 1);
        std::perror(argv[1]);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) {
        std::perror("wait4");
        return 2;
    }
    std::fprintf(stderr, "peak resident memory: %ld KiB\n", usage.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}
