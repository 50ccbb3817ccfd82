#pragma once
// Anti-aliased shapes: coverage is measured on a 4 x 4 grid of sub-samples per pixel.
#include <functional>
#include <vector>

#include "image.h"

namespace assetgen {

struct Pt {
  float x, y;
};

// Coverage 0..1 of pixel (x, y) by the region `in` (point in pixel coordinates).
float Coverage(int x, int y, const std::function<bool(float, float)>& in);
// Fills the region within the bounding box with colour `c`.
void FillRegion(Image& img, int l, int t, int r, int b, const std::function<bool(float, float)>& in,
                Col c, float alpha = 1.0f);
bool InPolygon(const std::vector<Pt>& poly, float x, float y);
void FillPolygon(Image& img, const std::vector<Pt>& poly, Col c, float alpha = 1.0f);
void FillCircle(Image& img, float cx, float cy, float r, Col c, float alpha = 1.0f);
void FillRing(Image& img, float cx, float cy, float r0, float r1, Col c, float alpha = 1.0f);
// Line of the given width between two points.
void DrawLine(Image& img, Pt a, Pt b, float width, Col c, float alpha = 1.0f);
// A regular star with `n` points.
std::vector<Pt> Star(float cx, float cy, float outer, float inner, int n, float rotDeg);

// A small deterministic pseudo-random source (the same numbers on every machine).
struct Rand {
  uint32_t s;
  explicit Rand(uint32_t seed) : s(seed ? seed : 1) {}
  uint32_t next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  }
  float unit() { return float(next() >> 8) / float(1 << 24); }  // [0, 1)
  float sym() { return unit() * 2.0f - 1.0f; }                   // [-1, 1)
};

// Smooth value noise in 0..1 on a lattice of `cell` pixels, seeded.
float ValueNoise(float x, float y, float cell, uint32_t seed);

}  // namespace assetgen
