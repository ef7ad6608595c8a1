#include "CardDavError.h"

using namespace Qt::StringLiterals;

namespace CardDav {

namespace {

QString WithDetail(const QString &sentence, const QString &detail)
{
    return detail.isEmpty() ? sentence : sentence + u" ("_s + detail + u')';
}

} // namespace

QString Error::Message() const
{
    switch (kind) {
    case ErrorKind::None: return QString();
    case ErrorKind::Cancelled: return u"동기화를 취소했습니다."_s;
    case ErrorKind::InvalidAddress:
        return WithDetail(
            u"서버 주소가 올바르지 않습니다. https://로 시작하는 주소를 입력하세요."_s, detail);
    case ErrorKind::InsecureAddress:
        return u"암호화되지 않은 http 주소는 이 컴퓨터(localhost)의 서버에만 쓸 수 있습니다. "
               u"암호가 그대로 전송되지 않도록 https 주소를 입력하세요."_s;
    case ErrorKind::WrongPassword:
        return u"사용자 이름이나 암호가 틀립니다. 서버가 로그인을 거부했습니다 (401)."_s;
    case ErrorKind::NoCardDav:
        return WithDetail(
            u"이 주소에서 CardDAV 주소록을 찾지 못했습니다. 서버 주소를 확인하세요."_s,
            status ? QString::number(status) : detail);
    case ErrorKind::NoNetwork:
        return WithDetail(u"서버에 연결할 수 없습니다. 네트워크 연결과 서버가 켜져 있는지 "
                          u"확인하세요."_s,
                          detail);
    case ErrorKind::HostNotFound:
        return WithDetail(u"서버를 찾을 수 없습니다. 서버 주소와 네트워크 연결을 확인하세요."_s,
                          detail);
    case ErrorKind::Timeout:
        return u"서버가 제시간에 응답하지 않았습니다. 잠시 후 다시 시도하세요."_s;
    case ErrorKind::Certificate:
        // Qt trusts the system's certificate store alone (it ignores SSL_CERT_FILE), so the
        // way out is that store or a certificate that needs none; checking stays on.
        return u"서버의 보안 인증서를 신뢰할 수 없어 연결하지 않았습니다: "_s
               + (detail.isEmpty() ? u"보안 연결을 맺지 못했습니다"_s : detail)
               + u". 서버의 인증서를 이 컴퓨터가 신뢰하는 인증서에 추가하거나"
                 u"(Debian, Ubuntu: 인증서를 .crt 파일로 /usr/local/share/ca-certificates에 "
                 u"복사한 뒤 sudo update-ca-certificates 실행), 서버에 공인 인증 기관이 발급한 "
                 u"인증서를 쓰세요."_s;
    case ErrorKind::CardRejected:
        if (status == 413)
            return u"연락처 카드가 너무 커서 서버가 받지 않았습니다 (413)."_s;
        if (status == 415)
            return u"서버가 이 형식의 연락처 카드를 받지 않습니다 (415)."_s;
        return WithDetail(u"서버가 연락처 카드를 받아들이지 않았습니다."_s,
                          condition.isEmpty() ? (status ? QString::number(status) : detail)
                                              : condition);
    case ErrorKind::PreconditionFailed:
        return u"서버의 연락처가 그사이에 바뀌었습니다. 다시 읽어 온 뒤 동기화해야 합니다 (412)."_s;
    case ErrorKind::SyncTokenRejected:
        return u"서버가 이전 동기화 상태를 더 이상 알지 못합니다. 주소록 전체를 다시 비교합니다."_s;
    case ErrorKind::BadResponse: return WithDetail(u"서버의 응답을 읽을 수 없습니다."_s, detail);
    case ErrorKind::HttpError:
        return WithDetail(u"서버가 요청을 처리하지 못했습니다: HTTP "_s + QString::number(status),
                          detail)
               + u'.';
    }
    return QString();
}

Error Error::FromStatus(int status, const QString &detail)
{
    Error error;
    error.status = status;
    error.detail = detail;
    if (status >= 200 && status <= 299)
        error.kind = ErrorKind::None;
    else if (status == 401)
        error.kind = ErrorKind::WrongPassword;
    else if (status == 404 || status == 405 || status == 501)
        error.kind = ErrorKind::NoCardDav;
    else if (status == 412)
        error.kind = ErrorKind::PreconditionFailed;
    else if (status == 413 || status == 415)
        error.kind = ErrorKind::CardRejected;
    else
        error.kind = ErrorKind::HttpError;
    return error;
}

} // namespace CardDav
