#pragma once
// Calls from the display's module up to the modules above it, registered by them at start-up.
namespace tu::draw {

// Run at the end of every successful tuDraw::Screen, once the back buffer, the sprite table and
// the fonts are ready: the frame loop starts sound, MIDI, joysticks and the cursor's clip there.
void SetDisplayUpHook(void (*hook)());

}  // namespace tu::draw
