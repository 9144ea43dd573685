// The parenthesised text of an .ami file read into a tree, before any meaning
// is given to it: every list is a name followed by atoms and lists. Quoted
// strings stay atoms with their quotes dropped and `quoted` set, so the
// parameter string can quote them again. A '|' outside a string starts a
// comment, as in the .ibs file the .ami comes with.
#ifndef NORVASK_HOST_KIT_AMIEXPRESSION_H_
#define NORVASK_HOST_KIT_AMIEXPRESSION_H_

#include <string>
#include <vector>

#include "host/base/Status.h"

namespace norvask::host {

// Deeper nesting than this is refused: no real parameter tree comes near it,
// and it bounds the reader's recursion on any input.
inline constexpr int kMaxAmiDepth = 64;

struct AmiExpression {
  bool list = false;
  std::string text;  // an atom's text, or a list's name
  bool quoted = false;
  long line = 0;
  std::vector<AmiExpression> items;  // a list's contents after its name
};

// Reads the one top-level list of `text`. A failure reads
// "<fileName>: line N: expected ...".
Status readAmiExpression(const std::string& text, const std::string& fileName, AmiExpression& root);

}  // namespace norvask::host

#endif  // NORVASK_HOST_KIT_AMIEXPRESSION_H_
