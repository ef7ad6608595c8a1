#include "zuGrayDialog.h"

#include "KeyPreview.h"
#include "widgets/funcs.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>

TfrmZuGrayDialog::TfrmZuGrayDialog(QWidget *parent)
    : TfrmZuNoCaption(parent)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ColorToQColor(0xE7EFEF));
    setPalette(pal);
    resize(378, 238);
    new TKeyPreview(this, [this](QKeyEvent *event) { return frmZuNoCaptionKeyDown(event); });
}

bool TfrmZuGrayDialog::frmZuNoCaptionKeyDown(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        reject();
        return true;
    }
    return false;
}

void TfrmZuGrayDialog::showEvent(QShowEvent *event)
{
    TfrmZuNoCaption::showEvent(event);
    if (event->spontaneous())
        return;
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect r = frameGeometry();
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
}
