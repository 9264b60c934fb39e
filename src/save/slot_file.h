// Private to the save subsystem: the byte layout of the slot and list files, their
// checks, the CP932 text conversion and the write that never leaves a half-made file.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "core/core.h"
#include "save/save.h"

namespace ardo::save_internal {

// Record files: every value starts a 128-byte record of its own; record k at (k - 1) * 128.
constexpr std::size_t kRecordLength = 128;
// A slot: map name, level, music name, the hero, then one record per flag byte.
constexpr int kSlotRecords = 4 + 256;
constexpr std::size_t kSlotFileSize = kSlotRecords * kRecordLength;  // we pad the last record
// The smallest slot file that holds every value: the last record may stop after its byte.
constexpr std::size_t kSlotMinimumSize = (kSlotRecords - 1) * kRecordLength + 1;
// The hero's record packed without alignment gaps.
constexpr std::size_t kPlayerBytes = 49;
constexpr int kSlots = 9;

// Everything a slot holds.
struct SlotContents {
  std::string map_name;  // UTF-8
  Byte level = 0;        // the copy for the summary
  std::string bgm_name;  // UTF-8
  PlayerStatus player;
  VbArray<Byte, 0, 255> flags;
};

std::string SlotPath(int slot);  // save/N.vkd in the write folder
std::string ListPath();          // save/list

void PackPlayer(const PlayerStatus& p, unsigned char out[kPlayerBytes]);
PlayerStatus UnpackPlayer(const unsigned char in[kPlayerBytes]);

// The file image of a slot. Faults 5 for a name with no CP932 form, 59 for one that
// does not fit its record.
std::string EncodeSlot(const SlotContents& c);
// Reads a slot image and checks it is one the game could have written: long enough,
// string lengths inside their records, valid CP932, a level of at least 1 that agrees
// with the hero's, plain file names, a facing 0 to 3. False, with the reason, otherwise;
// *out is only written when the whole image is good.
bool DecodeSlot(std::string_view bytes, SlotContents* out, std::string* why);
// The list file image: record n + 1 holds entry n as its level byte and its name string.
std::string EncodeList(const VbArray<SaveEntry, 0, 8>& list);

enum class ReadResult { kOk, kMissing, kFailed };
// The first `limit` bytes of a file; anything but a plain file is refused (see ReadGameFile).
ReadResult ReadFile(const std::string& path, std::size_t limit, std::string* bytes, std::string* why);

// Replaces the file at path by bytes so that the path holds either its old contents or
// the new ones in full, whenever the program or the machine stops, and however many
// copies of the game write it at once: the bytes go to a temporary file of this write's
// own (created exclusively, "NAME.tmp.XXXXXX" in the same folder), are synced, renamed
// over the file, and the folder is synced. A missing folder is created. Faults (the old
// file untouched, no temporary file left) on failure.
void ReplaceFile(const std::string& path, std::string_view bytes);

// Deletes the temporary files of writes that never finished (older than a minute, so
// another copy of the game still writing keeps its own).
void RemoveStaleTemporaries(const std::string& folder);

// For tests: called when the temporary file is complete and on disk, just before it
// replaces the old file. Returning false abandons the write there, as if the program
// had died at that moment (the temporary file stays behind).
extern std::function<bool(const std::string& temp_path)> before_replace_hook;

}  // namespace ardo::save_internal
