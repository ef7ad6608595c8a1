#include "picker/FolderBrowser.h"
#include "picker/FolderPicker.h"
#include "platform/Application.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"

#include <QAbstractProxyModel>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QMetaEnum>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

using Picker = TFolderPickerDialog;

namespace {

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Names under a folder as the tree shows them.
QStringList shownChildren(TFolderBrowser &browser, const QString &folder)
{
    const auto *proxy = static_cast<const QAbstractProxyModel *>(browser.tvFolders->model());
    const QModelIndex parent = proxy->mapFromSource(browser.Model()->index(folder));
    QStringList names;
    for (int row = 0; row < proxy->rowCount(parent); ++row)
        names << proxy->index(row, 0, parent).data().toString();
    return names;
}

} // namespace

class TestFolderPicker : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void defaults();
    void captionChoice_data();
    void captionChoice();
    void shortenForStatus_data();
    void shortenForStatus();
    void newFolderButtonRect_data();
    void newFolderButtonRect();

    void executeAnsweredByScript();
    void browserSelectsStartFolderAndOk();
    void browserFallsBackToLastSelection();
    void browserOptionsAndLayout();
    void browserOnlyFileSystem();
    void browserHidesHiddenFolders();
    void newFolderReopensWithItSelected();
    void newFolderFailureEndsExecute();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString &rel) const { return QDir::cleanPath(m_dir->filePath(rel)); }
};

void TestFolderPicker::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestFolderPicker::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    Picker::SetSystemLocale(QLocale(QLocale::Korean, QLocale::SouthKorea));
}

void TestFolderPicker::cleanup()
{
    Picker::SetSystemLocale(std::nullopt);
}

void TestFolderPicker::defaults()
{
    Picker picker;
    QCOMPARE(picker.Folder(), QString());
    QCOMPARE(picker.Flags(), Picker::TFolderFlags(Picker::ShowPath));
    QCOMPARE(picker.RootFolder(), Picker::foDesktopExpanded);
    QVERIFY(picker.NewFolderVisible() && picker.NewFolderEnabled());
    QCOMPARE(picker.property("Version").toString(), QStringLiteral("3.00.00.00"));
    const QMetaObject *meta = picker.metaObject();
    QVERIFY(!meta->property(meta->indexOfProperty("Version")).isWritable());
    QCOMPARE(picker.LabelCaptions().size(), 29);
    QCOMPARE(picker.LabelCaptions().at(8), QStringLiteral("0415=Bieżący folder:"));
    QCOMPARE(picker.NewFolderCaptions().first(), QStringLiteral("Default=New folder"));
    QCOMPARE(picker.NewFolderCaptions().last(), QStringLiteral("2C09=New folder"));

    // The root folders keep the shell's order and numbers.
    const QMetaEnum roots = QMetaEnum::fromType<Picker::TRootFolder>();
    QCOMPARE(roots.keyCount(), 18);
    QCOMPARE(roots.key(17), "foTemplates");
    QCOMPARE(Picker::ShellFolderNumber(Picker::foDesktopExpanded), -1);
    QCOMPARE(Picker::ShellFolderNumber(Picker::foDesktopFolder), 0x10);
    QCOMPARE(Picker::ShellFolderNumber(Picker::foTemplates), 0x15);
#ifndef Q_OS_WIN
    for (Picker::TRootFolder whole : {Picker::foDesktop, Picker::foDesktopExpanded,
                                      Picker::foMyComputer, Picker::foControlPanel})
        QCOMPARE(Picker::RootPath(whole), QStringLiteral("/"));
#endif
    QVERIFY(QFileInfo(Picker::RootPath(Picker::foRecent)).isDir());
}

