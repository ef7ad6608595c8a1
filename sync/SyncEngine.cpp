#include "SyncEngine.h"

#include "SyncState.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "records/ContactCard.h"
#include "records/ContactExport.h"
#include "records/ContactImport.h"
#include "records/PhoneFun.h"
#include "records/RecordStore.h"
#include "records/RecordWalk.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QSet>
#include <QUuid>

#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;
using CardDav::ErrorKind;
using Values = SyncState::Values;

namespace {

// Ends the sync with what the server or the network said.
struct Stop
{
    CardDav::Error error;
};

CardDav::Error Cancelled()
{
    CardDav::Error error;
    error.kind = ErrorKind::Cancelled;
    return error;
}

// path below dir with "/" between names; empty for dir itself.
QString Relative(const QString &dir, const QString &path)
{
    const QString base = Paths::WithSeparator(dir);
    const QString rel = path.startsWith(base) ? path.mid(base.size()) : QString();
    return QDir::fromNativeSeparators(Paths::WithoutTrailingSeparators(rel));
}

QString FolderOf(const QString &path)
{
    return Paths::WithoutTrailingSeparators(path.left(path.size() - Paths::FileName(path).size()));
}

// A record as both sides compare it: as a save stores it, one empty line as none.
Record Canonical(Record record)
{
    record = record.Normalized();
    record.SetUid(QString());
    for (int i = 0; i < RecordFieldCount; ++i)
        if (record.Lines(i) == QStringList{QString()})
            record.SetLines(i, {});
    return record;
}

Values ValuesOf(const Contact &c)
{
    return {c.name, c.folder, Canonical(c.record)};
}

QByteArray CardBytes(const Contact &c)
{
    VCard::Writer writer;
    WriteCard(writer, c);
    return writer.take();
}

// The contact of a vCard that holds exactly one card; none otherwise.
std::optional<CardContact> OneCard(const QByteArray &vcard)
{
    const VCard::Document doc = VCard::Parse(vcard);
    if (doc.cards.size() != 1)
        return std::nullopt;
    return ContactFromCard(doc.cards.first());
}

// The program's version in PRODID does not make a record changed.
QByteArray HashOf(const QByteArray &card)
{
    QByteArray bytes = card;
    const qsizetype at = bytes.indexOf("\r\nPRODID:");
    if (at >= 0)
        bytes.remove(at, bytes.indexOf("\r\n", at + 2) - at);
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
}

// The picture the export would send.
void AddPhoto(const QString &path, Contact &c)
{
    const QString file = ContactExport::PhotoFile(path);
    QByteArray bytes;
    if (!file.isEmpty() && QFileInfo(file).size() <= ContactExport::MaxPhotoBytes
        && FileSystem::readListed(file, bytes))
        c.attachments.append({Paths::FileName(file), bytes});
}

// A record as it stands here, with the card the server gets of it.
struct Local
{
    QString path;
    QString uid;
    Contact contact; // with card, only once loaded
    QByteArray card;
    QByteArray hash;
    qint64 stamp = 0;
    bool loaded = false;
};

// Changes whenever the record file or its companion folder is written.
qint64 StampOf(const QString &path, bool companion)
{
    const QFileInfo file(path);
    qint64 stamp = file.lastModified().toMSecsSinceEpoch() * 31 + file.size();
    if (companion)
        stamp = stamp * 17
                + QFileInfo(RecordStore::CompanionFolder(path)).lastModified().toMSecsSinceEpoch();
    return stamp;
}

// What a three-way merge gives.
struct Merged
{
    Values values;
    QStringList conflicts; // the captions of the fields both sides changed
};

QString ShownText(const Values &v, int field)
{
    return v.record.Text(field).replace(u'\n', u' ');
}

// L against L0 and S against S0, field by field: what one side changed wins; what both
// changed keeps L's value, and S's goes into the notes as a labelled line. Lines added to the
// notes on either side are kept.
Merged Merge(const Values &l0, const Values &l, const Values &s0, const Values &s)
{
    Merged m;
    m.values = l;
    QStringList notesAdded;
    const int memo = FieldIndex(u"Memo");
    for (int i = 0; i < RecordFieldCount; ++i) {
        if (i == memo)
            continue;
        const RecordField &f = RecordFields[size_t(i)];
        const QString lt = l.record.Text(i), l0t = l0.record.Text(i);
        const QString st = s.record.Text(i), s0t = s0.record.Text(i);
        if (lt == st || st == s0t)
            continue;
        if (lt == l0t) {
            if (f.multiLine)
                m.values.record.SetLines(i, s.record.Lines(i));
            else
                m.values.record.SetValue(i, s.record.Value(i));
            continue;
        }
        const QString caption = FieldCaption(f);
        m.conflicts << caption;
        notesAdded << u"서버 %1: %2"_s.arg(caption, st.isEmpty() ? u"(지움)"_s : ShownText(s, i));
    }
    if (l.name != s.name && s.name != s0.name) {
        if (l.name == l0.name) {
            m.values.name = s.name;
        } else {
            m.conflicts << u"이름"_s;
            notesAdded << u"서버 이름: "_s + s.name;
        }
    }
    if (l.folder != s.folder && s.folder != s0.folder) {
        if (l.folder == l0.folder)
            m.values.folder = s.folder;
        else
            m.conflicts << u"폴더"_s;
    }
    QStringList notes = l.record.Lines(memo);
    const QStringList serverNotes = s.record.Lines(memo);
    if (notes == l0.record.Lines(memo)) {
        notes = serverNotes;
    } else if (serverNotes != s0.record.Lines(memo)) {
        const QStringList before = l0.record.Lines(memo) + s0.record.Lines(memo);
        for (const QString &line : serverNotes)
            if (!notes.contains(line) && !before.contains(line))
                notes << line;
    }
    for (const QString &line : std::as_const(notesAdded))
        if (!notes.contains(line))
            notes << line;
    m.values.record.SetLines(memo, notes);
    return m;
}

class Engine
{
public:
    explicit Engine(const SyncEngine::Request &r)
        : m_r(r)
        , m_dataDir(Paths::WithoutTrailingSeparator(Paths::Native(r.dataDir)))
        , m_folder(Paths::WithoutTrailingSeparator(Paths::Native(r.folder)))
        , m_book(r.book)
        , m_cancel([flag = r.cancel] { return flag && flag->load(); })
    {}

