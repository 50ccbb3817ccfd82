#include "raster.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

float Coverage(int x, int y, const std::function<bool(float, float)>& in) {
  int hits = 0;
  for (int sy = 0; sy < 4; ++sy)
    for (int sx = 0; sx < 4; ++sx)
      if (in(float(x) + (float(sx) + 0.5f) / 4.0f, float(y) + (float(sy) + 0.5f) / 4.0f)) ++hits;
  return float(hits) / 16.0f;
}

void FillRegion(Image& img, int l, int t, int r, int b, const std::function<bool(float, float)>& in,
                Col c, float alpha) {
  for (int y = std::max(t, 0); y < std::min(b, img.h); ++y)
    for (int x = std::max(l, 0); x < std::min(r, img.w); ++x) {
      float a = Coverage(x, y, in);
      if (a > 0) img.blend(x, y, c, a * alpha);
    }
}

bool InPolygon(const std::vector<Pt>& p, float x, float y) {
  bool in = false;
  for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
    if ((p[i].y > y) != (p[j].y > y) &&
        x < (p[j].x - p[i].x) * (y - p[i].y) / (p[j].y - p[i].y) + p[i].x)
      in = !in;
  }
  return in;
}

void FillPolygon(Image& img, const std::vector<Pt>& poly, Col c, float alpha) {
  float l = 1e9f, t = 1e9f, r = -1e9f, b = -1e9f;
  for (const Pt& p : poly) {
    l = std::min(l, p.x), t = std::min(t, p.y), r = std::max(r, p.x), b = std::max(b, p.y);
  }
  FillRegion(img, int(std::floor(l)), int(std::floor(t)), int(std::ceil(r)) + 1, int(std::ceil(b)) + 1,
             [&](float x, float y) { return InPolygon(poly, x, y); }, c, alpha);
}

void FillCircle(Image& img, float cx, float cy, float r, Col c, float alpha) {
  FillRing(img, cx, cy, -1.0f, r, c, alpha);
}

void FillRing(Image& img, float cx, float cy, float r0, float r1, Col c, float alpha) {
  float r0s = r0 < 0 ? -1.0f : r0 * r0, r1s = r1 * r1;
  FillRegion(img, int(cx - r1) - 1, int(cy - r1) - 1, int(cx + r1) + 2, int(cy + r1) + 2,
             [&](float x, float y) {
               float d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
               return d <= r1s && d >= r0s;
             },
             c, alpha);
}

void DrawLine(Image& img, Pt a, Pt b, float width, Col c, float alpha) {
  float dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy, hw = width / 2;
  int l = int(std::min(a.x, b.x) - hw) - 1, r = int(std::max(a.x, b.x) + hw) + 2;
  int t = int(std::min(a.y, b.y) - hw) - 1, bt = int(std::max(a.y, b.y) + hw) + 2;
  FillRegion(img, l, t, r, bt,
             [&](float x, float y) {
               float u = len2 > 0 ? ((x - a.x) * dx + (y - a.y) * dy) / len2 : 0.0f;
               u = std::clamp(u, 0.0f, 1.0f);
               float px = a.x + u * dx - x, py = a.y + u * dy - y;
               return px * px + py * py <= hw * hw;
             },
             c, alpha);
}

std::vector<Pt> Star(float cx, float cy, float outer, float inner, int n, float rotDeg) {
  std::vector<Pt> p;
  const float kPi = 3.14159265358979f;
  for (int i = 0; i < 2 * n; ++i) {
    float ang = (rotDeg - 90.0f) * kPi / 180.0f + float(i) * kPi / float(n);
    float rr = (i % 2) ? inner : outer;
    p.push_back({cx + rr * std::cos(ang), cy + rr * std::sin(ang)});
  }
  return p;
}

static float Hash01(int x, int y, uint32_t seed) {
  uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return float(h & 0xFFFFFF) / float(0xFFFFFF);
}

float ValueNoise(float x, float y, float cell, uint32_t seed) {
  float fx = x / cell, fy = y / cell;
  int ix = int(std::floor(fx)), iy = int(std::floor(fy));
  float tx = fx - float(ix), ty = fy - float(iy);
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  float a = Hash01(ix, iy, seed), b = Hash01(ix + 1, iy, seed);
  float c = Hash01(ix, iy + 1, seed), d = Hash01(ix + 1, iy + 1, seed);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

}  // namespace assetgen
