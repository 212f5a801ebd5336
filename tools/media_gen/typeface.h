// Typeface: FreeType glyph rendering into coverage masks, and text drawn onto a Canvas.
// One TrueType file, any pixel size; an optional horizontal squeeze narrows the letters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "canvas.h"

namespace media {

struct GlyphMask {
    int width = 0, height = 0;
    int left = 0;  // x of the mask's first column relative to the pen
    int top = 0;   // y of the mask's first row relative to the baseline (negative: above)
    double advance = 0;
    std::vector<float> cover;  // width x height, 0..1
};

class Typeface {
public:
    Typeface();
    ~Typeface();
    Typeface(const Typeface&) = delete;
    Typeface& operator=(const Typeface&) = delete;

    bool open(const std::string& path, std::string& error);

    GlyphMask glyph(uint32_t code, double pixel_size, double squeeze = 1.0) const;
    double text_width(const std::string& text, double pixel_size, double squeeze = 1.0) const;
    // Cap height of "H" in pixels, to centre labels vertically.
    double cap_height(double pixel_size) const;
    // Draw text with its baseline at y, starting at x; returns the pen x after the text.
    double draw(Canvas& canvas, const std::string& text, double x, double baseline, double pixel_size,
                const Rgba& colour, double squeeze = 1.0) const;
    // Same, centred horizontally on cx.
    void draw_centred(Canvas& canvas, const std::string& text, double cx, double baseline, double pixel_size,
                      const Rgba& colour, double squeeze = 1.0) const;

private:
    void* library_ = nullptr;  // FT_Library
    void* face_ = nullptr;     // FT_Face
};

}  // namespace media
