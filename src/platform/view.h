#pragma once

// Where the client area the library draws for (its logical size) lands in a window's real
// client area, which may be larger (a scaled window, fullscreen) or smaller.
namespace tu::platform {

// The picture in real pixels, and how it is scaled: by a whole factor (every logical pixel
// a factor x factor block), or, when not even factor 1 fits, smoothly (factor 0).
struct View {
  int x = 0, y = 0, w = 0, h = 0;
  int factor = 1;
};

// The largest whole factor that fits, centred with black bars around; else, or with `fill`
// always, the largest rectangle of the logical aspect, centred (factor 0, or the whole factor
// when that rectangle happens to be one). An empty area gives an empty view.
View FitView(int logicalWidth, int logicalHeight, int areaWidth, int areaHeight, bool fill = false);

// How the window's picture is fitted (FitView's `fill`): whole factors (the default) or the
// largest rectangle. The next present and mouse event follow it.
void SetFillView(bool on);
bool FillView();

// A real pixel position as a logical one (rounded down, so positions left of or above the
// picture stay negative), and a logical edge as a real one. `pos` and `size` are the view's
// along the same axis.
int RealToLogical(int real, int pos, int size, int logicalSize);
int LogicalToReal(int logical, int pos, int size, int logicalSize);

// The whole factor a window of width x height opens with: the largest whose window, with its
// frame (frameWidth across and frameHeight down: the borders and the title bar), fits the
// display's usable area (the screen less its panels); at least 1.
int OpeningFactor(int width, int height, int usableWidth, int usableHeight, int frameWidth,
                  int frameHeight);
// The frame taken for a window whose frame the system does not tell: a title bar and borders.
constexpr int kFrameAllowanceWidth = 16, kFrameAllowanceHeight = 48;

}  // namespace tu::platform
