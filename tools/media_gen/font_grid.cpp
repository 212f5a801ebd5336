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

// The clock sets its numbers in fixed slots (a digit every 6 to 8 px, a colon in 5), so the
// digits get a common squeeze of their own that keeps each within `ink` columns; "1", the
// colon and "j" may get narrower ones.
double figure_squeeze(const Typeface& face, const FontGridStyle& style, int ink, const char* codes) {
    double squeeze = style.squeeze;
    for (; squeeze > 0.3; squeeze -= 0.01) {
        int widest = 0;
        for (const char* c = codes; *c; ++c)
            widest = std::max(widest, ink_width(face.glyph(static_cast<uint32_t>(*c), style.pixel_size, squeeze)));
        if (widest <= ink) break;
    }
    return squeeze;
}

bool is_digit(int code) { return code >= '0' && code <= '9'; }

}  // namespace

std::vector<uint8_t> make_font_grid(const Typeface& face, const FontGridStyle& style) {
    const int cell = style.cell;
    const int width = kColumns * cell, height = kRows * cell;
    std::vector<uint8_t> out(static_cast<size_t>(width) * height * 4, 0);
    const double figures = figure_squeeze(face, style, style.figure_ink, "0123456789");
    const double one = style.one_ink > 0 ? figure_squeeze(face, style, style.one_ink, "1") : figures;
    // The colon keeps the digits' squeeze unless that leaves it wider than two columns.
    const double colon = std::min(figures, figure_squeeze(face, style, 2, ":"));
    // "j" sets the space: narrowed to fit inside it when a space width is asked for, and then
    // drawn without an outline so that a narrow space stays possible.
    const bool space_set = style.space > 1;
    const double j_squeeze = space_set ? figure_squeeze(face, style, style.space - 1, "j") : figures;

    // Codes 0..32 and 127 stay empty: the loader gives the space the width of "j".
    for (int code = 33; code < 127; ++code) {
        double squeeze = style.squeeze;
        if (is_digit(code)) squeeze = code == '1' ? one : figures;
        if (code == ':') squeeze = colon;
        if (code == 'j') squeeze = j_squeeze;
        const GlyphMask g = face.glyph(static_cast<uint32_t>(code), style.pixel_size, squeeze);
        if (g.cover.empty()) continue;
        const bool outline = style.outline && !(code == 'j' && space_set);
        const int pad = outline ? 1 : 0;

        // Glyph coverage inside its cell, after the cell's empty first column and the outline,
        // so the last column stays free for the loader's spacing pixel.
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
                const int cx = 1 + pad + x - first, cy = style.baseline + g.top + y;
                if (cx < 0 || cx >= cell - 1 || cy < 1 || cy >= cell - 1) continue;
                const float v = g.cover[static_cast<size_t>(y) * g.width + x];
                if (v >= kInkThreshold) cover[static_cast<size_t>(cy) * cell + cx] = std::min(1.0f, v * 1.1f);
            }
        // Columns the character shows in: its glyph and the outline around it.
        const int ink_first = 1, ink_last = std::min(cell - 2, 1 + last - first + 2 * pad);

        const int col = code % kColumns, row = code / kColumns;
        auto pixel = [&](int x, int y) {
            return &out[((static_cast<size_t>(row) * cell + y) * width + col * cell + x) * 4];
        };
        // The cell's border rows and columns stay empty, so no ink reaches a neighbour.
        for (int y = 1; y < cell - 1; ++y)
            for (int x = ink_first; x <= ink_last; ++x) {
                const float gv = cover[static_cast<size_t>(y) * cell + x];
                // Dark rim: the neighbourhood's strongest coverage (kept within the glyph's own
                // columns); an outline takes in the columns on either side too and is solid.
                float rim = 0.0f;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= cell || ny >= cell) continue;
                        const float w = (dx != 0 && dy != 0) ? (outline ? 0.7f : 0.6f) : 1.0f;
                        rim = std::max(rim, cover[static_cast<size_t>(ny) * cell + nx] * w);
                    }
                if (outline) rim = std::min(1.0f, rim * 1.5f);
                rim *= style.outline_alpha;
                const float a = gv + rim * (1 - gv);
                const int alpha8 = static_cast<int>(std::lround(a * 255));
                if (alpha8 <= 0) continue;
                const float k = rim * (1 - gv);
                const float r = (style.colour.r * gv + kRim.r * k) / a;
                const float gg = (style.colour.g * gv + kRim.g * k) / a;
                const float b = (style.colour.b * gv + kRim.b * k) / a;
                uint8_t* p = pixel(x, y);
                p[0] = static_cast<uint8_t>(std::lround(r * 255));
                p[1] = static_cast<uint8_t>(std::lround(gg * 255));
                p[2] = static_cast<uint8_t>(std::lround(b * 255));
                p[3] = static_cast<uint8_t>(alpha8);
            }

        // Blank columns the loader counts: the tracking after every character, and for "j"
        // the rest of the space's width.
        const int trail = code == 'j' && space_set ? std::max(0, style.space - 1 - ink_last) : style.tracking;
        for (int x = ink_last + 1; x <= std::min(cell - 2, ink_last + trail); ++x) {
            uint8_t* p = pixel(x, style.baseline);
            p[0] = static_cast<uint8_t>(std::lround(style.colour.r * 255));
            p[1] = static_cast<uint8_t>(std::lround(style.colour.g * 255));
            p[2] = static_cast<uint8_t>(std::lround(style.colour.b * 255));
            p[3] = 1;
        }
    }
    return out;
}

}  // namespace media
