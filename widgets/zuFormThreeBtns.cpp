#include "zuFormThreeBtns.h"

#include "app/ProjectInc.h"
#include "platform/Application.h"
#include "platform/Desktop.h"
#include "platform/DialogService.h"
#include "platform/Tray.h"
#include "platform/UiFont.h"
#include "widgets/ImageList.h"
#include "widgets/WindowPlacement.h"
#include "widgets/zuBlankPnl.h"
#include "widgets/zuFormThreeColorTable.h"
#include "widgets/zuImglstBtn.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QWindow>

bool InTray = false;

namespace {

// The icon box at the caption's left end, in caption coordinates.
bool inIconBox(QPoint p)
{
    return p.x() >= 1 && p.x() <= 17 && p.y() >= 1 && p.y() <= 17;
}

// The grip: three rows of dots along the diagonal, as a sizing corner usually has.
QPixmap gripImage()
{
    QPixmap grip(16, 16);
    grip.fill(Qt::transparent);
    QPainter p(&grip);
    for (int row = 0; row < 3; ++row) {
        for (int col = 2 - row; col < 3; ++col) {
            const int x = 4 + col * 4;
            const int y = 4 + row * 4;
            p.fillRect(x + 1, y + 1, 2, 2, Qt::white);
            p.fillRect(x, y, 2, 2, QColor(0x80, 0x80, 0x80));
        }
    }
    return grip;
}

void setBackground(QWidget *widget, TColor color)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, ColorToQColor(color));
    widget->setPalette(pal);
}

QString trayTip()
{
    // The notification area keeps at most 63 characters of a tip.
    return TzuPrjInfo::TitleText().left(63);
}

} // namespace

template<typename Fn>
void TfrmZuThreeButtons::StoreSetting(Fn &&write)
{
    if (zuPrjInfo)
        VandrelApplication::guarded([&] { write(*zuPrjInfo); });
}

TfrmZuThreeButtons::TfrmZuThreeButtons(QWidget *parent)
    : QWidget(parent)
{
    BuildLayout();

    m_smallIcon = LoadSmallIcon(16);
    setWindowIcon(m_smallIcon);
    btnMinimized->SetIndexButton(0);
    btnMinimized->SetIndexEnter(1);
    btnMinimized->SetIndexClick(2);
    UpdateMaximizeButton();
    btnClose->SetIndexButton(9);
    btnClose->SetIndexEnter(10);
    btnClose->SetIndexClick(11);

    const TzuPrjInfo *info = zuPrjInfo;
    SetSkinMode(info ? info->ReadBool(Settings::SkinMode) : true);
    if (info)
        m_captionTextColor = TColor(info->ReadInteger(Settings::SkinText));
    SetHue(info ? info->ReadInteger(Settings::SkinHue) : 0);

    connect(pnlCaption, &TzuBlankPanel::OnPaint, this, &TfrmZuThreeButtons::PaintCaption);
    BuildSystemMenu();

    if (info && info->ReadBootMode() == TzuPrjInfo::BootTray)
        HideToTray();
}

TfrmZuThreeButtons::~TfrmZuThreeButtons()
{
    // A window that is gone is in the notification area no longer.
    if (InTray) {
        Tray::current().hide();
        InTray = false;
    }
}

