// Canvas: shape filling, compositing, blur and PNG output for the artwork generator.
#include "canvas.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace media {

namespace {

float clamp01(double v) { return static_cast<float>(std::min(1.0, std::max(0.0, v))); }

Rgba sample_stops(const std::vector<std::pair<float, Rgba>>& stops, double t) {
    if (stops.empty()) return {};
    if (t <= stops.front().first) return stops.front().second;
    for (size_t i = 1; i < stops.size(); ++i) {
        if (t <= stops[i].first) {
            const float span = stops[i].first - stops[i - 1].first;
            const float f = span > 0 ? static_cast<float>((t - stops[i - 1].first) / span) : 1.0f;
            return mix(stops[i - 1].second, stops[i].second, f);
        }
    }
    return stops.back().second;
}

double segment_distance(Vec2 p, Vec2 a, Vec2 b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0.0;
    t = std::min(1.0, std::max(0.0, t));
    const double ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y;
    return std::sqrt(ex * ex + ey * ey);
}

}  // namespace

Rgba rgb(int r, int g, int b, float a) { return {r / 255.0f, g / 255.0f, b / 255.0f, a}; }

Rgba mix(const Rgba& p, const Rgba& q, float t) {
    return {p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t, p.a + (q.a - p.a) * t};
}

Rgba with_alpha(Rgba c, float a) {
    c.a = a;
    return c;
}

Paint solid(Rgba c) {
    return [c](double, double) { return c; };
}

Paint linear_gradient(Vec2 from, Vec2 to, std::vector<std::pair<float, Rgba>> stops) {
    return [=](double x, double y) {
        const double dx = to.x - from.x, dy = to.y - from.y;
        const double len2 = dx * dx + dy * dy;
        const double t = len2 > 0 ? ((x - from.x) * dx + (y - from.y) * dy) / len2 : 0.0;
        return sample_stops(stops, t);
    };
}

Paint radial_gradient(Vec2 centre, double radius, std::vector<std::pair<float, Rgba>> stops) {
    return [=](double x, double y) {
        const double d = std::hypot(x - centre.x, y - centre.y);
        return sample_stops(stops, radius > 0 ? d / radius : 0.0);
    };
}

Shape circle(Vec2 c, double r) {
    return [=](double x, double y) { return std::hypot(x - c.x, y - c.y) - r; };
}

Shape ring(Vec2 c, double r, double half_width) {
    return [=](double x, double y) { return std::fabs(std::hypot(x - c.x, y - c.y) - r) - half_width; };
}

Shape capsule(Vec2 a, Vec2 b, double r) {
    return [=](double x, double y) { return segment_distance({x, y}, a, b) - r; };
}

Shape rounded_rect(double x0, double y0, double x1, double y1, double radius) {
    const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    const double hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
    return [=](double x, double y) {
        const double qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
        const double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
        return std::hypot(ox, oy) + std::min(std::max(qx, qy), 0.0) - radius;
    };
}

Shape polygon(std::vector<Vec2> pts) {
    return [pts](double x, double y) {
        double d = std::numeric_limits<double>::max();
        bool inside = false;
        for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
            const Vec2& a = pts[i];
            const Vec2& b = pts[j];
            d = std::min(d, segment_distance({x, y}, a, b));
            if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) inside = !inside;
        }
        return inside ? -d : d;
    };
}

Shape unite(Shape a, Shape b) {
    return [=](double x, double y) { return std::min(a(x, y), b(x, y)); };
}

Shape subtract(Shape a, Shape b) {
    return [=](double x, double y) { return std::max(a(x, y), -b(x, y)); };
}

Shape intersect(Shape a, Shape b) {
    return [=](double x, double y) { return std::max(a(x, y), b(x, y)); };
}

Shape grow(Shape s, double by) {
    return [=](double x, double y) { return s(x, y) - by; };
}

Vec2 turn(Vec2 p, Vec2 c, double degrees_clockwise) {
    const double a = degrees_clockwise * M_PI / 180.0;
    const double dx = p.x - c.x, dy = p.y - c.y;
    // With y pointing down, this rotation appears clockwise on screen.
    return {c.x + dx * std::cos(a) - dy * std::sin(a), c.y + dx * std::sin(a) + dy * std::cos(a)};
}

Canvas::Canvas(int width, int height) : w_(width), h_(height), px_(static_cast<size_t>(width) * height * 4, 0.0f) {}

void Canvas::fill(const Shape& shape, const Paint& paint, float opacity) {
    for (int y = 0; y < h_; ++y) {
        for (int x = 0; x < w_; ++x) {
            const double cx = x + 0.5, cy = y + 0.5;
            const float cover = clamp01(0.5 - shape(cx, cy)) * opacity;
            if (cover <= 0.0f) continue;
            const Rgba c = paint(cx, cy);
            const float a = clamp01(c.a * cover);
            float* p = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
            p[0] = c.r * a + p[0] * (1 - a);
            p[1] = c.g * a + p[1] * (1 - a);
            p[2] = c.b * a + p[2] * (1 - a);
            p[3] = a + p[3] * (1 - a);
        }
    }
}

void Canvas::draw(const Canvas& other, int ox, int oy, float opacity) {
    for (int y = 0; y < other.h_; ++y) {
        const int ty = y + oy;
        if (ty < 0 || ty >= h_) continue;
        for (int x = 0; x < other.w_; ++x) {
            const int tx = x + ox;
            if (tx < 0 || tx >= w_) continue;
            const float* s = &other.px_[(static_cast<size_t>(y) * other.w_ + x) * 4];
            float* d = &px_[(static_cast<size_t>(ty) * w_ + tx) * 4];
            const float k = 1 - s[3] * opacity;
            for (int i = 0; i < 4; ++i) d[i] = s[i] * opacity + d[i] * k;
        }
    }
}

