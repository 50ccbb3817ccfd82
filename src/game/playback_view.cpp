// Watching a replay in the game's screen: pause, 2x and 4x, and back to the list.
#include <cstdio>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "game/model.h"
#include "game/pages.h"
#include "game/playback.h"
#include "game/settings.h"

namespace {
int speedBeforePause = 1;

bool Pressed(int action) { return tuSystem::IsKeyPressed(BoundKey(0, action)); }
}  // namespace

int PlaybackFrame(int due) {
  int speed = PlaybackSpeed();
  if (Pressed(kActTurnCcw) || (PlaybackFinished() && Pressed(kActTurnCw))) {
    LeavePlayback();
    return 0;
  }
  if (Pressed(kActPause)) {
    if (speed == 0) {
      speed = speedBeforePause;
    } else {
      speedBeforePause = speed;
      speed = 0;
    }
  }
  if (speed > 0 && Pressed(kActRight) && speed < 4) speed *= 2;
  if (speed > 1 && Pressed(kActLeft)) speed /= 2;
  SetPlaybackSpeed(speed);
  return PlaybackFinished() ? 0 : due * speed;
}

void DrawPlaybackBar() {
  char left[64], right[128];
  int speed = PlaybackSpeed();
  uint32_t colour = 0xC8D2F0;
  if (PlaybackFinished() && !PlaybackError().empty()) {
    snprintf(left, sizeof left, "%s", PlaybackError().c_str());
    colour = 0x5050F0;
  } else if (PlaybackFinished()) {
    snprintf(left, sizeof left, "REPLAY  END");
  } else if (speed == 0) {
    snprintf(left, sizeof left, "REPLAY  PAUSED");
  } else {
    snprintf(left, sizeof left, "REPLAY  %dx", speed);
  }
  PageText(8, 460, 320, 478, left, colour, tuDraw::kAlignLeft, 12);
  if (PlaybackFinished())
    snprintf(right, sizeof right, "%s / %s : back to the list", PageKeyName(BoundKey(0, kActTurnCw)),
             PageKeyName(BoundKey(0, kActTurnCcw)));
  else
    snprintf(right, sizeof right, "%s : pause   %s %s : speed   %s : back", PageKeyName(BoundKey(0, kActPause)),
             PageKeyName(BoundKey(0, kActLeft)), PageKeyName(BoundKey(0, kActRight)),
             PageKeyName(BoundKey(0, kActTurnCcw)));
  PageText(320, 460, 632, 478, right, 0xC8D2F0, tuDraw::kAlignRight, 12);
}
