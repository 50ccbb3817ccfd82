// draw_shapes_random: discs, rings and ellipses that a seeded random generator places; a box
// that follows the cursor turns red over any of them; a caption sized to fit its frame.
// Uses: tuDraw::FillCircle, Circle, Ellipse, FillEllipse, FrameRect, FillPolygon, MeasureText;
// tu::Random, tu::Overlaps.
// Keys: arrows move the box, Space scatters the shapes again; Escape ends.
#include <tu/random.h>
#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

namespace {

struct Shape {
  tu::Rect box;  // left, top, right, bottom; right and bottom exclusive
  uint32_t color;
};
Shape shapes[12];
tu::Random random(2024);  // the same seed scatters them the same way on every run
int boxX = 300, boxY = 200, keys[256], spaceKey = 0;

void Scatter() {
  for (Shape& s : shapes) {
    int x = random.Range(20, 560), y = random.Range(60, 400), r = random.Range(10, 40);
    s.box = {x, y, x + 2 * r + 1, y + 2 * r + 1 - random.Below(r)};
    s.color = 0x404040u | (random.Next() & 0xBFBFBFu);  // host colour values 0x00BBGGRR
  }
}

void Scene() {
  if (tuSystem::sys.sceneEntered) Scatter();
  tuSystem::GetKey(tu::kKeySpace, &spaceKey);
  if (spaceKey == tu::kKeyStatePressed) Scatter();
  const int arrows[] = {tu::kKeyLeft, tu::kKeyRight, tu::kKeyUp, tu::kKeyDown};
  for (int key : arrows) tuSystem::GetKey(key, &keys[key]);
  int step = int(200 * tuSystem::sys.frameSeconds) + 1;
  if (keys[tu::kKeyLeft] == tu::kKeyStateHeld) boxX -= step;
  if (keys[tu::kKeyRight] == tu::kKeyStateHeld) boxX += step;
  if (keys[tu::kKeyUp] == tu::kKeyStateHeld) boxY -= step;
  if (keys[tu::kKeyDown] == tu::kKeyStateHeld) boxY += step;
  const tu::Rect box{boxX, boxY, boxX + 60, boxY + 40};

  tuDraw::Clear();
  bool hit = false;
  for (int i = 0; i < 12; ++i) {
    const tu::Rect& b = shapes[i].box;
    if (i % 3 == 0) {
      tuDraw::FillEllipse(b.left, b.top, b.right, b.bottom, shapes[i].color);
    } else if (i % 3 == 1) {
      tuDraw::Ellipse(b.left, b.top, b.right, b.bottom, shapes[i].color, 3);  // a ring 3 wide
    } else {
      int r = (b.right - b.left) / 2;
      tuDraw::FillCircle(b.left + r, b.top + r, r, shapes[i].color);
      tuDraw::Circle(b.left + r, b.top + r, r, 0xFFFFFF, 1);
    }
    hit = hit || tu::Overlaps(box, b);  // the shapes' boxes, not their pixels
  }
  tuDraw::Point arrow[3] = {{box.left, box.top}, {box.left + 20, box.top},
                            {box.left, box.top + 20}};
  tuDraw::FillPolygon(arrow, 3, 0xFFFF00);
  tuDraw::FrameRect(box.left, box.top, box.right, box.bottom, hit ? 0x0000FF : 0x00FF00, 2);

  // A frame that fits its caption: the text is measured inside its scope, then framed after it.
  const char* caption = "Space scatters the shapes";
  int w = 0, h = 0;
  tuDraw::BeginText(tuDraw::kFaceGothic, 20, 0, tuDraw::kWeightNormal, 0, 0);
  tuDraw::SetTextColors(0xFFFFFF, 0, 1);
  tuDraw::MeasureText(caption, &w, &h);
  tuDraw::Text(320 - w / 2, 16, caption);
  tuDraw::EndText();
  tuDraw::FrameRect(320 - w / 2 - 6, 12, 320 + w / 2 + 6, 20 + h, 0x80FFFF, 1);
  tuDraw::Present();
}

void LoadAssets() {
  tuDraw::Screen(640, 480, tuDraw::kScreenVideoMemory);
  tuSystem::sys.sceneNo = 1;
}

}  // namespace

int main(int argc, char** argv) {
  tuSystem::Program program;
  program.title = "Shapes and random numbers";
  program.loadAssets = LoadAssets;
  program.scenes[1] = Scene;
  return tuSystem::Main(argc, argv, program);
}
