#include "platform/ShellFiles.h"
#include "records/ContactImport.h"
#include "records/Duplicates.h"
#include "records/History.h"
#include "records/Record.h"
#include "records/RecordStore.h"
#include "support/FileTraps.h"
#include "support/TestFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <optional>

namespace {

using Files = QMap<QString, QByteArray>;

// Every folder ("name/") and file below dir but the history itself.
Files snapshot(const QString &dir)
{
    Files out;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(dir).relativeFilePath(path);
        if (rel.startsWith(History::RepositoryName))
            continue;
        if (it.fileInfo().isDir())
            out.insert(rel + u'/', {});
        else
            out.insert(rel, TestFiles::read(path));
    }
    return out;
}

// Writes a file, making its folders.
void put(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    TestFiles::write(path, bytes);
}

// The record at file with the mobile number hand, saved through the store; what was saved.
Record saveHand(const QString &file, const QString &hand)
{
    Record record = Record::Read(file);
    record.SetValue(u"Hand", hand);
    RecordStore::SaveRecord(file, record);
    return record;
}

// The repositories set aside as damaged in dir.
QStringList damagedRepositories(const QString &dir)
{
    return QDir(dir).entryList({History::RepositoryName + QStringLiteral("-damaged-*")},
                               QDir::Dirs | QDir::Hidden);
}

const QByteArray KimBytes =
    "[data]\r\nName=김철수\r\nHand=010-1234-5678\r\nMemo=\"__김철수/사진.jpg\"\r\n"
    "[Vandrel]\r\nUID=urn:uuid:kim\r\n";
const QByteArray LeeBytes =
    "[data]\r\nName=이영희\r\nOPh1=02-555-0101\r\n[Vandrel]\r\nUID=urn:uuid:lee\r\n";

const QByteArray Cards =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:박민수\r\nTEL;TYPE=CELL:010-2222-3333\r\n"
    "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nFN:최지우\r\n"
    "TEL;TYPE=WORK:02-777-8888\r\nEND:VCARD\r\n";

// count cards (two or more): those of Cards and guests after them.
QByteArray cardsFile(int count)
{
    QByteArray vcf = Cards;
    for (int i = 2; i < count; ++i)
        vcf += QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:손님 %1\r\nTEL:010-1000-%2\r\n"
                              "END:VCARD\r\n")
                   .arg(i)
                   .arg(1000 + i)
                   .toUtf8();
    return vcf;
}

} // namespace

// The data directory's history: commits, undo and redo through the store, a record's versions,
// deleted records, changes made by others, and a history that cannot be written.
class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void undoRedo_data();
    void undoRedo();
    void undoAfterRestart_data();
    void undoAfterRestart();
    void commandLineBesideWindow();
    void versionsFollowTheRecord_data();
    void versionsFollowTheRecord();
    void restoreOneField();
    void deletedRecords_data();
    void deletedRecords();
    void outsideChanges_data();
    void outsideChanges();
    void cannotWrite_data();
    void cannotWrite();
    void damagedRepository_data();
    void damagedRepository();
    void usersOwnRepository();
    void killedAnywhere_data();
    void killedAnywhere();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString root() const { return m_dir->path(); }
    QString path(const QString &rel) const
    {
        return QDir::toNativeSeparators(m_dir->filePath(rel));
    }
    void makeData();
    // One operation through the store on the data of makeData.
    void operate(const QString &operation);
};

void TestHistory::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    // The trash is a folder of the test's own.
    ShellFiles::SetTrashFunction(
        [](const QString &p, QString *) { return QDir(p).removeRecursively() | QFile::remove(p); });
}

void TestHistory::cleanup()
{
    ShellFiles::SetTrashFunction({});
}

void TestHistory::makeData()
{
    put(path("친구/김철수.txt"), KimBytes);
    put(path("친구/__김철수/사진.jpg"), QByteArray("\xff\xd8jpeg", 6));
    put(path("친구/__g_t.zu"), "[data]\r\nONme=친구들\r\n");
    put(path("가족/표지.jpg"), "not a record"); // never kept
    put(path("가족/이영희.txt"), LeeBytes);
    QVERIFY(QDir().mkpath(path("빈 폴더")));
}

