#include "ContactCard.h"

#include "PhoneFun.h"

#include <QSet>
#include <QUuid>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

using VCard::Escape;
using VCard::Property;

const QString VandrelPrefix = QStringLiteral("X-VANDREL-");
const QString FolderProperty = QStringLiteral("X-VANDREL-FOLDER");
const QString KindProperty = QStringLiteral("X-VANDREL-KIND");
const QString FileParam = QStringLiteral("X-VANDREL-FILE");
const QString LabelProperty = QStringLiteral("X-ABLABEL");
const QString FolderKind = QStringLiteral("folder");
const QString EmptyFolderKind = QStringLiteral("empty-folder");

// The company and the home block share the way their numbers and area code are kept.
struct Block
{
    const char16_t *ddd;
    const char16_t *phone1;
    const char16_t *phone2;
    const char16_t *fax; // nullptr: the home block has none
    const char16_t *zip;
    const char16_t *address;
    const char16_t *type;
    const char16_t *heading;
};
const Block Work{u"ODDD", u"OPh1", u"OPh2", u"OFax", u"OZip", u"OAdd", u"WORK", u"회사"};
const Block Home{u"HDDD", u"HPh1", u"HPh2", nullptr, u"HZip", u"HAdd", u"HOME", u"집"};

// The bank account fields, which travel as properties only this program reads.
bool isBankField(const RecordField &field)
{
    using K = RecordField::Kind;
    return field.kind == K::BankName || field.kind == K::Holder || field.kind == K::Account;
}

QString S(const char16_t *s)
{
    return QString::fromUtf16(s);
}

QString digitsOf(QStringView s)
{
    QString out;
    for (QChar c : s)
        if (c.isDigit())
            out += c;
    return out;
}

// The codes a number can start with; 070 and 050x are not places, so they are none.
bool isAreaCode(QStringView digits)
{
    static const QSet<QString> codes = {u"02"_s,  u"031"_s, u"032"_s, u"033"_s, u"041"_s, u"042"_s,
                                        u"043"_s, u"044"_s, u"051"_s, u"052"_s, u"053"_s, u"054"_s,
                                        u"055"_s, u"061"_s, u"062"_s, u"063"_s, u"064"_s};
    return codes.contains(digits.toString());
}

bool isSeparator(QChar c)
{
    return c == u'-' || c == u' ' || c == u'.' || c == u')';
}

// 010 and the older 011, 016 to 019.
bool isMobile(const QString &number)
{
    const QString d = digitsOf(number);
    static const QStringList prefixes = {u"010"_s, u"011"_s, u"016"_s,
                                         u"017"_s, u"018"_s, u"019"_s};
    return d.size() >= 10 && number.trimmed().startsWith(u'0')
           && std::any_of(prefixes.begin(), prefixes.end(),
                          [&](const QString &p) { return d.startsWith(p); });
}

// 1588-1234: one number for the whole country.
bool isNationwide(const QString &number)
{
    const QString d = digitsOf(number);
    return d.size() == 8 && number.trimmed().startsWith(u'1')
           && (d.startsWith(u"15") || d.startsWith(u"16") || d.startsWith(u"18"));
}

// A number that is whole without an area code in front: the export never puts one there.
bool isWhole(const QString &number)
{
    const QString t = number.trimmed();
    return t.startsWith(u'0') || t.startsWith(u'+') || t.startsWith(u"(0") || isNationwide(t);
}

// Korean digits with the dashes where Koreans write them.
QString withDashes(const QString &d)
{
    if (d.startsWith(u"02") && (d.size() == 9 || d.size() == 10))
        return d.left(2) + u'-' + d.mid(2, d.size() - 6) + u'-' + d.right(4);
    if (d.startsWith(u"050") && (d.size() == 11 || d.size() == 12))
        return d.left(4) + u'-' + d.mid(4, d.size() - 8) + u'-' + d.right(4);
    if (d.startsWith(u'0') && (d.size() == 10 || d.size() == 11))
        return d.left(3) + u'-' + d.mid(3, d.size() - 7) + u'-' + d.right(4);
    if (d.size() == 8 && d.startsWith(u'1'))
        return d.left(4) + u'-' + d.right(4);
    return d;
}

// "+82 10-1234-5678", "+821012345678" and "+82 (0)2 555 0100" as a Korean writes them at
// home; every other number as it was written.
QString nationalNumber(const QString &number)
{
    const QString s = number.trimmed();
    if (!s.startsWith(u"+82"))
        return number;
    QString rest = s.mid(3);
    QStringList groups;
    QString group;
    for (QChar c : rest) {
        if (c.isDigit()) {
            group += c;
        } else if (isSeparator(c) || c == u'(') {
            if (!group.isEmpty())
                groups << std::exchange(group, {});
        } else {
            return number; // an extension or a letter: not ours to rewrite
        }
    }
    if (!group.isEmpty())
        groups << group;
    if (groups.isEmpty())
        return number;
    // "(0)" and a written trunk zero stand for the 0 that goes in front anyway.
    if (groups.first() == u"0" && groups.size() > 1)
        groups.removeFirst();
    else if (groups.first().startsWith(u'0'))
        groups.first().remove(0, 1);
    if (groups.size() == 1) {
        const QString d = groups.first();
        return withDashes(d.size() == 8 && d.startsWith(u'1') ? d : u'0' + d);
    }
    if (!(groups.first().startsWith(u'1') && groups.size() == 2 && isNationwide(groups.join(u'-'))))
        groups.first().prepend(u'0');
    return groups.join(u'-');
}

// A number with the block's area code in front, as peers show it; a number that is whole
// without one stays as it is.
QString composed(const QString &ddd, const QString &number)
{
    return ddd.isEmpty() || isWhole(number) ? number : ddd + u'-' + number;
}

// The number without the block's area code when it starts with it.
QString withoutAreaCode(const QString &number, const QString &ddd)
{
    if (ddd.isEmpty())
        return number;
    if (number.startsWith(ddd + u'-'))
        return number.mid(ddd.size() + 1);
    const AreaSplit split = SplitAreaCode(number);
    return split.code == ddd ? split.rest : number;
}

QString typeParams(const QStringList &types)
{
    return types.isEmpty() ? QString() : QStringLiteral(";TYPE=") + types.join(u',');
}

// A value of a card and the caption its line in the notes gets when no field takes it.
struct Item
{
    QString value;
    QString label;
};

// The numbers one block is offered: those a label names a field for (slot 0 and 1 the two
// telephone fields, 2 the fax), then its voice numbers and its faxes in the card's order.
struct BlockInput
{
    QList<std::pair<int, Item>> labelled;
    QList<Item> voice, faxes;
    bool hasFax = true;
};

struct BlockResult
{
    QString ddd;
    std::array<QString, 3> kept;
    QList<Item> notes; // what no field took
};

