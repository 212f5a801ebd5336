// orvela_media_preview: composes a picture of the clock face from a media folder, the way the
// clock draws it, so the artwork can be judged together without running the clock.
//   orvela_media_preview MEDIA_DIR OUT.png HH:MM[:SS] [--wake HHMM] [--menu] [--about]
//                        [--editor] [--test] [--no-hands] [--zoom N]
// It measures the fonts as the runtime's loader does (inked columns plus one pixel, a space
// as wide as "j") and turns sprites about their centres, counter-clockwise for positive angles.
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "canvas.h"

namespace {

struct Image {
    int w = 0, h = 0;
    std::vector<float> px;  // straight RGBA 0..1
    const float* at(int x, int y) const { return &px[(static_cast<size_t>(y) * w + x) * 4]; }
};

bool read_png(const std::string& path, Image& img) {
    png_image pi;
    std::memset(&pi, 0, sizeof pi);
    pi.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&pi, path.c_str())) return false;
    pi.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> buf(PNG_IMAGE_SIZE(pi));
    if (!png_image_finish_read(&pi, nullptr, buf.data(), 0, nullptr)) return false;
    img.w = static_cast<int>(pi.width);
    img.h = static_cast<int>(pi.height);
    img.px.resize(buf.size());
    for (size_t i = 0; i < buf.size(); ++i) img.px[i] = buf[i] / 255.0f;
    return true;
}

struct Screen {
    Image img;
    Screen() {
        img.w = img.h = 200;
        img.px.assign(200 * 200 * 4, 0.0f);
    }
    void blend(int x, int y, const float* c) {
        if (x < 0 || y < 0 || x >= 200 || y >= 200) return;
        float* d = &img.px[(static_cast<size_t>(y) * 200 + x) * 4];
        for (int i = 0; i < 3; ++i) d[i] = c[i] * c[3] + d[i] * (1 - c[3]);
        d[3] = 1;
    }
};

// Bilinear sample with transparent surroundings, colours weighted by alpha.
void sample(const Image& s, double x, double y, float* out) {
    const double fx = x - 0.5, fy = y - 0.5;
    const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
    const double tx = fx - x0, ty = fy - y0;
    double acc[4] = {0, 0, 0, 0};
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i) {
            const int sx = x0 + i, sy = y0 + j;
            if (sx < 0 || sy < 0 || sx >= s.w || sy >= s.h) continue;
            const double wgt = (i ? tx : 1 - tx) * (j ? ty : 1 - ty);
            const float* p = s.at(sx, sy);
            for (int c = 0; c < 3; ++c) acc[c] += p[c] * p[3] * wgt;
            acc[3] += p[3] * wgt;
        }
    for (int c = 0; c < 3; ++c) out[c] = acc[3] > 0 ? static_cast<float>(acc[c] / acc[3]) : 0.0f;
    out[3] = static_cast<float>(acc[3]);
}

void draw_sprite(Screen& scr, const Image& s, int x, int y) {
    for (int j = 0; j < s.h; ++j)
        for (int i = 0; i < s.w; ++i) scr.blend(x + i, y + j, s.at(i, j));
}

void draw_sprite_rotated(Screen& scr, const Image& s, int x, int y, double angle) {
    const double px = x + s.w / 2, py = y + s.h / 2;
    const double a = angle * M_PI / 180.0, ca = std::cos(a), sa = std::sin(a);
    for (int dy = 0; dy < 200; ++dy)
        for (int dx = 0; dx < 200; ++dx) {
            const double ex = dx + 0.5 - px, ey = dy + 0.5 - py;
            // Undo a counter-clockwise turn on a y-down screen.
            const double sx = ex * ca - ey * sa, sy = ex * sa + ey * ca;
            float c[4];
            sample(s, sx + s.w / 2.0, sy + s.h / 2.0, c);
            if (c[3] > 0) scr.blend(dx, dy, c);
        }
}

struct Font {
    Image img;
    int cw = 0, ch = 0;
    int left[128] = {}, advance[128] = {};
};