void TestHistory::operate(const QString &operation)
{
    QString warning;
    if (operation == u"save") {
        saveHand(path("친구/김철수.txt"), QStringLiteral("010-9999-0000"));
    } else if (operation == u"create") {
        Record park;
        park.SetValue(u"Name", QStringLiteral("박민수"));
        RecordStore::CreateRecord(path("가족/박민수.txt"), park);
    } else if (operation == u"folder") {
        RecordStore::CreateFolder(path("거래처"), Record());
    } else if (operation == u"rename") {
        QCOMPARE(RecordStore::Rename(path("친구") + u'/', QStringLiteral("김철수"),
                                     QStringLiteral("김영수"), true, &warning),
                 QString());
    } else if (operation == u"move") {
        QVERIFY(RecordStore::Move(path("친구/김철수.txt"), path("가족")));
    } else if (operation == u"rename folder") {
        QCOMPARE(RecordStore::Rename(root() + u'/', QStringLiteral("친구"), QStringLiteral("동창"),
                                     false, &warning),
                 QString());
    } else if (operation == u"move folder") {
        QVERIFY(RecordStore::Move(path("가족"), path("친구")));
    } else if (operation == u"delete") {
        QVERIFY(RecordStore::DeletePath(path("친구/김철수.txt")));
    } else if (operation == u"delete folder") {
        QVERIFY(RecordStore::DeletePath(path("친구")));
    } else if (operation.startsWith(u"import")) {
        QTemporaryDir cards;
        const int count = operation == u"import" ? 2 : 300;
        put(cards.filePath("cards.vcf"), cardsFile(count));
        const ContactReport report =
            ContactImport::Import({cards.filePath("cards.vcf")}, path("가족/새로"), {}, root());
        QCOMPARE(report.written, count);
    } else {
        QFAIL(qPrintable(operation));
    }
}

void TestHistory::undoRedo_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("message");
    QTest::newRow("save") << "save"
                          << "자료 수정: 친구/김철수";
    QTest::newRow("create record") << "create"
                                   << "자료 생성: 가족/박민수";
    QTest::newRow("create folder") << "folder"
                                   << "폴더 생성: 거래처";
    QTest::newRow("rename with companion") << "rename"
                                           << "이름 변경: 친구/김철수 → 김영수";
    QTest::newRow("move with companion") << "move"
                                         << "이동: 친구/김철수 → 가족";
    QTest::newRow("move folder") << "move folder"
                                 << "이동: 가족 → 친구";
    QTest::newRow("rename folder") << "rename folder"
                                   << "이름 변경: 친구 → 동창";
    QTest::newRow("delete record") << "delete"
                                   << "자료 삭제: 친구/김철수";
    QTest::newRow("delete folder") << "delete folder"
                                   << "폴더 삭제: 친구";
    QTest::newRow("import") << "import"
                            << "가져오기: 2개";
    // More files than a commit writes one by one: its objects go in as one pack.
    QTest::newRow("import of 300 cards") << "import 300"
                                         << "가져오기: 300개";
    // Two records, a companion folder moved over and one record to the trash: one undo.
    QTest::newRow("merge of duplicates") << "merge"
                                         << "중복 합치기: 김철수";
}

