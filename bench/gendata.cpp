// Writes a deterministic data directory of Korean phone-book records for the benchmarks.
//
//   vandrel-gendata <dir> [records=100000] [folders=1000] [seed=1]
//   vandrel-gendata --flat <dir> [records=10000] [seed=1]
//
// A finished directory carries a marker file; running again with the same parameters returns
// at once, other parameters regenerate it. A non-empty directory without the marker is refused
// so that nobody's real records are ever overwritten.

#include "platform/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Bump whenever the output for given parameters changes, so old directories get rebuilt.
constexpr int GeneratorVersion = 2;
const QString MarkerName = QStringLiteral(".vandrel-gendata");

// splitmix64: the same stream on every platform and standard library.
class Rng
{
public:
    explicit Rng(quint64 seed)
        : m_state(seed)
    {}
    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return n <= 0 ? 0 : int(next() % quint64(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool chance(double p) { return double(next() >> 11) * (1.0 / 9007199254740992.0) < p; }
    template<typename T>
    const T &pick(const std::vector<T> &v)
    {
        return v[size_t(below(int(v.size())))];
    }

private:
    quint64 m_state;
};

struct Word
{
    QString ko;
    QString ro; // romanized, for mail addresses and URLs
};

// "한빛:hanbit 대성:daesung ..." or plain "a b c".
std::vector<Word> words(const char *list)
{
    std::vector<Word> out;
    for (const QString &item : QString::fromUtf8(list).split(u' ', Qt::SkipEmptyParts)) {
        const qsizetype colon = item.indexOf(u':');
        if (colon < 0)
            out.push_back({item, QString()});
        else
            out.push_back({item.left(colon), item.mid(colon + 1)});
    }
    return out;
}

QString digits(Rng &rng, int n)
{
    QString s;
    s.reserve(n);
    for (int i = 0; i < n; ++i)
        s += QChar(u'0' + rng.below(10));
    return s;
}

// Word pools. Only the departments and a few memo lines hold "영업", the default benchmark
// query, so that it hits a minority of the records.
struct Pools
{
    // Repeated entries weight the common surnames the way they are spread in Korea.
    std::vector<Word> surnames = words(
        "김:kim 김:kim 김:kim 김:kim 김:kim 김:kim 김:kim 김:kim 이:lee 이:lee 이:lee 이:lee "
        "이:lee 이:lee 박:park 박:park 박:park 최:choi 최:choi 정:jung 정:jung 강:kang "
        "조:cho 윤:yoon 장:jang 임:lim 한:han 오:oh 서:seo 신:shin 권:kwon 황:hwang 안:ahn "
        "송:song 류:ryu 전:jeon 홍:hong 고:ko 문:moon 양:yang 손:son 배:bae 백:baek 허:heo "
        "유:yoo 남:nam 심:sim 노:noh 하:ha 곽:kwak 성:sung 차:cha 주:joo 우:woo 구:koo 민:min");
    std::vector<Word> given =
        words("민:min 서:seo 지:ji 현:hyun 준:jun 우:woo 영:young 수:soo 호:ho 진:jin 은:eun "
              "혜:hye 성:sung 재:jae 훈:hoon 희:hee 연:yeon 경:kyung 태:tae 정:jung 동:dong "
              "상:sang 원:won 승:seung 주:joo 윤:yoon 하:ha 도:do 예:ye 유:yu 나:na 다:da 소:so "
              "미:mi 선:sun 용:yong 석:seok 철:chul 기:ki 남:nam 광:kwang 순:soon 숙:sook 옥:ok "
              "규:kyu 빈:bin 아:a 채:chae 건:geon 혁:hyuk");
    std::vector<Word> companyHead =
        words("한빛:hanbit 대성:daesung 삼화:samhwa 동양:dongyang 세진:sejin 우리:woori "
              "태평양:taepyung 미래:mirae 신성:shinsung 금강:keumkang 대한:daehan 동아:donga "
              "성원:sungwon 한길:hangil 청솔:chungsol 푸른:pureun 새한:saehan 일신:ilshin "
              "영진:youngjin 고려:koryo 삼양:samyang 효성:hyosung 대림:daelim 진흥:jinheung "
              "한양:hanyang 경인:kyungin 유성:yusung 두리:duri 나래:narae 가온:gaon 다온:daon "
              "한결:hangyeol 보람:boram 새롬:saerom 누리:nuri 해솔:haesol 온누리:onnuri");
    std::vector<Word> companyTail =
        words("상사:trading 전자:elec 산업:ind 건설:const 물산:corp 무역:trade 기계:mach "
              "정밀:precision 화학:chem 제약:pharm 식품:food 통상:tongsang 개발:dev "
              "엔지니어링:eng 테크:tech 시스템:sys 유통:dist 물류:logis 인쇄:print 디자인:design");
    std::vector<Word> departments =
        words("영업부 영업1팀 영업2팀 해외영업팀 총무부 인사팀 경리부 기획실 개발팀 생산관리부 "
              "품질관리팀 구매팀 마케팅팀 전산실 연구소 설계팀 재무팀 고객지원팀 물류팀 법무팀");
    std::vector<Word> positions = words("사원 사원 주임 대리 대리 과장 과장 차장 부장 이사 상무 "
                                        "전무 대표이사 실장 팀장 연구원 선임연구원 책임연구원");
    std::vector<Word> banks =
        words("국민은행 신한은행 우리은행 하나은행 농협 기업은행 새마을금고 우체국");
    std::vector<Word> regions = words(
        "서울특별시_강남구 서울특별시_종로구 서울특별시_마포구 서울특별시_영등포구 "
        "서울특별시_송파구 부산광역시_해운대구 부산광역시_부산진구 대구광역시_수성구 "
        "인천광역시_남동구 광주광역시_서구 대전광역시_유성구 울산광역시_남구 "
        "경기도_성남시_분당구 경기도_수원시_영통구 경기도_고양시_일산동구 경기도_안양시_동안구 "
        "강원도_춘천시 충청북도_청주시_흥덕구 전라북도_전주시_완산구 경상남도_창원시_의창구 "
        "경상북도_포항시_남구 제주특별자치도_제주시");
    std::vector<Word> roads = words("테헤란로 세종대로 중앙로 번영로 대학로 산업로 해운대로 "
                                    "월드컵로 판교역로 경수대로 시청로 공단로 역삼로 도산대로");
    std::vector<Word> buildings = words("한빛빌딩 대성타워 미래센터 우리빌딩 동아빌딩 "
                                        "성원오피스텔 신성프라자 금강빌딩 세진타워");
    std::vector<Word> groups =
        words("거래처 가족 친구 동창회 협력업체 고객 관공서 병원 학교 동호회 교회 이웃 "
              "군대동기 대학동기 고등학교 회사동료 산악회 골프모임 납품처 세무사무소");
    std::vector<Word> branches = words("본사 서울지사 부산지점 대구지점 광주지점 대전지점 "
                                       "인천공장 수원공장 연구소 물류센터 해외사업부 총무부");
    std::vector<Word> areaCodes = words("02 02 02 031 031 032 051 053 042 062 052 033 041 043 "
                                        "061 063 054 055 064");
    std::vector<Word> mailHosts = words("naver.com naver.com gmail.com daum.net hanmail.net "
                                        "nate.com kakao.com");
    // %1 and %2 become numbers, %3 a name.
    std::vector<Word> memos =
        words("%1년_%2월_거래_시작 점심_약속_%2월_%1일 명절_선물_발송 생일은_%2월_%1일 "
              "%3_님_소개로_알게_됨 견적서_발송_완료 골프_모임_회원 자녀_둘,_대학생 "
              "담당_영업사원_변경됨 계약_갱신_예정(%2월) 연락은_오전이_좋음 이메일보다_전화_선호 "
              "주차_가능,_건물_뒤편 세금계산서_매월_말_발행 %1년_송년회_참석 "
              "사무실_이전_예정 결제는_매월_%1일 퇴사함,_후임은_%3 휴대폰_번호_바뀜 "
              "전시회에서_명함_교환 택배는_경비실에 커피_좋아함 등산_동호회 "
              "거래_중단(%1년) 재계약_완료 지방_출장_잦음 영업_회의_매주_월요일");
};

struct Person
{
    QString name;
    QString romanSurname;
    QString romanGiven;
};

Person makePerson(Rng &rng, const Pools &p)
{
    const Word &s = rng.pick(p.surnames);
    const Word &g1 = rng.pick(p.given);
    const Word &g2 = rng.pick(p.given);
    // One in twenty has a one-syllable given name.
    if (rng.chance(0.05))
        return {s.ko + g1.ko, s.ro, g1.ro};
    return {s.ko + g1.ko + g2.ko, s.ro, g1.ro + g2.ro};
}

struct Company
{
    QString name;
    QString domain;
};

Company makeCompany(Rng &rng, const Pools &p)
{
    const Word &h = rng.pick(p.companyHead);
    const Word &t = rng.pick(p.companyTail);
    QString name = h.ko + t.ko;
    if (rng.chance(0.3))
        name = QStringLiteral("(주)") + name;
    const QString domain =
        h.ro + t.ro + (rng.chance(0.6) ? QStringLiteral(".co.kr") : QStringLiteral(".com"));
    return {name, domain};
}

QString phoneTail(Rng &rng)
{
    return QString::number(rng.between(200, 999)) + u'-' + digits(rng, 4);
}

QString address(Rng &rng, const Pools &p)
{
    QString line = rng.pick(p.regions).ko;
    line.replace(u'_', u' ');
    return line + u' ' + rng.pick(p.roads).ko + u' ' + QString::number(rng.between(1, 999));
}

QString addressDetail(Rng &rng, const Pools &p)
{
    if (rng.chance(0.5))
        return rng.pick(p.buildings).ko + u' ' + QString::number(rng.between(1, 25)) + u'층';
    return QString::number(rng.between(101, 120)) + u'동' + u' '
           + QString::number(rng.between(101, 2501)) + u'호';
}

QString memoLine(Rng &rng, const Pools &p)
{
    QString line = rng.pick(p.memos).ko;
    line.replace(u'_', u' ');
    line.replace(QStringLiteral("%1"), QString::number(rng.between(1, 28) + 2000));
    line.replace(QStringLiteral("%2"), QString::number(rng.between(1, 12)));
    line.replace(QStringLiteral("%3"), makePerson(rng, p).name);
    return line;
}

void addLines(QString &out, const QString &section, const QStringList &lines)
{
    if (lines.isEmpty())
        return;
    out += u'[' + section + QStringLiteral("]\r\nmany=") + QString::number(lines.size())
           + QStringLiteral("\r\n");
    for (qsizetype i = 0; i < lines.size(); ++i)
        out += QString::number(i + 1) + u'=' + lines.at(i) + QStringLiteral("\r\n");
}

void addKey(QString &out, const char *key, const QString &value)
{
    if (!value.isEmpty())
        out += QLatin1String(key) + u'=' + value + QStringLiteral("\r\n");
}

struct RecordText
{
    QString text;
    bool utf8 = false; // holds a character code page 949 lacks
};

// One person's record, keys in the order the record view saves them.
// employer: the company of the folder the record sits in, if any; most people there work for it.
RecordText makeRecord(Rng &rng, const Pools &p, const Person &who, bool withEmoji,
                      const Company &employer)
{
    const bool employed = rng.chance(0.7);
    Company company;
    if (employed)
        company = !employer.name.isEmpty() && rng.chance(0.8) ? employer : makeCompany(rng, p);
    const bool office = employed && rng.chance(0.85);
    const bool home = rng.chance(0.25);
    const QString area = rng.pick(p.areaCodes).ko;

    QString t;
    t.reserve(600);
    t += QStringLiteral("[data]\r\n");
    if (rng.chance(0.85))
        addKey(t, "Hand", QStringLiteral("010-") + digits(rng, 4) + u'-' + digits(rng, 4));
    if (rng.chance(0.03))
        addKey(t, "MUrl", QStringLiteral("blog.naver.com/") + who.romanSurname + who.romanGiven);
    if (rng.chance(0.45)) {
        const QString host =
            employed && rng.chance(0.6) ? company.domain : rng.pick(p.mailHosts).ko;
        addKey(t, "EMail",
               who.romanGiven + u'.' + who.romanSurname + QString::number(rng.below(100)) + u'@'
                   + host);
    }
    if (rng.chance(0.08)) {
        addKey(t, "BNK1", rng.pick(p.banks).ko);
        addKey(t, "BNM1", who.name);
        addKey(t, "BCT1",
               digits(rng, 3) + u'-' + digits(rng, 6) + u'-' + digits(rng, 2) + u'-'
                   + digits(rng, 3));
    }
    if (employed) {
        addKey(t, "ONme", company.name);
        if (office) {
            addKey(t, "ODDD", area);
            addKey(t, "OPh1", phoneTail(rng));
            if (rng.chance(0.15))
                addKey(t, "OPh2", phoneTail(rng));
            if (rng.chance(0.35))
                addKey(t, "OFax", phoneTail(rng));
            if (rng.chance(0.2))
                addKey(t, "ODir", phoneTail(rng));
            if (rng.chance(0.2))
                addKey(t, "OInt", QString::number(rng.between(100, 899)));
        }
        if (rng.chance(0.6))
            addKey(t, "OPst", rng.pick(p.departments).ko);
        if (rng.chance(0.65))
            addKey(t, "OCls", rng.pick(p.positions).ko);
    }
    if (rng.chance(0.03)) {
        addKey(t, "BNK3", rng.pick(p.banks).ko);
        addKey(t, "BNM3", company.name.isEmpty() ? who.name : company.name);
        addKey(t, "BCT3", digits(rng, 3) + u'-' + digits(rng, 2) + u'-' + digits(rng, 6));
    }
    const bool officeAddress = employed && rng.chance(0.45);
    if (officeAddress)
        addKey(t, "OZip", digits(rng, 5));
    if (employed && rng.chance(0.25))
        addKey(t, "OUrl", QStringLiteral("www.") + company.domain);
    if (home) {
        addKey(t, "HZip", digits(rng, 5));
        addKey(t, "HDDD", area);
        addKey(t, "HPh1", phoneTail(rng));
    }

    QStringList memo;
    // 0 to 5 lines, most records have none or one.
    static const int weights[] = {40, 25, 15, 10, 6, 4};
    int roll = rng.below(100);
    int lines = 0;
    while (lines < 5 && roll >= weights[lines])
        roll -= weights[lines++];
    for (int i = 0; i < lines; ++i)
        memo << memoLine(rng, p);
    if (withEmoji)
        memo << QStringLiteral("좋은 분 ") + QString::fromUtf8("\xF0\x9F\x98\x80")
                    + (rng.chance(0.5) ? QStringLiteral(" 영업 담당") : QString());
    addLines(t, QStringLiteral("Memo"), memo);
    if (officeAddress) {
        QStringList a{address(rng, p)};
        if (rng.chance(0.5))
            a << addressDetail(rng, p);
        addLines(t, QStringLiteral("OAdd"), a);
    }
    if (home && rng.chance(0.8)) {
        QStringList a{address(rng, p)};
        if (rng.chance(0.6))
            a << addressDetail(rng, p);
        addLines(t, QStringLiteral("HAdd"), a);
    }
    return {t, withEmoji};
}

// A folder's own record: the company or group it stands for.
RecordText makeFolderRecord(Rng &rng, const Pools &p, const Company &company)
{
    QString t = QStringLiteral("[data]\r\n");
    const Company c = company.name.isEmpty() ? makeCompany(rng, p) : company;
    addKey(t, "ONme", c.name);
    addKey(t, "ODDD", rng.pick(p.areaCodes).ko);
    addKey(t, "OPh1", phoneTail(rng));
    if (rng.chance(0.5))
        addKey(t, "OFax", phoneTail(rng));
    addKey(t, "OZip", digits(rng, 5));
    addKey(t, "OUrl", QStringLiteral("www.") + c.domain);
    QStringList memo;
    for (int i = rng.below(3); i > 0; --i)
        memo << memoLine(rng, p);
    addLines(t, QStringLiteral("Memo"), memo);
    addLines(t, QStringLiteral("OAdd"), {address(rng, p), addressDetail(rng, p)});
    return {t, false};
}

class Writer
{
public:
    bool ok = true;
    qint64 files = 0;
    qint64 bytes = 0;

    void write(const QString &path, const QByteArray &data)
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size()) {
            if (ok)
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ok = false;
            return;
        }
        ++files;
        bytes += data.size();
    }
    void writeRecord(const QString &path, const RecordText &r)
    {
        write(path, TextCodec::encode(r.text, r.utf8 ? TextCodec::Encoding::Utf8
                                                     : TextCodec::Encoding::Cp949));
    }
    void makeDir(const QString &path)
    {
        if (!QDir().mkpath(path)) {
            if (ok)
                std::fprintf(stderr, "cannot create %s\n", qPrintable(path));
            ok = false;
        }
    }
};

