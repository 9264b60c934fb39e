// The narrations: a script of rows scrolled up the view one pixel a frame, on black,
// over the title picture or over the dimmed summit.
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

std::vector<std::string> LoadNarration(const std::string& name, int entries, const char* source) {
  const Trap on(source);
  std::vector<std::string> lines(static_cast<size_t>(entries));
  const std::string relative = "narration/" + name + ".txt";
  // Every line of the log names the file (and the line) it is about.
  auto fault = [&](int number, const std::string& where) {
    Fault f = Fault::Of(number);
    f.description += " (" + where + ")";
    on.LogFault(f);
  };
  std::string bytes;
  std::string why;
  const FileStatus status = ReadGameFile(GamePath(relative), &bytes, &why);
  if (status != FileStatus::kOk) {
    on.LogFault(FileFault(status, relative, why));
    return lines;
  }
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
      fault(err::kTypeMismatch, relative + " line " + std::to_string(number));
      continue;
    }
    const int n = std::stoi(line.substr(0, digits));
    if (n >= entries) {
      fault(err::kSubscript, relative + " line " + std::to_string(number));
      continue;
    }
    lines[static_cast<size_t>(n)] = digits < line.size() ? line.substr(digits + 1) : std::string();
  }
  return lines;
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
