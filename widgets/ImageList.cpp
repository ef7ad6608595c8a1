#include "ImageList.h"

#include <QPainter>

TImageList::TImageList(int width, int height, QObject *owner)
    : QObject(owner)
    , m_width(width)
    , m_height(height)
{}

QImage TImageList::fitted(const QImage &image) const
{
    if (image.size() == QSize(m_width, m_height))
        return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage cell(m_width, m_height, QImage::Format_ARGB32_Premultiplied);
    cell.fill(Qt::transparent);
    QPainter painter(&cell);
    painter.drawImage(0, 0, image);
    return cell;
}

int TImageList::Add(const QImage &image)
{
    m_images.append(fitted(image));
    return Count() - 1;
}

void TImageList::Draw(QPainter &canvas, int x, int y, int index) const
{
    if (index >= 0 && index < Count())
        canvas.drawImage(x, y, m_images.at(index));
}

QImage TImageList::GetBitmap(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    return m_images.at(index).convertToFormat(QImage::Format_RGB32);
}
