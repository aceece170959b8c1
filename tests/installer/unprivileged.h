// Permission cases mean nothing to root, as which CI runs.  A test that
// needs them calls RUN_UNPRIVILEGED() first: as root it runs the same test
// again in a child process as user nobody (setpriv) with a scratch TMPDIR
// of nobody's, and takes over the child's verdict; as any other user the
// body runs here.  RUN_UNPRIVILEGED_PREPARED(prepare) first calls
// prepare(scratch) as root, for what only root can set up (files of another
// user); as any other user it is not called.
#pragma once

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace tarnwick_test {

inline constexpr uid_t NobodyId = 65534;

enum class TRunPlace { Here, InChild, Skipped };

// Runs this test as nobody; `skipReason` says why that could not be done.
inline TRunPlace RunUnprivileged(std::string& skipReason,
                                 const std::function<void(const std::string&)>& prepare = {}) {
  if (::geteuid() != 0) return TRunPlace::Here;
  const auto* test = testing::UnitTest::GetInstance()->current_test_info();
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  std::string scratch = "/tmp/tarnwick-nobody-XXXXXX";
  if (::mkdtemp(scratch.data()) == nullptr || ::chown(scratch.c_str(), NobodyId, NobodyId) != 0) {
    skipReason = "cannot make a scratch directory for user nobody";
    return TRunPlace::Skipped;
  }
  if (prepare) prepare(scratch);
  const std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
  std::vector<std::string> args{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                                self, filter};
  std::vector<std::string> env{"TMPDIR=" + scratch};
  for (char** e = environ; *e != nullptr; ++e)
    if (std::string(*e).rfind("TMPDIR=", 0) != 0) env.emplace_back(*e);
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  for (auto& e : env) envp.push_back(e.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);

  pid_t child = -1;
  int status = 0;
  const bool ran = ::posix_spawnp(&child, "setpriv", nullptr, nullptr, argv.data(), envp.data()) == 0 &&
                   ::waitpid(child, &status, 0) == child;
  std::filesystem::remove_all(scratch);
  if (!ran || !WIFEXITED(status) || WEXITSTATUS(status) >= 126) {
    skipReason = "cannot run the test as user nobody (setpriv)";
    return TRunPlace::Skipped;
  }
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the test failed as user nobody (its output is above)";
  return TRunPlace::InChild;
}

}  // namespace tarnwick_test

#define RUN_UNPRIVILEGED() RUN_UNPRIVILEGED_PREPARED({})
#define RUN_UNPRIVILEGED_PREPARED(prepare)                                              \
  do {                                                                                  \
    std::string skipReason_;                                                            \
    switch (tarnwick_test::RunUnprivileged(skipReason_, prepare)) {                     \
      case tarnwick_test::TRunPlace::Here: break;                                       \
      case tarnwick_test::TRunPlace::InChild: return;                                   \
      case tarnwick_test::TRunPlace::Skipped: GTEST_SKIP() << skipReason_;              \
    }                                                                                   \
  } while (0)
