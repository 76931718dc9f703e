#include "tools/nevo_capture/synthetic_scene.h"

#include <algorithm>
#include <cmath>

namespace nevo_capture {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Coverage of a one-pixel ramp: 0 well outside, 1 well inside, d is the
// signed distance (pixels) from the edge, positive inside.
inline double Cover(double d) { return std::clamp(0.5 + d, 0.0, 1.0); }

inline Rgb Grey(double v) { return {v, v, v}; }

inline Rgb Lerp(const Rgb& a, const Rgb& b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Linear-light values of a 24-patch colour checker, row by row.
constexpr Rgb kChart[24] = {
    {0.171, 0.093, 0.064}, {0.542, 0.300, 0.229}, {0.126, 0.196, 0.338}, {0.103, 0.150, 0.064},
    {0.240, 0.221, 0.432}, {0.135, 0.515, 0.411}, {0.669, 0.202, 0.027}, {0.085, 0.107, 0.393},
    {0.536, 0.087, 0.121}, {0.106, 0.043, 0.141}, {0.353, 0.503, 0.052}, {0.760, 0.362, 0.025},
    {0.034, 0.050, 0.285}, {0.072, 0.296, 0.074}, {0.456, 0.030, 0.042}, {0.846, 0.580, 0.010},
    {0.523, 0.084, 0.300}, {0.000, 0.233, 0.372}, {0.880, 0.880, 0.880}, {0.585, 0.585, 0.585},
    {0.358, 0.358, 0.358}, {0.190, 0.190, 0.190}, {0.088, 0.088, 0.088}, {0.031, 0.031, 0.031},
};
constexpr int kChartCols = 6;
constexpr int kChartRows = 4;
constexpr int kWhiteIndex = 18;
constexpr int kGreyIndex = 21;
constexpr double kChartBackground = 0.03;

// Fully saturated hue (0..1 around the circle) at unit value.
Rgb Hue(double h) {
  const double k = 6.0 * (h - std::floor(h));
  auto channel = [k](double n) {
    const double t = std::fmod(n + k, 6.0);
    return 1.0 - std::clamp(std::min(t, 4.0 - t), 0.0, 1.0);
  };
  return {channel(5.0), channel(3.0), channel(1.0)};
}

}  // namespace

SyntheticScene::SyntheticScene(int width, int height) : w_(width), h_(height) {}

Rgb SyntheticScene::Radiance(double x, double y) const {
  // Quadrant borders are ramps too, so the whole field is free of hard steps.
  const double ax = Cover(x - 0.5 * w_);
  const double ay = Cover(y - 0.5 * h_);
  auto quadrant = [&](bool right, bool bottom) {
    if (!bottom) return right ? EdgeChart(x, y) : ColourChart(x, y);
    return right ? FineDetail(x, y) : Gradients(x, y);
  };
  if ((ax == 0.0 || ax == 1.0) && (ay == 0.0 || ay == 1.0)) return quadrant(ax == 1.0, ay == 1.0);
  const Rgb top = Lerp(quadrant(false, false), quadrant(true, false), ax);
  const Rgb bottom = Lerp(quadrant(false, true), quadrant(true, true), ax);
  return Lerp(top, bottom, ay);
}

double SyntheticScene::Channel(double x, double y, int channel) const {
  const Rgb c = Radiance(x, y);
  return channel == 0 ? c.r : (channel == 1 ? c.g : c.b);
}

SyntheticScene::Box SyntheticScene::PatchBox(int col, int row) const {
  const double qw = 0.5 * w_;
  const double qh = 0.5 * h_;
  const double cell_w = qw * 0.92 / kChartCols;
  const double cell_h = qh * 0.92 / kChartRows;
  return {qw * 0.04 + (col + 0.5) * cell_w, qh * 0.04 + (row + 0.5) * cell_h, 0.4 * cell_w, 0.4 * cell_h};
}

Rgb SyntheticScene::ColourChart(double x, double y) const {
  const double qw = 0.5 * w_;
  const double qh = 0.5 * h_;
  const double cell_w = qw * 0.92 / kChartCols;
  const double cell_h = qh * 0.92 / kChartRows;
  const int col = std::clamp(static_cast<int>(std::floor((x - qw * 0.04) / cell_w)), 0, kChartCols - 1);
  const int row = std::clamp(static_cast<int>(std::floor((y - qh * 0.04) / cell_h)), 0, kChartRows - 1);
  const Box box = PatchBox(col, row);
  const double cover = Cover(box.half_w - std::fabs(x - box.cx)) * Cover(box.half_h - std::fabs(y - box.cy));
  return Lerp(Grey(kChartBackground), kChart[row * kChartCols + col], cover);
}

Rgb SyntheticScene::EdgeChart(double x, double y) const {
  const double size = std::min(0.25 * w_, 0.5 * h_);
  if (x < 0.75 * w_) {
    // Slanted square: its edges measure the spatial frequency response.
    const double cx = 0.625 * w_;
    const double cy = 0.25 * h_;
    const double half = 0.35 * size;
    const double angle = 5.0 * kPi / 180.0;
    const double dx = x - cx;
    const double dy = y - cy;
    const double rx = std::cos(angle) * dx + std::sin(angle) * dy;
    const double ry = -std::sin(angle) * dx + std::cos(angle) * dy;
    const double cover = Cover(half - std::fabs(rx)) * Cover(half - std::fabs(ry));
    return Grey(0.7 + (0.03 - 0.7) * cover);
  }
  // Siemens star: every orientation and, towards the centre, every frequency
  // up to the point where the spokes are blended into their mean.
  constexpr int kSpokes = 24;
  constexpr double kLo = 0.05;
  constexpr double kHi = 0.75;
  const double cx = 0.875 * w_;
  const double cy = 0.25 * h_;
  const double radius = 0.42 * size;
  const double dx = x - cx;
  const double dy = y - cy;
  const double r = std::sqrt(dx * dx + dy * dy);
  const double background = 0.35;
  if (r >= radius + 1.0) return Grey(background);
  const double theta = std::atan2(dy, dx);
  // Distance to the nearest spoke edge, in pixels along the arc.
  const double edge = r * std::sin(kSpokes * theta) / kSpokes;
  double v = kLo + (kHi - kLo) * Cover(edge);
  const double r_min = 3.0 * kSpokes / kPi;  // spokes narrower than 3 px
  if (r < r_min) v = 0.5 * (kLo + kHi) + (v - 0.5 * (kLo + kHi)) * (r / r_min);
  return Grey(background + (v - background) * Cover(radius - r));
}

Rgb SyntheticScene::Gradients(double x, double y) const {
  const double t = std::clamp(x / (0.5 * w_), 0.0, 1.0);
  if (y < 0.75 * h_) {
    // Log ramp over 10.5 stops: shadows below the noise floor to clipped
    // highlights, the range an HDR merge has to recover.
    return Grey(0.002 * std::pow(3.0 / 0.002, t));
  }
  const double saturation = std::clamp(1.0 - (y - 0.75 * h_) / (0.25 * h_), 0.0, 1.0);
  const Rgb hue = Hue(t);
  const double value = 0.4;
  return {value * (1.0 - saturation + saturation * hue.r), value * (1.0 - saturation + saturation * hue.g),
          value * (1.0 - saturation + saturation * hue.b)};
}

Rgb SyntheticScene::FineDetail(double x, double y) const {
  if (y < 0.75 * h_) {
    // Bars whose frequency rises linearly from 1/24 to 1/4 cycles per pixel.
    const double length = 0.5 * w_;
    const double px = std::clamp(x - 0.5 * w_, 0.0, length);
    const double f0 = 1.0 / 24.0;
    const double f1 = 1.0 / 4.0;
    const double phase = f0 * px + (f1 - f0) * px * px / (2.0 * length);
    return Grey(0.4 + 0.3 * std::sin(2.0 * kPi * phase));
  }
  if (x < 0.875 * w_) {
    const Box lamp = LampBox();
    const double radius = lamp.half_w / 0.6;
    const double r = std::hypot(x - lamp.cx, y - lamp.cy);
    const double grating = 0.3 + 0.2 * std::sin(2.0 * kPi * (x + y) / (6.0 * std::sqrt(2.0)));
    return Grey(grating + (kLampRadiance - grating) * Cover(radius - r));
  }
  const Box shadow = ShadowBox();
  const double half_w = shadow.half_w + 2.0;
  const double half_h = shadow.half_h + 2.0;
  const double cover = Cover(half_w - std::fabs(x - shadow.cx)) * Cover(half_h - std::fabs(y - shadow.cy));
  return Grey(0.1 + (kShadowRadiance - 0.1) * cover);
}

SyntheticScene::Box SyntheticScene::GreyPatch() const {
  Box b = PatchBox(kGreyIndex % kChartCols, kGreyIndex / kChartCols);
  b.half_w -= 2.0;
  b.half_h -= 2.0;
  return b;
}

SyntheticScene::Box SyntheticScene::WhitePatch() const {
  Box b = PatchBox(kWhiteIndex % kChartCols, kWhiteIndex / kChartCols);
  b.half_w -= 2.0;
  b.half_h -= 2.0;
  return b;
}

SyntheticScene::Box SyntheticScene::LampBox() const {
  const double radius = std::min(0.05 * w_, 0.08 * h_);
  return {0.8 * w_, 0.875 * h_, 0.6 * radius, 0.6 * radius};
}

SyntheticScene::Box SyntheticScene::ShadowBox() const {
  return {0.9375 * w_, 0.875 * h_, 0.04 * w_ - 2.0, 0.08 * h_ - 2.0};
}

}  // namespace nevo_capture
