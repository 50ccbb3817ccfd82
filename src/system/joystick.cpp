#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "platform/joystick.h"

namespace tuSystem {

JoystickState joy;

namespace {

bool ValidId(int id) { return id == 0 || id == 1; }
bool ValidButton(int button) { return button >= 1 && button <= 4; }

bool Read(int id, tu::platform::JoyReading* r) { return ValidId(id) && tu::platform::ReadJoystick(id, r); }

// Low at or below half the centre, high at or above one and a half times it.
int Classify(uint32_t position, int center) {
  int p = static_cast<int>(position);
  if (p <= center / 2) return -1;
  if (p >= center + center / 2) return 1;
  return 0;
}

int AdvanceState(int state, bool held) {
  if (held)
    state = state == 0 ? 1 : 3;
  else
    state = (state == 1 || state == 3) ? 2 : 0;
  if (tuDraw::draw.fadeStep != 0 || tuDraw::draw.scrollViewOn || sys.keyCaptureMode) state = 0;
  return state;
}

float AdvanceHold(float t, bool held, float rate) {
  if (!held) return 0.0f;
  t += sys.frameSeconds * rate;
  return t >= 100.0f ? 100.0f : t;
}

float AdvanceAnalog(float v, int d, float s) {
  if (d != 0) {
    v += static_cast<float>(d) * s;
    if (v >= 100.0f) v = 100.0f;
    if (v <= -100.0f) v = -100.0f;
    return v;
  }
  // Back towards the centre without crossing it.
  if (v > 0.0f) {
    v -= s;
    if (v < 0.0f) v = 0.0f;
  }
  if (v < 0.0f) {
    v += s;
    if (v > 0.0f) v = 0.0f;
  }
  return v;
}

void Set4(int* a, int* b, int* c, int* d, const int v[4]) {
  if (a) *a = v[0];
  if (b) *b = v[1];
  if (c) *c = v[2];
  if (d) *d = v[3];
}

}  // namespace

void InitJoystick() {
  tu::platform::RescanJoysticks();
  CalibrateJoystick();
  for (auto& r : joy.records) r = JoystickRecord{};
}

void CalibrateJoystick() {
  for (int id = 0; id < 2; ++id) {
    tu::platform::JoyReading r;
    if (Read(id, &r)) {
      joy.centerX[id] = static_cast<int>(r.x);
      joy.centerY[id] = static_cast<int>(r.y);
    } else {
      joy.centerX[id] = joy.centerY[id] = 0;
    }
  }
}

void ResetJoystick() {
  for (auto& r : joy.records) {
    r.analogX = r.analogY = 0.0f;
    for (float& t : r.holdTime) t = 0.0f;
  }
}

void SetJoystickSpeed(int id, float analogSpeed, float holdRate) {
  if (!ValidId(id)) return;
  joy.records[id].analogSpeed = analogSpeed;
  joy.records[id].holdRate = holdRate;
}

void GetJoystickCenter(int id, int* x, int* y) {
  bool ok = ValidId(id);
  if (x) *x = ok ? joy.centerX[id] : 0;
  if (y) *y = ok ? joy.centerY[id] : 0;
}

void GetJoyPosition(int id, int* x, int* y) {
  tu::platform::JoyReading r;
  bool ok = Read(id, &r);
  if (x) *x = ok ? static_cast<int>(r.x) : 0;
  if (y) *y = ok ? static_cast<int>(r.y) : 0;
}

void GetJoyAxes(int id, int* x, int* y) {
  tu::platform::JoyReading r;
  bool ok = Read(id, &r);
  if (x) *x = ok ? Classify(r.x, joy.centerX[id]) : 0;
  if (y) *y = ok ? Classify(r.y, joy.centerY[id]) : 0;
}

int GetJoyDirection(int id) {
  tu::platform::JoyReading r;
  if (!Read(id, &r)) return 5;
  int dx = Classify(r.x, joy.centerX[id]);
  int dy = Classify(r.y, joy.centerY[id]);
  // Keypad layout: 7 8 9 on top (y low), 1 2 3 at the bottom.
  return 5 + dx - 3 * dy;
}

void GetJoyAnalog(int id, int* x, int* y) {
  tu::platform::JoyReading r;
  if (!Read(id, &r)) {
    if (x) *x = 0;
    if (y) *y = 0;
    return;
  }
  JoystickRecord& rec = joy.records[id];
  float s = rec.analogSpeed * sys.frameSeconds;
  rec.analogX = AdvanceAnalog(rec.analogX, Classify(r.x, joy.centerX[id]), s);
  rec.analogY = AdvanceAnalog(rec.analogY, Classify(r.y, joy.centerY[id]), s);
  if (x) *x = static_cast<int>(rec.analogX);
  if (y) *y = static_cast<int>(rec.analogY);
}

int JoyButton(int id, int button) {
  tu::platform::JoyReading r;
  if (button < 1 || button > 32 || !Read(id, &r)) return 0;
  return (r.buttons >> (button - 1)) & 1u;
}

void GetJoyButtons(int id, int* b1, int* b2, int* b3, int* b4) {
  tu::platform::JoyReading r;
  int v[4] = {};
  if (Read(id, &r))
    for (int i = 0; i < 4; ++i) v[i] = (r.buttons >> i) & 1u;
  Set4(b1, b2, b3, b4, v);
}

int GetJoyButton(int id, int button) {
  tu::platform::JoyReading r;
  if (!ValidButton(button) || !Read(id, &r)) return 0;
  int& state = joy.records[id].buttonState[button - 1];
  state = AdvanceState(state, (r.buttons >> (button - 1)) & 1u);
  return state;
}

void GetJoyButtonStates(int id, int* s1, int* s2, int* s3, int* s4) {
  tu::platform::JoyReading r;
  int v[4] = {};
  if (Read(id, &r)) {
    for (int i = 0; i < 4; ++i) {
      int& state = joy.records[id].buttonState[i];
      state = AdvanceState(state, (r.buttons >> i) & 1u);
      v[i] = state;
    }
  }
  Set4(s1, s2, s3, s4, v);
}

int GetJoyButtonTime(int id, int button) {
  if (!ValidId(id) || !ValidButton(button)) return 0;
  tu::platform::JoyReading r;
  bool held = Read(id, &r) && ((r.buttons >> (button - 1)) & 1u);
  JoystickRecord& rec = joy.records[id];
  float& t = rec.holdTime[button - 1];
  t = AdvanceHold(t, held, rec.holdRate);
  return static_cast<int>(t);
}

void GetJoyButtonTimes(int id, int* t1, int* t2, int* t3, int* t4) {
  tu::platform::JoyReading r;
  int v[4] = {};
  if (Read(id, &r)) {
    JoystickRecord& rec = joy.records[id];
    for (int i = 0; i < 4; ++i) {
      rec.holdTime[i] = AdvanceHold(rec.holdTime[i], (r.buttons >> i) & 1u, rec.holdRate);
      v[i] = static_cast<int>(rec.holdTime[i]);
    }
  }
  Set4(t1, t2, t3, t4, v);
}

}  // namespace tuSystem
