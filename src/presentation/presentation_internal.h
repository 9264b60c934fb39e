// Private to the presentation: the scene the harness sees, and drawing shared by the
// title and the narrations.
#pragma once

#include <string>
#include <vector>

#include "presentation/presentation.h"

namespace ardo::presentation {

// Shows `scene` for as long as it lives, then whatever was shown before.
class SceneGuard {
 public:
  explicit SceneGuard(Scene scene);
  ~SceneGuard();
  SceneGuard(const SceneGuard&) = delete;
  SceneGuard& operator=(const SceneGuard&) = delete;

 private:
  Scene saved_;
};

void SetStaffPage(int page);
void SetScroll(int top, int off);

// picMain: the title's backdrop with the title picture in its middle.
void DrawTitlePicture();

// What a narration scrolls over and how the player may steer it.
enum class ScrollMode {
  kOverTitle,  // over the title picture; any button ends it
  kOnBlack,    // on black after a fade; "up" slows it, a button speeds it up
  kOverSaved,  // over the picture saved in picBuff; nothing steers it
};
void ScrollText(const std::vector<std::string>& lines, int last_start, ScrollMode mode);

}  // namespace ardo::presentation
