// A multiviewer setup as a file, the order it is applied in, and the check
// of what the device took.

#include "multiview/multiview_setup.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "multiview/multiview_link.h"

namespace zv {
namespace {

using Json = nlohmann::json;

constexpr size_t kLabelUnitsMax = MultiviewReply::kLabelTextSize / 2;

bool IsLayoutCode(long code) {
  return MultiviewIndexForCode(zv_16_view_mode_map, static_cast<int>(code)).has_value();
}

std::string ColourName(uint8_t index) {
  return index < kMultiviewColourCount ? kMultiviewColourNames[index] : std::to_string(index);
}


// The number of the character (1 for the first) that code unit `i` is
// part of; a pair of surrogates is one character.
size_t CharacterNumber(const std::u16string& text, size_t i) {
  size_t n = 0;
  for (size_t k = 0; k <= i && k < text.size(); ++k)
    if (text[k] < 0xDC00 || text[k] >= 0xE000) ++n;
  return n;
}

}  // namespace

MultiviewSetupKeys MultiviewSetupKeys::All() {
  MultiviewSetupKeys k;
  k.layout = k.format = k.labels_on = k.audio_on = k.audio_source = k.overlay_on = k.border_on =
      k.lock_on = true;
  k.sources.fill(true);
  k.labels.fill(true);
  k.label_text.fill(true);
  k.label_back.fill(true);
  k.overlay_text.fill(true);
  k.overlay_back.fill(true);
  return k;
}

std::string MultiviewLabelProblem(const std::u16string& label) {
  for (size_t i = 0; i < label.size(); ++i) {
    const char16_t c = label[i];
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
      char code[8];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
      return std::string("has a control character (") + code + " at character " +
             std::to_string(CharacterNumber(label, i)) + "); a label takes printable text only";
    }
  }
  if (label.size() > kLabelUnitsMax) return "is longer than 16 characters";
  return {};
}

std::optional<uint8_t> MultiviewFormatCode(const std::string& name) {
  for (size_t i = 0; i < kMultiviewFormatNames.size(); ++i)
    if (name == kMultiviewFormatNames[i])
      return MultiviewCodeForIndex(zv_16_view_resolution_map, static_cast<int>(i));
  return std::nullopt;
}

std::string MultiviewFormatName(uint8_t code) {
  const std::optional<int> index = MultiviewIndexForCode(zv_16_view_resolution_map, code);
  return index ? kMultiviewFormatNames[static_cast<size_t>(*index)] : std::to_string(code);
}

std::optional<uint8_t> MultiviewColourIndex(const std::string& name) {
  for (size_t i = 0; i < kMultiviewColourNames.size(); ++i)
    if (name == kMultiviewColourNames[i]) return static_cast<uint8_t>(i);
  return std::nullopt;
}

std::string Utf16ToUtf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;  // a lone surrogate
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::optional<std::u16string> Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<uint8_t>(text[i]);
    const size_t extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2
                       : (b & 0xF8) == 0xF0 ? 3 : 4;
    if (extra > 3 || i + extra >= text.size() + (extra ? 0 : 1)) return std::nullopt;
    uint32_t c = extra == 0 ? b : b & (0x3F >> extra);
    for (size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      c = (c << 6) | (next & 0x3F);
    }
    static constexpr uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return std::nullopt;
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += extra + 1;
  }
  return out;
}

MultiviewSetup SetupFromState(const MultiviewerState& state) {
  const MultiviewPageData& d = state.m_all_16_view_page_data;
  MultiviewSetup s;
  s.layout = MultiviewCodeForIndex(zv_16_view_mode_map, d.zv_16_view_mode_type).value_or(16);
  s.format = MultiviewCodeForIndex(zv_16_view_resolution_map, d.zv_16_view_resolution_type).value_or(7);
  s.labels_on = d.zv_16_view_umd_enable != 0;
  s.audio_on = d.zv_16_view_audio_enable != 0;
  s.audio_source = d.zv_16_view_audio_source_channel;
  s.overlay_on = d.zv_16_view_resolution_enable != 0;
  s.border_on = d.zv_16_view_border_enable != 0;
  s.lock_on = d.zv_16_view_lock_state != 0;
  for (int n = 0; n < kMultiviewWindowCount; ++n) {
    s.sources[n] = state.m_16_view_window_source[n];
    s.labels[n] = state.m_16_view_umd_name[n];
    s.label_text[n] = d.zv_16_view_umd_text_color[n];
    s.label_back[n] = d.zv_16_view_umd_back_color[n];
    s.overlay_text[n] = d.zv_16_view_resolution_text_color[n];
    s.overlay_back[n] = d.zv_16_view_resolution_back_color[n];
  }
  return s;
}

