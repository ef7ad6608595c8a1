#include "app/Config.h"
#include "app/ProjectInc.h"
#include "picker/FolderBrowser.h"
#include "picker/FolderPicker.h"
#include "platform/Application.h"
#include "platform/Profile.h"
#include "platform/UiFont.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFontMetrics>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

class TestConfig : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void layout();
    void opensWithSettings();
    void bootMode_data();
    void bootMode();
    void shortenPath_data();
    void shortenPath();
    void chooseDirectory_data();
    void chooseDirectory();
    void secondDirectoryIsWrittenBeforeCancel();
    void eraseDirectory_data();
    void eraseDirectory();
    void neverWritesConfirmExit();
    void failedWriteKeepsDialogOpen();
    void runSettingsDialog();

private:
    QString ini() const { return m_info->SettingsFileName(); }
    QString path(const QString &rel) const { return QDir::cleanPath(m_dir->filePath(rel)); }
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TzuPrjInfo> m_info;
};

void TestConfig::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestConfig::init()
{
    zuPrjInfo = nullptr;
    m_info.reset();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_info = std::make_unique<TzuPrjInfo>(m_dir->path());
    zuPrjInfo = m_info.get();
    TFolderPickerDialog::SetSystemLocale(QLocale(QLocale::Korean, QLocale::SouthKorea));
}

void TestConfig::cleanup()
{
    TFolderPickerDialog::SetSystemLocale(std::nullopt);
    zuPrjInfo = nullptr;
    m_info.reset();
}