// Each operation undone gives the bytes before it back, redone the bytes after it, and both
// are commits of their own.
void TestHistory::undoRedo()
{
    QFETCH(QString, operation);
    QFETCH(QString, message);
    makeData();
    History history(root());
    history.Flush();
    QVERIFY2(history.IsOn(), qPrintable(history.OffReason()));
    QVERIFY(!history.CanUndo());
    const Files before = snapshot(root());

    if (operation == u"merge") {
        Record copy = Record::Read(path("친구/김철수.txt"));
        copy.SetUid(QString());
        copy.SetValue(u"Hand", QStringLiteral("010-9999-0000"));
        RecordStore::CreateRecord(path("가족/김철수.txt"), copy);
        RecordStore::AddCompanionFile(path("가족/김철수.txt"), QStringLiteral("사진.jpg"), "png");
        history.Flush();
        const Files beforeMerge = snapshot(root());
        Duplicates::Merge merge;
        merge.paths = {path("가족/김철수.txt"), path("친구/김철수.txt")};
        merge.kept = 1;
        merge.name = QStringLiteral("김철수");
        merge.folder = path("친구");
        merge.values = Duplicates::MergedValues(
            {Record::Read(merge.paths[0]), Record::Read(merge.paths[1])}, {}, 1);
        QCOMPARE(Duplicates::MergeRecords(merge), QString());
        history.Flush();
        QCOMPARE(history.Log(1).value(0), message);
        QCOMPARE(history.Undo(), QString());
        QCOMPARE(snapshot(root()), beforeMerge);
        QCOMPARE(history.Redo(), QString());
        QVERIFY(!QFile::exists(path("가족/김철수.txt")));
        return;
    }
    operate(operation);
    if (QTest::currentTestFailed())
        return;
    history.Flush();
    const Files after = snapshot(root());
    QVERIFY(after != before);
    QCOMPARE(history.Log(1).value(0), message);
    QVERIFY(history.CanUndo());
    QCOMPARE(history.UndoText(), message);

    QCOMPARE(history.Undo(), QString());
    QCOMPARE(snapshot(root()), before);
    QCOMPARE(history.Log(1).value(0), QStringLiteral("실행 취소: ") + message);
    QVERIFY(!history.CanUndo());
    QVERIFY(history.CanRedo());

    QCOMPARE(history.Redo(), QString());
    QCOMPARE(snapshot(root()), after);
    QCOMPARE(history.Log(1).value(0), QStringLiteral("다시 실행: ") + message);
    QVERIFY(!history.CanRedo());

    // The redo is undone like the operation itself.
    QCOMPARE(history.Undo(), QString());
    QCOMPARE(snapshot(root()), before);
}

void TestHistory::undoAfterRestart_data()
{
    QTest::addColumn<QStringList>("operations");
    QTest::newRow("save") << QStringList{"save"};
    QTest::newRow("move, then its folder renamed") << QStringList{"move", "rename folder"};
    QTest::newRow("delete, then an import") << QStringList{"delete", "import"};
    // Another program changes the saved record before the restart.
    QTest::newRow("save, then changed by another program") << QStringList{"save", "outside"};
}

// Undo and redo reach the operations of earlier runs, one after another, each after a restart:
// the bytes on disk go back to what they were before each operation and forward again, and an
// undo is never taken for an operation to undo.
void TestHistory::undoAfterRestart()
{
    QFETCH(QStringList, operations);
    makeData();
    std::unique_ptr<History> history;
    const auto restart = [&] {
        history.reset();
        history = std::make_unique<History>(root());
    };
    QList<Files> states{snapshot(root())}; // before each operation and after the last
    const QByteArray others = "[data]\r\nName=김철수\r\nHand=010-4444-4444\r\n";
    for (const QString &operation : std::as_const(operations)) {
        restart();
        history->Flush();
        if (operation == u"outside") {
            put(path("친구/김철수.txt"), others);
            continue;
        }
        operate(operation);
        if (QTest::currentTestFailed())
            return;
        history->Flush();
        states << snapshot(root());
    }

    const qsizetype count = states.size() - 1;
    for (qsizetype i = count; i > 0; --i) {
        restart();
        // Nothing read yet, and still the action is no dead one.
        QVERIFY(history->CanUndo());
        QCOMPARE(history->Undo(), QString());
        QCOMPARE(snapshot(root()), states.at(i - 1));
        if (i == count && operations.last() == u"outside") {
            // What the other program wrote went into the history before the undo replaced it.
            QCOMPARE(history->Log(2).value(1), QStringLiteral("밖에서 바뀜"));
            const QList<History::Version> versions = history->Versions(path("친구/김철수.txt"));
            QVERIFY(std::any_of(versions.cbegin(), versions.cend(), [&](const auto &v) {
                return v.operation == u"밖에서 바뀜" && v.bytes == others;
            }));
        }
    }
    restart();
    history->ReadUndo();
    history->Flush();
    QVERIFY(!history->CanUndo());
    QCOMPARE(history->Undo(), QStringLiteral("실행 취소할 작업이 없습니다."));
    QCOMPARE(snapshot(root()), states.at(0));

    for (qsizetype i = 1; i <= count; ++i) {
        restart();
        QCOMPARE(history->Redo(), QString());
        QCOMPARE(snapshot(root()), states.at(i));
    }
    restart();
    history->ReadUndo();
    history->Flush();
    QVERIFY(!history->CanRedo());
    QVERIFY(history->CanUndo());
    // A redo is undone like the operation it made again.
    QCOMPARE(history->Undo(), QString());
    QCOMPARE(snapshot(root()), states.at(count - 1));
}