std::string EncodeSetupJson(const MultiviewSetup& s, const std::string& name) {
  Json j = Json::object();
  if (!name.empty()) j["name"] = name;
  j["layout"] = s.layout;
  j["format"] = MultiviewFormatName(s.format);
  j["labels"] = s.labels_on;
  j["overlay"] = s.overlay_on;
  j["audio_meter"] = s.audio_on;
  j["audio_source"] = s.audio_source;
  j["border"] = s.border_on;
  j["lock"] = s.lock_on;
  Json windows = Json::array();
  for (int n = 0; n < kMultiviewWindowCount; ++n) {
    windows.push_back({{"window", n + 1},
                       {"source", s.sources[n]},
                       {"label", Utf16ToUtf8(s.labels[n])},
                       {"label_text", ColourName(s.label_text[n])},
                       {"label_back", ColourName(s.label_back[n])},
                       {"overlay_text", ColourName(s.overlay_text[n])},
                       {"overlay_back", ColourName(s.overlay_back[n])}});
  }
  j["windows"] = windows;
  return j.dump(2) + "\n";
}

bool DecodeSetupJson(const std::string& text, MultiviewSetup* setup, std::string* error,
                     MultiviewSetupKeys* keys) {
  const Json j = Json::parse(text, nullptr, false);
  const auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (j.is_discarded()) return fail("not JSON");
  if (!j.is_object()) return fail("the file must hold one JSON object");
  MultiviewSetup s = *setup;
  MultiviewSetupKeys named;
  const auto number = [&](const Json& v, const std::string& key, long min, long max, uint8_t* out) {
    if (!v.is_number_integer() || v.get<long>() < min || v.get<long>() > max)
      return fail("\"" + key + "\" must be a whole number from " + std::to_string(min) + " to " +
                  std::to_string(max));
    *out = static_cast<uint8_t>(v.get<long>());
    return true;
  };
  const auto flag = [&](const Json& v, const std::string& key, bool* out) {
    if (!v.is_boolean()) return fail("\"" + key + "\" must be true or false");
    *out = v.get<bool>();
    return true;
  };
  const auto colour = [&](const Json& v, const std::string& key, uint8_t* out) {
    const std::optional<uint8_t> c = v.is_string() ? MultiviewColourIndex(v.get<std::string>()) : std::nullopt;
    if (!c) return fail("\"" + key + "\" must be a colour name (Black, Blue, ... HalfTrans)");
    *out = *c;
    return true;
  };
  for (const auto& [key, v] : j.items()) {
    if (key == "name") {
      if (!v.is_string()) return fail("\"name\" must be text");
    } else if (key == "layout") {
      if (!v.is_number_integer() || !IsLayoutCode(v.get<long>()))
        return fail("\"layout\" must be 1, 4, 6, 8, 9, 10 or 16 windows");
      s.layout = static_cast<uint8_t>(v.get<long>());
      named.layout = true;
    } else if (key == "format") {
      const auto code = v.is_string() ? MultiviewFormatCode(v.get<std::string>()) : std::nullopt;
      if (!code) return fail("\"format\" must be one of 1080p60 ... 720p50");
      s.format = *code;
      named.format = true;
    } else if (key == "labels") {
      if (!flag(v, key, &s.labels_on)) return false;
      named.labels_on = true;
    } else if (key == "overlay") {
      if (!flag(v, key, &s.overlay_on)) return false;
      named.overlay_on = true;
    } else if (key == "audio_meter") {
      if (!flag(v, key, &s.audio_on)) return false;
      named.audio_on = true;
    } else if (key == "audio_source") {
      if (!number(v, key, 0, kMultiviewWindowCount, &s.audio_source)) return false;
      named.audio_source = true;
    } else if (key == "border") {
      if (!flag(v, key, &s.border_on)) return false;
      named.border_on = true;
    } else if (key == "lock") {
      if (!flag(v, key, &s.lock_on)) return false;
      named.lock_on = true;
    } else if (key == "windows") {
      if (!v.is_array()) return fail("\"windows\" must be a list");
      for (const Json& w : v) {
        if (!w.is_object() || !w.contains("window")) return fail("every window needs its \"window\" number");
        uint8_t number_1 = 0;
        if (!number(w["window"], "window", 1, kMultiviewWindowCount, &number_1)) return false;
        const size_t n = number_1 - 1u;
        for (const auto& [wkey, wv] : w.items()) {
          const std::string where = "window " + std::to_string(n + 1) + " " + wkey;
          if (wkey == "window") continue;
          if (wkey == "source") {
            if (!number(wv, where, 0, kMultiviewWindowCount, &s.sources[n])) return false;
            named.sources[n] = true;
          } else if (wkey == "label") {
            const auto label = wv.is_string() ? Utf8ToUtf16(wv.get<std::string>()) : std::nullopt;
            if (!label || label->size() > kLabelUnitsMax)
              return fail("\"" + where + "\" must be UTF-8 text of at most 16 characters");
            if (const std::string problem = MultiviewLabelProblem(*label); !problem.empty())
              return fail("\"" + where + "\" " + problem);
            s.labels[n] = *label;
            named.labels[n] = true;
          } else if (wkey == "label_text") {
            if (!colour(wv, where, &s.label_text[n])) return false;
            named.label_text[n] = true;
          } else if (wkey == "label_back") {
            if (!colour(wv, where, &s.label_back[n])) return false;
            named.label_back[n] = true;
          } else if (wkey == "overlay_text") {
            if (!colour(wv, where, &s.overlay_text[n])) return false;
            named.overlay_text[n] = true;
          } else if (wkey == "overlay_back") {
            if (!colour(wv, where, &s.overlay_back[n])) return false;
            named.overlay_back[n] = true;
          } else {
            return fail("unknown key \"" + where + "\"");
          }
        }
      }
    } else {
      return fail("unknown key \"" + key + "\"");
    }
  }
  *setup = s;
  if (keys) *keys = named;
  return true;
}

