#pragma once

#include "ImageList.h"
#include "zuPicCBtn.h"

#include <array>

// A button drawn from an image list: separate images for the normal, mouse-over, pressed and
// disabled looks, and an optional mask whose white pixels do not take presses. Without an
// image list it is a system push button showing its caption.
class TzuImageListButton : public TzuPictureCButton
{
    Q_OBJECT
    Q_PROPERTY(TImageList *ImageList READ ImageList WRITE SetImageList)
    Q_PROPERTY(int IndexButton READ IndexButton WRITE SetIndexButton)
    Q_PROPERTY(int IndexEnter READ IndexEnter WRITE SetIndexEnter)
    Q_PROPERTY(int IndexClick READ IndexClick WRITE SetIndexClick)
    Q_PROPERTY(int IndexDisable READ IndexDisable WRITE SetIndexDisable)
    Q_PROPERTY(int IndexMask READ IndexMask WRITE SetIndexMask)
public:
    explicit TzuImageListButton(QWidget *parent = nullptr);

    // The looks, in the order of their indices.
    enum Look { LookNormal, LookMouseOver, LookPressed, LookDisabled, LookMask };

    TImageList *ImageList() const { return m_imageList; }
    void SetImageList(TImageList *value);

    // The image index of a look, -1 for none.
    int Index(int look) const;
    void SetIndex(int look, int value);
    int IndexButton() const { return Index(LookNormal); }
    void SetIndexButton(int value) { SetIndex(LookNormal, value); }
    int IndexEnter() const { return Index(LookMouseOver); }
    void SetIndexEnter(int value) { SetIndex(LookMouseOver, value); }
    int IndexClick() const { return Index(LookPressed); }
    void SetIndexClick(int value) { SetIndex(LookPressed, value); }
    int IndexDisable() const { return Index(LookDisabled); }
    void SetIndexDisable(int value) { SetIndex(LookDisabled, value); }
    int IndexMask() const { return Index(LookMask); }
    void SetIndexMask(int value) { SetIndex(LookMask, value); }

    // The look a paint shows, and the image it draws (-1 for none).
    Look CurrentLook(bool pushed) const;
    int ImageFor(Look look) const;

    void DrawFace(QPainter &target, bool pushed) override;
    // Outside a white pixel of the mask image.
    bool HitTest(int x, int y) override;

protected:
    bool OwnerDraw() const override { return m_imageList != nullptr; }

private:
    TImageList *m_imageList = nullptr;
    std::array<int, 5> m_indices = {-1, -1, -1, -1, -1};
    QMetaObject::Connection m_listGone;
};
