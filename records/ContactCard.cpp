#include "ContactCard.h"

#include "PhoneFun.h"
#include "platform/Profile.h"

#include <QSet>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

using VCard::Escape;
using VCard::Property;

const QString VandrelPrefix = QStringLiteral("X-VANDREL-");
const QString FolderProperty = QStringLiteral("X-VANDREL-FOLDER");
const QString KindProperty = QStringLiteral("X-VANDREL-KIND");
const QString LabelProperty = QStringLiteral("X-ABLABEL");

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

bool isAreaCode(QStringView digits)
{
    if (digits == u"02" || digits == u"070")
        return true;
    if (digits.size() != 3 || digits[0] != u'0')
        return false;
    const int n = digits.toInt();
    return n >= 31 && n <= 64;
}

bool isSeparator(QChar c)
{
    return c == u'-' || c == u' ' || c == u'.' || c == u')';
}

// A number with the block's area code in front, as peers show it.
QString composed(const QString &ddd, const QString &number)
{
    return ddd.isEmpty() ? number : ddd + u'-' + number;
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

// The area code an importer takes for a block: that of the first number carrying one.
QString derivedAreaCode(const QStringList &numbers)
{
    for (const QString &n : numbers) {
        const AreaSplit split = SplitAreaCode(n);
        if (!split.code.isEmpty())
            return split.code;
    }
    return {};
}

QString typeParams(const QStringList &types)
{
    return types.isEmpty() ? QString() : QStringLiteral(";TYPE=") + types.join(u',');
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
        QStringList shown; // in the order an importer meets them
        for (const QString &n : {ph1, ph2, fax})
            if (!n.isEmpty())
                shown << composed(ddd, n);
        // Where the area code an importer would take differs, it is written out.
        bool exact = !shown.isEmpty() && derivedAreaCode(shown) == ddd;
        for (const QString &n : {ph1, ph2, fax})
            if (!n.isEmpty() && withoutAreaCode(composed(ddd, n), ddd) != n)
                exact = false;
        if (!exact && !(ddd.isEmpty() && shown.isEmpty()))
            add(VandrelPrefix + S(b.ddd), {}, Escape(ddd));
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
            VCard::Structured({{}, {}, lines.join(u'\n'), {}, {}, zip, {}}));
    }

    void write()
    {
        m_w.begin();
        add(QStringLiteral("PRODID"), {},
            QStringLiteral("-//Vandrel//Vandrel %1//KO")
                .arg(QStringLiteral(VANDREL_VERSION_STRING)));
        text(QStringLiteral("UID"), {}, m_c.uid);
        add(QStringLiteral("FN"), {}, Escape(m_c.name));
        if (m_c.isFolder) {
            add(QStringLiteral("N"), {}, QStringLiteral(";;;;"));
            add(QStringLiteral("X-ABSHOWAS"), {}, QStringLiteral("COMPANY"));
            add(KindProperty, {}, QStringLiteral("folder"));
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
        {u"X-PHONETIC-FIRST-NAME"_s, u"이름 발음"_s},
        {u"X-PHONETIC-LAST-NAME"_s, u"성 발음"_s},
    };
    return labels.value(p.name, p.name);
}

// Properties that say something about the card, not the person.
bool isMetadata(const QString &name)
{
    static const QStringList names = {
        u"VERSION"_s, u"PRODID"_s,  u"UID"_s,         u"REV"_s,          u"KIND"_s,    u"SOURCE"_s,
        u"NAME"_s,    u"PROFILE"_s, u"CLASS"_s,       u"X-ABSHOWAS"_s,   u"X-ABUID"_s, u"AGENT"_s,
        u"FN"_s,      u"N"_s,       u"SORT-STRING"_s, u"CLIENTPIDMAP"_s, u"MAILER"_s};
    return names.contains(name);
}

