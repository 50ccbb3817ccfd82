// What every scene shares: the controls, the frame's beginning and end, captures, the user's
// files and small drawing helpers.
#include <cstdio>

#include "showcase.h"

namespace showcase {

Controls in;

namespace {

// Keys polled once a frame, each with the key state tuSystem::GetKey keeps for it.
const int kPolled[] = {tu::kKeyBackspace, tu::kKeyTab, tu::kKeyEnter, tu::kKeySpace, tu::kKeyLeft,
                       tu::kKeyUp,        tu::kKeyRight, tu::kKeyDown,  tu::kKeyX,     tu::kKeyZ,
                       tu::kKeyP,         tu::kKeyM,     tu::kKeyE,     tu::kKeyS};
int keyState[256];

bool captureAsked = false;
char notice[64];
float noticeSeconds = 0.0f;
char userFolder[256];
char userPath[512];
int best = 0;

// The next key state of a control, as tuSystem::GetKey advances a key's.
int Advance(int state, bool down) {
  if (down) return Held(state) ? tu::kKeyStateHeld : tu::kKeyStatePressed;
  return Held(state) ? tu::kKeyStateReleased : tu::kKeyStateUp;
}

bool FileSize(const char* path, long* size) {
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  bool ok = fseek(f, 0, SEEK_END) == 0;
  *size = ftell(f);
  fclose(f);
  return ok;
}

// Writes the back buffer, which still holds the frame as it was presented (fade overlay and
// scrolling view included), as the next free capture-NNN.bmp of the user's folder.
void WriteCapture() {
  if (!userFolder[0]) {
    tuSystem::Error("showcase", "no folder of your own to keep captures in", 0);
    return;
  }
  char name[32];
  for (int n = 1; n <= 999; ++n) {
    snprintf(name, sizeof name, "capture-%03d.bmp", n);
    long size = 0;
    if (!FileSize(UserFile(name), &size)) break;
  }
  const char* path = UserFile(name);
  long size = 0;
  // 640 x 480 at three bytes a pixel after the 58-byte header.
  if (tuDraw::SaveScreen(path, 640, 480) != 1 || !FileSize(path, &size) || size != 58 + 640 * 480 * 3) {
    tuSystem::Error("showcase", "the capture cannot be written", 0);
    return;
  }
  snprintf(notice, sizeof notice, "Saved %s", name);
  noticeSeconds = 2.0f;
}

void PollControls() {
  for (int vk : kPolled) tuSystem::GetKey(vk, &keyState[vk]);
  // A joystick plugged in after start-up has no centre yet: take it at its first reading.
  int cx = 0, cy = 0, x = 0, y = 0;
  tuSystem::GetJoystickCenter(0, &cx, &cy);
  tuSystem::GetJoyPosition(0, &x, &y);
  if (cx == 0 && cy == 0 && (x != 0 || y != 0)) tuSystem::CalibrateJoystick();
  int jx = 0, jy = 0, b1 = 0, b2 = 0, b3 = 0, b4 = 0;
  tuSystem::GetJoyAxes(0, &jx, &jy);
  tuSystem::GetJoyButtons(0, &b1, &b2, &b3, &b4);
  // Fades and the scrolling view hide the keyboard from polling; the joystick likewise.
  if (tuDraw::draw.fadeStep != 0 || tuDraw::draw.scrollViewOn) jx = jy = b1 = b2 = b3 = b4 = 0;
  in.left = Advance(in.left, Held(keyState[tu::kKeyLeft]) || jx < 0);
  in.right = Advance(in.right, Held(keyState[tu::kKeyRight]) || jx > 0);
  in.up = Advance(in.up, Held(keyState[tu::kKeyUp]) || jy < 0);
  in.down = Advance(in.down, Held(keyState[tu::kKeyDown]) || jy > 0);
  in.fire = Advance(in.fire, Held(keyState[tu::kKeyX]) || Held(keyState[tu::kKeySpace]) || b1);
  in.bomb = Advance(in.bomb, Held(keyState[tu::kKeyZ]) || b2);
  in.ok = Advance(in.ok, Held(keyState[tu::kKeyEnter]) || Held(keyState[tu::kKeyX]) || b1);
  in.back = Advance(in.back, Held(keyState[tu::kKeyBackspace]) || b2);
  in.next = Advance(in.next, Held(keyState[tu::kKeyTab]) || b3);
  // While the scrolling view is up its keys go to scrollKey instead.
  bool p = Held(keyState[tu::kKeyP]) || b4 ||
           (tuDraw::draw.scrollViewOn && tuSystem::sys.scrollKey == tu::kKeyP);
  in.capture = Advance(in.capture, p);
}

}  // namespace

int LetterState(char letter) { return keyState[static_cast<unsigned char>(letter)]; }
bool Pressed(int state) { return state == tu::kKeyStatePressed; }
bool Held(int state) { return state == tu::kKeyStatePressed || state == tu::kKeyStateHeld; }

void BeginFrame() {
  if (captureAsked) {
    captureAsked = false;
    WriteCapture();
  }
  PollControls();
  if (Pressed(in.capture)) captureAsked = true;
}

void EndFrame() {
  tuSystem::DrawFps();
  if (noticeSeconds > 0.0f) {
    noticeSeconds -= tuSystem::sys.frameSeconds;
    tuDraw::PrintAt(470, 464, notice);
  }
  // The streamed music is refilled here, every frame; a stream that cannot be refilled (its
  // pack went missing) was reported once and is stopped, so the report is not repeated.
  if (tuSound::snd.available && !tuSound::Streaming()) tuSound::Stop(sfx.music, tuSound::kAllChannels);
  tuDraw::Present();
}

void GoToScene(int scene) {
  tuDraw::SetFade(tuDraw::kFadeTile, 10);
  tuSystem::sys.nextSceneNo = scene;
  tuDraw::FadeOut();
}

const char* UserFile(const char* name) {
  if (!userFolder[0]) return nullptr;
  snprintf(userPath, sizeof userPath, "%s%s", userFolder, name);
  return userPath;
}

int BestScore() { return best; }

void KeepBestScore(int score) {
  if (score <= best) return;
  best = score;
  const char* path = UserFile("best-score.txt");
  if (!path) return;
  tuSystem::WriteNumber(path, best);
  // The setting file is skipped quietly when it cannot be written: look, and say so.
  if (tuSystem::ReadNumber(path) != best) tuSystem::Error("showcase", "the best score cannot be kept", 0);
}

void OpenUserFolder() {
  const char* folder = tuSystem::UserFolder("tu-showcase");  // reports its own failure
  snprintf(userFolder, sizeof userFolder, "%s", folder ? folder : "");
  const char* path = UserFile("best-score.txt");
  best = path ? tuSystem::ReadNumber(path) : 0;
}

uint32_t Color(int r, int g, int b) {
  return static_cast<uint32_t>(r) | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b) << 16;
}

