// A headless game for tests: the headless platform with its virtual clock, the
// built game folder (or a scratch folder), and all program-wide state reset.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "core/core.h"
#include "platform/platform.h"

namespace ardo::testing {

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
