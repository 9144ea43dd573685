#include "host/kit/AmiExpression.h"

#include <cctype>

namespace norvask::host {

namespace {

class ExpressionReader {
 public:
  ExpressionReader(const std::string& text, const std::string& fileName)
      : text_(text), fileName_(fileName) {}

  Status ReadRoot(AmiExpression& root) {
    SkipBlanks();
    if (AtEnd() || text_[at_] != '(')
      return Expected("'(' opening the parameter tree");
    if (Status read = ReadList(root, 1); !read.ok())
      return read;
    SkipBlanks();
    return AtEnd() ? Status::Ok() : Expected("nothing after the tree's closing ')'");
  }

 private:
  bool AtEnd() const { return at_ >= text_.size(); }

  void Advance() {
    if (text_[at_] == '\n')
      ++line_;
    ++at_;
  }

  void SkipBlanks() {
    while (!AtEnd()) {
      if (text_[at_] == '|') {
        while (!AtEnd() && text_[at_] != '\n')
          Advance();
      } else if (std::isspace(static_cast<unsigned char>(text_[at_]))) {
        Advance();
      } else {
        return;
      }
    }
  }

  Status Expected(const std::string& what) const {
    return Status::Error(fileName_ + ": line " + std::to_string(line_) + ": expected " + what);
  }

  // At '(': the name, then atoms and lists up to the matching ')'.
  Status ReadList(AmiExpression& list, int depth) {
    if (depth > kMaxAmiDepth)
      return Expected("at most " + std::to_string(kMaxAmiDepth) + " nested lists");
    list.list = true;
    list.line = line_;
    Advance();
    SkipBlanks();
    if (AtEnd() || text_[at_] == '(' || text_[at_] == ')' || text_[at_] == '"')
      return Expected("a name after '('");
    ReadBareAtom(list.text);
    return ReadItems(list, depth);
  }

  Status ReadItems(AmiExpression& list, int depth) {
    for (SkipBlanks(); !AtEnd() && text_[at_] != ')'; SkipBlanks()) {
      list.items.emplace_back();
      AmiExpression& item = list.items.back();
      item.line = line_;
      Status read = text_[at_] == '('   ? ReadList(item, depth + 1)
                    : text_[at_] == '"' ? ReadString(item)
                                        : (ReadBareAtom(item.text), Status::Ok());
      if (!read.ok())
        return read;
    }
    if (AtEnd()) {
      return Expected("')' closing (" + list.text + " of line " + std::to_string(list.line) +
                      " before the end of the file");
    }
    Advance();
    return Status::Ok();
  }

  void ReadBareAtom(std::string& atom) {
    const std::size_t start = at_;
    while (!AtEnd() && text_[at_] != '(' && text_[at_] != ')' && text_[at_] != '"' &&
           text_[at_] != '|' && !std::isspace(static_cast<unsigned char>(text_[at_])))
      Advance();
    atom = text_.substr(start, at_ - start);
  }

  Status ReadString(AmiExpression& atom) {
    const long opened = line_;
    Advance();
    const std::size_t start = at_;
    while (!AtEnd() && text_[at_] != '"')
      Advance();
    if (AtEnd()) {
      line_ = opened;
      return Expected("'\"' closing the string opened here");
    }
    atom.text = text_.substr(start, at_ - start);
    atom.quoted = true;
    Advance();
    return Status::Ok();
  }

  const std::string& text_;
  const std::string& fileName_;
  std::size_t at_ = 0;
  long line_ = 1;
};

}  // namespace

Status readAmiExpression(const std::string& text, const std::string& fileName,
                         AmiExpression& root) {
  root = AmiExpression{};
  return ExpressionReader(text, fileName).ReadRoot(root);
}

}  // namespace norvask::host
