#pragma once
// The device context of a surface: the surface stays locked while the context is held.
#include "platform/dc.h"
#include "platform/surface.h"

namespace tuDraw {

// Locks `surface` and binds `dc` to its pixels. False (and `dc` detached) when the surface is
// null or cannot be locked, as when it is lost: drawing through `dc` then has no effect.
bool GetSurfaceDC(platform::Surface* surface, platform::DeviceContext& dc);
void ReleaseSurfaceDC(platform::Surface* surface, platform::DeviceContext& dc);
// A locked surface's pixels as a target; false when it cannot be locked.
bool LockTarget(platform::Surface* surface, platform::PixelTarget* target);

}  // namespace tuDraw