    SyncReport Run()
    {
        if (!RecordStore::IsDataDir(m_folder)) {
            m_report.failure = u"동기화할 폴더가 없습니다: %1"_s.arg(m_folder);
            return m_report;
        }
        CardDav::Client client(m_r.account);
        m_client = &client;
        if (m_book.isEmpty()) {
            // Only the server is known: its first address book.
            const CardDav::Discovery found = client.DiscoverBlocking(m_cancel);
            m_report.error = found.error;
            if (found.error.Ok() && found.addressBooks.isEmpty())
                m_report.error.kind = ErrorKind::NoCardDav;
            if (!m_report.error.Ok()) {
                m_report.cancelled = m_report.error.kind == ErrorKind::Cancelled;
                return m_report;
            }
            m_book = found.addressBooks.first().url;
        }
        // One sync per account at a time: the window's and the command line's.
        QLockFile lock(SyncState::LockOf(m_r.stateFile));
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0)) {
            m_report.failure = u"이 계정의 다른 동기화가 아직 실행 중입니다."_s;
            return m_report;
        }
        m_state = SyncState::Load(m_r.stateFile);
        if (m_state.Lost())
            m_report.warnings << u"지난 동기화 상태를 읽을 수 없어 서버와 자료를 처음부터 "
                                 u"비교했습니다."_s;
        const QString book = m_book.toString(QUrl::FullyEncoded);
        if (m_state.book != book) {
            m_state.Clear();
            m_state.folder.clear();
        }
        // Another folder (the data directory switched, a drive mounted elsewhere) would look as
        // if every record had been deleted here.
        if (!m_state.folder.isEmpty() && m_state.folder != m_folder && !m_state.Items().isEmpty()) {
            m_report.failure =
                u"이 계정은 지금까지 다른 폴더(%1)와 동기화했습니다. 동기화 설정에서 "
                u"폴더를 다시 정하면 처음부터 비교합니다."_s.arg(m_state.folder);
            return m_report;
        }
        if (!m_state.SetOwner(book, m_folder))
            m_report.failure = StateUnwritable();
        if (!m_report.failure.isEmpty())
            return m_report;
        // Changes here go out as one, when the sync ends.
        RecordStore::Operation operation(u"동기화"_s);
        try {
            Sync();
        } catch (const Stop &stop) {
            m_report.error = stop.error;
            m_report.cancelled = stop.error.kind == ErrorKind::Cancelled;
            m_complete = false;
        } catch (const VandrelError &e) {
            m_report.failure = e.message();
            m_complete = false;
        }
        if (m_complete) {
            m_state.token = m_newToken;
            m_state.ctag = m_newCtag;
        }
        if (!m_state.Save())
            m_report.warnings << u"동기화 상태 파일을 쓰지 못했습니다: %1"_s.arg(
                Paths::Native(m_r.stateFile));
        operation.SetDescription(
            u"동기화: 올림 %1, 받음 %2, 합침 %3, 지움 %4"_s.arg(m_report.uploaded)
                .arg(m_report.downloaded)
                .arg(m_report.merged)
                .arg(m_report.deletedHere + m_report.deletedThere));
        return m_report;
    }