// The block's area code is the one most of its numbers came with. An area code belongs to
// the number it came with: a number with another code or none cannot share it and goes to the
// notes, so no number is ever made up from a code and a number that did not belong together.
BlockResult resolveBlock(const BlockInput &in)
{
    BlockResult out;
    // What would go into the fields, to choose the code by.
    QStringList placed;
    int freeVoice = 2, freeFax = in.hasFax ? 1 : 0;
    for (const auto &[slot, tel] : in.labelled) {
        placed << tel.value;
        (slot == 2 ? freeFax : freeVoice) -= 1;
    }
    for (const Item &t : in.voice.mid(0, qMax(0, freeVoice)))
        placed << t.value;
    for (const Item &t : in.faxes.mid(0, qMax(0, freeFax)))
        placed << t.value;
    QList<std::pair<QString, int>> counts;
    for (const QString &n : std::as_const(placed)) {
        const QString code = SplitAreaCode(n).code;
        if (code.isEmpty())
            continue;
        auto it = std::find_if(counts.begin(), counts.end(),
                               [&](const auto &c) { return c.first == code; });
        if (it == counts.end())
            counts.append({code, 1});
        else
            ++it->second;
    }
    int best = 0;
    for (const auto &[code, n] : std::as_const(counts))
        if (n > best) {
            best = n;
            out.ddd = code;
        }
    // The number as the field keeps it, or nothing when it cannot share the code.
    const auto fits = [&](const QString &number) -> std::optional<QString> {
        const AreaSplit split = SplitAreaCode(number);
        if (split.code != out.ddd)
            return std::nullopt;
        return split.rest;
    };
    for (const auto &[slot, tel] : in.labelled) {
        if (const auto value = fits(tel.value); value && out.kept[size_t(slot)].isEmpty())
            out.kept[size_t(slot)] = *value;
        else
            out.notes << tel;
    }
    for (const Item &t : in.voice) {
        const auto value = fits(t.value);
        const int slot = out.kept[0].isEmpty() ? 0 : out.kept[1].isEmpty() ? 1 : -1;
        if (value && slot >= 0)
            out.kept[size_t(slot)] = *value;
        else
            out.notes << t;
    }
    for (const Item &t : in.faxes) {
        const auto value = fits(t.value);
        if (value && in.hasFax && out.kept[2].isEmpty())
            out.kept[2] = *value;
        else
            out.notes << t;
    }
    return out;
}

// What a Korean writes a place with: the provinces and metropolitan cities, in full and short.
bool isRegion(const QString &word)
{
    static const QSet<QString> regions = {
        u"서울특별시"_s, u"부산광역시"_s, u"대구광역시"_s,     u"인천광역시"_s,
        u"광주광역시"_s, u"대전광역시"_s, u"울산광역시"_s,     u"세종특별자치시"_s,
        u"경기도"_s,     u"강원도"_s,     u"강원특별자치도"_s, u"충청북도"_s,
        u"충청남도"_s,   u"전라북도"_s,   u"전북특별자치도"_s, u"전라남도"_s,
        u"경상북도"_s,   u"경상남도"_s,   u"제주도"_s,         u"제주특별자치도"_s,
        u"서울"_s,       u"부산"_s,       u"대구"_s,           u"인천"_s,
        u"광주"_s,       u"대전"_s,       u"울산"_s,           u"세종"_s,
        u"경기"_s,       u"강원"_s,       u"충북"_s,           u"충남"_s,
        u"전북"_s,       u"전남"_s,       u"경북"_s,           u"경남"_s,
        u"제주"_s};
    return regions.contains(word);
}

bool isHangul(QChar c)
{
    return c.script() == QChar::Script_Hangul;
}

bool hasHangul(const QString &s)
{
    return std::any_of(s.begin(), s.end(), isHangul);
}

// 강남구, 성남시, 양평군.
bool isLocality(const QString &word)
{
    return word.size() >= 2
           && (word.endsWith(u'시') || word.endsWith(u'군') || word.endsWith(u'구'))
           && std::all_of(word.begin(), word.end(), isHangul);
}

bool isKorea(const QString &country)
{
    static const QSet<QString> names = {u"대한민국"_s, u"한국"_s,        u"남한"_s,
                                        u"korea"_s,    u"south korea"_s, u"republic of korea"_s,
                                        u"kr"_s,       u"kor"_s,         u"korea, republic of"_s};
    return names.contains(country.trimmed().toLower());
}

// An address's lines as ADR components: the first line split into region, locality and street
// when it reads as a Korean address, the lines after it as the extended address. Anything else
// goes whole into the street, so it comes back as it was.
QStringList addressParts(const QStringList &lines, const QString &zip)
{
    const QString first = lines.value(0);
    const QStringList words = first.split(u' ');
    bool korean = !first.isEmpty() && !words.contains(QString());
    for (const QString &more : lines.mid(1))
        korean = korean && !more.isEmpty() && more == more.trimmed();
    if (korean) {
        qsizetype i = 0;
        QString region, locality;
        if (isRegion(words[0]))
            region = words[i++];
        QStringList localities;
        while (i < words.size() && localities.size() < 2 && isLocality(words[i]))
            localities << words[i++];
        locality = localities.join(u' ');
        if (!region.isEmpty() || !locality.isEmpty())
            return {{}, lines.mid(1).join(u'\n'), words.mid(i).join(u' '), locality, region, zip,
                    {}};
    }
    return {{}, {}, lines.join(u'\n'), {}, {}, zip, {}};
}

class CardWriter
{
public:
    CardWriter(VCard::Writer &w, const Contact &c)
        : m_w(w)
        , m_c(c)
    {}

    QString value(const char16_t *field) const { return m_c.record.Value(field); }

    void add(const QString &name, const QString &params, const QString &escaped)
    {
        m_w.add(name, params, escaped);
    }
    void text(const QString &name, const QString &params, const QString &text)
    {
        if (!text.isEmpty())
            add(name, params, Escape(text));
    }
    // A number under the caption of its field, for fields no TEL type names.
    void labelled(const char16_t *field, const QString &type, const QString &number)
    {
        const RecordField *f = FindRecordField(S(field));
        const QString group = QStringLiteral("item%1.").arg(++m_items);
        add(group + QStringLiteral("TEL"), typeParams({type}), Escape(number));
        add(group + LabelProperty, {}, Escape(FieldCaption(*f)));
    }

    void numbers(const Block &b)
    {
        const QString ddd = value(b.ddd);
        const QString ph1 = value(b.phone1), ph2 = value(b.phone2);
        const QString fax = b.fax ? value(b.fax) : QString();
        // What an importer would make of the lines below; where that is not the record, the
        // fields go along as they are.
        BlockInput in;
        in.hasFax = b.fax != nullptr;
        const auto tel = [&](const QString &n) { return Item{composed(ddd, n), {}}; };
        if (!ph1.isEmpty())
            in.voice << tel(ph1);
        if (!ph2.isEmpty() && !ph1.isEmpty())
            in.voice << tel(ph2);
        else if (!ph2.isEmpty())
            in.labelled.append({1, tel(ph2)});
        if (!fax.isEmpty())
            in.faxes << tel(fax);
        const BlockResult again = resolveBlock(in);
        const std::array<QString, 3> kept{ph1, ph2, fax};
        if (again.ddd != ddd || again.kept != kept || !again.notes.isEmpty()) {
            add(VandrelPrefix + S(b.ddd), {}, Escape(ddd));
            for (const char16_t *f : {b.phone1, b.phone2, b.fax})
                if (f)
                    text(VandrelPrefix + S(f), {}, value(f));
        }
        const QString type = S(b.type);
        if (!ph1.isEmpty())
            add(QStringLiteral("TEL"), typeParams({type, u"VOICE"_s}), Escape(composed(ddd, ph1)));
        if (!ph2.isEmpty() && !ph1.isEmpty())
            add(QStringLiteral("TEL"), typeParams({type, u"VOICE"_s}), Escape(composed(ddd, ph2)));
        else if (!ph2.isEmpty())
            labelled(b.phone2, type, composed(ddd, ph2));
        if (!fax.isEmpty())
            add(QStringLiteral("TEL"), typeParams({type, u"FAX"_s}), Escape(composed(ddd, fax)));
    }

