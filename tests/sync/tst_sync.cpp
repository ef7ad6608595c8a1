#include "platform/Paths.h"
#include "platform/ShellFiles.h"
#include "records/Record.h"
#include "records/RecordStore.h"
#include "support/DavProxy.h"
#include "support/RadicaleServer.h"
#include "support/TestFiles.h"
#include "sync/CardDavClient.h"
#include "sync/SyncEngine.h"
#include "sync/SyncState.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using CardDav::ErrorKind;

Q_DECLARE_METATYPE(CardDav::ErrorKind)

// Two-way sync against Debian's radicale on 127.0.0.1: records up, cards down, edits, merges,
// deletes, moves, a second device, wrong passwords and syncs cut off in the middle. Every test
// starts its own radicale with empty storage; the trash is a folder of the test's. A proxy in
// front of it plays a server without sync-collection, or one that refuses a card.
class TestSync : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void firstSyncBothWays_data();
    void firstSyncBothWays();
    void changes_data();
    void changes();
    void secondClient();
    void vdirsyncerAsTheOtherDevice();
    void guards_data();
    void guards();
    void serverErrors_data();
    void serverErrors();
    void wholeBookUpload_data();
    void wholeBookUpload();
    void refusedCard_data();
    void refusedCard();
    void untrustedCertificate();
    void interrupted_data();
    void interrupted();
    void commandLine_data();
    void commandLine();

private:
    bool StartServer();
    QString Data(int device = 0) const { return m_dir->filePath(u"data%1"_s.arg(device)); }
    QString Path(const QString &rel, int device = 0) const
    {
        return QDir::toNativeSeparators(Data(device) + u'/' + rel);
    }
    QString StateFile(int device = 0) const { return m_dir->filePath(u"state%1"_s.arg(device)); }
    // A sync of a data directory with the address book, through the proxy when there is one.
    SyncEngine::Request SyncRequest(int device = 0, const QString &password = QString()) const;
    SyncReport Sync(int device = 0, const QString &password = QString());
    CardDav::Account Account(const QString &password = QString()) const;
    // The syncs go through a proxy from now on; hiding sync-collection or not.
    void UseProxy(bool hideSyncCollection);
    // The sync-collection REPORTs the proxy was asked for.
    QStringList AskedForSyncCollection() const;
    // A record with a name and a mobile number, in rel (a path below the data directory).
    void MakeRecord(const QString &rel, const QString &mobile, int device = 0,
                    const QString &email = QString());
    // The cards on the server: href -> card bytes.
    QMap<QString, QByteArray> ServerCards();
    void PutServerCard(const QString &href, const QByteArray &vcard, const QString &etag = {});
    // A phone's card (PhoneCard) put at uid.vcf in the address book, or put there again; its
    // href.
    QString PutPhoneCard(const QString &uid, const QString &family, const QString &given,
                         const QString &mobile, const QString &extra = QString());
    // Every record below a data directory, relative, "/" between names.
    QStringList Records(int device = 0) const;
    // How many PUT requests to path (a pattern) the server's log tells of, or answers with
    // status (a pattern).
    int PutsTo(const QString &path, const QString &status = QString()) const;
    QString BookName();
    // The program copied into Bin() beside settings naming the data directory and the accounts
    // (sections made by AccountSection), and started there with password in the environment
    // (none when empty) and no keyring.
    QString Bin() const { return m_dir->filePath(u"bin"_s); }
    bool InstallProgram(const QStringList &accounts, const QString &sections);
    void Launch(QProcess &process, const QStringList &args, const QString &password) const;

    std::unique_ptr<RadicaleServer> m_server;
    std::unique_ptr<DavProxy> m_proxy;
    std::unique_ptr<QTemporaryDir> m_dir;
    QUrl m_book;
    QString m_skip;
    QStringList m_trashed;
    // vdirsyncer sends the password in Latin-1, so its test signs in as a user of its own.
    QString m_user = RadicaleServer::User();
    QString m_password = RadicaleServer::Password();
};

namespace {

QByteArray PhoneCard(const QString &uid, const QString &family, const QString &given,
                     const QString &mobile, const QString &extra = QString())
{
    return (u"BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Apple Inc.//iPhone OS 17.0//EN\r\nUID:"_s
            + uid + u"\r\nFN:"_s + family + given + u"\r\nN:"_s + family + u';' + given
            + u";;;\r\nTEL;TYPE=CELL:"_s + mobile + u"\r\n"_s + extra + u"END:VCARD\r\n"_s)
        .toUtf8();
}

QString Property(const QByteArray &card, const QByteArray &name)
{
    for (const QByteArray &line : card.split('\n'))
        if (line.startsWith(name + ':') || line.startsWith(name + ';'))
            return QString::fromUtf8(line.mid(line.indexOf(':') + 1)).trimmed();
    return {};
}

// An account's section of the settings file.
QString AccountSection(const QString &name, const QString &server, const QString &book = {},
                       const QString &folder = {})
{
    return u"[SyncAccount:%1]\r\nServer=%2\r\nUser=%3\r\n"_s.arg(name, server,
                                                                 RadicaleServer::User())
           + (book.isEmpty() ? QString() : u"AddressBook=%1\r\n"_s.arg(book))
           + (folder.isEmpty() ? QString() : u"Folder=%1\r\n"_s.arg(folder));
}

QStringList Fns(const QMap<QString, QByteArray> &cards)
{
    QStringList names;
    for (const QByteArray &card : cards)
        names << Property(card, "FN");
    names.sort();
    return names;
}

} // namespace

void TestSync::init()
{
    m_server = std::make_unique<RadicaleServer>();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(Data(0)));
    QVERIFY(QDir().mkpath(Data(1)));
    QVERIFY(QDir().mkpath(m_dir->filePath(u"trash"_s)));
    m_trashed.clear();
    m_user = RadicaleServer::User();
    m_password = RadicaleServer::Password();
    ShellFiles::SetTrashFunction([this](const QString &path, QString *inTrash) {
        const QString to = m_dir->filePath(u"trash/"_s + Paths::FileName(path));
        if (inTrash)
            *inTrash = to;
        m_trashed << Paths::FileName(path);
        return QFile::rename(path, to) || QDir().rename(path, to);
    });
}

void TestSync::cleanup()
{
    ShellFiles::SetTrashFunction({});
    m_proxy.reset();
    m_server.reset();
    m_dir.reset();
}

bool TestSync::StartServer()
{
    if (!m_server->Start(&m_skip))
        return false;
    m_book = m_server->CreateAddressBook(u"book"_s, u"연락처"_s, &m_skip, m_user);
    return !m_book.isEmpty();
}

CardDav::Account TestSync::Account(const QString &password) const
{
    CardDav::Account account;
    account.address = m_book;
    account.user = m_user;
    account.password = password.isEmpty() ? m_password : password;
    account.timeoutMs = 10000;
    return account;
}