void Canvas::draw_mask(const std::vector<float>& mask, int mw, int mh, int ox, int oy, const Rgba& c) {
    for (int y = 0; y < mh; ++y) {
        const int ty = y + oy;
        if (ty < 0 || ty >= h_) continue;
        for (int x = 0; x < mw; ++x) {
            const int tx = x + ox;
            if (tx < 0 || tx >= w_) continue;
            const float a = clamp01(mask[static_cast<size_t>(y) * mw + x] * c.a);
            if (a <= 0) continue;
            float* d = &px_[(static_cast<size_t>(ty) * w_ + tx) * 4];
            d[0] = c.r * a + d[0] * (1 - a);
            d[1] = c.g * a + d[1] * (1 - a);
            d[2] = c.b * a + d[2] * (1 - a);
            d[3] = a + d[3] * (1 - a);
        }
    }
}

void Canvas::blur(int radius) {
    if (radius <= 0) return;
    std::vector<float> tmp(px_.size());
    const float norm = 1.0f / (2 * radius + 1);
    for (int pass = 0; pass < 3; ++pass) {
        // Horizontal, then vertical; pixels beyond the edge count as transparent.
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x)
                for (int c = 0; c < 4; ++c) {
                    float sum = 0;
                    for (int k = -radius; k <= radius; ++k) {
                        const int sx = x + k;
                        if (sx >= 0 && sx < w_) sum += px_[(static_cast<size_t>(y) * w_ + sx) * 4 + c];
                    }
                    tmp[(static_cast<size_t>(y) * w_ + x) * 4 + c] = sum * norm;
                }
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x)
                for (int c = 0; c < 4; ++c) {
                    float sum = 0;
                    for (int k = -radius; k <= radius; ++k) {
                        const int sy = y + k;
                        if (sy >= 0 && sy < h_) sum += tmp[(static_cast<size_t>(sy) * w_ + x) * 4 + c];
                    }
                    px_[(static_cast<size_t>(y) * w_ + x) * 4 + c] = sum * norm;
                }
    }
}

Canvas Canvas::shadow(int dx, int dy, int radius, const Rgba& colour) const {
    Canvas out(w_, h_);
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x) {
            const int sx = x - dx, sy = y - dy;
            if (sx < 0 || sy < 0 || sx >= w_ || sy >= h_) continue;
            const float a = px_[(static_cast<size_t>(sy) * w_ + sx) * 4 + 3] * colour.a;
            float* d = &out.px_[(static_cast<size_t>(y) * w_ + x) * 4];
            d[0] = colour.r * a;
            d[1] = colour.g * a;
            d[2] = colour.b * a;
            d[3] = a;
        }
    out.blur(radius);
    return out;
}

Rgba Canvas::pixel(int x, int y) const {
    const float* p = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
    if (p[3] <= 0) return {};
    return {p[0] / p[3], p[1] / p[3], p[2] / p[3], p[3]};
}

void Canvas::set_pixel(int x, int y, const Rgba& c) {
    float* p = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
    p[0] = c.r * c.a;
    p[1] = c.g * c.a;
    p[2] = c.b * c.a;
    p[3] = c.a;
}

std::vector<uint8_t> Canvas::to_rgba8(bool bleed) const {
    const size_t n = static_cast<size_t>(w_) * h_;
    std::vector<uint8_t> out(n * 4, 0);
    std::vector<bool> known(n, false);
    auto to8 = [](float v) { return static_cast<uint8_t>(std::lround(std::min(1.0f, std::max(0.0f, v)) * 255.0f)); };
    for (size_t i = 0; i < n; ++i) {
        const float* p = &px_[i * 4];
        const uint8_t a = to8(p[3]);
        if (a == 0) continue;
        out[i * 4 + 0] = to8(p[0] / p[3]);
        out[i * 4 + 1] = to8(p[1] / p[3]);
        out[i * 4 + 2] = to8(p[2] / p[3]);
        out[i * 4 + 3] = a;
        known[i] = true;
    }
    if (!bleed) return out;
    // Spread visible colours outwards a few rings into the transparent area (alpha stays 0).
    for (int ringno = 0; ringno < 4; ++ringno) {
        std::vector<bool> next = known;
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x) {
                const size_t i = static_cast<size_t>(y) * w_ + x;
                if (known[i]) continue;
                int sum[3] = {0, 0, 0}, count = 0;
                for (int ny = y - 1; ny <= y + 1; ++ny)
                    for (int nx = x - 1; nx <= x + 1; ++nx) {
                        if (nx < 0 || ny < 0 || nx >= w_ || ny >= h_) continue;
                        const size_t j = static_cast<size_t>(ny) * w_ + nx;
                        if (!known[j]) continue;
                        for (int c = 0; c < 3; ++c) sum[c] += out[j * 4 + c];
                        ++count;
                    }
                if (count == 0) continue;
                for (int c = 0; c < 3; ++c) out[i * 4 + c] = static_cast<uint8_t>(sum[c] / count);
                next[i] = true;
            }
        known.swap(next);
    }
    return out;
}

bool write_png(const std::string& path, int width, int height, int channels,
               const std::vector<uint8_t>& data, std::string& error) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = "cannot create " + path;
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, nullptr);
        std::fclose(f);
        error = "libpng could not start";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        error = "libpng failed writing " + path;
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    const size_t stride = static_cast<size_t>(width) * channels;
    for (int y = 0; y < height; ++y) png_write_row(png, data.data() + stride * y);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(f) != 0) {
        error = "cannot finish " + path;
        return false;
    }
    return true;
}

}  // namespace media
