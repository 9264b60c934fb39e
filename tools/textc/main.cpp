// ardo-textc OUT_DIR SOURCE...
// ardo-textc --narration OUT_DIR SOURCE...
//
// Reads every conversation text file with the game's own reader, reports each fault
// as file:line:col: message (bad key lines, bad markup, lines wider than the message
// window, pages longer than it shows, texts that end the wrong way, letters English
// has no business with, and every text the game asks for that no file has, in each
// language), and copies the files to OUT_DIR only when all of them are sound. A file
// in a folder named `en` is English and goes to OUT_DIR/en/; the rest are Japanese.
//
// With --narration the sources are the scrolling narrations, checked the same way:
// rows the game reads, rows that fit the view's width and scroll out before the scroll
// stops, and every narration in both languages.
//
// With --words=DATA_DIR the sources are the game's own words (words.txt in each
// language) and the English names (en/names.txt): every word the game asks for, shown
// the way the game shows it, and an English name for every name of the data tables in
// DATA_DIR (items, enemies and their moves), the spells and the places.
#include <filesystem>
#include <iostream>
#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "events/events.h"
#include "field/field.h"
#include "presentation/presentation.h"
#include "toolcommon.h"
#include "ui/ui.h"

namespace {

namespace fs = std::filesystem;
using ardo::Language;
using ardo::tool::format_diag;

constexpr Language kLanguages[] = {Language::kJapanese, Language::kEnglish};

struct Source {
  std::string path;
  std::string data;
  Language language = Language::kJapanese;
  ardo::TalkTextFile texts;
};

// Reports faults as file:line:col and counts them.
struct Report {
  int faults = 0;
  void operator()(const std::string& file, int line, int col, const std::string& what) {
    std::cerr << format_diag(file, line, col, what) << "\n";
    ++faults;
  }
};

Language LanguageOf(const std::string& path) {
  return fs::path(path).parent_path().filename() == "en" ? Language::kEnglish : Language::kJapanese;
}

std::string OutFolder(const std::string& out_dir, Language language) {
  return language == Language::kEnglish ? out_dir + "/en" : out_dir;
}

// The file line and column of byte `offset` of an entry's joined text.
std::pair<int, int> Position(const Source& s, const ardo::TalkTextEntry& e, size_t offset) {
  size_t start = 0;
  int line = e.lines.empty() ? 1 : e.lines.front().second;
  for (const auto& [at, l] : e.lines) {
    if (at > offset) break;
    start = at;
    line = l;
  }
  // The column counts characters from the start of the text on that line.
  const auto lines = ardo::tool::split_lines(s.data);
  std::string_view text = lines[static_cast<size_t>(line - 1)].text;
  const size_t lead = text.find_first_not_of(" \t");
  const size_t in_line = (lead == std::string_view::npos ? 0 : lead) + (offset - std::min(start, offset));
  return {line, ardo::tool::column_of(text, std::min(in_line, text.size()))};
}

bool ReadSources(int first, int argc, char** argv, Report& report, std::vector<Source>* out) {
  for (int i = first; i < argc; ++i) {
    Source s;
    s.path = argv[i];
    s.language = LanguageOf(s.path);
    std::string err;
    if (!ardo::tool::read_file(s.path, s.data, err)) {
      report(s.path, 1, 1, err);
      continue;
    }
    out->push_back(std::move(s));
  }
  return report.faults == 0;
}

bool CopyAll(const std::string& out_dir, const std::vector<Source>& sources) {
  for (const Source& s : sources) {
    const std::string folder = OutFolder(out_dir, s.language);
    std::error_code ec;
    fs::create_directories(folder, ec);
    std::string err;
    if (!ardo::tool::write_file_atomic(folder + "/" + fs::path(s.path).filename().string(), s.data, err)) {
      std::cerr << err << "\n";
      return false;
    }
  }
  return true;
}

void CheckConversations(std::vector<Source>& all, Report& report) {
  // Every text the game asks for, checked for how it must end.
  std::map<std::pair<std::string, std::string>, ardo::TextEnd> needed;
  for (const ardo::TalkTextNeed& n : ardo::TalkTextNeeds()) needed[{n.file, n.key}] = n.end;
  for (const Language language : kLanguages) {
    std::map<std::string, Source*> sources;  // by file name without .txt
    for (Source& s : all) {
      if (s.language != language) continue;
      s.texts = ardo::ParseTalkText(s.data, language);
      for (const auto& [line, what] : s.texts.errors) report(s.path, line, 1, what);
      sources[fs::path(s.path).stem().string()] = &s;
    }
    const std::string folder = language == Language::kEnglish ? "en/" : "";
    for (const auto& [file, end] : needed) {
      const auto it = sources.find(file.first);
      if (it == sources.end()) {
        report(folder + file.first + ".txt", 1, 1, "missing file: the game asks it for [" + file.second + "]");
      } else if (it->second->texts.Find(file.second) == nullptr) {
        report(it->second->path, 1, 1, "no text for [" + file.second + "], which the game asks for");
      }
    }
    for (const auto& [name, s] : sources) {
      for (const auto& [key, entry] : s->texts.entries) {
        const auto it = needed.find({name, key});
        if (it == needed.end()) {
          report(s->path, entry.line, 1, "[" + key + "] is never asked for by the game");
          continue;
        }
        for (const auto& [offset, what] : ardo::CheckMessageText(entry.text, it->second, language)) {
          const auto [line, col] = Position(*s, entry, offset);
          report(s->path, line, col, "[" + key + "] " + what);
        }
      }
    }
  }
}

void CheckNarrations(const std::vector<Source>& all, Report& report) {
  for (const Language language : kLanguages) {
    for (const ardo::NarrationShape& shape : ardo::kNarrations) {
      const Source* s = nullptr;
      for (const Source& o : all) {
        if (o.language == language && fs::path(o.path).stem() == shape.name) s = &o;
      }
      if (s == nullptr) {
        report(std::string(language == Language::kEnglish ? "en/" : "") + shape.name + ".txt", 1, 1,
               "missing file: the game plays this narration");
        continue;
      }
      const ardo::NarrationScript script = ardo::ParseNarration(s->data, shape.entries);
      for (const auto& [line, fault] : script.faults) {
        report(s->path, line, 1,
               fault == ardo::err::kSubscript ? "a row past the last (" + std::to_string(shape.entries - 1) + ")"
                                              : "not a row number, one blank and the text");
      }
      for (size_t row = 0; row < script.rows.size(); ++row) {
        const std::string& text = script.rows[row];
        const int line = script.lines[row];
        if (line == 0) continue;
        const int cells = ardo::NarrationRowCells(text);
        if (cells > ardo::kNarrationRowCells) {
          report(s->path, line, 1,
                 "wider than the view (" + std::to_string(ardo::kNarrationRowCells) + " half-width letters)");
        }
        if (language == Language::kEnglish && static_cast<size_t>(cells) != ardo::CharLength(text)) {
          report(s->path, line, 1, "not a half-width letter: English is written in plain ASCII and Latin letters");
        }
        if (static_cast<int>(row) >= shape.last_start && !text.empty()) {
          report(s->path, line, 1,
                 "still in view when the scroll stops: end above row " + std::to_string(shape.last_start));
        }
      }
    }
  }
  for (const Source& s : all) {
    bool known = false;
    for (const ardo::NarrationShape& shape : ardo::kNarrations) known = known || fs::path(s.path).stem() == shape.name;
    if (!known) report(s.path, 1, 1, "not a narration the game plays");
  }
}

// The fields of a data table's rows (after its header), quotes taken off.
std::vector<std::vector<std::string>> TableRows(const std::string& path, Report& report) {
  std::vector<std::vector<std::string>> rows;
  std::string data, err;
  if (!ardo::tool::read_file(path, data, err)) {
    report(path, 1, 1, err);
    return rows;
  }
  bool header = true;
  for (const auto& line : ardo::tool::split_lines(data)) {
    if (std::exchange(header, false) || line.text.empty()) continue;
    std::vector<std::string> fields;
    size_t start = 0;
    const std::string text(line.text);
    for (size_t comma = text.find(','); ; comma = text.find(',', start)) {
      std::string f = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      if (f.size() >= 2 && f.front() == '"' && f.back() == '"') f = f.substr(1, f.size() - 2);
      fields.push_back(f);
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    rows.push_back(fields);
  }
  return rows;
}

// A {N} of a word stands for a value of `cells` letters in English (one solid word,
// the worst case for the wrap) and of one character in Japanese.
std::string WithSamples(std::string text, const ardo::WordNeed& n, Language language) {
  for (char d = '1'; d <= '9'; ++d) {
    const std::string mark = std::string("{") + d + "}";
    // A label's {N} is a number of the window (three full-width digits).
    const int cells = n.use == ardo::WordUse::kLabel ? 6 : std::max(n.cells, 1);
    const std::string sample = language == Language::kEnglish ? std::string(static_cast<size_t>(cells), 'x') : "＊";
    for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + sample.size())) {
      text.replace(at, mark.size(), sample);
    }
  }
  return text;
}

