// Button icons as unions of flat shapes in the unit square (u to the right, v upwards), sampled at pixel
// centres.
#include "tools/content/icon_painter.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kChannels = 4;
constexpr uint8_t kOpaque = 255;
constexpr float kMargin = 0.12f;  // share of the icon's side left clear on each side
constexpr float kPi = 3.14159265f;
constexpr int kGearTeeth = 8;

struct P {
    float u, v;
};

bool Box(P p, float u0, float v0, float u1, float v1) { return p.u >= u0 && p.u <= u1 && p.v >= v0 && p.v <= v1; }

// A box's rim of the given thickness.
bool Frame(P p, float u0, float v0, float u1, float v1, float t)
{
    return Box(p, u0, v0, u1, v1) && !Box(p, u0 + t, v0 + t, u1 - t, v1 - t);
}

float Distance(P p, float cu, float cv) { return std::hypot(p.u - cu, p.v - cv); }

bool Disc(P p, float cu, float cv, float r) { return Distance(p, cu, cv) <= r; }

bool Ring(P p, float cu, float cv, float r0, float r1)
{
    const float d = Distance(p, cu, cv);
    return d >= r0 && d <= r1;
}

float Cross(P a, P b, P p) { return (b.u - a.u) * (p.v - a.v) - (b.v - a.v) * (p.u - a.u); }

bool Triangle(P p, P a, P b, P c)
{
    const float d1 = Cross(a, b, p), d2 = Cross(b, c, p), d3 = Cross(c, a, p);
    const bool negative = d1 < 0 || d2 < 0 || d3 < 0;
    const bool positive = d1 > 0 || d2 > 0 || d3 > 0;
    return !(negative && positive);
}

// A stroke of half-width w from a to b.
bool Stroke(P p, P a, P b, float w)
{
    const float du = b.u - a.u, dv = b.v - a.v;
    const float length = du * du + dv * dv;
    float t = length > 0.0f ? ((p.u - a.u) * du + (p.v - a.v) * dv) / length : 0.0f;
    t = std::clamp(t, 0.0f, 1.0f);
    return std::hypot(p.u - (a.u + t * du), p.v - (a.v + t * dv)) <= w;
}

// An arrow along v from its tail to its tip, centred on u.
bool VerticalArrow(P p, float u, float tail, float tip)
{
    constexpr float kHead = 0.3f, kShaft = 0.08f, kWing = 0.25f;
    const float base = tip > tail ? tip - kHead : tip + kHead;
    return Box(p, u - kShaft, std::min(tail, base), u + kShaft, std::max(tail, base)) ||
           Triangle(p, {u - kWing, base}, {u + kWing, base}, {u, tip});
}

// A folder's outline with its tab, leaving room inside for a sign.
bool Folder(P p) { return Frame(p, 0.04f, 0.06f, 0.96f, 0.66f, 0.07f) || Box(p, 0.04f, 0.66f, 0.42f, 0.78f); }

// A banknote lying from v0 to v1: its rim and the coin-like mark in its middle.
bool Banknote(P p, float v0, float v1)
{
    const float middle = (v0 + v1) / 2.0f, half = (v1 - v0) / 2.0f;
    return Frame(p, 0.04f, v0, 0.96f, v1, 0.08f) || Disc(p, 0.5f, middle, half * 0.42f);
}

// A price tag pointing left, with its hole.
bool Tag(P p)
{
    return (Box(p, 0.36f, 0.24f, 0.96f, 0.76f) || Triangle(p, {0.04f, 0.5f}, {0.36f, 0.76f}, {0.36f, 0.24f})) &&
           !Disc(p, 0.34f, 0.5f, 0.08f);
}

bool Play(P p, float u0, float u1) { return Triangle(p, {u0, 0.2f}, {u0, 0.8f}, {u1, 0.5f}); }

bool Gear(P p)
{
    const float d = Distance(p, 0.5f, 0.5f);
    if (d >= 0.16f && d <= 0.34f)
        return true;
    const float angle = std::atan2(p.v - 0.5f, p.u - 0.5f) + kPi;
    const float share = std::fmod(angle / (2.0f * kPi) * kGearTeeth, 1.0f);
    return d > 0.34f && d <= 0.46f && share < 0.5f;
}

bool Star(P p)
{
    // Inside when the radius at this angle is below the star's outline.
    const float d = Distance(p, 0.5f, 0.48f);
    const float angle = std::atan2(p.v - 0.48f, p.u - 0.5f) - kPi / 2.0f;
    const float sector = 2.0f * kPi / 5.0f;
    float a = std::fmod(std::fabs(angle), sector);
    a = std::fabs(a - sector / 2.0f) / (sector / 2.0f);  // 1 at a point, 0 between two
    return d <= 0.2f + 0.26f * a * a;
}

// A chevron pointing up, its lowest ends at v.
bool Chevron(P p, float v)
{
    return Stroke(p, {0.12f, v}, {0.5f, v + 0.22f}, 0.07f) || Stroke(p, {0.5f, v + 0.22f}, {0.88f, v}, 0.07f);
}

// A person, centred on u: head and body.
bool Person(P p, float u)
{
    return Disc(p, u, 0.78f, 0.16f) || Triangle(p, {u, 0.66f}, {u - 0.28f, 0.04f}, {u + 0.28f, 0.04f});
}

// The slash of "per", on the icon's left.
bool Slash(P p) { return Stroke(p, {0.06f, 0.08f}, {0.3f, 0.92f}, 0.06f); }

// The star signs' glyphs are drawn in strokes this wide.
constexpr float kGlyph = 0.07f;