void TestFolderPicker::captionChoice_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("titles"); // {"-"}: the built-in list
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("folder");
    const QLocale korean(QLocale::Korean, QLocale::SouthKorea);
    const QLocale german(QLocale::German, QLocale::Germany);
    const QLocale swahili(QLocale::Swahili, QLocale::Kenya);
    const QStringList builtIn = {"-"};
    QTest::newRow("Korean: Default line")
        << korean << "0412" << builtIn << builtIn << "Current folder:"
        << "New folder";
    QTest::newRow("Korean, the settings dialog's list")
        << korean << "0412" << builtIn << QStringList{"0412=새폴더"} << "Current folder:"
        << "새폴더";
    QTest::newRow("German") << german << "0407" << builtIn << builtIn << "Ausgewählter Ordner:"
                            << "Neuer Ordner";
    QTest::newRow("German, Austria") << QLocale(QLocale::German, QLocale::Austria) << "0C07"
                                     << builtIn << builtIn << "Ausgewählter Ordner:"
                                     << "Neuer Ordner";
    QTest::newRow("French, Monaco") << QLocale(QLocale::French, QLocale::Monaco) << "180C"
                                    << builtIn << builtIn << "Dossier Courant:"
                                    << "Nouveau Dossier";
    QTest::newRow("English, Nigeria: language only")
        << QLocale(QLocale::English, QLocale::Nigeria) << "0009" << QStringList{"0009=Nine"}
        << builtIn << "Nine"
        << "New folder";
    QTest::newRow("Swahili: no line, Default line")
        << swahili << "0000" << QStringList{"0407=A", "default=B"} << builtIn << "B"
        << "New folder";
    QTest::newRow("empty lists") << korean << "0412" << QStringList() << QStringList() << ""
                                 << "";
    QTest::newRow("no Default: first line")
        << german << "0407" << QStringList{"0410=Erste", "0409=Zweite"}
        << QStringList{"0412=새폴더"} << "Erste"
        << "새폴더";
}

void TestFolderPicker::captionChoice()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, key);
    QFETCH(QStringList, titles);
    QFETCH(QStringList, folders);
    QFETCH(QString, title);
    QFETCH(QString, folder);
    QCOMPARE(Picker::LanguageKey(locale), key);
    Picker::SetSystemLocale(locale);
    Picker picker;
    if (titles != QStringList{"-"})
        picker.SetLabelCaptions(titles);
    if (folders != QStringList{"-"})
        picker.SetNewFolderCaptions(folders);
    // Execute chooses the captions once, from the lists then in place.
    ScriptedDialogs dialogs;
    QVERIFY(!picker.Execute());
    QCOMPARE(dialogs.asked.last().folderTitle, title);
    QCOMPARE(picker.TitleCaption(), title);
    QCOMPARE(picker.NewFolderCaption(), folder);
    picker.SetLabelCaptions({"Default=later"});
    QVERIFY(!picker.Execute());
    QCOMPARE(picker.TitleCaption(), title);
}

void TestFolderPicker::shortenForStatus_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("expected");
    const QString x60(60, u'x');
    const QString smile = QStringLiteral("😀");
    const QString kim = QStringLiteral("/home/user/Data/Phone/Book/Friends/Family/Kim");
    QTest::newRow("short, whole") << kim << 50 << kim;
    QTest::newRow("long") << kim + "/Photos/2024/Summer" << 50
                          << "/.../Book/Friends/Family/Kim/Photos/2024/Summer";
    QTest::newRow("deeply nested")
        << "/a/b/c/d/e/f/g/h/i/j/k/l/m/n/o/p/q/r/s/t/u/v/w/x/y/z/0/1/2/3/4" << 50
        << "/.../i/j/k/l/m/n/o/p/q/r/s/t/u/v/w/x/y/z/0/1/2/3/4";
    QTest::newRow("Korean")
        << "/home/사용자/전화번호부/자료/친구들/가족/김철수/사진/2024년/여름휴가/바닷가/오후/"
           "일몰사진"
        << 50
        << "/.../전화번호부/자료/친구들/가족/김철수/사진/2024년/여름휴가/바닷가/오후/일몰사진";
    QTest::newRow("one very long name")
        << "/a/b/" + x60 << 50 << "/.../" + QString(42, u'x') + "...";
    QTest::newRow("one separator past the start")
        << "/home/" + x60 << 50 << "/home/" + QString(44, u'x');
    QTest::newRow("no separator") << x60 << 50 << QString(50, u'x');
    QTest::newRow("limit five") << kim << 5 << "/home";
    QTest::newRow("empty") << "" << 50 << "";
    QTest::newRow("separators only") << QString(60, u'/') << 50 << "/..." + QString(46, u'/');
    QTest::newRow("separator third") << "ab/" + QString("cdefghij/").repeated(6) + "tail" << 50
                                     << "///.../cdefghij/cdefghij/cdefghij/cdefghij/tail";
    QTest::newRow("surrogate pair at the cut")
        << "/a/b/" + smile.repeated(40) << 51 << "/.../" + smile.repeated(21) + "...";
    QTest::newRow("surrogate pair, no separator") << smile.repeated(40) << 51 << smile.repeated(25);
}

