// Window text: UTF-8 characters, the full-width forms every window shows, the
// number format of the status windows, and TextPut with its low-HP red.
#include <string>

#include "ui/window_internal.h"

namespace ardo {

namespace ui_internal {

char32_t DecodeNext(std::string_view s, size_t* at) {
  size_t n = 0;
  const std::uint32_t c = Utf8CodePoint(s, *at, &n);
  const auto b0 = static_cast<unsigned char>(s[*at]);
  *at += n;
  return c == kBadUtf8 ? b0 : c;  // a stray byte stands for itself
}

std::vector<char32_t> Decode(std::string_view s) {
  std::vector<char32_t> out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) out.push_back(DecodeNext(s, &i));
  return out;
}

void AppendUtf8(std::string* out, char32_t c) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | ((c >> 18) & 0x07)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::vector<std::string> Characters(std::string_view s) {
  std::vector<std::string> out;
  for (char32_t c : Decode(s)) {
    std::string one;
    AppendUtf8(&one, c);
    out.push_back(std::move(one));
  }
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
      AppendUtf8(&out, U'\u3000');
    } else if (c >= 0x21 && c <= 0x7E) {
      AppendUtf8(&out, c + 0xFEE0);
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
      AppendUtf8(&out, k);
    } else {
      AppendUtf8(&out, c);
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
  const std::vector<char32_t> c = Decode(s);
  if (k >= c.size()) return s;
  std::string out;
  for (size_t i = c.size() - k; i < c.size(); ++i) AppendUtf8(&out, c[i]);
  return out;
}

size_t CharLength(const std::string& s) { return Decode(s).size(); }

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
