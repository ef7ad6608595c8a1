#include "zuImglstBtn.h"

#include "funcs.h"

#include <QPainter>

TzuImageListButton::TzuImageListButton(QWidget *parent)
    : TzuPictureCButton(parent)
{
    RecreateWnd();
}

void TzuImageListButton::SetImageList(TImageList *value)
{
    m_imageList = value;
    WatchComponent(m_listGone, value, this, [this] {
        m_imageList = nullptr;
        RecreateWnd();
    });
    RecreateWnd();
}

int TzuImageListButton::Index(int look) const
{
    return look >= 0 && look < int(m_indices.size()) ? m_indices[look] : -1;
}

void TzuImageListButton::SetIndex(int look, int value)
{
    if (look < 0 || look >= int(m_indices.size()))
        return;
    m_indices[look] = value;
    update();
}

TzuImageListButton::Look TzuImageListButton::CurrentLook(bool pushed) const
{
    if (isEnabled()) {
        if (pushed)
            return LookPressed;
        return MouseInside() ? LookMouseOver : LookNormal;
    }
    return IndexDisable() >= 0 ? LookDisabled : LookPressed;
}

int TzuImageListButton::ImageFor(Look look) const
{
    // Index 0 counts as unset for every look but the normal one.
    const int index = Index(look);
    return index > 0 ? index : IndexButton();
}

void TzuImageListButton::DrawFace(QPainter &target, bool pushed)
{
    QImage bitmap(width(), height(), QImage::Format_RGB32);
    bitmap.fill(ParentBackground(this));
    if (m_imageList) {
        QPainter canvas(&bitmap);
        m_imageList->Draw(canvas, 0, 0, ImageFor(CurrentLook(pushed)));
    }
    target.drawImage(0, 0, bitmap);
}

bool TzuImageListButton::HitTest(int x, int y)
{
    if (!m_imageList || IndexMask() < 0)
        return true;
    const QImage mask = m_imageList->GetBitmap(IndexMask());
    if (!mask.valid(x, y))
        return true;
    return (mask.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
}