namespace {

// The id git gives a file's bytes.
QByteArray blobId(const QByteArray &bytes)
{
    return QCryptographicHash::hash("blob " + QByteArray::number(bytes.size()) + '\0' + bytes,
                                    QCryptographicHash::Sha1)
        .toHex();
}

// git's answer, or nothing when it failed.
std::optional<QByteArray> runGit(const QStringList &args)
{
    QProcess git;
    git.start(QStandardPaths::findExecutable(QStringLiteral("git")), args);
    if (!git.waitForFinished(60000) || git.exitStatus() != QProcess::NormalExit
        || git.exitCode() != 0)
        return std::nullopt;
    return git.readAllStandardOutput();
}

} // namespace

// The command line imports while a history in this program has the same data directory open
// and commits saves of its own in the same folder, and the watcher's looks come in between:
// git finds every operation once and nothing taken for a change of others, the last commit
// holds every kept file byte for byte as it is on disk, and undo takes back all of them, the
// command line's too.
void TestHistory::commandLineBesideWindow()
{
    if (QStandardPaths::findExecutable(QStringLiteral("git")).isEmpty())
        QSKIP("git is not installed");
    makeData();
    History history(root());
    history.Flush();
    const Files before = snapshot(root());
    QTemporaryDir cards;
    const int count = 250; // written as one pack
    put(cards.filePath("cards.vcf"), cardsFile(count));

    QProcess cli;
    cli.start(QStringLiteral(VANDREL_PROGRAM),
              {QStringLiteral("--import"), cards.filePath("cards.vcf"), QStringLiteral("--into"),
               QStringLiteral("가족"), QStringLiteral("--data"), root()});
    QVERIFY(cli.waitForStarted());
    Record lee = Record::Read(path("가족/이영희.txt"));
    int saves = 0;
    for (; saves < 3 || (cli.state() != QProcess::NotRunning && saves < 1000); ++saves) {
        lee.SetValue(u"OPh1", QStringLiteral("02-555-%1").arg(1000 + saves));
        RecordStore::SaveRecord(path("가족/이영희.txt"), lee);
        // A commit reads the file as it is then: saves at a person's pace, not faster than
        // their commits.
        history.Flush();
        if (saves % 20 == 10)
            history.LookAt(path("가족")); // as the watcher tells it
        cli.waitForFinished(5);
    }
    QVERIFY(cli.state() == QProcess::NotRunning || cli.waitForFinished(60000));
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
    history.LookAt(path("가족"));
    history.Flush();

    const QString gitDir = QStringLiteral("--git-dir=") + path(History::RepositoryName);
    const std::optional<QByteArray> log =
        runGit({gitDir, QStringLiteral("log"), QStringLiteral("--format=%s")});
    QVERIFY(log);
    const QStringList subjects = QString::fromUtf8(*log).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(subjects.count(QStringLiteral("가져오기: %1개").arg(count)), 1);
    QCOMPARE(subjects.count(QStringLiteral("자료 수정: 가족/이영희")), saves);
    QCOMPARE(subjects.size(), saves + 2); // and the first commit

    // The last commit's files, by their ids, are those on disk that the history keeps.
    const std::optional<QByteArray> tree =
        runGit({gitDir, QStringLiteral("ls-tree"), QStringLiteral("-r"), QStringLiteral("-z"),
                QStringLiteral("HEAD")});
    QVERIFY(tree);
    QMap<QString, QByteArray> committed, onDisk;
    for (const QByteArray &entry : tree->split('\0')) {
        const qsizetype tab = entry.indexOf('\t');
        if (tab > 0)
            committed.insert(QString::fromUtf8(entry.mid(tab + 1)),
                             entry.left(tab).split(' ').value(2));
    }
    const Files now = snapshot(root());
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (!it.key().endsWith(u'/') && it.key() != u"가족/표지.jpg")
            onDisk.insert(it.key(), blobId(it.value()));
    QCOMPARE(committed, onDisk);

    for (int i = 0; i < saves + 1; ++i)
        QCOMPARE(history.Undo(), QString());
    QCOMPARE(snapshot(root()), before);
    QVERIFY(!history.CanUndo());
}