SyncEngine::Request TestSync::SyncRequest(int device, const QString &password) const
{
    SyncEngine::Request r;
    r.dataDir = Data(device);
    r.folder = Data(device);
    r.book = m_proxy ? m_proxy->Via(m_book) : m_book;
    r.account = Account(password);
    r.account.address = r.book;
    r.stateFile = StateFile(device);
    return r;
}

SyncReport TestSync::Sync(int device, const QString &password)
{
    SyncEngine::Request r = SyncRequest(device, password);
    r.batchSize = 7; // several multigets even for a few cards
    return SyncEngine::Run(r);
}

void TestSync::UseProxy(bool hideSyncCollection)
{
    m_proxy = std::make_unique<DavProxy>(m_server->BaseUrl());
    m_proxy->hideSyncCollection = hideSyncCollection;
    QVERIFY(m_proxy->Listen());
}

QStringList TestSync::AskedForSyncCollection() const
{
    QStringList asked;
    for (const DavProxy::Seen &seen : std::as_const(m_proxy->seen))
        if (seen.syncCollection)
            asked << QString::fromUtf8(seen.verb + ' ' + seen.path);
    return asked;
}

void TestSync::MakeRecord(const QString &rel, const QString &mobile, int device,
                          const QString &email)
{
    const QString path = Path(rel, device);
    QDir().mkpath(QFileInfo(path).path());
    Record r;
    r.SetValue(u"Hand", mobile);
    if (!email.isEmpty())
        r.SetValue(u"EMail", email);
    RecordStore::CreateRecord(path, r);
}

QMap<QString, QByteArray> TestSync::ServerCards()
{
    CardDav::Client client(Account());
    const CardDav::Listing listing = client.ListCardsBlocking(m_book);
    if (!listing.error.Ok())
        qWarning() << listing.error.Message();
    const CardDav::Cards cards = client.FetchCardsBlocking(m_book, listing.etags.keys(), 50);
    QMap<QString, QByteArray> out;
    for (auto it = cards.cards.begin(); it != cards.cards.end(); ++it)
        out.insert(it.key(), it->vcard);
    return out;
}

void TestSync::PutServerCard(const QString &href, const QByteArray &vcard, const QString &etag)
{
    CardDav::Client client(Account());
    QString current = etag;
    if (current.isEmpty()) {
        const CardDav::Listing listing = client.ListCardsBlocking(m_book);
        current = listing.etags.value(href);
    }
    const CardDav::Written w = client.PutCardBlocking(m_book, href, vcard, current);
    QVERIFY2(w.error.Ok(), qPrintable(w.error.Message()));
}

QString TestSync::PutPhoneCard(const QString &uid, const QString &family, const QString &given,
                               const QString &mobile, const QString &extra)
{
    const QString href = m_book.path() + uid + u".vcf"_s;
    PutServerCard(href, PhoneCard(uid, family, given, mobile, extra));
    return href;
}

