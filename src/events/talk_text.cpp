// The conversation texts: reading text/NAME.txt and checking a text against the
// message window (its markup, its width and how many lines are in view at a wait).
#include <string_view>

#include "events/events.h"
#include "ui/ui.h"

namespace ardo {

namespace {

bool IsAsciiSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsAsciiSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsAsciiSpace(s.back())) s.remove_suffix(1);
  return s;
}

// A key: a conversation number with an optional part ("14.thanks"), or a word
// of small letters, digits and underscores ("empty_chest").
bool ValidKey(std::string_view k) {
  if (k.empty()) return false;
  const size_t dot = k.find('.');
  const std::string_view head = k.substr(0, dot);
  if (head.empty()) return false;
  const bool number = head.find_first_not_of("0123456789") == std::string_view::npos;
  const auto word = [](std::string_view w) {
    return !w.empty() && w.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") == std::string_view::npos;
  };
  if (dot == std::string_view::npos) return number || word(head);
  return number && word(k.substr(dot + 1));
}

constexpr char32_t kLineBreak = U'／';
constexpr char32_t kPageWait = U'￥';
constexpr std::string_view kMarks[] = {"／", "￥"};

bool StartsWithMark(std::string_view s) {
  for (std::string_view m : kMarks) {
    if (s.substr(0, m.size()) == m) return true;
  }
  return false;
}

bool EndsWithMark(std::string_view s) {
  for (std::string_view m : kMarks) {
    if (s.size() >= m.size() && s.substr(s.size() - m.size()) == m) return true;
  }
  return false;
}

constexpr const char* kHalfWidthMarkup =
    "half-width '/', '\\' or '¥' is drawn, not obeyed: write ／ for a new line, ￥ for a page";

// What the English text may hold besides the two marks: plain ASCII and Latin letters,
// all of them half-width in the window font.
struct LetterRule {
  char32_t lo, hi;
  const char* fault;  // nullptr: allowed
};
constexpr LetterRule kEnglishLetters[] = {
    {U'/', U'/', kHalfWidthMarkup},
    {U'\\', U'\\', kHalfWidthMarkup},
    {0xA5, 0xA5, kHalfWidthMarkup},
    {0x20, 0x7E, nullptr},
    {0xA0, 0x17F, nullptr},
    {kLineBreak, kLineBreak, nullptr},
    {kPageWait, kPageWait, nullptr},
    {0x00, 0x1F, "a control character in the text"},
    {0x7F, 0x9F, "a control character in the text"},
    {0xA0, 0x10FFFF, "not a half-width letter: English is written in plain ASCII and Latin letters"},
};

using Findings = std::vector<std::pair<size_t, std::string>>;

// Calls each(offset, offset after it, character) for every character of text; a byte
// that starts none is a finding of its own.
template <class Each>
void EachCharacter(const std::string& text, Findings* found, Each each) {
  const Utf8Chars chars(text);
  const auto end_of_text = chars.end();
  for (auto it = chars.begin(); it != end_of_text; ++it) {
    const size_t at = it.offset();
    if (!it->valid()) {
      found->emplace_back(at, "not valid UTF-8");
      continue;
    }
    each(at, at + it->bytes.size(), it->code);
  }
}

// Whether the text ends the way its use needs.
void CheckEnd(const std::string& text, bool waits, TextEnd end, Findings* found) {
  if (end == TextEnd::kPage && !waits) {
    found->emplace_back(text.size(), "the text must end with ￥, or it is closed before it can be read");
  } else if (end == TextEnd::kOpen && waits) {
    found->emplace_back(text.size(), "this text stays on screen under a menu: it must not end with ￥");
  }
}

// The English text as the window lays it out (WrapMessage).
Findings CheckEnglish(const std::string& text, TextEnd end) {
  Findings found;
  EachCharacter(text, &found, [&](size_t at, size_t, char32_t c) {
    for (const LetterRule& r : kEnglishLetters) {
      if (c < r.lo || c > r.hi) continue;
      if (r.fault != nullptr) found.emplace_back(at, r.fault);
      break;
    }
  });
  const std::string width = std::to_string(kMessageLineLetters) + " letters";
  int lines = 0;  // lines of the page so far
  size_t page_start = 0;
  for (const MessageLine& line : WrapMessage(text)) {
    if (lines == 0) page_start = line.start;
    ++lines;
    if (line.cut) found.emplace_back(line.start, "a word longer than a line of the window (" + width + ")");
    const bool page_ends = line.end == MessageLine::End::kWait || line.end == MessageLine::End::kEnd;
    if (!page_ends) continue;
    // After a wait the pen stands on the next line, under the prompt.
    if (lines + (line.end == MessageLine::End::kWait ? 1 : 0) > kMessageLines) {
      found.emplace_back(page_start, "this page runs to more lines than the window shows at once (" +
                                         std::to_string(kMessageLines - 1) + " lines of " + width +
                                         " above the prompt); break it with ￥");
    }
    lines = 0;
  }
  CheckEnd(text, text.ends_with(kMarks[1]), end, &found);
  return found;
}

}  // namespace