void TestHistory::versionsFollowTheRecord_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("there");
    QTest::newRow("rename") << "rename"
                            << "친구/김영수.txt";
    QTest::newRow("move") << "move"
                          << "가족/김철수.txt";
    QTest::newRow("folder renamed") << "rename folder"
                                    << "동창/김철수.txt";
    QTest::newRow("moved by another program") << "outside"
                                              << "가족/김철수.txt";
}

// The versions of a record come through its renames and moves, by the store or by others.
void TestHistory::versionsFollowTheRecord()
{
    QFETCH(QString, how);
    QFETCH(QString, there);
    makeData();
    History history(root());
    history.Flush(); // the first commit holds the data directory as it was
    Record kim = saveHand(path("친구/김철수.txt"), QStringLiteral("010-1111-1111"));
    history.Flush();
    const QByteArray first = TestFiles::read(path("친구/김철수.txt"));

    if (how == u"outside") {
        QVERIFY(QFile::rename(path("친구/김철수.txt"), path("가족/김철수.txt")));
        history.LookAt({path("친구"), path("가족")}); // as the watcher tells it
    } else {
        operate(how);
        if (QTest::currentTestFailed())
            return;
    }
    history.Flush();
    kim.SetValue(u"Hand", QStringLiteral("010-2222-2222"));
    RecordStore::SaveRecord(path(there), kim);
    history.Flush();
    const QByteArray second = TestFiles::read(path(there));

    // A rename also points the record's own references at the new companion folder: a version.
    const QList<History::Version> versions = history.Versions(path(there));
    QCOMPARE(versions.size(), how == u"rename" ? 4 : 3);
    QCOMPARE(versions.at(0).bytes, second);
    QCOMPARE(versions.at(0).path, there);
    const History::Version &saved = versions.at(versions.size() - 2);
    QCOMPARE(saved.bytes, first);
    QCOMPARE(saved.path, QStringLiteral("친구/김철수.txt"));
    QCOMPARE(saved.operation, QStringLiteral("자료 수정: 친구/김철수"));
    QCOMPARE(versions.last().bytes, KimBytes);
    QVERIFY(versions.at(0).when.isValid());
}

// One field of an old version goes back; every other field keeps what it has now.
void TestHistory::restoreOneField()
{
    makeData();
    History history(root());
    history.Flush(); // the first commit holds the data directory as it was
    Record kim = Record::Read(path("친구/김철수.txt"));
    kim.SetValue(u"Hand", QStringLiteral("010-3333-3333"));
    kim.SetValue(u"OPh1", QStringLiteral("02-123-4567"));
    RecordStore::SaveRecord(path("친구/김철수.txt"), kim);
    history.Flush();

    const QList<History::Version> versions = history.Versions(path("친구/김철수.txt"));
    QCOMPARE(versions.size(), 2);
    const Record old = Record::FromBytes(versions.last().bytes);
    Record now = Record::Read(path("친구/김철수.txt"));
    now.SetValue(u"Hand", old.Value(u"Hand"));
    RecordStore::SaveRecord(path("친구/김철수.txt"), now);
    history.Flush();

    const Record back = Record::Read(path("친구/김철수.txt"));
    QCOMPARE(back.Value(u"Hand"), QStringLiteral("010-1234-5678"));
    QCOMPARE(back.Value(u"OPh1"), QStringLiteral("02-123-4567"));
    QCOMPARE(back.Uid(), QStringLiteral("urn:uuid:kim"));
    QCOMPARE(history.Versions(path("친구/김철수.txt")).size(), 3);
    // and the restore is undone like any save
    QCOMPARE(history.Undo(), QString());
    QCOMPARE(Record::Read(path("친구/김철수.txt")).Value(u"Hand"), QStringLiteral("010-3333-3333"));
}