    void address(const Block &b)
    {
        const QStringList lines = m_c.record.Lines(b.address);
        const QString zip = value(b.zip);
        if (lines.isEmpty() && zip.isEmpty())
            return;
        add(QStringLiteral("ADR"), typeParams({S(b.type)}),
            VCard::Structured(addressParts(lines, zip)));
    }

    void photo()
    {
        if (m_c.attachments.isEmpty())
            return;
        const Attachment &a = m_c.attachments.first();
        const QString ext = a.fileName.section(u'.', -1).toUpper();
        QString type = ext == u"JPG" ? u"JPEG"_s : ext;
        const QByteArray &b = a.bytes;
        if (b.startsWith("\xFF\xD8\xFF"))
            type = u"JPEG"_s;
        else if (b.startsWith("\x89PNG"))
            type = u"PNG"_s;
        else if (b.startsWith("GIF8"))
            type = u"GIF"_s;
        else if (b.startsWith("RIFF") && b.mid(8, 4) == "WEBP")
            type = u"WEBP"_s;
        else if (b.startsWith("BM"))
            type = u"BMP"_s;
        QString params = QStringLiteral(";ENCODING=b;TYPE=") + type;
        // The file's name, so that the picture comes back under it.
        if (!a.fileName.contains(u'"'))
            params += u';' + FileParam + QStringLiteral("=\"") + a.fileName + u'"';
        add(QStringLiteral("PHOTO"), params, QString::fromLatin1(a.bytes.toBase64()));
    }

    void write()
    {
        m_w.begin();
        add(QStringLiteral("PRODID"), {},
            QStringLiteral("-//Vandrel//Vandrel %1//KO")
                .arg(QStringLiteral(VANDREL_VERSION_STRING)));
        text(QStringLiteral("UID"), {}, m_c.record.Uid());
        add(QStringLiteral("FN"), {}, Escape(m_c.name));
        if (m_c.isFolder || m_c.emptyFolder) {
            add(QStringLiteral("N"), {}, QStringLiteral(";;;;"));
            add(QStringLiteral("X-ABSHOWAS"), {}, QStringLiteral("COMPANY"));
            add(KindProperty, {}, m_c.emptyFolder ? EmptyFolderKind : FolderKind);
        } else {
            add(QStringLiteral("N"), {}, VCard::Structured({m_c.name, {}, {}, {}, {}}));
        }
        const QString org = value(u"ONme"), unit = value(u"OPst");
        if (!org.isEmpty() || !unit.isEmpty())
            add(QStringLiteral("ORG"), {},
                unit.isEmpty() ? Escape(org) : VCard::Structured({org, unit}));
        text(QStringLiteral("TITLE"), {}, value(u"OCls"));
        text(QStringLiteral("TEL"), typeParams({u"CELL"_s}), value(u"Hand"));
        numbers(Work);
        if (!value(u"ODir").isEmpty())
            labelled(u"ODir", S(Work.type), value(u"ODir"));
        if (!value(u"OInt").isEmpty())
            labelled(u"OInt", S(Work.type), value(u"OInt"));
        numbers(Home);
        text(QStringLiteral("EMAIL"), typeParams({u"INTERNET"_s}), value(u"EMail"));
        text(QStringLiteral("URL"), {}, value(u"MUrl"));
        text(QStringLiteral("URL"), typeParams({u"WORK"_s}), value(u"OUrl"));
        address(Work);
        address(Home);
        const QStringList memo = m_c.record.Lines(u"Memo");
        if (!memo.isEmpty())
            add(QStringLiteral("NOTE"), {}, Escape(memo.join(u'\n')));
        for (const RecordField &f : RecordFields)
            if (isBankField(f))
                text(VandrelPrefix + f.Name(), {}, m_c.record.Value(f.Name()));
        photo();
        text(QStringLiteral("CATEGORIES"), {}, m_c.category);
        text(FolderProperty, {}, m_c.folder);
        m_w.end();
    }

private:
    VCard::Writer &m_w;
    const Contact &m_c;
    int m_items = 0;
};

// Names of properties whose values go into the notes.
QString labelOf(const Property &p)
{
    static const QMap<QString, QString> labels = {
        {u"BDAY"_s, u"생일"_s},
        {u"ANNIVERSARY"_s, u"기념일"_s},
        {u"NICKNAME"_s, u"별명"_s},
        {u"ROLE"_s, u"역할"_s},
        {u"CATEGORIES"_s, u"분류"_s},
        {u"IMPP"_s, u"메신저"_s},
        {u"GEO"_s, u"위치"_s},
        {u"TZ"_s, u"시간대"_s},
        {u"LABEL"_s, u"주소 표시"_s},
        {u"EMAIL"_s, u"E-Mail"_s},
        {u"URL"_s, u"URL"_s},
        {u"ORG"_s, u"소속"_s},
        {u"TITLE"_s, u"직위"_s},
        {u"GENDER"_s, u"성별"_s},
        {u"LANG"_s, u"언어"_s},
        {u"RELATED"_s, u"관계"_s},
        {u"FBURL"_s, u"일정 공유"_s},
        {u"CALURI"_s, u"일정"_s},
        {u"CALADRURI"_s, u"일정 요청"_s},
        {u"X-PHONETIC-FIRST-NAME"_s, u"이름 발음"_s},
        {u"X-PHONETIC-LAST-NAME"_s, u"성 발음"_s},
        {u"X-ABDATE"_s, u"날짜"_s},
        {u"X-ABRELATEDNAMES"_s, u"관계"_s},
        {u"X-SOCIALPROFILE"_s, u"SNS"_s},
        {u"X-MS-IMADDRESS"_s, u"메신저"_s},
        {u"X-MS-ANNIVERSARY"_s, u"기념일"_s},
        {u"X-MS-SPOUSE"_s, u"배우자"_s},
        {u"X-MS-MANAGER"_s, u"상사"_s},
        {u"X-MS-ASSISTANT"_s, u"비서"_s},
        {u"X-MS-CHILD"_s, u"자녀"_s},
        {u"X-EVOLUTION-SPOUSE"_s, u"배우자"_s},
        {u"X-EVOLUTION-MANAGER"_s, u"상사"_s},
        {u"X-EVOLUTION-ASSISTANT"_s, u"비서"_s},
        {u"X-EVOLUTION-ANNIVERSARY"_s, u"기념일"_s},
        {u"X-EVOLUTION-BLOG-URL"_s, u"블로그"_s},
        {u"X-EVOLUTION-VIDEO-URL"_s, u"화상 회의"_s},
        {u"X-ANNIVERSARY"_s, u"기념일"_s},
        {u"X-SPOUSE"_s, u"배우자"_s},
        {u"X-MANAGER"_s, u"상사"_s},
        {u"X-ASSISTANT"_s, u"비서"_s},
        {u"X-SKYPE"_s, u"Skype"_s},
        {u"X-SKYPE-USERNAME"_s, u"Skype"_s},
        {u"X-AIM"_s, u"AIM"_s},
        {u"X-ICQ"_s, u"ICQ"_s},
        {u"X-JABBER"_s, u"Jabber"_s},
        {u"X-MSN"_s, u"MSN"_s},
        {u"X-YAHOO"_s, u"Yahoo"_s},
        {u"X-GOOGLE-TALK"_s, u"Google Talk"_s},
        {u"X-GTALK"_s, u"Google Talk"_s},
        {u"X-QQ"_s, u"QQ"_s},
        {u"X-SIP"_s, u"SIP"_s},
        {u"X-TWITTER"_s, u"Twitter"_s},
    };
    return labels.value(p.name, p.name);
}