QStringList TestSync::Records(int device) const
{
    QStringList out;
    QDirIterator it(Data(device), {u"*.txt"_s}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(Data(device)).relativeFilePath(it.next());
    out.sort();
    return out;
}

void TestSync::firstSyncBothWays_data()
{
    QTest::addColumn<bool>("syncCollection");
    QTest::newRow("sync-collection") << true;
    // A server with getctag and ETags alone: the address book is listed instead.
    QTest::newRow("ctag and ETags") << false;
}

void TestSync::firstSyncBothWays()
{
    QFETCH(bool, syncCollection);
    START_RADICALE();
    UseProxy(!syncCollection);
    MakeRecord(u"김철수.txt"_s, u"010-1111-2222"_s);
    MakeRecord(u"거래처/박영수.txt"_s, u"010-3333-4444"_s, 0, u"park@example.com"_s);
    // Photos travel both ways: the companion folder's picture up, the card's down.
    const QByteArray jpeg("\xFF\xD8\xFF\xE0 a small picture", 22);
    QVERIFY(QDir().mkpath(Path(u"__김철수"_s)));
    TestFiles::write(Path(u"__김철수/사진.jpg"_s), jpeg);
    const QByteArray phonePhoto("\xFF\xD8\xFF\xE0 the phone's picture", 26);
    const QString phoneHref =
        PutPhoneCard(u"phone-1"_s, u"이"_s, u"영희"_s, u"+82 10-5555-6666"_s,
                     u"EMAIL;TYPE=INTERNET:lee@example.com\r\nPHOTO;ENCODING=b;TYPE=JPEG:"_s
                         + QString::fromLatin1(phonePhoto.toBase64()) + u"\r\n"_s);

    const SyncReport first = Sync();
    QVERIFY2(!first.Failed(), qPrintable(first.Text()));
    QCOMPARE(AskedForSyncCollection().isEmpty(), !syncCollection);
    QCOMPARE(first.uploaded, 2);
    QCOMPARE(first.downloaded, 1);
    QCOMPARE(Records(), (QStringList{u"거래처/박영수.txt"_s, u"김철수.txt"_s, u"이영희.txt"_s}));
    const Record lee = Record::Read(Path(u"이영희.txt"_s));
    QCOMPARE(lee.Value(u"Hand"), u"010-5555-6666"_s);
    QCOMPARE(lee.Value(u"EMail"), u"lee@example.com"_s);
    QCOMPARE(lee.Uid(), u"phone-1"_s);

    const QMap<QString, QByteArray> cards = ServerCards();
    QCOMPARE(Fns(cards), (QStringList{u"김철수"_s, u"박영수"_s, u"이영희"_s}));
    for (const QByteArray &card : cards)
        if (Property(card, "FN") == u"박영수")
            QCOMPARE(Property(card, "X-VANDREL-FOLDER"), u"거래처"_s);
    // The phone's own card stays as the phone wrote it.
    QVERIFY(cards.value(phoneHref).contains("iPhone"));
    bool photoUp = false;
    for (const QByteArray &card : cards)
        if (Property(card, "FN") == u"김철수")
            photoUp = card.contains(jpeg.toBase64().left(20));
    QVERIFY(photoUp);
    const QStringList pictures = QDir(Path(u"__이영희"_s)).entryList(QDir::Files);
    QCOMPARE(pictures.size(), 1);
    QCOMPARE(TestFiles::read(Path(u"__이영희/"_s + pictures.first())), phonePhoto);

    // Nothing changed since: nothing goes either way.
    const SyncReport second = Sync();
    QVERIFY2(!second.Failed(), qPrintable(second.Text()));
    QCOMPARE(second.uploaded + second.downloaded + second.merged + second.deletedHere
                 + second.deletedThere,
             0);
    QCOMPARE(ServerCards(), cards);
    // Once the server has nothing new, a sync neither lists the address book nor reads cards
    // (both are the Depth 1 requests).
    m_proxy->seen.clear();
    QVERIFY(!Sync().Failed());
    for (const DavProxy::Seen &seen : std::as_const(m_proxy->seen))
        QVERIFY2(seen.depth != "1", (seen.verb + ' ' + seen.path).constData());
}

void TestSync::changes_data()
{
    QTest::addColumn<QString>("change");
    // Records after the second sync, the cards' FNs on the server, what the report counts
    // (uploaded, downloaded, merged, deleted here, deleted there, conflicts).
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<int>>("counts");
    // Against a server without sync-collection, through the proxy.
    QTest::addColumn<bool>("ctag");
    const QStringList both{u"김철수.txt"_s, u"이영희.txt"_s};
    const QStringList bothNames{u"김철수"_s, u"이영희"_s};
    // The rows that run against such a server too.
    const QStringList alsoByCtag{u"edit here"_s, u"edit there"_s, u"delete here"_s,
                                 u"delete there"_s, u"rename"_s};
    const auto row = [&](const char *name, const QString &change, const QStringList &records,
                         const QStringList &names, const QList<int> &counts) {
        QTest::newRow(name) << change << records << names << counts << false;
        if (alsoByCtag.contains(change))
            QTest::addRow("%s, ctag and ETags", name)
                << change << records << names << counts << true;
    };
    row("edit here", u"edit here"_s, both, bothNames, QList<int>{1, 0, 0, 0, 0, 0});
    row("edit on the server", u"edit there"_s, both, bothNames, QList<int>{0, 1, 0, 0, 0, 0});
    row("both, different fields", u"both different"_s, both, bothNames,
        QList<int>{0, 0, 1, 0, 0, 0});
    row("both, the same field", u"both same"_s, both, bothNames, QList<int>{0, 0, 1, 0, 0, 1});
    row("deleted here", u"delete here"_s, QStringList{u"김철수.txt"_s}, QStringList{u"김철수"_s},
        QList<int>{0, 0, 0, 0, 1, 0});
    row("deleted on the server", u"delete there"_s, QStringList{u"김철수.txt"_s},
        QStringList{u"김철수"_s}, QList<int>{0, 0, 0, 1, 0, 0});
    row("deleted on the server, changed here", u"delete there, edit here"_s, both, bothNames,
        QList<int>{1, 0, 0, 0, 0, 1});
    row("deleted here, changed on the server", u"delete here, edit there"_s, both, bothNames,
        QList<int>{0, 1, 0, 0, 0, 1});
    row("renamed here", u"rename"_s, QStringList{u"김철수.txt"_s, u"이영희 과장.txt"_s},
        QStringList{u"김철수"_s, u"이영희 과장"_s}, QList<int>{1, 0, 0, 0, 0, 0});
    row("moved here", u"move"_s, QStringList{u"가족/이영희.txt"_s, u"김철수.txt"_s}, bothNames,
        QList<int>{1, 0, 0, 0, 0, 0});
    row("moved by another program", u"move outside"_s,
        QStringList{u"김철수.txt"_s, u"친구/이영희 사본.txt"_s},
        QStringList{u"김철수"_s, u"이영희 사본"_s}, QList<int>{1, 0, 0, 0, 0, 0});
    row("renamed on the server", u"rename there"_s, QStringList{u"김철수.txt"_s, u"이영희님.txt"_s},
        QStringList{u"김철수"_s, u"이영희님"_s}, QList<int>{0, 1, 0, 0, 0, 0});
    // The server answers 412 to the upload: the card is read again, merged and sent again.
    row("stale ETag", u"stale etag"_s, both, bothNames, QList<int>{1, 0, 0, 0, 0, 0});
    row("state file lost", u"lose state"_s, both, bothNames, QList<int>{0, 0, 0, 0, 0, 0});
}

void TestSync::changes()
{
    QFETCH(QString, change);
    QFETCH(QStringList, records);
    QFETCH(QStringList, names);
    QFETCH(QList<int>, counts);
    QFETCH(bool, ctag);
    START_RADICALE();
    if (ctag)
        UseProxy(true);
    MakeRecord(u"김철수.txt"_s, u"010-1111-2222"_s);
    MakeRecord(u"이영희.txt"_s, u"010-3333-4444"_s, 0, u"lee@example.com"_s);
    QVERIFY2(!Sync().Failed(), "first sync");
    // Records written a while ago are known by their time and size, and not read again.
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    for (const QString &rel : {u"김철수.txt"_s, u"이영희.txt"_s}) {
        QFile f(Path(rel));
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(hourAgo, QFileDevice::FileModificationTime));
    }
    QCOMPARE(Sync().uploaded, 0);
    const QString lee = Path(u"이영희.txt"_s);
    const QString leeUid = Record::Read(lee).Uid();
    QString leeHref;
    QByteArray leeCard;
    const QMap<QString, QByteArray> before = ServerCards();
    for (auto it = before.begin(); it != before.end(); ++it)
        if (Property(*it, "FN") == u"이영희")
            leeHref = it.key(), leeCard = *it;
    QVERIFY(!leeHref.isEmpty());

    const auto editHere = [&](const QString &field, const QString &value) {
        Record r = Record::Read(lee);
        r.SetValue(field, value);
        RecordStore::SaveRecord(lee, r);
    };
    const auto editThere = [&](const QByteArray &from, const QByteArray &to) {
        QByteArray card = leeCard;
        QVERIFY(card.contains(from));
        card.replace(from, to);
        PutServerCard(leeHref, card);
    };
    const auto deleteThere = [&] {
        CardDav::Client client(Account());
        QVERIFY(client.DeleteCardBlocking(m_book, leeHref, QString()).error.Ok());
    };
    if (change == u"edit here") {
        editHere(u"EMail"_s, u"lee@work.example"_s);
    } else if (change == u"edit there") {
        editThere("lee@example.com", "lee@phone.example");
    } else if (change == u"both different") {
        editHere(u"EMail"_s, u"lee@work.example"_s);
        editThere("010-3333-4444", "010-9999-0000");
    } else if (change == u"both same") {
        editHere(u"Hand"_s, u"010-7777-8888"_s);
        editThere("010-3333-4444", "010-9999-0000");
    } else if (change == u"delete here") {
        QVERIFY(QFile::remove(lee));
    } else if (change == u"delete there") {
        deleteThere();
    } else if (change == u"delete there, edit here") {
        deleteThere();
        editHere(u"EMail"_s, u"lee@work.example"_s);
    } else if (change == u"delete here, edit there") {
        QVERIFY(QFile::remove(lee));
        editThere("lee@example.com", "lee@phone.example");
    } else if (change == u"rename") {
        QString warning;
        QCOMPARE(RecordStore::Rename(Data(0) + u'/', u"이영희"_s, u"이영희 과장"_s, true, &warning),
                 QString());
    } else if (change == u"move") {
        QVERIFY(QDir().mkpath(Path(u"가족"_s)));
        QVERIFY(RecordStore::Move(lee, Path(u"가족"_s)));
    } else if (change == u"move outside") {
        QVERIFY(QDir().mkpath(Path(u"친구"_s)));
        QVERIFY(QFile::rename(lee, Path(u"친구/이영희 사본.txt"_s)));
    } else if (change == u"rename there") {
        QByteArray card = leeCard;
        card.replace("FN:이영희", "FN:이영희님").replace("N:이영희;", "N:이영희님;");
        PutServerCard(leeHref, card);
    } else if (change == u"stale etag") {
        editHere(u"EMail"_s, u"lee@work.example"_s);
        const QString file = StateFile();
        QJsonObject state = QJsonDocument::fromJson(TestFiles::read(file)).object();
        QJsonArray items = state.value(u"items"_s).toArray();
        for (QJsonValueRef item : items)
            if (item.toObject().value(u"uid"_s).toString() == leeUid) {
                QJsonObject o = item.toObject();
                o.insert(u"etag"_s, u"\"stale\""_s);
                item = o;
            }
        state.insert(u"items"_s, items);
        TestFiles::write(file, QJsonDocument(state).toJson());
    } else if (change == u"lose state") {
        TestFiles::write(StateFile(), "{ broken");
    }

    QSignalSpy told(&RecordStore::Notifier::Instance(), &RecordStore::Notifier::changed);
    const SyncReport report = Sync();
    QVERIFY2(!report.Failed(), qPrintable(report.Text()));
    QCOMPARE(Records(), records);
    const QMap<QString, QByteArray> cards = ServerCards();
    QCOMPARE(Fns(cards), names);
    QCOMPARE((QList<int>{report.uploaded, report.downloaded, report.merged, report.deletedHere,
                         report.deletedThere, int(report.conflicts.size())}),
             counts);
    // Every change here came as one notification.
    const bool changedHere = counts[1] + counts[2] + counts[3] > 0;
    QCOMPARE(told.count(), changedHere ? 1 : 0);

    const QString leeNow = records.contains(u"이영희.txt"_s) ? lee : QString();
    if (change == u"both different") {
        const Record r = Record::Read(lee);
        QCOMPARE(r.Value(u"EMail"), u"lee@work.example"_s);
        QCOMPARE(r.Value(u"Hand"), u"010-9999-0000"_s);
        const QByteArray card = cards.value(leeHref);
        QVERIFY(card.contains("lee@work.example"));
        QVERIFY(card.contains("010-9999-0000"));
    } else if (change == u"both same") {
        const Record r = Record::Read(lee);
        QCOMPARE(r.Value(u"Hand"), u"010-7777-8888"_s);
        QVERIFY2(r.Lines(u"Memo").contains(u"서버 핸드폰: 010-9999-0000"_s),
                 qPrintable(r.Lines(u"Memo").join(u'|')));
        QVERIFY(report.conflicts.first().contains(u"핸드폰"_s));
        QVERIFY(cards.value(leeHref).contains("010-7777-8888"));
    } else if (change == u"edit there" || change == u"delete here, edit there") {
        QCOMPARE(Record::Read(lee).Value(u"EMail"), u"lee@phone.example"_s);
        QCOMPARE(Record::Read(lee).Uid(), leeUid);
    } else if (change == u"edit here" || change == u"stale etag") {
        QVERIFY(cards.value(leeHref).contains("lee@work.example"));
    } else if (change == u"delete there") {
        QCOMPARE(m_trashed, QStringList{u"이영희.txt"_s});
        QVERIFY(QFile::exists(m_dir->filePath(u"trash/이영희.txt"_s)));
    } else if (change == u"delete there, edit here") {
        QVERIFY(m_trashed.isEmpty());
        QCOMPARE(cards.size(), 2);
    } else if (change == u"move") {
        QCOMPARE(Property(cards.value(leeHref), "X-VANDREL-FOLDER"), u"가족"_s);
        QCOMPARE(Record::Read(Path(u"가족/이영희.txt"_s)).Uid(), leeUid);
    } else if (change == u"rename" || change == u"move outside") {
        QVERIFY(cards.contains(leeHref)); // the same card, under its old address
    }
    Q_UNUSED(leeNow);

    // And then the two sides agree: a third sync changes nothing.
    const SyncReport third = Sync();
    QVERIFY2(!third.Failed(), qPrintable(third.Text()));
    QCOMPARE(third.uploaded + third.downloaded + third.merged + third.deletedHere
                 + third.deletedThere,
             0);
    QCOMPARE(ServerCards(), cards);
}