MultiviewStep Frame(uint8_t command, std::vector<uint8_t> params) {
  MultiviewStep step;
  step.command = command;
  step.params = std::move(params);
  return step;
}

MultiviewStep LayoutStep(uint8_t window_count) { return Frame(kMvSetLayout, {window_count}); }

MultiviewStep SourceStep(int window, uint8_t input) {
  return Frame(kMvSetWindowSource, {input, static_cast<uint8_t>(window)});
}

MultiviewStep LabelStep(int window, const std::u16string& label) {
  MultiviewStep step;
  step.command = kMvSetWindowLabel;
  step.label_window = window - 1;
  step.label = label;
  return step;
}

MultiviewStep ColourStep(MultiviewColourTarget target, int window, uint8_t colour) {
  static constexpr uint8_t kCommands[] = {kMvSetLabelTextColour, kMvSetLabelBackColour,
                                          kMvSetOverlayTextColour, kMvSetOverlayBackColour};
  return Frame(kCommands[static_cast<int>(target)], {static_cast<uint8_t>(window), colour});
}

std::vector<MultiviewStep> SetupSteps(const MultiviewSetup& s, const MultiviewSetupKeys& k,
                                      std::vector<std::string>* names) {
  std::vector<MultiviewStep> steps;
  const auto add = [&](bool named, MultiviewStep step, const std::string& name) {
    if (!named) return;
    steps.push_back(std::move(step));
    if (names) names->push_back(name);
  };
  const auto window = [](int n, const char* what) { return "window " + std::to_string(n + 1) + " " + what; };
  add(k.format, Frame(kMvSetVideoFormat, {0x00, s.format}), "format");
  add(k.layout, LayoutStep(s.layout), "layout");
  // 0: the device did not say (a read-back of a window without a source);
  // nothing is sent for it.
  for (int n = 0; n < kMultiviewWindowCount; ++n)
    add(k.sources[n] && s.sources[n] != 0, SourceStep(n + 1, s.sources[n]), window(n, "source"));
  for (int n = 0; n < kMultiviewWindowCount; ++n) add(k.labels[n], LabelStep(n + 1, s.labels[n]), window(n, "label"));
  add(k.labels_on, Frame(kMvSetLabels, {static_cast<uint8_t>(s.labels_on)}), "labels");
  for (int n = 0; n < kMultiviewWindowCount; ++n) {
    add(k.label_text[n], ColourStep(MultiviewColourTarget::kLabelText, n + 1, s.label_text[n]),
        window(n, "label text"));
    add(k.label_back[n], ColourStep(MultiviewColourTarget::kLabelBack, n + 1, s.label_back[n]),
        window(n, "label back"));
    add(k.overlay_text[n], ColourStep(MultiviewColourTarget::kOverlayText, n + 1, s.overlay_text[n]),
        window(n, "overlay text"));
    add(k.overlay_back[n], ColourStep(MultiviewColourTarget::kOverlayBack, n + 1, s.overlay_back[n]),
        window(n, "overlay back"));
  }
  add(k.overlay_on, Frame(kMvSetResolutionOverlay, {static_cast<uint8_t>(s.overlay_on)}), "overlay");
  add(k.audio_on, Frame(kMvSetAudioMeter, {static_cast<uint8_t>(s.audio_on)}), "audio meter");
  add(k.audio_source && s.audio_source != 0, Frame(kMvSetAudioSource, {s.audio_source}), "audio source");
  add(k.border_on, Frame(kMvSetBorder, {static_cast<uint8_t>(s.border_on)}), "border");
  add(k.lock_on, Frame(kMvSetLock, {static_cast<uint8_t>(s.lock_on)}), "lock");
  return steps;
}

