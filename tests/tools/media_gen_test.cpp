// Checks of the clock's media: the files the clock loads, the bitmap-font grids as the font
// loader measures them, where the turning pictures point, and the menu's item bands.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Picture {
    int w = 0, h = 0;
    std::vector<uint8_t> px;  // RGBA
    const uint8_t* at(int x, int y) const { return &px[(static_cast<size_t>(y) * w + x) * 4]; }
    int alpha(int x, int y) const { return at(x, y)[3]; }
};

bool load(const fs::path& path, Picture& p) {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) return false;
    img.format = PNG_FORMAT_RGBA;
    p.px.resize(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, p.px.data(), 0, nullptr)) return false;
    p.w = static_cast<int>(img.width);
    p.h = static_cast<int>(img.height);
    return true;
}

Picture media(const std::string& name) {
    Picture p;
    EXPECT_TRUE(load(fs::path(ORVELA_MEDIA_DIR) / name, p)) << name;
    return p;
}

const char* const kTurning[] = {"OV_Min.png",    "OV_Hr.png",     "OV_Moon.png",   "OV_Sun.png",
                                "OV_Quilo.png",  "OV_Quilo1.png", "OV_Quilo2.png", "OV_Quilo3.png",
                                "OV_SDial.png",  "OV_Sec.png",    "OV_Back1.png",  "OV_Back2.png"};
const char* const kFonts[] = {"Arial18BLtGray.png", "Arial18BLtGreen.png", "Arial18BLtBlue.png", "Arial18BYellow.png",
                              "Arial18BRed.png",    "Arial18BGreen.png",   "Arial18BWhite.png"};

// A font measured as the runtime's loader does: inked columns plus one pixel of spacing while
// that pixel is still inside the cell, an empty cell as wide as the cell, a space as wide as "j".
struct MeasuredFont {
    Picture pic;
    int cw = 0, ch = 0;
    int advance[128] = {};

    explicit MeasuredFont(const std::string& name) : pic(media(name)) {
        cw = pic.w / 16;
        ch = pic.h / 8;
        for (int c = 0; c < 128 && cw > 0; ++c) {
            int first = -1, last = -1;
            for (int x = 0; x < cw; ++x)
                for (int y = 0; y < ch; ++y)
                    if (pic.alpha((c % 16) * cw + x, (c / 16) * ch + y) > 0) {
                        if (first < 0) first = x;
                        last = x;
                    }
            const int ink = last - first + 1;
            advance[c] = first < 0 ? cw : ink + (first + ink < cw ? 1 : 0);
        }
        advance[' '] = advance['j'];
    }
    int width(const std::string& text) const {
        int w = 0;
        for (unsigned char c : text) w += advance[c % 128];
        return w;
    }
    bool cell_has_ink(int c) const {
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw; ++x)
                if (pic.alpha((c % 16) * cw + x, (c / 16) * ch + y) > 0) return true;
        return false;
    }
};

// Centre of mass of the visible pixels, and the visible pixel farthest from a point.
struct Ink {
    double cx = 0, cy = 0;
    double far_x = 0, far_y = 0, far_d = -1;
};

Ink ink_of(const Picture& p, double ox, double oy) {
    Ink ink;
    double total = 0;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            const int a = p.alpha(x, y);
            if (a < 128) continue;
            total += a;
            ink.cx += a * (x + 0.5);
            ink.cy += a * (y + 0.5);
            const double d = std::hypot(x + 0.5 - ox, y + 0.5 - oy);
            if (d > ink.far_d) ink = Ink{ink.cx, ink.cy, x + 0.5, y + 0.5, d};
        }
    if (total > 0) {
        ink.cx /= total;
        ink.cy /= total;
    }
    return ink;
}

}  // namespace