void TestSync::secondClient()
{
    START_RADICALE();
    MakeRecord(u"김철수.txt"_s, u"010-1111-2222"_s);
    MakeRecord(u"거래처/박영수.txt"_s, u"010-3333-4444"_s);
    QVERIFY(!Sync(0).Failed());
    // The second computer starts empty and gets both, in their folders.
    const SyncReport b = Sync(1);
    QVERIFY2(!b.Failed(), qPrintable(b.Text()));
    QCOMPARE(b.downloaded, 2);
    QCOMPARE(Records(1), Records(0));
    QCOMPARE(Record::Read(Path(u"거래처/박영수.txt"_s, 1)).Uid(),
             Record::Read(Path(u"거래처/박영수.txt"_s)).Uid());

    // It edits one, adds one, deletes one; the first gets all three.
    Record kim = Record::Read(Path(u"김철수.txt"_s, 1));
    kim.SetValue(u"EMail", u"kim@example.com"_s);
    RecordStore::SaveRecord(Path(u"김철수.txt"_s, 1), kim);
    MakeRecord(u"최민지.txt"_s, u"010-5555-0000"_s, 1);
    QVERIFY(QFile::remove(Path(u"거래처/박영수.txt"_s, 1)));
    const SyncReport b2 = Sync(1);
    QVERIFY2(!b2.Failed(), qPrintable(b2.Text()));
    QCOMPARE(b2.uploaded, 2);
    QCOMPARE(b2.deletedThere, 1);
    const SyncReport a = Sync(0);
    QVERIFY2(!a.Failed(), qPrintable(a.Text()));
    QCOMPARE(a.downloaded, 2);
    QCOMPARE(a.deletedHere, 1);
    QCOMPARE(Records(0), (QStringList{u"김철수.txt"_s, u"최민지.txt"_s}));
    QCOMPARE(Record::Read(Path(u"김철수.txt"_s)).Value(u"EMail"), u"kim@example.com"_s);
    QCOMPARE(ServerCards().size(), 2);
}