void TestConfig::layout()
{
    TfrmConfig dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("환경설정"));
    QCOMPARE(dialog.ClientSize(), QSize(380, 253));
    QCOMPARE(dialog.Label2->text(), QStringLiteral("데이터 디렉토리"));
    QCOMPARE(dialog.Label2->pos(), QPoint(10, 34));
    QCOMPARE(dialog.Image3->geometry(), QRect(11, 92, 16, 16));
    QVERIFY(!dialog.Image1->pixmap().isNull());
    const std::tuple<QWidget *, const char *, QRect, int> placed[] = {
        {dialog.pnlDirData, "pnlDirData", {33, 50, 294, 19}, -1},
        {dialog.btnDirData, "btnDirData", {332, 51, 18, 18}, 0},
        {dialog.pnlDir2nd, "pnlDir2nd", {33, 72, 294, 19}, -1},
        {dialog.zuGradiButton1, "zuGradiButton1", {332, 73, 18, 18}, 1},
        {dialog.btnEraseDir2, "btnEraseDir2", {353, 73, 19, 18}, 2},
        {dialog.pnlDir3rd, "pnlDir3rd", {33, 93, 294, 20}, -1},
        {dialog.zuGradiButton2, "zuGradiButton2", {332, 94, 18, 19}, 2},
        {dialog.btnEraseDir3, "btnEraseDir3", {353, 94, 19, 19}, 3},
        {dialog.radPrgStart, "radPrgStart", {11, 126, 150, 91}, -1},
        {dialog.chkToTray, "chkToTray", {166, 132, 207, 19}, -1},
        {dialog.btnConfirm, "btnConfirm", {235, 220, 65, 22}, -1},
        {dialog.btnCancel, "btnCancel", {302, 220, 65, 22}, -1},
    };
    for (const auto &[widget, name, geometry, tag] : placed) {
        QCOMPARE(dialog.findChild<QWidget *>(QString::fromLatin1(name)), widget);
        QCOMPARE(widget->geometry(), geometry);
        if (tag < 0)
            continue;
        QCOMPARE(widget->property("tag").toInt(), tag);
        QCOMPARE(static_cast<QPushButton *>(widget)->text(),
                 tag == 0 || widget == dialog.zuGradiButton1 || widget == dialog.zuGradiButton2
                     ? QStringLiteral("...")
                     : QStringLiteral("x"));
        QCOMPARE(widget->font().family(), QStringLiteral("Arial"));
        QVERIFY(widget->font().bold());
        // 13 pixels, or the largest size at which the stand-in for Arial fits the button.
        const auto fits = [widget](int size) {
            QFont font = widget->font();
            font.setPixelSize(size);
            const QFontMetrics metrics(font);
            const QString text = static_cast<QPushButton *>(widget)->text();
            return metrics.horizontalAdvance(text) <= widget->width() - 4
                   && metrics.ascent() <= widget->height() - 4;
        };
        const int size = widget->font().pixelSize();
        QVERIFY(size <= 13 && fits(size));
        QVERIFY2(size == 13 || !fits(size + 1), name);
    }
    QCOMPARE(dialog.btnConfirm->text(), QStringLiteral("확인(&Y)"));
    QCOMPARE(dialog.btnCancel->text(), QStringLiteral("취소(&C)"));
    QCOMPARE(dialog.radPrgStart->title(), QStringLiteral("프로그램 시작"));
    const QStringList items = {"이전 크기로", "최대 크기로", "전체 크기로", "Tray 로 숨기"};
    QCOMPARE(dialog.radPrgStart->Count(), 4);
    for (int i = 0; i < items.size(); ++i)
        QCOMPARE(dialog.radPrgStart->Buttons->button(i)->text(), items.at(i));
    QCOMPARE(dialog.chkToTray->text(), QStringLiteral("최소화되면 Tray 로 숨기"));

    // Path panels: plain text on their own background inside an edge line.
    QCOMPARE(dialog.PathWidth(), 284);
    QCOMPARE(dialog.pnlDir2nd->textFormat(), Qt::PlainText);
    QCOMPARE(dialog.pnlDir2nd->font().families(), GulimFont(13).families());
    const QImage image = dialog.pnlDir2nd->grab().toImage();
    QCOMPARE(image.pixelColor(0, 0), QColor(206, 206, 198));
    QCOMPARE(image.pixelColor(image.width() / 2, image.height() / 2), QColor(241, 241, 239));

    // The folder picker: its flags and Korean new-folder caption, the rest as it comes.
    TFolderPickerDialog *picker = dialog.dlgFolder;
    QCOMPARE(picker->Flags(), TFolderPickerDialog::OnlyComputers | TFolderPickerDialog::OnlyDomains
                                  | TFolderPickerDialog::OnlyFileSystem
                                  | TFolderPickerDialog::ShowPath);
    QCOMPARE(picker->NewFolderCaptions(), QStringList{"0412=새폴더"});
    QCOMPARE(picker->LabelCaptions(), TFolderPickerDialog::DefaultLabelCaptions());
    QCOMPARE(picker->RootFolder(), TFolderPickerDialog::foDesktopExpanded);
    QCOMPARE(picker->NewFolderCaption(), QStringLiteral("새폴더"));
    QCOMPARE(picker->TitleCaption(), QStringLiteral("Current folder:"));
}

void TestConfig::opensWithSettings()
{
    const QString data = path("전화부");
    const QString deep =
        QStringLiteral("/srv/전화부/자료/") + QString(30, u'a') + "/" + QString(30, u'b') + "/친구";
    TestFiles::write(ini(), TestFiles::cp949("[PROGRAM]\r\nDirData=" + data
                                             + "\r\n2ND=" + native(deep) + "\r\nMiniTray=1\r\n"));
    TfrmConfig dialog;
    QCOMPARE(dialog.pnlDirData->text(), data);
    QCOMPARE(dialog.pnlDir3rd->text(), QString());
    QVERIFY(dialog.chkToTray->isChecked());
    // A path too wide for the panel is shortened to fit.
    const QString shown = dialog.pnlDir2nd->text();
    QCOMPARE(shown, TfrmConfig::ShortenPath(native(deep), 284, QFontMetrics(GulimFont(13))));
    QVERIFY(shown.contains(QStringLiteral("...")) && shown.endsWith(QStringLiteral("친구")));
    QVERIFY(QFontMetrics(dialog.pnlDir2nd->font()).horizontalAdvance(shown) < 284);
}

