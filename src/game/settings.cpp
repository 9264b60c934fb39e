// settings.ini: read with inih (line by line through our own reader, so every bad line
// is reported with its number), written from the current values with comments.
#include "game/settings.h"

#include <ini.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/core.h"
#include "field/field.h"
#include "platform/persist.h"

namespace ardo {

namespace {

constexpr std::size_t kMaxSettingsFile = 64 * 1024;

bool g_start_full_screen = false;

std::string Trim(std::string_view s) {
  const size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string_view::npos) return {};
  const size_t e = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(b, e - b + 1));
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> SplitList(const std::string& value) {
  std::vector<std::string> words;
  std::string w;
  for (char c : value + ",") {
    if (c == ',' || c == ' ' || c == '\t') {
      if (!w.empty()) words.push_back(w);
      w.clear();
    } else {
      w += c;
    }
  }
  return words;
}

bool ParseInt(const std::string& s, int lo, int hi, int* out, bool* in_range) {
  if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  const int v = std::stoi(s);
  *in_range = v >= lo && v <= hi;
  if (*in_range) *out = v;
  return true;
}

// One parse: the text fed to inih line by line, the line number kept for the reports.
struct Parse {
  std::string_view text;
  std::string name;
  size_t pos = 0;
  int line = 0;
  bool line_is_setting = false;  // the current line should have reached the handler
  bool line_handled = false;
  bool line_too_long = false;
  Settings settings;

  void Report(int number, const std::string& what) {
    Fault f = Fault::Of(number);
    f.description += " (" + name + " line " + std::to_string(line) + ": " + what + ")";
    LogError("Settings", f);
  }
  // The line before the next one is read: a setting line inih refused is garbage.
  void FinishLine() {
    if (line == 0) return;
    if (line_too_long) {
      Report(err::kTypeMismatch, "longer than a setting line can be; ignored");
    } else if (line_is_setting && !line_handled) {
      Report(err::kTypeMismatch, "not NAME = VALUE or [SECTION]; ignored");
    }
  }

  static char* Reader(char* str, int num, void* stream) {
    auto* p = static_cast<Parse*>(stream);
    p->FinishLine();
    if (p->pos >= p->text.size() || num < 3) return nullptr;
    size_t end = p->text.find('\n', p->pos);
    if (end == std::string_view::npos) end = p->text.size();
    std::string_view l = p->text.substr(p->pos, end - p->pos);
    p->pos = end + 1;
    ++p->line;
    p->line_handled = false;
    p->line_too_long = l.size() > static_cast<size_t>(num - 3);
    const std::string t = Trim(l);
    p->line_is_setting = !t.empty() && t[0] != '#' && t[0] != ';' && !(t.front() == '[' && t.back() == ']');
    if (p->line_too_long) {
      // inih sees a comment in its place; the line is reported as a whole.
      std::strcpy(str, ";\n");
      return str;
    }
    std::memcpy(str, l.data(), l.size());
    str[l.size()] = '\n';
    str[l.size() + 1] = '\0';
    return str;
  }

  static int Handler(void* user, const char* section, const char* name, const char* value) {
    auto* p = static_cast<Parse*>(user);
    p->line_handled = true;
    // Nothing may escape into the C library: a bad value is reported here.
    try {
      p->Setting(Lower(section), Lower(name), Trim(value));
    } catch (const std::exception& e) {
      p->Report(FaultOf(e).number, "ignored");
    }
    return 1;
  }

  void Setting(const std::string& section, const std::string& key, const std::string& value) {
    const std::string where = "[" + section + "] " + key;
    int v = 0;
    bool in_range = false;
    if (section == "window" && key == "scale") {
      if (!ParseInt(value, 0, 8, &v, &in_range)) {
        Report(err::kTypeMismatch, where + " = " + value + ": not a number; 0 is kept");
      } else if (!in_range) {
        Report(err::kOverflow, where + " = " + value + ": not 0-8; 0 is kept");
      } else {
        settings.scale = v;
      }
    } else if (section == "window" && key == "full_screen") {
      const std::string l = Lower(value);
      if (l == "yes" || l == "true" || l == "on" || l == "1") {
        settings.full_screen = true;
      } else if (l == "no" || l == "false" || l == "off" || l == "0") {
        settings.full_screen = false;
      } else {
        Report(err::kTypeMismatch, where + " = " + value + ": not yes or no; no is kept");
      }
    } else if (section == "sound" && (key == "music_volume" || key == "effects_volume")) {
      int& target = key == "music_volume" ? settings.music_volume : settings.effects_volume;
      if (!ParseInt(value, 0, 100, &v, &in_range)) {
        Report(err::kTypeMismatch, where + " = " + value + ": not a number; 100 is kept");
      } else if (!in_range) {
        Report(err::kOverflow, where + " = " + value + ": not 0-100; 100 is kept");
      } else {
        target = v;
      }
    } else if (section == "game" && key == "language") {
      if (!ParseLanguage(value, &settings.language)) {
        settings.language = Language::kJapanese;
        Report(err::kInvalidCall, where + " = " + value + ": not ja or en; ja is kept");
      }
    } else if (section == "keys" || section == "pad") {
      Action a;
      if (!ParseAction(key, &a)) {
        Report(err::kInvalidCall, "unknown action " + where + "; ignored");
        return;
      }
      Binding(section == "pad", a, value, where);
    } else {
      Report(err::kInvalidCall, "unknown setting " + where + "; ignored");
    }
  }

