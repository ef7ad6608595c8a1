#include "platform/Application.h"
#include "platform/ShellFiles.h"
#include "records/RecordStore.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"
#include "support/TreeHelpers.h"

#include <QDir>
#include <QSignalSpy>
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
    void identityStays_data();
    void identityStays();
    void renameReferencesEnds_data();
    void renameReferencesEnds();
    void renameReferencesKeepsOtherBytes_data();
    void renameReferencesKeepsOtherBytes();
    void everyChangeIsTold_data();
    void everyChangeIsTold();

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
    const QByteArray own = TestFiles::read(path("Co/__g_t.zu"));
    QVERIFY2(own.startsWith("[data]\r\nHand=010\r\n[Vandrel]\r\nUID=urn:uuid:"), own.constData());
    // A record with nothing in it still exists.
    RecordStore::CreateRecord(path("Co/Kim.txt"), Record());
    QVERIFY(QFileInfo(path("Co/Kim.txt")).isFile());
    QVERIFY(RecordStore::NameTaken(path("Co"), QStringLiteral("KIM.TXT")));
    QVERIFY(RecordStore::NameTaken(m_dir->path(), QStringLiteral("co")));
    QVERIFY(!RecordStore::NameTaken(path("Co"), QStringLiteral("Kim")));
}

void TestRecordStore::identityStays_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("after"); // where the record is then
    QTest::newRow("rename") << "rename"
                            << "Co/Lee.txt";
    QTest::newRow("move") << "move"
                          << "Other/Kim.txt";
    QTest::newRow("edit") << "edit"
                          << "Co/Kim.txt";
    QTest::newRow("folder renamed") << "rename folder"
                                    << "Firm/Kim.txt";
}