private:
    QString StateUnwritable() const
    {
        return u"동기화 상태 파일을 쓸 수 없습니다: %1"_s.arg(Paths::Native(m_r.stateFile));
    }

    void Check(const CardDav::Error &error)
    {
        if (!error.Ok())
            throw Stop{error};
    }

    void Tick()
    {
        ++m_done;
        if (m_r.progress)
            m_r.progress(m_done, std::max(m_done, m_total));
        if (m_cancel())
            throw Stop{Cancelled()};
    }

    void Sync()
    {
        const CardDav::Capabilities caps = m_client->ReadCapabilitiesBlocking(m_book, m_cancel);
        Check(caps.error);
        RestoreBookProperties();
        m_syncCollection = caps.syncCollection;
        m_bookEtag = caps.etag;
        QMap<QString, QString> changed; // href -> ETag
        QSet<QString> removed;
        bool full = false;
        if (caps.syncCollection) {
            full = ReadChanges(m_state.token, changed, removed, m_newToken);
        } else if (m_state.ctag.isEmpty() || caps.ctag != m_state.ctag || m_state.Lost()) {
            changed = ListCards();
            full = true;
            m_newCtag = caps.ctag;
        } else {
            m_newCtag = caps.ctag;
        }
        if (full) {
            // Whatever the state knows that the server no longer lists is gone there.
            for (const SyncState::Item &item : m_state.Items())
                if (!changed.contains(item.href))
                    removed.insert(item.href);
        }
        // An empty address book that nothing was synced with yet: the first upload.
        m_emptyBook = full && changed.isEmpty() && removed.isEmpty() && m_state.Items().isEmpty();
        const QStringList fetch = ToFetch(changed);
        ScanLocal();
        m_total = fetch.size() + removed.size() + m_locals.size() + m_state.Items().size();
        FetchAndApply(fetch);
        for (const QString &href : std::as_const(removed))
            RemovedOnServer(href);
        PushLocal();
        DeleteOnServer();
    }

    // The cards to read of those changed: the server's own answer to our last uploads needs
    // no second look.
    QStringList ToFetch(const QMap<QString, QString> &changed) const
    {
        QStringList fetch;
        for (auto it = changed.begin(); it != changed.end(); ++it) {
            const SyncState::Item *item = m_state.Find(m_state.UidOfHref(it.key()));
            if (!item || item->etag != it.value() || it.value().isEmpty())
                fetch << it.key();
        }
        return fetch;
    }

    // Cards that reached the server during this sync, taken in before anything goes up, so that
    // none of them goes up a second time.
    void TakeInLateChanges()
    {
        QMap<QString, QString> changed;
        QSet<QString> removed;
        if (m_syncCollection) {
            ReadChanges(m_newToken, changed, removed, m_newToken);
        } else {
            changed = ListCards();
            m_newCtag.clear();
        }
        const QStringList fetch = ToFetch(changed);
        m_total += fetch.size() + removed.size();
        FetchAndApply(fetch);
        for (const QString &href : std::as_const(removed))
            RemovedOnServer(href);
    }

    // The sync-collection answers from token on (everything from an empty one, or from a token
    // the server no longer knows), truncated ones asked on; true when that was everything.
    bool ReadChanges(const QString &from, QMap<QString, QString> &changed, QSet<QString> &removed,
                     QString &newToken)
    {
        QString token = from;
        bool everything = token.isEmpty();
        for (;;) {
            const CardDav::Changes ch = m_client->ReadChangesBlocking(m_book, token, m_cancel);
            if (ch.error.kind == ErrorKind::SyncTokenRejected && !token.isEmpty()) {
                changed.clear();
                removed.clear();
                token.clear();
                everything = true;
                continue;
            }
            Check(ch.error);
            for (auto it = ch.changed.begin(); it != ch.changed.end(); ++it) {
                changed.insert(it.key(), it.value());
                removed.remove(it.key());
            }
            for (const QString &href : ch.removed) {
                changed.remove(href);
                removed.insert(href);
            }
            const bool last = ch.syncToken.isEmpty() || ch.syncToken == token || !ch.truncated;
            token = ch.syncToken;
            if (last)
                break;
        }
        newToken = token;
        return everything;
    }

    // Every card's href and ETag.
    QMap<QString, QString> ListCards()
    {
        const CardDav::Listing listing = m_client->ListCardsBlocking(m_book, m_cancel);
        Check(listing.error);
        return listing.etags;
    }

    // The card at href as it is now; none when it is gone.
    std::optional<CardDav::Card> FetchOne(const QString &href)
    {
        const CardDav::Cards cards = m_client->FetchCardsBlocking(m_book, {href}, 1, m_cancel);
        Check(cards.error);
        const auto it = cards.cards.constFind(href);
        return it == cards.cards.cend() ? std::nullopt : std::optional<CardDav::Card>(*it);
    }

    // Gives the address book back its own properties (its name) after an upload replaced it
    // whole, also when the sync that did it was cut off in between.
    void RestoreBookProperties()
    {
        if (m_state.restoreProps.isEmpty())
            return;
        const auto differing = [this](const CardDav::Properties &now) {
            QMap<QString, QString> differ;
            for (auto it = m_state.restoreProps.begin(); it != m_state.restoreProps.end(); ++it)
                if (now.text.value(it.key()) != it.value())
                    differ.insert(it.key(), it.value());
            return differ;
        };
        const CardDav::Properties now = m_client->ReadTextPropertiesBlocking(m_book, m_cancel);
        Check(now.error);
        const QMap<QString, QString> lost = differing(now);
        if (!lost.isEmpty()) {
            const CardDav::Error set = m_client->SetPropertiesBlocking(m_book, lost, m_cancel);
            if (!set.Ok() && set.status == 0)
                Check(set); // the network, not the server's answer
            const CardDav::Properties after =
                m_client->ReadTextPropertiesBlocking(m_book, m_cancel);
            Check(after.error);
            const QMap<QString, QString> still = differing(after);
            for (auto it = still.begin(); it != still.end(); ++it)
                m_report.warnings << u"주소록의 속성 %1을(를) 되돌리지 못했습니다 (%2)."_s.arg(
                    it.key(), it.value());
        }
        if (!m_state.SetRestoreProps({}))
            throw VandrelError(StateUnwritable());
    }

    // The first upload into an empty address book goes up in one request where the server takes
    // a whole address book at once: a server such as radicale looks through every card it holds
    // for each new one, so cards sent one by one take time growing with the square of their
    // number. Whatever the server does not take goes up card by card after.
    void UploadWholeBook()
    {
        constexpr int Fewest = 20; // below this, card by card is quick enough
        constexpr qsizetype Largest = 32 << 20;
        if (!m_emptyBook || m_bookEtag.isEmpty())
            return;
        QList<Local *> up;
        for (auto it = m_locals.begin(); it != m_locals.end(); ++it)
            if (!m_handled.contains(it.key()) && !m_state.Find(it.key()))
                up << &*it;
        if (up.size() < Fewest)
            return;
        QByteArray cards;
        for (Local *local : std::as_const(up)) {
            Load(*local);
            cards += local->card;
            if (cards.size() > Largest)
                return;
            if (m_cancel())
                throw Stop{Cancelled()};
        }
        const CardDav::Properties own = m_client->ReadTextPropertiesBlocking(m_book, m_cancel);
        if (own.error.status != 0)
            return; // a server without allprop: card by card
        Check(own.error);
        // Replacing the book loses its name; the state keeps it until it is given back.
        if (!m_state.SetRestoreProps(own.text))
            throw VandrelError(StateUnwritable());
        if (m_r.progress)
            m_r.progress(m_done, std::max(m_done, m_total));
        // The server parses every card before it answers.
        const int patience =
            std::max(m_r.account.timeoutMs, 30000) + 20 * int(std::min<qsizetype>(up.size(), 1e6));
        const CardDav::Written written =
            m_client->PutAddressBookBlocking(m_book, cards, m_bookEtag, patience, m_cancel);
        if (written.error.status != 0) {
            // Not taken: nothing happened to the book.
            m_state.SetRestoreProps({});
            if (written.error.kind == ErrorKind::PreconditionFailed)
                TakeInLateChanges(); // something came meanwhile
            return;
        }
        Check(written.error);
        RestoreBookProperties();

        // Where the server put each card, and its ETag.
        QMap<QString, QString> listed;
        QString token;
        if (m_syncCollection) {
            QSet<QString> gone;
            ReadChanges(QString(), listed, gone, token);
        } else {
            listed = ListCards();
        }
        // Our own name for each card, or the server's own choice of its UID as the name.
        QHash<QString, Local *> byHref;
        for (Local *local : std::as_const(up)) {
            byHref.insert(CardDav::Client::NewCardHref(m_book, local->uid), local);
            QUrl named = m_book;
            named.setPath(m_book.path() + (m_book.path().endsWith(u'/') ? u""_s : u"/"_s)
                          + local->uid + u".vcf"_s);
            byHref.insert(named.path(QUrl::FullyEncoded), local);
        }
        QStringList others; // hrefs the server chose itself, or cards not ours
        QHash<QString, Local *> byUid;
        for (Local *local : std::as_const(up))
            byUid.insert(local->uid, local);
        for (auto it = listed.begin(); it != listed.end(); ++it) {
            Local *local = byHref.value(it.key());
            if (local && byUid.remove(local->uid))
                Uploaded(*local, it.key(), it.value());
            else
                others << it.key();
        }
        if (!others.isEmpty() && !byUid.isEmpty()) {
            const CardDav::Cards read =
                m_client->FetchCardsBlocking(m_book, others, std::max(1, m_r.batchSize), m_cancel);
            Check(read.error);
            for (auto it = read.cards.begin(); it != read.cards.end(); ++it) {
                const std::optional<CardContact> one = OneCard(it->vcard);
                const QString uid = one ? one->contact.record.Uid() : QString();
                if (Local *local = byUid.take(uid)) {
                    Uploaded(*local, it.key(), it->etag);
                    others.removeOne(it.key());
                }
            }
        }
        // A card another device put there meanwhile must not be passed over by the token.
        m_newToken = others.isEmpty() ? token : QString();
        m_newCtag.clear();
    }

    void Uploaded(const Local &local, const QString &href, const QString &etag)
    {
        ++m_report.uploaded;
        Remember(local.uid, href, etag, local, ValuesOf(local.contact),
                 ValuesOf(ContactOfCard(local.card)));
    }

    // Every record of the synced folder by UID; a record without one gets the UID the export
    // would give it, a second record with the same UID (a copied file) a new one.
    void ScanLocal()
    {
        RecordWalk::Options options;
        options.cancel = m_r.cancel;
        QHash<QString, QString> byPath; // the state's records by place
        for (const SyncState::Item &item : m_state.Items())
            byPath.insert(item.path, item.uid);
        QList<std::pair<QString, bool>> rest; // records to read
        for (const RecordWalk::Folder &f : RecordWalk::Walk(m_folder, options)) {
            if (m_cancel())
                throw Stop{Cancelled()};
            const QString dir = f.rel.isEmpty() ? m_folder : Paths::Join(m_folder, f.rel);
            for (const RecordWalk::Unreadable &u : f.unreadable)
                if (u.isDir || RecordStore::IsRecordFileName(u.name))
                    m_unreadable = true;
            // The companion folders, from the walk's listing: a lookup per record would list
            // the folder once per record.
            QSet<QString> companions;
            for (const QString &name : f.companions)
                companions.insert(Paths::AsciiLower(name));
            for (const QString &name : f.Records()) {
                const QString path = Paths::Join(dir, name);
                const bool companion = companions.contains(
                    Paths::AsciiLower(Paths::FileName(RecordStore::CompanionFolder(path))));
                // A record as it was at the last sync, where it was then, need not be read.
                const SyncState::Item *known =
                    m_state.Find(byPath.value(Relative(m_dataDir, path)));
                const qint64 stamp = StampOf(path, companion);
                if (known && known->stamp == stamp && !m_locals.contains(known->uid)) {
                    Local local;
                    local.path = path;
                    local.uid = known->uid;
                    local.hash = known->cardHash;
                    local.stamp = stamp;
                    m_locals.insert(known->uid, local);
                } else {
                    rest.append({path, companion});
                }
            }
        }
        for (const auto &[path, companion] : std::as_const(rest)) {
            Local local = LocalOf(path, companion);
            QString uid = local.contact.record.Uid();
            if (uid.isEmpty() || m_locals.contains(uid)) {
                uid = uid.isEmpty() ? ContactExport::RecordUid(Relative(m_dataDir, path))
                                    : Record::NewUid();
                try {
                    RecordStore::SaveUid(path, uid);
                } catch (const VandrelError &e) {
                    m_report.skipped << u"%1: UID를 적지 못해 동기화하지 않았습니다 (%2)"_s.arg(
                        Paths::Native(path), e.message());
                    continue;
                }
                local = LocalOf(path);
            }
            m_locals.insert(uid, local);
        }
        if (m_unreadable)
            m_report.warnings << u"이름이 UTF-8이 아닌 자료가 있어 이번에는 서버의 카드를 "
                                 u"지우지 않았습니다."_s;
    }

    // companion: whether the record has a companion folder, where the caller knows.
    Local LocalOf(const QString &path, std::optional<bool> companion = std::nullopt) const
    {
        Local l;
        l.path = path;
        l.contact = Contact::Read(path);
        l.contact.name = RecordDisplayName(path);
        l.contact.folder = Relative(m_folder, FolderOf(path));
        l.contact.category = l.contact.folder;
        if (companion.value_or(true))
            AddPhoto(path, l.contact);
        l.card = CardBytes(l.contact);
        l.hash = HashOf(l.card);
        l.uid = l.contact.record.Uid();
        l.stamp = StampOf(
            path, companion.value_or(QFileInfo(RecordStore::CompanionFolder(path)).isDir()));
        l.loaded = true;
        return l;
    }

    void Load(Local &local) const
    {
        if (!local.loaded)
            local = LocalOf(local.path);
    }

    QString Shown(const QString &path) const { return Relative(m_dataDir, path); }

    // The UID the card stands for: its own, or one made of its href for a card without.
    static QString UidOfCard(CardContact &card, const QString &href)
    {
        QString uid = card.contact.record.Uid();
        if (uid.isEmpty()) {
            static const QUuid ns(u"{3e0c8f4a-7b21-4d6e-9a53-c8d2f1b0e947}"_s);
            uid = u"urn:uuid:"_s
                  + QUuid::createUuidV5(ns, href.toUtf8()).toString(QUuid::WithoutBraces);
            card.contact.record.SetUid(uid);
        }
        return uid;
    }

    void FetchAndApply(const QStringList &hrefs)
    {
        const int batch = std::max(1, m_r.batchSize);
        for (qsizetype from = 0; from < hrefs.size(); from += batch) {
            const QStringList part = hrefs.mid(from, batch);
            const CardDav::Cards cards =
                m_client->FetchCardsBlocking(m_book, part, batch, m_cancel);
            Check(cards.error);
            for (const QString &href : part) {
                const auto it = cards.cards.constFind(href);
                if (it == cards.cards.cend())
                    RemovedOnServer(href);
                else
                    ServerCard(href, *it);
                Tick();
            }
        }
    }

    // A card that is new or changed on the server.
    void ServerCard(const QString &href, const CardDav::Card &card)
    {
        std::optional<CardContact> one = OneCard(card.vcard);
        if (!one) {
            m_report.skipped << u"서버의 %1: vCard 카드 하나가 아니어서 건너뛰었습니다."_s.arg(
                href);
            return;
        }
        CardContact read = std::move(*one);
        if (!read.error.isEmpty()) {
            m_report.skipped << u"서버의 %1: %2"_s.arg(href, read.error);
            return;
        }
        if (read.contact.isFolder || read.contact.emptyFolder)
            return; // folders go by the records' folders
        QString uid = m_state.UidOfHref(href);
        const QString cardUid = UidOfCard(read, href);
        if (uid.isEmpty())
            uid = cardUid;
        const SyncState::Item *known = m_state.Find(uid);
        if (known && known->href != href) {
            m_report.skipped << u"서버의 %1: UID가 같은 카드(%2)가 이미 있어 건너뛰었습니다."_s.arg(
                href, known->href);
            return;
        }
        read.contact.record.SetUid(uid);
        m_handled.insert(uid);
        const auto local = m_locals.find(uid);
        if (local == m_locals.end()) {
            if (known)
                m_report.conflicts
                    << u"%1: 여기서 지웠지만 서버에서 바뀌어 되살렸습니다."_s.arg(known->path);
            Create(uid, href, card.etag, read, known ? known->path : QString());
            return;
        }
        Reconcile(*local, known, href, card.etag, read);
    }

    // The record and the card both exist: merge them, write what changed on either side.
    void Reconcile(Local &local, const SyncState::Item *known, const QString &href, QString etag,
                   CardContact read)
    {
        Load(local);
        const QString uid = local.contact.record.Uid();
        for (int attempt = 0;; ++attempt) {
            const Values l = ValuesOf(local.contact), s = ValuesOf(read.contact);
            Values l0, s0;
            if (known) {
                l0 = known->local;
                s0 = known->server;
            } else {
                // Nothing to compare with: what one side lacks the other gives.
                l0 = {l.name, l.folder, {}};
                s0 = {s.name, s.folder, {}};
            }
            const bool localChanged = !known || local.hash != known->cardHash;
            const Merged m = Merge(l0, l, s0, s);
            const bool changedHere = !(m.values == l);
            if (changedHere
                || !ContactImport::NewAttachments(local.path, read.contact.attachments).isEmpty())
                ApplyHere(local, m.values, read.contact.attachments);
            const Values now = ValuesOf(local.contact);
            // The server needs the result when it holds anything else.
            const bool push = localChanged && !(ValuesOf(ContactOfCard(local.card)) == s);
            if (!m.conflicts.isEmpty())
                m_report.conflicts
                    << u"%1: %2 (이 컴퓨터의 값을 두고 서버의 값은 메모에 "
                       u"적었습니다)"_s.arg(Shown(local.path), m.conflicts.join(u", "_s));
            if (!push) {
                if (changedHere)
                    ++(localChanged ? m_report.merged : m_report.downloaded);
                Remember(uid, href, etag, local, now, s);
                return;
            }
            const CardDav::Written w =
                m_client->PutCardBlocking(m_book, href, local.card, etag, m_cancel);
            if (w.error.kind == ErrorKind::PreconditionFailed && attempt < 3) {
                // Changed again meanwhile: read it anew and merge once more.
                const std::optional<CardDav::Card> again = FetchOne(href);
                if (!again) {
                    m_state.Remove(uid);
                    return; // gone: the upload of new records puts it back
                }
                std::optional<CardContact> one = OneCard(again->vcard);
                if (!one)
                    return;
                read = std::move(*one);
                read.contact.record.SetUid(uid);
                etag = again->etag;
                continue;
            }
            if (Rejected(w.error, local.path))
                return;
            Check(w.error);
            ++(changedHere ? m_report.merged : m_report.uploaded);
            Remember(uid, href, w.etag, local, now, ValuesOf(ContactOfCard(local.card)));
            return;
        }
    }

    static Contact ContactOfCard(const QByteArray &bytes)
    {
        const VCard::Document doc = VCard::Parse(bytes);
        return doc.cards.isEmpty() ? Contact() : ContactFromCard(doc.cards.first()).contact;
    }

    // A card the server refuses (too large, a format it does not take) is told and left out;
    // the rest of the sync goes on.
    bool Rejected(const CardDav::Error &error, const QString &path)
    {
        if (error.kind != ErrorKind::CardRejected)
            return false;
        m_report.skipped << u"%1: %2"_s.arg(Shown(path), error.Message());
        return true;
    }

    // A file written within the file system's time resolution could change again with the same
    // stamp: it is read again next time, and stamped then.
    static qint64 TrustedStamp(const Local &local)
    {
        const QDateTime written = QFileInfo(local.path).lastModified();
        return written.msecsTo(QDateTime::currentDateTime()) > 3000 ? local.stamp : 0;
    }

    void Remember(const QString &uid, const QString &href, const QString &etag, const Local &local,
                  const Values &here, const Values &there)
    {
        SyncState::Item item;
        item.uid = uid;
        item.href = href;
        item.etag = etag;
        item.path = Relative(m_dataDir, local.path);
        item.cardHash = local.hash;
        item.stamp = TrustedStamp(local);
        item.local = here;
        item.server = there;
        if (!m_state.Put(item))
            throw VandrelError(StateUnwritable());
    }

    // A card with no record here: a new record in the folder the card names (or where the
    // record was, for one brought back).
    void Create(const QString &uid, const QString &href, const QString &etag,
                const CardContact &read, const QString &oldPath)
    {
        const Contact &c = read.contact;
        QString dir;
        QString path;
        if (!oldPath.isEmpty()) {
            const QString old = Paths::Join(m_dataDir, QDir::toNativeSeparators(oldPath));
            if (QFileInfo(FolderOf(old)).isDir() && !FileSystem::exists(old)) {
                dir = FolderOf(old);
                path = old;
            }
        }
        if (path.isEmpty()) {
            const QStringList parts = c.folder.split(u'/', Qt::SkipEmptyParts);
            dir = parts.isEmpty() ? m_folder : RecordStore::MakeFolders(m_folder, parts);
            QString name = RecordStore::ValidName(c.name, false);
            if (name.isEmpty())
                name = u"이름 없음"_s;
            path = Paths::Join(dir, RecordStore::FreeRecordName(dir, name) + u".txt"_s);
        }
        Record record = c.record;
        record.SetUid(uid);
        RecordStore::CreateRecord(path, record);
        for (const Attachment &a : c.attachments)
            if (RecordStore::AddCompanionFile(path, a.fileName, a.bytes).isEmpty())
                m_report.warnings << u"%1: %2을(를) 저장하지 못했습니다."_s.arg(Shown(path),
                                                                                a.fileName);
        const Local local = LocalOf(path);
        m_locals.insert(uid, local);
        ++m_report.downloaded;
        Remember(uid, href, etag, local, ValuesOf(local.contact), ValuesOf(c));
    }

    // Writes the merged values into the record: its fields, its name and its folder.
    void ApplyHere(Local &local, const Values &v, const QList<Attachment> &attachments)
    {
        QString path = local.path;
        Record record = v.record;
        record.SetUid(local.contact.record.Uid());
        if (!(Canonical(local.contact.record) == v.record))
            RecordStore::SaveRecord(path, record);
        QString dir = FolderOf(path);
        if (v.name != local.contact.name) {
            const QString valid = RecordStore::ValidName(v.name, false);
            if (!valid.isEmpty()) {
                const QString fresh = RecordStore::FreeRecordName(dir, valid);
                const QString file = Paths::FileName(path);
                QString warning;
                if (RecordStore::Rename(Paths::WithSeparator(dir), file.left(file.size() - 4),
                                        fresh, true, &warning)
                        .isEmpty())
                    path = Paths::Join(dir, fresh + u".txt"_s);
                if (!warning.isEmpty())
                    m_report.warnings << warning;
            }
        }
        if (v.folder != local.contact.folder) {
            const QStringList parts = v.folder.split(u'/', Qt::SkipEmptyParts);
            const QString dest =
                parts.isEmpty() ? m_folder : RecordStore::MakeFolders(m_folder, parts);
            const QString file = Paths::FileName(path);
            // Never asks: a name taken there leaves the record where it is.
            if (!RecordStore::NameTaken(dest, file)
                && !RecordStore::NameTaken(dest,
                                           Paths::FileName(RecordStore::CompanionFolder(path)))
                && RecordStore::Move(path, dest))
                path = Paths::Join(dest, file);
        }
        for (const Attachment &a : ContactImport::NewAttachments(path, attachments))
            RecordStore::AddCompanionFile(path, a.fileName, a.bytes);
        local = LocalOf(path);
    }

    // A card deleted on the server: its record goes to the trash unless it changed here since.
    void RemovedOnServer(const QString &href)
    {
        const QString uid = m_state.UidOfHref(href);
        if (uid.isEmpty() || m_handled.contains(uid))
            return;
        m_handled.insert(uid);
        const SyncState::Item *known = m_state.Find(uid);
        const auto local = m_locals.find(uid);
        if (local == m_locals.end()) {
            m_state.Remove(uid); // gone on both sides
            return;
        }
        if (local->hash != known->cardHash) {
            // Changed here: it goes up again as a new card.
            m_report.conflicts << u"%1: 서버에서 지웠지만 여기서 바뀌어 다시 올립니다."_s.arg(
                Shown(local->path));
            m_state.Remove(uid);
            m_handled.remove(uid);
            return;
        }
        if (!RecordStore::DeletePath(local->path)) {
            m_report.skipped << u"%1: 서버에서 지운 자료를 휴지통으로 옮기지 못했습니다."_s.arg(
                Shown(local->path));
            m_complete = false;
            return;
        }
        ++m_report.deletedHere;
        m_locals.erase(local);
        m_state.Remove(uid);
    }

    // Records new here or changed since the last sync go up.
    void PushLocal()
    {
        UploadWholeBook();
        for (auto it = m_locals.begin(); it != m_locals.end(); ++it) {
            const QString uid = it.key();
            if (m_handled.contains(uid))
                continue;
            Local &local = *it;
            const SyncState::Item *known = m_state.Find(uid);
            if (known && known->cardHash == local.hash) {
                const qint64 stamp = TrustedStamp(local);
                if (Relative(m_dataDir, local.path) != known->path || stamp != known->stamp) {
                    SyncState::Item moved = *known;
                    moved.path = Relative(m_dataDir, local.path);
                    moved.stamp = stamp;
                    m_state.Put(moved);
                }
                Tick();
                continue;
            }
            Load(local);
            const QString href = known ? known->href : CardDav::Client::NewCardHref(m_book, uid);
            const CardDav::Written w = m_client->PutCardBlocking(
                m_book, href, local.card, known ? known->etag : QString(), m_cancel);
            if (w.error.kind == ErrorKind::PreconditionFailed) {
                // There is a card at that place (an upload the last sync could not record, or
                // a change on the server since): read it and merge.
                if (const std::optional<CardDav::Card> card = FetchOne(href)) {
                    std::optional<CardContact> read = OneCard(card->vcard);
                    if (!read || !read->error.isEmpty()) {
                        m_report.skipped
                            << u"서버의 %1: 읽을 수 없는 카드라서 덮어쓰지 않았습니다."_s.arg(href);
                    } else {
                        read->contact.record.SetUid(uid);
                        const SyncState::Item *same =
                            known && known->href == href ? known : nullptr;
                        Reconcile(local, same, href, card->etag, std::move(*read));
                    }
                } else if (known) {
                    m_state.Remove(uid); // gone meanwhile: up as new next time
                    m_complete = false;
                }
                Tick();
                continue;
            }
            if (!Rejected(w.error, local.path)) {
                Check(w.error);
                ++m_report.uploaded;
                Remember(uid, href, w.etag, local, ValuesOf(local.contact),
                         ValuesOf(ContactOfCard(local.card)));
            }
            Tick();
        }
    }

    // Records deleted here since the last sync: their cards are deleted, unless they changed
    // on the server since, when the record comes back.
    void DeleteOnServer()
    {
        if (m_unreadable)
            return;
        if (m_locals.isEmpty() && m_state.Items().size() > 1) {
            // More likely an empty drive or mount than every contact deleted by hand.
            m_report.warnings << u"동기화할 폴더에 자료가 하나도 없어 서버의 카드를 지우지 "
                                 u"않았습니다."_s;
            return;
        }
        const QList<SyncState::Item> items = m_state.Items().values();
        for (const SyncState::Item &item : items) {
            if (m_locals.contains(item.uid) || m_handled.contains(item.uid))
                continue;
            const CardDav::Deleted d =
                m_client->DeleteCardBlocking(m_book, item.href, item.etag, m_cancel);
            if (d.error.kind == ErrorKind::PreconditionFailed) {
                if (const std::optional<CardDav::Card> card = FetchOne(item.href))
                    ServerCard(item.href, *card);
                else
                    m_state.Remove(item.uid);
                Tick();
                continue;
            }
            Check(d.error);
            if (!d.wasMissing)
                ++m_report.deletedThere;
            m_state.Remove(item.uid);
            Tick();
        }
    }

    const SyncEngine::Request &m_r;
    QString m_dataDir, m_folder;
    QUrl m_book;
    CardDav::CancelCheck m_cancel;
    CardDav::Client *m_client = nullptr;
    SyncState m_state;
    SyncReport m_report;
    QHash<QString, Local> m_locals; // by UID
    QSet<QString> m_handled;        // UIDs this sync has dealt with
    bool m_unreadable = false;
    bool m_complete = true;
    QString m_newToken, m_newCtag;
    bool m_syncCollection = false;
    bool m_emptyBook = false;
    QString m_bookEtag;
    qint64 m_done = 0, m_total = 0;
};

} // namespace

