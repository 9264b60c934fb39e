// The fuzz targets: one small file per input the game or its tools read from disk.
// Each file defines its body with ARDO_FUZZ_TARGET(name). Built with clang and
// -DARDO_FUZZ=ON each file is a libFuzzer program of its own; in the test build every
// target links into one program (fuzz_replay) that runs each target over its corpus,
// corpus/<name>/ (see README.md).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ardo::fuzz {

using TargetFn = int (*)(const std::uint8_t* data, std::size_t size);

// Records a target for the replay; returns true (for a static initialiser).
bool Register(const char* name, TargetFn fn);
struct Target {
  std::string name;
  TargetFn fn;
};
const std::vector<Target>& Targets();

// Once per process: the headless platform and a fresh, empty game folder in /tmp.
void Setup();
// The game folder Setup made.
const std::string& GameFolder();
// Writes `bytes` to the game folder's `relative` file (its folder is made if missing).
void PutGameFile(const std::string& relative, std::string_view bytes);
// Ends one input (the headless platform's record of message boxes is kept bounded).
void EndInput();

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace ardo::fuzz

#ifdef ARDO_LIBFUZZER
#define ARDO_FUZZ_TARGET(name) extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
#else
#define ARDO_FUZZ_TARGET(name)                                                                         \
  static int FuzzOne_##name(const std::uint8_t* data, std::size_t size);                              \
  [[maybe_unused]] static const bool fuzz_registered_##name = ::ardo::fuzz::Register(#name, FuzzOne_##name); \
  static int FuzzOne_##name(const std::uint8_t* data, std::size_t size)
#endif
