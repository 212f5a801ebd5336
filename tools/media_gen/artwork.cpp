// Artwork: hands, sun and moon, cycle badges, peak dial, skies, menu and about box.
#include "artwork.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace media {

namespace {

constexpr int kFace = 200;
constexpr Vec2 kCentre{100, 100};
constexpr double kOrbit = 80;  // distance of the sun and moon from the face's centre

const Shape kEverywhere = [](double, double) { return -1e9; };

// A point at distance r from c, at a clock angle in degrees (0 = 12 o'clock, clockwise).
Vec2 polar(Vec2 c, double r, double degrees) {
    const double a = degrees * M_PI / 180.0;
    return {c.x + r * std::sin(a), c.y - r * std::cos(a)};
}

// A polygon given as offsets from a centre.
Shape offset_polygon(Vec2 c, const std::vector<Vec2>& offsets) {
    std::vector<Vec2> pts;
    for (const Vec2& o : offsets) pts.push_back({c.x + o.x, c.y + o.y});
    return polygon(pts);
}

// Compose a layer over a soft dark halo of itself; rotation-invariant, unlike an offset shadow.
Canvas with_halo(const Canvas& layer, int radius, float alpha) {
    Canvas out(layer.width(), layer.height());
    out.draw(layer.shadow(0, 0, radius, rgb(0, 0, 0, alpha)), 0, 0);
    out.draw(layer, 0, 0);
    return out;
}

// Deterministic pseudo-random numbers, the same on every machine.
class Lcg {
public:
    explicit Lcg(uint32_t seed) : s_(seed) {}
    double next() {
        s_ = s_ * 1664525u + 1013904223u;
        return (s_ >> 8) / 16777216.0;
    }

private:
    uint32_t s_;
};

// ---- hands ----------------------------------------------------------------------------

// A baton hand pointing at 12: dark outline, light body shaded across its width.
Canvas baton_hand(const std::vector<Vec2>& outline, double stripe_from, double stripe_to, double hub) {
    Canvas layer(kFace, kFace);
    const Shape body = grow(offset_polygon(kCentre, outline), 0.4);
    const Shape with_hub = hub > 0 ? unite(body, circle(kCentre, hub)) : body;
    layer.fill(grow(with_hub, 1.0), solid(rgb(14, 22, 44, 0.95f)));
    layer.fill(with_hub, linear_gradient({kCentre.x - 4, 0}, {kCentre.x + 4, 0},
                                         {{0.0f, rgb(255, 255, 252)}, {0.55f, rgb(236, 240, 248)},
                                          {1.0f, rgb(186, 196, 216)}}));
    layer.fill(capsule({kCentre.x, kCentre.y - stripe_from}, {kCentre.x, kCentre.y - stripe_to}, 0.8),
               solid(rgb(46, 84, 160)));
    return with_halo(layer, 2, 0.5f);
}

}  // namespace

Canvas hour_hand() {
    return baton_hand({{-2.4, 11}, {2.4, 11}, {4.0, 0}, {3.2, -38}, {0, -49}, {-3.2, -38}, {-4.0, 0}}, 12, 38,
                      0);
}

Canvas minute_hand() {
    return baton_hand({{-2.0, 15}, {2.0, 15}, {3.2, 0}, {2.4, -60}, {0, -72}, {-2.4, -60}, {-3.2, 0}}, 14, 60,
                      5.5);
}

Canvas second_hand() {
    Canvas layer(kFace, kFace);
    const Rgba red = rgb(226, 44, 40);
    const Shape shaft = capsule({kCentre.x, kCentre.y + 20}, {kCentre.x, kCentre.y - 78}, 0.75);
    const Shape weight = circle({kCentre.x, kCentre.y + 15}, 3.0);
    const Shape hub = circle(kCentre, 3.6);
    const Shape all = unite(unite(shaft, weight), hub);
    layer.fill(grow(all, 0.7), solid(rgb(60, 8, 8, 0.7f)));
    layer.fill(all, solid(red));
    layer.fill(circle(kCentre, 1.4), solid(rgb(255, 232, 200)));
    return with_halo(layer, 1, 0.4f);
}

