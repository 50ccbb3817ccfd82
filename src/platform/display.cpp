#include "platform/display.h"

#include <SDL2/SDL.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/headless.h"
#include "platform/window.h"

namespace platform {
namespace {
using SteadyClock = std::chrono::steady_clock;

// Two ways to the screen. A GPU renderer with a streaming texture, where the GL driver runs on
// real hardware. Where it is a software rasterizer (a virtual X server, a machine without a
// GPU driver), the window's own framebuffer instead: the renderer would convert, rasterize
// and read back every pixel on the CPU, while the framebuffer takes the changed rows only.
enum class Backend { None, Renderer, Framebuffer };
Backend backend = Backend::None;
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

// Framebuffer backend: the rows last shown, to send only rows that changed; a whole frame goes
// out after the window was exposed, resized or its framebuffer replaced.
std::vector<uint8_t> shown;
int shownWidth = 0, shownHeight = 0;
PixelFormat shownFormat = PixelFormat::Rgb565;
SDL_Surface* shownOn = nullptr;
bool redrawAll = true;
std::vector<SDL_Rect> changedBands;
SDL_Surface* backWrapper = nullptr;  // the back buffer as an SDL surface, for scaled copies
const void* wrappedPixels = nullptr;
PixelFormat wrappedFormat = PixelFormat::Rgb565;
int wrappedPitch = 0;

// Pacing: whether the renderer's vsync really blocks is judged from how long presents take.
int vsyncSetting = -1;  // what was last asked of the renderer
double presentAverageMs = 0.0;
SteadyClock::time_point nextDeadline{};

void OnEvent(const SDL_Event& e) {
  if (e.type == SDL_RENDER_TARGETS_RESET) primaryLost = true;
  if (e.type == SDL_RENDER_DEVICE_RESET) primaryLost = deviceReset = true;
  if (e.type == SDL_WINDOWEVENT) {
    switch (e.window.event) {
      case SDL_WINDOWEVENT_EXPOSED:
      case SDL_WINDOWEVENT_SHOWN:
      case SDL_WINDOWEVENT_RESTORED:
      case SDL_WINDOWEVENT_SIZE_CHANGED:
        redrawAll = true;
        break;
      default: break;
    }
  }
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

// True when the renderer draws on the CPU: SDL's software renderer, or GL run by a software
// rasterizer.
bool RendersOnCpu(SDL_Renderer* r) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(r, &info) != 0 || !info.name) return true;
  if (std::strcmp(info.name, "software") == 0) return true;
  if (std::strncmp(info.name, "opengl", 6) != 0 || !SDL_GL_GetCurrentContext()) return false;
  using GetString = const unsigned char* (*)(unsigned);
  auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  const auto* name = getString ? reinterpret_cast<const char*>(getString(0x1F01)) : nullptr;
  if (!name) return false;  // GL_RENDERER unknown: trust the driver
  for (const char* word : {"llvmpipe", "softpipe", "Software Rasterizer", "SWR"})
    if (std::strstr(name, word)) return true;
  return false;
}

void DropRenderer() {
  if (texture) SDL_DestroyTexture(texture);
  if (renderer) SDL_DestroyRenderer(renderer);
  texture = nullptr;
  renderer = nullptr;
}

bool OpenFramebuffer() {
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");  // the window system's own buffer
  if (!SDL_GetWindowSurface(MainSdlWindow())) return false;
  redrawAll = true;
  return true;
}

// Chooses the backend. TU_PRESENT=renderer or TU_PRESENT=framebuffer overrides the choice.
bool OpenBackend() {
  const char* forced = std::getenv("TU_PRESENT");
  bool wantFramebuffer = forced && std::strcmp(forced, "framebuffer") == 0;
  bool wantRenderer = forced && std::strcmp(forced, "renderer") == 0;
  if (!wantFramebuffer) {
    if (MakeRenderer() && (wantRenderer || !RendersOnCpu(renderer))) {
      backend = Backend::Renderer;
      return true;
    }
    DropRenderer();
  }
  if (OpenFramebuffer()) {
    backend = Backend::Framebuffer;
    return true;
  }
  if (MakeRenderer()) {
    backend = Backend::Renderer;
    return true;
  }
  return false;
}

void ReleaseFramebufferState() {
  if (backWrapper) SDL_FreeSurface(backWrapper);
  backWrapper = nullptr;
  wrappedPixels = nullptr;
  shown.clear();
  shown.shrink_to_fit();
  shownWidth = shownHeight = 0;
  shownOn = nullptr;
}

// Copies `src` of the back buffer into the window's framebuffer and sends it to the screen:
// at the same size only the rows that changed since the last frame, else the whole frame,
// scaled. Allocates only when sizes change.
CopyResult PresentToFramebuffer(const uint8_t* pixels, int pitch, PixelFormat format,
                                const PixelRect& src, const PixelRect& dst) {
  SDL_Window* w = MainSdlWindow();
  SDL_Surface* screen = w ? SDL_GetWindowSurface(w) : nullptr;
  if (!screen) return CopyResult::Lost;
  const int width = src.right - src.left, height = src.bottom - src.top;
  const int bytes = DescribeFormat(format).bitsPerPixel / 8;
  const uint8_t* origin = pixels + static_cast<size_t>(src.top) * pitch + src.left * bytes;
  const SDL_PixelFormat* sf = screen->format;
  const bool rgb32 = sf->BytesPerPixel == 4 && sf->Gmask == 0xFF00 &&
                     ((sf->Rmask == 0xFF0000 && sf->Bmask == 0xFF) ||
                      (sf->Rmask == 0xFF && sf->Bmask == 0xFF0000));
  const bool sameFormat = sf->BytesPerPixel == bytes &&
                          DescribeFormat(format).redMask == sf->Rmask &&
                          DescribeFormat(format).greenMask == sf->Gmask &&
                          DescribeFormat(format).blueMask == sf->Bmask;
  const bool sameSize = dst.right - dst.left == width && dst.bottom - dst.top == height;
  const bool inside = dst.left >= 0 && dst.top >= 0 && dst.right <= screen->w &&
                      dst.bottom <= screen->h;
  if (screen != shownOn || width != shownWidth || height != shownHeight ||
      format != shownFormat) {
    shown.assign(static_cast<size_t>(width) * height * bytes, 0);
    shownOn = screen;
    shownWidth = width;
    shownHeight = height;
    shownFormat = format;
    changedBands.reserve(static_cast<size_t>(height));
    redrawAll = true;
  }

  if ((rgb32 || sameFormat) && sameSize && inside) {
    if (SDL_MUSTLOCK(screen) && SDL_LockSurface(screen) != 0) return CopyResult::Lost;
    const bool blueHigh = sf->Rmask == 0xFF;
    const size_t rowBytes = static_cast<size_t>(width) * bytes;
    if (redrawAll) SDL_FillRect(screen, nullptr, 0);
    changedBands.clear();
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = origin + static_cast<size_t>(y) * pitch;
      uint8_t* kept = shown.data() + y * rowBytes;
      if (!redrawAll && std::memcmp(row, kept, rowBytes) == 0) continue;
      std::memcpy(kept, row, rowBytes);
      uint8_t* out = static_cast<uint8_t*>(screen->pixels) +
                     static_cast<size_t>(dst.top + y) * screen->pitch +
                     static_cast<size_t>(dst.left) * sf->BytesPerPixel;
      if (sameFormat)
        std::memcpy(out, row, rowBytes);
      else
        RowToRgb32(format, row, reinterpret_cast<uint32_t*>(out), width, blueHigh);
      if (!changedBands.empty() && changedBands.back().y + changedBands.back().h == dst.top + y)
        ++changedBands.back().h;
      else
        changedBands.push_back({dst.left, dst.top + y, width, 1});
    }
    if (SDL_MUSTLOCK(screen)) SDL_UnlockSurface(screen);
    if (redrawAll) {
      SDL_UpdateWindowSurface(w);
    } else if (!changedBands.empty()) {
      SDL_UpdateWindowSurfaceRects(w, changedBands.data(), static_cast<int>(changedBands.size()));
    }
    redrawAll = false;
    return CopyResult::Ok;
  }