void TestConfig::bootMode_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("missing: first") << QByteArray() << 0 << QByteArray("BootMode=0");
    QTest::newRow("2") << QByteArray("BootMode=2\r\n") << 2 << QByteArray("BootMode=2");
    QTest::newRow("5: last item") << QByteArray("BootMode=5\r\n") << 3 << QByteArray("BootMode=3");
    QTest::newRow("-2: none") << QByteArray("BootMode=-2\r\n") << -1 << QByteArray("BootMode=-1");
}

void TestConfig::bootMode()
{
    QFETCH(QByteArray, settings);
    QFETCH(int, selected);
    QFETCH(QByteArray, written);
    TestFiles::write(ini(), "[PROGRAM]\r\n" + settings);
    ScriptedDialogs dialogs;
    TfrmConfig dialog;
    QCOMPARE(dialog.radPrgStart->ItemIndex(), selected);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(dialog.radPrgStart->Item(i)->isChecked(), i == selected);
    dialog.show();
    dialog.btnConfirm->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(TestFiles::read(ini()).contains("\r\n" + written + "\r\n"));
    QVERIFY(TestFiles::read(ini()).contains("\r\nMiniTray=0\r\n"));
    QCOMPARE(dialogs.messageCount(), 0);

    // A selection can be taken back to none.
    TfrmConfig again;
    again.radPrgStart->Item(2)->click();
    again.radPrgStart->SetItemIndex(-1);
    QCOMPARE(again.radPrgStart->ItemIndex(), -1);
    QVERIFY(!again.radPrgStart->Item(2)->isChecked());
}

void TestConfig::shortenPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("fits"); // maxWidth is one more than this text's width
    QTest::addColumn<QString>("expected");
    const QString book = QStringLiteral("/data/Phone/Book/Friends");
    QTest::newRow("fits whole") << book << book << book;
    QTest::newRow("too narrow for whole") << book << "/data/Phone/Book/Friend"
                                          << "/data/Phone/.../Friends";
    QTest::newRow("next folder gives way") << book << "/data/Phone/.../Friend"
                                           << "/data/.../Friends";
    QTest::newRow("leading separator: name alone") << book << "/data/.../Friend"
                                                   << "Friends";
    QTest::newRow("nothing fits") << book << ""
                                  << "Friends";
    QTest::newRow("root shown as itself") << "/"
                                          << "/"
                                          << "/";
    QTest::newRow("root too wide") << "/"
                                   << ""
                                   << "";
    QTest::newRow("empty") << ""
                           << "wide"
                           << "";
    QTest::newRow("relative") << "a/b/c/d/e/f"
                              << "a/b/.../f"
                              << "a/b/.../f";
    const QString korean = QStringLiteral("/home/사용자/전화번호부/친구들모임/가족");
    QTest::newRow("Korean") << korean << "/home/사용자/전화번호부/.../가족"
                            << "/home/사용자/전화번호부/.../가족";
    QTest::newRow("Korean, narrowest") << korean << "/home/.../가"
                                       << "가족";
    const QString longName(300, u'x');
    QTest::newRow("one very long name") << "/srv/data/" + longName << "/srv/" << longName;
    const QString smile = QStringLiteral("😀");
    QTest::newRow("surrogate pairs")
        << "/" + smile + "/a" + smile + "/b/" + smile.repeated(3)
        << "/" + smile + "/.../" + smile.repeated(3) << "/" + smile + "/.../" + smile.repeated(3);
}

void TestConfig::shortenPath()
{
    QFETCH(QString, path);
    QFETCH(QString, fits);
    QFETCH(QString, expected);
    const QFontMetrics metrics(GulimFont(13));
    const int maxWidth = fits.isEmpty() ? 0 : metrics.horizontalAdvance(native(fits)) + 1;
    QCOMPARE(TfrmConfig::ShortenPath(native(path), maxWidth, metrics), native(expected));
    QCOMPARE(TfrmConfig::StripPathEnd(native(path)),
             path.endsWith(u'/') ? native(path.chopped(1)) : native(path));
}