TEST(ClockMedia, TurningPicturesAreWindowSizedAndOverlaysFitTheWindow) {
    // Pictures drawn at (0, 0) or shifted straight up or down turn about their own centre,
    // which must be the face's centre (100, 100) of the 200 x 200 window.
    for (const char* name : kTurning) {
        const Picture p = media(name);
        EXPECT_EQ(p.w, 200) << name;
        EXPECT_EQ(p.h, 200) << name;
    }
    // Menu and about box are drawn at (10, 25); the menu spans the click area x 11..179,
    // y 26..159, and both stay inside the window.
    const Picture menu = media("OV_Popup.png");
    EXPECT_GE(10 + menu.w, 180);
    EXPECT_GE(25 + menu.h, 160);
    EXPECT_LE(10 + menu.w, 200);
    EXPECT_LE(25 + menu.h, 200);
    const Picture about = media("OV_About.png");
    EXPECT_GT(about.w, 0);
    EXPECT_LE(10 + about.w, 200);
    EXPECT_LE(25 + about.h, 200);
}

TEST(ClockMedia, FontGridsHold128CharactersInCleanCells) {
    for (const char* name : kFonts) {
        const MeasuredFont f(name);
        SCOPED_TRACE(name);
        ASSERT_GT(f.cw, 0);
        EXPECT_EQ(f.pic.w, 16 * f.cw);
        EXPECT_EQ(f.pic.h, 8 * f.ch);
        EXPECT_GE(f.pic.w, f.pic.h) << "a taller image would be read as 256 characters";
        for (int c = 0; c < 128; ++c) {
            const bool printable = c > ' ' && c < 127;
            EXPECT_EQ(f.cell_has_ink(c), printable) << "character " << c;
            // Nothing on a cell's border: no glyph reaches into its neighbour, and the last
            // column stays free so the loader adds its spacing pixel.
            const int x0 = (c % 16) * f.cw, y0 = (c / 16) * f.ch;
            for (int i = 0; i < f.cw; ++i) {
                EXPECT_EQ(f.pic.alpha(x0 + i, y0), 0) << "character " << c;
                EXPECT_EQ(f.pic.alpha(x0 + i, y0 + f.ch - 1), 0) << "character " << c;
            }
            for (int j = 0; j < f.ch; ++j) {
                EXPECT_EQ(f.pic.alpha(x0, y0 + j), 0) << "character " << c;
                EXPECT_EQ(f.pic.alpha(x0 + f.cw - 1, y0 + j), 0) << "character " << c;
            }
        }
    }
}

// One text printed at a fixed x: the columns it shows in (alpha above a trace; the spacing
// columns of alpha 1 that the loader counts are invisible).
struct Shown {
    int first = 0, last = -1;
    int inner_gap = 99;  // narrowest visible gap between two of its characters
};

Shown shown(const MeasuredFont& f, const std::string& text, int x) {
    Shown s;
    int pen = x, previous_last = -1000;
    s.first = 1 << 20;
    for (unsigned char c : text) {
        const int x0 = (c % 16) * f.cw;
        int first = -1, last = -1, lead = -1;
        for (int i = 0; i < f.cw; ++i)
            for (int j = 0; j < f.ch; ++j) {
                const int a = f.pic.alpha(x0 + i, (c / 16) * f.ch + j);
                if (a > 0 && lead < 0) lead = i;
                if (a > 24) {
                    if (first < 0) first = i;
                    last = i;
                }
            }
        if (first >= 0) {
            const int from = pen + first - lead, to = pen + last - lead;
            if (previous_last > -1000) s.inner_gap = std::min(s.inner_gap, from - previous_last - 1);
            s.first = std::min(s.first, from);
            s.last = std::max(s.last, to);
            previous_last = to;
        }
        pen += f.advance[c % 128];
    }
    return s;
}

// Texts of one row at the x positions the face fixes, left to right.
using Row = std::vector<std::pair<std::string, int>>;

// Visible gaps between the texts of a row; every character stays apart from its neighbours
// and the row ends inside the 200-pixel window.
std::vector<int> gaps(const MeasuredFont& f, const Row& row) {
    std::vector<int> out;
    int previous = -1000;
    for (const auto& [text, x] : row) {
        const Shown s = shown(f, text, x);
        EXPECT_GE(s.inner_gap, 1) << "'" << text << "' at " << x;
        EXPECT_LT(s.last, 200) << "'" << text << "' at " << x;
        if (previous > -1000) out.push_back(s.first - previous - 1);
        previous = s.last;
    }
    return out;
}

