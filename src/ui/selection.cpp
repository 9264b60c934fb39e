// The selection loop of a window: the cursor over its rows, a pick or a cancel handed
// to its owner (the menus' WinDeal or the battle's btldeal).
#include "sound/sound.h"
#include "ui/window_internal.h"

namespace ardo {

using namespace ui_internal;

namespace {

MenuFocus g_focus;

// Held by a selection loop for as long as it runs; the loop it interrupted gets the focus back.
class FocusScope {
 public:
  explicit FocusScope(int window) : saved_(g_focus) { g_focus = MenuFocus{window, 0}; }
  ~FocusScope() { g_focus = saved_; }
  FocusScope(const FocusScope&) = delete;
  FocusScope& operator=(const FocusScope&) = delete;

 private:
  MenuFocus saved_;
};

}  // namespace

MenuFocus ActiveMenu() { return g_focus; }

void Selection::MoveTo(int row) {
  row_ = row;
  g_focus.row = row;
}

Byte RunSelection(int n, const Trap& on, const SelectionRules& rules) {
  FocusScope focus(n);
  Selection s(n);
  on([&] { WinDraw(n); });
  on([&] {
    WinToFront(n);
    picWindow(n).visible = true;
    DrawCursor(n, s.row());
    RefreshScreen();
  });
  auto leave = [&] {
    on([&] { EraseCursor(n, s.row()); });
    if (rules.hide_on_leave) on([&] { WinHide(n); });
    on([] { WinHide(win::kMessage); });
    KeyWait();
    return s.result;
  };
  for (;;) {
    const KeyState pad = JoyPad();
    const KeyState key = Getkey();
    const int dy = pad.dy + key.dy;
    if (rules.battle_moves ? pad.dy != 0 || key.dy != 0 : dy != 0) {
      on([&] {
        if (!(rules.keeps_cursor && rules.keeps_cursor(s))) EraseCursor(n, s.row());
        const int count = Windows(n).Count;
        int c = static_cast<int>(rules.battle_moves ? Mod(s.row() + dy, count) : Mod(s.row() + dy + count, count));
        if (c < 0) c = count - 1;
        s.MoveTo(c);
        DrawCursor(n, c);
        RefreshScreen();
        PlaySe("movc", 1);
      });
    }
    const int b = pad.btn | key.btn;
    if (b == 1) {
      Pick next = Pick::kStay;
      on([&] { next = rules.cancel(s); });
      if (next == Pick::kReturn) return s.result;
      if (next == Pick::kLeave) return leave();
    } else if (b == 2) {
      on([] { PlaySe("pi", 1); });
      KeyWait();
      Pick next = Pick::kStay;
      on([&] { next = rules.pick(s); });
      if (next == Pick::kReturn) return s.result;
      if (next == Pick::kLeave) return leave();
      // Back in this window: it comes to the front again, over any window that an
      // inner menu left on screen.
      on([&] {
        WinToFront(n);
        RefreshScreen();
      });
    }
    KeyWait();
    Wait(FrameWait);
  }
}

}  // namespace ardo
