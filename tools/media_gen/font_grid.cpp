// Font grids: renders the printable ASCII characters into a 16 x 8 cell grid.
#include "font_grid.h"

#include <algorithm>
#include <cmath>

namespace media {

namespace {

constexpr int kColumns = 16;
constexpr int kRows = 8;
// Coverage below this is dropped, so faint edge pixels do not widen a letter's measured ink.
constexpr float kInkThreshold = 0.12f;
const Rgba kRim = rgb(6, 10, 24);

// Width of the columns a glyph inks at or above the threshold.
int ink_width(const GlyphMask& g) {
    int first = g.width, last = -1;
    for (int x = 0; x < g.width; ++x)
        for (int y = 0; y < g.height; ++y)
            if (g.cover[static_cast<size_t>(y) * g.width + x] >= kInkThreshold) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return last < 0 ? 0 : last - first + 1;
}

// The clock sets its numbers in fixed slots (a digit every 7 px, a colon in 5), so the digits
// get a common squeeze of their own that keeps each within figure_ink columns. The colon and
// "j" share it: the loader makes a space as wide as "j", and spaces sit inside the time text.
double figure_squeeze(const Typeface& face, const FontGridStyle& style) {
    double squeeze = style.squeeze;
    for (; squeeze > 0.4; squeeze -= 0.01) {
        int widest = 0;
        for (int c = '0'; c <= '9'; ++c)
            widest = std::max(widest, ink_width(face.glyph(static_cast<uint32_t>(c), style.pixel_size, squeeze)));
        if (widest <= style.figure_ink) break;
    }
    return squeeze;
}

}  // namespace

std::vector<uint8_t> make_font_grid(const Typeface& face, const FontGridStyle& style) {
    const int cell = style.cell;
    const int width = kColumns * cell, height = kRows * cell;
    std::vector<uint8_t> out(static_cast<size_t>(width) * height * 4, 0);
    const double figures = figure_squeeze(face, style);

    // Codes 0..32 and 127 stay empty: the loader gives the space the width of "j".
    for (int code = 33; code < 127; ++code) {
        const bool figure = (code >= '0' && code <= '9') || code == ':' || code == 'j';
        const GlyphMask g =
            face.glyph(static_cast<uint32_t>(code), style.pixel_size, figure ? figures : style.squeeze);
        if (g.cover.empty()) continue;

        // Glyph coverage inside its cell, the first inked column placed at x = 1 so the rim
        // above and below stays inside and the last column stays free for spacing.
        std::vector<float> cover(static_cast<size_t>(cell) * cell, 0.0f);
        int first = g.width, last = -1;
        for (int x = 0; x < g.width; ++x)
            for (int y = 0; y < g.height; ++y)
                if (g.cover[static_cast<size_t>(y) * g.width + x] >= kInkThreshold) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
        if (last < 0) continue;
        for (int y = 0; y < g.height; ++y)
            for (int x = first; x <= last; ++x) {
                const int cx = 1 + x - first, cy = style.baseline + g.top + y;
                if (cx < 0 || cx >= cell - 1 || cy < 1 || cy >= cell - 1) continue;
                const float v = g.cover[static_cast<size_t>(y) * g.width + x];
                if (v >= kInkThreshold) cover[static_cast<size_t>(cy) * cell + cx] = std::min(1.0f, v * 1.1f);
            }
        const int ink_first = 1, ink_last = std::min(cell - 2, 1 + last - first);

        const int col = code % kColumns, row = code / kColumns;
        // The cell's border rows and columns stay empty, so no ink reaches a neighbour.
        for (int y = 1; y < cell - 1; ++y)
            for (int x = ink_first; x <= ink_last; ++x) {
                const float gv = cover[static_cast<size_t>(y) * cell + x];
                // Dark rim: the neighbourhood's strongest coverage, kept within the inked columns.
                float rim = 0.0f;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= cell || ny >= cell) continue;
                        const float w = (dx != 0 && dy != 0) ? 0.6f : 1.0f;
                        rim = std::max(rim, cover[static_cast<size_t>(ny) * cell + nx] * w);
                    }
                rim *= style.outline_alpha;
                const float a = gv + rim * (1 - gv);
                const int alpha8 = static_cast<int>(std::lround(a * 255));
                if (alpha8 <= 0) continue;
                const float k = rim * (1 - gv);
                const float r = (style.colour.r * gv + kRim.r * k) / a;
                const float gg = (style.colour.g * gv + kRim.g * k) / a;
                const float b = (style.colour.b * gv + kRim.b * k) / a;
                uint8_t* p = &out[((static_cast<size_t>(row) * cell + y) * width + col * cell + x) * 4];
                p[0] = static_cast<uint8_t>(std::lround(r * 255));
                p[1] = static_cast<uint8_t>(std::lround(gg * 255));
                p[2] = static_cast<uint8_t>(std::lround(b * 255));
                p[3] = static_cast<uint8_t>(alpha8);
            }
    }
    return out;
}

}  // namespace media