int Pixel(int r, int g, int b) {
  const tuDraw::PixelFormatInfo& f = tuDraw::draw.pixelFormat;
  auto part = [](const tuDraw::Channel& c, int v) { return (static_cast<uint32_t>(v) * c.max / 255) << c.shift; };
  return static_cast<int>(part(f.red, r) | part(f.green, g) | part(f.blue, b));
}

void Label(int x, int y, int height, uint32_t color, const char* text) {
  tuDraw::BeginText(tuDraw::kFaceGothic, height, 0, tuDraw::kWeightNormal, 0, 0);
  tuDraw::SetTextColors(color, 0, 1);
  tuDraw::Text(x, y, text);
  tuDraw::EndText();
}

void Heading(const char* title, const char* keys) {
  tuDraw::Rect(0, 16, 640, 42, Color(24, 28, 60), Color(90, 100, 170), 1);
  Label(12, 19, 20, Color(255, 230, 160), title);
  tuDraw::Rect(0, 456, 640, 480, Color(16, 18, 36), Color(16, 18, 36), 1);
  Label(12, 460, 14, Color(180, 190, 220), keys);
}

void Frame(int left, int top, int right, int bottom, uint32_t color) {
  tuDraw::Line(left, top, right - 1, top, color, 1);
  tuDraw::Line(right - 1, top, right - 1, bottom - 1, color, 1);
  tuDraw::Line(right - 1, bottom - 1, left, bottom - 1, color, 1);
  tuDraw::Line(left, bottom - 1, left, top, color, 1);
}

namespace {
int sheet = 0;
}

void BeginSheet() {
  if (!sheet) sheet = tuDraw::CreateObject(640, 480, 2);
  tuDraw::Clear();
}

void EndSheet() {
  tuDraw::GrabScreen(sheet, 0, 0, 640, 480);
  tuDraw::Clear();
}

void DrawSheet(bool opaque) {
  if (!sheet) return;
  if (opaque)
    tuDraw::DrawOpaque(0, 0, sheet, 0, 0, 640, 480);
  else
    tuDraw::Draw(0, 0, sheet, 0, 0, 640, 480);
}

void FillCurtain() {
  if (!pic.curtain) {
    tuDraw::ClearObject(1);
    return;
  }
  for (int y = 0; y < 480; y += 64)
    for (int x = 0; x < 640; x += 64) tuDraw::DrawToOpaque(1, x, y, pic.curtain, 0, 0, 64, 64);
}

}  // namespace showcase
