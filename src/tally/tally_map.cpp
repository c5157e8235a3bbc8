#include "tally/tally_map.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>

#include "link/local_networks.h"
#include "multiview/multiview_setup.h"
#include "multiview/multiview_state.h"
#include "platform/small_file.h"

namespace zv {

namespace {

using Json = nlohmann::json;

constexpr int kSwitcherSources = 12;
constexpr size_t kMaxRows = 4096;
constexpr size_t kMaxNameUnits = 16;

struct Bad {
  std::string text;
};

int IntIn(const Json& row, const char* key, int min, int max, const std::string& where, int otherwise,
          bool required) {
  const auto it = row.find(key);
  if (it == row.end()) {
    if (required) throw Bad{where + ": " + key + " is missing"};
    return otherwise;
  }
  if (!it->is_number_integer() || it->get<long long>() < min || it->get<long long>() > max)
    throw Bad{where + ": " + key + " must be a whole number " + std::to_string(min) + " to " + std::to_string(max)};
  return static_cast<int>(it->get<long long>());
}

void OnlyKeys(const Json& row, std::initializer_list<const char*> keys, const std::string& where) {
  for (const auto& [key, value] : row.items()) {
    bool known = false;
    for (const char* k : keys) known = known || key == k;
    if (!known) throw Bad{where + ": unknown key \"" + key + "\""};
  }
}

TallyDisplayRow DisplayRow(const Json& row, const std::string& where) {
  if (!row.is_object()) throw Bad{where + " must be an object"};
  TallyDisplayRow r;
  const auto tsl = row.find("tsl");
  if (tsl == row.end() || !tsl->is_string() || (*tsl != "3.1" && *tsl != "5.0"))
    throw Bad{where + ": tsl must be \"3.1\" or \"5.0\""};
  r.version = *tsl == "3.1" ? TslVersion::k31 : TslVersion::k50;
  r.window = IntIn(row, "window", 1, kMultiviewWindowCount, where, 1, true);
  if (const auto mv = row.find("multiviewer"); mv != row.end()) {
    uint32_t address = 0;
    if (!mv->is_string() || !ParseIpv4(mv->get<std::string>(), &address))
      throw Bad{where + ": multiviewer must be an IPv4 address such as \"10.0.0.2\""};
    r.multiviewer = mv->get<std::string>();
  }
  if (r.version == TslVersion::k31) {
    OnlyKeys(row, {"tsl", "address", "multiviewer", "window", "tally", "green"}, where);
    r.address = IntIn(row, "address", 0, kTsl31MaxAddress, where, 0, true);
    r.red_tally = IntIn(row, "tally", 1, 4, where, 1, false);
    r.green_tally = IntIn(row, "green", 1, 4, where, 0, false);
    if (r.green_tally == r.red_tally) throw Bad{where + ": green must be another tally than tally"};
  } else {
    OnlyKeys(row, {"tsl", "screen", "index", "multiviewer", "window", "tally"}, where);
    r.screen = IntIn(row, "screen", 0, 0xFFFE, where, 0, true);
    r.index = IntIn(row, "index", 0, 0xFFFE, where, 0, true);
    if (const auto lamp = row.find("tally"); lamp != row.end()) {
      if (*lamp == "left") r.lamp = TslLampChoice::kLeft;
      else if (*lamp == "right") r.lamp = TslLampChoice::kRight;
      else if (*lamp == "text") r.lamp = TslLampChoice::kText;
      else throw Bad{where + ": tally must be \"left\", \"right\" or \"text\""};
    }
  }
  return r;
}

TallySourceRow SourceRow(const Json& row, const std::string& where) {
  if (!row.is_object()) throw Bad{where + " must be an object"};
  OnlyKeys(row, {"source", "input", "name"}, where);
  TallySourceRow r;
  r.source = IntIn(row, "source", 1, kSwitcherSources, where, 1, true);
  r.input = IntIn(row, "input", 1, kMultiviewWindowCount, where, 1, true);
  if (const auto name = row.find("name"); name != row.end()) {
    const std::optional<std::u16string> units =
        name->is_string() ? Utf8ToUtf16(name->get<std::string>()) : std::nullopt;
    if (!units || units->size() > kMaxNameUnits)
      throw Bad{where + ": name must be text of at most 16 characters"};
    r.name = name->get<std::string>();
  }
  return r;
}

std::string DefaultName(int source) {
  if (source == 11) return "BLK";
  if (source == 12) return "MP1";
  char name[16];
  std::snprintf(name, sizeof name, "Cam %02d", source);
  return name;
}

}  // namespace

TallyMap TallyMap::Defaults() {
  TallyMap m;
  for (int n = 1; n <= kMultiviewWindowCount; ++n) {
    TallyDisplayRow r;
    r.version = TslVersion::k50;
    r.screen = 0;
    r.index = n;
    r.window = n;
    m.displays.push_back(r);
  }
  for (int s = 1; s <= 10; ++s) m.sources.push_back({s, s, DefaultName(s)});
  return m;
}

std::vector<size_t> TallyMap::Rows31(int address) const {
  std::vector<size_t> out;
  for (size_t i = 0; i < displays.size(); ++i)
    if (displays[i].version == TslVersion::k31 && displays[i].address == address) out.push_back(i);
  return out;
}

std::vector<size_t> TallyMap::Rows50(int screen, int index) const {
  std::vector<size_t> out;
  for (size_t i = 0; i < displays.size(); ++i) {
    const TallyDisplayRow& r = displays[i];
    if (r.version == TslVersion::k50 && (screen == kTsl50Broadcast || r.screen == screen) &&
        (index == kTsl50Broadcast || r.index == index))
      out.push_back(i);
  }
  return out;
}

std::optional<int> TallyMap::InputOf(int source) const {
  for (const TallySourceRow& r : sources)
    if (r.source == source) return r.input;
  return std::nullopt;
}

std::string TallyMap::NameOf(int source) const {
  for (const TallySourceRow& r : sources)
    if (r.source == source && !r.name.empty()) return r.name;
  return DefaultName(source);
}

std::optional<TallyMap> ParseTallyMap(const std::string& text, std::string* error) {
  const Json j = Json::parse(text, nullptr, false);
  try {
    if (j.is_discarded()) throw Bad{"not JSON"};
    if (!j.is_object()) throw Bad{"the file must hold one JSON object"};
    OnlyKeys(j, {"displays", "sources"}, "the file");
    TallyMap m = TallyMap::Defaults();
    if (const auto displays = j.find("displays"); displays != j.end()) {
      if (!displays->is_array() || displays->size() > kMaxRows)
        throw Bad{"displays must be a list of at most 4096 rows"};
      m.displays.clear();
      for (size_t i = 0; i < displays->size(); ++i) {
        const std::string where = "displays[" + std::to_string(i) + "]";
        m.displays.push_back(DisplayRow((*displays)[i], where));
      }
    }
    if (const auto sources = j.find("sources"); sources != j.end()) {
      if (!sources->is_array() || sources->size() > kSwitcherSources)
        throw Bad{"sources must be a list of at most 12 rows"};
      m.sources.clear();
      for (size_t i = 0; i < sources->size(); ++i) {
        const std::string where = "sources[" + std::to_string(i) + "]";
        TallySourceRow r = SourceRow((*sources)[i], where);
        if (m.InputOf(r.source)) throw Bad{where + ": source " + std::to_string(r.source) + " is listed twice"};
        m.sources.push_back(std::move(r));
      }
    }
    return m;
  } catch (const Bad& bad) {
    if (error) *error = bad.text;
    return std::nullopt;
  }
}

std::optional<TallyMap> LoadTallyMap(const std::string& path, std::string* error) {
  std::string text, why;
  if (!ReadSmallFile(path, &text, &why)) {
    if (error) *error = path + " " + why;
    return std::nullopt;
  }
  std::optional<TallyMap> m = ParseTallyMap(text, &why);
  if (!m && error) *error = path + ": " + why;
  return m;
}

namespace {

nlohmann::ordered_json SourcesArray(const std::vector<TallySourceRow>& rows) {
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  for (const TallySourceRow& r : rows) {
    nlohmann::ordered_json row{{"source", r.source}, {"input", r.input}};
    if (!r.name.empty()) row["name"] = r.name;
    out.push_back(std::move(row));
  }
  return out;
}

std::string Why(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

std::string TallySourcesJson(const std::vector<TallySourceRow>& rows) {
  return SourcesArray(rows).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<std::vector<TallySourceRow>> ParseTallySources(const std::string& text, std::string* error) {
  std::optional<TallyMap> m = ParseTallyMap("{\"sources\":" + text + "}", error);
  if (!m) return std::nullopt;
  return std::move(m->sources);
}

bool WriteTallySources(const std::string& path, const std::vector<TallySourceRow>& rows, std::string* error) {
  const auto fail = [&](const std::string& why) {
    if (error) *error = path + ": " + why;
    return false;
  };
  // The file itself, not a link to it: the link stays and points at the new file.
  char real[PATH_MAX];
  if (!realpath(path.c_str(), real)) return fail(Why("cannot be found"));
  const std::string target = real;
  std::string text, why;
  if (!ReadSmallFile(target, &text, &why)) return fail(why);
  nlohmann::ordered_json j = nlohmann::ordered_json::parse(text, nullptr, false);
  if (j.is_discarded() || !j.is_object()) return fail("is no JSON object, so its displays cannot be kept");
  j["sources"] = SourcesArray(rows);
  const std::string out = j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  // What is written must read back as a mapping, or the next start would fail on it.
  if (!ParseTallyMap(out, &why)) return fail(why);

  struct stat st {};
  if (stat(target.c_str(), &st) != 0) return fail(Why("cannot be read"));
  const size_t slash = target.rfind('/');
  std::string temp = target.substr(0, slash + 1) + "." + target.substr(slash + 1) + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return fail(Why("no temporary file beside it"));
  bool ok = fchmod(fd, st.st_mode & 07777) == 0;
  // The owner stays where the program may give it (as the file's owner it may).
  if (ok && fchown(fd, st.st_uid, st.st_gid) != 0 && errno != EPERM) ok = false;
  for (size_t done = 0; ok && done < out.size();) {
    const ssize_t n = write(fd, out.data() + done, out.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = ok && fsync(fd) == 0;
  const std::string write_error = ok ? std::string() : Why("cannot be written");
  ok = close(fd) == 0 && ok;
  if (ok && std::rename(temp.c_str(), target.c_str()) == 0) return true;
  const std::string failed = write_error.empty() ? Why("cannot be replaced") : write_error;
  unlink(temp.c_str());
  return fail(failed);
}

}  // namespace zv