void TestFolderPicker::shortenForStatus()
{
    QFETCH(QString, path);
    QFETCH(int, limit);
    QFETCH(QString, expected);
    QCOMPARE(Picker::ShortenForStatus(native(path), limit), native(expected));
}

void TestFolderPicker::newFolderButtonRect_data()
{
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("captionWidth");
    QTest::addColumn<QRect>("expected"); // client height 400, caption bar 20
    QTest::newRow("72") << 72 << 40 << QRect(12, 364, 75, 23);
    QTest::newRow("96") << 96 << 40 << QRect(12, 364, 75, 23);
    QTest::newRow("120") << 120 << 40 << QRect(15, 355, 93, 28);
    QTest::newRow("144") << 144 << 100 << QRect(17, 344, 112, 35);
    QTest::newRow("144, wide caption") << 144 << 101 << QRect(17, 344, 113, 35);
    QTest::newRow("192") << 192 << 40 << QRect(20, 334, 150, 41);
    QTest::newRow("other: 240") << 240 << 40 << QRect(30, 363, 187, 57);
}

void TestFolderPicker::newFolderButtonRect()
{
    QFETCH(int, dpi);
    QFETCH(int, captionWidth);
    QFETCH(QRect, expected);
    QCOMPARE(TFolderBrowser::NewFolderButtonRect(dpi, 400, 20, captionWidth), expected);
}

void TestFolderPicker::executeAnsweredByScript()
{
    ScriptedDialogs dialogs;
    QWidget window;
    Picker picker(&window);
    QSignalSpy initialized(&picker, &Picker::OnInitialized);
    picker.SetFolder(native(path("start")));
    dialogs.queueFolder(native(path("first")));
    QVERIFY(picker.Execute());
    QCOMPARE(picker.Folder(), native(path("first")));
    QCOMPARE(dialogs.asked.last().folderStart, native(path("start")));
    QCOMPARE(dialogs.asked.last().folderOwner, &window);
    // The last choice is where the next run starts; a cancel keeps it.
    auto *owner = new QWidget;
    picker.SetOwner(owner);
    dialogs.queueFolder(std::nullopt);
    QVERIFY(!picker.Execute());
    QCOMPARE(dialogs.asked.last().folderStart, native(path("first")));
    QCOMPARE(dialogs.asked.last().folderOwner, owner);
    QCOMPARE(picker.Folder(), native(path("first")));
    delete owner;
    QCOMPARE(picker.OwnerWindow(), &window);
    // Nothing queued: cancelled too, and no chooser was ever on screen.
    QVERIFY(!picker.Execute());
    QCOMPARE(dialogs.folderCount(), 3);
    QCOMPARE(initialized.count(), 0);
}

void TestFolderPicker::browserSelectsStartFolderAndOk()
{
    for (int i = 0; i < 60; ++i)
        QVERIFY(QDir().mkpath(path(QStringLiteral("many/f%1").arg(i))));
    QVERIFY(QDir().mkpath(path("many/f57/deep")));
    Picker::SetSystemLocale(QLocale(QLocale::German, QLocale::Germany));
    Picker picker;
    picker.Loaded();
    QSignalSpy initialized(&picker, &Picker::OnInitialized);
    QSignalSpy changed(&picker, &Picker::OnSelectionChanged);
    const QString start = native(path("many/f57/deep"));
    TFolderBrowser browser(picker, start);
    browser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&browser));
    QCOMPARE(initialized.count(), 1);
    QCOMPARE(initialized.first().at(0).value<Picker *>(), &picker);
    QCOMPARE(initialized.first().at(1).value<QWidget *>(), &browser);
    QCOMPARE(browser.lblTitle->text(), QStringLiteral("Ausgewählter Ordner:"));
    QCOMPARE(browser.btnNewFolder->text(), QStringLiteral("Neuer Ordner"));
    QCOMPARE(browser.SelectedFolder(), start);
    QCOMPARE(browser.lblStatus->text(), Picker::ShortenForStatus(start, 50));
    QVERIFY(browser.btnOK->isEnabled() && browser.btnNewFolder->isEnabled());
    QCOMPARE(changed.last().at(2).toString(), start);
    // Scrolled to once the crowded folder is read; names in the order people count.
    QTRY_COMPARE(shownChildren(browser, path("many")).size(), 60);
    QCOMPARE(shownChildren(browser, path("many")).mid(0, 3), QStringList({"f0", "f1", "f2"}));
    QCOMPARE(shownChildren(browser, path("many")).at(10), QStringLiteral("f10"));
    QTRY_VERIFY(browser.tvFolders->viewport()->rect().contains(
        browser.tvFolders->visualRect(browser.tvFolders->currentIndex())));

    QVERIFY(browser.SelectFolder(path("many/f3")));
    QCOMPARE(changed.last().at(1).value<QWidget *>(), &browser);
    QCOMPARE(changed.last().at(2).toString(), native(path("many/f3")));
    QCOMPARE(browser.Model()->filePath(changed.last().at(3).value<QModelIndex>()), path("many/f3"));
    QCOMPARE(picker.LastSelected(), native(path("many/f3")));
    browser.btnOK->click();
    QCOMPARE(browser.result(), int(QDialog::Accepted));
    QCOMPARE(browser.SelectedFolder(), native(path("many/f3")));
}