// Properties that say something about the card, not the person, or that a program keeps for
// itself: they never reach the notes.
bool isMetadata(const QString &name)
{
    static const QSet<QString> names = {u"VERSION"_s,
                                        u"PRODID"_s,
                                        u"UID"_s,
                                        u"REV"_s,
                                        u"KIND"_s,
                                        u"SOURCE"_s,
                                        u"NAME"_s,
                                        u"PROFILE"_s,
                                        u"CLASS"_s,
                                        u"X-ABSHOWAS"_s,
                                        u"X-ABUID"_s,
                                        u"X-ABADR"_s,
                                        u"AGENT"_s,
                                        u"FN"_s,
                                        u"N"_s,
                                        u"SORT-STRING"_s,
                                        u"CLIENTPIDMAP"_s,
                                        u"MAILER"_s,
                                        u"X-MS-OL-DESIGN"_s,
                                        u"X-MS-OL-DEFAULT-POSTAL-ADDRESS"_s,
                                        u"X-MOZILLA-HTML"_s,
                                        u"X-EVOLUTION-FILE-AS"_s,
                                        u"X-EVOLUTION-LIST"_s,
                                        u"X-EVOLUTION-LIST-SHOW-ADDRESSES"_s,
                                        u"X-EVOLUTION-BOOK-URI"_s,
                                        u"X-EVOLUTION-WEBDAV-ETAG"_s,
                                        u"X-EVOLUTION-WEBDAV-HREF"_s,
                                        u"X-IRMC-LUID"_s,
                                        u"X-ADDRESSING-GRAMMAR"_s,
                                        u"X-IMAGETYPE"_s,
                                        u"X-IMAGEHASH"_s,
                                        u"X-SHARED-PHOTO-DISPLAY-PREF"_s};
    return names.contains(name);
}

// Apple's own labels as their Korean words: "_$!<Anniversary>!$_" is 기념일.
QString readableLabel(const QString &label)
{
    static const QMap<QString, QString> words = {
        {u"anniversary"_s, u"기념일"_s},
        {u"other"_s, u"기타"_s},
        {u"homepage"_s, u"홈페이지"_s},
        {u"main"_s, u"대표"_s},
        {u"mobile"_s, u"핸드폰"_s},
        {u"iphone"_s, u"iPhone"_s},
        {u"home"_s, u"집"_s},
        {u"work"_s, u"회사"_s},
        {u"homefax"_s, u"집 팩스"_s},
        {u"workfax"_s, u"회사 팩스"_s},
        {u"otherfax"_s, u"기타 팩스"_s},
        {u"pager"_s, u"호출기"_s},
        {u"father"_s, u"아버지"_s},
        {u"mother"_s, u"어머니"_s},
        {u"parent"_s, u"부모"_s},
        {u"brother"_s, u"형제"_s},
        {u"sister"_s, u"자매"_s},
        {u"child"_s, u"자녀"_s},
        {u"son"_s, u"아들"_s},
        {u"daughter"_s, u"딸"_s},
        {u"friend"_s, u"친구"_s},
        {u"spouse"_s, u"배우자"_s},
        {u"husband"_s, u"남편"_s},
        {u"wife"_s, u"아내"_s},
        {u"partner"_s, u"파트너"_s},
        {u"assistant"_s, u"비서"_s},
        {u"manager"_s, u"상사"_s},
        {u"school"_s, u"학교"_s},
        {u"birthday"_s, u"생일"_s},
        {u"applewatch"_s, u"Apple Watch"_s},
    };
    const QString t = label.trimmed();
    if (t.startsWith(u"_$!<") && t.endsWith(u">!$_")) {
        const QString word = t.mid(4, t.size() - 8);
        return words.value(word.toLower(), word);
    }
    return t;
}

QString nameFromN(const Property &n)
{
    const QStringList parts = VCard::Split(n.value, u';');
    const QString family = parts.value(0).trimmed(), given = parts.value(1).trimmed();
    const QString middle = parts.value(2).trimmed();
    // Korean, Chinese and Japanese names are family name first, run together.
    const auto eastAsian = [](const QString &s) {
        for (QChar c : s) {
            const QChar::Script script = c.script();
            if (script == QChar::Script_Hangul || script == QChar::Script_Han
                || script == QChar::Script_Hiragana || script == QChar::Script_Katakana)
                return true;
        }
        return false;
    };
    QStringList words;
    if (eastAsian(family) || eastAsian(given))
        words << family + given << middle;
    else
        words << parts.value(3).trimmed() << given << middle << family << parts.value(4).trimmed();
    words.removeAll(QString());
    return words.join(u' ');
}

QString extensionFor(const Property &p, const QString &mediaType)
{
    QString type = mediaType;
    if (type.isEmpty())
        type = p.paramValues(QStringLiteral("TYPE")).value(0);
    if (type.isEmpty())
        type = p.paramValues(QStringLiteral("MEDIATYPE")).value(0);
    type = type.toLower();
    if (type.contains(u"jpeg") || type.contains(u"jpg"))
        return QStringLiteral("jpg");
    for (const char *known : {"png", "gif", "bmp", "webp", "heic", "wav", "mp3", "pgp"})
        if (type.contains(QLatin1String(known)))
            return QLatin1String(known);
    return QStringLiteral("bin");
}

