// How the message window lays out English: words wrapped at spaces, never split.
#include <algorithm>

#include "ui/ui.h"

namespace ardo {

namespace {

constexpr std::string_view kBreakMark = "／";
constexpr std::string_view kWaitMark = "￥";

// Letters in s: code points, a stray byte counting as one.
int Letters(std::string_view s) {
  int n = 0;
  for (std::size_t i = 0; i < s.size(); ++n) {
    std::size_t len = 1;
    Utf8CodePoint(s, i, &len);
    i += len;
  }
  return n;
}

// The byte length of the first `letters` letters of s.
std::size_t PrefixBytes(std::string_view s, int letters) {
  std::size_t i = 0;
  for (int k = 0; k < letters && i < s.size(); ++k) {
    std::size_t len = 1;
    Utf8CodePoint(s, i, &len);
    i += len;
  }
  return i;
}

// Lays out one run of text between marks; its last line is left open in *line.
void WrapRun(std::string_view text, std::size_t base, int width, std::vector<MessageLine>* out, MessageLine* line,
             int* used) {
  const auto push = [&](MessageLine::End end) {
    line->end = end;
    out->push_back(*line);
    *line = MessageLine{};
    *used = 0;
  };
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    std::size_t end = text.find(' ', i);
    if (end == std::string_view::npos) end = text.size();
    std::string_view word = text.substr(i, end - i);
    std::size_t at = base + i;
    int letters = Letters(word);
    if (*used > 0 && *used + 1 + letters > width) push(MessageLine::End::kWrap);
    // A word longer than a line is cut: the window must never run past its edge.
    while (letters > width) {
      if (*used > 0) push(MessageLine::End::kWrap);
      const std::size_t cut = PrefixBytes(word, width);
      line->start = at;
      line->text = std::string(word.substr(0, cut));
      line->cut = true;
      push(MessageLine::End::kWrap);
      word.remove_prefix(cut);
      at += cut;
      letters -= width;
    }
    if (!word.empty()) {
      if (*used == 0) {
        line->start = at;
      } else {
        line->text += ' ';
        ++*used;
      }
      line->text += word;
      *used += letters;
    }
    i = end;
  }
}

}  // namespace

std::vector<MessageLine> WrapMessage(std::string_view text, int width) {
  std::vector<MessageLine> out;
  MessageLine line;
  int used = 0;
  std::size_t run = 0;  // start of the text since the last mark
  for (std::size_t i = 0; i <= text.size();) {
    const std::string_view rest = text.substr(i);
    const bool brk = rest.substr(0, kBreakMark.size()) == kBreakMark;
    const bool wait = rest.substr(0, kWaitMark.size()) == kWaitMark;
    if (!brk && !wait && i < text.size()) {
      ++i;
      continue;
    }
    WrapRun(text.substr(run, i - run), run, std::max(width, 1), &out, &line, &used);
    if (i == text.size()) break;
    if (used == 0) line.start = i;
    line.end = wait ? MessageLine::End::kWait : MessageLine::End::kBreak;
    out.push_back(line);
    line = MessageLine{};
    used = 0;
    i += brk ? kBreakMark.size() : kWaitMark.size();
    run = i;
    if (i == text.size()) return out;
  }
  if (used > 0 || out.empty()) {
    if (used == 0) line.start = text.size();
    line.end = MessageLine::End::kEnd;
    out.push_back(line);
  }
  return out;
}

}  // namespace ardo
