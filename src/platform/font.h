// Private to the platform layer: sets up the window font.
#pragma once

#include <string>

#include "platform/surface.h"

namespace ardo::platform {

// Opens the window font (IPAGothic unless a path is given) and installs it as the
// renderer of Surface::TextOut. False and one error line when the font is missing.
bool InitFont(const std::string& path, std::string* error);

}  // namespace ardo::platform
