#include "platform/display.h"

#include <SDL2/SDL.h>

#include <chrono>
#include <thread>

#include "platform/headless.h"
#include "platform/window.h"

namespace platform {
namespace {
using SteadyClock = std::chrono::steady_clock;

SDL_Renderer* renderer = nullptr;
SDL_Texture* texture = nullptr;
bool open = false;
bool primaryLost = false;
bool deviceReset = false;
bool keepFrames = false;
bool failOpen = false, failPrimary = false;
int primaryWidth = 0, primaryHeight = 0;
PixelFormat primaryFormat = PixelFormat::Rgb565;
Surface* frame = nullptr;
uint64_t presents = 0;

// Pacing: whether the renderer's vsync really blocks is judged from how long presents take.
int vsyncSetting = -1;  // what was last asked of the renderer
double presentAverageMs = 0.0;
SteadyClock::time_point nextDeadline{};

void OnEvent(const SDL_Event& e) {
  if (e.type == SDL_RENDER_TARGETS_RESET) primaryLost = true;
  if (e.type == SDL_RENDER_DEVICE_RESET) primaryLost = deviceReset = true;
}

Uint32 SdlFormat(PixelFormat f) {
  switch (f) {
    case PixelFormat::Rgb565: return SDL_PIXELFORMAT_RGB565;
    case PixelFormat::Rgb555: return SDL_PIXELFORMAT_RGB555;
    case PixelFormat::Xrgb8888: return SDL_PIXELFORMAT_RGB888;
  }
  return SDL_PIXELFORMAT_RGB565;
}

bool MakeRenderer() {
  SDL_Window* w = MainSdlWindow();
  if (!w) return false;
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");  // stretched presents keep hard pixels
  renderer = SDL_CreateRenderer(w, -1, SDL_RENDERER_ACCELERATED);
  if (!renderer) renderer = SDL_CreateRenderer(w, -1, SDL_RENDERER_SOFTWARE);
  vsyncSetting = -1;
  return renderer != nullptr;
}

bool MakeTexture() {
  if (!renderer) return false;
  texture = SDL_CreateTexture(renderer, SdlFormat(primaryFormat), SDL_TEXTUREACCESS_STREAMING,
                              primaryWidth, primaryHeight);
  return texture != nullptr;
}

void KeepFrame(Surface* back, const PixelRect& src, const PixelRect& dst) {
  int w = dst.right - dst.left, h = dst.bottom - dst.top;
  if (!frame || SurfaceWidth(frame) != w || SurfaceHeight(frame) != h ||
      SurfaceFormat(frame) != SurfaceFormat(back)) {
    FreeSurface(frame);
    frame = CreateSurface(w, h, SurfaceFormat(back), true);
    if (!frame) return;
  }
  StretchCopy(frame, {0, 0, w, h}, back, src, false);
}

void Pace(bool wait, double presentMs) {
  if (!wait) return;
  double interval = 1000.0 / RefreshRate();
  presentAverageMs = presentAverageMs * 0.9 + presentMs * 0.1;
  auto now = SteadyClock::now();
  // A present that blocks for a good part of the interval is the vsync doing the pacing.
  if (presentAverageMs > interval * 0.4) {
    nextDeadline = now;
    return;
  }
  auto step = std::chrono::duration_cast<SteadyClock::duration>(
      std::chrono::duration<double, std::milli>(interval));
  if (nextDeadline == SteadyClock::time_point{} || now - nextDeadline > step * 2)
    nextDeadline = now;  // start, or far behind: no catching up in a burst
  nextDeadline += step;
  if (nextDeadline > now) std::this_thread::sleep_until(nextDeadline);
}
}  // namespace

bool OpenDisplay() {
  CloseDisplay();
  if (failOpen) {
    failOpen = false;
    return false;
  }
  if (!Headless() && MainSdlWindow()) {
    if (!MakeRenderer()) return false;
    AddEventObserver(&OnEvent);
  }
  open = true;
  primaryLost = deviceReset = false;
  presents = 0;
  presentAverageMs = 1000.0 / RefreshRate();  // vsync is trusted until presents prove it away
  nextDeadline = {};
  return true;
}

bool CreatePrimary(int width, int height, PixelFormat format) {
  if (failPrimary) {
    failPrimary = false;
    return false;
  }
  if (!open || width <= 0 || height <= 0) return false;
  primaryWidth = width;
  primaryHeight = height;
  primaryFormat = format;
  if (texture) SDL_DestroyTexture(texture);
  texture = nullptr;
  if (renderer) return MakeTexture();
  return true;
}

void CloseDisplay() {
  if (texture) SDL_DestroyTexture(texture);
  if (renderer) SDL_DestroyRenderer(renderer);
  texture = nullptr;
  renderer = nullptr;
  FreeSurface(frame);
  frame = nullptr;
  open = false;
  primaryWidth = primaryHeight = 0;
}

bool DisplayOpen() { return open; }

CopyResult PresentFrame(Surface* back, const PixelRect& src, const PixelRect& dst,
                        bool waitForVBlank) {
  if (!open || !back) return CopyResult::Invalid;
  if (primaryLost || IsLost(back)) return CopyResult::Lost;
  if (src.left < 0 || src.top < 0 || src.right > SurfaceWidth(back) ||
      src.bottom > SurfaceHeight(back) || src.left >= src.right || src.top >= src.bottom ||
      dst.left >= dst.right || dst.top >= dst.bottom)
    return CopyResult::Invalid;
  if (!renderer || keepFrames) KeepFrame(back, src, dst);
  ++presents;
  if (!renderer) return CopyResult::Ok;

  if (!texture || src.right > primaryWidth || src.bottom > primaryHeight) return CopyResult::Invalid;
  int pitch = 0;
  auto* pixels = static_cast<const uint8_t*>(Lock(back, &pitch));
  if (!pixels) return CopyResult::Lost;
  int bytes = DescribeFormat(SurfaceFormat(back)).bitsPerPixel / 8;
  SDL_Rect s{src.left, src.top, src.right - src.left, src.bottom - src.top};
  SDL_UpdateTexture(texture, &s, pixels + static_cast<size_t>(src.top) * pitch + src.left * bytes,
                    pitch);
  Unlock(back);
  int want = waitForVBlank ? 1 : 0;
  if (want != vsyncSetting) {
    SDL_RenderSetVSync(renderer, want);
    vsyncSetting = want;
  }
  SDL_Rect d{dst.left, dst.top, dst.right - dst.left, dst.bottom - dst.top};
  SDL_RenderClear(renderer);
  SDL_RenderCopy(renderer, texture, &s, &d);
  auto before = SteadyClock::now();
  SDL_RenderPresent(renderer);
  double ms = std::chrono::duration<double, std::milli>(SteadyClock::now() - before).count();
  Pace(waitForVBlank, ms);
  return CopyResult::Ok;
}

bool PrimaryLost() { return primaryLost; }
void MarkPrimaryLost() { primaryLost = true; }

void RestorePrimary() {
  if (deviceReset && renderer) {
    if (texture) SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    texture = nullptr;
    renderer = nullptr;
    if (MakeRenderer() && primaryWidth > 0) MakeTexture();
  }
  primaryLost = deviceReset = false;
}

int RefreshRate() {
  SDL_Window* w = MainSdlWindow();
  if (!w || Headless()) return 60;
  SDL_DisplayMode mode;
  int index = SDL_GetWindowDisplayIndex(w);
  if (index < 0 || SDL_GetCurrentDisplayMode(index, &mode) != 0 || mode.refresh_rate <= 0)
    return 60;
  return mode.refresh_rate;
}

const Surface* LastPresentedFrame() { return frame; }

bool LastFrameRgb(std::vector<uint8_t>& rgb, int* width, int* height) {
  if (!frame) return false;
  int w = SurfaceWidth(frame), h = SurfaceHeight(frame);
  PixelFormat f = SurfaceFormat(frame);
  rgb.resize(static_cast<size_t>(w) * h * 3);
  size_t n = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t c = PixelToColorref(f, ReadPixel(frame, x, y));
      rgb[n++] = static_cast<uint8_t>(c);
      rgb[n++] = static_cast<uint8_t>(c >> 8);
      rgb[n++] = static_cast<uint8_t>(c >> 16);
    }
  if (width) *width = w;
  if (height) *height = h;
  return true;
}

uint64_t PresentCount() { return presents; }
void KeepPresentedFrames(bool on) { keepFrames = on; }
void FailNextDisplayOpen() { failOpen = true; }
void FailNextPrimary() { failPrimary = true; }

}  // namespace platform