QByteArray randomBytes(Rng &rng, QByteArray head, int size)
{
    head.reserve(size);
    while (head.size() < size) {
        const quint64 v = rng.next();
        head.append(reinterpret_cast<const char *>(&v), 8);
    }
    head.truncate(size);
    return head;
}

// A record name not yet used in the folder; namesakes get their company or a number added.
QString uniqueName(QSet<QString> &used, const QString &name, const QString &extra)
{
    QString candidate = name;
    if (used.contains(candidate) && !extra.isEmpty())
        candidate = name + u'(' + extra + u')';
    for (int n = 2; used.contains(candidate); ++n)
        candidate = name + QString::number(n);
    used.insert(candidate);
    return candidate;
}

QString companyOf(const QString &recordText)
{
    const qsizetype at = recordText.indexOf(QStringLiteral("\r\nONme="));
    if (at < 0)
        return {};
    const qsizetype from = at + 7;
    return recordText.mid(from, recordText.indexOf(u'\r', from) - from);
}

struct Params
{
    bool flat = false;
    QString dir;
    int records = 0;
    int folders = 0;
    quint64 seed = 1;

    QString markerText(bool complete) const
    {
        return QStringLiteral("vandrel-gendata %1 %2 records=%3 folders=%4 seed=%5 %6\n")
            .arg(GeneratorVersion)
            .arg(flat ? QStringLiteral("flat") : QStringLiteral("tree"))
            .arg(records)
            .arg(folders)
            .arg(seed)
            .arg(complete ? QStringLiteral("complete") : QStringLiteral("incomplete"));
    }
};

