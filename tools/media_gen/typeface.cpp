// Typeface: FreeType glyph rendering for the generated fonts and the artwork's labels.
#include "typeface.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>

namespace media {

namespace {

FT_Face as_face(void* p) { return static_cast<FT_Face>(p); }

void set_size(FT_Face face, double pixel_size, double squeeze) {
    FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(pixel_size * 64)), 72, 72);
    FT_Matrix m;
    m.xx = static_cast<FT_Fixed>(std::lround(squeeze * 0x10000));
    m.xy = 0;
    m.yx = 0;
    m.yy = 0x10000;
    FT_Set_Transform(face, &m, nullptr);
}

}  // namespace

Typeface::Typeface() = default;

Typeface::~Typeface() {
    if (face_) FT_Done_Face(as_face(face_));
    if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

bool Typeface::open(const std::string& path, std::string& error) {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) {
        error = "FreeType could not start";
        return false;
    }
    library_ = lib;
    FT_Face face = nullptr;
    if (FT_New_Face(lib, path.c_str(), 0, &face) != 0) {
        error = "cannot open the font " + path;
        return false;
    }
    face_ = face;
    return true;
}

GlyphMask Typeface::glyph(uint32_t code, double pixel_size, double squeeze) const {
    GlyphMask out;
    FT_Face face = as_face(face_);
    set_size(face, pixel_size, squeeze);
    // Light hinting snaps only vertically, which keeps the squeezed shapes even.
    if (FT_Load_Char(face, code, FT_LOAD_TARGET_LIGHT | FT_LOAD_RENDER) != 0) return out;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    out.width = static_cast<int>(bm.width);
    out.height = static_cast<int>(bm.rows);
    out.left = slot->bitmap_left;
    out.top = -slot->bitmap_top;
    out.advance = slot->advance.x / 64.0;
    out.cover.resize(static_cast<size_t>(out.width) * out.height);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            out.cover[static_cast<size_t>(y) * out.width + x] = bm.buffer[y * bm.pitch + x] / 255.0f;
    return out;
}

double Typeface::text_width(const std::string& text, double pixel_size, double squeeze) const {
    double w = 0;
    for (unsigned char c : text) w += glyph(c, pixel_size, squeeze).advance;
    return w;
}

double Typeface::cap_height(double pixel_size) const {
    const GlyphMask h = glyph('H', pixel_size);
    return h.height;
}

double Typeface::draw(Canvas& canvas, const std::string& text, double x, double baseline, double pixel_size,
                      const Rgba& colour, double squeeze) const {
    double pen = x;
    for (unsigned char c : text) {
        const GlyphMask g = glyph(c, pixel_size, squeeze);
        if (!g.cover.empty())
            canvas.draw_mask(g.cover, g.width, g.height, static_cast<int>(std::lround(pen)) + g.left,
                             static_cast<int>(std::lround(baseline)) + g.top, colour);
        pen += g.advance;
    }
    return pen;
}

void Typeface::draw_centred(Canvas& canvas, const std::string& text, double cx, double baseline, double pixel_size,
                            const Rgba& colour, double squeeze) const {
    const double w = text_width(text, pixel_size, squeeze);
    draw(canvas, text, std::round(cx - w / 2), baseline, pixel_size, colour, squeeze);
}

}  // namespace media
