// A headless game for tests: the headless platform with its virtual clock, the
// built game folder (or a scratch folder), and all program-wide state reset.
// Every fault the code logs must be declared with ExpectFault (support/faults.h).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>

#include "core/core.h"
#include "field/field.h"
#include "game/program.h"
#include "platform/platform.h"
#include "support/faults.h"

namespace ardo::testing {

// Writes a map file: a W x H grid of the given cells, column by column after the
// 16-byte header (cut to truncate_to bytes when that is not 0).
inline void WriteMapFile(const std::string& path, int w, int h, const std::function<MapCell(int, int)>& cell,
                         size_t truncate_to = 0) {
  std::string bytes(16, '\0');
  bytes[0] = static_cast<char>(w);
  bytes[1] = static_cast<char>(h);
  for (int x = 0; x < w; ++x) {
    for (int y = 0; y < h; ++y) {
      const MapCell c = cell(x, y);
      bytes += static_cast<char>(c.tile);
      bytes += static_cast<char>(c.attr);
    }
  }
  if (truncate_to) bytes.resize(truncate_to);
  std::ofstream(path, std::ios::binary) << bytes;
}

class HeadlessGame : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    platform::PlatformOptions o;
    o.headless = true;
    platform_ = platform::CreatePlatform(o, &error);
    ASSERT_TRUE(platform_) << error;
    platform::SetPlatform(platform_.get());
    SetAppPath(ARDO_GAME_DIR);
    ResetAllState();
  }
  void TearDown() override {
    platform::SetPlatform(nullptr);
    if (!scratch_.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(scratch_, ec);
    }
  }

  platform::HeadlessControl& control() { return *platform_->headless(); }
  platform::RecordingAudio& audio() { return static_cast<platform::RecordingAudio&>(platform_->audio()); }
  std::uint32_t now() { return platform_->TimeGetTime(); }

  // Moves the game folder to a fresh scratch folder (for files the test writes).
  std::string UseScratchFolder() {
    scratch_ = (std::filesystem::temp_directory_path() /
                ("ardo-test-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name()))
                   .string();
    std::filesystem::remove_all(scratch_);
    std::filesystem::create_directories(scratch_);
    SetAppPath(scratch_);
    return scratch_;
  }

  std::unique_ptr<platform::Platform> platform_;
  std::string scratch_;
};

}  // namespace ardo::testing