// The companion folder of a record: pictures, documents, now and then a text note.
void writeCompanion(Writer &w, Rng &rng, const Pools &p, const QString &folder,
                    const QString &record)
{
    const QString dir = folder + QStringLiteral("/__") + record;
    w.makeDir(dir);
    const int n = rng.between(1, 3);
    for (int i = 0; i < n; ++i) {
        switch (rng.below(3)) {
        case 0:
            w.write(dir + QStringLiteral("/사진%1.jpg").arg(i + 1),
                    randomBytes(rng, QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11),
                                rng.between(2000, 30000)));
            break;
        case 1:
            w.write(dir + QStringLiteral("/계약서%1.doc").arg(i + 1),
                    randomBytes(rng, QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8),
                                rng.between(5000, 40000)));
            break;
        default:
            w.write(dir + QStringLiteral("/명함%1.png").arg(i + 1),
                    randomBytes(rng, QByteArray("\x89PNG\r\n\x1A\n", 8), rng.between(1000, 8000)));
            break;
        }
    }
    if (rng.chance(0.2)) {
        QString note;
        QStringList lines;
        for (int i = rng.between(1, 4); i > 0; --i)
            lines << memoLine(rng, p);
        addLines(note, QStringLiteral("Memo"), lines);
        w.writeRecord(dir + QStringLiteral("/메모.txt"), {note, false});
    }
}

