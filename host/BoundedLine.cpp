#include "host/BoundedLine.h"

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

}  // namespace norvask::host
