#pragma once

#include <QColor>
#include <QList>
#include <QSize>
#include <QString>
#include <optional>

// The ways a PNG may store its pixels, each written byte by byte so that a file really is in that layout (Qt's own
// writer picks a layout of its choosing): palettes of 1, 2, 4 and 8 bits, grey of 1 to 16 bits, grey with alpha, RGB
// and RGBA of 8 and 16 bits, with or without a transparency chunk.
struct PngLayout
{
    enum ColourType { grey = 0, rgb = 2, palette = 3, greyAlpha = 4, rgba = 6 };
    ColourType colourType = rgb;
    int bitDepth = 8;
    // Palettes and grey or RGB pictures say it in a tRNS chunk, the others in their alpha samples.
    bool transparent = false;

    QString name() const;
    // How many bands a picture of the layout shows: two with one bit, four otherwise.
    int bands() const;
    // The colour a band is drawn in: red, blue, green and yellow, or for grey four steps from black to white; the last
    // band of a transparent layout is half transparent, or wholly so for a grey or RGB picture's colour key.
    QColor band(int index) const;
};

// Every layout PNG allows, each with and without transparency where it can have it.
QList<PngLayout> everyPngLayout();

// A PNG of the layout showing its bands side by side, left to right, cached by content.
QString pngInLayout(const PngLayout& layout, QSize size);

// The colour type and bit depth a PNG file's header names; none when it is no PNG.
std::optional<PngLayout> pngLayoutOf(const QString& path);