struct FolderNode
{
    QString path;
    int depth = 0;
    QSet<QString> childNames;
    int records = 0;
    Company company; // the folder's own or its nearest ancestor's
};

int generateTree(const Params &prm, Writer &w)
{
    Rng rng(prm.seed);
    const Pools p;
    std::vector<FolderNode> folders;
    folders.push_back({prm.dir, 0, {}, 0, {}});

    // Folders: a dozen groups at the top, then companies and branches up to three deep.
    for (int i = 0; i < prm.folders; ++i) {
        int parent = 0;
        if (i >= 12 && !rng.chance(0.3)) {
            do {
                parent = rng.below(int(folders.size()));
            } while (folders[size_t(parent)].depth >= 3);
        }
        FolderNode &up = folders[size_t(parent)];
        Company company = up.company;
        QString name;
        if ((up.depth == 0 && rng.chance(0.6)) || (up.depth == 1 && rng.chance(0.6))) {
            company = makeCompany(rng, p);
            name = company.name;
        } else {
            name = rng.pick(up.depth == 0 ? p.groups : p.branches).ko;
        }
        name = uniqueName(up.childNames, name, QString());
        const QString path = up.path + u'/' + name;
        const int depth = up.depth + 1;
        folders.push_back({path, depth, {}, 0, company});
    }

    // Records: most folders get a few, one in twenty is a big one.
    std::vector<int> big;
    for (int i = 0; i < int(folders.size()); ++i)
        if (i == 0 || rng.chance(0.05))
            big.push_back(i);
    for (int r = 0; r < prm.records; ++r) {
        const int f = rng.chance(0.4) ? rng.pick(big) : rng.below(int(folders.size()));
        ++folders[size_t(f)].records;
    }

    int written = 0;
    for (size_t f = 0; f < folders.size(); ++f) {
        FolderNode &node = folders[f];
        w.makeDir(node.path);
        if (f > 0 && rng.chance(0.3))
            w.writeRecord(node.path + u'/' + QStringLiteral("__g_t.zu"),
                          makeFolderRecord(rng, p, node.company));
        if (rng.chance(0.04)) {
            w.write(node.path + QStringLiteral("/명단.xls"),
                    randomBytes(rng, QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8),
                                rng.between(8000, 60000)));
        }
        if (rng.chance(0.03))
            w.write(node.path + QStringLiteral("/약도.png"),
                    randomBytes(rng, QByteArray("\x89PNG\r\n\x1A\n", 8), rng.between(3000, 20000)));
        for (int k = 0; k < node.records; ++k) {
            const Person who = makePerson(rng, p);
            const RecordText rec = makeRecord(rng, p, who, rng.chance(0.001), node.company);
            const QString name = uniqueName(node.childNames, who.name, companyOf(rec.text));
            w.writeRecord(node.path + u'/' + name + QStringLiteral(".txt"), rec);
            if (rng.chance(0.02))
                writeCompanion(w, rng, p, node.path, name);
            if (++written % 20000 == 0)
                std::fprintf(stderr, "  %d records\n", written);
        }
        if (!w.ok)
            return 1;
    }
    return 0;
}

