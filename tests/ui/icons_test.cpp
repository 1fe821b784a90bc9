#include "lumoicons.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {
QImage drawn(const QString& symbol, QIcon::Mode mode = QIcon::Normal)
{
    return lumoIcon(symbol, Qt::white).pixmap(QSize(48, 48), mode).toImage().convertToFormat(QImage::Format_ARGB32);
}

int inkedPixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 128;
    return count;
}
} // namespace

TEST(LumoIcons, EverySymbolHasADrawingOfItsOwn)
{
    const QImage unknown = drawn("no.such.symbol");
    EXPECT_GT(inkedPixels(unknown), 0) << "a missing symbol still shows";
    const QStringList symbols = lumoSymbols();
    QImage sheet(48 * 10, 48 * ((symbols.size() + 9) / 10), QImage::Format_ARGB32);
    sheet.fill(QColor(27, 31, 38));
    QPainter painter(&sheet);
    for (int i = 0; i < symbols.size(); ++i) {
        const QImage image = drawn(symbols[i]);
        EXPECT_GT(inkedPixels(image), 20) << symbols[i].toStdString();
        EXPECT_NE(image, unknown) << symbols[i].toStdString();
        painter.drawImage(48 * (i % 10), 48 * (i / 10), image);
    }
    QDir().mkpath(LUMO_TEST_SHOTS);
    sheet.save(QString(LUMO_TEST_SHOTS) + "/console-icons.png");
    EXPECT_LT(inkedPixels(drawn("play.fill", QIcon::Disabled)), inkedPixels(drawn("play.fill")));
}
