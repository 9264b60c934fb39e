// The story's numbers: the items the game tests or gives by number and the flags the
// story keeps, each named once here. (The names and kinds of the items come from
// data/item.dat; the chests' own flags stand beside them in the conversation table.)
#pragma once

namespace ardo::story {

// ---------------------------------------------------------------------------
// Items.
constexpr int kWallet = 16;        // lost in the floating village; its owner wants it back
constexpr int kWalletReward = 17;  // what the owner gives for it
constexpr int kDrill = 18;         // breaks the brown rock (tiles 95 and 111)
constexpr int kMoonSword = 19;     // plain attacks hit half as hard again
constexpr int kGuardGift = 24;     // the sweet the cave guard wants
constexpr int kFlowerHat = 25;     // softens the enemies' spells
constexpr int kPhoenixRobe = 26;   // softens the enemies' blows
constexpr int kCuttingBoard = 28;  // the lumberjack's board, which mends the cavity bridge

// ---------------------------------------------------------------------------
// Flags. 0-7 are the settings; byte 1 of Flags (flags 8-15) holds the encounter area.
constexpr int kAreaByte = 1;  // Flags(kAreaByte)
constexpr int kAutoTalk = 16;  // walking into someone talks to him
// 32-37: the places travel can reach, in the travel menu's order, each set on the
// hero's first coming there.
constexpr int kFirstTravelFlag = 32;
constexpr int kCavityVisited = 36;

constexpr int kMonologueDone = 257;    // the hero's thoughts at the village gate (the escape spell needs it)
constexpr int kHerbSeen = 259;         // the herb bed of the first cave
constexpr int kShellBossFought = 272;  // the boss of the sea-breeze cave
constexpr int kWalletReturned = 280;
constexpr int kTreeBeaten = 281;       // the old tree of the rubbish cave
constexpr int kGuardHasGift = 302;     // the cave guard has his sweet and stands aside
constexpr int kBridgeSeen = 304;       // the broken bridge has been found
constexpr int kBoardGiven = 305;       // the lumberjack has given his board
constexpr int kIceBossFought = 306;    // the boss of the ice wall
constexpr int kGuardWarned = 327;      // the cave guard's first warning

}  // namespace ardo::story
