#include "replay.h"

#include <charconv>
#include <istream>
#include <ostream>
#include <sstream>

#include "model/state_json.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace pet {

namespace {
template <typename T>
bool parse(const std::string& text, T& v) {
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  return ec == std::errc{} && p == text.data() + text.size();
}
template <typename T>
bool parseIn(const std::string& text, T& v, T lo, T hi) {
  return parse(text, v) && v >= lo && v <= hi;
}
// 0x00RRGGBB to an RGB PNG file.
bool writePng(const Image& img, const std::string& path) {
  std::vector<unsigned char> rgbBytes(size_t(img.width()) * size_t(img.height()) * 3);
  for (size_t i = 0; i < size_t(img.width()) * size_t(img.height()); ++i) {
    uint32_t c = img.data()[i];
    rgbBytes[3 * i] = (c >> 16) & 0xFF;
    rgbBytes[3 * i + 1] = (c >> 8) & 0xFF;
    rgbBytes[3 * i + 2] = c & 0xFF;
  }
  return stbi_write_png(path.c_str(), img.width(), img.height(), 3, rgbBytes.data(),
                        img.width() * 3) != 0;
}

}  // namespace

Replay::Replay(const std::string& workDir) : platform_(workDir), form_(platform_) {
  platform_.setClock(HeadlessPlatform::localMs(2026, 1, 1, 9, 0, 0));
  platform_.onScrollChange([this](ControlId id) { form_.scrollChanged(id); });

  add("at", 2, 2, [this](const Args& a) {
    int y, mo, d, h, mi, s;
    if (a[0].size() != 10 || a[1].size() != 8 || a[0][4] != '-' || a[0][7] != '-' ||
        a[1][2] != ':' || a[1][5] != ':')
      return false;
    if (!parseIn(a[0].substr(0, 4), y, 1601, 9999) || !parseIn(a[0].substr(5, 2), mo, 1, 12) ||
        !parseIn(a[0].substr(8, 2), d, 1, 31) || !parseIn(a[1].substr(0, 2), h, 0, 23) ||
        !parseIn(a[1].substr(3, 2), mi, 0, 59) || !parseIn(a[1].substr(6, 2), s, 0, 59))
      return false;
    platform_.setClock(HeadlessPlatform::localMs(y, mo, d, h, mi, s));
    return true;
  });
  add("wait", 1, 1, [this](const Args& a) {
    double s;
    if (!parse(a[0], s) || s < 0) return false;
    platform_.advance(static_cast<int64_t>(s * 1000 + 0.5));
    return true;
  });
  add("ticks", 1, 2, [this](const Args& a) {
    long n, ms = 16;
    if (!parseIn(a[0], n, 0L, 100000000L) || (a.size() > 1 && !parseIn(a[1], ms, 0L, 86400000L)))
      return false;
    load();
    for (long i = 0; i < n && !form_.ended(); ++i) {
      platform_.advance(ms);
      form_.Fpss_Timer();
      form_.Timer1_Timer();
    }
    return true;
  });
  add("screen", 2, 2, [this](const Args& a) {
    int w, h;
    if (loaded_ || !parseIn(a[0], w, 1, 2184) || !parseIn(a[1], h, 1, 2184)) return false;
    platform_.setScreenPixels(w, h);
    return true;
  });
  add("seed", 1, 1, [this](const Args& a) {
    uint64_t n;
    if (!parse(a[0], n)) return false;
    platform_.setSeed(n);
    return true;
  });
  add("key", 1, 1, [this](const Args& a) {
    int code;
    if (!parseIn(a[0], code, 0, 255)) return false;
    load();
    form_.Form_KeyDown(code, 0);
    return true;
  });
  add("request", 1, 1, [this](const Args& a) {
    int16_t n;
    if (!parse(a[0], n)) return false;
    form_.requestPanel(n);
    return true;
  });
  add("cursor", 2, 2, [this](const Args& a) {
    int32_t x, y;
    if (!parse(a[0], x) || !parse(a[1], y)) return false;
    platform_.setCursor(x, y);
    return true;
  });
  add("mouse", 1, 2, [this](const Args& a) {
    int b = 0;
    if (a[0] == "move" && a.size() == 1) {
      form_.Form_MouseMove(0, 0, 0, 0);
      return true;
    }
    if (a.size() != 2 || !(parse(a[1], b) && (b == 1 || b == 2 || b == 4))) return false;
    if (a[0] == "down")
      form_.Form_MouseDown(b, 0, 0, 0);
    else if (a[0] == "up")
      form_.Form_MouseUp(b, 0, 0, 0);
    else
      return false;
    return true;
  });
  add("png", 2, 2, [this](const Args& a) {
    const Image* img = nullptr;
    if (a[0] == "overlay")
      img = &form_.overlay().image();
    else if (ControlId id = controlByName(a[0]); id != ControlId::Count)
      img = platform_.picture(id);
    if (!img || img->width() == 0) return false;
    return writePng(*img, a[1]);
  });
  add("click", 1, 1, [this](const Args& a) {
    ControlId id = controlByName(a[0]);
    if (id == ControlId::Count) return false;
    form_.controlClicked(id);
    return true;
  });
  add("scroll", 2, 2, [this](const Args& a) {
    ControlId id = controlByName(a[0]);
    int16_t v;
    if (id == ControlId::Count || !parse(a[1], v)) return false;
    const ControlKind kind = control(id).kind;
    if (kind != ControlKind::HScroll && kind != ControlKind::VScroll) return false;
    platform_.setScrollValue(id, v);
    return true;
  });
  add("panel", 1, 4, [this](const Args& a) {
    if (a[0] == "dblclick" && a.size() == 1) {
      form_.panelDblClick();
      return true;
    }
    int32_t x, y;
    int b = 1;
    if (a[0] != "down" || a.size() < 3 || !parse(a[1], x) || !parse(a[2], y) ||
        (a.size() == 4 && !(parse(a[3], b) && (b == 1 || b == 2 || b == 4))))
      return false;
    form_.panelMouseDown(b, x, y);
    return true;
  });
  add("quit", 0, 0, [this](const Args&) {
    form_.requestQuit();
    return true;
  });
  add("dump", 0, 0, [this](const Args&) {
    std::string json = stateJson(form_.state());
    std::string extra = std::string(",\"ended\":") + (form_.ended() ? "true" : "false");
    extra += ",\"controls\":" + controlsJson();
    json.insert(json.size() - 1, extra);
    *out_ << json << std::endl;  // flushed at once: a driver may wait for it
    return true;
  });
}