QString SyncReport::Text() const
{
    QStringList out;
    out << u"올림 %1, 받음 %2, 합침 %3, 여기서 지움 %4, 서버에서 지움 %5, 충돌 %6"_s.arg(uploaded)
               .arg(downloaded)
               .arg(merged)
               .arg(deletedHere)
               .arg(deletedThere)
               .arg(conflicts.size());
    if (cancelled)
        out << u"동기화를 취소했습니다. 다음 동기화가 이어서 합니다."_s;
    else if (!failure.isEmpty())
        out << failure;
    else if (!error.Ok())
        out << error.Message() << u"다음 동기화가 남은 일을 마칩니다."_s;
    auto section = [&out](const QString &title, const QStringList &items) {
        if (items.isEmpty())
            return;
        out << QString() << title.arg(items.size());
        constexpr int Shown = 30;
        for (const QString &item : items.mid(0, Shown))
            out << u"  "_s + item;
        if (items.size() > Shown)
            out << u"  … 그리고 %1개 더"_s.arg(items.size() - Shown);
    };
    section(u"충돌 %1건:"_s, conflicts);
    section(u"건너뜀 %1건:"_s, skipped);
    section(u"참고 %1건:"_s, warnings);
    return out.join(u'\n');
}

namespace SyncEngine {

SyncReport Run(const Request &request)
{
    return Engine(request).Run();
}

} // namespace SyncEngine