bool load_font(const std::string& path, Font& f) {
    if (!read_png(path, f.img)) return false;
    f.cw = f.img.w / 16;
    f.ch = f.img.w >= f.img.h ? f.img.h / 8 : f.img.h / 16;
    for (int c = 0; c < 128; ++c) {
        const int cx = (c % 16) * f.cw, cy = (c / 16) * f.ch;
        int first = -1, last = -1;
        for (int x = 0; x < f.cw; ++x)
            for (int y = 0; y < f.ch; ++y)
                if (f.img.at(cx + x, cy + y)[3] > 0) {
                    if (first < 0) first = x;
                    last = x;
                    break;
                }
        if (first < 0) {
            f.left[c] = 0;
            f.advance[c] = f.cw;
        } else {
            const int ink = last - first + 1;
            f.left[c] = first;
            f.advance[c] = ink + (first + ink < f.cw ? 1 : 0);
        }
    }
    f.left[32] = f.left['j'];
    f.advance[32] = f.advance['j'];
    return true;
}

void print_text(Screen& scr, const Font& f, const std::string& text, double x, double y) {
    int pen = static_cast<int>(std::ceil(x));
    const int top = static_cast<int>(std::ceil(y));
    for (unsigned char b : text) {
        const int c = b % 128;
        if (c == 0) break;
        if (c != 32) {
            const int cx = (c % 16) * f.cw + f.left[c], cy = (c / 16) * f.ch;
            for (int j = 0; j < f.ch; ++j)
                for (int i = 0; i < f.advance[c]; ++i) scr.blend(pen + i, top + j, f.img.at(cx + i, cy + j));
        }
        pen += f.advance[c];
    }
}

struct Hour12 {
    int hour;
    const char* ampm;
};

Hour12 to_12_hour(int h) {
    if (h == 0) return {12, "am"};
    if (h < 12) return {h, "am"};
    if (h == 12) return {12, "pm"};
    return {h - 12, "pm"};
}