void TfrmZuThreeButtons::BuildLayout()
{
    setFont(GulimFont(12));
    setBackground(this, 0xE7EFEF);
    setAutoFillBackground(true);
    resize(439, 368);
    setMinimumSize(MinimumWidth, MinimumHeight);

    m_layout = new QVBoxLayout(this);
    m_layout->setSpacing(0);

    pnlCaption = new TzuBlankPanel(this);
    pnlCaption->setObjectName(QStringLiteral("pnlCaption"));
    pnlCaption->setFixedHeight(CaptionHeight);
    setBackground(pnlCaption, 0xE2EDEF);
    pnlCaption->installEventFilter(this);
    m_layout->addWidget(pnlCaption);

    const auto makeButton = [this](const char *name, void (TfrmZuThreeButtons::*click)()) {
        auto *button = new TzuImageListButton(pnlCaption);
        button->setObjectName(QLatin1String(name));
        button->resize(16, 17);
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QPushButton::clicked, this, click);
        return button;
    };
    btnMinimized = makeButton("btnMinimized", &TfrmZuThreeButtons::btnMinimizedClick);
    btnMaximized = makeButton("btnMaximized", &TfrmZuThreeButtons::btnMaximizedClick);
    btnClose = makeButton("btnClose", &TfrmZuThreeButtons::btnCloseClick);
    // Image buttons: a screen reader reads these names.
    btnMinimized->setAccessibleName(QStringLiteral("최소화"));
    btnMaximized->setAccessibleName(QStringLiteral("최대화"));
    btnClose->setAccessibleName(QStringLiteral("닫기"));

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("pnlClient"));
    m_layout->addWidget(m_client, 1);

    pnlStatusBar = new QWidget(this);
    pnlStatusBar->setObjectName(QStringLiteral("pnlStatusBar"));
    pnlStatusBar->setFixedHeight(24);
    pnlStatusBar->installEventFilter(this);
    // Where the desktop keeps Alt+Space for itself, the system menu is still one click away.
    pnlStatusBar->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(pnlStatusBar, &QWidget::customContextMenuRequested, this,
            [this](QPoint at) { m_systemMenu->popup(pnlStatusBar->mapToGlobal(at)); });
    m_layout->addWidget(pnlStatusBar);

    imgResize = new QLabel(pnlStatusBar);
    imgResize->setObjectName(QStringLiteral("imgResize"));
    imgResize->setPixmap(gripImage());
    imgResize->resize(16, 16);
    imgResize->move(0, 8);
    imgResize->setCursor(Qt::SizeFDiagCursor);
    imgResize->installEventFilter(this);
    imgResize->setAccessibleName(QStringLiteral("크기 조절"));
}

void TfrmZuThreeButtons::BuildSystemMenu()
{
    m_systemMenu = new QMenu(this);
    m_systemMenu->setObjectName(QStringLiteral("SystemMenu"));
    m_skinMenu = m_systemMenu->addMenu(QStringLiteral("(&S)스킨 선택...."));
    m_skinMenu->setObjectName(QStringLiteral("SkinMenu"));
    m_systemMenu->addSeparator();
    const auto add = [](QMenu *menu, const QString &text, int command,
                        const QKeySequence &shortcut = {}) {
        QAction *action = menu->addAction(text);
        action->setData(command);
        action->setShortcut(shortcut);
        // Shown in the menu only: the window has its own keys.
        action->setShortcutContext(Qt::WidgetShortcut);
    };
    add(m_systemMenu, QStringLiteral("이전 크기로(&R)"), CmdRestore);
    add(m_systemMenu, QStringLiteral("이동(&M)"), CmdMove);
    add(m_systemMenu, QStringLiteral("크기 조정(&S)"), CmdSize);
    add(m_systemMenu, QStringLiteral("최소화(&N)"), CmdMinimize);
    add(m_systemMenu, QStringLiteral("최대화(&X)"), CmdMaximize);
    m_systemMenu->addSeparator();
    add(m_systemMenu, QStringLiteral("닫기(&C)"), CmdClose, QKeySequence(Qt::ALT | Qt::Key_F4));
    add(m_skinMenu, QStringLiteral("(&A) MS 윈도우 모양"), CmdStandardCaption);
    add(m_skinMenu, QStringLiteral("(&B) 스킨 적용"), CmdSkin);
    add(m_skinMenu, QStringLiteral("(&C) 색상 변경"), CmdColorTable);

    connect(m_systemMenu, &QMenu::aboutToShow, this, &TfrmZuThreeButtons::UpdateSystemMenu);
    connect(m_systemMenu, &QMenu::triggered, this,
            [this](QAction *action) { SysCommand(action->data().toInt()); });
    m_systemMenu->installEventFilter(this);

    auto *altSpace = new QAction(this);
    altSpace->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Space));
    connect(altSpace, &QAction::triggered, this, &TfrmZuThreeButtons::ShowSystemMenu);
    addAction(altSpace);
}

void TfrmZuThreeButtons::UpdateSystemMenu()
{
    const bool maximized = isMaximized() || m_fullScreen;
    for (QAction *action : m_systemMenu->actions()) {
        switch (action->data().toInt()) {
        case CmdMaximize:
        case CmdSize:
        case CmdMove: action->setEnabled(!maximized); break;
        case CmdRestore: action->setEnabled(maximized); break;
        default: break;
        }
    }
}

