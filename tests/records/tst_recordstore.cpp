#include "platform/Application.h"
#include "records/RecordStore.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"
#include "support/TreeHelpers.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using TestFiles::cp949;

namespace {

// Every entry below dir: "name/" for a folder, "name=content" for a file.
QStringList snapshot(const QString &dir, const QString &prefix = {})
{
    QStringList out;
    const QDir d(dir);
    for (const QFileInfo &info :
         d.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
        if (info.isDir()) {
            out << prefix + info.fileName() + u'/';
            out << snapshot(info.filePath(), prefix + info.fileName() + u'/');
        } else {
            out << prefix + info.fileName() + u'='
                       + QString::fromUtf8(TestFiles::read(info.filePath()));
        }
    }
    return out;
}

} // namespace

// The data directory's disk rules, without a tree widget.
class TestRecordStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void listFolder();
    void rename_data();
    void rename();
    void move_data();
    void move();
    void create();
    void renameReferencesEnds_data();
    void renameReferencesEnds();
    void renameReferencesKeepsOtherBytes_data();
    void renameReferencesKeepsOtherBytes();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString &rel) const { return m_dir->filePath(rel); }
    QString root() const { return QDir::toNativeSeparators(m_dir->path()); }
};

void TestRecordStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestRecordStore::listFolder()
{
    TreeHelpers::MakeEntries(m_dir->path(), {"b.txt", "A.TXT", "c.jpg", "__g_t.zu", ".h.txt",
                                             "__x.txt", "Zed/", "alpha/", "__Kim/", ".git/"});
    const RecordStore::Listing listing = RecordStore::ListFolder(root());
    QCOMPARE(listing.folders, QStringList({"alpha", "Zed"}));
    QCOMPARE(listing.records, QStringList({"__x.txt", "A.TXT", "b.txt"}));
    QVERIFY(listing.unreadable.isEmpty());
    QVERIFY(RecordStore::HasVisibleEntries(root()));
    QVERIFY(!RecordStore::HasVisibleEntries(path("__Kim")));
    QVERIFY(RecordStore::IsDataDir(root()));
    QVERIFY(!RecordStore::IsDataDir(QString()));
    QVERIFY(!RecordStore::IsDataDir(path("b.txt")));
}

void TestRecordStore::rename_data()
{
    QTest::addColumn<QString>("oldName");
    QTest::addColumn<QString>("newName");
    QTest::addColumn<bool>("record");
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QStringList>("after");
    const QStringList others{"Lee.txt=[data]\r\nHand=Lee.txt\r\n", "Sub/"};
    QTest::newRow("record with companion")
        << "Kim"
        << "Park" << true << ""
        << QStringList{"Lee.txt=[data]\r\nHand=Lee.txt\r\n",
                       "Park.txt=[data]\r\n1=\"__Park\\a.jpg\"\r\n", "Sub/", "__Park/",
                       "__Park/a.jpg=[data]\r\nHand=__Kim/a.jpg\r\n"};
    QTest::newRow("record onto another, other case")
        << "Kim"
        << "LEE" << true << "Rename failed" << QStringList();
    QTest::newRow("folder onto a folder") << "Sub"
                                          << "sub" << false << "" << QStringList();
    QTest::newRow("letter case only")
        << "Kim"
        << "KIM" << true << ""
        << QStringList{"KIM.txt=[data]\r\n1=\"__KIM\\a.jpg\"\r\n",
                       "Lee.txt=[data]\r\nHand=Lee.txt\r\n", "Sub/", "__KIM/",
                       "__KIM/a.jpg=[data]\r\nHand=__Kim/a.jpg\r\n"};
    QTest::newRow("missing record") << "Nobody"
                                    << "X" << true << "Rename failed" << QStringList();
}

void TestRecordStore::rename()
{
    QFETCH(QString, oldName);
    QFETCH(QString, newName);
    QFETCH(bool, record);
    QFETCH(QString, problem);
    QFETCH(QStringList, after);
    TreeHelpers::MakeEntries(m_dir->path(), {"Lee.txt", "Sub/", "__Kim/a.jpg"});
    TestFiles::write(path("Kim.txt"), "[data]\r\n1=\"__Kim\\a.jpg\"\r\n");
    const QStringList before = snapshot(m_dir->path());
    QString warning;
    QCOMPARE(RecordStore::Rename(root() + QDir::separator(), oldName, newName, record, &warning),
             problem);
    QVERIFY(warning.isEmpty());
    if (!problem.isEmpty() || after.isEmpty()) {
        // Refused, or a folder renamed: nothing else changed.
        if (problem.isEmpty())
            QVERIFY(QFileInfo(path(newName)).isDir());
        else
            QCOMPARE(snapshot(m_dir->path()), before);
        return;
    }
    QCOMPARE(snapshot(m_dir->path()), after);
}

void TestRecordStore::move_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("dest");
    QTest::addColumn<int>("answer"); // to a question before replacing
    QTest::addColumn<bool>("moved");
    QTest::newRow("record with companion") << "Kim.txt"
                                           << "F" << 0 << true;
    QTest::newRow("into its own folder") << "F"
                                         << "F/G" << 0 << false;
    QTest::newRow("replace, yes") << "Kim.txt"
                                  << "R" << int(DialogService::Yes) << true;
    QTest::newRow("replace, no") << "Kim.txt"
                                 << "R" << int(DialogService::No) << false;
}