std::string two(int m) { return (m <= 9 ? "0" : "") + std::to_string(m); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: %s MEDIA_DIR OUT.png HH:MM[:SS] [--wake HHMM] [--menu] [--about] [--editor]"
                     " [--test] [--no-hands] [--zoom N]\n",
                     argv[0]);
        return 2;
    }
    const std::string dir = argv[1], out = argv[2];
    int hh = 0, mm = 0, ss = 0;
    if (std::sscanf(argv[3], "%d:%d:%d", &hh, &mm, &ss) < 2) {
        std::fprintf(stderr, "bad time %s\n", argv[3]);
        return 2;
    }
    int wake = 700, zoom = 1;
    bool menu = false, about = false, editor = false, test = false, hands = true;
    for (int i = 4; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--wake" && i + 1 < argc) wake = std::atoi(argv[++i]);
        else if (a == "--zoom" && i + 1 < argc) zoom = std::atoi(argv[++i]);
        else if (a == "--menu") menu = true;
        else if (a == "--about") about = true;
        else if (a == "--editor") editor = true;
        else if (a == "--test") test = true;
        else if (a == "--no-hands") hands = false;
    }

    std::map<std::string, Image> sp;
    for (const char* n : {"OV_Popup", "OV_Min", "OV_Hr", "OV_Moon", "OV_Sun", "OV_Quilo", "OV_Quilo1", "OV_Quilo2",
                          "OV_Quilo3", "OV_SDial", "OV_Sec", "OV_About", "OV_Back1", "OV_Back2"})
        if (!read_png(dir + "/" + n + ".png", sp[n])) {
            std::fprintf(stderr, "cannot read %s/%s.png\n", dir.c_str(), n);
            return 1;
        }
    std::map<std::string, Font> fonts;
    for (const char* n : {"LtGray", "LtGreen", "LtBlue", "Yellow", "Red", "Green"})
        if (!load_font(dir + "/Arial18B" + n + ".png", fonts[n])) {
            std::fprintf(stderr, "cannot read font %s\n", n);
            return 1;
        }

    // Day cycle, as the clock computes it.
    const int wake_h = wake / 100, wake_m = wake % 100;
    const int origin = (wake_h * 60 + wake_m + 480) % 1440;
    const int now_minutes = hh * 60 + mm;
    const int e = now_minutes > origin ? now_minutes - origin : now_minutes - origin + 1440;
    const bool day = !(e >= 480 && e <= 959);
    const int sun_moon_angle = 360 - e / 4;
    int angle = 0, ind_y = 38, to_peak = 0, to_low = 0, elapsed = 0;
    std::string ind = "OV_Quilo1";
    if (!day) {
        const int n = e - 480;
        elapsed = n;
        angle = n <= 119 ? 3 * n : (4 * n - 480) % 360;
    } else {
        const int m = e <= 959 ? e + 480 : e - 960;
        elapsed = m;
        struct Row { int lo, hi; const char* s; int y; double k, off; int peak, low; };
        const Row rows[] = {
            {0, 59, "OV_Quilo", -38, 1.5, 180, 120, 240}, {60, 119, "OV_Quilo2", -38, 1.5, 180, 120, 240},
            {120, 179, "OV_Quilo3", -55, 6, -720, 180, 240}, {180, 209, "OV_Quilo2", -38, 3, -540, 300, 240},
            {210, 269, "OV_Quilo", -38, 3, -540, 300, 420}, {270, 299, "OV_Quilo2", -38, 3, -540, 300, 420},
            {300, 359, "OV_Quilo3", -55, 6, -1800, 360, 420}, {360, 389, "OV_Quilo2", -38, 3, -1080, 480, 420},
            {390, 419, "OV_Quilo", -38, 3, -1080, 480, 510}, {420, 479, "OV_Quilo", -38, 3, -1080, 480, 600},
            {480, 539, "OV_Quilo3", -55, 6, -2880, 540, 600}, {540, 569, "OV_Quilo2", -38, 3, -1620, 660, 600},
            {570, 629, "OV_Quilo", -38, 3, -1620, 660, 780}, {630, 659, "OV_Quilo2", -38, 3, -1620, 660, 780},
            {660, 719, "OV_Quilo3", -55, 6, -3960, 840, 780}, {720, 749, "OV_Quilo2", -38, 3, -2160, 840, 780},
            {750, 809, "OV_Quilo", -38, 3, -2160, 840, 960}, {810, 838, "OV_Quilo2", -38, 3, -2160, 840, 960},
            {839, 869, "OV_Quilo2", -38, 3, -2520, -1, 960}, {870, 959, "OV_Quilo", -38, 1.5, -1260, -1, 960},
        };
        for (const Row& r : rows)
            if (m >= r.lo && m <= r.hi) {
                ind = r.s;
                ind_y = r.y;
                angle = static_cast<int>(r.k * m + r.off);
                if (r.lo == 60) angle = static_cast<int>(1.5 * (m - 60) + 270);
                to_peak = r.peak < 0 ? 0 : r.peak - m;
                to_low = r.low - m;
            }
    }

    Screen scr;
    draw_sprite(scr, sp[day ? "OV_Back1" : "OV_Back2"], 0, 0);
    const Hour12 now12 = to_12_hour(hh);
    print_text(scr, fonts["LtGray"], std::to_string(now12.hour) + " : " + two(mm), 135, 180);
    print_text(scr, fonts["LtGray"], now12.ampm, now12.hour <= 9 ? 172 : 176, 180);
    print_text(scr, fonts["LtGreen"], "Ver. 4.8", 145, 5);
    if (hands) {
        draw_sprite_rotated(scr, sp["OV_Min"], 0, 0, 360 - 6 * mm);
        draw_sprite_rotated(scr, sp["OV_Hr"], 0, 0, 360 - (30 * now12.hour + mm / 2));
        draw_sprite_rotated(scr, sp["OV_Sec"], 0, 0, 360 - 6 * ss);
    }
    const Hour12 wake12 = to_12_hour(wake_h);
    if (!day) {
        if (test) {
            print_text(scr, fonts["Red"], "TEST ", 82, 60);
            print_text(scr, fonts["Red"], std::to_string(elapsed), 75, 75);
            print_text(scr, fonts["Red"], "mins", 105, 75);
        }
        const Font& y = fonts["Yellow"];
        print_text(scr, y, "Wake", 5, 180);
        print_text(scr, y, std::to_string(wake12.hour), 45, 180);
        print_text(scr, y, ":", 60, 180);
        if (wake_m <= 9) {
            print_text(scr, y, "0", 65, 180);
            print_text(scr, y, std::to_string(wake_m), 72, 180);
        } else {
            print_text(scr, y, std::to_string(wake_m), 65, 180);
        }
        print_text(scr, y, wake12.ampm, 81, 180);
        draw_sprite_rotated(scr, sp["OV_Moon"], 0, 0, sun_moon_angle);
        draw_sprite_rotated(scr, sp["OV_Quilo1"], 0, 38, 360 - angle);
    } else {
        if (test) {
            print_text(scr, fonts["Red"], "TEST ", 82, 125);
            print_text(scr, fonts["Red"], std::to_string(elapsed), 75, 140);
            print_text(scr, fonts["Red"], "mins", 105, 140);
        }
        if (ind_y == -55) draw_sprite_rotated(scr, sp["OV_SDial"], 0, 0, 0);
        draw_sprite_rotated(scr, sp["OV_Sun"], 0, 0, sun_moon_angle);
        draw_sprite_rotated(scr, sp[ind], 0, ind_y, 360 - angle);
        if (to_peak == 0) {
            const int bed = (wake_h * 60 + wake_m + 960) % 1440;
            const Hour12 b12 = to_12_hour(bed / 60);
            const Font& f = fonts["LtBlue"];
            print_text(scr, f, "Bed", 5, 180);
            print_text(scr, f, std::to_string(b12.hour), 35, 180);
            print_text(scr, f, ":", 50, 180);
            if (bed % 60 <= 9) {
                print_text(scr, f, "0", 55, 180);
                print_text(scr, f, std::to_string(bed % 60), 61, 180);
            } else {
                print_text(scr, f, std::to_string(bed % 60), 55, 180);
            }
            print_text(scr, f, b12.ampm, 72, 180);
        } else {
            const int pk = (now_minutes + to_peak) % 1440, lo = (now_minutes + to_low) % 1440;
            const Hour12 p12 = to_12_hour(pk / 60), l12 = to_12_hour(lo / 60);
            print_text(scr, fonts["Green"], "Pk: " + std::to_string(p12.hour) + ":" + two(pk % 60), 5, 5);
            print_text(scr, fonts["Green"], p12.ampm, p12.hour <= 9 ? 62 : 68, 5);
            print_text(scr, fonts["LtBlue"], "Lo: " + std::to_string(l12.hour) + ":" + two(lo % 60), 5, 180);
            print_text(scr, fonts["LtBlue"], l12.ampm, l12.hour <= 9 ? 62 : 68, 180);
        }
    }
    if (menu) draw_sprite(scr, sp["OV_Popup"], 10, 25);
    if (about) draw_sprite(scr, sp["OV_About"], 10, 25);
    if (editor) {
        const int y0 = day ? 115 : 75;
        const int h = wake12.hour, m = wake_m;
        const std::string ampm = wake12.ampm;
        auto hour_x = [](int v) { return v <= 9 ? 96 : 90; };
        const Font& y = fonts["Yellow"];
        print_text(scr, y, "Awake", 45, y0);
        print_text(scr, y, std::to_string(h), hour_x(h), y0);
        print_text(scr, y, ":", 105, y0);
        if (m <= 9) {
            print_text(scr, y, "0", 112, y0);
            print_text(scr, y, std::to_string(m), 120, y0);
        } else {
            print_text(scr, y, std::to_string(m), 112, y0);
        }
        print_text(scr, y, ampm, 135, y0);
        const Font& g = fonts["LtGray"];
        const int up_h = h == 12 ? 1 : h + 1, down_h = h == 1 ? 12 : h - 1;
        print_text(scr, g, std::to_string(up_h), hour_x(up_h), y0 - 15);
        const int up_m = (m + 1) % 60, down_m = (m + 59) % 60;
        auto minute = [&](int v, int row) {
            if (v > 9) {
                print_text(scr, g, std::to_string(v), 112, row);
            } else {
                print_text(scr, g, "0", 112, row);
                print_text(scr, g, std::to_string(v), 120, row);
            }
        };
        minute(up_m, y0 - 15);
        print_text(scr, g, ampm == "pm" ? "am" : "pm", 135, y0 - 15);
        print_text(scr, g, std::to_string(down_h), hour_x(down_h), y0 + 15);
        minute(down_m, y0 + 15);
    }

    const int W = 200 * zoom;
    std::vector<uint8_t> rgb(static_cast<size_t>(W) * W * 3);
    for (int y = 0; y < W; ++y)
        for (int x = 0; x < W; ++x) {
            const float* p = scr.img.at(x / zoom, y / zoom);
            for (int c = 0; c < 3; ++c)
                rgb[(static_cast<size_t>(y) * W + x) * 3 + c] = static_cast<uint8_t>(std::lround(p[c] * 255));
        }
    std::string error;
    if (!media::write_png(out, W, W, 3, rgb, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}