// Android's event and relation kinds, by the numbers its contacts store.
QString androidLabel(const QString &kind, int type, const QString &custom)
{
    static const QStringList events = {{}, u"기념일"_s, u"날짜"_s, u"생일"_s};
    static const QStringList relations = {{},          u"비서"_s,   u"형제"_s,   u"자녀"_s,
                                          u"동거인"_s, u"아버지"_s, u"친구"_s,   u"상사"_s,
                                          u"어머니"_s, u"부모"_s,   u"파트너"_s, u"소개인"_s,
                                          u"친척"_s,   u"자매"_s,   u"배우자"_s};
    const QStringList &names = kind == u"contact_event" ? events : relations;
    if (type == 0 && !custom.trimmed().isEmpty())
        return custom.trimmed();
    const QString name = names.value(type);
    return name.isEmpty() ? (kind == u"contact_event" ? u"날짜"_s : u"관계"_s) : name;
}

class CardReader
{
public:
    explicit CardReader(const VCard::Card &card)
        : m_card(card)
    {}

    CardContact read()
    {
        CardContact out;
        if (!m_card.error.isEmpty()) {
            out.error = m_card.error;
            return out;
        }
        Contact &c = out.contact;
        const Property *fn = m_card.first(QStringLiteral("FN"));
        c.name = fn ? TrimName(fn->text()) : QString();
        if (c.name.isEmpty()) {
            if (const Property *n = m_card.first(QStringLiteral("N")))
                c.name = nameFromN(*n).simplified();
        }
        const Property *org = m_card.first(QStringLiteral("ORG"));
        if (c.name.isEmpty() && org) // a company's card
            c.name = TrimName(VCard::Split(org->value, u';').value(0));
        if (c.name.isEmpty()) {
            out.error = QStringLiteral("이름(FN, N, ORG)이 없습니다.");
            return out;
        }
        m_hasOrg = org && !TrimName(VCard::Split(org->value, u';').value(0)).isEmpty();
        const Property *prodId = m_card.first(QStringLiteral("PRODID"));
        out.fromVandrel = (prodId && prodId->text().startsWith(u"-//Vandrel//"))
                          || m_card.first(FolderProperty) || m_card.first(KindProperty);
        m_ours = out.fromVandrel;
        if (const Property *kind = m_card.first(KindProperty)) {
            const QString k = kind->text().trimmed().toLower();
            c.isFolder = k == FolderKind;
            c.emptyFolder = k == EmptyFolderKind;
        }
        if (const Property *folder = m_card.first(FolderProperty))
            c.folder = folder->text();
        if (const Property *uid = m_card.first(QStringLiteral("UID")))
            c.record.SetUid(CardUid(uid->text()));
        m_hasAddress = m_card.first(QStringLiteral("ADR")) != nullptr;

        for (const Property &p : m_card.properties) {
            if (p.name == u"CATEGORIES" && out.fromVandrel)
                continue;
            if (p.name == LabelProperty || p.name == FolderProperty || p.name == KindProperty
                || isMetadata(p.name))
                continue;
            take(p, c);
        }
        resolveNumbers(c, Work, m_workVoice, m_workFax);
        resolveNumbers(c, Home, m_homeVoice, m_homeFax);
        for (const Item &t : std::as_const(m_cell))
            if (c.record.Value(u"Hand").isEmpty())
                c.record.SetValue(u"Hand", t.value);
            else
                extra(t.label, t.value);
        for (const Item &t : std::as_const(m_otherTels))
            extra(t.label, t.value);
        fill(c, u"EMail", m_emails);
        fill(c, u"MUrl", m_urls);
        fill(c, u"OUrl", m_workUrls);
        for (const auto &[parts, label] : std::as_const(m_workAdr))
            address(c, Work, parts, label);
        for (const auto &[parts, label] : std::as_const(m_homeAdr))
            address(c, Home, parts, label);
        for (const auto &[parts, label] : std::as_const(m_otherAdr))
            address(c, !c.record.Lines(Home.address).isEmpty() ? Work : Home, parts, label);

        QStringList memo = m_notes;
        memo += m_extra;
        if (!memo.isEmpty())
            c.record.SetLines(u"Memo", memo);
        out.warnings = m_card.warnings + m_warnings;
        return out;
    }

private:
    QString groupLabel(const Property &p) const
    {
        if (p.group.isEmpty())
            return {};
        for (const Property &q : m_card.properties)
            if (q.name == LabelProperty && q.group.compare(p.group, Qt::CaseInsensitive) == 0)
                return q.text().trimmed();
        return {};
    }

    // The field of a line's caption, given by the label of its group.
    const RecordField *labelledField(const Property &p) const
    {
        const QString label = groupLabel(p);
        if (label.isEmpty())
            return nullptr;
        for (const RecordField &f : RecordFields)
            if (!f.multiLine && FieldCaption(f) == label)
                return &f;
        return nullptr;
    }

    // What the card calls the value: its group's label or Samsung's X-CUSTOM, in Korean where
    // Apple has a word for it; "" when it says nothing of its own.
    QString customLabel(const Property &p) const
    {
        const QString label = readableLabel(groupLabel(p));
        if (!label.isEmpty())
            return label;
        return p.paramValues(QStringLiteral("X-CUSTOM")).value(0).trimmed();
    }

    void extra(const QString &label, const QString &value)
    {
        if (!value.trimmed().isEmpty())
            m_extra << label + QStringLiteral(": ") + QString(value).replace(u'\n', u' ');
    }

    void tel(const Property &p, Contact &c)
    {
        QString number = TrimName(p.text());
        if (number.startsWith(u"tel:", Qt::CaseInsensitive))
            number = number.mid(4);
        if (!m_ours)
            number = nationalNumber(number);
        if (number.isEmpty())
            return;
        if (const RecordField *f = labelledField(p)) {
            if (c.record.Value(f->Name()).isEmpty() && !m_labelled.contains(f->Name())) {
                m_labelled.insert(f->Name(), number);
                return;
            }
        }
        const QString custom = customLabel(p);
        const auto with = [&](const QString &fallback) {
            return Item{number, custom.isEmpty() ? fallback : custom};
        };
        const bool fax = p.hasType(u"fax"_s);
        if (p.hasType(u"cell"_s) || p.hasType(u"mobile"_s) || p.hasType(u"iphone"_s)) {
            m_cell << with(u"핸드폰"_s);
        } else if (p.hasType(u"work"_s)) {
            (fax ? m_workFax : m_workVoice) << with(fax ? u"회사 팩스"_s : u"회사 전화"_s);
        } else if (p.hasType(u"home"_s)) {
            (fax ? m_homeFax : m_homeVoice) << with(fax ? u"집 팩스"_s : u"집 전화"_s);
        } else if (fax) {
            m_workFax << with(u"팩스"_s);
        } else if (p.hasType(u"x-evolution-company"_s)) {
            m_workVoice << Item{number, u"회사 대표"_s};
        } else if (const QString kind = specialKind(p); !kind.isEmpty()) {
            m_otherTels << Item{number, custom.isEmpty() ? kind : custom};
        } else if (!custom.isEmpty()) {
            (isMobile(number) ? m_cell : m_otherTels) << Item{number, custom};
        } else {
            // No type, or only MAIN or pref: a mobile number is the mobile; a landline belongs
            // to the company when the card has one, else to the home.
            const bool main = p.hasType(u"main"_s);
            if (isMobile(number))
                m_cell << Item{number, u"핸드폰"_s};
            else if (m_hasOrg)
                m_workVoice << Item{number, main ? u"회사 대표"_s : u"전화"_s};
            else
                m_homeVoice << Item{number, main ? u"대표"_s : u"전화"_s};
        }
    }

