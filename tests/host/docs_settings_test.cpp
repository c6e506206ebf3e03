// Every settings example in docs/integrators.md (its fenced ```ini blocks)
// is loaded by the real shared library, as a program that copied it would
// load it, and must be used, not silently dropped as a file that does not
// parse. Each block runs in a child process in a folder of its own, in the
// test's own network namespace (a block may name a network module).
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/private_network.h"

namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// The fenced blocks marked ini, each as its text.
std::vector<std::string> ini_blocks(const std::string& markdown) {
  std::vector<std::string> blocks;
  std::istringstream in(markdown);
  std::optional<std::string> block;
  for (std::string line; std::getline(in, line);) {
    if (!block && line == "```ini") {
      block.emplace();
    } else if (block && line.starts_with("```")) {
      blocks.push_back(*block);
      block.reset();
    } else if (block) {
      *block += line + "\n";
    }
  }
  return blocks;
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The [logging] keys of a block, read plainly: they say where the library's
// log must appear when the block was used.
std::map<std::string, std::string> logging_keys(const std::string& block) {
  std::map<std::string, std::string> keys;
  std::istringstream in(block);
  bool in_logging = false;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("[")) in_logging = line == "[logging]" || line == "[Logging]";
    const auto equals = line.find('=');
    if (in_logging && equals != std::string::npos && !line.starts_with(";") && !line.starts_with("#")) {
      keys[trimmed(line.substr(0, equals))] = trimmed(line.substr(equals + 1));
    }
  }
  return keys;
}

class DocumentedSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    TAVIK_REQUIRE_PRIVATE_NETWORK();
    if (fs::exists(fs::path("/etc/tavik/mfe-config.ini"))) {
      GTEST_SKIP() << "/etc/tavik/mfe-config.ini would be read instead of the example";
    }
    root_ = fs::temp_directory_path() / ("tavik-docs-settings-" + std::to_string(::getpid()));
    fs::remove_all(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  // Loads and unloads the library in a child process whose current folder
  // holds the block as mfe-config.ini; the environment asks for a trace log
  // in env.log, which only a block without its own logging keys leaves in
  // force.
  void load(const std::string& block, const fs::path& dir) {
    fs::create_directories(dir);
    std::ofstream(dir / "mfe-config.ini", std::ios::binary) << block;
    const pid_t child = ::fork();
    if (child == 0) {
      if (::chdir(dir.c_str()) != 0) _exit(3);
      ::setenv("LOG_LEVEL_MFE", "trace", 1);
      ::setenv("LOG_FILE_MFE", (dir / "env.log").c_str(), 1);
      void* library = ::dlopen(TAVIK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
      if (library == nullptr) _exit(4);
      ::dlclose(library);
      _exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  }

  fs::path root_;
};

TEST_F(DocumentedSettings, EveryIniExampleOfTheGuideIsUsedByTheLibrary) {
  const auto blocks = ini_blocks(read_file(TAVIK_INTEGRATORS_GUIDE));
  ASSERT_FALSE(blocks.empty()) << "no ```ini block in " << TAVIK_INTEGRATORS_GUIDE;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    SCOPED_TRACE("```ini block " + std::to_string(i + 1) + ":\n" + blocks[i]);
    const fs::path dir = root_ / std::to_string(i);
    load(blocks[i], dir);

    // Where the block sends the log, and at which level: its own keys, else
    // the environment's. A block that did not parse would leave both to the
    // environment: a trace log in env.log saying Err(...).
    const std::string env_log = read_file(dir / "env.log");
    const auto rejected = env_log.find("Settings load result: Err(");
    ASSERT_EQ(rejected, std::string::npos)
        << "the library rejected the example: " << env_log.substr(rejected, env_log.find('\n', rejected) - rejected);
    const auto keys = logging_keys(blocks[i]);
    const fs::path log = keys.contains("file") ? dir / keys.at("file") : dir / "env.log";
    const std::string level = keys.contains("level") ? keys.at("level") : "trace";
    ASSERT_TRUE(level == "trace" || level == "debug" || level == "info")
        << "give the example a level of info or finer, so this test can see it used";
    const std::string text = read_file(log);
    EXPECT_NE(text.find("[INFO] "), std::string::npos) << "no log at " << log;
    if (level == "trace") {
      EXPECT_NE(text.find("Settings load result: Ok("), std::string::npos) << text;
    } else {
      EXPECT_EQ(text.find("[TRACE]"), std::string::npos) << "the environment's level was used:\n" << text;
    }
    if (log != dir / "env.log") {
      EXPECT_EQ(env_log, "") << "the environment's log file was used";
    }
  }
}

}  // namespace
