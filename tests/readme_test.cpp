// The README shows real sessions: each quoted command is run and its output compared line by line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "tests/SandboxProcess.h"

namespace {

std::vector<std::string> ReadmeLines() { return ReadLines(SourceDir() + "/README.md"); }

// The lines of the fenced block that starts with the given command line.
std::vector<std::string> Block(const std::string& first_line) {
  std::vector<std::string> lines = ReadmeLines(), block;
  auto it = std::find(lines.begin(), lines.end(), first_line);
  if (it == lines.end()) return block;
  for (++it; it != lines.end() && *it != "```"; ++it) block.push_back(*it);
  return block;
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

TEST(Readme, TheSandboxTranscriptIsReal) {
  const std::vector<std::string> lines = ReadmeLines();
  auto marker = std::find(lines.begin(), lines.end(), "<!-- transcript -->");
  ASSERT_NE(marker, lines.end());
  ASSERT_EQ(*(marker + 1), "```console");
  const std::string command = *(marker + 2);
  ASSERT_THAT(command, ::testing::StartsWith("$ nestkeep-sandbox "));

  const auto server = ScratchPath("readme");
  std::filesystem::create_directories(server / "ArkApi/Plugins/Nestkeep");
  std::filesystem::copy_file(SourceDir() + "/examples/config.json",
                             server / "ArkApi/Plugins/Nestkeep/config.json",
                             std::filesystem::copy_options::overwrite_existing);
  std::vector<std::string> options;
  for (const std::string& word : Words(command.substr(2))) {
    if (word == "nestkeep-sandbox") continue;
    if (word == "SERVER")
      options.push_back(server.string());
    else if (word.rfind("examples/", 0) == 0)
      options.push_back(SourceDir() + "/" + word);
    else
      options.push_back(word);
  }
  std::string input;
  std::vector<std::string> expected;
  for (const std::string& line :
       Block("$ nestkeep-sandbox --dir SERVER --content examples/content.txt --seed 1")) {
    if (line.rfind("> ", 0) == 0)
      input += line.substr(2) + "\n";
    else
      expected.push_back(line);
  }
  ASSERT_FALSE(expected.empty());
  SandboxRun run = RunSandbox(options, input);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, expected);
  EXPECT_TRUE(run.err.empty());
  std::filesystem::remove_all(server);
}

TEST(Readme, TheCheckerSummaryIsReal) {
  const std::vector<std::string> expected = Block("$ nestkeep-check examples/config.json");
  ASSERT_FALSE(expected.empty());
  SandboxRun run = RunProgram("nestkeep-check", {"examples/config.json"}, "", SourceDir());
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.err.empty());
  const std::vector<std::string>& out = run.out;
  EXPECT_EQ(out, expected);
}

}  // namespace