    // Telephone kinds no field is for, as the notes name them.
    static QString specialKind(const Property &p)
    {
        static const QList<std::pair<QString, QString>> kinds = {
            {u"pager"_s, u"호출기"_s},
            {u"car"_s, u"차량 전화"_s},
            {u"x-evolution-assistant"_s, u"비서"_s},
            {u"assistant"_s, u"비서"_s},
            {u"x-evolution-callback"_s, u"콜백"_s},
            {u"callback"_s, u"콜백"_s},
            {u"x-evolution-radio"_s, u"무선 전화"_s},
            {u"radio"_s, u"무선 전화"_s},
            {u"x-evolution-telex"_s, u"텔렉스"_s},
            {u"telex"_s, u"텔렉스"_s},
            {u"x-evolution-ttytdd"_s, u"TTY"_s},
            {u"textphone"_s, u"TTY"_s},
            {u"isdn"_s, u"ISDN"_s},
            {u"video"_s, u"화상 전화"_s},
            {u"modem"_s, u"모뎀"_s},
            {u"bbs"_s, u"BBS"_s},
            {u"other"_s, u"기타 전화"_s},
        };
        for (const auto &[type, label] : kinds)
            if (p.hasType(type))
                return label;
        return {};
    }

    // Android's own rows: nicknames, dates and relations become labelled lines; the rest says
    // what it is by the last part of its kind.
    void android(const Property &p)
    {
        const QStringList parts = VCard::Split(p.value, u';');
        const QString kind = parts.value(0).section(u'/', -1);
        const QString data = parts.value(1).trimmed();
        if (kind == u"nickname") {
            extra(u"별명"_s, data);
        } else if (kind == u"contact_event" || kind == u"relation") {
            extra(androidLabel(kind, parts.value(2).toInt(), parts.value(3)), data);
        } else {
            QStringList values = parts.mid(1);
            values.removeAll(QString());
            extra(kind.isEmpty() ? p.name : kind, values.join(QStringLiteral(", ")));
        }
    }

    void take(const Property &p, Contact &c)
    {
        const QString name = p.name;
        if (name.startsWith(VandrelPrefix)) {
            const QString field = name.mid(VandrelPrefix.size());
            const RecordField *f = FindRecordField(field);
            if (!f) {
                for (const RecordField &rf : RecordFields)
                    if (rf.Name().compare(field, Qt::CaseInsensitive) == 0)
                        f = &rf;
            }
            if (f && !f->multiLine) {
                c.record.SetValue(f->Name(), p.text());
                m_explicit.insert(f->Name());
                return;
            }
        }
        if (name == u"TEL") {
            tel(p, c);
        } else if (name == u"EMAIL") {
            m_emails << Item{TrimName(p.text()),
                             customLabel(p).isEmpty() ? u"E-Mail"_s : customLabel(p)};
        } else if (name == u"URL") {
            const bool work = p.hasType(u"work"_s);
            const QString label = customLabel(p);
            (work ? m_workUrls : m_urls) << Item{TrimName(p.text()), !label.isEmpty() ? label
                                                                     : work ? u"회사 URL"_s
                                                                            : u"URL"_s};
        } else if (name == u"ADR") {
            const QStringList parts = VCard::Split(p.value, u';');
            const std::pair<QStringList, QString> adr{parts, customLabel(p)};
            (p.hasType(u"work"_s)   ? m_workAdr
             : p.hasType(u"home"_s) ? m_homeAdr
                                    : m_otherAdr)
                << adr;
        } else if (name == u"ORG") {
            const QStringList parts = VCard::Split(p.value, u';');
            if (!c.record.Value(u"ONme").isEmpty() || !c.record.Value(u"OPst").isEmpty()) {
                extra(labelOf(p), parts.join(u' ').trimmed());
                return;
            }
            if (!TrimName(parts.value(0)).isEmpty())
                c.record.SetValue(u"ONme", TrimName(parts.value(0)));
            if (!TrimName(parts.value(1)).isEmpty())
                c.record.SetValue(u"OPst", TrimName(parts.value(1)));
            extra(labelOf(p), parts.mid(2).join(u' ').trimmed());
        } else if (name == u"TITLE" && c.record.Value(u"OCls").isEmpty()) {
            if (!TrimName(p.text()).isEmpty())
                c.record.SetValue(u"OCls", TrimName(p.text()));
        } else if (name == u"NOTE") {
            m_notes += p.text().split(u'\n');
        } else if (name == u"LABEL" && m_hasAddress) {
            return; // the address once more, as one text
        } else if (name == u"X-ANDROID-CUSTOM") {
            android(p);
        } else if (name == u"X-WAB-GENDER") {
            const QString g = p.text().trimmed();
            extra(u"성별"_s, g == u"1" ? u"여성"_s : g == u"2" ? u"남성"_s : g);
        } else if (p.isBinary || p.value.startsWith(u"data:", Qt::CaseInsensitive)) {
            attach(p, c);
        } else if (name == u"CATEGORIES" || name == u"NICKNAME") {
            extra(labelOf(p), VCard::Split(p.value, u',').join(QStringLiteral(", ")));
        } else {
            const QString label = customLabel(p);
            extra(label.isEmpty() ? labelOf(p) : label, p.text());
        }
    }

    void attach(const Property &p, Contact &c)
    {
        QByteArray bytes = p.binary;
        QString mediaType;
        if (!p.isBinary) {
            // A 4.0 data address: data:image/jpeg;base64,....
            const QString v = p.value;
            const qsizetype comma = v.indexOf(u',');
            mediaType = v.mid(5, comma - 5).section(u';', 0, 0);
            if (comma < 0 || !v.left(comma).endsWith(u";base64", Qt::CaseInsensitive)) {
                extra(labelOf(p), v.left(200));
                return;
            }
            auto decoded = QByteArray::fromBase64Encoding(v.mid(comma + 1).toLatin1(),
                                                          QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded) {
                m_warnings
                    << QStringLiteral("%1의 base64 값이 깨져 있어 건너뛰었습니다.").arg(p.name);
                return;
            }
            bytes = *decoded;
        }
        static const QMap<QString, QString> names = {{u"PHOTO"_s, u"사진"_s},
                                                     {u"LOGO"_s, u"로고"_s},
                                                     {u"SOUND"_s, u"소리"_s},
                                                     {u"KEY"_s, u"키"_s},
                                                     {u"X-MS-CARDPICTURE"_s, u"명함"_s}};
        const QString base = names.value(p.name, p.name);
        const QString ext = extensionFor(p, mediaType);
        QString file = p.paramValues(FileParam).value(0);
        if (file.isEmpty() || file.contains(u'/') || file.contains(u'\\'))
            file = base + u'.' + ext;
        const auto taken = [&c](const QString &name) {
            return std::any_of(c.attachments.begin(), c.attachments.end(),
                               [&](const Attachment &a) { return a.fileName == name; });
        };
        for (int n = 2; taken(file); ++n)
            file = base + QString::number(n) + u'.' + ext;
        c.attachments.append({file, bytes});
    }

