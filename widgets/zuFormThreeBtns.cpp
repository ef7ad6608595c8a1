#include "zuFormThreeBtns.h"

#include "app/ProjectInc.h"
#include "platform/DialogService.h"
#include "platform/UiFont.h"
#include "widgets/funcs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QVBoxLayout>

bool InTray = false;

TfrmZuThreeButtons::TfrmZuThreeButtons(QWidget *parent)
    : QWidget(parent)
{
    setFont(GulimFont(12));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ColorToQColor(0xE7EFEF));
    setPalette(pal);
    setAutoFillBackground(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("pnlClient"));
    layout->addWidget(m_client, 1);

    pnlStatusBar = new QWidget(this);
    pnlStatusBar->setObjectName(QStringLiteral("pnlStatusBar"));
    pnlStatusBar->setFixedHeight(24);
    layout->addWidget(pnlStatusBar);
}

void TfrmZuThreeButtons::SysMinimize()
{
    showMinimized();
}

void TfrmZuThreeButtons::RestoreAndRaise()
{
    if (isMinimized() || !isVisible()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
    }
    raise();
    activateWindow();
}

bool TfrmZuThreeButtons::FormCloseQuery()
{
    if (!zuPrjInfo || !zuPrjInfo->ReadFlag(TzuPrjInfo::SelConfirmExit))
        return true;
    const auto answer = DialogService::current().message(
        {this, DialogService::Icon::Question, QStringLiteral("Confirm"),
         QStringLiteral("Vandrel 을(를) 종료할까요?"), DialogService::Ok | DialogService::Cancel,
         DialogService::Ok});
    return answer == DialogService::Ok;
}

void TfrmZuThreeButtons::closeEvent(QCloseEvent *event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    emit closed();
}
