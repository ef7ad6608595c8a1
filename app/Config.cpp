#include "Config.h"

#include "ProjectInc.h"
#include "SyncRunner.h"
#include "SyncSettings.h"
#include "main.h"
#include "picker/FolderPicker.h"
#include "platform/Application.h"
#include "platform/DialogService.h"
#include "platform/Paths.h"
#include "platform/UiFont.h"
#include "records/History.h"
#include "widgets/funcs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFontMetrics>
#include <QRadioButton>

#include <array>

namespace {

// The text up to and including its last delimiter; empty when it has none.
QString folderPart(const QString &text)
{
    for (qsizetype i = text.size() - 1; i >= 0; --i)
        if (Paths::EndsComponent(text.at(i)))
            return text.left(i + 1);
    return {};
}

QFont buttonFont()
{
    QFont font(QStringLiteral("Arial"));
    // Not the dialog's fixed-width style: where Arial is missing, the desktop's stand-in for it
    // (Nimbus Sans, Liberation Sans) has its widths; fixed-width dots do not fit the buttons.
    font.setStyleHint(QFont::AnyStyle);
    font.setFamilies({QStringLiteral("Arial")});
    font.setPixelSize(13);
    font.setBold(true);
    return font;
}

TzuGradiButton *smallButton(const QString &text, const char *name, int tag, const QRect &geometry,
                            TfrmBlueDialog *parent)
{
    auto *button = new TzuGradiButton(text, parent->ClientArea());
    button->SetColors(parent->zuGradiColors1);
    button->setObjectName(QString::fromLatin1(name));
    SetTag(button, tag);
    // The buttons are a few pixels wide: where the desktop's stand-in for Arial is wider, the
    // text gets smaller instead of being cut.
    QFont font = buttonFont();
    while (font.pixelSize() > 8
           && (QFontMetrics(font).horizontalAdvance(text) > geometry.width() - 4
               || QFontMetrics(font).ascent() > geometry.height() - 4))
        font.setPixelSize(font.pixelSize() - 1);
    button->setFont(font);
    button->setAutoDefault(false);
    button->setGeometry(geometry);
    return button;
}

TPathPanel *pathPanel(const char *name, const QRect &geometry, QWidget *parent)
{
    auto *panel = new TPathPanel(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setGeometry(geometry);
    return panel;
}

QLabel *folderIcon(const char *name, int left, int top, QWidget *parent)
{
    auto *image = new QLabel(parent);
    image->setObjectName(QString::fromLatin1(name));
    image->setPixmap(QPixmap(QStringLiteral(":/images/tree-folder.png")));
    image->setGeometry(left, top, 16, 16);
    return image;
}

// The directories as the dialog and the toolbar name them for a screen reader.
QString directoryName(int number)
{
    return QStringLiteral("데이터 디렉토리 %1").arg(number);
}

// Directory 0 is the data directory, 1 and 2 the extra ones.
int extraSelector(int index)
{
    return index == 1 ? TzuPrjInfo::SelSecondDir : TzuPrjInfo::SelThirdDir;
}

QString readDirectory(int index)
{
    return index == 0 ? zuPrjInfo->ReadDataDir() : zuPrjInfo->ReadExtraDir(extraSelector(index));
}

void writeDirectory(int index, const QString &dir)
{
    if (index == 0)
        zuPrjInfo->WriteDataDir(dir);
    else
        zuPrjInfo->WriteExtraDir(extraSelector(index), dir);
}

} // namespace

TRadioGroup::TRadioGroup(const QString &title, const QStringList &items, QWidget *parent)
    : QGroupBox(title, parent)
    , Buttons(new QButtonGroup(this))
{
    for (int i = 0; i < items.size(); ++i) {
        auto *radio = new QRadioButton(items.at(i), this);
        radio->setObjectName(QStringLiteral("radPrgStart%1").arg(i));
        radio->setGeometry(8, 17 + i * 18, 134, 18);
        Buttons->addButton(radio, i);
    }
}

QRadioButton *TRadioGroup::Item(int index) const
{
    return static_cast<QRadioButton *>(Buttons->button(index));
}

int TRadioGroup::Count() const
{
    return int(Buttons->buttons().size());
}

int TRadioGroup::ItemIndex() const
{
    return Buttons->checkedId();
}

void TRadioGroup::SetItemIndex(int index)
{
    if (index >= 0 && index < Count()) {
        Item(index)->setChecked(true);
        return;
    }
    // An exclusive group never lets the last checked button go.
    Buttons->setExclusive(false);
    for (QAbstractButton *button : Buttons->buttons())
        button->setChecked(false);
    Buttons->setExclusive(true);
}

TPathPanel::TPathPanel(QWidget *parent)
    : TzuColorPanel(parent)
{
    SetEdgeColors(Edge);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setFont(GulimFont(13));
    // One pixel of edge, three of inner border.
    setContentsMargins(4, 1, 4, 1);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ColorToQColor(Background));
    setPalette(pal);
    setAutoFillBackground(true);
}

