#include "zuFormNC.h"

#include "platform/UiFont.h"
#include "widgets/funcs.h"

TfrmZuNoCaption::TfrmZuNoCaption(QWidget *parent)
    : QDialog(parent)
{
    EnsureResources();
    setFont(GulimFont(12));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ColorToQColor(0xD5E3E3));
    setPalette(pal);
    setAutoFillBackground(true);
}

void TfrmZuNoCaption::SetClientSize(int width, int height)
{
    setFixedSize(width, height);
}