void TfrmZuThreeButtons::SysCommand(int command)
{
    switch (command) {
    case CmdStandardCaption: SetSkinMode(false); break;
    case CmdSkin: SetSkinMode(true); break;
    case CmdColorTable: ShowColorTable(); break;
    case CmdSize:
    case CmdMove:
        // Tracks the mouse until the next click.
        grabMouse();
        BeginTrack(command == CmdMove ? Track::Move : Track::Size, QCursor::pos());
        break;
    case CmdMinimize: SysMinimize(); break;
    case CmdMaximize: showMaximized(); break;
    case CmdClose: close(); break;
    case CmdRestore: showNormal(); break;
    default: break;
    }
}

void TfrmZuThreeButtons::ShowSystemMenu()
{
    QPoint at;
    if (m_skinMode && pnlCaption->isVisible())
        at = pnlCaption->mapToGlobal(QPoint(isMaximized() ? 1 : 0, pnlCaption->height()));
    else
        at = m_client->mapToGlobal(QPoint(0, 0));
    m_systemMenu->popup(at);
}

TfrmThreeColorTable *TfrmZuThreeButtons::ColorTable() const
{
    return m_colorTable;
}

void TfrmZuThreeButtons::ShowColorTable()
{
    if (!m_colorTable) {
        m_colorTable = new TfrmThreeColorTable(this);
        // At the client area's top-left corner: just under the caption bar, inside the border.
        m_colorTable->move(m_client->pos());
    }
    m_colorTable->show();
    m_colorTable->raise();
    // The slider takes the arrow keys at once.
    m_colorTable->pnlThumb->setFocus();
}

void TfrmZuThreeButtons::SetHue(int hue)
{
    m_hue = hue;
    StoreSetting([hue](const TzuPrjInfo &info) { info.WriteInteger(Settings::SkinHue, hue); });

    m_activeCaption = ResourceImage(QStringLiteral("BMP_ACT_CAP"));
    QImage buttons = ResourceImage(QStringLiteral("BMP_BUTTONS"));
    m_frameColors = DefaultFrameColors;
    // The inactive look is grey and never turns.
    if (const int turn = Settings::bound(Settings::SkinHue, hue); turn > 0) {
        HueShiftBitmap(m_activeCaption, turn);
        HueShiftBitmap(buttons, turn);
        for (TColor &color : m_frameColors)
            color = HueShiftColor(color, turn);
    }

    auto *list = new TImageList(16, 17, this);
    for (int x = 0; x + 16 <= buttons.width(); x += 16)
        list->Add(buttons.copy(x, 0, 16, 17));
    for (TzuImageListButton *button : {btnMinimized, btnMaximized, btnClose})
        button->SetImageList(list);
    delete m_buttonImages;
    m_buttonImages = list;

    PaintFrameBorder();
    InvalidateCaption();
}

void TfrmZuThreeButtons::SetSkinMode(bool on)
{
    m_skinMode = on;
    SetCaptionStyle();
    pnlCaption->setVisible(on && !m_fullScreen);
    FitFrame();
    StoreSetting([on](const TzuPrjInfo &info) { info.WriteBool(Settings::SkinMode, on); });
}

void TfrmZuThreeButtons::SetCaptionStyle()
{
    const bool frameless = m_skinMode || m_fullScreen;
    if (windowFlags().testFlag(Qt::FramelessWindowHint) == frameless)
        return;
    // A new frame means a new native window, which has to be shown again.
    const bool visible = isVisible();
    setWindowFlag(Qt::FramelessWindowHint, frameless);
    if (visible)
        show();
}

void TfrmZuThreeButtons::SetFullScreen(bool on)
{
    if (on == m_fullScreen)
        return;
    if (on)
        m_maxBeforeFullScreen = isMaximized();
    m_fullScreen = on;
    pnlCaption->setVisible(m_skinMode && !on);
    SetCaptionStyle();
    if (on) {
        setWindowState(Qt::WindowFullScreen);
        FitToMonitor();
        raise();
        activateWindow();
    } else {
        setWindowState(m_maxBeforeFullScreen ? Qt::WindowMaximized : Qt::WindowNoState);
        FitFrame();
    }
}