bool HalfWidthOnly(const std::string& text) {
  return static_cast<size_t>(ardo::NarrationRowCells(text)) == ardo::CharLength(text);
}

// The widest an English panel line may be (half-width letters beside the battle scene).
constexpr int kPanelLetters = 56;

void CheckWords(const std::string& data_dir, std::vector<Source>& all, Report& report) {
  using ardo::WordUse;
  const Source* names = nullptr;
  for (const Language language : kLanguages) {
    Source* words = nullptr;
    for (Source& s : all) {
      const std::string stem = fs::path(s.path).stem().string();
      if (s.language == language && stem == "words") words = &s;
      if (s.language == Language::kEnglish && stem == "names") names = &s;
    }
    if (words == nullptr) {
      report(std::string(language == Language::kEnglish ? "en/" : "") + "words.txt", 1, 1, "missing file: the game's words");
      continue;
    }
    words->texts = ardo::ParseTalkText(words->data, language);
    for (const auto& [line, what] : words->texts.errors) report(words->path, line, 1, what);
    const bool english = language == Language::kEnglish;
    for (const ardo::WordNeed& n : ardo::WordNeeds()) {
      const ardo::TalkTextEntry* e = words->texts.Find(n.key);
      if (e == nullptr) {
        report(words->path, 1, 1, std::string("no word [") + n.key + "], which the game asks for");
        continue;
      }
      const std::string key = std::string("[") + n.key + "] ";
      const auto at = [&](size_t offset) { return Position(*words, *e, offset); };
      switch (n.use) {
        case WordUse::kPage:
        case WordUse::kOpen:
        case WordUse::kAny: {
          const ardo::TextEnd end = n.use == WordUse::kPage ? ardo::TextEnd::kPage
                                    : n.use == WordUse::kOpen ? ardo::TextEnd::kOpen
                                                              : ardo::TextEnd::kAny;
          const std::string shown = WithSamples(e->text, n, language);
          for (const auto& [offset, what] : ardo::CheckMessageText(shown, end, language)) {
            const bool width = what.find("wider") != std::string::npos || what.find("by itself") != std::string::npos;
            if (n.runs_on && !english && width) continue;
            const auto [line, col] = at(std::min(offset, e->text.size()));
            report(words->path, line, col, key + what);
          }
          break;
        }
        case WordUse::kPanel:
        case WordUse::kLabel:
        case WordUse::kFree: {
          if (!english) break;
          const std::string shown = WithSamples(e->text, n, language);
          const auto [line, col] = at(0);
          if (!HalfWidthOnly(e->text)) {
            report(words->path, line, col, key + "not a half-width letter: English is written in plain ASCII and Latin letters");
          }
          const int room = n.use == WordUse::kPanel ? kPanelLetters : n.use == WordUse::kLabel ? n.cells : 0;
          if (room > 0 && static_cast<int>(ardo::CharLength(shown)) > room) {
            report(words->path, line, col, key + "wider than its window (" + std::to_string(room) + " letters)");
          }
          break;
        }
      }
    }
    for (const auto& [key, entry] : words->texts.entries) {
      bool needed = false;
      for (const ardo::WordNeed& n : ardo::WordNeeds()) needed = needed || key == n.key;
      if (!needed) report(words->path, entry.line, 1, "[" + key + "] is never asked for by the game");
    }
  }
  if (names == nullptr) {
    report("en/names.txt", 1, 1, "missing file: the English names");
    return;
  }
  // Every name the game shows, with the room it has.
  std::map<std::string, int> wanted;  // Japanese name -> letters
  const auto want = [&](const std::string& name, int room) {
    if (name.empty()) return;
    auto [it, fresh] = wanted.emplace(name, room);
    if (!fresh) it->second = std::min(it->second, room);
  };
  for (const auto& f : TableRows(data_dir + "/item.dat", report)) {
    if (f.size() >= 7) want(f[1], f[6] != "0" ? 14 : 21);  // the shop list, or the item window
  }
  for (const auto& f : TableRows(data_dir + "/enemy.dat", report)) {
    if (f.size() < 29) continue;
    want(f[1], 20);
    for (size_t i = 19; i < 29; ++i) want(f[i], kPanelLetters);
  }
  for (const std::string& s : ardo::SpellNames()) want(s, 21);
  for (const std::string& t : ardo::MapTitles()) want(t, 20);  // the save slots
  std::vector<std::pair<int, std::string>> faults;
  const auto entries = ardo::ParseNames(names->data, &faults);
  for (const auto& [line, what] : faults) report(names->path, line, 1, what);
  const auto lines = ardo::tool::split_lines(names->data);
  for (const auto& [ja, en] : entries) {
    int line = 1;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (std::string(lines[i].text).starts_with(ja + " ")) line = static_cast<int>(i) + 1;
    }
    const auto it = wanted.find(ja);
    if (it == wanted.end()) {
      report(names->path, line, 1, ja + " is named nowhere in the game");
      continue;
    }
    if (!HalfWidthOnly(en)) report(names->path, line, 1, "not a half-width letter: English is written in plain ASCII and Latin letters");
    if (static_cast<int>(ardo::CharLength(en)) > it->second) {
      report(names->path, line, 1, en + " is wider than its window (" + std::to_string(it->second) + " letters)");
    }
    wanted.erase(it);
  }
  for (const auto& [ja, room] : wanted) report(names->path, 1, 1, "no English name for " + ja);
}

int Body(int argc, char** argv) {
  const bool narration = argc > 1 && std::string(argv[1]) == "--narration";
  const std::string words_flag = "--words=";
  const bool words = argc > 1 && std::string(argv[1]).starts_with(words_flag);
  const int first = narration || words ? 2 : 1;
  if (argc < first + 2) {
    std::cerr << "usage: ardo-textc [--narration | --words=DATA_DIR] OUT_DIR SOURCE...\n";
    return 2;
  }
  const std::string out_dir = argv[first];
  Report report;
  std::vector<Source> sources;
  if (ReadSources(first + 1, argc, argv, report, &sources)) {
    if (narration) {
      CheckNarrations(sources, report);
    } else if (words) {
      CheckWords(std::string(argv[1]).substr(words_flag.size()), sources, report);
    } else {
      CheckConversations(sources, report);
    }
  }
  if (report.faults != 0) {
    std::cerr << report.faults << " fault(s) in the "
              << (narration ? "narrations" : words ? "game's words" : "conversation texts")
              << "; nothing was copied\n";
    return 1;
  }
  return CopyAll(out_dir, sources) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) { return ardo::tool::run_main("ardo-textc", argc, argv, Body); }
