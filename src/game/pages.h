#pragma once
#include <cstdint>

// The title menu's pages, run by the menu scene in place of its lists. Either player's confirm
// or anticlockwise key (a pad's south or east button) goes back to the title menu.
void RecordsPage();
void HowToPage();

// What both pages share: the background, the heading (a rectangle of the word sheet, centred
// at the top), the line that names the keys back, and those keys.
void PageFrame(int left, int top, int right, int bottom);
// One line of text in the pages' face, `size` pixels high, colour 0x00BBGGRR; align is one of
// tuDraw's kAlign values.
void PageText(int left, int top, int right, int bottom, const char* text, uint32_t color, int align, int size = 14);
// The name of a key as the pages show it ("Left", "X").
const char* PageKeyName(int vk);