// A ring's arc of the glyph's stroke around (cu, cv), radius r, kept where `keep` holds.
template <typename Keep>
bool Arc(P p, float cu, float cv, float r, Keep keep)
{
    return Ring(p, cu, cv, r - kGlyph, r + kGlyph) && keep(p);
}

// A zigzag of four strokes across the icon, its low points at v.
bool Wave(P p, float v)
{
    constexpr float kRise = 0.14f;
    const P points[] = {{0.06f, v}, {0.28f, v + kRise}, {0.5f, v}, {0.72f, v + kRise}, {0.94f, v}};
    for (int i = 0; i + 1 < 5; i++) {
        if (Stroke(p, points[i], points[i + 1], kGlyph))
            return true;
    }
    return false;
}

// The "m" of the two star signs written with one: three legs from v 0.12 joined by arches at the top.
bool Humps(P p)
{
    const auto above = [](P q) { return q.v >= 0.66f; };
    return Stroke(p, {0.1f, 0.12f}, {0.1f, 0.8f}, kGlyph) || Stroke(p, {0.34f, 0.12f}, {0.34f, 0.66f}, kGlyph) ||
           Stroke(p, {0.58f, 0.12f}, {0.58f, 0.66f}, kGlyph) || Arc(p, 0.22f, 0.66f, 0.12f, above) ||
           Arc(p, 0.46f, 0.66f, 0.12f, above);
}

bool StarSign(ContentIcon icon, P p)
{
    switch (icon) {
    case CONTENT_ICON_AQUARIUS:  // two waves
        return Wave(p, 0.24f) || Wave(p, 0.56f);
    case CONTENT_ICON_ARIES:  // the ram's horns over a stem
        return Stroke(p, {0.5f, 0.08f}, {0.5f, 0.64f}, kGlyph) ||
               Arc(p, 0.3f, 0.64f, 0.2f, [](P q) { return q.v >= 0.64f || q.u <= 0.3f; }) ||
               Arc(p, 0.7f, 0.64f, 0.2f, [](P q) { return q.v >= 0.64f || q.u >= 0.7f; });
    case CONTENT_ICON_CANCER:  // two curls, head to tail
        return Disc(p, 0.22f, 0.62f, 0.12f) || Arc(p, 0.52f, 0.62f, 0.32f, [](P q) { return q.v >= 0.66f; }) ||
               Disc(p, 0.78f, 0.38f, 0.12f) || Arc(p, 0.48f, 0.38f, 0.32f, [](P q) { return q.v <= 0.34f; });
    case CONTENT_ICON_CAPRICORN:  // a V whose right leg ends in a loop and a tail
        return Stroke(p, {0.08f, 0.86f}, {0.3f, 0.14f}, kGlyph) || Stroke(p, {0.3f, 0.14f}, {0.5f, 0.86f}, kGlyph) ||
               Stroke(p, {0.5f, 0.86f}, {0.62f, 0.3f}, kGlyph) || Arc(p, 0.74f, 0.3f, 0.14f, [](P) { return true; }) ||
               Stroke(p, {0.62f, 0.2f}, {0.44f, 0.04f}, kGlyph);
    case CONTENT_ICON_GEMINI:  // two pillars under a lintel on a base
        return Box(p, 0.08f, 0.82f, 0.92f, 0.94f) || Box(p, 0.08f, 0.06f, 0.92f, 0.18f) ||
               Box(p, 0.26f, 0.18f, 0.38f, 0.82f) || Box(p, 0.62f, 0.18f, 0.74f, 0.82f);
    case CONTENT_ICON_LEO:  // a small ring, the mane's loop and the tail's hook
        return Arc(p, 0.26f, 0.3f, 0.14f, [](P) { return true; }) ||
               Arc(p, 0.56f, 0.62f, 0.2f, [](P q) { return q.v >= 0.5f || q.u <= 0.56f; }) ||
               Stroke(p, {0.76f, 0.62f}, {0.72f, 0.14f}, kGlyph) || Stroke(p, {0.72f, 0.14f}, {0.94f, 0.22f}, kGlyph);
    case CONTENT_ICON_LIBRA:  // the scales' beam over its base
        return Box(p, 0.06f, 0.1f, 0.94f, 0.2f) || Box(p, 0.06f, 0.38f, 0.3f, 0.48f) ||
               Box(p, 0.7f, 0.38f, 0.94f, 0.48f) || Arc(p, 0.5f, 0.48f, 0.22f, [](P q) { return q.v >= 0.43f; });
    case CONTENT_ICON_PISCES:  // two crescents back to back, joined by a bar
        return Arc(p, -0.12f, 0.5f, 0.42f, [](P q) { return q.u >= 0.0f; }) ||
               Arc(p, 1.12f, 0.5f, 0.42f, [](P q) { return q.u <= 1.0f; }) || Box(p, 0.22f, 0.45f, 0.78f, 0.55f);
    case CONTENT_ICON_SAGITTARIUS:  // an arrow upward to the right, crossed on its shaft
        return Stroke(p, {0.08f, 0.08f}, {0.82f, 0.82f}, kGlyph) ||
               Triangle(p, {0.96f, 0.96f}, {0.56f, 0.9f}, {0.9f, 0.56f}) ||
               Stroke(p, {0.22f, 0.56f}, {0.56f, 0.22f}, kGlyph);
    case CONTENT_ICON_SCORPIO:  // the "m" whose last leg runs into an arrow
        return Humps(p) || Stroke(p, {0.58f, 0.12f}, {0.84f, 0.12f}, kGlyph) ||
               Triangle(p, {0.98f, 0.12f}, {0.78f, 0.26f}, {0.78f, -0.02f});
    case CONTENT_ICON_TAURUS:  // a ring under the bull's horns
        return Arc(p, 0.5f, 0.32f, 0.22f, [](P) { return true; }) ||
               Arc(p, 0.5f, 0.9f, 0.34f, [](P q) { return q.v <= 0.82f; });
    case CONTENT_ICON_VIRGO:  // the "m" whose last leg curls back across itself
        return Humps(p) || Arc(p, 0.76f, 0.34f, 0.18f, [](P q) { return q.u >= 0.6f; }) ||
               Stroke(p, {0.76f, 0.16f}, {0.5f, 0.04f}, kGlyph);
    default:
        return false;
    }
}

