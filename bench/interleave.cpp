// Runs several commands in turn, round after round, so that each sees the
// same machine state, and prints the median wall time of each in ms, one
// line per command. Output of the commands goes to /dev/null.
//
// usage: interleave ROUNDS WARMUP CMD1 [ARGS...] -- CMD2 [ARGS...] [-- ...]
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

namespace {

// Runs argv once with stdout and stderr on /dev/null; returns seconds, or a
// negative value when it could not run or failed.
double runOnce(const std::vector<char*>& argv) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    return -1;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return -1;
  }
  return std::chrono::duration<double>(end - start).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s ROUNDS WARMUP CMD [ARGS...] [-- CMD [ARGS...]]...\n", argv[0]);
    return 2;
  }
  const int rounds = std::atoi(argv[1]);
  const int warmup = std::atoi(argv[2]);
  std::vector<std::vector<char*>> commands(1);
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) {
      commands.emplace_back();
    } else {
      commands.back().push_back(argv[i]);
    }
  }
  for (auto& c : commands) {
    if (c.empty()) {
      std::fprintf(stderr, "empty command\n");
      return 2;
    }
    c.push_back(nullptr);
  }
  std::vector<std::vector<double>> times(commands.size());
  for (int round = -warmup; round < rounds; ++round) {
    for (size_t i = 0; i < commands.size(); ++i) {
      const double t = runOnce(commands[i]);
      if (t < 0) {
        std::fprintf(stderr, "command %zu failed: %s\n", i + 1, commands[i][0]);
        return 1;
      }
      if (round >= 0) {
        times[i].push_back(t);
      }
    }
  }
  for (const auto& t : times) {
    std::printf("%.6f\n", median(t) * 1000);
  }
  return 0;
}
