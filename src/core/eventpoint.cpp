// The event point and the pace of a frame.
#include "core/core.h"

namespace ardo {

namespace {
FramePresenter g_presenter;
bool g_refreshed = true;
}  // namespace

void SetFramePresenter(FramePresenter presenter) {
  g_presenter = std::move(presenter);
  g_refreshed = true;
}

void RefreshScreen() { g_refreshed = true; }

void DoEvents() {
  platform::GetPlatform().PumpEvents();
  const bool refreshed = g_refreshed;
  g_refreshed = false;
  if (g_presenter) g_presenter(refreshed);
}

FramePace::FramePace() : start_(platform::GetPlatform().TimeGetTime()) {}

void FramePace::Finish(long frame_ms, bool animate) {
  if (animate) {
    AnimClock = static_cast<Integer>((AnimClock + FrameWait) % 2000);
    AnimFrame = static_cast<Integer>((AnimClock % 500) / 250);
  }
  Wait(frame_ms - static_cast<long>(platform::GetPlatform().TimeGetTime() - start_));
}

}  // namespace ardo