std::vector<std::string> SetupDifferences(const MultiviewSetup& want, const MultiviewSetup& got,
                                          const MultiviewSetupKeys& k) {
  std::vector<std::string> out;
  // Each check below names its setting; `judged` is whether the file named it.
  bool judged = true;
  const auto differ = [&out, &judged](const std::string& what, const std::string& a, const std::string& b) {
    if (judged && a != b) out.push_back(what + ": wanted " + a + ", device has " + b);
  };
  const auto on_off = [](bool v) { return std::string(v ? "on" : "off"); };
  judged = k.layout;
  differ("layout", std::to_string(want.layout), std::to_string(got.layout));
  judged = k.format;
  differ("format", MultiviewFormatName(want.format), MultiviewFormatName(got.format));
  judged = k.labels_on;
  differ("labels", on_off(want.labels_on), on_off(got.labels_on));
  judged = k.overlay_on;
  differ("overlay", on_off(want.overlay_on), on_off(got.overlay_on));
  judged = k.audio_on;
  differ("audio meter", on_off(want.audio_on), on_off(got.audio_on));
  judged = k.audio_source && want.audio_source != 0;
  differ("audio source", std::to_string(want.audio_source), std::to_string(got.audio_source));
  judged = k.border_on;
  differ("border", on_off(want.border_on), on_off(got.border_on));
  judged = k.lock_on;
  differ("lock", on_off(want.lock_on), on_off(got.lock_on));
  for (int n = 0; n < kMultiviewWindowCount; ++n) {
    const std::string w = "window " + std::to_string(n + 1) + " ";
    judged = k.sources[n] && want.sources[n] != 0;
    differ(w + "source", std::to_string(want.sources[n]), std::to_string(got.sources[n]));
    judged = k.labels[n];
    differ(w + "label", "\"" + Utf16ToUtf8(want.labels[n]) + "\"", "\"" + Utf16ToUtf8(got.labels[n]) + "\"");
    judged = k.label_text[n];
    differ(w + "label text", ColourName(want.label_text[n]), ColourName(got.label_text[n]));
    judged = k.label_back[n];
    differ(w + "label back", ColourName(want.label_back[n]), ColourName(got.label_back[n]));
    judged = k.overlay_text[n];
    differ(w + "overlay text", ColourName(want.overlay_text[n]), ColourName(got.overlay_text[n]));
    judged = k.overlay_back[n];
    differ(w + "overlay back", ColourName(want.overlay_back[n]), ColourName(got.overlay_back[n]));
  }
  return out;
}

int SendMultiviewerStep(LinkState& link, const MultiviewStep& step) {
  if (step.label_window >= 0) return SendMultiviewerLabelFrame(link, step.label_window, step.label);
  return SendMultiviewerFrame(link, step.command, step.params);
}

MultiviewApplyResult ApplyMultiviewerSetup(LinkState& link, const MultiviewSetup& wanted,
                                           const MultiviewSetupKeys& keys) {
  MultiviewApplyResult result;
  result.answered_before = FetchMultiviewerState(link).has_value();
  if (!result.answered_before) return result;
  for (const MultiviewStep& step : SetupSteps(wanted, keys, &result.sent)) SendMultiviewerStep(link, step);
  result.content = FetchMultiviewerState(link);
  if (result.content) {
    MultiviewerState state;
    state.ApplyReadStateReply(*result.content);
    result.missed = SetupDifferences(wanted, SetupFromState(state), keys);
  }
  return result;
}

std::string ApplyResultText(const MultiviewApplyResult& r, const std::string& device) {
  if (!r.answered_before) return device + " did not answer; nothing was sent";
  if (r.sent.empty()) return "the file names nothing to set; nothing was sent to " + device;
  std::string text = "sent " + std::to_string(r.sent.size()) + (r.sent.size() == 1 ? " setting (" : " settings (");
  for (size_t i = 0; i < r.sent.size() && i < 3; ++i) text += (i ? ", " : "") + r.sent[i];
  text += r.sent.size() > 3 ? ", ...) to " : ") to ";
  text += device;
  if (!r.content) return text + ", but it did not answer the read-back";
  if (r.missed.empty()) return text + "; it took all of it";
  text += "; it did not take " + std::to_string(r.missed.size()) + ": " + r.missed.front();
  if (r.missed.size() > 1) text += "; ...";
  return text;
}

std::optional<MultiviewSetup> ReadMultiviewerSetup(LinkState& link) {
  const std::optional<std::vector<uint8_t>> content = FetchMultiviewerState(link);
  if (!content) return std::nullopt;
  MultiviewerState state;
  state.ApplyReadStateReply(*content);
  return SetupFromState(state);
}

}  // namespace zv
