#pragma once

#include "sync/CardDavClient.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <functional>

// What one sync did, for the user.
struct SyncReport
{
    int uploaded = 0;      // cards new or changed on the server
    int downloaded = 0;    // records new or changed here from the server's cards
    int merged = 0;        // records changed on both sides and merged
    int deletedHere = 0;   // records moved to the trash because their card was deleted
    int deletedThere = 0;  // cards deleted because their record was
    QStringList conflicts; // the same field changed on both sides: the record and the field
    QStringList skipped;   // cards or records left out, each with its reason
    QStringList warnings;
    CardDav::Error error; // what stopped the sync; None when it ran to its end
    QString failure;      // a stop that was no server's doing (the folder is gone)
    bool cancelled = false;

    bool Failed() const { return !failure.isEmpty() || (!error.Ok() && !cancelled); }
    QString Text() const;
};

// Two-way sync of a folder of a data directory with a CardDAV address book. The records are
// the truth: a card changed on both sides is merged field by field against what both had at
// the last sync, and where both changed the same field the record keeps its value and the
// server's goes into 메모. Identity is the record's UID, wherever the record has moved. Every
// change here goes through RecordStore in one operation; a card deleted on the server takes
// its record to the trash. Runs on a worker thread (a Job) or the command line.
namespace SyncEngine {

struct Request
{
    QString dataDir;
    QString folder; // the synced folder: dataDir or a folder inside it
    QUrl book;      // the address book; empty: the first one found from the account's address
    CardDav::Account account;
    QString stateFile;
    int batchSize = 100; // cards per multiget
    const std::atomic<bool> *cancel = nullptr;
    std::function<void(qint64 done, qint64 total)> progress;
};

SyncReport Run(const Request &request);

} // namespace SyncEngine