void TestSync::vdirsyncerAsTheOtherDevice()
{
    const QString vdirsyncer = QStandardPaths::findExecutable(u"vdirsyncer"_s);
    if (vdirsyncer.isEmpty())
        QSKIP("vdirsyncer is not installed (Debian: vdirsyncer)");
    m_user = u"lee"_s;
    m_password = u"secret-1234"_s;
    m_server->AddUser(m_user, m_password);
    START_RADICALE();
    MakeRecord(u"김철수.txt"_s, u"010-1111-2222"_s);
    QVERIFY(!Sync().Failed());

    // vdirsyncer keeps the address book as a folder of .vcf files.
    const QString cards = m_dir->filePath(u"vdir"_s);
    QVERIFY(QDir().mkpath(cards + u"/book"_s));
    const QString config = m_dir->filePath(u"vdirsyncer.conf"_s);
    const QString bookUrl = m_book.toString();
    TestFiles::write(config, (u"[general]\nstatus_path = \""_s + m_dir->filePath(u"vstatus"_s)
                              + u"\"\n\n[pair book]\na = \"local\"\nb = \"server\"\n"
                                u"collections = null\nconflict_resolution = \"b wins\"\n\n"
                                u"[storage local]\ntype = \"filesystem\"\npath = \""_s
                              + cards
                              + u"/book\"\nfileext = \".vcf\"\n\n[storage server]\n"
                                u"type = \"carddav\"\nurl = \""_s
                              + bookUrl + u"\"\nusername = \""_s + m_user + u"\"\npassword = \""_s
                              + m_password + u"\"\n"_s)
                                 .toUtf8());
    const auto run = [&](const QStringList &args) {
        QProcess p;
        p.start(vdirsyncer, QStringList{u"-c"_s, config} + args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0)
            qWarning() << p.readAllStandardError();
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    };
    QProcess discover;
    discover.start(vdirsyncer, {u"-c"_s, config, u"discover"_s});
    discover.write("y\n");
    discover.closeWriteChannel();
    QVERIFY(discover.waitForFinished(60000));
    QVERIFY(run({u"sync"_s}));
    QDir dir(cards + u"/book"_s);
    const QStringList files = dir.entryList({u"*.vcf"_s}, QDir::Files);
    QCOMPARE(files.size(), 1);

    // The other device changes the number and adds a card; both come here.
    QByteArray kim = TestFiles::read(dir.filePath(files.first()));
    QVERIFY(kim.contains("010-1111-2222"));
    TestFiles::write(dir.filePath(files.first()), kim.replace("010-1111-2222", "010-1111-9999"));
    TestFiles::write(dir.filePath(u"new.vcf"_s),
                     PhoneCard(u"vdir-1"_s, u"정"_s, u"하나"_s, u"010-4444-5555"_s));
    QVERIFY(run({u"sync"_s}));
    const SyncReport report = Sync();
    QVERIFY2(!report.Failed(), qPrintable(report.Text()));
    QCOMPARE(report.downloaded, 2);
    QCOMPARE(Record::Read(Path(u"김철수.txt"_s)).Value(u"Hand"), u"010-1111-9999"_s);
    QCOMPARE(Record::Read(Path(u"정하나.txt"_s)).Value(u"Hand"), u"010-4444-5555"_s);

    // A change here reaches the other device's folder.
    Record r = Record::Read(Path(u"정하나.txt"_s));
    r.SetValue(u"EMail", u"jung@example.com"_s);
    RecordStore::SaveRecord(Path(u"정하나.txt"_s), r);
    QCOMPARE(Sync().uploaded, 1);
    QVERIFY(run({u"sync"_s}));
    QVERIFY(TestFiles::read(dir.filePath(u"new.vcf"_s)).contains("jung@example.com"));
    QCOMPARE(dir.entryList({u"*.vcf"_s}, QDir::Files).size(), 2);
}

int TestSync::PutsTo(const QString &path, const QString &status) const
{
    const QString line = status.isEmpty()
                             ? u"PUT request for '%1'"_s
                             : u"PUT response status for '%1' in [0-9.]+ seconds: "_s + status;
    return int(m_server->WholeLog().count(QRegularExpression(line.arg(path))));
}

QString TestSync::BookName()
{
    CardDav::Client client(Account());
    return client.ReadCapabilitiesBlocking(m_book).displayName;
}

bool TestSync::InstallProgram(const QStringList &accounts, const QString &sections)
{
    if (!QDir().mkpath(Bin())
        || !QFile::copy(QStringLiteral(VANDREL_PROGRAM), Bin() + u"/vandrel"_s))
        return false;
    TestFiles::write(Bin() + u"/Vandrel.ini"_s,
                     (u"[PROGRAM]\r\nDirData="_s + Data(0) + u"\r\n[Sync]\r\nAccounts="_s
                      + accounts.join(u'|') + u"\r\n"_s + sections)
                         .toUtf8());
    return true;
}

void TestSync::Launch(QProcess &process, const QStringList &args, const QString &password) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!password.isEmpty())
        env.insert(u"VANDREL_SYNC_PASSWORD"_s, password);
    else
        env.remove(u"VANDREL_SYNC_PASSWORD"_s);
    env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, u"unix:path=/nonexistent"_s); // no keyring
    process.setProcessEnvironment(env);
    process.start(Bin() + u"/vandrel"_s, args);
}

void TestSync::guards_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("says");
    QTest::newRow("the data directory switched") << u"switch"_s << u"다른 폴더"_s;
    QTest::newRow("every record gone") << u"empty"_s << u"자료가 하나도 없어"_s;
    QTest::newRow("another sync running") << u"locked"_s << u"아직 실행 중"_s;
}

// What looks like every record deleted here is no reason to delete the server's cards.
void TestSync::guards()
{
    QFETCH(QString, what);
    QFETCH(QString, says);
    START_RADICALE();
    MakeRecord(u"김철수.txt"_s, u"010-1111-2222"_s);
    MakeRecord(u"이영희.txt"_s, u"010-3333-4444"_s);
    QVERIFY(!Sync().Failed());
    SyncEngine::Request r = SyncRequest();
    QLockFile other(r.stateFile + u".lock"_s);
    if (what == u"switch") {
        r.dataDir = r.folder = Data(1);
    } else if (what == u"empty") {
        QVERIFY(QFile::remove(Path(u"김철수.txt"_s)));
        QVERIFY(QFile::remove(Path(u"이영희.txt"_s)));
    } else {
        QVERIFY(other.tryLock(0));
    }
    const SyncReport report = SyncEngine::Run(r);
    QVERIFY2(report.Text().contains(says), qPrintable(report.Text()));
    QCOMPARE(report.deletedThere, 0);
    QCOMPARE(ServerCards().size(), 2);
    QVERIFY(Records(1).isEmpty());
}

void TestSync::serverErrors_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<ErrorKind>("kind");
    QTest::addColumn<QString>("says");
    QTest::newRow("wrong password")
        << u"password"_s << ErrorKind::WrongPassword << u"암호가 틀립니다"_s;
    QTest::newRow("no address book there")
        << u"address"_s << ErrorKind::NoCardDav << u"CardDAV 주소록을 찾지 못했습니다"_s;
    QTest::newRow("server down") << u"down"_s << ErrorKind::NoNetwork
                                 << u"서버에 연결할 수 없습니다"_s;
}

// Nothing changes on either side, and the report says why in Korean.
void TestSync::serverErrors()
{
    QFETCH(QString, fault);
    QFETCH(ErrorKind, kind);
    QFETCH(QString, says);
    START_RADICALE();
    MakeRecord(u"김철수.txt"_s, u"010-1111-2222"_s);
    const QByteArray before = TestFiles::read(Path(u"김철수.txt"_s));
    const QUrl book = m_book;
    if (fault == u"address")
        m_book = m_book.resolved(QUrl(u"../nothing/"_s));
    else if (fault == u"down")
        m_server->Stop();
    const SyncReport report = Sync(0, fault == u"password" ? u"틀린 암호"_s : QString());
    QVERIFY(report.Failed());
    QCOMPARE(report.error.kind, kind);
    QVERIFY2(report.Text().contains(says), qPrintable(report.Text()));
    QCOMPARE(report.uploaded, 0);
    QCOMPARE(TestFiles::read(Path(u"김철수.txt"_s)), before);
    m_book = book;
    if (fault == u"down") {
        QString why;
        QVERIFY2(m_server->Start(&why), qPrintable(why));
    }
    QCOMPARE(ServerCards().size(), 0);
    // Once the fault is gone the same state syncs.
    QCOMPARE(Sync().uploaded, 1);
}

