// The narrations: a script of rows scrolled up the view one pixel a frame, on black,
// over the title picture or over the dimmed summit.
#include <algorithm>
#include <sstream>

#include "core/core.h"
#include "field/field.h"
#include "presentation/presentation.h"
#include "presentation/presentation_internal.h"
#include "sound/sound.h"

namespace ardo {

namespace presentation {

void ScrollText(const std::vector<std::string>& lines, int last_start, ScrollMode mode) {
  auto& p = platform::GetPlatform();
  if (mode == ScrollMode::kOverTitle) {
    DrawTitlePicture();
    RefreshScreen();
  } else if (mode == ScrollMode::kOnBlack) {
    ScreenFade(0);
  }
  const auto row = [&](int i) -> const std::string& {
    static const std::string kBlank;
    return i >= 0 && i < static_cast<int>(lines.size()) ? lines[static_cast<size_t>(i)] : kBlank;
  };
  for (int top = 1; top <= last_start; ++top) {
    for (int off = 0; off <= 30; ++off) {
      const std::uint32_t t0 = p.TimeGetTime();
      SetScroll(top, off);
      switch (mode) {
        case ScrollMode::kOverTitle: DrawTitlePicture(); break;
        case ScrollMode::kOnBlack: picMain.FillRect(0, 0, picMain.width(), picMain.height(), 0); break;
        case ScrollMode::kOverSaved:
          picMain.BitBlt(0, 0, picBuff.width(), picBuff.height(), &picBuff, 0, 0, platform::Rop::kSrcCopy);
          break;
      }
      for (int i = 0; i <= 15; ++i) picMain.TextOut(40, 30 * i - off, row(top + i));
      RefreshScreen();
      long frame = 2 * FrameWait;
      if (mode == ScrollMode::kOverTitle) {
        if (BynDown()) {
          SetScroll(0, 0);
          return;
        }
      } else if (mode == ScrollMode::kOnBlack) {
        const KeyState key = Getkey();
        const KeyState pad = JoyPad();
        if (key.dy == -1 || pad.dy == -1) {
          frame = 10 * FrameWait;
        } else if (BynDown()) {
          off += 2;
          frame = FrameWait / 5;
        }
      }
      Wait(frame - static_cast<long>(p.TimeGetTime() - t0));
      LoopBgm();
    }
  }
  SetScroll(0, 0);
  Wait(1000);
}

}  // namespace presentation

using presentation::SceneGuard;
using presentation::ScrollMode;

NarrationScript ParseNarration(const std::string& bytes, int entries) {
  NarrationScript out;
  out.rows.resize(static_cast<size_t>(std::max(entries, 0)));
  out.lines.resize(out.rows.size());
  std::istringstream in(bytes);
  // One row a line: its number, one blank, its text. Blank lines and lines starting
  // with '#' are notes; rows not named stay empty.
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    size_t digits = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
    if (digits == 0 || digits > 4 || (digits < line.size() && line[digits] != ' ')) {
      out.faults.emplace_back(number, err::kTypeMismatch);
      continue;
    }
    const int n = std::stoi(line.substr(0, digits));
    if (n >= entries) {
      out.faults.emplace_back(number, err::kSubscript);
      continue;
    }
    out.rows[static_cast<size_t>(n)] = digits < line.size() ? line.substr(digits + 1) : std::string();
    out.lines[static_cast<size_t>(n)] = number;
  }
  return out;
}

int NarrationRowCells(const std::string& row) {
  int cells = 0;
  for (size_t i = 0; i < row.size();) {
    size_t n = 1;
    const std::uint32_t c = Utf8CodePoint(row, i, &n);
    i += n;
    // Half-width: ASCII, Latin letters and the half-width katakana.
    cells += c < 0x250 || (c >= 0xFF61 && c <= 0xFF9F) ? 1 : 2;
  }
  return cells;
}

std::vector<std::string> LoadNarration(const std::string& name, int entries, const char* source) {
  const Trap on(source);
  const std::string relative = LanguagePath("narration", name + ".txt");
  std::string bytes;
  std::string why;
  const FileStatus status = ReadGameFile(GamePath(relative), &bytes, &why);
  if (status != FileStatus::kOk) {
    on.LogFault(FileFault(status, relative, why));
    return std::vector<std::string>(static_cast<size_t>(entries));
  }
  NarrationScript script = ParseNarration(bytes, entries);
  // Every line of the log names the file (and the line) it is about.
  for (const auto& [number, fault] : script.faults) {
    Fault f = Fault::Of(fault);
    f.description += " (" + relative + " line " + std::to_string(number) + ")";
    on.LogFault(f);
  }
  return std::move(script.rows);
}

void OpeningText(int mode) {
  SceneGuard scene(Scene::kOpening);
  presentation::ScrollText(LoadNarration("opening", kOpeningEntries, "OpeningText"), kOpeningLastStart,
                           mode == 0 ? ScrollMode::kOnBlack : ScrollMode::kOverTitle);
}

void DemoText(int mode) {
  SceneGuard scene(Scene::kDemo);
  presentation::ScrollText(LoadNarration("demo", kDemoEntries, "DemoText"), kDemoLastStart,
                           mode == 0 ? ScrollMode::kOnBlack : ScrollMode::kOverTitle);
}

void EndingText() {
  SceneGuard scene(Scene::kEndingNarration);
  presentation::ScrollText(LoadNarration("ending", kEndingEntries, "EndingText"), kEndingLastStart,
                           ScrollMode::kOverSaved);
}

}  // namespace ardo
