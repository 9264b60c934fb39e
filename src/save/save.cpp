// The nine save slots: Save, Load, the slot list file and the start-up scan.
//
// Unlike the old record-by-record write, a slot is replaced whole: the new file is
// written and synced beside the old one and then renamed over it, so a crash or a full
// disk in the middle of a save leaves the previous save as it was, and a save that did
// not happen says so to its caller. A slot file that is
// short or holds values the game never writes is not loaded at all; it shows as empty.
#include "save/save.h"

#include "events/events.h"
#include "field/field.h"
#include "save/slot_file.h"
#include "sound/sound.h"
#include "ui/ui.h"

namespace ardo {

VbArray<SaveEntry, 0, 8> SaveList;

namespace {

using namespace save_internal;

Fault Unreadable(int number, const std::string& path, const std::string& why) {
  Fault f = Fault::Of(number);
  f.description += " (" + path + ": " + why + ")";
  return f;
}

// One of the game's own maps: a place with a name for the player, or one with a block
// (perhaps of nobody) in the people table, which every map of the world has.
bool GameMap(const std::string& name) { return !MapTitle(name).empty() || ReadPeople(name).found; }

// The slot's map must be there and the hero must stand inside it. A map of the game
// whose file is missing or can't be read is left for the map loader to report when the
// slot is loaded (the player sees that the game's own files are damaged); a name that is
// neither one of the game's maps nor a map file (a damaged slot) is refused.
bool OnItsMap(const SlotContents& c, std::string* why) {
  const int x = c.player.x;
  const int y = c.player.y;
  int width = 256;
  int height = 256;
  const MapFile map = ReadMapFile(c.map_name);
  if (map.status == FileStatus::kOk && map.has_size()) {
    width = map.width;
    height = map.height;
  } else if (map.status == FileStatus::kMissing && !GameMap(c.map_name)) {
    *why = "there is no map " + c.map_name;
    return false;
  }
  if (x >= 0 && y >= 0 && x < width && y < height) return true;
  *why = "the hero at " + std::to_string(x) + "," + std::to_string(y) + " is outside the map " + c.map_name + " (" +
         std::to_string(width) + " x " + std::to_string(height) + ")";
  return false;
}

// Reads and checks slot n. False when there is no usable slot; a file that is there
// but unusable is also reported by a fault from `report` (missing files are not).
template <class Report>
bool ReadSlot(int n, SlotContents* out, Report&& report) {
  const std::string path = SlotPath(n);
  std::string bytes;
  std::string why;
  switch (ReadFile(path, kSlotFileSize, &bytes, &why)) {
    case ReadResult::kMissing:
      return false;
    case ReadResult::kFailed:
      report(Unreadable(err::kIoError, path, why));
      return false;
    case ReadResult::kOk:
      break;
  }
  if (!DecodeSlot(bytes, out, &why)) {
    report(Unreadable(bytes.size() < kSlotMinimumSize ? err::kInputPastEnd : err::kTypeMismatch, path, why));
    return false;
  }
  if (!OnItsMap(*out, &why)) {
    report(Unreadable(err::kTypeMismatch, path, why));
    return false;
  }
  return true;
}

}  // namespace

Byte Save(int slot) {
  Trap on("Save");
  Byte r = 255;
  on([&] {
    if (slot < 1 || slot > kSlots) Raise(err::kSubscript);
    SlotContents c;
    c.map_name = MapName;
    c.level = Player.lv;
    c.bgm_name = BgmName;
    c.player = Player;
    c.flags = Flags;
    const std::string image = EncodeSlot(c);
    // Never write a slot that Load would refuse.
    SlotContents check;
    std::string why;
    if (!DecodeSlot(image, &check, &why) || !OnItsMap(check, &why)) {
      Fault f = Fault::Of(err::kInvalidCall);
      f.description += " (not saved: " + why + ")";
      throw f;
    }
    ReplaceFile(SlotPath(slot), image);
    // The summary follows the file: a save that didn't reach the disk leaves it as it was.
    SaveList(slot - 1) = SaveEntry{Player.lv, MapName};
    r = 0;
  });
  return r;
}

Byte Load(int slot) {
  Trap on("Load");
  SlotContents c;
  bool usable = false;
  // A slot number outside 1 to 9 has no file; its summary entry faults below.
  if (slot >= 1 && slot <= kSlots) usable = ReadSlot(slot, &c, [&](const Fault& f) { on.LogFault(f); });
  if (!usable) {
    on([] { Message(Word(Say::kLoadFailed)); });
    on([] { WinHide(win::kMessage); });
    on([&] { SaveList(slot - 1) = SaveEntry{}; });
    on([] { SaveListWrite(); });
    return 255;
  }
  // Only a slot checked whole replaces the game in progress.
  on([] { CloseBgm(); });
  MapName = std::move(c.map_name);
  BgmName = std::move(c.bgm_name);
  Player = c.player;
  Flags = c.flags;
  on([] { RecomputeSpeeds(); });
  return 0;
}

void ScanSaves() {
  RemoveStaleTemporaries(WritePath("save"));
  for (int n = 1; n <= kSlots; ++n) {
    SlotContents c;
    // The scan is part of Initialize; a bad slot file is logged under its name.
    if (ReadSlot(n, &c, [](const Fault& f) { LogError("Initialize", f); })) {
      SaveList(n - 1) = SaveEntry{c.level, c.map_name};
    } else {
      SaveList(n - 1) = SaveEntry{};
    }
  }
}

Byte SaveListWrite() {
  Trap on("Save");
  Byte r = 255;
  on([&] {
    ReplaceFile(ListPath(), EncodeList(SaveList));
    r = 0;
  });
  return r;
}

void ResetSaveState() {
  for (auto& s : SaveList) s = SaveEntry{};
}

}  // namespace ardo