  void Binding(bool pad, Action a, const std::string& value, const std::string& where) {
    const int i = static_cast<int>(a);
    const Bindings& defaults = DefaultBindings();
    std::vector<KeyInput> keys;
    std::uint32_t buttons = 0;
    const std::vector<std::string> words = SplitList(value);
    if (words.empty()) {
      Report(err::kInvalidCall, where + ": no " + (pad ? "button" : "key") + " given; the default is kept");
      return;
    }
    // A key (or button) that comes twice, written out or within `default`, is a slip
    // the player should hear about rather than have taken silently.
    auto twice = [&](const std::string& what) {
      Report(err::kInvalidCall, where + ": " + what + " is given twice; the default is kept");
    };
    bool with_default = false;
    for (const std::string& word : words) {
      if (Lower(word) == "default") {
        if (with_default) return twice("default");
        with_default = true;
        if (pad) {
          if ((buttons & defaults.pad[i]) != 0) return twice("a button of default");
          buttons |= defaults.pad[i];
        } else {
          for (const KeyInput& k : defaults.keys[i]) {
            if (std::find(keys.begin(), keys.end(), k) != keys.end()) return twice(KeyName(k) + " (in default)");
            keys.push_back(k);
          }
        }
        continue;
      }
      if (pad) {
        platform::PadButton b;
        if (!ParsePadButton(word, &b)) {
          Report(err::kInvalidCall, where + ": unknown button " + word + "; the default is kept");
          return;
        }
        if ((buttons & platform::PadBit(b)) != 0) return twice(word);
        buttons |= platform::PadBit(b);
      } else {
        KeyInput k;
        if (!ParseKey(word, &k)) {
          Report(err::kInvalidCall, where + ": unknown key " + word + "; the default is kept");
          return;
        }
        if (std::find(keys.begin(), keys.end(), k) != keys.end()) return twice(word);
        keys.push_back(k);
      }
    }
    if (pad) {
      settings.bindings.pad[i] = buttons;
    } else {
      settings.bindings.keys[i] = std::move(keys);
    }
  }
};

std::string KeyList(const std::vector<KeyInput>& keys) {
  std::string s;
  for (const KeyInput& k : keys) s += (s.empty() ? "" : ", ") + KeyName(k);
  return s;
}

std::string ButtonList(std::uint32_t buttons) {
  std::string s;
  for (int b = 0; b < platform::kPadButtonCount; ++b) {
    if (buttons & (1u << b)) s += (s.empty() ? "" : ", ") + std::string(PadButtonName(static_cast<platform::PadButton>(b)));
  }
  return s;
}

}  // namespace

Settings ParseSettings(std::string_view text, const std::string& name) {
  Parse p;
  p.text = text;
  p.name = name;
  ini_parse_stream(&Parse::Reader, &p, &Parse::Handler, &p);
  return p.settings;
}