void TestHistory::deletedRecords_data()
{
    QTest::addColumn<QString>("deleted");
    QTest::newRow("record, trash emptied") << "친구/김철수.txt";
    QTest::newRow("its folder") << "친구";
}

// A deleted record comes back into its folder with its companion folder, also after the trash
// was emptied and its folder is gone; one still there or moved elsewhere is no deleted record.
void TestHistory::deletedRecords()
{
    QFETCH(QString, deleted);
    makeData();
    const QDateTime since = QDateTime::currentDateTime().addSecs(-60);
    History history(root());
    history.Flush();
    QVERIFY(RecordStore::Move(path("가족/이영희.txt"), path("빈 폴더")));
    QVERIFY(RecordStore::DeletePath(path(deleted)));
    history.Flush();
    QVERIFY(!QFileInfo::exists(path("친구/김철수.txt")));

    const QList<History::Deleted> list = history.DeletedRecords(since);
    QCOMPARE(list.size(), 1);
    QCOMPARE(list.at(0).path, QStringLiteral("친구/김철수.txt"));
    QVERIFY(list.at(0).operation.endsWith(deleted == u"친구" ? u"친구" : u"친구/김철수"));
    QVERIFY(history.DeletedRecords(QDateTime::currentDateTime().addSecs(60)).isEmpty());

    QString restored;
    QCOMPARE(history.RestoreDeleted(list.at(0), &restored), QString());
    QCOMPARE(restored, path("친구/김철수.txt"));
    QCOMPARE(TestFiles::read(path("친구/김철수.txt")), KimBytes);
    QCOMPARE(TestFiles::read(path("친구/__김철수/사진.jpg")), QByteArray("\xff\xd8jpeg", 6));
    history.Flush();
    QVERIFY(history.DeletedRecords(since).isEmpty());
    QCOMPARE(history.Log(1).value(0), QStringLiteral("되살리기: 친구/김철수"));
}

void TestHistory::outsideChanges_data()
{
    QTest::addColumn<bool>("byWatcher");
    QTest::newRow("next operation") << false;
    QTest::newRow("watcher") << true;
}

// What another program changed is its own commit, before the operation that met it, and undo
// does not take it back.
void TestHistory::outsideChanges()
{
    QFETCH(bool, byWatcher);
    makeData();
    History history(root());
    history.Flush();
    const QByteArray edited = "[data]\r\nName=이영희\r\nOPh1=02-000-0000\r\n";
    put(path("가족/이영희.txt"), edited);
    put(path("가족/__이영희/메모.txt"), "new");
    put(path("가족/손님.txt"), "[data]\r\nName=손님\r\n");
    if (byWatcher) {
        history.LookAt(path("가족"));
        history.Flush();
        QCOMPARE(history.Log(1).value(0), QStringLiteral("밖에서 바뀜"));
    }
    RecordStore::CreateRecord(path("가족/박민수.txt"), Record());
    history.Flush();
    const QStringList log = history.Log(3);
    QCOMPARE(log.value(0), QStringLiteral("자료 생성: 가족/박민수"));
    QCOMPARE(log.value(1), QStringLiteral("밖에서 바뀜"));
    QCOMPARE(history.FileAt(QStringLiteral("가족/이영희.txt")), edited);
    QCOMPARE(history.FileAt(QStringLiteral("가족/__이영희/메모.txt")), QByteArray("new"));
    QVERIFY(!history.FileAt(QStringLiteral("가족/손님.txt")).isEmpty());
    QCOMPARE(history.Undo(), QString());
    QVERIFY(!QFileInfo::exists(path("가족/박민수.txt")));
    QCOMPARE(TestFiles::read(path("가족/이영희.txt")), edited);
    QVERIFY(!history.CanUndo());
}

void TestHistory::cannotWrite_data()
{
    QTest::addColumn<QString>("trap");
    QTest::addColumn<QString>("reason");
    QTest::newRow("read-only history") << "read-only"
                                       << "읽기 전용";
    QTest::newRow("disk full") << "full"
                               << "공간";
}

