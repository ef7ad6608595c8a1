#include "zuFormThreeColorTable.h"

#include <QDir>
#include <QImage>
#include <QPixmap>

#include <cstdlib>

TColor HueShiftColor(TColor color, int n)
{
    if (n <= 0)
        return color;
    return RgbToColor(HueShiftRgb(ColorToRgb(color), n));
}

QIcon LoadSmallIcon(int size)
{
    EnsureResources();
    // The icon group holds one image per size; the small icon starts from the 16 x 16 one.
    const QDir group(QStringLiteral(":/MAINICON"));
    QImage best;
    for (const QString &name : group.entryList(QDir::Files)) {
        const QImage image(group.filePath(name));
        if (image.isNull())
            continue;
        const auto distance = [](const QImage &i) {
            return std::abs(i.width() - 16) + std::abs(i.height() - 16);
        };
        if (best.isNull() || distance(image) < distance(best))
            best = image;
    }
    if (best.isNull())
        return {};
    // Stretched pixel by pixel, as the system stretches an icon image to another size.
    if (best.size() != QSize(size, size))
        best = best.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return QIcon(QPixmap::fromImage(best));
}
