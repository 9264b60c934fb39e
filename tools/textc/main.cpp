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
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "events/events.h"
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

int Body(int argc, char** argv) {
  const bool narration = argc > 1 && std::string(argv[1]) == "--narration";
  const int first = narration ? 2 : 1;
  if (argc < first + 2) {
    std::cerr << "usage: ardo-textc [--narration] OUT_DIR SOURCE...\n";
    return 2;
  }
  const std::string out_dir = argv[first];
  Report report;
  std::vector<Source> sources;
  if (ReadSources(first + 1, argc, argv, report, &sources)) {
    if (narration) {
      CheckNarrations(sources, report);
    } else {
      CheckConversations(sources, report);
    }
  }
  if (report.faults != 0) {
    std::cerr << report.faults << " fault(s) in the " << (narration ? "narrations" : "conversation texts")
              << "; nothing was copied\n";
    return 1;
  }
  return CopyAll(out_dir, sources) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) { return ardo::tool::run_main("ardo-textc", argc, argv, Body); }