void TestRecordStore::move()
{
    QFETCH(QString, source);
    QFETCH(QString, dest);
    QFETCH(int, answer);
    QFETCH(bool, moved);
    TreeHelpers::MakeEntries(m_dir->path(), {"Kim.txt", "__Kim/a.jpg", "F/G/", "R/Kim.txt"});
    const QStringList before = snapshot(m_dir->path());
    ScriptedDialogs dialogs;
    if (answer)
        dialogs.queueButton(DialogService::Button(answer));
    QCOMPARE(RecordStore::Move(path(source), path(dest)), moved);
    QCOMPARE(dialogs.messageCount(), answer || !moved ? 1 : 0);
    if (!moved) {
        QCOMPARE(snapshot(m_dir->path()), before);
        return;
    }
    QCOMPARE(TestFiles::read(path(dest + "/Kim.txt")), QByteArray("[data]\r\nHand=Kim.txt\r\n"));
    QVERIFY(QFileInfo(path(dest + "/__Kim/a.jpg")).isFile());
    QVERIFY(!QFileInfo::exists(path("Kim.txt")));
    QVERIFY(!QFileInfo::exists(path("__Kim")));
}

void TestRecordStore::create()
{
    Record record;
    record.SetValue(u"Hand", QStringLiteral("010"));
    RecordStore::CreateFolder(path("Co"), record);
    QCOMPARE(TestFiles::read(path("Co/__g_t.zu")), QByteArray("[data]\r\nHand=010\r\n"));
    // A record with nothing in it still exists.
    RecordStore::CreateRecord(path("Co/Kim.txt"), Record());
    QVERIFY(QFileInfo(path("Co/Kim.txt")).isFile());
    QVERIFY(RecordStore::NameTaken(path("Co"), QStringLiteral("KIM.TXT")));
    QVERIFY(RecordStore::NameTaken(m_dir->path(), QStringLiteral("co")));
    QVERIFY(!RecordStore::NameTaken(path("Co"), QStringLiteral("Kim")));
}

void TestRecordStore::renameReferencesEnds_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("oldName");
    QTest::addColumn<QString>("newName");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "\"__A\\x\" \"__A/y\""
                           << "__A"
                           << "__B"
                           << "\"__B\\x\" \"__B/y\"";
    QTest::newRow("new holds quote and old") << "\"__A\\x\""
                                             << "__A"
                                             << "X\"__A"
                                             << "\"X\"__A\\x\"";
    QTest::newRow("new contains old") << "\"__A\\x\""
                                      << "__A"
                                      << "__A\\"
                                      << "\"__A\\\\x\"";
    QTest::newRow("unquoted stays") << "__A\\x"
                                    << "__A"
                                    << "__B"
                                    << "__A\\x";
    QTest::newRow("case counts") << "\"__a\\x\""
                                 << "__A"
                                 << "__B"
                                 << "\"__a\\x\"";
}

void TestRecordStore::renameReferencesEnds()
{
    QFETCH(QString, line);
    QFETCH(QString, oldName);
    QFETCH(QString, newName);
    QFETCH(QString, expected);
    const QString file = path("r.txt");
    TestFiles::write(file, "[Memo]\r\n1=" + line.toUtf8() + "\r\n");
    QVERIFY(RecordStore::RenameReferences(file, oldName, newName));
    QCOMPARE(TestFiles::read(file), "[Memo]\r\n1=" + expected.toUtf8() + "\r\n");
}

void TestRecordStore::renameReferencesKeepsOtherBytes_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("newName");
    QTest::addColumn<QByteArray>("after"); // empty: not rewritten, and false
    const QByteArray junk = "[data]\r\nHand=\x81\x20\xFF\x80 kept\r\n";
    const QByteArray ref = cp949(QStringLiteral("[Memo]\r\n1=사진 \"__A\\x\"\r\n"));
    QTest::newRow("cp949 bytes that do not decode")
        << junk + ref << "__B" << junk + cp949(QStringLiteral("[Memo]\r\n1=사진 \"__B\\x\"\r\n"));
    QTest::newRow("utf-8 stays utf-8")
        << QStringLiteral("[Memo]\n1=사진 \"__A\\x\"\n2=똠방각하\n").toUtf8() << "__B"
        << QStringLiteral("[Memo]\n1=사진 \"__B\\x\"\n2=똠방각하\n").toUtf8();
    QTest::newRow("byte-order mark kept")
        << QByteArray("\xEF\xBB\xBF[Memo]\r\n1=\"__A\\x\"\r\n") << "__B"
        << QByteArray("\xEF\xBB\xBF[Memo]\r\n1=\"__B\\x\"\r\n");
    QTest::newRow("new name beyond code page 949")
        << ref << QStringLiteral("__B😀")
        << QStringLiteral("[Memo]\r\n1=사진 \"__B😀\\x\"\r\n").toUtf8();
    QTest::newRow("beyond code page 949, bytes that do not decode")
        << junk + ref << QStringLiteral("__B😀") << QByteArray();
}

void TestRecordStore::renameReferencesKeepsOtherBytes()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, newName);
    QFETCH(QByteArray, after);
    const QString file = path("r.txt");
    TestFiles::write(file, before);
    QCOMPARE(RecordStore::RenameReferences(file, QStringLiteral("__A"), newName), !after.isEmpty());
    QCOMPARE(TestFiles::read(file), after.isEmpty() ? before : after);
}

int main(int argc, char **argv)
{
    VandrelApplication app(argc, argv);
    TestRecordStore test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_recordstore.moc"
