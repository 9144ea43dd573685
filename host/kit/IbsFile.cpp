#include "host/kit/IbsFile.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "host/base/NumberText.h"
#include "host/base/TextWords.h"

namespace norvask::host {

namespace {

enum class Section { kOther, kPin, kModelSelector, kAlgorithmic, kEnd };

std::string lowered(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Keywords compare without case, with '_' and ' ' alike.
std::string keywordKey(const std::string& name) {
  std::string key;
  for (const std::string& word : words(lowered(name))) {
    std::string part = word;
    std::replace(part.begin(), part.end(), '_', ' ');
    key += (key.empty() ? "" : " ") + part;
  }
  return key;
}

class IbsReader {
 public:
  IbsReader(const std::string& fileName, IbsFile& file) : fileName_(fileName), file_(file) {}

  Status Read(const std::string& text) {
    std::istringstream stream(text);
    std::string line;
    while (section_ != Section::kEnd && std::getline(stream, line)) {
      ++line_;
      if (Status read = ReadLine(StripComment(line)); !read.ok())
        return read;
    }
    if (section_ == Section::kAlgorithmic)
      return Expected("[End Algorithmic Model] closing the one of line " +
                      std::to_string(algorithmicLine_) + " before the end of the file");
    if (file_.version.empty())
      return Expected("[IBIS Ver] in the file");
    return Status::Ok();
  }

 private:
  // An empty file fails on its first line.
  Status Expected(const std::string& what) const {
    return Status::Error(fileName_ + ": line " + std::to_string(std::max(line_, 1L)) +
                         ": expected " + what);
  }

  std::string StripComment(const std::string& line) const {
    return trimmed(line.substr(0, line.find(commentChar_)));
  }

  Status ReadLine(const std::string& line) {
    if (line.empty())
      return Status::Ok();
    if (line[0] == '[') {
      const auto close = line.find(']');
      if (close == std::string::npos)
        return Expected("']' closing the keyword");
      return ReadKeyword(line.substr(0, close + 1), trimmed(line.substr(close + 1)));
    }
    // A line of blanks alone (a tab, a form feed) holds no record.
    const std::vector<std::string> record = words(line);
    if (record.empty())
      return Status::Ok();
    switch (section_) {
      case Section::kPin:
        return ReadPin(record);
      case Section::kModelSelector:
        file_.selectors.back().models.push_back(record[0]);
        return Status::Ok();
      case Section::kAlgorithmic:
        return ReadExecutable(record);
      default:
        return Status::Ok();
    }
  }

  // `keyword` with its brackets, as the file writes it.
  Status ReadKeyword(const std::string& keyword, const std::string& argument) {
    const std::string key = keywordKey(keyword.substr(1, keyword.size() - 2));
    if (section_ == Section::kAlgorithmic && key != "end algorithmic model")
      return Expected("[End Algorithmic Model] before " + keyword);
    if (file_.version.empty() && key != "ibis ver")
      return Expected("[IBIS Ver] as the first keyword");
    section_ = Section::kOther;
    const std::vector<std::string> names = words(argument);
    if (key == "ibis ver")
      return ReadVersion(names);
    if (key == "comment char")
      return ReadCommentChar(names);
    if (key == "component")
      return ReadNamed("component", argument, [&] {
        file_.components.push_back({argument, line_, {}});
      });
    if (key == "pin")
      return Within("[Component]", !file_.components.empty(), Section::kPin);
    if (key == "model selector")
      return ReadNamed("model selector", argument, [&] {
        file_.selectors.push_back({names[0], {}});
        section_ = Section::kModelSelector;
      });
    if (key == "model")
      return ReadNamed("model", argument, [&] {
        file_.models.push_back({names[0], line_, false, {}});
      });
    if (key == "algorithmic model")
      return OpenAlgorithmic();
    if (key == "end")
      section_ = Section::kEnd;
    return Status::Ok();
  }

  template <typename Record>
  Status ReadNamed(const std::string& what, const std::string& argument, Record record) {
    if (argument.empty())
      return Expected("a " + what + " name");
    record();
    return Status::Ok();
  }

  Status Within(const std::string& owner, bool present, Section section) {
    if (!present)
      return Expected(owner + " before this keyword");
    section_ = section;
    return Status::Ok();
  }

  Status ReadVersion(const std::vector<std::string>& words) {
    double version = 0.0;
    if (words.size() != 1 || !readFinite(words[0], version))
      return Expected("a version number after [IBIS Ver]");
    file_.version = words[0];
    return Status::Ok();
  }

  Status ReadCommentChar(const std::vector<std::string>& words) {
    if (words.empty() || words[0].size() != 6 || words[0].substr(1) != "_char")
      return Expected("a character followed by _char after [Comment Char]");
    commentChar_ = words[0][0];
    return Status::Ok();
  }

  Status ReadPin(const std::vector<std::string>& words) {
    if (words.size() < 3)
      return Expected("pin_name signal_name model_name");
    file_.components.back().pins.push_back({words[0], words[1], words[2]});
    return Status::Ok();
  }

  Status OpenAlgorithmic() {
    if (file_.models.empty())
      return Expected("[Model] before [Algorithmic Model]");
    file_.models.back().algorithmic = true;
    algorithmicLine_ = line_;
    section_ = Section::kAlgorithmic;
    return Status::Ok();
  }

  Status ReadExecutable(const std::vector<std::string>& words) {
    // Other lines of the section (a repeater's Executable_Rx, newer
    // subparameters) are for other flows.
    if (lowered(words[0]) != "executable")
      return Status::Ok();
    if (words.size() < 4)
      return Expected("Executable platform_compiler_bits library_file parameter_file");
    file_.models.back().executables.push_back({words[1], words[2], words[3], line_});
    return Status::Ok();
  }

  const std::string& fileName_;
  IbsFile& file_;
  Section section_ = Section::kOther;
  char commentChar_ = '|';
  long line_ = 0;
  long algorithmicLine_ = 0;
};

// The models a component's pins name, through the selectors, in pin order.
std::vector<std::string> reachedModels(const IbsFile& file, const IbsComponent& component) {
  std::vector<std::string> names;
  const auto add = [&names](const std::string& name) {
    if (std::find(names.begin(), names.end(), name) == names.end())
      names.push_back(name);
  };
  for (const IbsPin& pin : component.pins) {
    const auto selector =
        std::find_if(file.selectors.begin(), file.selectors.end(),
                     [&pin](const IbsModelSelector& s) { return s.name == pin.model; });
    if (selector == file.selectors.end()) {
      add(pin.model);
      continue;
    }
    for (const std::string& name : selector->models)
      add(name);
  }
  return names;
}

const IbsModel* findModel(const IbsFile& file, const std::string& name) {
  for (const IbsModel& model : file.models) {
    if (model.name == name)
      return &model;
  }
  return nullptr;
}

std::string listed(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names)
    text += (text.empty() ? "" : ", ") + name;
  return text.empty() ? "none" : text;
}

Status findComponent(const IbsFile& file, const std::string& fileName, const std::string& name,
                     const IbsComponent*& component) {
  std::vector<std::string> names;
  for (const IbsComponent& candidate : file.components) {
    if (name.empty() || candidate.name == name) {
      component = &candidate;
      return Status::Ok();
    }
    names.push_back(candidate.name);
  }
  if (name.empty())
    return Status::Error(fileName + ": has no [Component]");
  return Status::Error(fileName + ": has no component " + name + "; components: " + listed(names));
}

}  // namespace

Status readIbsFile(const std::string& text, const std::string& fileName, IbsFile& file) {
  file = IbsFile{};
  return IbsReader(fileName, file).Read(text);
}

Status selectAlgorithmicModel(const IbsFile& file, const std::string& fileName,
                              const std::string& componentName, const std::string& modelName,
                              const IbsComponent*& component, const IbsModel*& model) {
  if (Status found = findComponent(file, fileName, componentName, component); !found.ok())
    return found;
  std::vector<std::string> algorithmic;
  for (const std::string& name : reachedModels(file, *component)) {
    const IbsModel* candidate = findModel(file, name);
    if (candidate != nullptr && candidate->algorithmic)
      algorithmic.push_back(name);
  }
  for (const std::string& name : algorithmic) {
    if (modelName.empty() || name == modelName) {
      model = findModel(file, name);
      return Status::Ok();
    }
  }
  const std::string which = modelName.empty() ? "any model" : "model " + modelName;
  return Status::Error(fileName + ": component " + component->name + " has no pin on " + which +
                       " with an [Algorithmic Model]; those it has: " + listed(algorithmic));
}

Status pickExecutable(const IbsModel& model, const std::string& fileName, const std::string& os,
                      int bits, const IbsExecutable*& executable) {
  std::vector<std::string> platforms;
  for (const IbsExecutable& candidate : model.executables) {
    const std::string platform = lowered(candidate.platform);
    const auto first = platform.find('_');
    const auto last = platform.rfind('_');
    if (platform.substr(0, first) == lowered(os) &&
        platform.substr(last + 1) == std::to_string(bits)) {
      executable = &candidate;
      return Status::Ok();
    }
    platforms.push_back(candidate.platform);
  }
  return Status::Error(fileName + ": model " + model.name + " has no Executable for " + os + " " +
                       std::to_string(bits) + "-bit; it names: " + listed(platforms));
}

std::string hostOperatingSystem() {
#ifdef _WIN32
  return "Windows";
#else
  return "Linux";
#endif
}

int hostBits() {
  return static_cast<int>(sizeof(void*) * 8);
}

}  // namespace norvask::host
