// ardo-mapc's inputs: a map source (compiled, then read back and written out as a
// source again, as `compile` and `decompile` do) and a binary map (`decompile`, `info`).
#include <stdexcept>

#include "fuzz/fuzz.h"
#include "mapsource.h"

ARDO_FUZZ_TARGET(mapc) {
  ardo::fuzz::Setup();
  namespace mapc = ardo::mapc;
  const std::string_view input = ardo::fuzz::Bytes(data, size);
  // Includes are looked up beside the source: in the empty scratch folder.
  const std::string path = ardo::fuzz::GameFolder() + "/fuzz.txt";
  try {
    const mapc::Map map = mapc::parse_source(path, input);
    const mapc::Map back = mapc::decode("fuzz.map", mapc::encode(map));
    (void)mapc::decompile(back, "fuzz");
    (void)mapc::marks_json(map);
  } catch (const std::exception&) {
    // ardo-mapc reports it and exits with status 1.
  }
  try {
    (void)mapc::decompile(mapc::decode("fuzz.map", input), "fuzz");
  } catch (const std::exception&) {
  }
  ardo::fuzz::EndInput();
  return 0;
}