void TestFolderPicker::browserFallsBackToLastSelection()
{
    QVERIFY(QDir().mkpath(path("last/one")));
    Picker picker;
    {
        TFolderBrowser first(picker, native(path("last/one")));
        first.show();
    }
    TFolderBrowser second(picker, native(path("not-there")));
    second.show();
    QCOMPARE(second.SelectedFolder(), native(path("last/one")));
    // Nothing to go back to: the top of the tree.
    Picker fresh;
    TFolderBrowser third(fresh, native(path("not-there")));
    third.show();
    QCOMPARE(third.SelectedFolder(), native(Picker::RootPath(fresh.RootFolder())));
}

void TestFolderPicker::browserOptionsAndLayout()
{
    const QString deep = path("opt/" + QStringLiteral("가나다라마바사아자차/").repeated(5) + "끝");
    QVERIFY(QDir().mkpath(deep));
    Picker picker;
    picker.SetNewFolderCaptions({QStringLiteral("Default=") + QString(40, u'W')});
    picker.Loaded();
    TFolderBrowser browser(picker, native(deep));
    browser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&browser));
    // A long path is shortened on the status line.
    QCOMPARE(browser.lblStatus->text(), Picker::ShortenForStatus(native(deep), 50));
    QVERIFY(browser.lblStatus->text().contains(QStringLiteral("...")));
    // Centred on the screen; the new-folder button at the lower left, as wide as its caption.
    const QRect area = browser.screen()->geometry();
    QCOMPARE(browser.pos(), QPoint(area.x() + area.width() / 2 - browser.width() / 2,
                                   area.y() + area.height() / 2 - browser.height() / 2));
    QVERIFY(browser.isModal());
    const QRect button = browser.btnNewFolder->geometry();
    QCOMPARE(button.width(),
             browser.btnNewFolder->fontMetrics().horizontalAdvance(QString(40, u'W')) + 12);
    if (qRound(browser.screen()->logicalDotsPerInchY()) == 96)
        QCOMPARE(button.topLeft(), QPoint(12, browser.height() - 36));
    QVERIFY(button.top() > browser.tvFolders->geometry().bottom());
    QCOMPARE(browser.btnOK->y(), button.y());

    picker.SetFlags({});
    picker.SetNewFolderVisible(false);
    TFolderBrowser plain(picker, native(deep));
    plain.show();
    QVERIFY(plain.lblStatus->isHidden());
    QVERIFY(plain.btnNewFolder->isHidden());
    picker.SetNewFolderVisible(true);
    picker.SetNewFolderEnabled(false);
    TFolderBrowser disabled(picker, native(deep));
    disabled.show();
    QVERIFY(disabled.btnNewFolder->isVisible() && !disabled.btnNewFolder->isEnabled());
    QVERIFY(disabled.btnOK->isEnabled());
}

void TestFolderPicker::browserOnlyFileSystem()
{
    QVERIFY(QDir().mkpath(path("fs")));
    Picker picker;
    picker.SetFlags(Picker::OnlyFileSystem | Picker::ShowPath);
    QSignalSpy changed(&picker, &Picker::OnSelectionChanged);
    TFolderBrowser browser(picker, native(path("fs")));
    browser.show();
    QVERIFY(browser.btnOK->isEnabled());
    browser.tvFolders->setCurrentIndex(QModelIndex());
    QVERIFY(!browser.btnOK->isEnabled());
    QVERIFY(!browser.btnNewFolder->isEnabled());
    QCOMPARE(browser.lblStatus->text(), QString());
    QCOMPARE(changed.last().at(2).toString(), QString());
    // Enter does nothing while OK is disabled.
    QTest::keyClick(browser.tvFolders, Qt::Key_Return);
    QVERIFY(browser.isVisible());
    QVERIFY(browser.SelectFolder(path("fs")));
    QVERIFY(browser.btnOK->isEnabled());
}