std::string two_digits(int m) { return (m <= 9 ? "0" : "") + std::to_string(m); }

// The rows of the face and the editor, with every hour and minute, as the clock places them.
TEST(ClockMedia, FontsReadCleanlyAtTheFacesFixedPositions) {
    const MeasuredFont gray("Arial18BLtGray.png"), blue("Arial18BLtBlue.png"), yellow("Arial18BYellow.png"),
        green("Arial18BGreen.png"), light_green("Arial18BLtGreen.png"), red("Arial18BRed.png");
    for (int hour = 1; hour <= 12; ++hour) {
        for (int minute = 0; minute < 60; ++minute) {
            const std::string h = std::to_string(hour), m = std::to_string(minute), mm = two_digits(minute);
            SCOPED_TRACE(h + ":" + mm);
            const std::string ap = hour % 2 ? "am" : "pm";
            const int ampm_x = hour <= 9 ? 172 : 176, label_ampm_x = hour <= 9 ? 62 : 68;
            // The time: "am"/"pm" clear of the minutes.
            EXPECT_GE(gaps(gray, {{h + " : " + mm, 135}, {ap, ampm_x}})[0], 3);
            // Peak and low rows: the label's "am"/"pm" neither touches nor drifts off.
            for (const auto& [font, label] : {std::pair{&green, "Pk: "}, std::pair{&blue, "Lo: "}}) {
                const int g = gaps(*font, {{label + h + ":" + mm, 5}, {ap, label_ampm_x}})[0];
                EXPECT_GE(g, 3) << label;
                EXPECT_LE(g, 10) << label;
            }
            // Wake (night) and bedtime rows, minutes below 10 as "0" and a digit.
            auto minutes = [&](int at, int digit_at) {
                return minute <= 9 ? Row{{"0", at}, {m, digit_at}} : Row{{m, at}};
            };
            Row wake = {{"Wake", 5}, {h, 45}, {":", 60}};
            for (const auto& part : minutes(65, 72)) wake.push_back(part);
            wake.push_back({ap, 81});
            for (int g : gaps(yellow, wake)) EXPECT_GE(g, 1) << "wake row";
            Row bed = {{"Bed", 5}, {h, 35}, {":", 50}};
            for (const auto& part : minutes(55, 61)) bed.push_back(part);
            bed.push_back({ap, 72});
            for (int g : gaps(blue, bed)) EXPECT_GE(g, 1) << "bedtime row";
            // The editor: the middle row in yellow, the rows above and below in grey.
            const int hour_x = hour <= 9 ? 96 : 90;
            Row middle = {{"Awake", 45}, {h, hour_x}, {":", 105}};
            for (const auto& part : minutes(112, 120)) middle.push_back(part);
            middle.push_back({ap, 135});
            for (int g : gaps(yellow, middle)) EXPECT_GE(g, 2) << "editor";
            Row other = {{h, hour_x}};
            for (const auto& part : minutes(112, 120)) other.push_back(part);
            other.push_back({ap, 135});
            for (int g : gaps(gray, other)) EXPECT_GE(g, 1) << "editor preview";
        }
    }
    gaps(light_green, {{"Ver. 4.8", 145}});
    for (int elapsed : {5, 99, 959}) EXPECT_GE(gaps(red, {{std::to_string(elapsed), 75}, {"mins", 105}})[0], 2);
}

