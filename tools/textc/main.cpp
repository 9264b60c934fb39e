// ardo-textc OUT_DIR SOURCE...
//
// Reads every conversation text file with the game's own reader, reports each fault
// as file:line:col: message (bad key lines, bad markup, lines wider than the message
// window, pages longer than it shows, texts that end the wrong way, and every text
// the game asks for that no file has), and copies the files to OUT_DIR only when
// all of them are sound.
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "events/events.h"
#include "toolcommon.h"

namespace {

namespace fs = std::filesystem;
using ardo::tool::format_diag;

struct Source {
  std::string path;
  std::string data;
  ardo::TalkTextFile texts;
};

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
  const size_t in_line = (lead == std::string_view::npos ? 0 : lead) + (offset - start);
  return {line, ardo::tool::column_of(text, std::min(in_line, text.size()))};
}

int Body(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: ardo-textc OUT_DIR SOURCE...\n";
    return 2;
  }
  const std::string out_dir = argv[1];
  std::map<std::string, Source> sources;  // by file name without .txt
  int faults = 0;
  const auto report = [&](const std::string& file, int line, int col, const std::string& what) {
    std::cerr << format_diag(file, line, col, what) << "\n";
    ++faults;
  };
  for (int i = 2; i < argc; ++i) {
    Source s;
    s.path = argv[i];
    std::string err;
    if (!ardo::tool::read_file(s.path, s.data, err)) {
      report(s.path, 1, 1, err);
      continue;
    }
    s.texts = ardo::ParseTalkText(s.data);
    for (const auto& [line, what] : s.texts.errors) report(s.path, line, 1, what);
    sources[fs::path(s.path).stem().string()] = std::move(s);
  }
  // Every text the game asks for, checked for how it must end.
  std::map<std::pair<std::string, std::string>, ardo::TextEnd> needed;
  for (const ardo::TalkTextNeed& n : ardo::TalkTextNeeds()) needed[{n.file, n.key}] = n.end;
  for (const auto& [file, end] : needed) {
    if (sources.count(file.first) == 0) {
      report(file.first + ".txt", 1, 1, "missing file: the game asks it for [" + file.second + "]");
      continue;
    }
    const Source& s = sources[file.first];
    if (s.texts.Find(file.second) == nullptr) report(s.path, 1, 1, "no text for [" + file.second + "], which the game asks for");
  }
  for (const auto& [name, s] : sources) {
    for (const auto& [key, entry] : s.texts.entries) {
      const auto it = needed.find({name, key});
      if (it == needed.end()) {
        report(s.path, entry.line, 1, "[" + key + "] is never asked for by the game");
        continue;
      }
      for (const auto& [offset, what] : ardo::CheckMessageText(entry.text, it->second)) {
        const auto [line, col] = Position(s, entry, offset);
        report(s.path, line, col, "[" + key + "] " + what);
      }
    }
  }
  if (faults != 0) {
    std::cerr << faults << " fault(s) in the conversation texts; nothing was copied\n";
    return 1;
  }
  std::error_code ec;
  fs::create_directories(out_dir, ec);
  for (const auto& [name, s] : sources) {
    std::string err;
    if (!ardo::tool::write_file_atomic(out_dir + "/" + name + ".txt", s.data, err)) {
      std::cerr << err << "\n";
      return 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return ardo::tool::run_main("ardo-textc", argc, argv, Body); }