void TestFolderPicker::browserHidesHiddenFolders()
{
    for (const char *dir : {"h/visible", "h/.hidden/inner", "h/.other"})
        QVERIFY(QDir().mkpath(path(dir)));
    Picker picker;
    {
        TFolderBrowser browser(picker, native(path("h")));
        browser.show();
        browser.tvFolders->expand(browser.tvFolders->currentIndex());
        QTRY_COMPARE(browser.Model()->rowCount(browser.Model()->index(path("h"))), 3);
        QCOMPARE(shownChildren(browser, path("h")), QStringList{"visible"});
    }
    // On the way to the folder to show, a hidden folder is shown after all.
    TFolderBrowser browser(picker, native(path("h/.hidden/inner")));
    browser.show();
    QCOMPARE(browser.SelectedFolder(), native(path("h/.hidden/inner")));
    QTRY_COMPARE(browser.Model()->rowCount(browser.Model()->index(path("h"))), 3);
    QCOMPARE(shownChildren(browser, path("h")), QStringList({".hidden", "visible"}));
}

void TestFolderPicker::newFolderReopensWithItSelected()
{
    QVERIFY(QDir().mkpath(path("nf")));
    ScriptedDialogs dialogs;
    Picker picker;
    picker.SetNewFolderCaptions({"0412=새폴더"});
    picker.SetFolder(native(path("nf")));
    const QString created = native(path("nf/새 폴더/둘째"));
    dialogs.queueFolderBrowser([&](TFolderBrowser &browser) {
        browser.show();
        // An empty or cancelled name makes nothing.
        dialogs.queueInput(QString());
        browser.btnNewFolder->click();
        browser.btnNewFolder->click();
        if (!browser.isVisible() || !browser.CreatedFolder().isEmpty())
            return int(QDialog::Rejected);
        dialogs.queueInput(QStringLiteral("새 폴더/둘째"));
        browser.btnNewFolder->click();
        return browser.result();
    });
    QString reopenedAt;
    dialogs.queueFolderBrowser([&](TFolderBrowser &browser) {
        browser.show();
        reopenedAt = browser.SelectedFolder();
        browser.btnOK->click();
        return browser.result();
    });
    QVERIFY(picker.Execute());
    QVERIFY(QFileInfo(created).isDir());
    QCOMPARE(reopenedAt, created);
    QCOMPARE(picker.Folder(), created);
    QCOMPARE(dialogs.folderCount(), 2);
    QCOMPARE(dialogs.asked.last().folderStart, created);
    // The name was asked with the new-folder caption, no prompt and no proposal.
    QCOMPARE(dialogs.asked.at(1).input.caption, QStringLiteral("새폴더"));
    QCOMPARE(dialogs.asked.at(1).input.prompt, QString());
    QCOMPARE(dialogs.asked.at(1).input.value, QString());
    QCOMPARE(dialogs.messageCount(), 0);
}

void TestFolderPicker::newFolderFailureEndsExecute()
{
    QVERIFY(QDir().mkpath(path("bad")));
    TestFiles::write(path("bad/file.txt"), "not a folder");
    ScriptedDialogs dialogs;
    Picker picker;
    picker.SetFolder(native(path("bad")));
    dialogs.queueFolderBrowser([&](TFolderBrowser &browser) {
        browser.show();
        dialogs.queueInput(QStringLiteral("file.txt/sub"));
        browser.btnNewFolder->click();
        return browser.isVisible() ? int(QDialog::Accepted) : browser.result();
    });
    dialogs.queueFolder(QStringLiteral("/never/asked"));
    QVERIFY(!picker.Execute());
    QCOMPARE(picker.Folder(), native(path("bad")));
    QCOMPARE(dialogs.folderCount(), 1);
    QCOMPARE(dialogs.messageTexts(), QStringList{QStringLiteral("Unable to create the folder %1")
                                                     .arg(native(path("bad/file.txt/sub")))});
    QCOMPARE(dialogs.asked.last().message.icon, DialogService::Icon::Error);
}

int main(int argc, char **argv)
{
    VandrelApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Vandrel"));
    TestFolderPicker test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_folderpicker.moc"