bool Shape(ContentIcon icon, P p)
{
    switch (icon) {
    case CONTENT_ICON_BUILD:  // a hammer
        return Stroke(p, {0.2f, 0.12f}, {0.62f, 0.6f}, 0.07f) || Stroke(p, {0.42f, 0.82f}, {0.84f, 0.42f}, 0.12f);
    case CONTENT_ICON_MANAGE:  // a bar chart
        return Box(p, 0.1f, 0.1f, 0.9f, 0.17f) || Box(p, 0.16f, 0.17f, 0.32f, 0.45f) ||
               Box(p, 0.42f, 0.17f, 0.58f, 0.88f) || Box(p, 0.68f, 0.17f, 0.84f, 0.65f);
    case CONTENT_ICON_OPTIONS:
        return Gear(p);
    case CONTENT_ICON_DEMOLISH:  // a wall struck out
        return Frame(p, 0.18f, 0.2f, 0.82f, 0.6f, 0.08f) || Stroke(p, {0.1f, 0.1f}, {0.9f, 0.9f}, 0.08f) ||
               Stroke(p, {0.1f, 0.9f}, {0.9f, 0.1f}, 0.08f);
    case CONTENT_ICON_PAUSE:
        return Box(p, 0.22f, 0.15f, 0.4f, 0.85f) || Box(p, 0.6f, 0.15f, 0.78f, 0.85f);
    case CONTENT_ICON_PLAY:
        return Play(p, 0.25f, 0.8f);
    case CONTENT_ICON_FAST:
        return Play(p, 0.08f, 0.5f) || Play(p, 0.5f, 0.92f);
    case CONTENT_ICON_FASTEST:
        return Play(p, 0.02f, 0.34f) || Play(p, 0.34f, 0.66f) || Play(p, 0.66f, 0.98f);
    case CONTENT_ICON_FLOOR_DOWN:
        return VerticalArrow(p, 0.5f, 0.95f, 0.22f) || Box(p, 0.1f, 0.05f, 0.9f, 0.14f);
    case CONTENT_ICON_FLOOR_UP:
        return VerticalArrow(p, 0.5f, 0.05f, 0.78f) || Box(p, 0.1f, 0.86f, 0.9f, 0.95f);
    case CONTENT_ICON_MESSAGES:  // an envelope
        return Frame(p, 0.08f, 0.2f, 0.92f, 0.8f, 0.07f) || Stroke(p, {0.1f, 0.78f}, {0.5f, 0.42f}, 0.05f) ||
               Stroke(p, {0.9f, 0.78f}, {0.5f, 0.42f}, 0.05f);
    case CONTENT_ICON_LOAD:  // a folder with an arrow out of it
        return Box(p, 0.08f, 0.1f, 0.92f, 0.55f) || Box(p, 0.08f, 0.55f, 0.4f, 0.63f) ||
               VerticalArrow(p, 0.62f, 0.4f, 0.98f);
    case CONTENT_ICON_SAVE:  // a disk
        return Frame(p, 0.12f, 0.08f, 0.88f, 0.92f, 0.08f) || Box(p, 0.3f, 0.62f, 0.7f, 0.92f) ||
               Box(p, 0.26f, 0.08f, 0.74f, 0.4f);
    case CONTENT_ICON_MUSIC:  // two notes on a beam
        return Disc(p, 0.28f, 0.24f, 0.13f) || Disc(p, 0.72f, 0.32f, 0.13f) || Box(p, 0.34f, 0.24f, 0.42f, 0.86f) ||
               Box(p, 0.78f, 0.32f, 0.86f, 0.94f) || Triangle(p, {0.34f, 0.86f}, {0.86f, 0.94f}, {0.34f, 0.74f}) ||
               Triangle(p, {0.86f, 0.94f}, {0.86f, 0.82f}, {0.34f, 0.74f});
    case CONTENT_ICON_EFFECTS:  // a loudspeaker and its sound
        return Box(p, 0.08f, 0.36f, 0.26f, 0.64f) || Triangle(p, {0.2f, 0.5f}, {0.5f, 0.88f}, {0.5f, 0.12f}) ||
               (Ring(p, 0.5f, 0.5f, 0.22f, 0.3f) && p.u > 0.6f) || (Ring(p, 0.5f, 0.5f, 0.38f, 0.46f) && p.u > 0.66f);
    case CONTENT_ICON_QUIT:  // the power sign
        return (Ring(p, 0.5f, 0.45f, 0.28f, 0.38f) && !(p.v > 0.55f && std::fabs(p.u - 0.5f) < 0.16f)) ||
               Box(p, 0.45f, 0.45f, 0.55f, 0.95f);
    case CONTENT_ICON_FLOOR: {  // tiles
        const int column = static_cast<int>((p.u - 0.05f) / 0.3f), row = static_cast<int>((p.v - 0.05f) / 0.3f);
        return Box(p, 0.05f, 0.05f, 0.95f, 0.95f) && (column + row) % 2 == 0;
    }
    case CONTENT_ICON_FASHION:  // a shirt
        return (Box(p, 0.3f, 0.08f, 0.7f, 0.8f) && !Disc(p, 0.5f, 0.84f, 0.12f)) ||
               Triangle(p, {0.3f, 0.8f}, {0.04f, 0.56f}, {0.3f, 0.5f}) ||
               Triangle(p, {0.7f, 0.8f}, {0.96f, 0.56f}, {0.7f, 0.5f});
    case CONTENT_ICON_ELECTRONICS:  // a flash
        return Triangle(p, {0.62f, 0.96f}, {0.24f, 0.44f}, {0.56f, 0.5f}) ||
               Triangle(p, {0.44f, 0.52f}, {0.78f, 0.56f}, {0.38f, 0.04f});
    case CONTENT_ICON_LEISURE:
        return Star(p);
    case CONTENT_ICON_HOME:  // a house with its door
        return Triangle(p, {0.05f, 0.52f}, {0.95f, 0.52f}, {0.5f, 0.95f}) ||
               (Box(p, 0.18f, 0.06f, 0.82f, 0.52f) && !Box(p, 0.42f, 0.06f, 0.58f, 0.34f));
    case CONTENT_ICON_HEALTH:  // a cross
        return Box(p, 0.36f, 0.08f, 0.64f, 0.92f) || Box(p, 0.08f, 0.36f, 0.92f, 0.64f);
    case CONTENT_ICON_FOOD:  // an apple
        return ((Disc(p, 0.36f, 0.4f, 0.3f) || Disc(p, 0.64f, 0.4f, 0.3f)) && !Disc(p, 0.5f, 0.78f, 0.1f)) ||
               Stroke(p, {0.5f, 0.66f}, {0.56f, 0.94f}, 0.04f) || Disc(p, 0.7f, 0.86f, 0.08f);
    case CONTENT_ICON_CASH:  // a banknote
        return Frame(p, 0.04f, 0.24f, 0.96f, 0.76f, 0.07f) || Ring(p, 0.5f, 0.5f, 0.1f, 0.18f);
    case CONTENT_ICON_TOILET:  // a person
        return Disc(p, 0.5f, 0.8f, 0.13f) || Triangle(p, {0.5f, 0.66f}, {0.2f, 0.08f}, {0.8f, 0.08f});
    case CONTENT_ICON_SEATS:  // a chair
        return Box(p, 0.2f, 0.42f, 0.8f, 0.52f) || Box(p, 0.2f, 0.52f, 0.3f, 0.92f) ||
               Box(p, 0.2f, 0.06f, 0.28f, 0.42f) || Box(p, 0.72f, 0.06f, 0.8f, 0.42f);
    case CONTENT_ICON_PHONE:  // a handset
        return (Ring(p, 0.5f, 0.3f, 0.36f, 0.48f) && p.v > 0.42f) || Box(p, 0.02f, 0.3f, 0.28f, 0.48f) ||
               Box(p, 0.72f, 0.3f, 0.98f, 0.48f);
    case CONTENT_ICON_STAIRS: {
        const int step = static_cast<int>(p.u / 0.25f);
        return Box(p, 0.0f, 0.05f, 1.0f, 0.95f) && p.v <= 0.05f + 0.225f * (step + 1);
    }
    case CONTENT_ICON_ATRIUM:  // a fountain
        return (Disc(p, 0.5f, 0.3f, 0.42f) && p.v <= 0.3f && p.v >= 0.05f) || Box(p, 0.45f, 0.3f, 0.55f, 0.86f) ||
               (Ring(p, 0.5f, 0.55f, 0.28f, 0.35f) && p.v > 0.55f);
    case CONTENT_ICON_DOOR:
        return Frame(p, 0.22f, 0.04f, 0.78f, 0.96f, 0.08f) || Disc(p, 0.64f, 0.48f, 0.06f);
    case CONTENT_ICON_PLANT:  // a tree
        return Disc(p, 0.5f, 0.62f, 0.32f) || Box(p, 0.43f, 0.04f, 0.57f, 0.34f);
    case CONTENT_ICON_DECOR:  // a statue on its plinth
        return Box(p, 0.2f, 0.04f, 0.8f, 0.22f) || Box(p, 0.38f, 0.22f, 0.62f, 0.66f) || Disc(p, 0.5f, 0.8f, 0.12f);
    case CONTENT_ICON_FINANCE:  // coins stacked beside a note
        return Frame(p, 0.04f, 0.5f, 0.96f, 0.9f, 0.07f) || Ring(p, 0.5f, 0.7f, 0.05f, 0.12f) ||
               Box(p, 0.1f, 0.06f, 0.5f, 0.14f) || Box(p, 0.14f, 0.18f, 0.54f, 0.26f) ||
               Box(p, 0.1f, 0.3f, 0.5f, 0.38f);
    case CONTENT_ICON_SHOPPERS:  // two people
        return Disc(p, 0.3f, 0.74f, 0.11f) || Triangle(p, {0.3f, 0.62f}, {0.06f, 0.08f}, {0.54f, 0.08f}) ||
               Disc(p, 0.7f, 0.74f, 0.11f) || Triangle(p, {0.7f, 0.62f}, {0.46f, 0.08f}, {0.94f, 0.08f});
    case CONTENT_ICON_STAFF:  // a person in a cap
        return Disc(p, 0.5f, 0.68f, 0.13f) || Box(p, 0.3f, 0.8f, 0.7f, 0.9f) || Box(p, 0.5f, 0.8f, 0.82f, 0.85f) ||
               Box(p, 0.24f, 0.06f, 0.76f, 0.5f);
    case CONTENT_ICON_CONTRACT:  // a page of lines and its signature
        return Frame(p, 0.16f, 0.04f, 0.84f, 0.96f, 0.06f) || Box(p, 0.28f, 0.74f, 0.72f, 0.8f) ||
               Box(p, 0.28f, 0.58f, 0.72f, 0.64f) || Box(p, 0.28f, 0.42f, 0.6f, 0.48f) ||
               Stroke(p, {0.3f, 0.16f}, {0.46f, 0.28f}, 0.04f) || Stroke(p, {0.46f, 0.28f}, {0.7f, 0.16f}, 0.04f);
    case CONTENT_ICON_BACK:  // an arrow to the left
        return Box(p, 0.4f, 0.42f, 0.92f, 0.58f) || Triangle(p, {0.05f, 0.5f}, {0.45f, 0.86f}, {0.45f, 0.14f});
    case CONTENT_ICON_CLOSE:
        return Stroke(p, {0.15f, 0.15f}, {0.85f, 0.85f}, 0.1f) || Stroke(p, {0.15f, 0.85f}, {0.85f, 0.15f}, 0.1f);
    case CONTENT_ICON_UP:
        return Triangle(p, {0.1f, 0.25f}, {0.9f, 0.25f}, {0.5f, 0.8f});
    case CONTENT_ICON_DOWN:
        return Triangle(p, {0.1f, 0.75f}, {0.9f, 0.75f}, {0.5f, 0.2f});
    case CONTENT_ICON_PLUS:
        return Box(p, 0.4f, 0.1f, 0.6f, 0.9f) || Box(p, 0.1f, 0.4f, 0.9f, 0.6f);
    case CONTENT_ICON_MINUS:
        return Box(p, 0.1f, 0.4f, 0.9f, 0.6f);
    case CONTENT_ICON_MOVE:  // arrows both ways
        return Box(p, 0.25f, 0.42f, 0.75f, 0.58f) || Triangle(p, {0.0f, 0.5f}, {0.3f, 0.8f}, {0.3f, 0.2f}) ||
               Triangle(p, {1.0f, 0.5f}, {0.7f, 0.8f}, {0.7f, 0.2f});
    case CONTENT_ICON_FIRE:  // a person struck out
        return Disc(p, 0.5f, 0.74f, 0.14f) || Triangle(p, {0.5f, 0.6f}, {0.22f, 0.06f}, {0.78f, 0.06f}) ||
               Stroke(p, {0.08f, 0.08f}, {0.92f, 0.92f}, 0.07f);
    case CONTENT_ICON_TICK:
        return Stroke(p, {0.12f, 0.5f}, {0.4f, 0.18f}, 0.09f) || Stroke(p, {0.4f, 0.18f}, {0.9f, 0.86f}, 0.09f);
    case CONTENT_ICON_MALE:  // a ring with an arrow out to the top right
        return Ring(p, 0.4f, 0.4f, 0.2f, 0.3f) || Stroke(p, {0.6f, 0.6f}, {0.9f, 0.9f}, 0.06f) ||
               Triangle(p, {0.95f, 0.95f}, {0.62f, 0.92f}, {0.92f, 0.62f});
    case CONTENT_ICON_FEMALE:  // a ring with a cross below
        return Ring(p, 0.5f, 0.64f, 0.2f, 0.3f) || Box(p, 0.44f, 0.04f, 0.56f, 0.36f) ||
               Box(p, 0.3f, 0.14f, 0.7f, 0.24f);
    case CONTENT_ICON_FOOT:  // a footprint
        return Disc(p, 0.5f, 0.36f, 0.22f) || Disc(p, 0.5f, 0.18f, 0.16f) || Disc(p, 0.3f, 0.72f, 0.08f) ||
               Disc(p, 0.46f, 0.8f, 0.08f) || Disc(p, 0.62f, 0.78f, 0.07f) || Disc(p, 0.75f, 0.7f, 0.06f);
    case CONTENT_ICON_BUS:  // a bus from the side: body, windows, wheels
        return (Box(p, 0.04f, 0.22f, 0.96f, 0.8f) &&
                !(p.v > 0.52f && p.v < 0.7f && std::fmod(p.u * 5.0f, 1.0f) > 0.3f && p.u > 0.1f && p.u < 0.9f)) ||
               Disc(p, 0.25f, 0.18f, 0.12f) || Disc(p, 0.75f, 0.18f, 0.12f);
    case CONTENT_ICON_CAR:  // a car: body, cabin, wheels
        return Box(p, 0.04f, 0.28f, 0.96f, 0.5f) || Triangle(p, {0.2f, 0.5f}, {0.8f, 0.5f}, {0.35f, 0.76f}) ||
               Triangle(p, {0.35f, 0.76f}, {0.8f, 0.5f}, {0.68f, 0.76f}) || Disc(p, 0.26f, 0.24f, 0.12f) ||
               Disc(p, 0.74f, 0.24f, 0.12f);
    case CONTENT_ICON_TRAIN:  // a train's face on its rails
        return (Box(p, 0.2f, 0.2f, 0.8f, 0.94f) && !Box(p, 0.3f, 0.6f, 0.7f, 0.84f)) ||
               Box(p, 0.04f, 0.04f, 0.96f, 0.1f) || Stroke(p, {0.3f, 0.2f}, {0.18f, 0.06f}, 0.05f) ||
               Stroke(p, {0.7f, 0.2f}, {0.82f, 0.06f}, 0.05f);
    case CONTENT_ICON_FOLDER_NEW:  // a folder with a plus in it
        return Folder(p) || Box(p, 0.44f, 0.18f, 0.56f, 0.54f) || Box(p, 0.32f, 0.3f, 0.68f, 0.42f);
    case CONTENT_ICON_FOLDER_UP:  // a folder with an arrow up out of it
        return Folder(p) || VerticalArrow(p, 0.5f, 0.18f, 0.98f);
    case CONTENT_ICON_DELETE:  // a bin with its lid
        return Box(p, 0.12f, 0.76f, 0.88f, 0.84f) || Box(p, 0.4f, 0.84f, 0.6f, 0.94f) ||
               Frame(p, 0.2f, 0.04f, 0.8f, 0.7f, 0.07f) || Box(p, 0.36f, 0.16f, 0.43f, 0.6f) ||
               Box(p, 0.57f, 0.16f, 0.64f, 0.6f);
    case CONTENT_ICON_DATE:  // a calendar page: its binding, its rings and a grid of days
        return Frame(p, 0.08f, 0.06f, 0.92f, 0.84f, 0.07f) || Box(p, 0.08f, 0.62f, 0.92f, 0.84f) ||
               Box(p, 0.26f, 0.74f, 0.36f, 0.96f) || Box(p, 0.64f, 0.74f, 0.74f, 0.96f) ||
               Box(p, 0.26f, 0.32f, 0.4f, 0.46f) || Box(p, 0.6f, 0.32f, 0.74f, 0.46f);
    case CONTENT_ICON_RATING:  // a dial and its needle
        return (Ring(p, 0.5f, 0.28f, 0.34f, 0.44f) && p.v >= 0.28f) || Box(p, 0.04f, 0.2f, 0.96f, 0.28f) ||
               Stroke(p, {0.5f, 0.28f}, {0.74f, 0.62f}, 0.06f);
    case CONTENT_ICON_STOREY:  // storeys stacked
        return Box(p, 0.06f, 0.06f, 0.94f, 0.22f) || Box(p, 0.16f, 0.36f, 0.84f, 0.52f) ||
               Box(p, 0.26f, 0.66f, 0.74f, 0.82f);
    case CONTENT_ICON_INCOME:  // a plus over a banknote
        return Banknote(p, 0.04f, 0.5f) || Box(p, 0.42f, 0.6f, 0.58f, 0.98f) || Box(p, 0.3f, 0.71f, 0.7f, 0.87f);
    case CONTENT_ICON_EXPENSES:  // a minus over a banknote
        return Banknote(p, 0.04f, 0.5f) || Box(p, 0.26f, 0.71f, 0.74f, 0.87f);
    case CONTENT_ICON_TOTAL:  // the sum sign
        return Box(p, 0.14f, 0.82f, 0.86f, 0.96f) || Box(p, 0.14f, 0.04f, 0.86f, 0.18f) ||
               Stroke(p, {0.24f, 0.86f}, {0.56f, 0.5f}, 0.08f) || Stroke(p, {0.56f, 0.5f}, {0.24f, 0.14f}, 0.08f);
    case CONTENT_ICON_MONTHLY:  // a stroke before a calendar page: per month
        return Stroke(p, {0.06f, 0.06f}, {0.34f, 0.94f}, 0.07f) || Frame(p, 0.42f, 0.06f, 0.98f, 0.62f, 0.08f) ||
               Box(p, 0.42f, 0.46f, 0.98f, 0.62f) || Box(p, 0.54f, 0.56f, 0.62f, 0.72f) ||
               Box(p, 0.78f, 0.56f, 0.86f, 0.72f);
    case CONTENT_ICON_CHARGE:
        return Tag(p);
    case CONTENT_ICON_BONUS:  // a cup with its handles on a foot
        return (Disc(p, 0.5f, 0.62f, 0.28f) && p.v <= 0.62f) || Box(p, 0.22f, 0.62f, 0.78f, 0.94f) ||
               (Ring(p, 0.22f, 0.74f, 0.08f, 0.16f) && p.u < 0.22f) ||
               (Ring(p, 0.78f, 0.74f, 0.08f, 0.16f) && p.u > 0.78f) || Box(p, 0.44f, 0.14f, 0.56f, 0.36f) ||
               Box(p, 0.24f, 0.04f, 0.76f, 0.16f);
    case CONTENT_ICON_DRAW:  // a die
        return Frame(p, 0.04f, 0.04f, 0.96f, 0.96f, 0.1f) || Disc(p, 0.32f, 0.32f, 0.1f) ||
               Disc(p, 0.68f, 0.32f, 0.1f) || Disc(p, 0.32f, 0.68f, 0.1f) || Disc(p, 0.68f, 0.68f, 0.1f);
    case CONTENT_ICON_STAKE:  // a coin on a stack of coins
        return Stroke(p, {0.14f, 0.12f}, {0.66f, 0.12f}, 0.11f) || Stroke(p, {0.08f, 0.44f}, {0.5f, 0.44f}, 0.11f) ||
               Ring(p, 0.74f, 0.74f, 0.07f, 0.22f);
    case CONTENT_ICON_RENT:  // a key
        return Ring(p, 0.24f, 0.5f, 0.1f, 0.22f) || Box(p, 0.44f, 0.43f, 0.96f, 0.57f) ||
               Box(p, 0.7f, 0.22f, 0.8f, 0.43f) || Box(p, 0.86f, 0.28f, 0.96f, 0.43f);
    case CONTENT_ICON_INTEREST:  // the percent sign
        return Disc(p, 0.27f, 0.74f, 0.15f) || Disc(p, 0.73f, 0.26f, 0.15f) ||
               Stroke(p, {0.18f, 0.06f}, {0.82f, 0.94f}, 0.07f);
    case CONTENT_ICON_SHOP:  // a shop front under its awning: window and door
        return Box(p, 0.02f, 0.64f, 0.98f, 0.86f) || Frame(p, 0.1f, 0.04f, 0.9f, 0.64f, 0.08f) ||
               Box(p, 0.56f, 0.04f, 0.74f, 0.46f) || Box(p, 0.22f, 0.26f, 0.44f, 0.46f);
    case CONTENT_ICON_BASE_RATING:  // a dial with its needle upright, on a plinth
        return (Ring(p, 0.5f, 0.4f, 0.3f, 0.4f) && p.v >= 0.4f) || Box(p, 0.45f, 0.4f, 0.55f, 0.76f) ||
               Box(p, 0.06f, 0.04f, 0.94f, 0.26f);
    case CONTENT_ICON_DIRT:  // a stain and its splashes
        return Disc(p, 0.44f, 0.42f, 0.26f) || Disc(p, 0.62f, 0.56f, 0.22f) || Disc(p, 0.36f, 0.6f, 0.16f) ||
               Disc(p, 0.88f, 0.9f, 0.08f) || Disc(p, 0.1f, 0.12f, 0.08f) || Disc(p, 0.9f, 0.16f, 0.07f);
    case CONTENT_ICON_NET:  // the equals sign: what remains
        return Box(p, 0.1f, 0.58f, 0.9f, 0.76f) || Box(p, 0.1f, 0.24f, 0.9f, 0.42f);
    case CONTENT_ICON_PAID:  // a price tag ticked off
        return Tag({p.u * 1.4f, (p.v - 0.36f) * 1.6f}) || Stroke(p, {0.36f, 0.3f}, {0.54f, 0.1f}, 0.08f) ||
               Stroke(p, {0.54f, 0.1f}, {0.94f, 0.56f}, 0.08f);
    case CONTENT_ICON_KIND:  // four kinds of shape
        return Box(p, 0.06f, 0.58f, 0.42f, 0.94f) || Disc(p, 0.76f, 0.76f, 0.18f) ||
               Triangle(p, {0.04f, 0.06f}, {0.44f, 0.06f}, {0.24f, 0.44f}) || Box(p, 0.7f, 0.06f, 0.82f, 0.44f) ||
               Box(p, 0.57f, 0.19f, 0.95f, 0.31f);
    case CONTENT_ICON_SALES:  // a shopping trolley: handle, basket, wheels
        return Box(p, 0.02f, 0.8f, 0.2f, 0.9f) || Stroke(p, {0.16f, 0.85f}, {0.3f, 0.3f}, 0.05f) ||
               Triangle(p, {0.22f, 0.72f}, {0.96f, 0.72f}, {0.86f, 0.34f}) ||
               Triangle(p, {0.22f, 0.72f}, {0.86f, 0.34f}, {0.32f, 0.34f}) || Box(p, 0.3f, 0.26f, 0.86f, 0.32f) ||
               Disc(p, 0.38f, 0.12f, 0.09f) || Disc(p, 0.78f, 0.12f, 0.09f);
    case CONTENT_ICON_JOB:  // a spanner
        return Stroke(p, {0.14f, 0.14f}, {0.56f, 0.56f}, 0.09f) ||
               (Ring(p, 0.68f, 0.68f, 0.12f, 0.28f) && !(p.u > 0.62f && p.v > 0.62f && std::fabs(p.u - p.v) < 0.12f));
    case CONTENT_ICON_LEVEL:  // rank chevrons
        return Chevron(p, 0.08f) || Chevron(p, 0.38f) || Chevron(p, 0.68f);
    case CONTENT_ICON_WAGE:  // a pile of coins
        return Stroke(p, {0.2f, 0.12f}, {0.8f, 0.12f}, 0.08f) || Stroke(p, {0.26f, 0.34f}, {0.86f, 0.34f}, 0.08f) ||
               Stroke(p, {0.16f, 0.56f}, {0.76f, 0.56f}, 0.08f) || Stroke(p, {0.24f, 0.78f}, {0.84f, 0.78f}, 0.08f);
    case CONTENT_ICON_CLOCK:  // a dial and its hands
        return Ring(p, 0.5f, 0.5f, 0.36f, 0.47f) || Box(p, 0.45f, 0.46f, 0.55f, 0.8f) ||
               Box(p, 0.46f, 0.45f, 0.74f, 0.55f);
    case CONTENT_ICON_SIGN:  // a pen over the line it signs
        return Stroke(p, {0.36f, 0.36f}, {0.86f, 0.86f}, 0.1f) ||
               Triangle(p, {0.14f, 0.2f}, {0.4f, 0.24f}, {0.2f, 0.44f}) || Box(p, 0.04f, 0.04f, 0.96f, 0.1f);
    case CONTENT_ICON_HIRE:  // a person and a plus
        return Person(p, 0.3f) || Box(p, 0.74f, 0.28f, 0.86f, 0.76f) || Box(p, 0.56f, 0.46f, 1.0f, 0.58f);
    case CONTENT_ICON_PER_SHOPPER:  // a slash before a person: per shopper
        return Slash(p) || Person(p, 0.7f);
    case CONTENT_ICON_AGE:  // a birthday cake and its candles
        return Box(p, 0.08f, 0.06f, 0.92f, 0.46f) || Box(p, 0.2f, 0.5f, 0.3f, 0.74f) ||
               Box(p, 0.45f, 0.5f, 0.55f, 0.74f) || Box(p, 0.7f, 0.5f, 0.8f, 0.74f) || Disc(p, 0.25f, 0.86f, 0.07f) ||
               Disc(p, 0.5f, 0.86f, 0.07f) || Disc(p, 0.75f, 0.86f, 0.07f);
    case CONTENT_ICON_PATIENCE:  // an hourglass
        return Box(p, 0.14f, 0.88f, 0.86f, 0.98f) || Box(p, 0.14f, 0.02f, 0.86f, 0.12f) ||
               Triangle(p, {0.22f, 0.88f}, {0.78f, 0.88f}, {0.5f, 0.5f}) ||
               Triangle(p, {0.22f, 0.12f}, {0.78f, 0.12f}, {0.5f, 0.5f});
    case CONTENT_ICON_ARRIVAL:  // a signpost
        return Box(p, 0.44f, 0.02f, 0.56f, 0.9f) || Box(p, 0.5f, 0.62f, 0.8f, 0.84f) ||
               Triangle(p, {0.8f, 0.6f}, {0.8f, 0.86f}, {0.98f, 0.73f}) || Box(p, 0.2f, 0.3f, 0.5f, 0.52f) ||
               Triangle(p, {0.2f, 0.28f}, {0.2f, 0.54f}, {0.02f, 0.41f});
    case CONTENT_ICON_BAG:  // a carrier bag and its handle
        return Box(p, 0.14f, 0.04f, 0.86f, 0.62f) || (Ring(p, 0.5f, 0.62f, 0.18f, 0.27f) && p.v > 0.62f);
    default:
        return StarSign(icon, p);
    }
}

}  // namespace