TfrmConfig::TfrmConfig(QWidget *parent)
    : TfrmBlueDialog(parent)
{
    EnsureResources();
    setObjectName(QStringLiteral("frmConfig"));
    setWindowTitle(QStringLiteral("환경설정"));
    SetClientSize(380, 253);

    Label2 = new QLabel(QStringLiteral("데이터 디렉토리"), ClientArea());
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(10, 34);
    Label2->adjustSize();
    Image1 = folderIcon("Image1", 11, 49, ClientArea());
    Image2 = folderIcon("Image2", 11, 70, ClientArea());
    Image3 = folderIcon("Image3", 11, 92, ClientArea());

    pnlDirData = pathPanel("pnlDirData", QRect(33, 50, 294, 19), ClientArea());
    btnDirData = smallButton(QStringLiteral("..."), "btnDirData", 0, QRect(332, 51, 18, 18), this);
    pnlDir2nd = pathPanel("pnlDir2nd", QRect(33, 72, 294, 19), ClientArea());
    zuGradiButton1 =
        smallButton(QStringLiteral("..."), "zuGradiButton1", 1, QRect(332, 73, 18, 18), this);
    btnEraseDir2 =
        smallButton(QStringLiteral("x"), "btnEraseDir2", 2, QRect(353, 73, 19, 18), this);
    pnlDir3rd = pathPanel("pnlDir3rd", QRect(33, 93, 294, 20), ClientArea());
    zuGradiButton2 =
        smallButton(QStringLiteral("..."), "zuGradiButton2", 2, QRect(332, 94, 18, 19), this);
    btnEraseDir3 =
        smallButton(QStringLiteral("x"), "btnEraseDir3", 3, QRect(353, 94, 19, 19), this);

    radPrgStart = new TRadioGroup(QStringLiteral("프로그램 시작"),
                                  {QStringLiteral("이전 크기로"), QStringLiteral("최대 크기로"),
                                   QStringLiteral("전체 크기로"), QStringLiteral("Tray 로 숨기")},
                                  ClientArea());
    radPrgStart->setObjectName(QStringLiteral("radPrgStart"));
    radPrgStart->setGeometry(11, 126, 150, 91);
    chkToTray = new QCheckBox(QStringLiteral("최소화되면 Tray 로 숨기"), ClientArea());
    chkToTray->setObjectName(QStringLiteral("chkToTray"));
    chkToTray->setGeometry(166, 132, 207, 19);
    chkToTray->setAccessibleDescription(
        QStringLiteral("최소화하면 작업 표시줄 대신 알림 영역에 아이콘으로 숨깁니다"));

    labHistory = new QLabel(ClientArea());
    labHistory->setObjectName(QStringLiteral("labHistory"));
    labHistory->setGeometry(166, 156, 207, 58);
    labHistory->setWordWrap(true);
    labHistory->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    labHistory->setFont(GulimFont(11));
    labHistory->hide();

    btnSync = new TzuGradiButton(QStringLiteral("동기화 설정..."), ClientArea());
    btnSync->setObjectName(QStringLiteral("btnSync"));
    btnSync->SetColors(zuGradiColors1);
    btnSync->setGeometry(11, 220, 110, 22);
    btnSync->setAccessibleDescription(
        QStringLiteral("CardDAV 서버와 연락처를 동기화할 계정을 정합니다"));
    connect(btnSync, &QPushButton::clicked, this, [this] {
        VandrelApplication::guarded([this] {
            if (zuPrjInfo && RunSyncSettingsDialog(this, zuPrjInfo->settings()) && frmMainVR
                && frmMainVR->Sync)
                frmMainVR->Sync->Reschedule();
        });
    });

    btnConfirm->setGeometry(235, 220, 65, btnConfirm->height());
    btnCancel->setGeometry(302, 220, 65, btnCancel->height());

    dlgFolder = new TFolderPickerDialog(this);
    dlgFolder->setObjectName(QStringLiteral("dlgFolder"));
    dlgFolder->SetFlags(TFolderPickerDialog::OnlyComputers | TFolderPickerDialog::OnlyDomains
                        | TFolderPickerDialog::OnlyFileSystem | TFolderPickerDialog::ShowPath);
    dlgFolder->SetNewFolderCaptions({QStringLiteral("0412=새폴더")});
    dlgFolder->SetOwner(this);
    dlgFolder->Loaded();

    for (TzuGradiButton *button : {btnDirData, zuGradiButton1, zuGradiButton2})
        connect(button, &QPushButton::clicked, this, [this, button] { btnDirDataClick(button); });
    for (TzuGradiButton *button : {btnEraseDir2, btnEraseDir3})
        connect(button, &QPushButton::clicked, this, [this, button] { OnEraseDirClick(button); });

    // Each "..." and "x" is read with the directory it acts on; the icons as the directories.
    const QList<QLabel *> icons = {Image1, Image2, Image3};
    const QList<TzuGradiButton *> choose = {btnDirData, zuGradiButton1, zuGradiButton2};
    for (int i = 0; i < 3; ++i) {
        icons.at(i)->setAccessibleName(directoryName(i + 1));
        choose.at(i)->setAccessibleName(directoryName(i + 1) + QStringLiteral(" 고르기"));
    }
    btnEraseDir2->setAccessibleName(directoryName(2) + QStringLiteral(" 지우기"));
    btnEraseDir3->setAccessibleName(directoryName(3) + QStringLiteral(" 지우기"));
    // The base made the buttons first; Tab goes row by row from the top.
    SetTabChain({btnDirData, zuGradiButton1, btnEraseDir2, zuGradiButton2, btnEraseDir3,
                 radPrgStart, chkToTray, btnSync, btnConfirm, btnCancel});

    frmZuNoCaptionCreate();
}