// A history that cannot be written turns off with one message saying why; the saves go on.
void TestHistory::cannotWrite()
{
    QFETCH(QString, trap);
    QFETCH(QString, reason);
    FileTraps traps;
    if (trap == u"full" && !FileTraps::asRoot())
        QSKIP("only a root run can mount a small file system that runs full");
    if (trap == u"full")
        QVERIFY2(traps.otherFileSystemAt(path("data")), qPrintable(traps.why()));
    const QString data = path("data");
    put(data + QStringLiteral("/친구/김철수.txt"), KimBytes);
    auto history = std::make_unique<History>(data);
    history->Flush();
    QVERIFY(history->IsOn());
    QSignalSpy stopped(history.get(), &History::stopped);

    if (trap == u"read-only") {
        if (!traps.lockFolder(data + u'/' + History::RepositoryName))
            QSKIP(qPrintable(traps.why()));
    } else {
        // Full but for one page: the save's temporary file fits, the commit's objects do not.
        QFile spare(data + QStringLiteral("/spare"));
        QVERIFY(spare.open(QIODevice::WriteOnly));
        spare.write(QByteArray(4096, 'x'));
        spare.close();
        QFile filler(data + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
        QVERIFY(QFile::remove(data + QStringLiteral("/spare")));
    }
    const Record kim =
        saveHand(data + QStringLiteral("/친구/김철수.txt"), QStringLiteral("010-5555-5555"));
    QCOMPARE(Record::Read(data + QStringLiteral("/친구/김철수.txt")), kim.Normalized());
    history->Flush();
    // Another operation after it says nothing more.
    QString warning;
    QCOMPARE(RecordStore::Rename(data + QStringLiteral("/친구/"), QStringLiteral("김철수"),
                                 QStringLiteral("김영수"), true, &warning),
             QString());
    history->Flush();
    QTRY_COMPARE(stopped.size(), 1);
    QVERIFY2(stopped.at(0).at(0).toString().contains(reason),
             qPrintable(stopped.at(0).at(0).toString()));
    QVERIFY(!history->IsOn());
    QVERIFY(history->OffReason().contains(reason));
    QVERIFY(!history->CanUndo());
    QTest::qWait(50);
    QCOMPARE(stopped.size(), 1); // once
    history.reset();
}

void TestHistory::damagedRepository_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("setAside");
    QTest::newRow("branch names a missing commit") << "ref" << true;
    QTest::newRow("objects gone") << "objects" << true;
    QTest::newRow("killed while moving the branch") << "lock" << false;
}

// A repository that cannot be read is set aside and a new one started with the data directory
// as it is; what a killed write left behind is cleared without a word.
void TestHistory::damagedRepository()
{
    QFETCH(QString, damage);
    QFETCH(bool, setAside);
    makeData();
    const QString repo = path(History::RepositoryName);
    {
        History first(root());
        first.Flush();
        saveHand(path("친구/김철수.txt"), QStringLiteral("010-7777-7777"));
        first.Flush();
        QCOMPARE(first.Log().size(), 2);
    }
    if (damage == u"ref")
        put(repo + QStringLiteral("/refs/heads/main"),
            "0123456789012345678901234567890123456789\n");
    else if (damage == u"objects")
        QVERIFY(QDir(repo + QStringLiteral("/objects")).removeRecursively());
    else {
        put(repo + QStringLiteral("/refs/heads/main.lock"), "");
        put(repo + QStringLiteral("/objects/pack/pack_git2_aBcDeF"), "half a pack");
    }

    History history(root());
    QSignalSpy stopped(&history, &History::stopped);
    saveHand(path("친구/김철수.txt"), QStringLiteral("010-8888-8888"));
    history.Flush();
    QVERIFY(history.IsOn());
    const QStringList aside = damagedRepositories(root());
    QCOMPARE(aside.size(), setAside ? 1 : 0);
    QTRY_COMPARE(stopped.size(), setAside ? 1 : 0);
    QCOMPARE(history.FileAt(QStringLiteral("친구/김철수.txt")),
             TestFiles::read(path("친구/김철수.txt")));
    if (setAside) {
        QVERIFY(stopped.at(0).at(0).toString().contains(aside.value(0)));
        QCOMPARE(history.Log().size(), 1); // started anew with the data directory as it is
    } else {
        QCOMPARE(history.Log().size(), 3);
        QVERIFY(!QFileInfo::exists(repo + QStringLiteral("/objects/pack/pack_git2_aBcDeF")));
    }
}