QString nameFromN(const Property &n)
{
    const QStringList parts = VCard::Split(n.value, u';');
    const QString family = parts.value(0).trimmed(), given = parts.value(1).trimmed();
    const QString middle = parts.value(2).trimmed();
    const auto hangul = [](const QString &s) {
        for (QChar c : s)
            if (c.script() == QChar::Script_Hangul)
                return true;
        return false;
    };
    QStringList words;
    if (hangul(family) || hangul(given)) {
        // Korean names are family name first, run together.
        words << family + given << middle;
    } else {
        words << parts.value(3).trimmed() << given << middle << family << parts.value(4).trimmed();
    }
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
        if (c.name.isEmpty()) {
            out.error = QStringLiteral("이름(FN, N)이 없습니다.");
            return out;
        }
        const bool ours = m_card.first(FolderProperty) || m_card.first(KindProperty);
        if (const Property *kind = m_card.first(KindProperty))
            c.isFolder = kind->text().trimmed().compare(u"folder", Qt::CaseInsensitive) == 0;
        if (const Property *folder = m_card.first(FolderProperty))
            c.folder = folder->text();

        for (const Property &p : m_card.properties) {
            if (p.name == u"CATEGORIES" && ours)
                continue;
            if (p.name == LabelProperty || p.name == FolderProperty || p.name == KindProperty
                || isMetadata(p.name))
                continue;
            take(p, c);
        }
        resolveNumbers(c, Work, m_workVoice, m_workFax);
        resolveNumbers(c, Home, m_homeVoice, m_homeFax);
        fill(c, u"Hand", m_cell, u"핸드폰"_s);
        fill(c, u"Hand", m_otherPhones, u"전화"_s);
        fill(c, u"EMail", m_emails, u"E-Mail"_s);
        fill(c, u"MUrl", m_urls, u"URL"_s);
        fill(c, u"OUrl", m_workUrls, u"회사 URL"_s);
        for (const QStringList &adr : std::as_const(m_workAdr))
            address(c, Work, adr);
        for (const QStringList &adr : std::as_const(m_homeAdr))
            address(c, Home, adr);
        for (const QStringList &adr : std::as_const(m_otherAdr))
            address(c, !c.record.Lines(Home.address).isEmpty() ? Work : Home, adr);

        QStringList memo = m_notes;
        memo += m_extra;
        if (!memo.isEmpty())
            c.record.SetLines(u"Memo", memo);
        out.warnings = m_card.warnings + m_warnings;
        return out;
    }

