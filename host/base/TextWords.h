// Words of a line of text, as the host's file readers split them: the blanks
// between words are those a stream skips in the "C" locale.
#ifndef NORVASK_HOST_BASE_TEXTWORDS_H_
#define NORVASK_HOST_BASE_TEXTWORDS_H_

#include <string>
#include <vector>

namespace norvask::host {

// The text without the blanks around it; empty exactly when it has no word.
std::string trimmed(const std::string& text);

// The words of the text, in order.
std::vector<std::string> words(const std::string& text);

}  // namespace norvask::host

#endif  // NORVASK_HOST_BASE_TEXTWORDS_H_
