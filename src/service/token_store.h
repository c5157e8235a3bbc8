// Tokens with roles, kept as hashes in a private file. The service asks
// every request for a token; a token file holds one line per token,
// "NAME ROLE HASH" (the SHA-256 of the token, in hex), and lines starting
// with # are comments. The token itself is shown once, when it is made,
// and is stored nowhere.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zv {

// What a token may do; each role includes the ones below it.
enum class Role : uint8_t {
  kView = 1,     // devices, state, events, the list of actions
  kOperate = 2,  // also runs actions
  kAdmin = 3,    // also sets addresses, applies setups, scans
};
// "view", "operate", "admin"; nullopt for any other word.
std::optional<Role> RoleFromName(std::string_view name);
const char* RoleName(Role role);

struct TokenHolder {
  std::string name;
  Role role;
};

class TokenStore {
 public:
  // Reads the file. False with *error (a sentence for people) when it is missing, unreadable,
  // readable or writable by group or others, or malformed. The store is left empty then.
  bool Load(const std::string& path, std::string* error);
  // Who holds `token`, compared in constant time against every stored hash (SHA-256 of the token,
  // compared with a constant-time comparison; the loop never stops early); nullopt for nobody.
  std::optional<TokenHolder> Check(std::string_view token) const;
  bool Empty() const;
  // Makes a new random token (at least 128 bits from getrandom, printed as hex or base64url),
  // appends NAME, ROLE and the token's hash to `path` (created 0600; an existing file that is
  // group/other readable is refused), and returns the token (shown once, never stored).
  // NAME is a word of letters, digits, '-', '_', '.' and '@'; a name already in the file is refused.
  static std::optional<std::string> AddToken(const std::string& path, const std::string& name, Role role,
                                             std::string* error);

 private:
  struct Entry {
    std::string name;
    Role role;
    std::string hash;  // 32 bytes
  };
  std::vector<Entry> m_entries;
};

}  // namespace zv
