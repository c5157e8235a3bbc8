#include "matrix/salvo_folder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/small_file.h"

namespace zv {
namespace {

std::string& FolderSetting() {
  static std::string folder;
  return folder;
}

constexpr std::string_view kSuffix = ".json";

bool NameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '-' ||
         c == '_' || c == '.';
}

}  // namespace

std::string DefaultSalvoFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && data[0] == '/') return std::string(data) + "/zv_multiview/salvos";
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') return {};
  return std::string(home) + "/.local/share/zv_multiview/salvos";
}

void SetSalvoFolder(std::string folder) { FolderSetting() = std::move(folder); }

std::string SalvoFolder() { return FolderSetting().empty() ? DefaultSalvoFolder() : FolderSetting(); }

std::string SalvoNameProblem(const std::string& name) {
  if (name.empty()) return "must not be empty";
  if (name.size() > kSalvoNameMaxChars)
    return "is longer than " + std::to_string(kSalvoNameMaxChars) + " characters";
  if (!std::all_of(name.begin(), name.end(), NameChar))
    return "takes letters, digits, spaces, '-', '_' and '.' only (a salvo is named, not given by its path)";
  if (name.front() == '.') return "must not start with '.'";
  if (name.find("..") != std::string::npos) return "must not hold \"..\"";
  return {};
}

std::string ReadNamedSalvo(const std::string& folder, const std::string& name, MatrixSalvo* salvo) {
  if (std::string problem = SalvoNameProblem(name); !problem.empty()) return "the salvo's name " + problem;
  if (folder.empty()) return "there is no salvo folder: neither XDG_DATA_HOME nor HOME is set";
  const std::string path = folder + "/" + name + std::string(kSuffix);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return "there is no salvo \"" + name + "\" in the salvo folder";
  std::string text, error;
  if (!ReadSmallFile(path, &text, &error, kNamedSalvoMaxBytes)) return "the salvo \"" + name + "\" " + error;
  if (!DecodeSalvoJson(text, salvo, &error)) return "the salvo \"" + name + "\": " + error;
  return {};
}

SalvoList ListSalvos(const std::string& folder, size_t max_files) {
  SalvoList list;
  if (folder.empty()) return list;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) {
    if (ec != std::errc::no_such_file_or_directory) list.error = "cannot read the salvo folder (" + ec.message() + ")";
    return list;
  }
  std::vector<std::string> names;
  for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
    const std::string file = it->path().filename().string();
    if (file.size() <= kSuffix.size() || file.compare(file.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0)
      continue;
    std::string name = file.substr(0, file.size() - kSuffix.size());
    if (!SalvoNameProblem(name).empty()) {
      ++list.skipped;
      continue;
    }
    names.push_back(std::move(name));
  }
  if (ec) list.error = "cannot read the salvo folder (" + ec.message() + ")";
  // As people read a list: case aside first.
  const auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return s;
  };
  std::sort(names.begin(), names.end(), [&lower](const std::string& a, const std::string& b) {
    const std::string la = lower(a), lb = lower(b);
    return la != lb ? la < lb : a < b;
  });
  if (names.size() > max_files) {
    list.skipped += names.size() - max_files;
    names.resize(max_files);
  }
  for (std::string& name : names) {
    SavedSalvo saved;
    saved.error = ReadNamedSalvo(folder, name, &saved.salvo);
    saved.name = std::move(name);
    list.salvos.push_back(std::move(saved));
  }
  return list;
}

}  // namespace zv