// ---- sun and moon -----------------------------------------------------------------------

Canvas sun_disc() {
    Canvas c(kFace, kFace);
    const Vec2 s{kCentre.x, kCentre.y - kOrbit};
    c.fill(circle(s, 20), radial_gradient(s, 20, {{0.0f, rgb(255, 236, 140, 0.6f)},
                                                  {0.5f, rgb(255, 206, 90, 0.22f)},
                                                  {1.0f, rgb(255, 190, 70, 0.0f)}}));
    for (int i = 0; i < 12; ++i) {
        const double a = i * 30.0 + 15.0;
        const double tip = (i % 2 == 0) ? 15.5 : 14.0;
        c.fill(polygon({polar(s, tip, a), polar(s, 9.0, a - 12), polar(s, 9.0, a + 12)}),
               solid(rgb(255, 196, 56, 0.95f)));
    }
    c.fill(circle(s, 10.0), radial_gradient({s.x - 3, s.y - 3}, 14, {{0.0f, rgb(255, 253, 228)},
                                                                       {0.45f, rgb(255, 222, 100)},
                                                                       {1.0f, rgb(246, 160, 40)}}));
    c.fill(ring(s, 10.0, 0.6), solid(rgb(214, 116, 24, 0.85f)));
    return c;
}

Canvas moon_disc() {
    Canvas c(kFace, kFace);
    const Vec2 m{kCentre.x, kCentre.y + kOrbit};
    c.fill(circle(m, 18), radial_gradient(m, 18, {{0.0f, rgb(210, 222, 255, 0.45f)},
                                                  {0.55f, rgb(170, 190, 255, 0.15f)},
                                                  {1.0f, rgb(150, 170, 255, 0.0f)}}));
    const Shape disc = circle(m, 9.5);
    c.fill(disc, radial_gradient({m.x - 2.5, m.y - 2.5}, 13, {{0.0f, rgb(254, 254, 255)},
                                                               {0.7f, rgb(226, 230, 242)},
                                                               {1.0f, rgb(190, 198, 222)}}));
    const Rgba crater = rgb(168, 178, 206, 0.75f);
    const Vec2 craters[] = {{3.0, -2.0}, {-3.2, 3.0}, {2.6, 4.2}, {-4.0, -3.2}, {0.2, 0.6}};
    const double radii[] = {2.4, 1.8, 1.3, 1.1, 0.9};
    for (int i = 0; i < 5; ++i)
        c.fill(intersect(circle({m.x + craters[i].x, m.y + craters[i].y}, radii[i]), disc), solid(crater));
    c.fill(ring(m, 9.5, 0.5), solid(rgb(150, 160, 200, 0.8f)));
    return c;
}

// ---- cycle badges -----------------------------------------------------------------------

namespace {

struct BadgeColours {
    Rgba inner, outer, rim, needle;
};

// A round badge turned as a whole: its lit half and needle face 12 o'clock when unturned.
Canvas badge(const BadgeColours& k) {
    Canvas layer(kFace, kFace);
    const double r = 13;
    const Shape disc = circle(kCentre, r);
    layer.fill(disc, radial_gradient(kCentre, r, {{0.0f, mix(k.outer, rgb(0, 0, 0), 0.25f)}, {1.0f, k.outer}}));
    // The lit half, on the needle's side.
    layer.fill(intersect(disc, rounded_rect(kCentre.x - r - 1, kCentre.y - r - 1, kCentre.x + r + 1, kCentre.y, 0.01)),
               linear_gradient({0, kCentre.y - r}, {0, kCentre.y}, {{0.0f, k.inner}, {1.0f, mix(k.inner, k.outer, 0.55f)}}));
    layer.fill(ring(kCentre, r, 1.1), solid(k.rim));
    // Needle and hub, and a pointer just outside the rim.
    layer.fill(polygon({polar(kCentre, 11.5, 0), polar(kCentre, 3.0, 100), polar(kCentre, 3.0, 260)}), solid(k.needle));
    layer.fill(circle(kCentre, 3.0), solid(k.needle));
    layer.fill(circle(kCentre, 1.3), solid(k.outer));
    layer.fill(grow(polygon({polar(kCentre, 18.0, 0), polar(kCentre, 14.2, -13), polar(kCentre, 14.2, 13)}), 0.3),
               solid(k.rim));
    return with_halo(layer, 2, 0.45f);
}

}  // namespace

