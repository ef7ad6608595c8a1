// Times the first sync of 5,000 records to an empty address book of a radicale on 127.0.0.1,
// and then a sync with one change on each side, against vdirsyncer doing the same in the same
// run: the same records as a folder of .vcf files (a filesystem storage) synced with a second
// empty address book of the same server (a carddav storage).
//
//   vandrel-syncbench
//
// The last two lines are "first_sync_vs_vdirsyncer" and "incremental_sync_vs_vdirsyncer", each
// the program's time over vdirsyncer's (vdirsyncer's includes its interpreter's start, which a
// user waits for too). VANDREL_SYNC_BENCH_RECORDS sets the number of records (5000).

#include "BenchTools.h"
#include "platform/Application.h"
#include "records/ContactExport.h"
#include "records/Record.h"
#include "records/RecordStore.h"
#include "support/RadicaleServer.h"
#include "sync/CardDavClient.h"
#include "sync/SyncEngine.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

using namespace BenchTools;
using namespace Qt::StringLiterals;

namespace {

// ms, or a negative number when it failed.
double Timed(const std::function<bool()> &work)
{
    QElapsedTimer t;
    t.start();
    const bool ok = work();
    return ok ? double(t.nsecsElapsed()) / 1e6 : -1;
}

bool RunVdirsyncer(const QString &program, const QString &config, const QStringList &args,
                   const QByteArray &input = {})
{
    QProcess p;
    p.start(program, QStringList{u"-c"_s, config} + args);
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "vdirsyncer failed: %s\n", p.readAllStandardError().constData());
        return false;
    }
    return true;
}

// One card of the server changed as another device would change it.
bool ChangeOnServer(const CardDav::Account &account, const QUrl &book, const QByteArray &from,
                    const QByteArray &to)
{
    CardDav::Client client(account);
    const CardDav::Listing listing = client.ListCardsBlocking(book);
    if (!listing.error.Ok() || listing.etags.isEmpty())
        return false;
    const QString href = listing.etags.firstKey();
    const CardDav::Cards cards = client.FetchCardsBlocking(book, {href}, 1);
    QByteArray card = cards.cards.value(href).vcard;
    if (!card.contains(from))
        return false;
    card.replace(from, to);
    return client.PutCardBlocking(book, href, card, listing.etags.first()).error.Ok();
}

} // namespace

