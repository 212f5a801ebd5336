// Canvas: a floating-point RGBA picture with anti-aliased shape filling, used to draw the
// clock's artwork. Shapes are signed-distance functions in pixel units; paints give a colour
// per pixel, so gradients and flat colours go through the same path.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace media {

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;  // straight (not premultiplied) alpha, all 0..1
};

Rgba rgb(int r, int g, int b, float a = 1.0f);
Rgba mix(const Rgba& p, const Rgba& q, float t);
Rgba with_alpha(Rgba c, float a);

struct Vec2 {
    double x = 0, y = 0;
};

// Signed distance (negative inside) from a point, in pixels.
using Shape = std::function<double(double x, double y)>;
// Colour of the paint at a point.
using Paint = std::function<Rgba(double x, double y)>;

Paint solid(Rgba c);
Paint linear_gradient(Vec2 from, Vec2 to, std::vector<std::pair<float, Rgba>> stops);
Paint radial_gradient(Vec2 centre, double radius, std::vector<std::pair<float, Rgba>> stops);

Shape circle(Vec2 c, double r);
Shape ring(Vec2 c, double r, double half_width);
Shape capsule(Vec2 a, Vec2 b, double r);  // segment with round ends
Shape rounded_rect(double x0, double y0, double x1, double y1, double radius);
Shape polygon(std::vector<Vec2> points);  // any simple polygon
Shape unite(Shape a, Shape b);
Shape subtract(Shape a, Shape b);
Shape intersect(Shape a, Shape b);
Shape grow(Shape s, double by);  // positive grows, negative shrinks

// Rotate a point about a centre, clockwise on screen (y points down) by degrees.
Vec2 turn(Vec2 p, Vec2 centre, double degrees_clockwise);

class Canvas {
public:
    Canvas(int width, int height);

    int width() const { return w_; }
    int height() const { return h_; }

    // Composite a shape filled with a paint over the picture; opacity scales the coverage.
    void fill(const Shape& shape, const Paint& paint, float opacity = 1.0f);
    // Composite another canvas of any size over this one with its top-left at (x, y).
    void draw(const Canvas& other, int x, int y, float opacity = 1.0f);
    // Composite a coverage mask (0..1 per pixel) tinted with a colour, top-left at (x, y).
    void draw_mask(const std::vector<float>& mask, int mw, int mh, int x, int y, const Rgba& colour);
    // Box-blur the alpha (and premultiplied colour) in place, about radius px, three passes.
    void blur(int radius);
    // A soft shadow of this canvas' alpha: a new canvas of the same size, offset and blurred.
    Canvas shadow(int dx, int dy, int radius, const Rgba& colour) const;

    Rgba pixel(int x, int y) const;  // straight alpha
    void set_pixel(int x, int y, const Rgba& c);

    // 8-bit straight-alpha RGBA, rows top to bottom. With bleed, fully transparent pixels take
    // the colour of nearby visible ones, so linear filtering does not darken the edges.
    std::vector<uint8_t> to_rgba8(bool bleed) const;

private:
    int w_, h_;
    std::vector<float> px_;  // premultiplied RGBA
};

// Write an 8-bit PNG; channels 3 (RGB) or 4 (RGBA). Returns false and fills error on failure.
bool write_png(const std::string& path, int width, int height, int channels,
               const std::vector<uint8_t>& data, std::string& error);

}  // namespace media
