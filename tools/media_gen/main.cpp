// orvela_media_gen: writes every picture and bitmap font of the clock into a folder.
//   orvela_media_gen OUTPUT_DIR [--bold FONT.ttf] [--regular FONT.ttf]
// Depends on FreeType (glyphs) and libpng (output). The output is the same on every run.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "artwork.h"
#include "canvas.h"
#include "font_grid.h"
#include "typeface.h"

namespace {

const char* const kDefaultBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
const char* const kDefaultRegular = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

void usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s OUTPUT_DIR [--bold FONT.ttf] [--regular FONT.ttf]\n"
                 "Writes the clock's images and bitmap fonts into OUTPUT_DIR (created if missing).\n"
                 "  --bold     face for the fonts and labels (default %s)\n"
                 "  --regular  face for the about box's small print (default %s; the bold face\n"
                 "             stands in when it is missing)\n",
                 program, kDefaultBold, kDefaultRegular);
}

struct Picture {
    const char* file;
    std::function<media::Canvas()> draw;
    bool opaque;  // backgrounds: written without alpha
};

// Each font is tuned for the rows the clock prints it in, at the positions the clock fixes
// (see font_grid.h for the fields). The editor's fonts (grey and yellow) carry a dark outline
// so that their rows read over the hands; to fit the same positions their letters and digits
// are narrower. The peak and low rows are spaced out to reach their "am"/"pm" (62 or 68 px).
struct FontFile {
    const char* file;
    media::Rgba colour;
    int figure_ink, one_ink, tracking, space;
    double squeeze;
    bool outline;
};

}  // namespace

int main(int argc, char** argv) {
    std::string out_dir, bold_path = kDefaultBold, regular_path = kDefaultRegular;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--bold" || arg == "--regular") && i + 1 < argc) {
            (arg == "--bold" ? bold_path : regular_path) = argv[++i];
        } else if (arg == "-h" || arg == "--help") {
            usage(argv[0]);
            return 0;
        } else if (!arg.empty() && arg[0] != '-' && out_dir.empty()) {
            out_dir = arg;
        } else {
            usage(argv[0]);
            return 2;
        }
    }
    if (out_dir.empty()) {
        usage(argv[0]);
        return 2;
    }

    std::string error;
    media::Typeface bold, regular;
    if (!bold.open(bold_path, error)) {
        std::fprintf(stderr, "error: %s\n", error.c_str());
        return 1;
    }
    const bool have_regular = regular.open(regular_path, error);
    const media::Faces faces{&bold, have_regular ? &regular : &bold};

    std::error_code ec;
    std::filesystem::create_directories(out_dir, ec);
    if (!std::filesystem::is_directory(out_dir)) {
        std::fprintf(stderr, "error: cannot create the folder %s\n", out_dir.c_str());
        return 1;
    }
    const std::filesystem::path dir(out_dir);
    int written = 0;
    auto save = [&](const char* file, int w, int h, int channels, const std::vector<uint8_t>& data) {
        if (!media::write_png((dir / file).string(), w, h, channels, data, error)) {
            std::fprintf(stderr, "error: %s\n", error.c_str());
            return false;
        }
        ++written;
        return true;
    };

    const Picture pictures[] = {
        {"OV_Popup.png", [&] { return media::popup_menu(faces); }, false},
        {"OV_Min.png", media::minute_hand, false},
        {"OV_Hr.png", media::hour_hand, false},
        {"OV_Moon.png", media::moon_disc, false},
        {"OV_Sun.png", media::sun_disc, false},
        {"OV_Quilo.png", media::cycle_badge_a, false},
        {"OV_Quilo1.png", media::cycle_badge_night, false},
        {"OV_Quilo2.png", media::cycle_badge_b, false},
        {"OV_Quilo3.png", media::cycle_badge_peak, false},
        {"OV_SDial.png", [&] { return media::peak_dial(faces); }, false},
        {"OV_Sec.png", media::second_hand, false},
        {"OV_About.png", [&] { return media::about_box(faces); }, false},
        {"OV_Back1.png", media::day_sky, true},
        {"OV_Back2.png", media::night_sky, true},
    };
    for (const Picture& p : pictures) {
        const media::Canvas c = p.draw();
        std::vector<uint8_t> rgba = c.to_rgba8(!p.opaque);
        if (p.opaque) {
            std::vector<uint8_t> rgb;
            rgb.reserve(rgba.size() / 4 * 3);
            for (size_t i = 0; i < rgba.size(); i += 4) rgb.insert(rgb.end(), {rgba[i], rgba[i + 1], rgba[i + 2]});
            if (!save(p.file, c.width(), c.height(), 3, rgb)) return 1;
        } else if (!save(p.file, c.width(), c.height(), 4, rgba)) {
            return 1;
        }
    }

    const FontFile fonts[] = {
        // file, colour, digit ink, "1" ink, tracking, space, letter squeeze, outline
        // grey: the time (x 135, "am"/"pm" at 172 or 176) and the editor's other rows
        {"Arial18BLtGray.png", media::rgb(208, 214, 226), 4, 3, 0, 3, 0.62, true},
        {"Arial18BLtGreen.png", media::rgb(156, 238, 156), 6, 0, 0, 0, 0.76, false},
        // light blue: the low row, and the bedtime row with its minutes 6 px apart
        {"Arial18BLtBlue.png", media::rgb(150, 206, 255), 5, 4, 1, 6, 0.76, false},
        // yellow: the wake row and the editor's middle row ("Awake" ends before x 88)
        {"Arial18BYellow.png", media::rgb(255, 222, 72), 4, 3, 0, 0, 0.55, true},
        {"Arial18BRed.png", media::rgb(255, 92, 80), 6, 0, 0, 0, 0.76, false},
        // green: the peak row
        {"Arial18BGreen.png", media::rgb(72, 220, 104), 6, 4, 1, 6, 0.76, false},
        {"Arial18BWhite.png", media::rgb(255, 255, 255), 6, 0, 0, 0, 0.76, false},
    };
    for (const FontFile& f : fonts) {
        media::FontGridStyle style;
        style.colour = f.colour;
        style.figure_ink = f.figure_ink;
        style.one_ink = f.one_ink;
        style.tracking = f.tracking;
        style.space = f.space;
        style.squeeze = f.squeeze;
        style.outline = f.outline;
        if (f.outline) style.outline_alpha = 0.9f;
        if (!save(f.file, 16 * style.cell, 8 * style.cell, 4, media::make_font_grid(bold, style))) return 1;
    }
    std::printf("wrote %d files to %s\n", written, out_dir.c_str());
    return 0;
}