void TfrmZuThreeButtons::SetActiveLook(bool active)
{
    m_activeLook = active;
    if (isMinimized() || !m_skinMode)
        return;
    PaintFrameBorder();
    InvalidateCaption();
}

void TfrmZuThreeButtons::SetCaptionTextColor(TColor color)
{
    m_captionTextColor = color;
    m_captionCache = QPixmap();
    StoreSetting(
        [color](const TzuPrjInfo &info) { info.WriteInteger(Settings::SkinText, int(color)); });
}

void TfrmZuThreeButtons::InvalidateCaption()
{
    m_captionCache = QPixmap();
    pnlCaption->update();
}

void TfrmZuThreeButtons::PaintFrameBorder()
{
    update(QRegion(rect()) - QRegion(m_layout->contentsRect()));
}

void TfrmZuThreeButtons::DrawFrameBorder(QPainter &painter, QSize size, const FrameColors &colors)
{
    const int w = size.width();
    const int h = size.height();
    // Each segment has its start point and not its end point, as lines are drawn. All of them
    // are horizontal or vertical.
    const auto polyline = [&painter](TColor color, std::initializer_list<QPoint> points) {
        const QColor c = ColorToQColor(color);
        const QPoint *from = points.begin();
        for (const QPoint *to = from + 1; to != points.end(); from = to++) {
            const QPoint step((to->x() > from->x()) - (to->x() < from->x()),
                              (to->y() > from->y()) - (to->y() < from->y()));
            const QPoint last = *to - step;
            painter.fillRect(
                QRect(QPoint(std::min(from->x(), last.x()), std::min(from->y(), last.y())),
                      QPoint(std::max(from->x(), last.x()), std::max(from->y(), last.y()))),
                c);
        }
    };
    polyline(colors[0], {{0, h - 1}, {0, 0}, {w - 1, 0}, {w - 1, h - 1}, {0, h - 1}});
    polyline(colors[3], {{1, h - 2}, {1, 1}, {w - 3, 1}, {w - 3, h - 3}, {2, h - 3}});
    polyline(colors[2], {{w - 4, 2}, {2, 2}});
    polyline(colors[1], {{2, 2}, {2, h - 2}, {w - 2, h - 2}, {w - 2, 0}});
}

void TfrmZuThreeButtons::paintEvent(QPaintEvent *)
{
    if (!m_skinMode || isMinimized())
        return;
    QPainter painter(this);
    painter.translate(m_frameRect.topLeft());
    DrawFrameBorder(painter, m_frameRect.size(),
                    m_activeLook ? m_frameColors : InactiveFrameColors);
}

QString TfrmZuThreeButtons::CaptionText(int width) const
{
    return FitCaption(windowTitle(), width - 40,
                      pnlCaption->fontMetrics().horizontalAdvance(QLatin1Char('M')));
}

void TfrmZuThreeButtons::PaintCaption(TzuBlankPanel *sender, QPainter *canvas)
{
    const QSize size = sender->size();
    if (m_captionCache.size() != size) {
        // Drawn off the screen and copied in one piece, so that nothing flickers.
        QPixmap bitmap(size);
        QPainter p(&bitmap);
        p.drawImage(QRect(QPoint(0, 0), size),
                    m_activeLook ? m_activeCaption
                                 : ResourceImage(QStringLiteral("BMP_INACT_CAP")));
        p.setFont(font());
        p.setPen(ColorToQColor(m_activeLook ? m_captionTextColor : 0xC0C0C0));
        p.drawText(20, 3 + p.fontMetrics().ascent(), CaptionText(size.width()));
        p.drawPixmap(2, 1, m_smallIcon.pixmap(16, 16));
        p.end();
        m_captionCache = bitmap;
    }
    canvas->drawPixmap(0, 0, m_captionCache);
}

void TfrmZuThreeButtons::UpdateMaximizeButton()
{
    const int first = isMaximized() ? 6 : 3;
    btnMaximized->SetIndexButton(first);
    btnMaximized->SetIndexEnter(first + 1);
    btnMaximized->SetIndexClick(first + 2);
}