Canvas cycle_badge_a() {
    return badge({rgb(120, 200, 240), rgb(30, 96, 170), rgb(200, 236, 255), rgb(255, 255, 255)});
}

Canvas cycle_badge_b() {
    return badge({rgb(255, 220, 120), rgb(214, 112, 24), rgb(255, 240, 200), rgb(255, 255, 255)});
}

Canvas cycle_badge_night() {
    return badge({rgb(160, 150, 240), rgb(58, 46, 140), rgb(214, 208, 255), rgb(236, 236, 255)});
}

Canvas cycle_badge_peak() {
    Canvas layer(kFace, kFace);
    const Rgba gold = rgb(255, 214, 64);
    // A long needle sweeping the peak dial once an hour, with a star for a hub.
    const Shape needle = polygon({polar(kCentre, 4, 180), polar(kCentre, 2.6, 90), polar(kCentre, 16.5, 0),
                                  polar(kCentre, 2.6, 270)});
    std::vector<Vec2> star;
    for (int i = 0; i < 10; ++i) star.push_back(polar(kCentre, (i % 2 == 0) ? 6.5 : 2.8, i * 36.0));
    const Shape all = unite(needle, polygon(star));
    layer.fill(grow(all, 0.9), solid(rgb(110, 50, 0, 0.9f)));
    layer.fill(all, radial_gradient(kCentre, 16, {{0.0f, rgb(255, 252, 220)}, {0.35f, gold}, {1.0f, rgb(255, 196, 60)}}));
    return with_halo(layer, 2, 0.45f);
}

Canvas peak_dial(const Faces&) {
    Canvas layer(kFace, kFace);
    const Vec2 c{kCentre.x, kCentre.y - 55};
    const double r = 18;
    layer.fill(circle(c, r + 4), radial_gradient(c, r + 4, {{0.0f, rgb(255, 214, 110, 0.1f)},
                                                            {0.75f, rgb(255, 190, 70, 0.45f)},
                                                            {1.0f, rgb(255, 170, 40, 0.0f)}}));
    layer.fill(circle(c, r), radial_gradient(c, r, {{0.0f, rgb(255, 236, 170, 0.30f)}, {1.0f, rgb(255, 180, 60, 0.55f)}}));
    layer.fill(ring(c, r, 1.0), solid(rgb(255, 222, 130)));
    for (int i = 0; i < 12; ++i) {
        const bool major = i % 3 == 0;
        layer.fill(capsule(polar(c, major ? 12.5 : 14.5, i * 30.0), polar(c, 16.2, i * 30.0), major ? 0.9 : 0.6),
                   solid(rgb(255, 236, 170, major ? 1.0f : 0.8f)));
    }
    return with_halo(layer, 2, 0.35f);
}

// ---- skies ------------------------------------------------------------------------------

