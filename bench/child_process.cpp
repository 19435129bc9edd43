#include "bench/child_process.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace corvlin::bench {

std::optional<Child> spawnChild(const char* path) {
  int toChild[2];
  int fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0) return std::nullopt;
  if (pipe2(fromChild, O_CLOEXEC) != 0) {
    close(toChild[0]);
    close(toChild[1]);
    return std::nullopt;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  char* argv[] = {const_cast<char*>(path), nullptr};
  char* envp[] = {nullptr};
  pid_t pid = -1;
  const int error = posix_spawn(&pid, path, &actions, nullptr, argv, envp);
  posix_spawn_file_actions_destroy(&actions);
  close(toChild[0]);
  close(fromChild[1]);
  if (error != 0) {
    close(toChild[1]);
    close(fromChild[0]);
    return std::nullopt;
  }
  Child child;
  child.pid = pid;
  child.input = toChild[1];
  child.output = fromChild[0];
  return child;
}

bool writeAll(Child& child, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(child.input, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::optional<std::string> readLine(Child& child) {
  std::size_t searched = 0;
  for (;;) {
    const std::size_t end = child.pending.find('\n', searched);
    if (end != std::string::npos) {
      std::string line = child.pending.substr(0, end);
      child.pending.erase(0, end + 1);
      return line;
    }
    searched = child.pending.size();
    char buffer[65536];
    const ssize_t got = read(child.output, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::nullopt;
    child.pending.append(buffer, static_cast<std::size_t>(got));
  }
}

ChildExit finish(Child& child) {
  if (child.input >= 0) close(child.input);
  child.input = -1;
  char buffer[4096];
  while (read(child.output, buffer, sizeof buffer) > 0) {
  }
  close(child.output);
  child.output = -1;
  ChildExit exit;
  rusage usage{};
  while (wait4(child.pid, &exit.status, 0, &usage) < 0 && errno == EINTR) {
  }
  exit.peakResidentKiB = usage.ru_maxrss;
  return exit;
}

long statusKiB(pid_t pid, const char* field) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/status", static_cast<int>(pid));
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) return -1;
  char line[256];
  long value = -1;
  const std::size_t length = std::strlen(field);
  while (std::fgets(line, sizeof line, file) != nullptr) {
    if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
      value = std::strtol(line + length + 1, nullptr, 10);
      break;
    }
  }
  std::fclose(file);
  return value;
}

double monotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

}  // namespace corvlin::bench