ContentIcon ContentBuildCategoryIcon(int category)
{
    static const ContentIcon kIcons[] = {
        CONTENT_ICON_FLOOR,  CONTENT_ICON_FASHION, CONTENT_ICON_ELECTRONICS, CONTENT_ICON_LEISURE,
        CONTENT_ICON_HOME,   CONTENT_ICON_HEALTH,  CONTENT_ICON_FOOD,        CONTENT_ICON_CASH,
        CONTENT_ICON_TOILET, CONTENT_ICON_SEATS,   CONTENT_ICON_PHONE,       CONTENT_ICON_STAIRS,
        CONTENT_ICON_ATRIUM, CONTENT_ICON_DOOR,    CONTENT_ICON_PLANT,       CONTENT_ICON_DECOR,
    };
    constexpr int kCount = static_cast<int>(sizeof(kIcons) / sizeof(kIcons[0]));
    return category >= 0 && category < kCount ? kIcons[category] : CONTENT_ICON_DECOR;
}

const uint8_t* ContentBuildCategoryColour(int category)
{
    // Floors, the six shop kinds (pink, blue, yellow, brown, green, red), facilities, stairs, atria, doors,
    // scenery.
    static const uint8_t kColours[][3] = {
        {190, 170, 140}, {230, 80, 160}, {60, 130, 230},  {245, 200, 50},  {150, 100, 60},  {70, 185, 110},
        {220, 60, 50},   {200, 200, 90}, {120, 190, 210}, {170, 140, 210}, {210, 150, 150}, {160, 160, 170},
        {140, 200, 230}, {180, 130, 90}, {90, 170, 80},   {200, 110, 200},
    };
    constexpr int kCount = static_cast<int>(sizeof(kColours) / sizeof(kColours[0]));
    return kColours[category >= 0 && category < kCount ? category : kCount - 1];
}

