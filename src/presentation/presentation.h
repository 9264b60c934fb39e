// Presentation: the logo, the title screen and its menu, the opening and demo
// narrations, the ending and the staff roll.
#pragma once

namespace ardo {

void Title();
void Ending();
void StaffRoll();

}  // namespace ardo
