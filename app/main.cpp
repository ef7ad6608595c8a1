#include "main.h"

#include "app/ProjectInc.h"
#include "navigator/MenuTree.h"
#include "platform/UiFont.h"
#include "records/book.h"
#include "widgets/funcs.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QProgressBar>

TfrmMainVR *frmMainVR = nullptr;

TfrmMainVR::TfrmMainVR(QWidget *parent)
    : TfrmZuThreeButtons(parent)
{
    setObjectName(QStringLiteral("frmMainVR"));
    resize(791, 714);

    auto *layout = new QHBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    MenuAndTree = new TfrmMenuAndTree(ClientArea());
    MenuAndTree->setObjectName(QStringLiteral("MenuAndTree"));
    MenuAndTree->setFont(GulimFont(12));
    layout->addWidget(MenuAndTree, 1);

    Book = new TfrmBook(ClientArea());
    Book->setObjectName(QStringLiteral("Book"));
    Book->setFont(GulimFont(12));
    Book->setFixedWidth(BookWidth);
    QPalette pal = Book->palette();
    pal.setColor(QPalette::Window, ColorToQColor(0xE7EFEF));
    Book->setPalette(pal);
    Book->setAutoFillBackground(true);
    layout->addWidget(Book);

    bar = new QProgressBar(pnlStatusBar);
    bar->setObjectName(QStringLiteral("bar"));
    bar->setGeometry(5, 3, 161, 16);
    bar->setTextVisible(false);
    bar->setValue(0);

    // Key preview: the window sees keys before whichever control has the focus.
    qApp->installEventFilter(this);

    FormCreate();
    frmMainVR = this;
}

TfrmMainVR::~TfrmMainVR()
{
    if (frmMainVR == this)
        frmMainVR = nullptr;
}

void TfrmMainVR::FormCreate()
{
    setWindowTitle(TzuPrjInfo::TitleText());
}

bool TfrmMainVR::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->window() == this)
        return FormKeyDown(static_cast<QKeyEvent *>(event));
    return TfrmZuThreeButtons::eventFilter(watched, event);
}

bool TfrmMainVR::FormKeyDown(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        SysMinimize();
        return true;
    }
    return false;
}

void TfrmMainVR::WMCopyData()
{
    RestoreAndRaise();
}
