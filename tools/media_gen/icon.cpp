// The clock's desktop icon (see icon.h).
#include "icon.h"

#include <algorithm>
#include <cmath>

#include "artwork.h"

namespace media {

namespace {

// Premultiplied bilinear sample at a point in pixel units (pixel centres at +0.5).
Rgba sample(const Canvas& c, double x, double y) {
    const double fx = x - 0.5, fy = y - 0.5;
    const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
    const double tx = fx - x0, ty = fy - y0;
    Rgba sum;
    for (int j = 0; j < 2; ++j) {
        for (int i = 0; i < 2; ++i) {
            const int px = x0 + i, py = y0 + j;
            if (px < 0 || py < 0 || px >= c.width() || py >= c.height()) continue;
            const double w = (i ? tx : 1 - tx) * (j ? ty : 1 - ty);
            const Rgba p = c.pixel(px, py);
            sum.r += static_cast<float>(p.r * p.a * w);
            sum.g += static_cast<float>(p.g * p.a * w);
            sum.b += static_cast<float>(p.b * p.a * w);
            sum.a += static_cast<float>(p.a * w);
        }
    }
    return sum;
}

Rgba unpremultiplied(Rgba p) {
    if (p.a <= 0.0f) return Rgba{};
    return Rgba{std::min(1.0f, p.r / p.a), std::min(1.0f, p.g / p.a), std::min(1.0f, p.b / p.a),
                std::min(1.0f, p.a)};
}

}  // namespace

Canvas turned(const Canvas& source, double degrees_clockwise) {
    Canvas out(source.width(), source.height());
    const Vec2 centre{source.width() / 2.0, source.height() / 2.0};
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            // Where this pixel came from: turned back the other way.
            const Vec2 from = turn(Vec2{x + 0.5, y + 0.5}, centre, -degrees_clockwise);
            out.set_pixel(x, y, unpremultiplied(sample(source, from.x, from.y)));
        }
    }
    return out;
}

Canvas resampled(const Canvas& source, int size) {
    Canvas out(size, size);
    const double sx = static_cast<double>(source.width()) / size;
    const double sy = static_cast<double>(source.height()) / size;
    constexpr int kTaps = 4;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            Rgba sum;
            for (int j = 0; j < kTaps; ++j) {
                for (int i = 0; i < kTaps; ++i) {
                    const Rgba p = sample(source, (x + (i + 0.5) / kTaps) * sx, (y + (j + 0.5) / kTaps) * sy);
                    sum.r += p.r;
                    sum.g += p.g;
                    sum.b += p.b;
                    sum.a += p.a;
                }
            }
            const float n = kTaps * kTaps;
            out.set_pixel(x, y, unpremultiplied(Rgba{sum.r / n, sum.g / n, sum.b / n, sum.a / n}));
        }
    }
    return out;
}

Canvas clock_icon(int size) {
    Canvas face(200, 200);
    face.draw(day_sky(), 0, 0);
    // The sun stands at half past eight, clear of the hands, as on a late-morning face.
    face.draw(turned(sun_disc(), 255.0), 0, 0);
    face.draw(turned(hour_hand(), 305.0), 0, 0);    // 10 o'clock and 10 minutes
    face.draw(turned(minute_hand(), 60.0), 0, 0);   // 10 minutes
    face.draw(turned(second_hand(), 180.0), 0, 0);  // 30 seconds

    const Vec2 centre{100, 100};
    Canvas round(200, 200);
    round.fill(circle(centre, 97), [&face](double x, double y) {
        return face.pixel(std::clamp(static_cast<int>(x), 0, 199), std::clamp(static_cast<int>(y), 0, 199));
    });
    round.fill(ring(centre, 95.5, 3.5), linear_gradient({100, 0}, {100, 200}, {{0.0f, rgb(236, 240, 248)},
                                                                                {1.0f, rgb(120, 132, 156)}}));
    return size == 200 ? round : resampled(round, size);
}

}  // namespace media
