// The one-line panel, window 14: battle messages, the shop's and the inn's money line.
#include "battle/battle.h"
#include "ui/ui.h"

namespace ardo {

namespace {
// Characters of a UTF-8 text (each one drawn as one 20-pixel cell of the panel).
long long Characters(const std::string& s) {
  long long n = 0;
  for (const char c : s) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  }
  return n;
}
}  // namespace

void BtlText(const std::string& text) {
  Windows(win::kPanel).Item(0) = text;
  Windows(win::kPanel).W = CInt(20 * Characters(text) + 40);
  WinDraw(win::kPanel);
}

}  // namespace ardo
