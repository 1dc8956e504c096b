#include "sandbox/console/LineReader.h"

namespace Console {
namespace {

// An editor may save a script with one in front; it is no part of the command.
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

std::vector<InputLine> LineReader::Feed(std::string_view bytes) {
  std::vector<InputLine> lines;
  for (std::size_t end; (end = bytes.find('\n')) != std::string_view::npos;
       bytes.remove_prefix(end + 1)) {
    Take(bytes.substr(0, end));
    lines.push_back(Complete());
  }
  Take(bytes);
  return lines;
}

std::optional<InputLine> LineReader::Finish() {
  if (length_ == 0) return std::nullopt;
  return Complete();
}

void LineReader::Take(std::string_view part) {
  length_ += part.size();
  if (length_ <= MaxLineBytes)
    pending_.append(part);
  else
    pending_.clear();
}

InputLine LineReader::Complete() {
  InputLine line;
  if (length_ > MaxLineBytes)
    line = {"error: line too long (" + std::to_string(length_) + " bytes)", true};
  else
    line.text = std::move(pending_);
  if (line.text.starts_with(ByteOrderMark)) line.text.erase(0, ByteOrderMark.size());
  pending_.clear();
  length_ = 0;
  return line;
}

}  // namespace Console