namespace {

void PaintIcon(ContentPngImage* image, int x, int row, int width, int height, ContentIcon icon, const uint8_t* ink,
               float margin)
{
    const int side = std::min(width, height);
    const float inner = side * (1.0f - 2.0f * margin);
    if (!image || icon == CONTENT_ICON_NONE || inner < 1.0f)
        return;
    // Measured from the rectangle's own corner, so that an icon reads the same pixels wherever it is painted.
    const float left = (width - inner) / 2.0f;
    const float top = (height - inner) / 2.0f;
    for (int r = row; r < row + height; r++) {
        for (int c = x; c < x + width; c++) {
            if (c < 0 || r < 0 || c >= static_cast<int>(image->width) || r >= static_cast<int>(image->height))
                continue;
            const P p = {(c - x + 0.5f - left) / inner, 1.0f - (r - row + 0.5f - top) / inner};
            if (p.u < 0.0f || p.u > 1.0f || p.v < 0.0f || p.v > 1.0f || !Shape(icon, p))
                continue;
            uint8_t* pixel = &image->rows[(static_cast<size_t>(r) * image->width + c) * kChannels];
            pixel[0] = ink[0];
            pixel[1] = ink[1];
            pixel[2] = ink[2];
            pixel[3] = kOpaque;
        }
    }
}

}  // namespace

void ContentPaintIcon(ContentPngImage* image, int x, int row, int width, int height, ContentIcon icon,
                      const uint8_t* ink)
{
    PaintIcon(image, x, row, width, height, icon, ink, kMargin);
}

void ContentPaintIconFilling(ContentPngImage* image, int x, int row, int width, int height, ContentIcon icon,
                             const uint8_t* ink)
{
    PaintIcon(image, x, row, width, height, icon, ink, 0.0f);
}
