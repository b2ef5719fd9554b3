// peak_rss: runs a command and writes its CPU times and peak resident set
// size to a file, in the words GNU time -v uses, for machines without GNU
// time.
//
//   peak_rss REPORT-FILE COMMAND [ARGUMENTS...]
//
// The command inherits standard input and output; the exit status is the
// command's. Kept small, since the child's figure includes what this process
// had resident when it forked.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: peak_rss REPORT-FILE COMMAND [ARGUMENTS...]\n");
    return 2;
  }
  const pid_t child = fork();
  if (child < 0) {
    std::perror("peak_rss: fork");
    return 2;
  }
  if (child == 0) {
    execvp(argv[2], argv + 2);
    std::perror("peak_rss: exec");
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) < 0) {
    std::perror("peak_rss: wait4");
    return 2;
  }
  std::FILE* report = std::fopen(argv[1], "w");
  if (report == nullptr) {
    std::perror("peak_rss: report file");
    return 2;
  }
  // ru_maxrss is in KiB on Linux.
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  std::fprintf(report, "User time (seconds): %.2f\n", seconds(usage.ru_utime));
  std::fprintf(report, "System time (seconds): %.2f\n", seconds(usage.ru_stime));
  std::fprintf(report, "Maximum resident set size (kbytes): %ld\n", usage.ru_maxrss);
  std::fclose(report);
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