TEST(ClockMedia, TurningPicturesPointAtTwelveAboutTheirCentre) {
    // Unturned, each hand lies on the vertical through the centre and reaches up.
    for (const char* name : {"OV_Hr.png", "OV_Min.png", "OV_Sec.png"}) {
        const Ink ink = ink_of(media(name), 100, 100);
        EXPECT_NEAR(ink.cx, 100, 1.0) << name;
        EXPECT_NEAR(ink.far_x, 100, 1.5) << name;
        EXPECT_LT(ink.far_y, 100 - 40) << name;
    }
    // Hour hand shorter than the minute hand, which is shorter than the second hand.
    EXPECT_LT(ink_of(media("OV_Hr.png"), 100, 100).far_d, ink_of(media("OV_Min.png"), 100, 100).far_d);
    EXPECT_LT(ink_of(media("OV_Min.png"), 100, 100).far_d, ink_of(media("OV_Sec.png"), 100, 100).far_d);
    // The sun is at 12 o'clock unturned (mid-day); the moon at 6 o'clock, so that half a turn,
    // the middle of the night, brings it to the top.
    const Ink sun = ink_of(media("OV_Sun.png"), 100, 100);
    EXPECT_NEAR(sun.cx, 100, 1.0);
    EXPECT_LT(sun.cy, 40);
    const Ink moon = ink_of(media("OV_Moon.png"), 100, 100);
    EXPECT_NEAR(moon.cx, 100, 1.0);
    EXPECT_GT(moon.cy, 160);
    // Badges sit on their turning centre and point up from it; the peak dial, drawn unturned,
    // is centred where the peak badge turns (55 px above the face's centre).
    for (const char* name : {"OV_Quilo.png", "OV_Quilo1.png", "OV_Quilo2.png", "OV_Quilo3.png"}) {
        const Ink ink = ink_of(media(name), 100, 100);
        EXPECT_NEAR(ink.cx, 100, 1.0) << name;
        EXPECT_NEAR(ink.far_x, 100, 1.5) << name;
        EXPECT_LT(ink.far_y, 100) << name;
        EXPECT_LT(ink.far_d, 30) << name;
    }
    const Ink dial = ink_of(media("OV_SDial.png"), 100, 45);
    EXPECT_NEAR(dial.cx, 100, 1.0);
    EXPECT_NEAR(dial.cy, 45, 1.0);
    EXPECT_LT(dial.far_d, 30);
}

TEST(ClockMedia, MenuLabelsLieInsideTheirClickBands) {
    const Picture menu = media("OV_Popup.png");
    // Rows holding bright label pixels, right of the icons; grouped into runs.
    std::vector<std::pair<int, int>> runs;
    for (int y = 0; y < menu.h; ++y) {
        bool lit = false;
        for (int x = 34; x < menu.w && !lit; ++x) {
            const uint8_t* p = menu.at(x, y);
            lit = p[3] > 200 && (p[0] + p[1] + p[2]) > 3 * 200;
        }
        if (!lit) continue;
        if (!runs.empty() && runs.back().second == y - 1)
            runs.back().second = y;
        else
            runs.push_back({y, y});
    }
    // Window rows of the bands: quit, wake time, test mode, hands, about.
    const int bands[5][2] = {{26, 54}, {55, 79}, {80, 109}, {110, 134}, {135, 159}};
    ASSERT_EQ(runs.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_GE(runs[i].first + 25, bands[i][0] + 2) << "item " << i;
        EXPECT_LE(runs[i].second + 25, bands[i][1] - 2) << "item " << i;
    }
}

#ifdef ORVELA_MEDIA_GEN
TEST(MediaGenerator, RemakesTheCommittedMediaAndRefusesBadArguments) {
    const fs::path out = fs::temp_directory_path() / ("orvela_media_gen_test." + std::to_string(getpid()));
    fs::remove_all(out);
    const std::string gen = ORVELA_MEDIA_GEN;
    ASSERT_EQ(std::system((gen + " '" + out.string() + "' > /dev/null").c_str()), 0);
    std::vector<std::string> made;
    for (const auto& e : fs::directory_iterator(out)) made.push_back(e.path().filename().string());
    EXPECT_EQ(made.size(), 21u);
    for (const std::string& name : made) {
        Picture fresh, committed;
        ASSERT_TRUE(load(out / name, fresh)) << name;
        ASSERT_TRUE(load(fs::path(ORVELA_MEDIA_DIR) / name, committed)) << name << " is not committed";
        EXPECT_EQ(fresh.w, committed.w) << name;
        EXPECT_EQ(fresh.h, committed.h) << name;
        EXPECT_TRUE(fresh.px == committed.px) << name << " differs from the generator's output";
    }
    fs::remove_all(out);
    EXPECT_NE(std::system((gen + " > /dev/null 2>&1").c_str()), 0);
    EXPECT_NE(std::system((gen + " a b > /dev/null 2>&1").c_str()), 0);
}
#endif
