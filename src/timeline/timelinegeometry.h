#pragma once

#include <QList>
#include <optional>

// The timeline area's coordinates and the time rules they rest on. Points are those of the viewport: x from its left
// edge, y from the top of the ruler; the lane header column sits left of it.
namespace TimelineGeometry {

inline constexpr double kRulerHeight = 24;
inline constexpr double kLaneHeight = 32;
inline constexpr double kHeaderWidth = 70;
// A clip is drawn 24 points high, centred in its lane.
inline constexpr double kClipTop = 4;
inline constexpr double kClipBottom = 28;
// Clips of unknown length are drawn this wide.
inline constexpr double kOpenClipWidth = 24;

inline constexpr double kLatestTime = 86400;
inline constexpr double kMinZoom = 1;
inline constexpr double kMaxZoom = 240;
inline constexpr double kDefaultZoom = 48;

// Finite and within one day; negative zero counts as 0.
bool isValidTime(double seconds);
// Nearest 0.01 s (halves away from zero), then kept within 0...86400; not a number gives 0.
double gridTime(double seconds);

double xOf(double seconds, double scrollTime, double zoom);
// The grid time under a viewport x.
double timeAt(double x, double scrollTime, double zoom);

struct View
{
    double zoom = kDefaultZoom;
    double scrollTime = 0;
    bool operator==(const View&) const = default;
};
// Wheel zoom that keeps the time under x in place unless the scroll position has to be clamped.
View zoomedAbout(View view, double delta, double x);
// A positive dx brings earlier times into view.
double pannedScroll(double scrollTime, double dx, double zoom);
double clampedZoom(double zoom);
double clampedScroll(double scrollTime);

struct RulerLabel
{
    qint64 seconds;
    double x;
    bool operator==(const RulerLabel&) const = default;
};
// Whole-second labels at least 48 points apart across the visible width.
QList<RulerLabel> rulerLabels(double scrollTime, double zoom, double width);

// The lane index under a viewport y, or none over the ruler or below the last lane.
std::optional<int> laneIndexAt(double y, int laneCount);
// Whether a viewport y lies in the clip band of its lane (both ends included).
bool inClipBand(double y);
double laneTop(int index);
double areaHeight(int laneCount);
// At least 1 point for a known length; a fixed width for an open-ended clip.
double drawnWidth(std::optional<double> length, double zoom);

} // namespace TimelineGeometry
