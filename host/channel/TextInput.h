// Reading the channel files: opening one with an error that names it, and
// std::getline without its appetite (a text file with no line breaks would
// otherwise be read into memory whole, whatever its size).
#ifndef NORVASK_HOST_CHANNEL_TEXTINPUT_H_
#define NORVASK_HOST_CHANNEL_TEXTINPUT_H_

#include <cstddef>
#include <fstream>
#include <istream>
#include <string>

namespace norvask::host {

// Longest line the channel readers take; real data lines are far shorter.
inline constexpr std::size_t kMaxLineLength = std::size_t{1} << 20;

enum class LineRead { kLine, kEnd, kTooLong };

// Reads the next line into `line` (without its '\n'), stopping with
// kTooLong after kMaxLineLength characters.
LineRead readBoundedLine(std::istream& in, std::string& line);

// Opens `path` for reading. On failure sets `error` to "<path>: is a
// directory, not <what>" or "<path>: cannot open the file" and returns false.
bool openTextFile(const std::string& path, const std::string& what, std::ifstream& file,
                  std::string& error);

}  // namespace norvask::host

#endif  // NORVASK_HOST_CHANNEL_TEXTINPUT_H_