const TalkTextEntry* TalkTextFile::Find(const std::string& key) const {
  for (const auto& [k, e] : entries) {
    if (k == key) return &e;
  }
  return nullptr;
}

TalkTextFile ParseTalkText(const std::string& source, Language language) {
  TalkTextFile out;
  std::string_view rest = source;
  if (rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);
  TalkTextEntry* current = nullptr;
  int current_line = 0;
  const auto close = [&] {
    if (current != nullptr && current->text.empty()) out.errors.emplace_back(current_line, "the entry has no text");
    if (current != nullptr && current->text.size() > kMaxTalkText) {
      out.errors.emplace_back(current_line, "the text is longer than " + std::to_string(kMaxTalkText / 1024) +
                                                " KB: no conversation says that much");
    }
  };
  int number = 0;
  while (!rest.empty()) {
    ++number;
    const size_t end = rest.find('\n');
    const std::string_view line = Trim(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!IsValidUtf8(line)) {
      out.errors.emplace_back(number, "not valid UTF-8");
      continue;
    }
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      close();
      current = nullptr;
      current_line = number;
      if (line.back() != ']') {
        out.errors.emplace_back(number, "a key line is [KEY] and nothing else");
        continue;
      }
      const std::string key(line.substr(1, line.size() - 2));
      if (!ValidKey(key)) {
        out.errors.emplace_back(number, "bad key [" + key + "]: a number, a number and a part (14.thanks) or a word");
        continue;
      }
      if (out.Find(key) != nullptr) {
        out.errors.emplace_back(number, "[" + key + "] is written twice");
        continue;
      }
      out.entries.emplace_back(key, TalkTextEntry{});
      out.entries.back().second.line = number;
      current = &out.entries.back().second;
      continue;
    }
    if (current == nullptr) {
      if (current_line == 0) out.errors.emplace_back(number, "text before the first [KEY]");
      continue;  // under a bad key: reported there
    }
    if (language == Language::kEnglish && !current->text.empty() && !EndsWithMark(current->text) &&
        !StartsWithMark(line)) {
      current->text += ' ';
    }
    current->lines.emplace_back(current->text.size(), number);
    current->text += line;
  }
  close();
  return out;
}

Findings CheckMessageText(const std::string& text, TextEnd end, Language language) {
  Findings found;
  if (text.empty()) {
    found.emplace_back(0, "empty text");
    return found;
  }
  if (language == Language::kEnglish) return CheckEnglish(text, end);
  // The pen of the message window, in characters and lines: `line` counts every
  // line the text has reached, `top` the first line still in view.
  int column = 0;
  int line = 0;
  int top = 0;
  int page_first = -1;      // first line with a drawn character of this page
  size_t page_start = 0;    // where the page starts in the text
  int width = 0;            // characters on the current line so far
  size_t line_start = 0;
  bool wide_reported = false;
  char32_t last = 0;
  const auto page_in_view = [&](size_t at) {
    if (page_first >= 0 && page_first < top) {
      found.emplace_back(page_start, "this page runs to more lines than the window shows at once (" +
                                         std::to_string(kMessageLines - 1) +
                                         " above the prompt); break it with ￥");
    }
    page_first = -1;
    page_start = at;
  };
  EachCharacter(text, &found, [&](size_t at, size_t i, char32_t c) {
    last = c;
    const bool brk = c == kLineBreak || c == kPageWait;
    if (c == U'/' || c == U'\\' || c == U'\u00A5') {
      found.emplace_back(at, kHalfWidthMarkup);
    } else if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
      found.emplace_back(at, "a control character in the text");
    }
    if (brk) {
      if (width == kMessageLineChars) {
        found.emplace_back(at, "a full line of " + std::to_string(kMessageLineChars) +
                                   " characters breaks by itself: this mark adds an empty line");
      }
      column = kMessageLineChars - 1;
    } else {
      if (page_first < 0) page_first = line;
      ++width;
      if (width > kMessageLineChars && !wide_reported) {
        found.emplace_back(line_start, "a line is wider than the message window (" +
                                           std::to_string(kMessageLineChars) + " characters)");
        wide_reported = true;
      }
    }
    if (++column >= kMessageLineChars) {
      column = 0;
      ++line;
      if (line - top >= kMessageLines) ++top;
    }
    if (brk) {
      width = 0;
      line_start = i;
      wide_reported = false;
    }
    if (c == kPageWait) page_in_view(i);
  });
  page_in_view(text.size());
  CheckEnd(text, last == kPageWait, end, &found);
  return found;
}

}  // namespace ardo
