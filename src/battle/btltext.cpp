// The one-line panel, window 14: battle messages, the shop's and the inn's money line.
#include "battle/battle.h"
#include "ui/ui.h"

namespace ardo {

void BtlText(const std::string& text) {
  Windows(14).Item(0) = text;
  // Each character is one 20-pixel cell of the panel.
  Windows(14).W = CInt(20 * static_cast<long long>(Utf8Length(text)) + 40);
  WinDraw(14);
}

}  // namespace ardo
