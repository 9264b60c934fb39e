// Private to the platform layer: the message box the game draws itself, over its own
// last frame and in its own font, so Japanese text shows in any window or full screen.
// It knows nothing of SDL: the desktop platform feeds it keys and clicks and shows
// what it draws until it has an answer.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace ardo::platform {

class DrawnMessageBox {
 public:
  // Laid out centred on a frame of the given size; long text is wrapped to fit it.
  DrawnMessageBox(const std::string& text, const std::string& caption, MsgBoxKind kind, int frame_width,
                  int frame_height);

  // Draws the box over the frame (the game's picture stays around it).
  void Draw(Surface* frame) const;

  // Input, in virtual-key codes and frame coordinates. Enter or X takes the button
  // with the focus, Escape, Z or Space cancels (an OK box answers OK), the arrows move
  // the focus; a click answers when the button is pressed and released on the same button.
  void KeyDown(int key);
  void MouseDown(int x, int y);
  void MouseUp(int x, int y);

  bool answered() const { return answered_; }
  MsgBoxResult result() const { return result_; }

  // Layout, for the platform and for tests.
  const Rect& box() const { return box_; }
  int button_count() const { return static_cast<int>(buttons_.size()); }
  const Rect& button(int i) const { return buttons_[static_cast<size_t>(i)]; }
  int focus() const { return focus_; }

 private:
  void Answer(int button);

  std::vector<std::string> lines_;
  std::string caption_;
  Rect box_;
  std::vector<Rect> buttons_;
  std::vector<std::string> labels_;
  int focus_ = 0;
  int pressed_ = -1;
  bool answered_ = false;
  MsgBoxResult result_ = MsgBoxResult::kCancel;
};

}  // namespace ardo::platform
