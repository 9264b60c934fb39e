// Window text: UTF-8 characters, the full-width forms every window shows, the
// number format of the status windows, and TextPut with its low-HP red.
#include <string>

#include "ui/window_internal.h"

namespace ardo {

namespace ui_internal {

char32_t DrawnCode(const Utf8Char& c) { return c.valid() ? c.code : static_cast<unsigned char>(c.bytes[0]); }

std::vector<char32_t> Decode(std::string_view s) {
  std::vector<char32_t> out;
  out.reserve(s.size());
  for (const Utf8Char& c : Utf8Chars(s)) out.push_back(DrawnCode(c));
  return out;
}

bool HitPointsLow() { return Player.mhp / 5.0 > Player.hp; }

}  // namespace ui_internal

using namespace ui_internal;

namespace {

// Half-width katakana U+FF61..U+FF9F and their full-width forms.
constexpr char16_t kKana[] = {
    u'。', u'「', u'」', u'、', u'・', u'ヲ', u'ァ', u'ィ', u'ゥ', u'ェ', u'ォ', u'ャ', u'ュ', u'ョ', u'ッ', u'ー',
    u'ア', u'イ', u'ウ', u'エ', u'オ', u'カ', u'キ', u'ク', u'ケ', u'コ', u'サ', u'シ', u'ス', u'セ', u'ソ', u'タ',
    u'チ', u'ツ', u'テ', u'ト', u'ナ', u'ニ', u'ヌ', u'ネ', u'ノ', u'ハ', u'ヒ', u'フ', u'ヘ', u'ホ', u'マ', u'ミ',
    u'ム', u'メ', u'モ', u'ヤ', u'ユ', u'ヨ', u'ラ', u'リ', u'ル', u'レ', u'ロ', u'ワ', u'ン', u'゛', u'゜',
};
static_assert(sizeof(kKana) / sizeof(kKana[0]) == 0xFF9F - 0xFF61 + 1);

constexpr char32_t kVoicedMark = 0xFF9E;      // ﾞ
constexpr char32_t kSemiVoicedMark = 0xFF9F;  // ﾟ

// The voiced form of a full-width kana, or 0 when it has none.
char32_t Voiced(char32_t k) {
  if (k == u'ウ') return u'ヴ';
  if ((k >= u'カ' && k <= u'ヂ' && (k - u'カ') % 2 == 0) || k == u'ツ' || k == u'テ' || k == u'ト') return k + 1;
  if (k >= u'ハ' && k <= u'ホ' && (k - u'ハ') % 3 == 0) return k + 1;
  return 0;
}

char32_t SemiVoiced(char32_t k) {
  if (k >= u'ハ' && k <= u'ホ' && (k - u'ハ') % 3 == 0) return k + 2;
  return 0;
}

}  // namespace

std::string ToFullWidth(const std::string& s) {
  const std::vector<char32_t> in = Decode(s);
  std::string out;
  out.reserve(s.size() * 3);
  for (size_t i = 0; i < in.size(); ++i) {
    const char32_t c = in[i];
    if (c == U' ') {
      AppendUtf8(U'\u3000', &out);
    } else if (c >= 0x21 && c <= 0x7E) {
      AppendUtf8(c + 0xFEE0, &out);
    } else if (c >= 0xFF61 && c <= 0xFF9F) {
      char32_t k = kKana[c - 0xFF61];
      if (i + 1 < in.size()) {
        const char32_t mark = in[i + 1];
        const char32_t combined = mark == kVoicedMark ? Voiced(k) : mark == kSemiVoicedMark ? SemiVoiced(k) : 0;
        if (combined != 0) {
          k = combined;
          ++i;
        }
      }
      AppendUtf8(k, &out);
    } else {
      AppendUtf8(c, &out);
    }
  }
  return out;
}

std::string F(long long v) {
  // The old run-time's Str: a leading space for a number that is not negative.
  std::string text = std::to_string(v);
  if (v >= 0) text.insert(text.begin(), ' ');
  return ToFullWidth(text);
}

std::string RightChars(const std::string& s, size_t k) {
  const size_t n = Utf8Length(s);
  return k >= n ? s : s.substr(Utf8Offset(s, n - k));
}

size_t CharLength(const std::string& s) { return Utf8Length(s); }

namespace {

void PutInWindowColour(const std::string& s, platform::Surface& dc, int x, int y) {
  const bool red = HitPointsLow();
  if (red) {
    for (auto& w : picWindow) w.SetForeColor(kRed);
  }
  dc.TextOut(x, y, s);
  if (red) {
    for (auto& w : picWindow) w.SetForeColor(kSilver);
  }
}

}  // namespace

void TextPut(const std::string& s, platform::Surface& dc, int x, int y) {
  PutInWindowColour(ToFullWidth(s), dc, x, y);
}

void TextPutHalfWidth(const std::string& s, platform::Surface& dc, int x, int y) {
  // The window font's bold fills the narrow letters (w, m, W) into blots: half-width
  // letters are written in its regular weight.
  const platform::TextStyle saved = dc.text_style();
  dc.SetTextStyle(platform::TextStyle{saved.size_px, false});
  PutInWindowColour(s, dc, x, y);
  dc.SetTextStyle(saved);
}

}  // namespace ardo