void TfrmZuThreeButtons::FitToWorkArea()
{
    if (m_fullScreen)
        return;
    const TMonitors monitors = SystemMonitors();
    const int m = MonitorFromRect(monitors, frameGeometry());
    if (m >= 0)
        SetFrameBounds(FitToWorkAreaBounds(monitors[m]));
}

void TfrmZuThreeButtons::FitToMonitor()
{
    const TMonitors monitors = SystemMonitors();
    const int m = MonitorFromRect(monitors, frameGeometry());
    if (m >= 0)
        SetFrameBounds(FitToMonitorBounds(monitors[m]));
}

void TfrmZuThreeButtons::SetFrameBounds(const QRect &bounds)
{
    // The desktop places a maximised or full-screen window itself (moving it would end that
    // state), so the frame is drawn as if the window had these bounds: what lies outside the
    // window's real bounds, such as the left, top and right border, is not seen.
    m_frameRect = QRect(bounds.topLeft() - geometry().topLeft(), bounds.size());
    const int b = m_skinMode ? BorderWidth : 0;
    const QRect inner = m_frameRect.adjusted(b, b, -b, -b);
    m_layout->setContentsMargins(std::max(0, inner.left()), std::max(0, inner.top()),
                                 std::max(0, width() - inner.left() - inner.width()),
                                 std::max(0, height() - inner.top() - inner.height()));
    update();
}

void TfrmZuThreeButtons::FitFrame()
{
    if (m_fullScreen)
        FitToMonitor();
    else if (isMaximized())
        FitToWorkArea();
    else
        SetFrameBounds(geometry());
}

void TfrmZuThreeButtons::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    FitFrame();
}

void TfrmZuThreeButtons::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (isMaximized() || m_fullScreen)
        FitFrame();
}

void TfrmZuThreeButtons::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // Not before the frame is built.
    if (!m_systemMenu)
        return;
    switch (event->type()) {
    case QEvent::ActivationChange: SetActiveLook(isActiveWindow()); break;
    case QEvent::WindowTitleChange:
    case QEvent::FontChange: InvalidateCaption(); break;
    case QEvent::WindowStateChange: {
        UpdateMaximizeButton();
        if (!isMinimized())
            FitFrame();
        const auto old = static_cast<QWindowStateChangeEvent *>(event)->oldState();
        if (isMinimized() && !old.testFlag(Qt::WindowMinimized) && isVisible()) {
            // Shift counts as it is at the moment of minimising; the hiding waits until the
            // state change is through.
            const bool shift = Desktop::current().keyboardModifiers().testFlag(Qt::ShiftModifier);
            QMetaObject::invokeMethod(
                this, [this, shift] { AppMinimized(shift); }, Qt::QueuedConnection);
        }
        break;
    }
    default: break;
    }
}

void TfrmZuThreeButtons::AppMinimized(bool shiftHeld)
{
    if (!isMinimized() || !isVisible())
        return;
    if (shiftHeld || (zuPrjInfo && zuPrjInfo->ReadFlag(TzuPrjInfo::SelMiniTray)))
        HideToTray();
}

void TfrmZuThreeButtons::HideToTray()
{
    if (!Tray::current().show(m_smallIcon, trayTip(), [this] { RestoreFromTray(); })) {
        InTray = false;
        // Not shown yet (boot mode 3): it starts minimised instead.
        if (!isVisible())
            setWindowState(windowState() | Qt::WindowMinimized);
        return;
    }
    m_maxBeforeTray = isMaximized();
    hide();
    InTray = true;
}

