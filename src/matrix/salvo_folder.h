// The salvo folder: where saved salvos live, one file NAME.json each with
// the salvo's JSON (matrix_salvo.h). The desktop panel's save dialog opens
// there; the service lists it (GET /api/v1/devices/ADDR/salvos) and
// recalls a salvo from it by name. A remote client names a salvo, never a
// path: a name is checked strictly, so it can only ever name a file
// directly inside this folder.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "matrix/matrix_salvo.h"

namespace zv {

// $XDG_DATA_HOME/zv_multiview/salvos, else ~/.local/share/zv_multiview/salvos;
// empty when neither XDG_DATA_HOME nor HOME names a folder.
std::string DefaultSalvoFolder();
// The folder in use: the one --salvo-dir set, else the default. Set once,
// at start-up, before anything reads it.
void SetSalvoFolder(std::string folder);
std::string SalvoFolder();

inline constexpr size_t kSalvoNameMaxChars = 64;
// Why `name` is no salvo's name (empty when it is one): 1 to 64 ASCII
// letters, digits, spaces, '-', '_' and '.', not starting with '.', and no
// "..".
std::string SalvoNameProblem(const std::string& name);

// A named salvo's file is small: a salvo is a few dozen bytes.
inline constexpr size_t kNamedSalvoMaxBytes = 64 * 1024;

// Reads the salvo NAME from `folder` (NAME.json there). Empty when it was
// read; otherwise why not, in words that name the salvo and not the path.
std::string ReadNamedSalvo(const std::string& folder, const std::string& name, MatrixSalvo* salvo);

struct SavedSalvo {
  std::string name;   // the file's name without ".json"
  MatrixSalvo salvo;  // when `error` is empty
  std::string error;  // why the file holds no salvo
};

struct SalvoList {
  std::vector<SavedSalvo> salvos;  // by name
  // Files left out: names that are no salvo's name (a hidden file, a name
  // with characters a name does not take), and any past `max_files`.
  size_t skipped = 0;
  // Why the folder could not be read; a folder that does not exist yet
  // holds no salvo and is no error.
  std::string error;
};

// The *.json files of `folder`, each read and checked; at most `max_files`.
SalvoList ListSalvos(const std::string& folder, size_t max_files = 256);

}  // namespace zv