void TestConfig::chooseDirectory_data()
{
    QTest::addColumn<QString>("button"); // empty: a sender with tag 7
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("panel");
    QTest::newRow("data directory") << "btnDirData"
                                    << "DirData"
                                    << "pnlDirData";
    QTest::newRow("second") << "zuGradiButton1"
                            << "2ND"
                            << "pnlDir2nd";
    QTest::newRow("third") << "zuGradiButton2"
                           << "3RD"
                           << "pnlDir3rd";
    QTest::newRow("any other tag: third") << ""
                                          << "3RD"
                                          << "pnlDir3rd";
}

void TestConfig::chooseDirectory()
{
    QFETCH(QString, button);
    QFETCH(QString, key);
    QFETCH(QString, panel);
    const QString chosen = native(path("고른 폴더"));
    QVERIFY(QDir().mkpath(chosen));
    ScriptedDialogs dialogs;
    TfrmConfig dialog;
    dialog.show();
    dialogs.queueFolder(chosen);
    QObject other;
    other.setProperty("tag", 7);
    if (button.isEmpty())
        dialog.btnDirDataClick(&other);
    else
        dialog.findChild<QPushButton *>(button)->click();
    QCOMPARE(dialogs.folderCount(), 1);
    QCOMPARE(dialogs.asked.last().folderOwner, &dialog);
    QCOMPARE(dialogs.asked.last().folderTitle, QStringLiteral("Current folder:"));
    QCOMPARE(profile::readString(ini(), QStringLiteral("PROGRAM"), key), chosen);
    QCOMPARE(dialog.findChild<QLabel *>(panel)->text(),
             TfrmConfig::ShortenPath(chosen, 284, QFontMetrics(dialog.pnlDirData->font())));
    // Only that key was written.
    QCOMPARE(profile::Snapshot(ini()).entries(QStringLiteral("PROGRAM")).size(), 1);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialogs.messageCount(), 0);
}

void TestConfig::secondDirectoryIsWrittenBeforeCancel()
{
    ScriptedDialogs dialogs;
    TfrmConfig dialog;
    dialog.show();
    const QString chosen = native(path("second"));
    dialogs.queueFolder(chosen);
    dialog.zuGradiButton1->click();
    // Written at once, before the dialog closes.
    QCOMPARE(TestFiles::read(ini()), TestFiles::cp949("[PROGRAM]\r\n2ND=" + chosen + "\r\n"));
    dialog.btnCancel->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(m_info->ReadExtraDir(TzuPrjInfo::SelSecondDir), chosen);
    QCOMPARE(TestFiles::read(ini()), TestFiles::cp949("[PROGRAM]\r\n2ND=" + chosen + "\r\n"));
    // The picker opens at the last choice next time.
    dialogs.queueFolder(std::nullopt);
    dialog.zuGradiButton1->click();
    QCOMPARE(dialogs.asked.last().folderStart, chosen);
}

void TestConfig::eraseDirectory_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray file = "[PROGRAM]\r\n2ND=/data/two\r\n3RD=/data/three\r\n";
    QTest::newRow("2: second") << 2 << QByteArray("[PROGRAM]\r\n2ND=\r\n3RD=/data/three\r\n");
    QTest::newRow("3: third") << 3 << QByteArray("[PROGRAM]\r\n2ND=/data/two\r\n3RD=\r\n");
    QTest::newRow("0: nothing") << 0 << file;
}