void TestSync::wholeBookUpload_data()
{
    QTest::addColumn<bool>("addedMeanwhile");
    QTest::newRow("an empty address book") << false;
    QTest::newRow("a card put there by another device meanwhile") << true;
}

// The first upload into an empty address book is one request, which radicale takes as a whole
// address book; the book keeps its name. A card another device puts there in between makes
// the server refuse it, and the records go up card by card with nothing lost.
void TestSync::wholeBookUpload()
{
    QFETCH(bool, addedMeanwhile);
    START_RADICALE();
    constexpr int Count = 40;
    for (int i = 0; i < Count; ++i)
        MakeRecord(u"폴더%1/사람%2.txt"_s.arg(i % 3).arg(i),
                   u"010-2000-%1"_s.arg(i, 4, 10, QChar(u'0')));
    SyncEngine::Request r = SyncRequest();
    bool added = false;
    r.progress = [&](qint64, qint64) {
        if (addedMeanwhile && !added) {
            added = true;
            PutPhoneCard(u"phone-1"_s, u"이"_s, u"영희"_s, u"010-5555-6666"_s);
        }
    };
    const SyncReport first = SyncEngine::Run(r);
    QVERIFY2(!first.Failed(), qPrintable(first.Text()));
    QCOMPARE(first.uploaded, Count);
    QCOMPARE(added, addedMeanwhile);
    // What came meanwhile is taken in before the records go up.
    QCOMPARE(first.downloaded, int(addedMeanwhile));
    const QString book = QRegularExpression::escape(m_book.path());
    QCOMPARE(PutsTo(book), 1);
    QCOMPARE(PutsTo(book, addedMeanwhile ? u"412"_s : u"201"_s), 1);
    QCOMPARE(PutsTo(book + u"[^']+"_s), addedMeanwhile ? Count + 1 : 0);
    QCOMPARE(BookName(), u"연락처"_s);

    const QMap<QString, QByteArray> cards = ServerCards();
    QSet<QString> uids;
    for (const QByteArray &card : cards)
        uids.insert(Property(card, "UID"));
    QCOMPARE(uids.size(), Count + int(addedMeanwhile));
    const SyncReport second = Sync();
    QVERIFY2(!second.Failed(), qPrintable(second.Text()));
    QCOMPARE(second.uploaded + second.downloaded + second.merged, 0);
    QCOMPARE(Records().size(), Count + int(addedMeanwhile));
    // What the server keeps of them is the records themselves for another device.
    QVERIFY(!Sync(1).Failed());
    QCOMPARE(Records(1), Records(0));
    for (const QString &rel : Records(0))
        QCOMPARE(Record::Read(Path(rel, 1)).Value(u"Hand"), Record::Read(Path(rel)).Value(u"Hand"));
}

void TestSync::refusedCard_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says"); // a pattern
    QTest::addColumn<int>("pictureBytes");
    QTest::addColumn<bool>("viaProxy");
    // radicale's own size limit, against the picture in the companion folder. The proxy reads
    // the whole request first, so radicale's answer always comes.
    QTest::newRow("too large") << 413 << u"너무 커서 서버가 받지 않았습니다"_s << 30000 << true;
    // Straight to radicale, a phone's photo: it answers before reading the body and closes the
    // connection, which mostly loses its answer to the reset.
    QTest::newRow("too large, the connection closed early")
        << 413 << u"연결을 끊었습니다|너무 커서 서버가 받지 않았습니다"_s << 2000000 << false;
    // The proxy refuses that one card.
    QTest::newRow("unsupported") << 415 << u"이 형식의 연락처 카드를 받지 않습니다"_s << 30000
                                 << true;
}

// A card the server refuses is told and left out; everything else syncs, and once the cause is
// gone the next sync puts it up, once.
void TestSync::refusedCard()
{
    QFETCH(int, status);
    QFETCH(QString, says);
    QFETCH(int, pictureBytes);
    QFETCH(bool, viaProxy);
    if (status == 413)
        m_server->SetMaxContentLength(20000);
    START_RADICALE();
    if (viaProxy)
        UseProxy(false);
    if (status == 415) {
        m_proxy->refusePut = [](const QByteArray &, const QByteArray &card) {
            return card.contains("FN:김철수") ? 415 : 0;
        };
    }
    MakeRecord(u"김철수.txt"_s, u"010-1111-2222"_s);
    MakeRecord(u"이영희.txt"_s, u"010-3333-4444"_s);
    QVERIFY(QDir().mkpath(Path(u"__김철수"_s)));
    const QString picture = Path(u"__김철수/사진.jpg"_s);
    TestFiles::write(picture, "\xFF\xD8\xFF\xE0" + QByteArray(pictureBytes, 'p'));
    PutPhoneCard(u"phone-1"_s, u"박"_s, u"영수"_s, u"010-5555-6666"_s);
    const QStringList all{u"김철수.txt"_s, u"박영수.txt"_s, u"이영희.txt"_s};

    // Twice while the cause lasts: told each time, nothing twice on either side.
    for (int round = 0; round < 2; ++round) {
        const SyncReport report = Sync();
        QVERIFY2(!report.Failed(), qPrintable(report.Text()));
        QCOMPARE(report.uploaded, round == 0 ? 1 : 0);
        QCOMPARE(report.downloaded, round == 0 ? 1 : 0);
        QCOMPARE(report.skipped.size(), 1);
        QVERIFY2(report.skipped.first().startsWith(u"김철수.txt: "_s)
                     && report.skipped.first().contains(QRegularExpression(says)),
                 qPrintable(report.Text()));
        QVERIFY2(report.Text().contains(u"건너뜀 1건:"_s), qPrintable(report.Text()));
        QCOMPARE(Fns(ServerCards()), (QStringList{u"박영수"_s, u"이영희"_s}));
        QCOMPARE(Records(), all);
    }

    if (status == 413)
        QVERIFY(QFile::remove(picture));
    else
        m_proxy->refusePut = {};
    const SyncReport after = Sync();
    QVERIFY2(!after.Failed() && after.skipped.isEmpty(), qPrintable(after.Text()));
    QCOMPARE(after.uploaded, 1);
    QCOMPARE(after.downloaded, 0);
    const QMap<QString, QByteArray> cards = ServerCards();
    QCOMPARE(Fns(cards), (QStringList{u"김철수"_s, u"박영수"_s, u"이영희"_s}));
    QSet<QString> uids;
    for (const QByteArray &card : cards) {
        uids.insert(Property(card, "UID"));
        if (Property(card, "FN") == u"김철수")
            QCOMPARE(Property(card, "PHOTO").isEmpty(), status == 413);
    }
    QCOMPARE(uids.size(), 3);
    QCOMPARE(Records(), all);
}