    void fill(Contact &c, const char16_t *field, const QList<Item> &values)
    {
        for (const Item &v : values) {
            if (v.value.isEmpty())
                continue;
            if (c.record.Value(field).isEmpty())
                c.record.SetValue(field, v.value);
            else
                extra(v.label, v.value);
        }
    }

    void resolveNumbers(Contact &c, const Block &b, const QList<Item> &voice,
                        const QList<Item> &faxes)
    {
        const std::array<const char16_t *, 3> fields{b.phone1, b.phone2, b.fax};
        BlockInput in;
        in.hasFax = b.fax != nullptr;
        for (int slot = 0; slot < 3; ++slot)
            if (fields[size_t(slot)] && m_labelled.contains(S(fields[size_t(slot)])))
                in.labelled.append(
                    {slot, Item{m_labelled.value(S(fields[size_t(slot)])),
                                FieldCaption(*FindRecordField(S(fields[size_t(slot)])))}});
        in.voice = voice;
        in.faxes = faxes;
        if (m_explicit.contains(S(b.ddd))) {
            explicitNumbers(c, b, in);
        } else {
            const BlockResult r = resolveBlock(in);
            if (!r.ddd.isEmpty())
                c.record.SetValue(b.ddd, r.ddd);
            for (int slot = 0; slot < 3; ++slot)
                if (fields[size_t(slot)] && !r.kept[size_t(slot)].isEmpty())
                    c.record.SetValue(fields[size_t(slot)], r.kept[size_t(slot)]);
            for (const Item &t : r.notes)
                extra(t.label, t.value);
        }
        // Other labelled numbers (direct line, extension) as they are.
        for (auto it = m_labelled.cbegin(); it != m_labelled.cend(); ++it) {
            const RecordField *f = FindRecordField(it.key());
            if (f && f->block == (b.fax ? RecordField::Company : RecordField::Home)
                && std::find(fields.begin(), fields.end(), f->name) == fields.end()
                && c.record.Value(it.key()).isEmpty())
                c.record.SetValue(it.key(), it.value());
        }
    }

    // This program's own card gives the block's area code, and where an importer would not
    // find them the fields themselves; the numbers that stand for those fields are dropped,
    // the others fill what is left in order.
    void explicitNumbers(Contact &c, const Block &b, const BlockInput &in)
    {
        const QString ddd = c.record.Value(b.ddd);
        QList<std::pair<int, Item>> offered = in.labelled;
        for (const Item &t : in.voice)
            offered.append({-1, t});
        for (const Item &t : in.faxes)
            offered.append({-2, t});
        const std::array<const char16_t *, 3> fields{b.phone1, b.phone2, b.fax};
        QStringList given;
        for (const char16_t *f : fields)
            if (f && m_explicit.contains(S(f)))
                given << composed(ddd, c.record.Value(f));
        for (const auto &[want, tel] : offered) {
            if (given.removeOne(tel.value))
                continue;
            int slot = want;
            if (want == -1)
                slot = c.record.Value(b.phone1).isEmpty()   ? 0
                       : c.record.Value(b.phone2).isEmpty() ? 1
                                                            : -1;
            else if (want == -2)
                slot = b.fax && c.record.Value(b.fax).isEmpty() ? 2 : -1;
            if (slot >= 0 && c.record.Value(fields[size_t(slot)]).isEmpty())
                c.record.SetValue(fields[size_t(slot)], withoutAreaCode(tel.value, ddd));
            else
                extra(tel.label, tel.value);
        }
    }

    void address(Contact &c, const Block &b, const QStringList &parts, const QString &label)
    {
        const QString pobox = parts.value(0).trimmed(), street = parts.value(2);
        const QString locality = parts.value(3).trimmed(), region = parts.value(4).trimmed();
        const QString country = parts.value(6).trimmed();
        const QStringList streetLines = street.isEmpty() ? QStringList() : street.split(u'\n');
        QStringList lines;
        // A Korean address goes from the province down: 서울특별시 강남구 테헤란로 152.
        if (isKorea(country) || (country.isEmpty() && hasHangul(parts.join(QString())))) {
            if (region.isEmpty() && locality.isEmpty()) {
                lines = streetLines;
            } else {
                QStringList head{region, locality, streetLines.value(0)};
                head.removeAll(QString());
                lines << head.join(u' ') << streetLines.mid(1);
            }
            if (!parts.value(1).isEmpty())
                lines += parts.value(1).split(u'\n');
            if (!pobox.isEmpty())
                lines << pobox;
            if (!country.isEmpty() && !isKorea(country))
                lines << country;
        } else {
            lines = streetLines;
            QStringList place;
            for (const QString &p : {locality, region})
                if (!p.isEmpty())
                    place << p;
            for (const QString &more : {parts.value(1).trimmed(), pobox, place.join(u' '), country})
                if (!more.isEmpty())
                    lines << more;
        }
        const QString zip = TrimName(parts.value(5));
        if (!c.record.Lines(b.address).isEmpty() || !c.record.Value(b.zip).isEmpty()) {
            QStringList all = lines;
            if (!zip.isEmpty())
                all.prepend(zip);
            extra(label.isEmpty() ? S(b.heading) + QStringLiteral(" 주소") : label,
                  all.join(QStringLiteral(", ")));
            return;
        }
        if (!lines.isEmpty())
            c.record.SetLines(b.address, lines);
        if (!zip.isEmpty())
            c.record.SetValue(b.zip, zip);
    }

    const VCard::Card &m_card;
    bool m_ours = false; // this program's export: its numbers are taken as they are
    bool m_hasOrg = false;
    bool m_hasAddress = false;
    QList<Item> m_cell, m_otherTels, m_workVoice, m_workFax, m_homeVoice, m_homeFax;
    QList<Item> m_emails, m_urls, m_workUrls;
    QList<std::pair<QStringList, QString>> m_workAdr, m_homeAdr, m_otherAdr;
    QStringList m_notes, m_extra, m_warnings;
    QMap<QString, QString> m_labelled;
    QSet<QString> m_explicit;
};

// Fields that an update replaces together: a block's numbers with their area code, an address
// with its postal code, an account with its bank and holder.
QList<QStringList> mergeUnits()
{
    QList<QStringList> units = {{u"ODDD"_s, u"OPh1"_s, u"OPh2"_s, u"OFax"_s},
                                {u"HDDD"_s, u"HPh1"_s, u"HPh2"_s},
                                {u"OAdd"_s, u"OZip"_s},
                                {u"HAdd"_s, u"HZip"_s}};
    for (int n = 1; n <= 4; ++n)
        units.append({u"BNK%1"_s.arg(n), u"BNM%1"_s.arg(n), u"BCT%1"_s.arg(n)});
    QSet<QString> inUnits;
    for (const QStringList &u : std::as_const(units))
        for (const QString &f : u)
            inUnits.insert(f);
    for (const RecordField &f : RecordFields)
        if (!inUnits.contains(f.Name()) && f.Name() != u"Memo")
            units.append({f.Name()});
    return units;
}