  // Other window formats, or a scaled copy: SDL converts and scales the whole frame.
  if (!backWrapper || wrappedPixels != pixels || wrappedFormat != format ||
      wrappedPitch != pitch || backWrapper->w != width || backWrapper->h != height) {
    if (backWrapper) SDL_FreeSurface(backWrapper);
    backWrapper = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(origin), width, height,
                                                     bytes * 8, pitch, SdlPixelFormat(format));
    wrappedPixels = pixels;
    wrappedFormat = format;
    wrappedPitch = pitch;
    if (!backWrapper) return CopyResult::Lost;
  }
  backWrapper->pixels = const_cast<uint8_t*>(origin);
  SDL_Rect d{dst.left, dst.top, dst.right - dst.left, dst.bottom - dst.top};
  SDL_FillRect(screen, nullptr, 0);
  if (sameSize)
    SDL_BlitSurface(backWrapper, nullptr, screen, &d);
  else
    SDL_BlitScaled(backWrapper, nullptr, screen, &d);
  SDL_UpdateWindowSurface(w);
  redrawAll = true;  // the row record no longer matches the screen
  return CopyResult::Ok;
}

bool MakeTexture() {
  if (!renderer) return false;
  texture = SDL_CreateTexture(renderer, SdlPixelFormat(primaryFormat),
                              SDL_TEXTUREACCESS_STREAMING, primaryWidth, primaryHeight);
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
  backend = Backend::None;
  if (!Headless() && MainSdlWindow()) {
    if (!OpenBackend()) return false;
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
  DropRenderer();
  ReleaseFramebufferState();
  backend = Backend::None;
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
  if (backend == Backend::None || keepFrames) KeepFrame(back, src, dst);
  ++presents;
  if (backend == Backend::None) return CopyResult::Ok;
  if (backend == Backend::Framebuffer) {
    int pitch = 0;
    auto* pixels = static_cast<const uint8_t*>(Lock(back, &pitch));
    if (!pixels) return CopyResult::Lost;
    auto before = SteadyClock::now();
    CopyResult r = PresentToFramebuffer(pixels, pitch, SurfaceFormat(back), src, dst);
    Unlock(back);
    double ms = std::chrono::duration<double, std::milli>(SteadyClock::now() - before).count();
    Pace(waitForVBlank, ms);
    return r;
  }

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
    DropRenderer();
    if (MakeRenderer() && primaryWidth > 0) MakeTexture();
  }
  redrawAll = true;
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

const char* PresentPath() {
  switch (backend) {
    case Backend::Renderer: return "renderer";
    case Backend::Framebuffer: return "framebuffer";
    case Backend::None: break;
  }
  return "none";
}

uint64_t PresentCount() { return presents; }
void KeepPresentedFrames(bool on) { keepFrames = on; }
void FailNextDisplayOpen() { failOpen = true; }
void FailNextPrimary() { failPrimary = true; }

}  // namespace platform