// A server whose certificate the system does not trust: the sync stops before it changes
// anything, and once the certificate is trusted the next sync does what was waiting. The
// client has no trust of its own; Qt's default configuration, which holds what it reads from
// the system's store, stands for the user adding the certificate there.
void TestSync::untrustedCertificate()
{
    const QString openssl = QStandardPaths::findExecutable(u"openssl"_s);
    if (openssl.isEmpty())
        QSKIP("openssl is not installed: no certificate to test with");
    const QString cert = m_dir->filePath(u"cert.pem"_s), key = m_dir->filePath(u"key.pem"_s);
    QProcess make;
    make.start(openssl, {u"req"_s, u"-x509"_s, u"-newkey"_s, u"rsa:2048"_s, u"-nodes"_s,
                         u"-keyout"_s, key, u"-out"_s, cert, u"-days"_s, u"2"_s, u"-subj"_s,
                         u"/CN=vandrel-test"_s, u"-addext"_s, u"subjectAltName=IP:127.0.0.1"_s});
    QVERIFY(make.waitForFinished(60000));
    QVERIFY2(make.exitCode() == 0, make.readAllStandardError().constData());
    m_server->SetTls(cert, key);
    const QSslConfiguration system = QSslConfiguration::defaultConfiguration();
    const auto restore =
        qScopeGuard([system] { QSslConfiguration::setDefaultConfiguration(system); });
    const auto trust = [&](bool trusted) {
        QSslConfiguration configuration = system;
        if (trusted)
            configuration.addCaCertificates(QSslCertificate::fromPath(cert));
        QSslConfiguration::setDefaultConfiguration(configuration);
    };
    trust(true);
    START_RADICALE();
    QCOMPARE(m_book.scheme(), u"https"_s);
    MakeRecord(u"김철수.txt"_s, u"010-1111-2222"_s);
    MakeRecord(u"이영희.txt"_s, u"010-3333-4444"_s);
    PutPhoneCard(u"phone-1"_s, u"박"_s, u"영수"_s, u"010-5555-6666"_s);
    QVERIFY2(!Sync().Failed(), "first sync");

    // A change on each side waits for the next sync.
    const QString lee = Path(u"이영희.txt"_s);
    Record r = Record::Read(lee);
    r.SetValue(u"EMail", u"lee@work.example"_s);
    RecordStore::SaveRecord(lee, r);
    PutPhoneCard(u"phone-1"_s, u"박"_s, u"영수"_s, u"010-5555-7777"_s);
    const QMap<QString, QByteArray> server = ServerCards();
    QMap<QString, QByteArray> here;
    for (const QString &rel : Records())
        here.insert(rel, TestFiles::read(Path(rel)));
    const QString stateFile = StateFile();
    const QByteArray state = TestFiles::read(stateFile);

    trust(false);
    const SyncReport refused = Sync();
    QVERIFY(refused.Failed());
    QCOMPARE(refused.error.kind, ErrorKind::Certificate);
    QVERIFY2(refused.Text().contains(u"보안 인증서를 신뢰할 수 없어 연결하지 않았습니다: 자체 "
                                     u"서명된 인증서입니다 (인증서: vandrel-test)"_s),
             qPrintable(refused.Text()));
    QCOMPARE(refused.uploaded + refused.downloaded + refused.merged + refused.deletedHere
                 + refused.deletedThere,
             0);
    for (auto it = here.cbegin(); it != here.cend(); ++it)
        QCOMPARE(TestFiles::read(Path(it.key())), it.value());
    QCOMPARE(Records(), here.keys());
    QCOMPARE(TestFiles::read(stateFile), state);
    QVERIFY(!QFile::exists(SyncState::JournalOf(stateFile)));

    trust(true);
    QCOMPARE(ServerCards(), server);
    const SyncReport next = Sync();
    QVERIFY2(!next.Failed(), qPrintable(next.Text()));
    QCOMPARE(next.uploaded, 1);
    QCOMPARE(next.downloaded, 1);
    QCOMPARE(next.merged + next.deletedHere + next.deletedThere, 0);
    QCOMPARE(Record::Read(Path(u"박영수.txt"_s)).Value(u"Hand"), u"010-5555-7777"_s);
    const QMap<QString, QByteArray> cards = ServerCards();
    QCOMPARE(Fns(cards), (QStringList{u"김철수"_s, u"박영수"_s, u"이영희"_s}));
    for (const QByteArray &card : cards)
        if (Property(card, "FN") == u"이영희")
            QCOMPARE(Property(card, "EMAIL"), u"lee@work.example"_s);
}

void TestSync::interrupted_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("server stopped") << u"stop"_s;
    QTest::newRow("killed") << u"kill"_s;
    QTest::newRow("killed while the whole book goes up") << u"kill book"_s;
    QTest::newRow("killed while taking cards in") << u"kill download"_s;
}