std::string SettingsText(const Settings& s) {
  const Bindings& d = DefaultBindings();
  std::ostringstream out;
  out << "# ardo settings. The game writes this file with its defaults when there is none\n"
         "# and reads it at start-up. Lines starting with # or ; are comments. A line the game\n"
         "# can't use is noted in error.log and that setting keeps its default.\n"
         "\n"
         "[game]\n"
         "# The language of the game's texts: ja (Japanese) or en (English). The --lang\n"
         "# option wins over it.\n"
         "language = "
      << LanguageCode(s.language)
      << "\n"
         "\n"
         "[window]\n"
         "# The window's size: 1-8 times 366 x 366 pixels; 0 picks the largest that fits the\n"
         "# desktop. The --scale option wins over it.\n"
         "scale = "
      << s.scale
      << "\n"
         "# Start in full screen: yes or no. F or Alt+Enter switches while playing.\n"
         "full_screen = "
      << (s.full_screen ? "yes" : "no")
      << "\n"
         "\n"
         "[sound]\n"
         "# Master volumes in percent, 0-100.\n"
         "music_volume = "
      << s.music_volume << "\neffects_volume = " << s.effects_volume
      << "\n"
         "\n"
         "[keys]\n"
         "# The keys of each action, separated by commas. \"default\" stands for the game's own\n"
         "# keys (named in the comment); list keys without it to replace them, or add keys\n"
         "# after it. Keys: A-Z, 0-9, Up, Down, Left, Right, Enter, Space, Shift, Ctrl, Alt,\n"
         "# Escape, Tab, Backspace, PageUp, PageDown, Home, End, Insert, Delete,\n"
         "# Keypad0-Keypad9, F1-F12; Shift+, Ctrl+ or Alt+ before a key asks for that modifier.\n";
  auto keys_value = [&](int i) {
    const auto& k = s.bindings.keys[i];
    if (k == d.keys[i]) return std::string("default");
    // Written as "default, extra" when it starts with the defaults.
    if (k.size() > d.keys[i].size() && std::equal(d.keys[i].begin(), d.keys[i].end(), k.begin())) {
      return "default, " + KeyList(std::vector<KeyInput>(k.begin() + static_cast<long>(d.keys[i].size()), k.end()));
    }
    return KeyList(k);
  };
  for (int i = 0; i < kActionCount; ++i) {
    out << ActionName(static_cast<Action>(i)) << " = " << keys_value(i) << "  ; default: " << KeyList(d.keys[i])
        << "\n";
  }
  out << "\n"
         "[pad]\n"
         "# Game controller buttons, in the same way: A, B, X, Y, Back, Guide, Start, LeftStick,\n"
         "# RightStick, LeftShoulder, RightShoulder, DpadUp, DpadDown, DpadLeft, DpadRight.\n"
         "# The left stick always walks.\n";
  for (int i = 0; i < kActionCount; ++i) {
    const std::uint32_t b = s.bindings.pad[i];
    std::string v = b == d.pad[i] ? "default" : ButtonList(b);
    if (b != d.pad[i] && (b & d.pad[i]) == d.pad[i] && d.pad[i] != 0) v = "default, " + ButtonList(b & ~d.pad[i]);
    out << ActionName(static_cast<Action>(i)) << " = " << v << "  ; default: "
        << (d.pad[i] == 0 ? std::string("none") : ButtonList(d.pad[i])) << "\n";
  }
  return out.str();
}

Settings LoadSettings(const std::string& path) {
  Trap on("Settings");
  std::string bytes, why;
  const FileStatus status = ReadGameFile(path, &bytes, &why, kMaxSettingsFile);
  if (status == FileStatus::kOk) {
    return ParseSettings(bytes, std::filesystem::path(path).filename().string());
  }
  if (status == FileStatus::kFailed) {
    on.LogFault(FileFault(status, path, why));
    return Settings{};
  }
  // First run: the defaults, written out for the player to edit.
  on([&] {
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::filesystem::create_directories(folder, ec);
    const std::string temp = path + ".new";
    {
      std::ofstream out(temp, std::ios::binary | std::ios::trunc);
      out << SettingsText(Settings{});
      out.close();
      if (!out) {
        const int e = errno;
        std::filesystem::remove(temp, ec);
        Fault f = Fault::Of(err::kPathFileAccess);
        f.description += " (" + path + ": " + (ec || e == 0 ? std::string("can't be written") : std::strerror(e)) + ")";
        throw f;
      }
    }
    std::filesystem::rename(temp, path);
    if (!platform::PersistWrites()) {
      Fault f = Fault::Of(err::kPathFileAccess);
      f.description += " (" + path + ": the browser's storage refused it)";
      throw f;
    }
  });
  return Settings{};
}

void ApplySettings(const Settings& settings) {
  SetBindings(settings.bindings);
  platform::GetPlatform().audio().SetVolumes(settings.music_volume, settings.effects_volume);
  g_start_full_screen = settings.full_screen;
}

void EnterStartFullScreen() {
  if (!g_start_full_screen) return;
  g_start_full_screen = false;
  if (!FullScreen) ToggleFullScreen();
}

}  // namespace ardo
