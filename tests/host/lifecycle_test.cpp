// Loading and unloading the real shared library: what start-up applies from
// the settings file and the environment, seen through the log it writes.
// Each scenario runs in a child process, which loads the library afresh.
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

struct Scenario {
  std::string settings_file;               // written to the current directory when not empty
  std::vector<std::pair<std::string, std::string>> environment;
  int broadcast_calls = 0;                 // how often HabilitarRedeBroadcast is called before unloading
  int consult_session = 0;                 // ConsultarSAT with this number when not 0
};

class Lifecycle : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tavik-lifecycle-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string log_path() const { return (dir_ / "logs" / "mfe.log").string(); }

  // Loads and unloads the library in a child process; returns the log text.
  std::string run(const Scenario& scenario) {
    if (!scenario.settings_file.empty()) std::ofstream(dir_ / "mfe-config.ini") << scenario.settings_file;
    const pid_t child = ::fork();
    if (child == 0) {
      if (::chdir(dir_.c_str()) != 0) _exit(3);
      ::unsetenv("LOG_LEVEL_MFE");
      ::unsetenv("LOG_FILE_MFE");
      for (const auto& [name, value] : scenario.environment) ::setenv(name.c_str(), value.c_str(), 1);
      void* library = ::dlopen(TAVIK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
      if (library == nullptr) _exit(4);
      const auto broadcast = reinterpret_cast<void (*)()>(::dlsym(library, "HabilitarRedeBroadcast"));
      for (int i = 0; i < scenario.broadcast_calls; ++i) broadcast();
      if (scenario.consult_session != 0) {
        const char* answer =
            reinterpret_cast<const char* (*)(int)>(::dlsym(library, "ConsultarSAT"))(scenario.consult_session);
        std::ofstream(dir_ / "answer.txt") << answer;
      }
      ::dlclose(library);
      _exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    std::ifstream file(log_path());
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }

  std::string answer() const {
    std::ifstream file(dir_ / "answer.txt");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }

  fs::path dir_;
};

std::vector<std::string> messages(const std::string& log) {
  // Drops the time stamp: "YYYY-MM-DD HH:MM:SS.mmm " is 24 characters.
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) lines.push_back(line.size() > 24 ? line.substr(24) : line);
  return lines;
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::ptrdiff_t position(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) - lines.begin();
}

TEST_F(Lifecycle, WithoutSettingsTheEnvironmentChoosesTheLog) {
  const auto lines = messages(run({"", {{"LOG_LEVEL_MFE", "debug"}, {"LOG_FILE_MFE", log_path()}}}));
  EXPECT_TRUE(contains(lines, "[INFO] Enabling continuous connection"));
  EXPECT_TRUE(contains(lines, "[INFO] Enabling compression"));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "[INFO] Enabling compression"), 2);  // MFE and SAT switches
  const bool started = std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
    return l.starts_with("[DEBUG] mfe: Starting library version ") && l.ends_with("-bit.");
  });
  EXPECT_TRUE(started);
  for (const auto& line : lines) EXPECT_FALSE(line.starts_with("[TRACE]")) << line;
  // Unloading writes the SAT layer's line first, then the library's.
  const auto sat = position(lines, "[DEBUG] dllsat: Releasing library resources.");
  const auto lib = position(lines, "[DEBUG] mfe: Releasing library resources.");
  ASSERT_LT(lib, static_cast<std::ptrdiff_t>(lines.size()));
  EXPECT_LT(sat, lib);
  EXPECT_EQ(lib, static_cast<std::ptrdiff_t>(lines.size()) - 1);
}

TEST_F(Lifecycle, ALibraryTrustingTheDevelopmentCaSaysSoOnceAtLoad) {
  const std::string warning =
      "[WARN] This library trusts the development CA, whose private key is public: it must not be deployed.";
  const int expected = TAVIK_TRUSTS_DEVELOPMENT_CA ? 1 : 0;
  for (const char* level : {"warn", "trace"}) {
    const auto lines = messages(run({"", {{"LOG_LEVEL_MFE", level}, {"LOG_FILE_MFE", log_path()}}}));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), warning), expected) << level;
    fs::remove(log_path());
  }
  // Below Warn the line is not written, like any other.
  EXPECT_EQ(run({"", {{"LOG_LEVEL_MFE", "error"}, {"LOG_FILE_MFE", log_path()}}}), "");
}

