#pragma once

#include <QString>

namespace CardDav {

// What went wrong in a CardDAV operation, in the few kinds a caller acts on differently.
enum class ErrorKind {
    None,
    Cancelled,          // the caller's cancel check said stop
    InvalidAddress,     // not an http or https address
    InsecureAddress,    // http to another computer: the password would travel in clear text
    WrongPassword,      // 401
    NoCardDav,          // 404, not WebDAV, or no address book found at the address
    NoNetwork,          // refused, reset or unreachable
    HostNotFound,       // the name does not resolve
    Timeout,            // nothing came within the transfer timeout
    Certificate,        // the TLS handshake failed; detail names the certificate's problems
    CardRejected,       // 413 too large, 415 unsupported, or the server found the card invalid
    PreconditionFailed, // 412: the card changed (or exists) on the server since its ETag
    SyncTokenRejected,  // the server no longer knows the sync token: list everything instead
    BadResponse,        // the answer could not be read
    HttpError,          // any other HTTP status
};

struct Error
{
    ErrorKind kind = ErrorKind::None;
    int status = 0;    // the HTTP status, where one came
    QString detail;    // what Qt, the server or the certificate check said; never a password
    QString condition; // a WebDAV precondition the server named ("no-uid-conflict")

    bool Ok() const { return kind == ErrorKind::None; }
    // One sentence in Korean for the user.
    QString Message() const;

    // The error an HTTP status means where nothing more specific applies; None for 2xx.
    static Error FromStatus(int status, const QString &detail = QString());
};

} // namespace CardDav
