#include "host/channel/TextInput.h"

#include <filesystem>
#include <system_error>

namespace norvask::host {

LineRead readBoundedLine(std::istream& in, std::string& line) {
  line.clear();
  std::streambuf* buffer = in.rdbuf();
  if (buffer == nullptr || !in.good())
    return LineRead::kEnd;
  for (;;) {
    const auto next = buffer->sbumpc();
    if (next == std::char_traits<char>::eof()) {
      in.setstate(std::ios::eofbit);
      return line.empty() ? LineRead::kEnd : LineRead::kLine;
    }
    if (next == '\n')
      return LineRead::kLine;
    if (line.size() >= kMaxLineLength)
      return LineRead::kTooLong;
    line.push_back(static_cast<char>(next));
  }
}

Status openTextFile(const std::string& path, const std::string& what, std::ifstream& file) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored))
    return Status::Error("is a directory, not " + what).Within(path);
  file.open(path);
  return file.is_open() ? Status::Ok() : Status::Error("cannot open the file").Within(path);
}

}  // namespace norvask::host
