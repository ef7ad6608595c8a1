#pragma once

#include <QImage>
#include <QList>
#include <QObject>

class QPainter;

// A list of equally sized images, shared by the controls that draw from it. Controls refer to
// a list without owning it and drop the reference when it is destroyed.
class TImageList : public QObject
{
    Q_OBJECT
public:
    TImageList(int width, int height, QObject *owner = nullptr);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Count() const { return int(m_images.size()); }

    // Appends an image (cut or padded to the list's size); its index.
    int Add(const QImage &image);

    // Draws image index at (x, y) in its enabled look; nothing for an index out of range.
    void Draw(QPainter &canvas, int x, int y, int index) const;
    // Image index as a bitmap of the list's size; a null image for an index out of range.
    QImage GetBitmap(int index) const;

private:
    QImage fitted(const QImage &image) const;

    int m_width;
    int m_height;
    QList<QImage> m_images;
};
