// Row reading for the game's tables. The data-file reader splits a file into
// fields; the tables want one row a line, so a line with too few fields must not eat
// the next line's fields. RowReader hands out whole lines of fields and reports short
// and over-long lines, so one bad row is logged and the rows after it still load.
#pragma once

#include <string>
#include <vector>

#include "core/core.h"

// Moved from items/: the enemy, encounter and dialogue tables read rows the same way;
// new code names them ardo::RowReader and ardo::RowStatus.
namespace ardo::items_internal {

enum class RowStatus {
  kRow,    // a line with exactly the fields asked for
  kShort,  // a line with fewer fields (the ones it had are in `fields`)
  kLong,   // a line with more fields (the first ones are in `fields`; the rest is skipped)
  kEnd,    // nothing left
};

class RowReader {
 public:
  explicit RowReader(FieldReader& reader) : reader_(reader) {}
  // The next non-empty line as `count` fields; `line` receives its line number.
  RowStatus Read(int count, std::vector<std::string>* fields, int* line);

 private:
  bool NextField(std::string* field, int* line);

  FieldReader& reader_;
  bool has_pending_ = false;
  std::string pending_;
  int pending_line_ = 0;
};

// A number field: an empty field is 0, as the old run-time's input read it;
// anything that is not a number is fault 13.
double NumberField(const std::string& field);

// The fault with "(file line N)" after its description, so the log says where.
Fault AtLine(Fault fault, const std::string& file, int line);

// Runs `parse`; a fault is logged under `on`'s name with the file and line and false returned.
template <class F>
bool ParseRow(const Trap& on, const std::string& file, int line, F&& parse) {
  try {
    parse();
    return true;
  } catch (const Fault& f) {
    on.LogFault(AtLine(f, file, line));
    return false;
  } catch (const std::exception& e) {
    on.LogFault(AtLine(FaultOf(e), file, line));
    return false;
  }
}

}  // namespace ardo::items_internal

namespace ardo {
using items_internal::RowReader;
using items_internal::RowStatus;
}  // namespace ardo