namespace {

// Hour ticks and minute dots around the face, used by both skies.
void dial_marks(Canvas& sky, const Rgba& tick, const Rgba& dot) {
    Canvas marks(kFace, kFace);
    for (int i = 0; i < 60; ++i) {
        const double a = i * 6.0;
        if (i % 5 != 0) {
            marks.fill(circle(polar(kCentre, 88, a), 0.8), solid(dot));
            continue;
        }
        const bool quarter = i % 15 == 0;
        marks.fill(capsule(polar(kCentre, quarter ? 80 : 83, a), polar(kCentre, 90, a), quarter ? 1.6 : 1.1),
                   solid(tick));
    }
    sky.draw(with_halo(marks, 1, 0.45f), 0, 0);
}

// Two rows of rolling hills along the bottom edge, where the bottom line of text sits.
void hills(Canvas& sky, const Rgba& far_top, const Rgba& far_bottom, const Rgba& near_top, const Rgba& near_bottom) {
    std::vector<Vec2> far{{-2, 202}};
    std::vector<Vec2> near{{-2, 202}};
    for (int x = -2; x <= 202; x += 2) {
        far.push_back({double(x), 166 - 5 * std::sin(x * 0.045 + 0.8) - 2.5 * std::sin(x * 0.11 + 2.0)});
        near.push_back({double(x), 176 - 3.5 * std::sin(x * 0.032 + 2.6) - 1.5 * std::sin(x * 0.09)});
    }
    far.push_back({202, 202});
    near.push_back({202, 202});
    sky.fill(polygon(far), linear_gradient({0, 158}, {0, 185}, {{0.0f, far_top}, {1.0f, far_bottom}}));
    sky.fill(polygon(near), linear_gradient({0, 170}, {0, 200}, {{0.0f, near_top}, {1.0f, near_bottom}}));
}

}  // namespace

Canvas day_sky() {
    Canvas sky(kFace, kFace);
    sky.fill(kEverywhere, linear_gradient({0, 0}, {0, 200}, {{0.0f, rgb(20, 56, 128)},
                                                             {0.45f, rgb(46, 112, 190)},
                                                             {0.74f, rgb(104, 166, 222)},
                                                             {0.84f, rgb(176, 210, 234)}}));
    // A few soft clouds.
    Canvas clouds(kFace, kFace);
    const Rgba white = rgb(255, 255, 255, 0.55f);
    const struct { double x, y, s; } puffs[] = {{36, 122, 1.0}, {158, 92, 0.85}, {62, 40, 0.6}};
    for (const auto& p : puffs) {
        clouds.fill(circle({p.x, p.y}, 7 * p.s), solid(white));
        clouds.fill(circle({p.x + 9 * p.s, p.y - 3 * p.s}, 9 * p.s), solid(white));
        clouds.fill(circle({p.x + 19 * p.s, p.y + 1 * p.s}, 6.5 * p.s), solid(white));
        clouds.fill(rounded_rect(p.x - 5 * p.s, p.y - 1 * p.s, p.x + 25 * p.s, p.y + 6 * p.s, 3.5 * p.s), solid(white));
    }
    clouds.blur(1);
    sky.draw(clouds, 0, 0, 0.6f);
    hills(sky, rgb(58, 118, 134), rgb(40, 94, 104), rgb(28, 78, 66), rgb(12, 42, 38));
    dial_marks(sky, rgb(255, 255, 255, 0.9f), rgb(255, 255, 255, 0.45f));
    return sky;
}

Canvas night_sky() {
    Canvas sky(kFace, kFace);
    sky.fill(kEverywhere, linear_gradient({0, 0}, {0, 200}, {{0.0f, rgb(4, 7, 24)},
                                                             {0.5f, rgb(14, 22, 60)},
                                                             {0.78f, rgb(34, 38, 94)},
                                                             {0.86f, rgb(62, 52, 112)}}));
    // A faint band of the galaxy across the sky.
    Canvas band(kFace, kFace);
    band.fill(capsule({-20, 150}, {220, 10}, 16), solid(rgb(150, 160, 230, 0.10f)));
    band.blur(6);
    sky.draw(band, 0, 0);
    // Stars: many faint, a few bright with a small cross.
    Lcg rng(20240607u);
    for (int i = 0; i < 110; ++i) {
        const double x = rng.next() * 200, y = rng.next() * 168;
        const double bright = 0.25 + 0.75 * rng.next() * rng.next();
        const double size = 0.45 + 0.5 * rng.next();
        const Rgba tint = mix(rgb(255, 246, 224), rgb(200, 214, 255), float(rng.next()));
        sky.fill(circle({x, y}, size), solid(with_alpha(tint, float(bright))));
    }
    const Vec2 bright_stars[] = {{26, 34}, {172, 58}, {132, 152}, {58, 96}, {186, 132}};
    for (const Vec2& s : bright_stars) {
        sky.fill(circle(s, 3.5), radial_gradient(s, 3.5, {{0.0f, rgb(220, 230, 255, 0.5f)}, {1.0f, rgb(220, 230, 255, 0.0f)}}));
        sky.fill(capsule({s.x - 3.2, s.y}, {s.x + 3.2, s.y}, 0.35), solid(rgb(230, 236, 255, 0.7f)));
        sky.fill(capsule({s.x, s.y - 3.2}, {s.x, s.y + 3.2}, 0.35), solid(rgb(230, 236, 255, 0.7f)));
        sky.fill(circle(s, 0.9), solid(rgb(255, 255, 255)));
    }
    hills(sky, rgb(24, 28, 62), rgb(18, 22, 48), rgb(10, 14, 32), rgb(4, 6, 16));
    dial_marks(sky, rgb(206, 214, 255, 0.75f), rgb(190, 200, 255, 0.35f));
    return sky;
}