// A field's value as a line of the notes shows it: numbers with their area code.
QString shownValue(const Record &r, const QString &field)
{
    const int i = FieldIndex(field);
    const int code = AreaCodeIndex(i);
    const QString text = r.Text(i);
    if (code >= 0 && !text.isEmpty())
        return composed(r.Value(code), text);
    return QString(text).replace(u'\n', u' ');
}

} // namespace

Contact Contact::Read(const QString &path)
{
    Contact c;
    // As a save would store it, so that what an import writes reads the same.
    c.record = Record::Read(path).Normalized();
    // One empty line shows as nothing at all, and no card can tell the two apart.
    for (int i = 0; i < RecordFieldCount; ++i)
        if (c.record.Lines(i) == QStringList{QString()})
            c.record.SetLines(i, {});
    return c;
}

void WriteCard(VCard::Writer &writer, const Contact &contact)
{
    CardWriter(writer, contact).write();
}

CardContact ContactFromCard(const VCard::Card &card)
{
    return CardReader(card).read();
}

QString CardUid(const QString &text)
{
    const QString uid = text.trimmed();
    const bool plain = std::none_of(uid.begin(), uid.end(), [](QChar c) { return c < u' '; });
    if (uid.size() <= 200 && plain)
        return uid;
    static const QUuid ns(QStringLiteral("{0d3c7c2e-51a4-4f0b-9a2e-6c1f4b8e7d35}"));
    return QStringLiteral("urn:uuid:")
           + QUuid::createUuidV5(ns, uid.toUtf8()).toString(QUuid::WithoutBraces);
}

Record MergedRecord(const Record &old, const Record &card)
{
    Record out = old;
    QStringList notes = old.Lines(u"Memo");
    for (const QString &line : card.Lines(u"Memo"))
        if (!notes.contains(line))
            notes << line;
    for (const QStringList &unit : mergeUnits()) {
        const bool given = std::any_of(unit.begin(), unit.end(), [&](const QString &f) {
            return !card.Text(FieldIndex(f)).isEmpty();
        });
        if (!given)
            continue;
        QStringList now;
        for (const QString &f : unit)
            now << shownValue(card, f);
        for (const QString &f : unit) {
            const RecordField &field = RecordFields[size_t(FieldIndex(f))];
            // An area code is in its numbers' lines already.
            const QString before = shownValue(old, f);
            if (field.kind != RecordField::Kind::AreaCode && !before.isEmpty()
                && !now.contains(before)) {
                const QString line = QStringLiteral("이전 %1: %2").arg(FieldCaption(field), before);
                if (!notes.contains(line))
                    notes << line;
            }
            if (field.multiLine)
                out.SetLines(f, card.Lines(f));
            else
                out.SetValue(f, card.Value(f));
        }
    }
    out.SetLines(u"Memo", notes);
    return out;
}

AreaSplit SplitAreaCode(const QString &number)
{
    QString s = number.trimmed();
    qsizetype at = 0;
    QString prefix; // digits that stand for the leading 0
    if (s.startsWith(u"+82")) {
        at = 3;
        while (at < s.size() && (isSeparator(s[at]) || s[at] == u'('))
            ++at;
        if (at < s.size() && s[at] == u'0')
            ++at; // "+82 (0)2"
        if (at < s.size() && s[at] == u')')
            ++at;
        prefix = QStringLiteral("0");
    }
    const bool parenthesised = at < s.size() && s[at] == u'(';
    if (parenthesised)
        ++at;
    qsizetype end = at;
    while (end < s.size() && s[end].isDigit())
        ++end;
    const QString digits = prefix + s.mid(at, end - at);
    if (parenthesised && (end >= s.size() || s[end] != u')'))
        return {{}, number};
    for (int len : {2, 3}) {
        if (digits.size() < len || !isAreaCode(QStringView(digits).first(len)))
            continue;
        const qsizetype used = at + len - prefix.size();
        if (digits.size() == len && end < s.size() && isSeparator(s[end])) {
            // "02-555-0100", "(02) 555-0100": the code stands alone before a separator.
            qsizetype rest = end + 1;
            if (parenthesised && rest < s.size() && s[rest] == u' ')
                ++rest;
            return {digits, s.mid(rest)};
        }
        if (end == s.size() && digits.size() >= len + 7 && !parenthesised)
            return {digits.left(len), s.mid(used)}; // digits only: 0255501000
    }
    return {{}, number};
}

QString DialledNumber(const QString &areaCode, const QString &number)
{
    return nationalNumber(composed(areaCode, number));
}

QString NumberWithDashes(const QString &digits)
{
    return withDashes(digits);
}

QString ContactReport::Text() const
{
    QStringList out;
    if (import) {
        out << QStringLiteral("자료 %1개를 만들었습니다.").arg(written);
    } else if (failed() && written == 0) {
        out << QStringLiteral("내보내지 못했습니다.");
    } else if (folders > 0) {
        out << QStringLiteral("연락처 %1개와 빈 폴더 %2개를 내보냈습니다.")
                   .arg(written)
                   .arg(folders);
    } else {
        out << QStringLiteral("연락처 %1개를 내보냈습니다.").arg(written);
    }
    if (!target.isEmpty())
        out.back() += QStringLiteral(" (%1)").arg(target);
    if (import && folders > 0)
        out << QStringLiteral("빈 폴더 %1개를 다시 만들었습니다.").arg(folders);
    if (!updated.isEmpty())
        out << (import ? QStringLiteral("UID가 같은 기존 자료 %1개를 새로 만들지 않고 고쳤습니다.")
                       : QStringLiteral("폴더에서 바뀐 카드 %1개를 먼저 자료로 가져왔습니다."))
                   .arg(updated.size());
    if (unchanged > 0)
        out << QStringLiteral("UID가 같은 기존 자료 %1개는 이미 같아서 그대로 두었습니다.")
                   .arg(unchanged);
    if (cancelled)
        out << (import
                    ? QStringLiteral("가져오기를 취소했습니다. 그때까지 만든 자료는 남아 있습니다.")
                    : QStringLiteral("내보내기를 취소했습니다."));
    auto section = [&out](const QString &title, const QStringList &items) {
        if (items.isEmpty())
            return;
        out << QString() << title.arg(items.size());
        constexpr int Shown = 30;
        for (const QString &item : items.mid(0, Shown))
            out << QStringLiteral("  ") + item;
        if (items.size() > Shown)
            out << QStringLiteral("  … 그리고 %1개 더").arg(items.size() - Shown);
    };
    section(QStringLiteral("실패 %1건:"), errors);
    section(QStringLiteral("고친 자료 %1개:"), updated);
    section(import ? QStringLiteral("건너뛴 카드 %1개:") : QStringLiteral("건너뛴 자료 %1개:"),
            skipped);
    section(QStringLiteral("참고 %1건:"), warnings);
    section(QStringLiteral("이미 있는 자료와 같아 보이는 자료 %1개:"), duplicates);
    return out.join(u'\n');
}
