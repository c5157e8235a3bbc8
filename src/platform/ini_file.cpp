// A small INI reader and writer with the semantics the program relies on:
// sections and keys compare without case, a write replaces the value in place
// (or adds the key at the end of its section, or the section at the end of the
// file) and leaves every other line as it was.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace zv {
namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// "[Name]" gives Name; anything else gives nothing.
bool SectionName(const std::string& line, std::string* name) {
  const std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return false;
  const auto close = t.find(']');
  if (close == std::string::npos) return false;
  *name = Trim(t.substr(1, close - 1));
  return true;
}

bool KeyOf(const std::string& line, std::string* key, std::string* value) {
  const std::string t = Trim(line);
  if (t.empty() || t[0] == ';' || t[0] == '#') return false;
  const auto eq = t.find('=');
  if (eq == std::string::npos) return false;
  *key = Trim(t.substr(0, eq));
  if (value) *value = Trim(t.substr(eq + 1));
  return true;
}

}  // namespace

std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& fallback, const std::string& path) {
  bool in_section = false;
  for (const std::string& line : ReadLines(path)) {
    std::string name, k, v;
    if (SectionName(line, &name)) {
      in_section = SameName(name, section);
    } else if (in_section && KeyOf(line, &k, &v) && SameName(k, key)) {
      return v;
    }
  }
  return fallback;
}

int WriteProfileString(const std::string& section, const std::string& key,
                       const std::string& value, const std::string& path) {
  // Values are one line each; a line break inside would corrupt the file.
  if (value.find_first_of("\r\n") != std::string::npos ||
      key.find_first_of("\r\n=[") != std::string::npos ||
      section.find_first_of("\r\n]") != std::string::npos)
    return 0;

  std::vector<std::string> lines = ReadLines(path);
  const std::string entry = key + "=" + value;
  bool in_section = false;
  bool section_seen = false;
  size_t insert_at = lines.size();
  bool done = false;
  for (size_t i = 0; i < lines.size() && !done; ++i) {
    std::string name, k;
    if (SectionName(lines[i], &name)) {
      // The section ended without the key: it goes after the section's last
      // entry, before any blank lines that separate it from the next one.
      if (in_section) break;
      in_section = SameName(name, section);
      if (in_section) {
        section_seen = true;
        insert_at = i + 1;
      }
    } else if (in_section) {
      if (KeyOf(lines[i], &k, nullptr) && SameName(k, key)) {
        lines[i] = entry;
        done = true;
      } else if (!Trim(lines[i]).empty()) {
        insert_at = i + 1;
      }
    }
  }
  if (!done) {
    if (section_seen) {
      lines.insert(lines.begin() + static_cast<long>(insert_at), entry);
    } else {
      lines.push_back("[" + section + "]");
      lines.push_back(entry);
    }
  }

  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return 0;
    for (const std::string& line : lines) out << line << "\r\n";
    out.flush();
    if (!out) {
      std::remove(temp.c_str());
      return 0;
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return 0;
  }
  return 1;
}

}  // namespace zv
