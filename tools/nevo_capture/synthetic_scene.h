// The analytic test scene the synthetic burst photographs.
//
// Radiance is a closed-form function of a continuous position, so a frame
// shifted by any sub-pixel amount is sampled exactly (no resampling of a
// bitmap). Edges are ramps one pixel wide (the pixel-area integral of a
// straight edge), which keeps point samples free of staircase aliasing.
//
// Layout in quarters of the frame (u = x / width, v = y / height):
//   top left      24 colour patches (a colour-checker layout, linear values)
//   top right     slanted black/white square (5 degrees) and a 24-spoke star
//   bottom left   log luminance ramp 0.002 .. 3.0 (clips at EV0) above a hue
//                 ramp at constant brightness
//   bottom right  chirped bars (period 24 .. 4 px), a diagonal grating, a
//                 bright lamp (radiance 3.0) and a deep shadow box (0.004)
// Radiance 1.0 is full scale of the green channel at EV0 in the lens centre.
#ifndef TOOLS_NEVO_CAPTURE_SYNTHETIC_SCENE_H_
#define TOOLS_NEVO_CAPTURE_SYNTHETIC_SCENE_H_

namespace nevo_capture {

struct Rgb {
  double r = 0.0;
  double g = 0.0;
  double b = 0.0;
};

// Owned by the caller; a value type that only remembers the frame size the
// layout is stretched to.
class SyntheticScene {
 public:
  SyntheticScene(int width, int height);

  // Linear radiance at the continuous position (x, y) in pixels; pixel
  // (i, j) covers [i, i + 1) x [j, j + 1), so its centre is (i + 0.5, j + 0.5).
  // Defined everywhere (positions outside the frame continue the layout).
  Rgb Radiance(double x, double y) const;

  // Radiance of one colour channel (0 red, 1 green, 2 blue).
  double Channel(double x, double y, int channel) const;

  // Positions of the regions tests rely on, in pixels (centre and half size).
  struct Box {
    double cx;
    double cy;
    double half_w;
    double half_h;
  };
  Box GreyPatch() const;    // neutral 5 of the colour chart (0.19)
  Box WhitePatch() const;   // white of the colour chart (0.88)
  Box LampBox() const;      // inside the bright lamp (3.0)
  Box ShadowBox() const;    // inside the deep shadow (0.004)

  static constexpr double kGreyRadiance = 0.19;
  static constexpr double kLampRadiance = 3.0;
  static constexpr double kShadowRadiance = 0.004;

 private:
  Rgb ColourChart(double x, double y) const;
  Rgb EdgeChart(double x, double y) const;
  Rgb Gradients(double x, double y) const;
  Rgb FineDetail(double x, double y) const;
  Box PatchBox(int col, int row) const;

  double w_;
  double h_;
};

}  // namespace nevo_capture

#endif  // TOOLS_NEVO_CAPTURE_SYNTHETIC_SCENE_H_