// ---- menu and about box -----------------------------------------------------------------

namespace {

const Rgba kPanelTop = rgb(40, 52, 82);
const Rgba kPanelBottom = rgb(22, 28, 50);
const Rgba kPanelRim = rgb(140, 166, 220);

void panel(Canvas& c, double radius) {
    const double w = c.width(), h = c.height();
    const Shape outer = rounded_rect(0, 0, w, h, radius);
    c.fill(outer, linear_gradient({0, 0}, {0, h}, {{0.0f, kPanelTop}, {1.0f, kPanelBottom}}));
    c.fill(subtract(outer, grow(outer, -1.2)), solid(kPanelRim));
    // A faint sheen along the top edge.
    c.fill(intersect(grow(outer, -1.2), rounded_rect(1, 1, w - 1, 14, radius - 1)),
           linear_gradient({0, 1}, {0, 14}, {{0.0f, rgb(255, 255, 255, 0.10f)}, {1.0f, rgb(255, 255, 255, 0.0f)}}));
}

// Menu icons, each about 12 px across, centred on c.
void icon_power(Canvas& c, Vec2 p, const Rgba& k) {
    const Shape arc = subtract(ring(p, 5.2, 1.1), polygon({p, polar(p, 12, -32), polar(p, 12, 32)}));
    c.fill(unite(arc, capsule(polar(p, 7.2, 0), polar(p, 1.2, 0), 1.1)), solid(k));
}

void icon_sunrise(Canvas& c, Vec2 p, const Rgba& k) {
    const Vec2 s{p.x, p.y + 3};
    c.fill(intersect(circle(s, 4.6), rounded_rect(s.x - 6, s.y - 6, s.x + 6, s.y - 0.6, 0.1)), solid(k));
    for (int a = -60; a <= 60; a += 30) c.fill(capsule(polar(s, 6.4, a), polar(s, 8.0, a), 0.7), solid(k));
    c.fill(capsule({p.x - 7, s.y + 0.8}, {p.x + 7, s.y + 0.8}, 0.75), solid(k));
}

void icon_fast_forward(Canvas& c, Vec2 p, const Rgba& k) {
    c.fill(grow(polygon({{p.x - 6, p.y - 4.5}, {p.x, p.y}, {p.x - 6, p.y + 4.5}}), 0.4), solid(k));
    c.fill(grow(polygon({{p.x, p.y - 4.5}, {p.x + 6, p.y}, {p.x, p.y + 4.5}}), 0.4), solid(k));
}

void icon_clock(Canvas& c, Vec2 p, const Rgba& k) {
    c.fill(ring(p, 5.6, 0.9), solid(k));
    c.fill(capsule(p, polar(p, 4.0, 0), 0.75), solid(k));
    c.fill(capsule(p, polar(p, 3.0, 120), 0.75), solid(k));
}

void icon_info(Canvas& c, Vec2 p, const Rgba& k) {
    c.fill(ring(p, 5.6, 0.9), solid(k));
    c.fill(circle({p.x, p.y - 2.6}, 0.9), solid(k));
    c.fill(capsule({p.x, p.y - 0.5}, {p.x, p.y + 3.0}, 0.85), solid(k));
}

}  // namespace