private:
    // The field of a line's caption, given by the label of its group.
    const RecordField *labelledField(const Property &p) const
    {
        if (p.group.isEmpty())
            return nullptr;
        for (const Property &q : m_card.properties) {
            if (q.name != LabelProperty || q.group.compare(p.group, Qt::CaseInsensitive) != 0)
                continue;
            const QString label = q.text().trimmed();
            for (const RecordField &f : RecordFields)
                if (!f.multiLine && FieldCaption(f) == label)
                    return &f;
        }
        return nullptr;
    }

    void extra(const QString &label, const QString &value)
    {
        if (!value.trimmed().isEmpty())
            m_extra << label + QStringLiteral(": ") + QString(value).replace(u'\n', u' ');
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
                if (f->Name() == S(Work.ddd) || f->Name() == S(Home.ddd))
                    m_explicitDdd.insert(f->Name());
                return;
            }
        }
        if (name == u"TEL") {
            QString number = TrimName(p.text());
            if (number.startsWith(u"tel:", Qt::CaseInsensitive))
                number = number.mid(4);
            if (const RecordField *f = labelledField(p)) {
                if (c.record.Value(f->Name()).isEmpty() && !m_labelled.contains(f->Name())) {
                    m_labelled.insert(f->Name(), number);
                    return;
                }
            }
            const bool fax = p.hasType(u"fax"_s);
            if (p.hasType(u"cell"_s) || p.hasType(u"mobile"_s) || p.hasType(u"iphone"_s))
                m_cell << number;
            else if (p.hasType(u"work"_s))
                (fax ? m_workFax : m_workVoice) << number;
            else if (p.hasType(u"home"_s))
                (fax ? m_homeFax : m_homeVoice) << number;
            else if (fax)
                m_workFax << number;
            else
                m_otherPhones << number;
            return;
        }
        if (name == u"EMAIL") {
            m_emails << TrimName(p.text());
        } else if (name == u"URL") {
            (p.hasType(u"work"_s) ? m_workUrls : m_urls) << TrimName(p.text());
        } else if (name == u"ADR") {
            const QStringList parts = VCard::Split(p.value, u';');
            (p.hasType(u"work"_s)   ? m_workAdr
             : p.hasType(u"home"_s) ? m_homeAdr
                                    : m_otherAdr)
                << parts;
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
        } else if (p.isBinary || p.value.startsWith(u"data:", Qt::CaseInsensitive)) {
            attach(p, c);
        } else if (name == u"CATEGORIES" || name == u"NICKNAME") {
            extra(labelOf(p), VCard::Split(p.value, u',').join(QStringLiteral(", ")));
        } else if (name == u"N" || name == u"ADR") {
            extra(labelOf(p), VCard::Split(p.value, u';').join(u' ').simplified());
        } else {
            extra(labelOf(p), p.text());
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
                                                     {u"KEY"_s, u"키"_s}};
        const QString base = names.value(p.name, p.name);
        QString file = base + u'.' + extensionFor(p, mediaType);
        for (int n = 2; std::any_of(c.attachments.begin(), c.attachments.end(),
                                    [&](const Attachment &a) { return a.fileName == file; });
             ++n)
            file = base + QString::number(n) + u'.' + extensionFor(p, mediaType);
        c.attachments.append({file, bytes});
    }

    void fill(Contact &c, const char16_t *field, const QStringList &values, const QString &label)
    {
        for (const QString &v : values) {
            if (v.isEmpty())
                continue;
            if (c.record.Value(field).isEmpty())
                c.record.SetValue(field, v);
            else
                extra(label, v);
        }
    }

    void resolveNumbers(Contact &c, const Block &b, const QStringList &voice,
                        const QStringList &faxes)
    {
        // Numbers labelled with their field go there; the others fill the block's numbers in
        // order, and what is left over goes into the notes.
        QMap<QString, QString> taken;
        for (const char16_t *f : {b.phone1, b.phone2, b.fax})
            if (f && m_labelled.contains(S(f)))
                taken.insert(S(f), m_labelled.value(S(f)));
        const QString heading = S(b.heading);
        for (const QString &n : voice) {
            const char16_t *slot = !taken.contains(S(b.phone1))   ? b.phone1
                                   : !taken.contains(S(b.phone2)) ? b.phone2
                                                                  : nullptr;
            if (slot)
                taken.insert(S(slot), n);
            else
                extra(heading + QStringLiteral(" 전화"), n);
        }
        for (const QString &n : faxes) {
            if (b.fax && !taken.contains(S(b.fax)))
                taken.insert(S(b.fax), n);
            else
                extra(heading + QStringLiteral(" 팩스"), n);
        }
        QString ddd = c.record.Value(b.ddd);
        if (!m_explicitDdd.contains(S(b.ddd))) {
            QStringList ordered;
            for (const char16_t *f : {b.phone1, b.phone2, b.fax})
                if (f && taken.contains(S(f)))
                    ordered << taken.value(S(f));
            ddd = derivedAreaCode(ordered);
        }
        if (!ddd.isEmpty())
            c.record.SetValue(b.ddd, ddd);
        for (auto it = taken.cbegin(); it != taken.cend(); ++it)
            if (!it.value().isEmpty())
                c.record.SetValue(it.key(), withoutAreaCode(it.value(), ddd));
        // Other labelled numbers (direct line, extension) as they are.
        for (auto it = m_labelled.cbegin(); it != m_labelled.cend(); ++it) {
            const RecordField *f = FindRecordField(it.key());
            if (f && f->block == (b.fax ? RecordField::Company : RecordField::Home)
                && !taken.contains(it.key()) && c.record.Value(it.key()).isEmpty())
                c.record.SetValue(it.key(), it.value());
        }
    }

    void address(Contact &c, const Block &b, const QStringList &parts)
    {
        QStringList lines;
        if (!parts.value(2).isEmpty())
            lines = parts.value(2).split(u'\n');
        QStringList place;
        for (int i : {3, 4})
            if (!parts.value(i).trimmed().isEmpty())
                place << parts.value(i).trimmed();
        for (const QString &more : {parts.value(1).trimmed(), parts.value(0).trimmed(),
                                    place.join(u' '), parts.value(6).trimmed()})
            if (!more.isEmpty())
                lines << more;
        const QString zip = TrimName(parts.value(5));
        if (!c.record.Lines(b.address).isEmpty() || !c.record.Value(b.zip).isEmpty()) {
            QStringList all = lines;
            if (!zip.isEmpty())
                all.prepend(zip);
            extra(S(b.heading) + QStringLiteral(" 주소"), all.join(QStringLiteral(", ")));
            return;
        }
        if (!lines.isEmpty())
            c.record.SetLines(b.address, lines);
        if (!zip.isEmpty())
            c.record.SetValue(b.zip, zip);
    }

    const VCard::Card &m_card;
    QStringList m_cell, m_otherPhones, m_workVoice, m_workFax, m_homeVoice, m_homeFax;
    QStringList m_emails, m_urls, m_workUrls;
    QList<QStringList> m_workAdr, m_homeAdr, m_otherAdr;
    QStringList m_notes, m_extra, m_warnings;
    QMap<QString, QString> m_labelled;
    QSet<QString> m_explicitDdd;
};

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

QString ContactReport::Text() const
{
    QStringList out;
    if (import)
        out << QStringLiteral("자료 %1개를 만들었습니다.").arg(written);
    else
        out << QStringLiteral("연락처 %1개를 내보냈습니다.").arg(written);
    if (!target.isEmpty())
        out.back() += QStringLiteral(" (%1)").arg(target);
    if (cancelled)
        out << (import
                    ? QStringLiteral("가져오기를 취소했습니다. 그때까지 만든 자료는 남아 있습니다.")
                    : QStringLiteral(
                        "내보내기를 취소했습니다. 내보낸 파일은 완성되지 않았습니다."));
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
    section(import ? QStringLiteral("건너뛴 카드 %1개:") : QStringLiteral("건너뛴 자료 %1개:"),
            skipped);
    section(QStringLiteral("참고 %1건:"), warnings);
    return out.join(u'\n');
}