void TfrmConfig::frmZuNoCaptionCreate()
{
    if (!zuPrjInfo)
        return;
    for (int index = 0; index < 3; ++index)
        ShowDirectory(index);
    const int mode = zuPrjInfo->ReadBootMode();
    // Above the last mode shows the last; below the first shows none.
    radPrgStart->SetItemIndex(Settings::bound(Settings::BootMode, mode));
    chkToTray->setChecked(zuPrjInfo->ReadFlag(TzuPrjInfo::SelMiniTray));
}

int TfrmConfig::PathWidth() const
{
    return pnlDirData->width() - 10;
}

QString TfrmConfig::Shortened(const QString &path) const
{
    return ShortenPath(path, PathWidth(), QFontMetrics(pnlDirData->font()));
}

void TfrmConfig::btnDirDataClick(QObject *sender)
{
    if (!sender)
        return;
    const int tag = TagOf(sender);
    VandrelApplication::guarded([&] {
        if (!dlgFolder->Execute() || !zuPrjInfo)
            return;
        // Any tag but 0 and 1 chooses the third directory.
        const int index = tag == 0 || tag == 1 ? tag : 2;
        writeDirectory(index, dlgFolder->Folder());
        ShowDirectory(index);
    });
}

void TfrmConfig::ShowDirectory(int index)
{
    const QString dir = readDirectory(index);
    const std::array<TPathPanel *, 3> panels = {pnlDirData, pnlDir2nd, pnlDir3rd};
    const std::array<TzuGradiButton *, 3> choosers = {btnDirData, zuGradiButton1, zuGradiButton2};
    panels.at(index)->setText(Shortened(dir));
    // The panel may cut the path short; its button tells it whole.
    choosers.at(index)->setAccessibleDescription(dir.isEmpty() ? QStringLiteral("정하지 않음")
                                                               : QDir::toNativeSeparators(dir));
    QStringList notes;
    for (int i = 0; i < 3; ++i) {
        const QString shown = readDirectory(i);
        const QString note = shown.isEmpty() ? QString() : History::Note(shown);
        if (!note.isEmpty())
            notes << directoryName(i + 1) + QStringLiteral(": ") + note;
    }
    labHistory->setText(notes.join(u'\n'));
    labHistory->setToolTip(labHistory->text());
    labHistory->setVisible(!notes.isEmpty());
}

void TfrmConfig::OnEraseDirClick(QObject *sender)
{
    if (!sender || !zuPrjInfo)
        return;
    const int tag = TagOf(sender);
    VandrelApplication::guarded([&] {
        // "x" of directory 2 has tag 2, of directory 3 tag 3.
        if (tag == 2 || tag == 3) {
            writeDirectory(tag - 1, QString());
            ShowDirectory(tag - 1);
        }
    });
}

void TfrmConfig::btnConfirmClick()
{
    if (zuPrjInfo) {
        zuPrjInfo->WriteFlag(TzuPrjInfo::SelMiniTray, chkToTray->isChecked());
        zuPrjInfo->WriteBootMode(radPrgStart->ItemIndex());
    }
    accept();
}

QString TfrmConfig::StripPathEnd(const QString &text)
{
    if (!text.isEmpty() && Paths::EndsComponent(text.back()))
        return text.chopped(1);
    return text;
}

QString TfrmConfig::ShortenPath(const QString &path, int maxWidth, const QFontMetrics &metrics)
{
    if (path.isEmpty())
        return {};
    QString shown = StripPathEnd(path);
    // The file-system root keeps its separator rather than showing as nothing.
    if (shown.isEmpty())
        shown = path;
    if (metrics.horizontalAdvance(shown) < maxWidth)
        return shown;
    const QString sep = QDir::separator();
    const QString name = shown.mid(folderPart(shown).size());
    // The folder holding the name always gives way to "...".
    QString rest = StripPathEnd(folderPart(shown));
    rest = StripPathEnd(folderPart(rest));
    // Every round makes rest shorter, so this ends.
    for (;;) {
        if (rest.isEmpty())
            return name;
        const QString candidate = rest + sep + QStringLiteral("...") + sep + name;
        if (metrics.horizontalAdvance(candidate) < maxWidth)
            return candidate;
        rest = StripPathEnd(folderPart(rest));
    }
}

bool RunSettingsDialog(QWidget *owner)
{
    TfrmConfig dialog(owner);
    return DialogService::current().execDialog(dialog) == QDialog::Accepted;
}
