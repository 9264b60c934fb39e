// What a headless run's window and message boxes were captioned (for the harness's dump).
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace ardo::platform {

// The window's caption: the title it was made with, or the last one set. Null when p
// is not the headless platform (a recording wraps it).
const std::string* HeadlessWindowCaption(Platform& p);
// The captions of the message boxes shown so far, in the order of message_boxes().
const std::vector<std::string>* HeadlessMessageBoxCaptions(Platform& p);

}  // namespace ardo::platform
