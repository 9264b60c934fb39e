// Private to the events code (and its tests): the texts the position script shows
// itself and the cells its written-out triggers sit on.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ardo::scenes {

// The hero's thoughts at the village gate on the morning he sets out.
std::string OpeningMonologue();
// The hollow of the herb in the cave (five pages).
extern const char* const kHerbNarration;
// The greeting of the bomb shop in the haunted town (one page of three lines).
extern const char* const kBombShopGreeting;
// What is carved into the old tree in the cave of rubbish (two pages).
extern const char* const kTreeInscription;

// The four texts above.
std::vector<std::string> SceneTexts();
// The cells of map that have a written-out event (signs, counters, scenes; not the
// exits, which come from the exits table).
std::vector<std::pair<int, int>> TriggerCells(const std::string& map);

}  // namespace ardo::scenes
