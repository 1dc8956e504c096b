// The report as one JSON document on standard output, for scripts that check a fleet of servers
// and for editors. Its fields are described in the README, under "Checking a file". It is written
// as it goes, not built in memory first: the summary of a file may list a million species.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/check/Check.h"
#include "tools/check/Diff.h"

// One file's report, with what a reload from running would change when there is one.
struct JsonFile {
  const FileReport* report;
  const FileReport* running = nullptr;
  const ConfigDiff* diff = nullptr;
};

// A JSON document written member by member, two blanks an indent.
class JsonWriter {
 public:
  explicit JsonWriter(std::FILE* out) : out_(out) {}

  void Open(std::string_view key, char bracket) {
    Key(key);
    std::fputc(bracket, out_);
    empty_.push_back(true);
  }
  void Close(char bracket) {
    const bool empty = empty_.back();
    empty_.pop_back();
    if (!empty) NewLine();
    std::fputc(bracket, out_);
    if (empty_.empty()) std::fputc('\n', out_);
  }
  void Text(std::string_view key, std::string_view text) {
    Key(key);
    Raw(nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
  }
  void Number(std::string_view key, double value) {
    Key(key);
    if (!std::isfinite(value)) return Raw("null");
    char text[32];
    Raw(std::string(text, std::to_chars(text, text + sizeof text, value).ptr));
  }
  // A 32-bit value by the shortest text that reads back as it.
  void Number(std::string_view key, float value) {
    Key(key);
    if (!std::isfinite(value)) return Raw("null");
    char text[32];
    Raw(std::string(text, std::to_chars(text, text + sizeof text, value).ptr));
  }
  void Count(std::string_view key, std::uint64_t value) {
    Key(key);
    Raw(std::to_string(value));
  }
  void Flag(std::string_view key, bool value) {
    Key(key);
    Raw(value ? "true" : "false");
  }
  void Null(std::string_view key) {
    Key(key);
    Raw("null");
  }

 private:
  // The key of a member, or nothing for an element of an array.
  void Key(std::string_view key) {
    if (!empty_.empty()) {
      if (!empty_.back()) std::fputc(',', out_);
      empty_.back() = false;
      NewLine();
    }
    if (!key.empty()) {
      Raw(nlohmann::json(key).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
      Raw(": ");
    }
  }
  void NewLine() {
    std::fputc('\n', out_);
    for (std::size_t i = 0; i < empty_.size(); ++i) std::fputs("  ", out_);
  }
  void Raw(std::string_view text) { std::fwrite(text.data(), 1, text.size(), out_); }

  std::FILE* out_;
  std::vector<bool> empty_;  // of each open container: nothing written in it yet
};

// One element of the document's "files".
void WriteJsonFile(JsonWriter& w, const JsonFile& file, std::optional<double> maturation);
