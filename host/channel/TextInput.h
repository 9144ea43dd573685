// Reading the channel files: opening one with an error that names it, and
// std::getline without its appetite (a text file with no line breaks would
// otherwise be read into memory whole, whatever its size).
#ifndef NORVASK_HOST_CHANNEL_TEXTINPUT_H_
#define NORVASK_HOST_CHANNEL_TEXTINPUT_H_

#include <cstddef>
#include <fstream>
#include <istream>
#include <string>

#include "host/base/Limits.h"
#include "host/base/Status.h"

namespace norvask::host {

enum class LineRead { kLine, kEnd, kTooLong };

// Reads the next line into `line` (without its '\n'), stopping with
// kTooLong after kMaxLineLength characters.
LineRead readBoundedLine(std::istream& in, std::string& line);

// Removes the UTF-8 byte-order mark some editors put in front of the first
// line; left there, it would turn that line into one unreadable word.
void dropByteOrderMark(std::string& firstLine);

// Opens `path` for reading. Fails with "<path>: is a directory, not <what>"
// or "<path>: cannot open the file".
Status openTextFile(const std::string& path, const std::string& what, std::ifstream& file);

}  // namespace norvask::host

#endif  // NORVASK_HOST_CHANNEL_TEXTINPUT_H_