void TestConfig::eraseDirectory()
{
    QFETCH(int, tag);
    QFETCH(QByteArray, expected);
    TestFiles::write(ini(), "[PROGRAM]\r\n2ND=/data/two\r\n3RD=/data/three\r\n");
    ScriptedDialogs dialogs;
    TfrmConfig dialog;
    QCOMPARE(dialog.pnlDir3rd->text(), native("/data/three"));
    if (tag == 2)
        dialog.btnEraseDir2->click();
    else if (tag == 3)
        dialog.btnEraseDir3->click();
    else {
        QObject sender;
        sender.setProperty("tag", tag);
        dialog.OnEraseDirClick(&sender);
    }
    QCOMPARE(TestFiles::read(ini()), expected);
    QCOMPARE(dialog.pnlDir2nd->text(), tag == 2 ? QString() : native("/data/two"));
    QCOMPARE(dialog.pnlDir3rd->text(), tag == 3 ? QString() : native("/data/three"));
    QCOMPARE(dialogs.messageCount(), 0);
}

void TestConfig::neverWritesConfirmExit()
{
    const QByteArray start = "[PROGRAM]\r\nBootMode=1\r\n";
    TestFiles::write(ini(), start);
    QVERIFY(QDir().mkpath(path("d")));
    ScriptedDialogs dialogs;
    TfrmConfig dialog;
    dialog.show();
    dialogs.queueFolder(native(path("d")));
    dialog.btnDirData->click();
    dialog.btnEraseDir2->click();
    dialog.chkToTray->setChecked(true);
    dialog.btnConfirm->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const QByteArray bytes = TestFiles::read(ini());
    QVERIFY(!bytes.toLower().contains("confirmexit"));
    QVERIFY(bytes.contains("\r\nMiniTray=1\r\n"));

    // One already there stays as it was.
    TestFiles::write(ini(), "[PROGRAM]\r\nConfirmExit=1\r\n");
    TfrmConfig second;
    second.btnConfirm->click();
    QVERIFY(TestFiles::read(ini()).startsWith("[PROGRAM]\r\nConfirmExit=1\r\n"));
    QVERIFY(m_info->ReadFlag(TzuPrjInfo::SelConfirmExit));
}

void TestConfig::failedWriteKeepsDialogOpen()
{
    ScriptedDialogs dialogs;
    TfrmConfig dialog;
    dialog.show();
    // A directory standing where the settings file belongs makes every write fail.
    QVERIFY(QDir().mkdir(ini()));
    const QString expected = "Unable to write to " + native(ini());

    dialog.btnConfirm->click();
    QCOMPARE(dialogs.messageCount(), 1);
    QCOMPARE(dialogs.lastText(), expected);
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.result() != QDialog::Accepted);

    dialogs.queueFolder(native(path("x")));
    dialog.zuGradiButton1->click();
    dialog.btnEraseDir3->click();
    QCOMPARE(dialogs.messageTexts(), QStringList({expected, expected, expected}));
    QCOMPARE(dialog.pnlDir2nd->text(), QString());
    QVERIFY(dialog.isVisible());

    // Once the file can be written again, OK closes.
    QVERIFY(QDir().rmdir(ini()));
    dialog.btnConfirm->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialogs.messageCount(), 3);
}

void TestConfig::runSettingsDialog()
{
    ScriptedDialogs dialogs;
    QWidget owner;
    dialogs.queueDialog([&](QDialog &dialog) {
        auto *config = qobject_cast<TfrmConfig *>(&dialog);
        if (!config || config->parentWidget() != &owner)
            return int(QDialog::Rejected);
        config->btnConfirm->click();
        return config->result();
    });
    QVERIFY(RunSettingsDialog(&owner));
    QCOMPARE(dialogs.asked.first().dialogTitle, QStringLiteral("환경설정"));
    QVERIFY(QFile::exists(ini()));
    // Not answered: cancelled, nothing written.
    QFile::remove(ini());
    QVERIFY(!RunSettingsDialog(&owner));
    QVERIFY(!QFile::exists(ini()));
}

int main(int argc, char **argv)
{
    VandrelApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Vandrel"));
    TestConfig test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_config.moc"
