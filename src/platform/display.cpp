#include "platform/display.h"

#include <SDL2/SDL.h>
#include <dirent.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/frametimes.h"
#include "platform/headless.h"
#include "platform/rows.h"
#include "platform/seams.h"
#include "platform/view.h"
#include "platform/window.h"

namespace tu::platform {
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

// Framebuffer backend: the rows last sent, so only rows that changed go out; a whole frame
// goes out after the window was exposed, resized or its framebuffer replaced.
ChangedRows rows;
SDL_Surface* shownOn = nullptr;
SDL_Rect shownAt{};  // where the picture went in the window's buffer
bool redrawAll = true;
bool displayChanged = false;
std::vector<SDL_Rect> changedBands;
SDL_Surface* backWrapper = nullptr;  // the back buffer as an SDL surface, for whole-frame copies
const void* wrappedPixels = nullptr;
PixelFormat wrappedFormat = PixelFormat::Rgb565;
int wrappedPitch = 0;
SDL_Surface* staging = nullptr;  // the frame at 32 bits, for smooth scaling

// Renderer backend: how the texture is filtered when it is scaled.
SDL_ScaleMode textureScaling = SDL_ScaleModeNearest;

// Pacing: whether the renderer's vsync really blocks is judged from how long presents take.
int vsyncSetting = -1;  // what was last asked of the renderer
double presentAverageMs = 0.0;
struct Pacer {
  int refreshHz = 60;                  // of the display the window is on
  SteadyClock::time_point deadline{};  // of the last frame paced
  SteadyClock::duration margin{};      // how early sleeps end, to spin the rest
  SteadyClock::duration spun{}, paced{};
};
Pacer pacer;

void OnEvent(const SDL_Event& e) {
  if (e.type == SDL_RENDER_TARGETS_RESET) primaryLost = true;
  if (e.type == SDL_RENDER_DEVICE_RESET) primaryLost = deviceReset = true;
  // A display connected, removed or changed, or the window moved to another one: its refresh
  // rate is read again and the whole frame goes out.
  if (e.type == SDL_DISPLAYEVENT) displayChanged = redrawAll = true;
  if (e.type == SDL_WINDOWEVENT) {
    switch (e.window.event) {
      case SDL_WINDOWEVENT_DISPLAY_CHANGED:
        displayChanged = redrawAll = true;
        break;
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

// A rectangle of the client area (the library's logical coordinates) in the drawable's
// pixels: the window's picture is scaled and centred in its real client area.
SDL_Rect ToDrawable(const PixelRect& dst, int drawableWidth, int drawableHeight) {
  int lw, lh;
  LogicalClientSize(&lw, &lh);
  View v = FitView(lw, lh, drawableWidth, drawableHeight, FillView());
  int left = LogicalToReal(dst.left, v.x, v.w, lw), right = LogicalToReal(dst.right, v.x, v.w, lw);
  int top = LogicalToReal(dst.top, v.y, v.h, lh), bottom = LogicalToReal(dst.bottom, v.y, v.h, lh);
  return {left, top, right - left, bottom - top};
}

// The whole factor that takes width x height to the size of `d`; 0 when there is none.
int WholeFactor(int width, int height, const SDL_Rect& d) {
  if (width <= 0 || height <= 0 || d.w % width != 0 || d.h % height != 0) return 0;
  int k = d.w / width;
  return k >= 1 && d.h / height == k ? k : 0;
}

bool MakeRenderer() {
  SDL_Window* w = MainSdlWindow();
  if (!w) return false;
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
  textureScaling = SDL_ScaleModeNearest;
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

// Whether GL might run on a GPU here: there is a DRI render node this user may open, and the
// GL library is not told to use its software rasterizer. Otherwise GL could only run on the
// CPU, and loading it to find that out would map tens of megabytes of driver and shader
// compiler for nothing.
bool GpuMayRunGl() {
  const char* software = std::getenv("LIBGL_ALWAYS_SOFTWARE");
  if (software && *software && std::strcmp(software, "0") != 0 &&
      strcasecmp(software, "false") != 0)
    return false;
  DIR* dri = opendir("/dev/dri");
  if (!dri) return false;
  bool renderNode = false;
  while (const dirent* e = readdir(dri)) {
    if (std::strncmp(e->d_name, "renderD", 7) != 0) continue;
    std::string node = std::string("/dev/dri/") + e->d_name;
    if (access(node.c_str(), R_OK | W_OK) == 0) renderNode = true;
  }
  closedir(dri);
  return renderNode;
}

// Chooses the backend: the framebuffer where no GPU can run GL, else the renderer unless its
// GL turns out to run on the CPU. TU_PRESENT=renderer or TU_PRESENT=framebuffer overrides the
// choice.
bool OpenBackend() {
  const char* forced = std::getenv("TU_PRESENT");
  bool wantRenderer = forced && std::strcmp(forced, "renderer") == 0;
  bool wantFramebuffer = forced && std::strcmp(forced, "framebuffer") == 0;
  if (!wantRenderer && !wantFramebuffer && !GpuMayRunGl()) wantFramebuffer = true;
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
  if (staging) SDL_FreeSurface(staging);
  backWrapper = staging = nullptr;
  wrappedPixels = nullptr;
  rows = ChangedRows{};
  changedBands = {};
  shownOn = nullptr;
  shownAt = {};
}

// How the window's buffer takes rows of `format` as they are or widened to 32 bits; false for
// other buffer formats.
bool RowTargetFor(const SDL_PixelFormat* sf, PixelFormat format, RowTarget* target) {
  const FormatInfo f = DescribeFormat(format);
  if (sf->BytesPerPixel * 8 == f.bitsPerPixel && sf->Rmask == f.redMask &&
      sf->Gmask == f.greenMask && sf->Bmask == f.blueMask) {
    *target = RowTarget::Same;
    return true;
  }
  if (sf->BytesPerPixel != 4 || sf->Gmask != 0xFF00) return false;
  if (sf->Rmask == 0xFF0000 && sf->Bmask == 0xFF) *target = RowTarget::Rgb32;
  else if (sf->Rmask == 0xFF && sf->Bmask == 0xFF0000) *target = RowTarget::Bgr32;
  else return false;
  return true;
}

// The whole frame through SDL, converted and scaled: window buffers of other formats,
// pictures that are not a whole multiple of the frame (smoothly where the buffer has 32
// bits), rectangles reaching outside the window.
CopyResult PresentWholeFrame(SDL_Window* w, SDL_Surface* screen, const uint8_t* origin, int pitch,
                             PixelFormat format, int width, int height, SDL_Rect d) {
  const int bytes = DescribeFormat(format).bitsPerPixel / 8;
  if (!backWrapper || wrappedPixels != origin || wrappedFormat != format ||
      wrappedPitch != pitch || backWrapper->w != width || backWrapper->h != height) {
    if (backWrapper) SDL_FreeSurface(backWrapper);
    backWrapper = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(origin), width, height,
                                                     bytes * 8, pitch, SdlPixelFormat(format));
    wrappedPixels = origin;
    wrappedFormat = format;
    wrappedPitch = pitch;
    if (!backWrapper) return CopyResult::Lost;
  }
  SDL_FillRect(screen, nullptr, 0);
  if (d.w == width && d.h == height) {
    SDL_BlitSurface(backWrapper, nullptr, screen, &d);
  } else {
    bool smooth = false;
    if (!WholeFactor(width, height, d) && screen->format->BytesPerPixel == 4) {
      if (!staging || staging->w != width || staging->h != height ||
          staging->format->format != screen->format->format) {
        if (staging) SDL_FreeSurface(staging);
        staging = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, screen->format->format);
      }
      smooth = staging && SDL_BlitSurface(backWrapper, nullptr, staging, nullptr) == 0 &&
               SDL_SoftStretchLinear(staging, nullptr, screen, &d) == 0;
    }
    if (!smooth) SDL_BlitScaled(backWrapper, nullptr, screen, &d);
  }
  SDL_UpdateWindowSurface(w);
  redrawAll = true;  // the row record no longer matches the screen
  return CopyResult::Ok;
}

// Copies `src` of the back buffer into the window's framebuffer and sends it to the screen.
// When the picture is a whole multiple of the frame, only the rows that changed since the
// last frame are widened and sent; else the whole frame. Allocates only when sizes change.
CopyResult PresentToFramebuffer(const uint8_t* pixels, int pitch, PixelFormat format,
                                const PixelRect& src, const PixelRect& dst) {
  SDL_Window* w = MainSdlWindow();
  SDL_Surface* screen = w ? SDL_GetWindowSurface(w) : nullptr;
  if (!screen) return CopyResult::Lost;
  const int width = src.right - src.left, height = src.bottom - src.top;
  const int bytes = DescribeFormat(format).bitsPerPixel / 8;
  const uint8_t* origin = pixels + static_cast<size_t>(src.top) * pitch + src.left * bytes;
  const SDL_Rect d = ToDrawable(dst, screen->w, screen->h);
  if (d.w <= 0 || d.h <= 0) return CopyResult::Ok;  // no client area to show it in
  if (screen != shownOn || d.x != shownAt.x || d.y != shownAt.y || d.w != shownAt.w ||
      d.h != shownAt.h) {
    shownOn = screen;
    shownAt = d;
    redrawAll = true;
  }
  const bool inside = d.x >= 0 && d.y >= 0 && d.x + d.w <= screen->w && d.y + d.h <= screen->h;
  const int factor = inside ? WholeFactor(width, height, d) : 0;
  RowTarget target;
  if (!factor || !RowTargetFor(screen->format, format, &target))
    return PresentWholeFrame(w, screen, origin, pitch, format, width, height, d);

  if (!rows.Matches(width, height, format)) {
    rows.Reset(width, height, format);
    changedBands.reserve(static_cast<size_t>(height));
  }
  if (redrawAll) rows.SendAll();
  if (SDL_MUSTLOCK(screen) && SDL_LockSurface(screen) != 0) return CopyResult::Lost;
  if (redrawAll) SDL_FillRect(screen, nullptr, 0);
  uint8_t* out = static_cast<uint8_t*>(screen->pixels) + static_cast<size_t>(d.y) * screen->pitch +
                 static_cast<size_t>(d.x) * screen->format->BytesPerPixel;
  const auto& bands = rows.Send(origin, pitch, out, screen->pitch, target, factor);
  if (SDL_MUSTLOCK(screen)) SDL_UnlockSurface(screen);
  if (redrawAll) {
    SDL_UpdateWindowSurface(w);
  } else if (!bands.empty()) {
    changedBands.clear();
    for (const ChangedRows::Band& b : bands) changedBands.push_back({d.x, d.y + b.top, d.w, b.rows});
    SDL_UpdateWindowSurfaceRects(w, changedBands.data(), static_cast<int>(changedBands.size()));
  }
  redrawAll = false;
  return CopyResult::Ok;
}

bool MakeTexture() {
  if (!renderer) return false;
  texture = SDL_CreateTexture(renderer, SdlPixelFormat(primaryFormat),
                              SDL_TEXTUREACCESS_STREAMING, primaryWidth, primaryHeight);
  if (texture) SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest);
  textureScaling = SDL_ScaleModeNearest;
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

// Sleeps until `deadline`: to just before it, by the usual lateness of a wake-up, and spins the
// rest while the spinning stays under 0.4 % of the time paced; else the sleep goes to the
// deadline itself.
void WaitUntil(SteadyClock::time_point deadline) {
  auto now = SteadyClock::now();
  if (deadline <= now) return;
  const bool spin = pacer.spun * 250 < pacer.paced;
  const auto wakeAt = spin ? deadline - pacer.margin : deadline;
  if (wakeAt > now) {
    std::this_thread::sleep_until(wakeAt);
    now = SteadyClock::now();
    // The margin follows the lateness of wake-ups, up to a tenth of a millisecond.
    auto late = std::min<SteadyClock::duration>(now - wakeAt, std::chrono::microseconds(100));
    pacer.margin += (late - pacer.margin) / 8;
  }
  if (!spin) return;
  const auto from = now;
  while (now < deadline) now = SteadyClock::now();
  pacer.spun += now - from;
}

// Holds frames to the display's refresh where presents return at once: each frame leaves at a
// deadline on the steady clock one interval after the last one's, whatever the frame cost. A
// frame more than an interval late starts the count again instead of hurrying the next ones.
// Where the renderer's vsync blocks for a good part of the interval, it does the pacing (the
// window's framebuffer has no vsync: a slow present there is a slow X server).
void Pace(bool wait, double presentMs) {
  if (!wait) return;
  const double interval = 1000.0 / pacer.refreshHz;
  presentAverageMs = presentAverageMs * 0.9 + presentMs * 0.1;
  auto now = SteadyClock::now();
  if (backend == Backend::Renderer && presentAverageMs > interval * 0.4) {
    pacer.deadline = now;
    return;
  }
  auto step = std::chrono::duration_cast<SteadyClock::duration>(
      std::chrono::duration<double, std::milli>(interval));
  if (pacer.deadline == SteadyClock::time_point{} || now - pacer.deadline > step)
    pacer.deadline = now;
  pacer.deadline += step;
  pacer.paced += step;
  WaitUntil(pacer.deadline);
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
  pacer = Pacer{};
  pacer.refreshHz = RefreshRate();
  presentAverageMs = 1000.0 / pacer.refreshHz;  // vsync is trusted until presents prove it away
  StartFrameRecord(std::getenv("TU_FRAMETIMES"), PresentPath(), pacer.refreshHz);
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
  FinishFrameRecord();
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
  if (displayChanged) {
    displayChanged = false;
    pacer.refreshHz = RefreshRate();
    pacer.deadline = {};
  }
  if (src.left < 0 || src.top < 0 || src.right > SurfaceWidth(back) ||
      src.bottom > SurfaceHeight(back) || src.left >= src.right || src.top >= src.bottom ||
      dst.left >= dst.right || dst.top >= dst.bottom)
    return CopyResult::Invalid;
  if (backend == Backend::None || keepFrames) KeepFrame(back, src, dst);
  ++presents;
  if (backend == Backend::None) {
    NotePresent();
    return CopyResult::Ok;
  }
  if (backend == Backend::Framebuffer) {
    int pitch = 0;
    auto* pixels = static_cast<const uint8_t*>(Lock(back, &pitch));
    if (!pixels) return CopyResult::Lost;
    auto before = SteadyClock::now();
    CopyResult r = PresentToFramebuffer(pixels, pitch, SurfaceFormat(back), src, dst);
    Unlock(back);
    if (r == CopyResult::Ok) NotePresent();
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
  int outputWidth = 0, outputHeight = 0;
  SDL_GetRendererOutputSize(renderer, &outputWidth, &outputHeight);
  SDL_Rect d = ToDrawable(dst, outputWidth, outputHeight);
  // Whole multiples keep hard pixels; other sizes are filtered rather than unevenly sampled.
  SDL_ScaleMode scaling = WholeFactor(s.w, s.h, d) ? SDL_ScaleModeNearest : SDL_ScaleModeLinear;
  if (scaling != textureScaling) {
    SDL_SetTextureScaleMode(texture, scaling);
    textureScaling = scaling;
  }
  SDL_RenderClear(renderer);
  SDL_RenderCopy(renderer, texture, &s, &d);
  auto before = SteadyClock::now();
  SDL_RenderPresent(renderer);
  NotePresent();
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

}  // namespace tu::platform