int main(int argc, char **argv)
{
    VandrelApplication app(argc, argv);
    const int count = qEnvironmentVariableIntValue("VANDREL_SYNC_BENCH_RECORDS") > 0
                          ? qEnvironmentVariableIntValue("VANDREL_SYNC_BENCH_RECORDS")
                          : 5000;
    const QString vdirsyncer = QStandardPaths::findExecutable(u"vdirsyncer"_s);
    if (vdirsyncer.isEmpty()) {
        std::fprintf(stderr, "vdirsyncer is not installed (Debian: vdirsyncer)\n");
        return 1;
    }
    QTemporaryDir work;
    // vdirsyncer sends the password in Latin-1.
    const QString user = u"bench"_s, password = u"bench-1234"_s;
    RadicaleServer server;
    server.AddUser(user, password);
    QString why;
    if (!server.Start(&why)) {
        std::fprintf(stderr, "radicale: %s\n", qPrintable(why));
        return 1;
    }
    const QUrl ours = server.CreateAddressBook(u"vandrel"_s, u"Vandrel"_s, &why, user);
    const QUrl theirs = server.CreateAddressBook(u"vdir"_s, u"vdirsyncer"_s, &why, user);
    if (ours.isEmpty() || theirs.isEmpty()) {
        std::fprintf(stderr, "radicale: %s\n", qPrintable(why));
        return 1;
    }
    CardDav::Account account;
    account.user = user;
    account.password = password;

    // The records, in ten folders; exported once as the peer's folder of cards.
    const QString data = work.filePath(u"data"_s);
    for (int i = 0; i < count; ++i) {
        const QString dir = data + u"/그룹%1"_s.arg(i % 10);
        QDir().mkpath(dir);
        Record r;
        r.SetValue(u"Hand", u"010-%1-%2"_s.arg(1000 + i / 1000).arg(i % 10000, 4, 10, QChar(u'0')));
        r.SetValue(u"EMail", u"person%1@example.com"_s.arg(i));
        r.SetValue(u"ONme", u"회사 %1"_s.arg(i % 37));
        r.SetLines(u"Memo", {u"메모 %1"_s.arg(i)});
        RecordStore::CreateRecord(dir + u"/사람 %1.txt"_s.arg(i), r);
    }
    const QString vdir = work.filePath(u"vdir"_s);
    const ContactReport exported = ContactExport::Export(
        {data, data, vdir + u"/book"_s, ContactExport::Format::VCardFolder, false});
    QFile::remove(vdir + u"/book/"_s + ContactExport::FolderStateFile);
    if (exported.written != count) {
        std::fprintf(stderr, "%s\n", qPrintable(exported.Text()));
        return 1;
    }
    const QString config = work.filePath(u"vdirsyncer.conf"_s);
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write((u"[general]\nstatus_path = \""_s + work.filePath(u"status"_s)
                + u"\"\n\n[pair book]\na = \"local\"\nb = \"server\"\ncollections = null\n\n"
                  u"[storage local]\ntype = \"filesystem\"\npath = \""_s
                + vdir
                + u"/book\"\nfileext = \".vcf\"\n\n[storage server]\ntype = \"carddav\"\n"
                  u"url = \""_s
                + theirs.toString() + u"\"\nusername = \""_s + user + u"\"\npassword = \""_s
                + password + u"\"\n"_s)
                   .toUtf8());
    file.close();
    if (!RunVdirsyncer(vdirsyncer, config, {u"discover"_s}, "y\n"))
        return 1;
    say(u"%1 records in 10 folders; radicale %2 on 127.0.0.1"_s.arg(count).arg(server.Port()));

    SyncEngine::Request request;
    request.dataDir = data;
    request.folder = data;
    request.book = ours;
    request.account = account;
    request.account.address = ours;
    request.stateFile = work.filePath(u"state"_s);
    SyncReport report;
    const double firstOurs = Timed([&] {
        report = SyncEngine::Run(request);
        return !report.Failed() && report.uploaded == count;
    });
    say(u"SyncEngine::Run, first sync to an empty address book: %1 ms (%2)"_s
            .arg(firstOurs, 0, 'f', 0)
            .arg(report.Text().section(u'\n', 0, 0)));
    const double firstTheirs =
        Timed([&] { return RunVdirsyncer(vdirsyncer, config, {u"sync"_s}); });
    say(u"vdirsyncer sync, the same cards to an empty address book: %1 ms"_s.arg(firstTheirs, 0,
                                                                                 'f', 0));

    // One change on each side.
    const QString one = data + u"/그룹3/사람 3.txt"_s;
    Record r = Record::Read(one);
    r.SetValue(u"EMail", u"changed@example.com"_s);
    RecordStore::SaveRecord(one, r);
    if (!ChangeOnServer(request.account, ours, "메모", "바뀐 메모"))
        return std::fprintf(stderr, "could not change a card on the server\n"), 1;
    const double incOurs = Timed([&] {
        report = SyncEngine::Run(request);
        return !report.Failed() && report.uploaded + report.merged >= 1 && report.downloaded >= 1;
    });
    say(u"SyncEngine::Run, one change on each side: %1 ms (%2)"_s.arg(incOurs, 0, 'f', 0)
            .arg(report.Text().section(u'\n', 0, 0)));
    const QStringList files = QDir(vdir + u"/book"_s).entryList({u"*.vcf"_s}, QDir::Files);
    QFile card(vdir + u"/book/"_s + files.value(3));
    if (!card.open(QIODevice::ReadWrite))
        return 1;
    QByteArray bytes = card.readAll().replace("@example.com", "@changed.example.com");
    card.resize(0);
    card.write(bytes);
    card.close();
    CardDav::Account theirAccount = account;
    theirAccount.address = theirs;
    if (!ChangeOnServer(theirAccount, theirs, "메모", "바뀐 메모"))
        return std::fprintf(stderr, "could not change a card on the server\n"), 1;
    const double incTheirs = Timed([&] { return RunVdirsyncer(vdirsyncer, config, {u"sync"_s}); });
    say(u"vdirsyncer sync, one change on each side: %1 ms"_s.arg(incTheirs, 0, 'f', 0));

    if (firstOurs < 0 || firstTheirs < 0 || incOurs < 0 || incTheirs < 0) {
        std::fprintf(stderr, "a sync failed: %s\n", qPrintable(report.Text()));
        return 1;
    }
    say(u"first_sync_vs_vdirsyncer %1"_s.arg(firstOurs / firstTheirs, 0, 'f', 2));
    say(u"incremental_sync_vs_vdirsyncer %1"_s.arg(incOurs / incTheirs, 0, 'f', 2));
    return 0;
}