void TestRecordStore::identityStays()
{
    QFETCH(QString, operation);
    QFETCH(QString, after);
    QDir().mkpath(path("Other"));
    Record kim;
    kim.SetValue(u"Hand", QStringLiteral("010"));
    QDir().mkpath(path("Co"));
    RecordStore::CreateRecord(path("Co/Kim.txt"), kim);
    RecordStore::CreateRecord(path("Co/Park.txt"), kim);
    const QString uid = Record::Read(path("Co/Kim.txt")).Uid();
    QVERIFY(uid.startsWith(QStringLiteral("urn:uuid:")));
    QVERIFY(uid != Record::Read(path("Co/Park.txt")).Uid());
    ScriptedDialogs dialogs;
    const QString co = QDir::toNativeSeparators(path("Co")) + QDir::separator();
    if (operation == u"rename")
        QCOMPARE(RecordStore::Rename(co, "Kim", "Lee", true, nullptr), QString());
    else if (operation == u"move")
        QVERIFY(RecordStore::Move(path("Co/Kim.txt"), path("Other")));
    else if (operation == u"rename folder")
        QCOMPARE(RecordStore::Rename(root() + QDir::separator(), "Co", "Firm", false, nullptr),
                 QString());
    else {
        // The edit form knows nothing of the identity.
        Record typed;
        typed.SetValue(u"Hand", QStringLiteral("011"));
        RecordStore::SaveRecord(path("Co/Kim.txt"), typed);
        QCOMPARE(Record::Read(path(after)).Value(u"Hand"), QStringLiteral("011"));
    }
    QCOMPARE(Record::Read(path(after)).Uid(), uid);
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

void TestRecordStore::everyChangeIsTold_data()
{
    // What each operation tells: kind, path and old path below the data directory, "folder"
    // for a folder, one notification per operation; an empty list: nothing is told.
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QStringList>("told");
    QTest::newRow("create a record") << "create" << QStringList{"A Co/Lee.txt"};
    QTest::newRow("create a folder") << "folder" << QStringList{"A New folder", "A New/__g_t.zu"};
    QTest::newRow("save a change") << "save" << QStringList{"C Co/Kim.txt"};
    QTest::newRow("save unchanged") << "save same" << QStringList{};
    QTest::newRow("save a missing folder record") << "save folder" << QStringList{"A Co/__g_t.zu"};
    QTest::newRow("rename with references")
        << "rename" << QStringList{"R Co/Park.txt Co/Kim.txt", "C Co/Park.txt"};
    QTest::newRow("rename a folder") << "rename folder" << QStringList{"R Firm Co folder"};
    QTest::newRow("move") << "move" << QStringList{"R Kim.txt Co/Kim.txt"};
    QTest::newRow("delete") << "delete" << QStringList{"D Co/Kim.txt"};
    QTest::newRow("failed delete") << "delete fails" << QStringList{};
    QTest::newRow("one operation")
        << "operation" << QStringList{"A Co/One.txt", "A Co/Two.txt", "=가져오기: 2개"};
}

void TestRecordStore::everyChangeIsTold()
{
    QFETCH(QString, operation);
    QFETCH(QStringList, told);
    QDir().mkpath(path("Co/__Kim"));
    TestFiles::write(path("Co/Kim.txt"),
                     "[data]\r\nHand=1\r\n[Memo]\r\nmany=1\r\n1=\"__Kim/a.jpg\"\r\n");
    TestFiles::write(path("Co/__Kim/a.jpg"), "jpg");
    ShellFiles::SetTrashFunction([&](const QString &p, QString *) {
        return operation != u"delete fails" && QDir(p).removeRecursively() | QFile::remove(p);
    });
    ScriptedDialogs dialogs;
    QSignalSpy spy(&RecordStore::Notifier::Instance(), &RecordStore::Notifier::changed);
    Record kim = Record::Read(path("Co/Kim.txt"));
    if (operation == u"create") {
        RecordStore::CreateRecord(path("Co/Lee.txt"), kim);
    } else if (operation == u"folder") {
        kim.SetValue(u"ONme", QStringLiteral("새 회사"));
        RecordStore::CreateFolder(path("New"), kim);
    } else if (operation.startsWith(u"save")) {
        if (operation == u"save")
            kim.SetValue(u"Hand", QStringLiteral("2"));
        RecordStore::SaveRecord(path(operation == u"save folder" ? "Co/__g_t.zu" : "Co/Kim.txt"),
                                kim);
    } else if (operation == u"rename") {
        QString warning;
        QCOMPARE(RecordStore::Rename(path("Co/"), "Kim", "Park", true, &warning), QString());
    } else if (operation == u"rename folder") {
        QString warning;
        QCOMPARE(RecordStore::Rename(root() + u'/', "Co", "Firm", false, &warning), QString());
    } else if (operation == u"move") {
        QVERIFY(RecordStore::Move(path("Co/Kim.txt"), root()));
    } else if (operation.startsWith(u"delete")) {
        QCOMPARE(RecordStore::DeletePath(path("Co/Kim.txt")), operation == u"delete");
    } else if (operation == u"operation") {
        RecordStore::Operation op;
        RecordStore::CreateRecord(path("Co/One.txt"), kim);
        RecordStore::CreateRecord(path("Co/Two.txt"), kim);
        QCOMPARE(spy.count(), 0); // nothing before the operation ends
        op.SetDescription(QStringLiteral("가져오기: 2개"));
    }
    ShellFiles::SetTrashFunction({});
    const QString base = QDir::toNativeSeparators(m_dir->path() + u'/');
    QStringList got;
    for (const QList<QVariant> &call : std::as_const(spy)) {
        const auto changes = call.at(0).value<QList<RecordStore::Change>>();
        for (const RecordStore::Change &c : changes) {
            QString line = QStringLiteral("ACDR").at(int(c.kind)) + u' '
                           + QDir::fromNativeSeparators(c.path.mid(base.size()));
            if (!c.oldPath.isEmpty())
                line += u' ' + QDir::fromNativeSeparators(c.oldPath.mid(base.size()));
            if (c.folder)
                line += QStringLiteral(" folder");
            got << line;
        }
        if (!call.at(1).toString().isEmpty())
            got << u'=' + call.at(1).toString();
    }
    QCOMPARE(got, told);
    QVERIFY(spy.count() <= 1); // one operation, one notification
}

int main(int argc, char **argv)
{
    VandrelApplication app(argc, argv);
    TestRecordStore test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_recordstore.moc"
