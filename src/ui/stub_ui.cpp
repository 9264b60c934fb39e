// TEMPORARY: the message window and window system, until the windows work lands.
#include "ui/ui.h"

namespace ardo {

VbArray<WindowDef, 0, 20> Windows;
VbArray<platform::Surface, 0, 17> picWindow;
platform::Surface picMes_Buff;
MenuValue MenuChoice = 0LL;

namespace {
std::string g_shown;
}

void Message(const std::string& text) { g_shown = text; }
void TextPut(const std::string&, platform::Surface&, int, int) {}
const std::string& MessageShown() { return g_shown; }
void WinSet() {
  for (int i = 0; i <= 17; ++i) picWindow(i).visible = false;
}
void WinDraw(int) {}
void WinHide(int n) { picWindow(n).visible = false; }
void WinToFront(int) {}
Byte WinDeal(int) { return 255; }
std::string ToFullWidth(const std::string& s) { return s; }
std::string F(long long v) { return std::to_string(v); }
std::string RightChars(const std::string& s, size_t) { return s; }
size_t CharLength(const std::string& s) { return s.size(); }

}  // namespace ardo