// A sync of many records cut off when part of them has gone up (the server stopped, or the
// program killed with SIGKILL) leaves nothing half done: the next sync puts up the rest, with
// no card twice and no record lost. Uploading into an empty book is one request, which
// either happens whole or not at all; the book keeps its name either way.
void TestSync::interrupted()
{
    QFETCH(QString, how);
    START_RADICALE();
    constexpr int Count = 250;
    const bool download = how == u"kill download";
    const bool wholeBook = how == u"kill book";
    // A card already there makes the records go up card by card.
    const int extra = download || wholeBook ? 0 : 1;
    if (extra)
        PutPhoneCard(u"phone-x"_s, u"최"_s, u"민수"_s, u"010-9999-0000"_s);
    if (download) {
        CardDav::Client client(Account());
        for (int i = 0; i < Count; ++i) {
            const QString uid = u"phone-%1"_s.arg(i);
            QVERIFY(client
                        .PutCardBlocking(m_book, CardDav::Client::NewCardHref(m_book, uid),
                                         PhoneCard(uid, u"사"_s, u"람%1"_s.arg(i),
                                                   u"010-1000-%1"_s.arg(i, 4, 10, QChar(u'0'))),
                                         QString())
                        .error.Ok());
        }
    } else {
        for (int i = 0; i < Count; ++i)
            MakeRecord(u"폴더%1/사람%2.txt"_s.arg(i % 5).arg(i),
                       u"010-1000-%1"_s.arg(i, 4, 10, QChar(u'0')));
    }
    // The program itself, with settings beside it naming the account.
    QVERIFY(
        InstallProgram({u"집"_s}, AccountSection(u"집"_s, m_book.toString(), m_book.toString())));
    QProcess first;
    Launch(first, {u"--sync"_s}, RadicaleServer::Password());
    QVERIFY(first.waitForStarted());
    // Wait until part of the records has gone up, as the journal tells, or the whole book
    // has reached the server.
    const QString bookPut = u"PUT request for '"_s + m_book.path() + u"'"_s;
    const bool reached = [&] {
        QDir d(Bin());
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 60000) {
            if (wholeBook) {
                if (m_server->WholeLog().contains(bookPut))
                    return true;
            } else {
                const QStringList found = d.entryList({u"*.state.journal"_s}, QDir::Files);
                if (!found.isEmpty() && QFileInfo(d.filePath(found.first())).size() > 20000)
                    return true;
            }
            QTest::qWait(5);
        }
        return false;
    }();
    QVERIFY2(reached, first.readAllStandardOutput().constData());
    if (how.startsWith(u"kill")) {
        first.kill();
        QVERIFY(first.waitForFinished(10000));
        // The server goes on with a request it has, or drops it: wait for its answer.
        if (wholeBook)
            QTRY_VERIFY_WITH_TIMEOUT(PutsTo(QRegularExpression::escape(m_book.path()), u"[0-9]+"_s)
                                             == 1
                                         || m_server->WholeLog().contains(u"Traceback"_s),
                                     60000);
    } else {
        m_server->Stop();
        QVERIFY(first.waitForFinished(60000));
        QCOMPARE(first.exitCode(), 1);
        const QString out = QString::fromLocal8Bit(first.readAllStandardOutput());
        QVERIFY2(out.contains(u"서버에 연결할 수 없습니다"_s), qPrintable(out));
        QString why;
        QVERIFY2(m_server->Start(&why), qPrintable(why));
    }
    const int partly = download ? int(Records().size()) - extra : int(ServerCards().size()) - extra;
    if (wholeBook) {
        // The server finishes the request or drops it: all or nothing.
        QVERIFY2(partly == 0 || partly == Count, qPrintable(QString::number(partly)));
        qInfo("the server %s", partly ? "took the book in although the program was killed"
                                      : "dropped the book with the program");
    } else {
        QVERIFY2(partly > 0 && partly < Count, qPrintable(QString::number(partly)));
    }

    QProcess second;
    Launch(second, {u"--sync"_s}, RadicaleServer::Password());
    QVERIFY(second.waitForStarted());
    QVERIFY(second.waitForFinished(120000));
    const QString out = QString::fromLocal8Bit(second.readAllStandardOutput());
    QVERIFY2(second.exitCode() == 0, qPrintable(out + second.readAllStandardError()));
    const QMap<QString, QByteArray> cards = ServerCards();
    QCOMPARE(cards.size(), Count + extra);
    QSet<QString> uids;
    for (const QByteArray &card : cards)
        uids.insert(Property(card, "UID"));
    QCOMPARE(uids.size(), Count + extra);
    QCOMPARE(Records().size(), Count + extra);
    // What the first run did is not done again.
    QVERIFY2(out.contains(download ? u"올림 0, 받음 %1,"_s.arg(Count - partly)
                                   : u"올림 %1, 받음 0,"_s.arg(Count - partly)),
             qPrintable(out));
    QCOMPARE(BookName(), u"연락처"_s);
}

void TestSync::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    QTest::addColumn<bool>("twoAccounts"); // a second one, 회사, for the folder 거래처
    QTest::newRow("synced") << QStringList{u"--sync"_s} << RadicaleServer::Password() << 0
                            << u"올림 1, 받음 1"_s << false;
    QTest::newRow("every account") << QStringList{u"--sync"_s} << RadicaleServer::Password() << 0
                                   << u"집: 올림 1, 받음 1.*\n회사: 올림 0, 받음 1"_s << true;
    QTest::newRow("one of two accounts")
        << QStringList{u"--sync"_s, u"--account"_s, u"회사"_s} << RadicaleServer::Password() << 0
        << u"^올림 0, 받음 1"_s << true;
    QTest::newRow("named account")
        << QStringList{u"--sync"_s, u"--account"_s, u"집"_s} << RadicaleServer::Password() << 0
        << u"올림 1, 받음 1"_s << false;
    QTest::newRow("unknown account")
        << QStringList{u"--sync"_s, u"--account=회사"_s} << RadicaleServer::Password() << 1
        << u"계정이 없습니다"_s << false;
    QTest::newRow("wrong password")
        << QStringList{u"--sync"_s} << u"틀림"_s << 1 << u"암호가 틀립니다"_s << false;
    QTest::newRow("no password") << QStringList{u"--sync"_s} << QString() << 1
                                 << u"VANDREL_SYNC_PASSWORD"_s << false;
    QTest::newRow("account without sync")
        << QStringList{u"--account"_s, u"집"_s} << QString() << 2 << u"--sync"_s << false;
    QTest::newRow("sync with import") << QStringList{u"--sync"_s, u"--import"_s, u"a.vcf"_s}
                                      << QString() << 2 << u"--sync"_s << false;
    QTest::newRow("help") << QStringList{u"--help"_s} << QString() << 0
                          << u"VANDREL_SYNC_PASSWORD"_s << false;
}

void TestSync::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(QString, password);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    QFETCH(bool, twoAccounts);
    START_RADICALE();
    MakeRecord(u"김철수.txt"_s, u"010-1111-2222"_s);
    PutPhoneCard(u"p"_s, u"이"_s, u"영희"_s, u"010-5555-6666"_s);
    QString second;
    if (twoAccounts) {
        QString why;
        const QUrl work = m_server->CreateAddressBook(u"work"_s, u"회사"_s, &why);
        QVERIFY2(!work.isEmpty(), qPrintable(why));
        QVERIFY(QDir().mkpath(Path(u"거래처"_s)));
        CardDav::Client client(Account());
        QVERIFY(client
                    .PutCardBlocking(work, work.path() + u"w.vcf"_s,
                                     PhoneCard(u"w"_s, u"박"_s, u"영수"_s, u"010-7777-8888"_s),
                                     QString())
                    .error.Ok());
        second = AccountSection(u"회사"_s, work.toString(), work.toString(), u"거래처"_s);
    }
    // Only the server's address: the address book is found.
    QVERIFY(InstallProgram(twoAccounts ? QStringList{u"집"_s, u"회사"_s} : QStringList{u"집"_s},
                           AccountSection(u"집"_s, m_server->BaseUrl().toString()) + second));
    QProcess p;
    Launch(p, args, password);
    QVERIFY(p.waitForFinished(60000));
    const QString out =
        QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
    QCOMPARE(p.exitCode(), exitCode);
    QVERIFY2(out.contains(
                 QRegularExpression(says, QRegularExpression::MultilineOption
                                              | QRegularExpression::DotMatchesEverythingOption)),
             qPrintable(out));
    // 집 takes 이영희 in; 회사 takes 박영수 into 거래처.
    const bool home = exitCode == 0 && args.contains(u"--sync"_s) && !args.contains(u"회사"_s);
    const bool work = exitCode == 0 && twoAccounts && !args.contains(u"집"_s);
    QCOMPARE(Records().size(), 1 + int(home) + int(work));
}

QTEST_MAIN(TestSync)
#include "tst_sync.moc"