void TfrmZuThreeButtons::RestoreFromTray()
{
    Qt::WindowStates state = windowState() & ~Qt::WindowMinimized;
    state.setFlag(Qt::WindowMaximized, m_maxBeforeTray);
    setWindowState(state);
    show();
    Tray::current().hide();
    InTray = false;
    raise();
    activateWindow();
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

void TfrmZuThreeButtons::ToggleMaximized()
{
    if (isMaximized())
        showNormal();
    else
        showMaximized();
}

void TfrmZuThreeButtons::btnMinimizedClick()
{
    SysMinimize();
}

void TfrmZuThreeButtons::btnMaximizedClick()
{
    ToggleMaximized();
}

void TfrmZuThreeButtons::btnCloseClick()
{
    close();
}

void TfrmZuThreeButtons::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous() && !m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TfrmZuThreeButtons::FormShow()
{
    const TzuPrjInfo *info = zuPrjInfo;
    if (!info)
        return;
    const QPoint saved(info->ReadInteger(Settings::Left), info->ReadInteger(Settings::Top));
    // The saved bounds are the normal ones, also for a window shown maximised.
    const Qt::WindowStates state = windowState();
    move(StartPosition(SystemMonitors(), saved, QCoreApplication::arguments()));
    resize(info->ReadInteger(Settings::Width), info->ReadInteger(Settings::Height));
    if (windowState() != state)
        setWindowState(state);
    switch (info->ReadBootMode()) {
    case TzuPrjInfo::BootMaximized: setWindowState(windowState() | Qt::WindowMaximized); break;
    case TzuPrjInfo::BootFullScreen: SetFullScreen(true); break;
    case TzuPrjInfo::BootTray:
        // Without a notification area it starts minimised; some desktops map a new window
        // normally whatever it asks for, so the request is repeated once it is there.
        if (isMinimized())
            QMetaObject::invokeMethod(this, &QWidget::showMinimized, Qt::QueuedConnection);
        break;
    default:
        if (info->ReadBool(Settings::Maximized))
            setWindowState(windowState() | Qt::WindowMaximized);
        break;
    }
}

bool TfrmZuThreeButtons::FormCloseQuery()
{
    if (zuPrjInfo && zuPrjInfo->ReadFlag(TzuPrjInfo::SelConfirmExit)) {
        const auto answer = DialogService::current().message(
            {this, DialogService::Icon::Question, QStringLiteral("Confirm"),
             QStringLiteral("Vandrel 을(를) 종료할까요?"),
             DialogService::Ok | DialogService::Cancel, DialogService::Ok});
        if (answer != DialogService::Ok)
            return false;
    }
    if (InTray) {
        Tray::current().hide();
        InTray = false;
    }
    // A settings file that cannot be written is reported; the window closes all the same.
    StoreSetting([this](const TzuPrjInfo &) { SavePlacement(); });
    return true;
}

void TfrmZuThreeButtons::SavePlacement()
{
    // A window never shown (boot mode 3, never restored) has no placement of its own.
    if (!m_shown)
        return;
    const TzuPrjInfo &info = *zuPrjInfo;
    const bool maximized = windowState().testFlag(Qt::WindowMaximized);
    info.WriteBool(Settings::Maximized, maximized && !m_fullScreen);
    if (maximized || m_fullScreen) {
        const QRect saved(info.ReadInteger(Settings::Left), info.ReadInteger(Settings::Top),
                          info.ReadInteger(Settings::Width), info.ReadInteger(Settings::Height));
        const QPoint moved = ClosePosition(SystemMonitors(), frameGeometry(), saved);
        if (moved != saved.topLeft()) {
            info.WriteInteger(Settings::Left, moved.x());
            info.WriteInteger(Settings::Top, moved.y());
        }
        return;
    }
    // Position of the frame, size of the window: what showing sets again.
    info.WriteInteger(Settings::Left, pos().x());
    info.WriteInteger(Settings::Top, pos().y());
    info.WriteInteger(Settings::Width, width());
    info.WriteInteger(Settings::Height, height());
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

bool TfrmZuThreeButtons::eventFilter(QObject *watched, QEvent *event)
{
    const auto mouse = [event] { return static_cast<QMouseEvent *>(event); };
    if (watched == pnlCaption) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: return pnlCaptionMouseDown(mouse());
        case QEvent::MouseButtonDblClick: return pnlCaptionDblClick(mouse());
        case QEvent::MouseMove:
            if (m_track == Track::None)
                break;
            TrackTo(mouse()->globalPosition().toPoint());
            return true;
        case QEvent::MouseButtonRelease:
            if (m_track != Track::None)
                EndTrack();
            else if (m_iconPressed && inIconBox(mouse()->position().toPoint()))
                ShowSystemMenu();
            m_iconPressed = false;
            return true;
        case QEvent::Resize: {
            const int w = pnlCaption->width();
            btnMinimized->move(w - 54, 0);
            btnMaximized->move(w - 36, 0);
            btnClose->move(w - 18, 0);
            m_captionCache = QPixmap();
            break;
        }
        default: break;
        }
    } else if (watched == pnlStatusBar && event->type() == QEvent::Resize) {
        pnlStatusBarResize();
    } else if (watched == imgResize) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: imgResizeMouseDown(mouse()); return true;
        case QEvent::MouseMove:
            if (m_track == Track::Size)
                TrackTo(mouse()->globalPosition().toPoint());
            return true;
        case QEvent::MouseButtonRelease: EndTrack(); return true;
        default: break;
        }
    } else if (watched == m_systemMenu
               && (event->type() == QEvent::MouseButtonPress
                   || event->type() == QEvent::MouseButtonDblClick)) {
        // A second click on the icon while its menu is open is a double click: close.
        const QPoint at = pnlCaption->mapFromGlobal(mouse()->globalPosition().toPoint());
        if (m_menuOpened.isValid() && pnlCaption->isVisible() && inIconBox(at)
            && m_menuOpened.elapsed() <= QApplication::doubleClickInterval()) {
            m_menuOpened.invalidate();
            m_systemMenu->close();
            close();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool TfrmZuThreeButtons::pnlCaptionMouseDown(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    m_iconPressed = false;
    if (event->button() == Qt::LeftButton) {
        if (inIconBox(at)) {
            m_iconPressed = true;
            m_menuOpened.start();
        } else {
            BeginTrack(Track::Move, event->globalPosition().toPoint());
        }
        return true;
    }
    if ((event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) && at.x() >= 1
        && at.x() <= 17) {
        ShowColorTable();
        return true;
    }
    return false;
}

bool TfrmZuThreeButtons::pnlCaptionDblClick(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return false;
    m_iconPressed = false;
    if (inIconBox(event->position().toPoint()))
        close();
    else
        ToggleMaximized();
    return true;
}

void TfrmZuThreeButtons::pnlStatusBarResize()
{
    imgResize->move(pnlStatusBar->width() - imgResize->width(), 8);
}

void TfrmZuThreeButtons::imgResizeMouseDown(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // The desktop's own sizing where it offers one; else the window sizes itself.
    QWindow *handle = windowHandle();
    if (handle && handle->startSystemResize(Qt::BottomEdge | Qt::RightEdge))
        return;
    BeginTrack(Track::Size, event->globalPosition().toPoint());
}

void TfrmZuThreeButtons::BeginTrack(Track track, QPoint cursor)
{
    if (isMaximized() || m_fullScreen) {
        m_track = Track::None;
        return;
    }
    m_track = track;
    m_trackRect = frameGeometry();
    m_trackCursor = cursor;
    m_grab = cursor - m_trackRect.topLeft();
    m_snapArea = SnapArea(SystemMonitors(), m_trackRect);
}

void TfrmZuThreeButtons::TrackTo(QPoint cursor)
{
    if (m_track == Track::Size) {
        const QPoint delta = cursor - m_trackCursor;
        resize(m_trackRect.width() + delta.x(), m_trackRect.height() + delta.y());
    } else if (m_track == Track::Move && cursor != m_trackCursor) {
        // The drag proposes the last place moved by the cursor's step; snapping may change it.
        const QRect proposed = m_trackRect.translated(cursor - m_trackCursor);
        m_trackRect = SnapMovingRect(proposed, cursor, m_grab, m_snapArea, frameGeometry().size());
        move(m_trackRect.topLeft());
        m_trackCursor = cursor;
    }
}

void TfrmZuThreeButtons::EndTrack()
{
    m_track = Track::None;
    if (mouseGrabber() == this)
        releaseMouse();
}

void TfrmZuThreeButtons::mouseMoveEvent(QMouseEvent *event)
{
    // Only a move or size from the system menu tracks here.
    if (m_track != Track::None && mouseGrabber() == this)
        TrackTo(event->globalPosition().toPoint());
    QWidget::mouseMoveEvent(event);
}

void TfrmZuThreeButtons::mousePressEvent(QMouseEvent *event)
{
    // A move or size from the system menu ends with the next click.
    if (m_track != Track::None && mouseGrabber() == this) {
        EndTrack();
        return;
    }
    QWidget::mousePressEvent(event);
}
