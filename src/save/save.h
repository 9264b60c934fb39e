// Persistence: the nine save slots and their summaries.
#pragma once

#include <string>

#include "core/core.h"

namespace ardo {

struct SaveEntry {
  Byte level = 0;
  std::string name;
};
extern VbArray<SaveEntry, 0, 8> SaveList;

// 0 when the slot is on disk, 255 when it could not be written (the fault is logged,
// the slot file and SaveList are as they were).
Byte Save(int slot);
Byte Load(int slot);
// Fills SaveList from the slot files (part of Initialize), and clears away temporary
// files that an interrupted save left behind.
void ScanSaves();
// Writes the slot list file from SaveList; 0 when written, 255 when not (logged).
Byte SaveListWrite();

// Back to the start-up state: the slot list emptied.
void ResetSaveState();

}  // namespace ardo
