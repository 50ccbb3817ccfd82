#pragma once
// The device context of a surface: the surface stays locked while the context is held.
#include "raster/dc.h"
#include "platform/surface.h"

namespace tu::draw {

// Locks `surface` and binds `dc` to its pixels. False (and `dc` detached) when the surface is
// null or cannot be locked, as when it is lost: drawing through `dc` then has no effect.
bool GetSurfaceDC(tu::platform::Surface* surface, tu::raster::DeviceContext& dc);
void ReleaseSurfaceDC(tu::platform::Surface* surface, tu::raster::DeviceContext& dc);
// A locked surface's pixels as a target; false when it cannot be locked.
bool LockTarget(tu::platform::Surface* surface, tu::raster::PixelTarget* target);

}  // namespace tu::draw

namespace tuDraw {
using tu::draw::GetSurfaceDC;
using tu::draw::LockTarget;
using tu::draw::ReleaseSurfaceDC;
}  // namespace tuDraw