int generateFlat(const Params &prm, Writer &w)
{
    Rng rng(prm.seed);
    const Pools p;
    QSet<QString> used;
    for (int r = 0; r < prm.records; ++r) {
        const Person who = makePerson(rng, p);
        const RecordText rec = makeRecord(rng, p, who, rng.chance(0.001), Company{});
        const QString name = uniqueName(used, who.name, companyOf(rec.text));
        w.writeRecord(prm.dir + u'/' + name + QStringLiteral(".txt"), rec);
        if (!w.ok)
            return 1;
    }
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: vandrel-gendata <dir> [records=100000] [folders=1000] [seed=1]\n"
                         "       vandrel-gendata --flat <dir> [records=10000] [seed=1]\n");
    return 2;
}

bool number(const char *text, qint64 &out)
{
    char *end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (!end || *end || v < 0)
        return false;
    out = v;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    Params prm;
    int a = 1;
    if (a < argc && QByteArray(argv[a]) == "--flat") {
        prm.flat = true;
        ++a;
    }
    if (a >= argc)
        return usage();
    prm.dir = QDir::cleanPath(QDir(QFile::decodeName(argv[a++])).absolutePath());
    qint64 v = 0;
    prm.records = prm.flat ? 10000 : 100000;
    prm.folders = prm.flat ? 0 : 1000;
    if (a < argc) {
        if (!number(argv[a++], v) || v > 10000000)
            return usage();
        prm.records = int(v);
    }
    if (!prm.flat && a < argc) {
        if (!number(argv[a++], v) || v > 1000000)
            return usage();
        prm.folders = int(v);
    }
    if (a < argc) {
        if (!number(argv[a++], v))
            return usage();
        prm.seed = quint64(v);
    }
    if (a < argc)
        return usage();

    const QString marker = prm.dir + u'/' + MarkerName;
    QDir dir(prm.dir);
    if (dir.exists()) {
        QFile m(marker);
        if (m.open(QIODevice::ReadOnly)) {
            if (QString::fromUtf8(m.readAll()) == prm.markerText(true)) {
                std::printf("%s: already generated\n", qPrintable(prm.dir));
                return 0;
            }
            m.close();
            // Ours, from other parameters or an interrupted run: start over.
            std::printf("%s: regenerating\n", qPrintable(prm.dir));
            if (!dir.removeRecursively()) {
                std::fprintf(stderr, "cannot remove %s\n", qPrintable(prm.dir));
                return 1;
            }
        } else if (!dir.isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System
                                | QDir::NoDotAndDotDot)) {
            std::fprintf(stderr, "%s is not empty and was not made by vandrel-gendata\n",
                         qPrintable(prm.dir));
            return 1;
        }
    }

    Writer w;
    w.makeDir(prm.dir);
    w.write(marker, prm.markerText(false).toUtf8());
    if (!w.ok)
        return 1;
    const int rc = prm.flat ? generateFlat(prm, w) : generateTree(prm, w);
    if (rc != 0 || !w.ok)
        return rc ? rc : 1;
    w.write(marker, prm.markerText(true).toUtf8());
    if (!w.ok)
        return 1;
    std::printf("%s: %lld files, %.1f MB\n", qPrintable(prm.dir), qint64(w.files - 2),
                double(w.bytes) / 1e6);
    return 0;
}
