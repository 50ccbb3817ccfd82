#pragma once
// Headless mode: no window, no audio device, the manual clock, injected keys and
// recorded message boxes. Tests and tools switch it on before anything starts (SetHeadless in
// platform/seams.h).
namespace tu::platform {

bool Headless();

}  // namespace tu::platform
