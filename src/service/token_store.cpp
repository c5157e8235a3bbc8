#include "service/token_store.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zv {

namespace {

constexpr size_t kHashBytes = 32;     // SHA-256
constexpr size_t kTokenBytes = 24;    // 192 bits of randomness
constexpr size_t kMaxFileBytes = 1 << 20;

std::string Sha256(std::string_view text) {
  const QByteArray hash = QCryptographicHash::hash(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())),
                                                   QCryptographicHash::Sha256);
  return std::string(hash.constData(), static_cast<size_t>(hash.size()));
}

// Equal in time that does not depend on where the first difference is.
bool SameBytes(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < a.size(); ++i)
    diff |= static_cast<unsigned char>(a[i]) ^ static_cast<unsigned char>(b[i]);
  return diff == 0;
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    out.push_back(kDigits[static_cast<unsigned char>(c) >> 4]);
    out.push_back(kDigits[static_cast<unsigned char>(c) & 0xF]);
  }
  return out;
}

std::optional<std::string> FromHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int hi = digit(hex[i]), lo = digit(hex[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out.push_back(static_cast<char>(hi << 4 | lo));
  }
  return out;
}

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
         c == '.' || c == '@';
}

bool ValidName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  for (const char c : name)
    if (!IsNameChar(c)) return false;
  return true;
}

// The file's mode allows group or others in: a sentence saying so, or empty.
std::string PermissionProblem(const std::string& path, const struct stat& st) {
  if (!S_ISREG(st.st_mode)) return "The token file " + path + " is not a regular file.";
  if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return "The token file " + path + " can be read or written by others (mode " + mode +
           "); make it private with chmod 600.";
  }
  return {};
}

// Reads the whole file through an open descriptor.
bool ReadAll(int fd, std::string* text) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    text->append(buffer, static_cast<size_t>(n));
    if (text->size() > kMaxFileBytes) return false;
  }
}

struct ParsedLine {
  std::string name;
  Role role;
  std::string hash;
};

// Splits one line into its words (spaces or tabs between them).
std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// The file's token lines, or false with a sentence naming the bad line.
bool ParseTokenFile(const std::string& path, std::string_view text, std::vector<ParsedLine>* lines,
                    std::string* error) {
  size_t number = 0;
  while (!text.empty()) {
    ++number;
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const std::vector<std::string_view> words = Words(line);
    if (words.empty() || words[0].front() == '#') continue;
    const std::string where = path + " line " + std::to_string(number);
    if (words.size() != 3) {
      *error = where + ": expected NAME ROLE HASH.";
      return false;
    }
    if (!ValidName(words[0])) {
      *error = where + ": the name may have letters, digits and - _ . @ only.";
      return false;
    }
    const std::optional<Role> role = RoleFromName(words[1]);
    if (!role) {
      *error = where + ": the role is view, operate or admin, not " + std::string(words[1]) + ".";
      return false;
    }
    const std::optional<std::string> hash = words[2].size() == kHashBytes * 2 ? FromHex(words[2]) : std::nullopt;
    if (!hash) {
      *error = where + ": the hash is 64 hexadecimal digits.";
      return false;
    }
    for (const ParsedLine& other : *lines)
      if (other.name == words[0]) {
        *error = where + ": the name " + std::string(words[0]) + " is there twice.";
        return false;
      }
    lines->push_back({std::string(words[0]), *role, *hash});
  }
  return true;
}

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno) + "."; }

}  // namespace

std::optional<Role> RoleFromName(std::string_view name) {
  if (name == "view") return Role::kView;
  if (name == "operate") return Role::kOperate;
  if (name == "admin") return Role::kAdmin;
  return std::nullopt;
}

const char* RoleName(Role role) {
  switch (role) {
    case Role::kView: return "view";
    case Role::kOperate: return "operate";
    case Role::kAdmin: return "admin";
  }
  return "view";
}

