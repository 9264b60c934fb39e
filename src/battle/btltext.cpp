// The one-line panel, window 14: battle messages, the shop's and the inn's money line.
#include "battle/battle.h"
#include "ui/ui.h"

namespace ardo {

void BtlText(const std::string& text) {
  Windows(win::kPanel).Item(0) = text;
  // Each character is one 20-pixel cell of the panel; an English letter half of one.
  const int cell = GameLanguage() == Language::kEnglish ? 10 : 20;
  Windows(win::kPanel).W = CInt(cell * static_cast<long long>(Utf8Length(text)) + 40);
  WinDraw(win::kPanel);
}

}  // namespace ardo
