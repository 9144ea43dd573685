#include "host/channel/TextInput.h"

#include <filesystem>
#include <system_error>

namespace norvask::host {

LineRead readBoundedLine(std::istream& in, std::string& line) {
  line.clear();
  if (in.rdbuf() == nullptr || !in.good())
    return LineRead::kEnd;
  // istream::getline searches the stream's buffer for the line break in one
  // go, where taking the characters one by one would cost a call each; a
  // chunk that fills up before the break just means the line goes on.
  char chunk[4096];
  for (;;) {
    in.getline(chunk, sizeof chunk);
    const auto count = static_cast<std::size_t>(in.gcount());
    const bool lineBroke = !in.fail() && !in.eof();  // the count includes the '\n'
    const bool chunkFull = in.fail() && !in.bad() && !in.eof() && count == sizeof chunk - 1;
    const std::size_t stored = lineBroke ? count - 1 : count;
    if (stored > kMaxLineLength - line.size())
      return LineRead::kTooLong;
    line.append(chunk, stored);
    if (lineBroke)
      return LineRead::kLine;
    if (!chunkFull)  // the end of the text
      return line.empty() ? LineRead::kEnd : LineRead::kLine;
    in.clear();
  }
}

void dropByteOrderMark(std::string& firstLine) {
  if (firstLine.rfind("\xEF\xBB\xBF", 0) == 0)
    firstLine.erase(0, 3);
}

Status openTextFile(const std::string& path, const std::string& what, std::ifstream& file) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored))
    return Status::Error("is a directory, not " + what).Within(path);
  file.open(path);
  return file.is_open() ? Status::Ok() : Status::Error("cannot open the file").Within(path);
}

}  // namespace norvask::host