TEST_F(Lifecycle, WithoutSettingsOrVariablesNothingIsWrittenAndCallsGoOverUsb) {
  run({"", {}, false, 4321});
  // No device on USB here: the disconnected text, and no file but the answer.
  EXPECT_EQ(answer(), "004321|9999|SAT Desconectado");
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir_)) files.push_back(entry.path().filename().string());
  EXPECT_EQ(files, std::vector<std::string>{"answer.txt"});
}

TEST_F(Lifecycle, NetworkMethodSendsRequestsOverTheNetwork) {
  // The address filter skips discovery; nothing listens there, so the call
  // fails as a network call does ("timeout"), not as USB's "SAT Desconectado".
  const std::string file = "[connection]\nmethod=Network\nip=127.0.0.9\n";
  run({file, {}, false, 4322});
  EXPECT_EQ(answer(), "timeout");
}

TEST_F(Lifecycle, SettingsFileInTheCurrentDirectoryIsApplied) {
  const std::string file = "[logging]\nlevel=trace\nfile=" + log_path() + "\n[connection]\ncontinuous=false\n";
  const auto lines = messages(run({file, {}}));
  const auto trace = position(lines, "[TRACE] mfe: Disabling continuous connection due to loaded settings");
  const auto info = position(lines, "[INFO] Disabling continuous connection");
  EXPECT_LT(trace, info);
  EXPECT_LT(info, static_cast<std::ptrdiff_t>(lines.size()));
  // No protocol section: the key's default turns compression off.
  EXPECT_TRUE(contains(lines, "[TRACE] mfe: Disabling protocol compression due to loaded settings"));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "[INFO] Disabling compression"), 2);
  EXPECT_TRUE(contains(lines, "[TRACE] mfe: Setting opening options following loaded setting"));
  EXPECT_TRUE(contains(lines, "[TRACE] mfe: Adding compatible device models"));
  EXPECT_TRUE(contains(lines, "[TRACE] mfe: All supported models added"));
  const bool loaded = std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
    return l.starts_with("[TRACE] mfe: Settings load result: Ok(Settings { logging: Logging { level: Some(\"trace\")");
  });
  EXPECT_TRUE(loaded);
}

TEST_F(Lifecycle, TheSettingsLevelWinsOverTheEnvironment) {
  const std::string file = "[logging]\nlevel=info\nfile=" + log_path() + "\n[protocol]\ncompression=true\n";
  const auto lines = messages(run({file, {{"LOG_LEVEL_MFE", "trace"}}}));
  ASSERT_FALSE(lines.empty());
  for (const auto& line : lines) {
    EXPECT_FALSE(line.starts_with("[TRACE]") || line.starts_with("[DEBUG]")) << line;
  }
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "[INFO] Enabling compression"), 2);
}

TEST_F(Lifecycle, AFileThatDoesNotParseLeavesTheNoFileDefaults) {
  const auto lines =
      messages(run({"[connection]\ncontinuous=True\n", {{"LOG_LEVEL_MFE", "trace"}, {"LOG_FILE_MFE", log_path()}}}));
  EXPECT_TRUE(contains(lines, "[INFO] Enabling continuous connection"));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "[INFO] Enabling compression"), 2);
  const bool failed = std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
    return l.starts_with("[TRACE] mfe: Settings load result: Err(IniParse(");
  });
  EXPECT_TRUE(failed);
  EXPECT_FALSE(contains(lines, "[TRACE] mfe: Setting opening options following loaded setting"));
}

TEST_F(Lifecycle, NetworkMethodStartsTheHeartbeatAndUnloadStopsIt) {
  const std::string file = "[logging]\nlevel=trace\nfile=" + log_path() + "\n[connection]\nmethod=Network\n";
  const auto lines = messages(run({file, {}}));
  EXPECT_TRUE(contains(lines, "[TRACE] mfe::background: Starting HeartBeater thread"));
  EXPECT_TRUE(contains(lines, "[TRACE] mfe::background: Clean closed HeartBeater thread"));
  EXPECT_LT(position(lines, "[TRACE] mfe::background: Clean closed HeartBeater thread"),
            position(lines, "[DEBUG] mfe: Releasing library resources."));
}

TEST_F(Lifecycle, BroadcastTwiceStartsOneThread) {
  const auto lines = messages(run({"", {{"LOG_LEVEL_MFE", "trace"}, {"LOG_FILE_MFE", log_path()}}, 2}));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "[TRACE] mfe::background: Starting HeartBeater thread"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "[TRACE] mfe::background: Clean closed HeartBeater thread"), 1);
}

}  // namespace