Canvas popup_menu(const Faces& faces) {
    Canvas c(kMenuWidth, kMenuHeight);
    panel(c, 8);
    // Rows of the image for each item; the image is drawn 25 px below the window's top, so
    // these are the window's click bands 26-54, 55-79, 80-109, 110-134 and 135-159.
    struct Item {
        int top, bottom;
        const char* label;
        void (*icon)(Canvas&, Vec2, const Rgba&);
        Rgba colour;
    };
    const Item items[] = {
        {1, 29, "Quit", icon_power, rgb(255, 120, 108)},
        {30, 54, "Set wake time", icon_sunrise, rgb(255, 212, 84)},
        {55, 84, "Test mode", icon_fast_forward, rgb(130, 226, 150)},
        {85, 109, "Hands on / off", icon_clock, rgb(236, 240, 250)},
        {110, 134, "About", icon_info, rgb(130, 190, 255)},
    };
    const double size = 12;
    const double cap = faces.bold->cap_height(size);
    for (size_t i = 0; i < sizeof items / sizeof items[0]; ++i) {
        const Item& it = items[i];
        const double mid = (it.top + it.bottom + 1) / 2.0;
        if (i > 0)
            c.fill(capsule({12, it.top - 0.5}, {kMenuWidth - 12.0, it.top - 0.5}, 0.5), solid(rgb(255, 255, 255, 0.13f)));
        it.icon(c, {22, mid}, it.colour);
        faces.bold->draw(c, it.label, 38, std::round(mid + cap / 2), size, rgb(238, 242, 250));
    }
    return c;
}

Canvas about_box(const Faces& faces) {
    Canvas c(kAboutWidth, kAboutHeight);
    panel(c, 10);
    const double cx = kAboutWidth / 2.0;
    // Emblem: the sun and the moon that circle the face.
    const Vec2 sun{cx - 9, 27}, moon{cx + 10, 25};
    c.fill(circle(sun, 15), radial_gradient(sun, 15, {{0.0f, rgb(255, 220, 120, 0.45f)}, {1.0f, rgb(255, 200, 90, 0.0f)}}));
    for (int i = 0; i < 12; ++i)
        c.fill(polygon({polar(sun, 12.5, i * 30.0), polar(sun, 7.5, i * 30.0 - 12), polar(sun, 7.5, i * 30.0 + 12)}),
               solid(rgb(255, 196, 56)));
    c.fill(circle(sun, 8), radial_gradient({sun.x - 2, sun.y - 2}, 11, {{0.0f, rgb(255, 252, 226)}, {1.0f, rgb(248, 170, 44)}}));
    c.fill(circle(moon, 10.5), solid(kPanelTop));
    c.fill(subtract(circle(moon, 8.5), circle({moon.x + 4.5, moon.y - 2.5}, 7.2)),
           linear_gradient({moon.x - 8, 0}, {moon.x + 4, 0}, {{0.0f, rgb(250, 250, 255)}, {1.0f, rgb(190, 200, 236)}}));

    faces.bold->draw_centred(c, "Orvela", cx, 70, 24, rgb(255, 228, 130));
    faces.bold->draw_centred(c, "Ver. 4.8", cx, 88, 12, rgb(156, 236, 156));
    c.fill(capsule({30, 98.5}, {kAboutWidth - 30.0, 98.5}, 0.5), solid(rgb(255, 255, 255, 0.22f)));
    const std::string what = "Paces your day from your wake time";
    double size = 11;
    while (size > 8 && faces.regular->text_width(what, size) > kAboutWidth - 16) size -= 0.5;
    faces.regular->draw_centred(c, what, cx, 118, size, rgb(222, 228, 244));
    faces.regular->draw_centred(c, "Click to close", cx, 139, 9.5, rgb(150, 162, 196));
    return c;
}

}  // namespace media
