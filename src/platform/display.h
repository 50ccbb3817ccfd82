#pragma once
#include <cstdint>

#include "platform/surface.h"

// The primary surface: one rectangle of a back-buffer surface shown per frame in the main
// window, through a GPU renderer or the window's own framebuffer. A scalable window's picture
// is scaled to its real client area (platform/view.h). In headless mode the presented frame
// is kept in memory, where tests and tools read it (platform/seams.h).
namespace tu::platform {

// Opens the way to the main window (headless: nothing to open): the window's framebuffer where
// no GPU can run GL, else a renderer unless its GL runs on the CPU. False when neither works.
bool OpenDisplay();
// Creates the primary surface: a streaming texture of width x height in `format`.
bool CreatePrimary(int width, int height, PixelFormat format);
// Destroys texture and renderer.
void CloseDisplay();
bool DisplayOpen();

// Copies `src` of `back` into `dst` of the window's client area (client coordinates at the
// window's logical size), stretching when the sizes differ; the client area is then scaled to
// the real one: by whole factors with hard pixels, else smoothly. With `waitForVBlank` one frame is shown per display
// refresh: by the renderer's vsync where it blocks, else by holding each frame to a deadline
// one refresh interval after the last one's.
// Lost when the primary surface is lost (until RestorePrimary); Invalid for a bad rectangle.
CopyResult PresentFrame(Surface* back, const PixelRect& src, const PixelRect& dst,
                        bool waitForVBlank);

// Loss of the primary surface: renderer resets mark it; MarkAllSurfacesLost too.
bool PrimaryLost();
void MarkPrimaryLost();
// Clears the loss, recreating renderer and texture after a device reset.
void RestorePrimary();

// The display's refresh rate in hertz (60 when unknown or headless).
int RefreshRate();

}  // namespace tu::platform