// A data directory in a git working tree of the user's gets no history of ours.
void TestHistory::usersOwnRepository()
{
    const QString git = QStandardPaths::findExecutable(QStringLiteral("git"));
    if (git.isEmpty())
        QSKIP("git is not installed");
    makeData();
    QCOMPARE(QProcess::execute(git, {QStringLiteral("init"), QStringLiteral("-q"), root()}), 0);
    History history(path("친구"));
    RecordStore::CreateRecord(path("친구/박민수.txt"), Record());
    history.Flush();
    QVERIFY(!history.IsOn());
    QVERIFY(history.OffReason().contains(QDir::toNativeSeparators(root())));
    QVERIFY(!History::Note(path("친구")).isEmpty());
    QVERIFY(!QFileInfo::exists(path("친구/" + History::RepositoryName)));
    QVERIFY(!history.CanUndo());

    // A folder that repository ignores is none of its business: it gets a history.
    put(path(".gitignore"), "/가족/\n");
    QVERIFY(History::Note(path("가족")).isEmpty());
    History ignored(path("가족"));
    ignored.Flush();
    RecordStore::CreateRecord(path("가족/박민수.txt"), Record());
    ignored.Flush();
    QVERIFY(ignored.IsOn());
    QCOMPARE(ignored.Log(1).value(0), QStringLiteral("자료 생성: 박민수"));
}

void TestHistory::killedAnywhere_data()
{
    QTest::addColumn<int>("after");
    QTest::newRow("at once") << 0;
    QTest::newRow("a moment in") << 150;
    QTest::newRow("well in") << 700;
}

// The program killed at any point of its saves and commits: the record on disk is a whole one
// and the next start uses the history as it is.
void TestHistory::killedAnywhere()
{
    QFETCH(int, after);
    makeData();
    QProcess writer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VANDREL_HISTORY_WRITER"), root());
    writer.setProcessEnvironment(env);
    writer.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(writer.waitForStarted());
    QVERIFY(writer.waitForReadyRead(30000)); // the first commit is made
    QTest::qWait(after);
    writer.kill(); // SIGKILL
    QVERIFY(writer.waitForFinished());

    const Record kim = Record::Read(path("친구/김철수.txt"));
    QVERIFY2(kim.Value(u"Hand").startsWith(u"010-"), qPrintable(kim.Value(u"Hand")));
    History history(root());
    history.Flush(); // what the killed run did not commit is looked at first
    saveHand(path("친구/김철수.txt"), QStringLiteral("010-0000-0001"));
    history.Flush();
    QVERIFY2(history.IsOn(), qPrintable(history.OffReason()));
    QCOMPARE(history.Log(1).value(0), QStringLiteral("자료 수정: 친구/김철수"));
    QCOMPARE(history.FileAt(QStringLiteral("친구/김철수.txt")),
             TestFiles::read(path("친구/김철수.txt")));
    QVERIFY(damagedRepositories(root()).isEmpty());
    QCOMPARE(history.Undo(), QString());
    QCOMPARE(Record::Read(path("친구/김철수.txt")), kim);
}

namespace {

// The program that killedAnywhere kills: saves one record again and again, each save committed
// by the history, and says when the first commit is there.
int saveUntilKilled(const QString &dir)
{
    History history(dir);
    history.Flush();
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    const QString file = dir + QStringLiteral("/친구/김철수.txt");
    for (int i = 0;; ++i) {
        saveHand(file, QStringLiteral("010-%1-%2").arg(1000 + i % 9000).arg(i));
        if (i % 7 == 0)
            history.Flush();
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("VANDREL_HISTORY_WRITER"))
        return saveUntilKilled(qEnvironmentVariable("VANDREL_HISTORY_WRITER"));
    TestHistory test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_history.moc"
