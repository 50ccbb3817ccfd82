#pragma once
// Shared set-up for tests: the library in headless mode with the manual clock, a clean shell
// and display state, no recorded boxes and no injected keys.
#include <gtest/gtest.h>

#include <tu/tuDraw.h>
#include <tu/tuSound.h>
#include <tu/tuSystem.h>

#include "platform/clock.h"
#include "platform/dialog.h"
#include "platform/headless.h"
#include "platform/keyboard.h"
#include "platform/seams.h"
#include "platform/window.h"

namespace testing_support {

inline void ResetHeadless(uint32_t tick = 0) {
  tu::platform::SetHeadless(true);
  // What an earlier test set up is taken down first, so nothing carries over.
  tuSound::Release();
  tuDraw::Release();
  tu::platform::SetTick(tick);
  tu::platform::ClearMessages();
  tu::platform::ClearRecordedBoxes();
  tu::platform::SetEchoBoxes(false);
  tu::platform::SetQuestionAnswer(true);
  tu::platform::ClearInjectedKeys();
  tuSystem::Init();
  tuDraw::draw = tuDraw::DrawState{};
}

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetHeadless(); }
};

}  // namespace testing_support