std::string Replay::controlsJson() {
  std::string o = "{";
  for (const auto& c : kControls) {
    const auto& st = platform_.controlState(c.id);
    if (o.size() > 1) o += ',';
    appendJsonString(o, c.name);
    o += ":{\"visible\":";
    o += st.visible ? "true" : "false";
    o += ",\"caption\":";
    appendJsonString(o, st.caption);
    o += ",\"enabled\":";
    o += st.enabled ? "true" : "false";
    o += ",\"left\":" + std::to_string(st.left) + ",\"top\":" + std::to_string(st.top);
    o += ",\"value\":" + std::to_string(st.value);
    if (c.kind == ControlKind::List) {
      o += ",\"items\":[";
      for (size_t i = 0; i < st.items.size(); ++i) {
        if (i) o += ',';
        appendJsonString(o, st.items[i]);
      }
      o += ']';
    }
    o += '}';
  }
  // The sprite holders are never shown.
  for (int i = 0; i <= 53; ++i) o += ",\"CharGZ(" + std::to_string(i) + ")\":{\"visible\":false}";
  for (int i = 1; i <= 4; ++i) o += ",\"CharGZ2(" + std::to_string(i) + ")\":{\"visible\":false}";
  return o + "}";
}

void Replay::add(const std::string& name, size_t minArgs, size_t maxArgs,
                 std::function<bool(const Args&)> run) {
  commands_[name] = Command{minArgs, maxArgs, std::move(run)};
}

void Replay::load() {
  if (loaded_) return;
  loaded_ = true;
  form_.Form_Load();
}

int Replay::run(std::istream& script, std::ostream& out, std::ostream& err) {
  out_ = &out;
  std::string line;
  for (int lineNo = 1; std::getline(script, line); ++lineNo) {
    if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string name;
    if (!(words >> name)) continue;
    Args args;
    for (std::string w; words >> w;) args.push_back(w);
    auto it = commands_.find(name);
    if (it == commands_.end()) {
      err << "line " << lineNo << ": unknown command '" << name << "'\n";
      return 2;
    }
    const Command& c = it->second;
    if (args.size() < c.minArgs || args.size() > c.maxArgs || !c.run(args)) {
      err << "line " << lineNo << ": bad arguments for '" << name << "'\n";
      return 2;
    }
    if (form_.ended()) return 0;
  }
  return 0;
}

}  // namespace pet
