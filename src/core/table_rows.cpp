// Row reading for the item and level tables.
#include "core/table_rows.h"

namespace ardo::items_internal {

bool RowReader::NextField(std::string* field, int* line) {
  if (has_pending_) {
    has_pending_ = false;
    *field = std::move(pending_);
    *line = pending_line_;
    return true;
  }
  if (!reader_.Next(field)) return false;
  *line = reader_.line();
  return true;
}

RowStatus RowReader::Read(int count, std::vector<std::string>* fields, int* line) {
  fields->clear();
  std::string f;
  int first = 0;
  if (!NextField(&f, &first)) return RowStatus::kEnd;
  *line = first;
  fields->push_back(std::move(f));
  while (static_cast<int>(fields->size()) < count) {
    int at = 0;
    if (!NextField(&f, &at)) return RowStatus::kShort;
    if (at != first) {
      // The field starts the next line: keep it for the next row.
      pending_ = std::move(f);
      pending_line_ = at;
      has_pending_ = true;
      return RowStatus::kShort;
    }
    fields->push_back(std::move(f));
  }
  int at = 0;
  if (NextField(&f, &at)) {
    if (at == first) {
      reader_.SkipLine();
      return RowStatus::kLong;
    }
    pending_ = std::move(f);
    pending_line_ = at;
    has_pending_ = true;
  }
  return RowStatus::kRow;
}

double NumberField(const std::string& field) {
  if (field.empty()) return 0;
  return ToNumber(field);
}

Fault AtLine(Fault fault, const std::string& file, int line) {
  fault.description += " (" + file + (line > 0 ? " line " + std::to_string(line) : "") + ")";
  return fault;
}

}  // namespace ardo::items_internal
