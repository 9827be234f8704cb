// What the kill tests share: running a program with a kill point (QUILLET_KILL_AT_WRITE, see
// platform/linux/kill_point.h) and drawing the points from a seeded generator, so that a
// failing point can be run again on its own.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/sqlite_db.h"

namespace quillet::testing {

struct ProgramRun {
  bool killed = false;  // ended by SIGKILL
  int exitCode = -1;    // when it exited
  std::string output;   // standard output and error, interleaved
};

// Runs `argv` with `env` added to this process's environment, its output going to `logFile`.
inline ProgramRun RunProgram(const std::vector<std::string>& argv,
                             const std::vector<std::pair<std::string, std::string>>& env,
                             const std::string& logFile) {
  ProgramRun run;
  const pid_t pid = fork();
  if (pid == 0) {
    for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
    const int fd = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) _exit(126);
    dup2(fd, 1);
    dup2(fd, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return run;
  run.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  std::ifstream in(logFile, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  run.output = text.str();
  return run;
}

// The write count an undisturbed run printed ("quillet: N writes to storage"); -1 without one.
inline std::int64_t WritesCounted(const std::string& output) {
  static constexpr char kLine[] = "quillet: ";
  for (std::size_t at = output.rfind(kLine); at != std::string::npos;
       at = at == 0 ? std::string::npos : output.rfind(kLine, at - 1)) {
    char* end = nullptr;
    const long long n = std::strtoll(output.c_str() + at + sizeof kLine - 1, &end, 10);
    if (end != nullptr && std::string_view(end).starts_with(" writes to storage")) return n;
  }
  return -1;
}

// `count` distinct points in [first, last], drawn with `seed`, in rising order; every point of
// the range when it has no more than `count`.
inline std::vector<std::int64_t> DrawKillPoints(std::uint64_t seed, std::int64_t first,
                                                std::int64_t last, int count) {
  std::vector<std::int64_t> points;
  if (last < first) return points;
  if (last - first + 1 <= count) {
    for (std::int64_t n = first; n <= last; ++n) points.push_back(n);
    return points;
  }
  std::mt19937_64 random(seed);
  std::uniform_int_distribution<std::int64_t> pick(first, last);
  while (static_cast<int>(points.size()) < count) {
    const std::int64_t n = pick(random);
    if (std::find(points.begin(), points.end(), n) == points.end()) points.push_back(n);
  }
  std::sort(points.begin(), points.end());
  return points;
}

// The seed of a kill test: QUILLET_KILL_SEED when set (to run a reported one again), else the
// test's fixed one.
inline std::uint64_t KillSeed(std::uint64_t fixed) {
  const char* text = std::getenv("QUILLET_KILL_SEED");
  return text != nullptr ? std::strtoull(text, nullptr, 10) : fixed;
}

// What a root holds, item by item: each file's bytes (but the window list in "run/", the side
// files of a replacement (".tmp", and ".old", the previous file that a loader takes back when
// the replacement stopped before the new one was in place) and the database files
// themselves), each registry value,
// and the records of each property database as one item (a database is written in
// transactions: its records must be all of one state). A database that cannot be opened is an
// item saying so.
using RootItems = std::map<std::string, std::string>;

inline void AddDatabaseItems(const std::string& file, const std::string& label, RootItems* items) {
  std::string error;
  auto db = SqliteDb::Open(file, "", &error);
  if (!db) {
    (*items)[label] = "<cannot open: " + error + ">";
    return;
  }
  for (auto rows = db->Prepare("SELECT quote(root) || quote(path) || '/' || quote(name), "
                               "quote(type) || quote(data) FROM reg_values");
       rows.ok() && rows.Step() == SQLITE_ROW;) {
    (*items)[label + " value " + rows.Text(0)] = rows.Text(1);
  }
  for (auto rows = db->Prepare(
           "SELECT d.name, r.sort_key || ':' || hex(r.props) FROM cedb_records r "
           "JOIN cedb_databases d ON d.oid = r.db ORDER BY d.name, r.sort_key, hex(r.props)");
       rows.ok() && rows.Step() == SQLITE_ROW;) {
    (*items)[label + " records of " + rows.Text(0)] += rows.Text(1) + "\n";
  }
}

inline RootItems ItemsOf(const std::vector<std::string>& roots) {
  RootItems items;
  for (const std::string& root : roots) {
    if (!std::filesystem::exists(root)) continue;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
      if (!entry.is_regular_file()) continue;
      const std::string relative = std::filesystem::relative(entry.path(), root).string();
      const std::string label = root + ": " + relative;
      if (relative.starts_with("run/") || relative.ends_with(".tmp") ||
          relative.ends_with(".old") || relative.ends_with("-wal") || relative.ends_with("-shm") ||
          relative.ends_with("-journal")) {
        continue;
      }
      if (relative == "system.db" || relative.ends_with(".vol")) {
        AddDatabaseItems(entry.path().string(), label, &items);
        continue;
      }
      std::ifstream in(entry.path(), std::ios::binary);
      std::ostringstream bytes;
      bytes << in.rdbuf();
      items[label] = bytes.str();
    }
  }
  return items;
}

// Every item of `now` (or missing from it) that holds neither what `before` nor what `after`
// held, described. `between` names the items a run saves more than once, with the whole state
// it saves in between (a working copy taken before it is written back).
inline std::vector<std::string> ItemsOfNeither(const RootItems& before, const RootItems& after,
                                               const RootItems& now,
                                               const RootItems& between = {}) {
  std::vector<std::string> names;
  for (const RootItems* m : {&before, &after, &now}) {
    for (const auto& [name, value] : *m) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  auto at = [](const RootItems& m, const std::string& name) -> std::string {
    auto it = m.find(name);
    return it == m.end() ? std::string("<missing>") : it->second;
  };
  std::vector<std::string> problems;
  for (const std::string& name : names) {
    const std::string value = at(now, name);
    const auto also = between.find(name);
    if (value != at(before, name) && value != at(after, name) &&
        (also == between.end() || value != also->second)) {
      problems.push_back(name + (value == "<missing>" ? " is missing" : " holds neither state"));
    }
  }
  return problems;
}

}  // namespace quillet::testing
