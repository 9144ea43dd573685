#include "host/kit/ModelKit.h"

#include <fstream>
#include <sstream>

#include "host/kit/IbsFile.h"

namespace norvask::host {

namespace {

// The folder of `path` with its trailing separator, "" for a bare name.
std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

}  // namespace

Status readKitFile(const std::string& path, std::string& text) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file)
    return Status::Error(path + ": cannot open the file");
  const std::streamoff size = file.tellg();
  if (size < 0 || size > kMaxKitFileBytes)
    return Status::Error(path + ": not a model file (larger than " +
                         std::to_string(kMaxKitFileBytes) + " bytes, or not a regular file)");
  file.seekg(0);
  std::ostringstream content;
  content << file.rdbuf();
  text = content.str();
  return Status::Ok();
}

Status openModelKit(const KitRequest& request, ModelKit& kit) {
  std::string text;
  IbsFile ibs;
  if (Status read = readKitFile(request.ibsPath, text); !read.ok())
    return read;
  if (Status read = readIbsFile(text, request.ibsPath, ibs); !read.ok())
    return read;
  const IbsComponent* component = nullptr;
  const IbsModel* model = nullptr;
  const IbsExecutable* executable = nullptr;
  Status found = selectAlgorithmicModel(ibs, request.ibsPath, request.component, request.model,
                                        component, model);
  if (found.ok())
    found = pickExecutable(*model, request.ibsPath, hostOperatingSystem(), hostBits(), executable);
  if (!found.ok())
    return found;
  kit.component = component->name;
  kit.model = model->name;
  kit.platform = executable->platform;
  kit.libraryPath = folderOf(request.ibsPath) + executable->library;
  kit.amiPath = folderOf(request.ibsPath) + executable->amiFile;
  if (Status read = readKitFile(kit.amiPath, text); !read.ok())
    return read;
  return readAmiTree(text, kit.amiPath, kit.tree);
}

}  // namespace norvask::host