bool TokenStore::Load(const std::string& path, std::string* error) {
  m_entries.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    *error = Errno("Cannot open the token file " + path);
    return false;
  }
  struct stat st {};
  std::string text;
  bool ok = fstat(fd, &st) == 0;
  if (!ok) *error = Errno("Cannot read the token file " + path);
  if (ok) {
    *error = PermissionProblem(path, st);
    ok = error->empty();
  }
  if (ok && !ReadAll(fd, &text)) {
    *error = "Cannot read the token file " + path + " (unreadable or larger than 1 MB).";
    ok = false;
  }
  close(fd);
  if (!ok) return false;
  std::vector<ParsedLine> lines;
  if (!ParseTokenFile(path, text, &lines, error)) return false;
  for (ParsedLine& line : lines) m_entries.push_back({std::move(line.name), line.role, std::move(line.hash)});
  return true;
}

std::optional<TokenHolder> TokenStore::Check(std::string_view token) const {
  const std::string hash = Sha256(token);
  const Entry* found = nullptr;
  for (const Entry& entry : m_entries) {
    // Every entry is compared; the branch below picks without leaving the loop.
    const bool same = SameBytes(entry.hash, hash);
    found = same ? &entry : found;
  }
  if (token.empty() || !found) return std::nullopt;
  return TokenHolder{found->name, found->role};
}

bool TokenStore::Empty() const { return m_entries.empty(); }

std::optional<std::string> TokenStore::AddToken(const std::string& path, const std::string& name, Role role,
                                                std::string* error) {
  if (!ValidName(name)) {
    *error = "A token's name is 1 to 64 letters, digits or - _ . @ (not \"" + name + "\").";
    return std::nullopt;
  }
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    *error = Errno("Cannot open the token file " + path);
    return std::nullopt;
  }
  struct stat st {};
  std::string text;
  std::vector<ParsedLine> lines;
  // One maker at a time, so that two cannot add the same name.
  bool ok = flock(fd, LOCK_EX) == 0 && fstat(fd, &st) == 0;
  if (!ok) *error = Errno("Cannot read the token file " + path);
  if (ok) {
    *error = PermissionProblem(path, st);
    ok = error->empty();
  }
  if (ok && st.st_uid != geteuid()) {
    *error = "The token file " + path + " belongs to another user.";
    ok = false;
  }
  if (ok && !ReadAll(fd, &text)) {
    *error = "Cannot read the token file " + path + ".";
    ok = false;
  }
  if (ok) ok = ParseTokenFile(path, text, &lines, error);
  if (ok)
    for (const ParsedLine& line : lines)
      if (line.name == name) {
        *error = "The token file " + path + " already has a token named " + name + ".";
        ok = false;
      }
  unsigned char random[kTokenBytes];
  if (ok) {
    size_t got = 0;
    while (got < sizeof random) {
      const ssize_t n = getrandom(random + got, sizeof random - got, 0);
      if (n < 0) {
        if (errno == EINTR) continue;
        *error = Errno("No random numbers for a token");
        ok = false;
        break;
      }
      got += static_cast<size_t>(n);
    }
  }
  std::string token;
  if (ok) {
    token = Hex(std::string(reinterpret_cast<const char*>(random), sizeof random));
    std::string line;
    if (!text.empty() && text.back() != '\n') line += '\n';
    line += name + " " + RoleName(role) + " " + Hex(Sha256(token)) + "\n";
    size_t written = 0;
    while (ok && written < line.size()) {
      const ssize_t n = write(fd, line.data() + written, line.size() - written);
      if (n < 0) {
        if (errno == EINTR) continue;
        *error = Errno("Cannot write the token file " + path);
        ok = false;
      } else {
        written += static_cast<size_t>(n);
      }
    }
    if (ok && fsync(fd) != 0) {
      *error = Errno("Cannot write the token file " + path);
      ok = false;
    }
  }
  std::memset(random, 0, sizeof random);
  close(fd);
  if (!ok) return std::nullopt;
  return token;
}

}  // namespace zv
