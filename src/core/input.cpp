// Keyboard and joypad polling: everything the game reads is reduced to a direction
// and one button code.
#include "core/bindings.h"
#include "core/core.h"

namespace ardo {

Long JoyCenterX = 0;
Long JoyCenterY = 0;
Long JoyThreshold = 20000;
JoyInfoRecord JoyInfo;

namespace {
platform::JoyCaps g_joy_caps;

// The centres are 0 until JoyInit has read a pad's capabilities.
bool CentresKnown() { return JoyCenterX != 0 || JoyCenterY != 0; }
}  // namespace

KeyState Getkey() {
  Trap on("Getkey");
  KeyState k;
  on([&] {
    if (ActionHeld(Action::kUp)) {
      k.dy = -1;
    } else if (ActionHeld(Action::kDown)) {
      k.dy = 1;
    } else if (ActionHeld(Action::kLeft)) {
      k.dx = -1;
    } else if (ActionHeld(Action::kRight)) {
      k.dx = 1;
    }
    if (ActionHeld(Action::kCancel)) {
      k.btn = 1;
    } else if (ActionHeld(Action::kChoose)) {
      k.btn = 2;
    } else if (ActionHeld(Action::kDash)) {
      k.btn = 3;
    }
  });
  return k;
}

Integer JoyRead(Integer id, JoyInfoRecord& info, Integer& code) {
  code = 0;
  if (id != 0) return platform::kJoyErrUnplugged;
  platform::JoyPos pos;
  const int r = platform::GetPlatform().JoyGetPos(&pos);
  if (r == 0) {
    info.x = pos.x;
    info.y = pos.y;
    info.z = pos.z;
    info.buttons = pos.buttons;
    info.X = static_cast<Long>(pos.x & 0xFFFF);
    info.Y = static_cast<Long>(pos.y & 0xFFFF);
    code = static_cast<Integer>((2 * static_cast<long long>(pos.buttons)) % 4096);
  }
  return static_cast<Integer>(r);
}

KeyState JoyPad() {
  Trap on("JoyPad");
  KeyState k;
  on([&] {
    if (Flag(17) != 0) return;
    Integer c = 0;
    if (JoyRead(0, JoyInfo, c) != 0) return;
    // A pad plugged in after start-up has no centres yet: take them now. Until they
    // are known the stick counts as at rest, never as pushed to one side.
    if (!CentresKnown()) JoyInit();
    if (!CentresKnown()) {
      // no direction
    } else if (JoyInfo.X < JoyCenterX - JoyThreshold) {
      k.dx = -1;
    } else if (JoyInfo.X > JoyCenterX + JoyThreshold) {
      k.dx = 1;
    } else if (JoyInfo.Y < JoyCenterY - JoyThreshold) {
      k.dy = -1;
    } else if (JoyInfo.Y > JoyCenterY + JoyThreshold) {
      k.dy = 1;
    }
    if (c == 2) {
      k.btn = 1;
    } else if (c == 4 || c == 6) {
      k.btn = 2;
    } else if (c >= 8) {
      k.btn = 3;
    }
  });
  return k;
}

bool BynDown() {
  Trap on("BynDown");
  return on.Value(false, [] {
    const KeyState j = JoyPad();
    const KeyState k = Getkey();
    return j.dx != 0 || j.dy != 0 || j.btn != 0 || k.dx != 0 || k.dy != 0 || k.btn != 0;
  });
}

void KeyWait() {
  Trap on("KeyWait");
  auto& p = platform::GetPlatform();
  const std::uint32_t t0 = p.TimeGetTime();
  for (;;) {
    if (!BynDown()) return;
    on([] { DoEvents(); });
    if (!GameRunning) throw EndProgram{};
    const std::uint32_t held = p.TimeGetTime() - t0;
    if (held > 200) return;
    // Until the button is let go (an event), or the wait is given up.
    p.IdleUpTo(201 - held);
  }
}

Integer JoyInit() {
  const int r = platform::GetPlatform().JoyGetDevCaps(&g_joy_caps);
  if (r != 0) return static_cast<Integer>(r);
  auto centre = [](std::uint32_t min, std::uint32_t max) {
    const long long v = ((65535LL - (min >> 16)) & (max & 65535u));
    return static_cast<Long>(RoundHalfEven(v / 2.0));
  };
  JoyCenterX = centre(g_joy_caps.x_min, g_joy_caps.x_max);
  JoyCenterY = centre(g_joy_caps.y_min, g_joy_caps.y_max);
  return 0;
}

}  // namespace ardo
