#pragma once

#include "widgets/funcs.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <array>

class QAction;
class QLabel;
class QMenu;
class QMouseEvent;
class QPainter;
class QVBoxLayout;
class TImageList;
class TfrmThreeColorTable;
class TzuBlankPanel;
class TzuImageListButton;

// True while the main window is hidden in the notification area.
extern bool InTray;

// The program's top-level window frame: a painted caption bar with the program icon, the title
// and three buttons, a painted four-colour border, a status bar with a resize grip, its own
// system menu, and the behaviour the settings control: skin mode and hue, remembered placement,
// the boot modes, hiding to the notification area, the exit question and edge snapping.
// Descendants put their panes into ClientArea().
class TfrmZuThreeButtons : public QWidget
{
    Q_OBJECT
public:
    using FrameColors = std::array<TColor, 4>;

    static constexpr FrameColors DefaultFrameColors = {0x8C4129, 0xE0987F, 0xF7B7A1, 0xFFCFBC};
    static constexpr FrameColors InactiveFrameColors = {0x767676, 0x999999, 0xB7B7B7, 0xCECECE};
    static constexpr int CaptionHeight = 19;
    // The painted border's width on every side.
    static constexpr int BorderWidth = 3;
    static constexpr int MinimumWidth = 300;
    static constexpr int MinimumHeight = 200;

    // Commands of the system menu.
    enum Command {
        CmdStandardCaption = 2000,
        CmdSkin = 2001,
        CmdColorTable = 2002,
        CmdSize = 0xF000,
        CmdMove = 0xF010,
        CmdMinimize = 0xF020,
        CmdMaximize = 0xF030,
        CmdClose = 0xF060,
        CmdRestore = 0xF120,
    };

    explicit TfrmZuThreeButtons(QWidget *parent = nullptr);
    ~TfrmZuThreeButtons() override;

    TzuBlankPanel *pnlCaption = nullptr;
    TzuImageListButton *btnMinimized = nullptr;
    TzuImageListButton *btnMaximized = nullptr;
    TzuImageListButton *btnClose = nullptr;
    QWidget *pnlStatusBar = nullptr;
    QLabel *imgResize = nullptr;

    QWidget *ClientArea() const { return m_client; }

    int Hue() const { return m_hue; }
    bool SkinMode() const { return m_skinMode; }
    bool ActiveLook() const { return m_activeLook; }
    bool FullScreen() const { return m_fullScreen; }
    TColor CaptionTextColor() const { return m_captionTextColor; }
    const FrameColors &FrameColor() const { return m_frameColors; }
    QMenu *SystemMenu() const { return m_systemMenu; }

    // Sets, stores and applies the hue rotation in 240ths of a turn.
    virtual void SetHue(int hue);
    // Painted caption and border, or the desktop's caption; stored.
    virtual void SetSkinMode(bool on);
    virtual void SetFullScreen(bool on);
    // The active or the inactive look of caption and border.
    virtual void SetActiveLook(bool active);
    // Brings the window back from the notification area, maximised if it was.
    virtual void RestoreFromTray();

    // Puts the icon into the notification area and hides the window; where the desktop refuses
    // the icon, the window only stays minimised.
    void HideToTray();
    // Stores the caption text colour; the caller repaints the caption.
    void SetCaptionTextColor(TColor color);
    // Opens the colour table inside the window under the caption bar, or shows the one open.
    void ShowColorTable();
    // The open colour table, or nullptr.
    TfrmThreeColorTable *ColorTable() const;
    void ShowSystemMenu();
    // Enables the system menu's commands for the window's state.
    void UpdateSystemMenu();
    // Carries out a command of the system menu.
    void SysCommand(int command);
    void ToggleMaximized();
    // The minimise command of the window (the same as the frame's minimise button).
    virtual void SysMinimize();
    // Shows the window again from minimised or hidden, keeping a maximised state, and brings
    // it to the front.
    void RestoreAndRaise();

    // The title as the caption bar shows it when the bar is width pixels wide: cut to whole
    // characters with "..." when it does not fit.
    QString CaptionText(int width) const;
    // The border of a window of the given size.
    static void DrawFrameBorder(QPainter &painter, QSize size, const FrameColors &colors);

signals:
    // The window agreed to close; the program ends with it.
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

    // The close query: the optional exit question, then the placement is saved.
    virtual bool FormCloseQuery();
    // The first showing: the saved placement and the boot mode.
    void FormShow();
    void FitToWorkArea();
    void FitToMonitor();
    // Repaints the border.
    void PaintFrameBorder();

private:
    enum class Track { None, Move, Size };

    void BuildLayout();
    void BuildSystemMenu();
    void PaintCaption(TzuBlankPanel *sender, QPainter *canvas);
    // The caption is drawn anew at its next paint.
    void InvalidateCaption();
    void SetCaptionStyle();
    // Draws the frame for a window with these bounds (screen coordinates).
    void SetFrameBounds(const QRect &bounds);
    // The frame for the window's state: maximised, full screen or normal.
    void FitFrame();
    void UpdateMaximizeButton();
    void AppMinimized(bool shiftHeld);
    void SavePlacement();
    // Runs a write to the settings file; a failure is shown and the caller goes on.
    template<typename Fn>
    void StoreSetting(Fn &&write);

    bool pnlCaptionMouseDown(QMouseEvent *event);
    bool pnlCaptionDblClick(QMouseEvent *event);
    void pnlStatusBarResize();
    void imgResizeMouseDown(QMouseEvent *event);
    void btnMinimizedClick();
    void btnMaximizedClick();
    void btnCloseClick();

    // The window's own move and size tracking: by the caption, the grip or the system menu.
    void BeginTrack(Track track, QPoint cursor);
    void TrackTo(QPoint cursor);
    void EndTrack();

    QWidget *m_client = nullptr;
    QVBoxLayout *m_layout = nullptr;

    int m_hue = 0;
    bool m_skinMode = true;
    bool m_activeLook = false;
    TColor m_captionTextColor = 0xFFFFFF;
    bool m_fullScreen = false;
    QIcon m_smallIcon;
    FrameColors m_frameColors = DefaultFrameColors;
    QImage m_activeCaption; // turned by the hue; the inactive one never turns
    QPixmap m_captionCache;
    bool m_maxBeforeFullScreen = false;
    bool m_maxBeforeTray = false;
    QMenu *m_systemMenu = nullptr;
    QMenu *m_skinMenu = nullptr;
    TImageList *m_buttonImages = nullptr;
    // Frees itself when closed; the reference follows.
    QPointer<TfrmThreeColorTable> m_colorTable;
    bool m_shown = false;
    // Where the frame is drawn, in window coordinates.
    QRect m_frameRect;

    Track m_track = Track::None;
    QPoint m_grab;
    QRect m_snapArea;
    QRect m_trackRect;
    QPoint m_trackCursor;
    bool m_iconPressed = false;
    // Since the system menu was opened from the icon: a second click there closes the window.
    QElapsedTimer m_menuOpened;
};
