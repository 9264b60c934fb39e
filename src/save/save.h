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

Byte Save(int slot);
Byte Load(int slot);
// Fills SaveList from the slot files (part of Initialize).
void ScanSaves();
// Writes the slot list file from SaveList.
void SaveListWrite();

// Back to the start-up state: the slot list emptied.
void ResetSaveState();

}  // namespace ardo
