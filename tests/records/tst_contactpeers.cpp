#include "platform/Profile.h"
#include "records/ContactExport.h"
#include "records/ContactImport.h"
#include "records/RecordFile.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Other address books read what Vandrel writes and write what it reads: python3-vobject and
// khard from Debian (build.sh installs them for the tests).
class TestContactPeers : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void vobjectReadsAnExport();
    void khardListsAVCardFolder();
    void importsWhatVobjectWrites();

private:
    QString python();
    QProcess *run(const QString &program, const QStringList &args);
    std::unique_ptr<QTemporaryDir> m_tmp;
    QString m_data;
    QString m_python;
};

namespace {

struct Person
{
    QString path, name, hand, work, note;
};

const QList<Person> People = {
    {u"김철수.txt"_s, u"김철수"_s, u"010-1234-5678"_s, u"02-555-0100"_s,
     u"첫 줄, 쉼표; 세미콜론\n둘째 줄 😀"_s},
    {u"거래처/박영희(한빛).txt"_s, u"박영희(한빛)"_s, u"010-2222-3333"_s, u"031-777-0000"_s,
     u"\\ 역슬래시"_s},
    {u"거래처/John Smith.txt"_s, u"John Smith"_s, u"010-9999-0000"_s, {}, {}},
};

QByteArray photo()
{
    QByteArray bytes("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11);
    for (int i = 0; i < 5000; ++i)
        bytes += char(i * 7);
    return bytes;
}

} // namespace

void TestContactPeers::init()
{
    m_tmp = std::make_unique<QTemporaryDir>();
    m_data = m_tmp->filePath(u"data"_s);
    for (const Person &p : People) {
        const QString file = QDir(m_data).filePath(p.path);
        QDir().mkpath(QFileInfo(file).path());
        QString text = u"[data]\r\nHand="_s + p.hand + u"\r\n"_s;
        if (!p.work.isEmpty())
            text += u"ODDD="_s + p.work.section(u'-', 0, 0) + u"\r\nOPh1="_s
                    + p.work.section(u'-', 1) + u"\r\n"_s;
        const QStringList note = p.note.split(u'\n', Qt::SkipEmptyParts);
        if (!note.isEmpty())
            text += u"[Memo]\r\nmany=%1\r\n1=%2\r\n"_s.arg(note.size()).arg(note[0])
                    + (note.size() > 1 ? u"2="_s + note[1] + u"\r\n"_s : QString());
        TestFiles::write(file, text.toUtf8());
    }
    // A picture in the first one's companion folder.
    QDir().mkpath(QDir(m_data).filePath(u"__김철수"_s));
    TestFiles::write(QDir(m_data).filePath(u"__김철수/사진.jpg"_s), photo());
}

QString TestContactPeers::python()
{
    for (const QString &candidate : {u"/usr/bin/python3"_s, u"python3"_s}) {
        QProcess p;
        p.start(candidate, {u"-c"_s, u"import vobject"_s});
        if (p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            return candidate;
    }
    return {};
}

QProcess *TestContactPeers::run(const QString &program, const QStringList &args)
{
    auto *p = new QProcess(this);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Never the user's own configuration or cache.
    env.insert(u"HOME"_s, m_tmp->path());
    env.insert(u"XDG_CONFIG_HOME"_s, m_tmp->filePath(u"config"_s));
    env.insert(u"XDG_CACHE_HOME"_s, m_tmp->filePath(u"cache"_s));
    env.insert(u"PYTHONIOENCODING"_s, u"utf-8"_s);
    env.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    p->setProcessEnvironment(env);
    p->start(program, args);
    p->waitForFinished(60000);
    return p;
}

void TestContactPeers::vobjectReadsAnExport()
{
    const QString py = python();
    if (py.isEmpty())
        QSKIP("python3-vobject is not installed (apt-get install python3-vobject)");
    const QString out = m_tmp->filePath(u"all.vcf"_s);
    QCOMPARE(ContactExport::Export({m_data, m_data, out, ContactExport::Format::VCardFile, false})
                 .written,
             People.size());
    QProcess *p = run(py, {u"-c"_s, uR"(
import base64, json, sys, vobject
cards = []
for c in vobject.readComponents(open(sys.argv[1], encoding='utf-8').read()):
    cards.append({'fn': c.fn.value,
                  'tel': [t.value for t in c.contents.get('tel', [])],
                  'note': c.note.value if 'note' in c.contents else '',
                  'photo': base64.b64encode(c.photo.value).decode() if 'photo' in c.contents
                           else '',
                  'phototype': c.photo.params.get('TYPE', [''])[0] if 'photo' in c.contents
                               else ''})
print(json.dumps(cards, ensure_ascii=False))
)"_s,
                           out});
    QVERIFY2(p->exitCode() == 0, p->readAllStandardError().constData());
    const QJsonArray cards = QJsonDocument::fromJson(p->readAllStandardOutput()).array();
    QCOMPARE(cards.size(), People.size());
    for (const Person &person : People) {
        const auto it = std::find_if(cards.begin(), cards.end(), [&](const QJsonValue &v) {
            return v.toObject().value(u"fn"_s).toString() == person.name;
        });
        QVERIFY2(it != cards.end(), qPrintable(person.name));
        const QJsonObject card = it->toObject();
        QStringList tels;
        for (const QJsonValue &t : card.value(u"tel"_s).toArray())
            tels << t.toString();
        QStringList expected{person.hand};
        if (!person.work.isEmpty())
            expected << person.work;
        QCOMPARE(tels, expected);
        QCOMPARE(card.value(u"note"_s).toString(), person.note);
        const bool pictured = person.name == u"김철수";
        QCOMPARE(QByteArray::fromBase64(card.value(u"photo"_s).toString().toLatin1()),
                 pictured ? photo() : QByteArray());
        QCOMPARE(card.value(u"phototype"_s).toString(), pictured ? u"JPEG"_s : QString());
    }
}

void TestContactPeers::khardListsAVCardFolder()
{
    const QString khard = QStandardPaths::findExecutable(u"khard"_s);
    if (khard.isEmpty())
        QSKIP("khard is not installed (apt-get install khard)");
    const QString folder = m_tmp->filePath(u"sync"_s);
    QCOMPARE(
        ContactExport::Export({m_data, m_data, folder, ContactExport::Format::VCardFolder, false})
            .written,
        People.size());
    const QString config = m_tmp->filePath(u"khard.conf"_s);
    TestFiles::write(config, "[addressbooks]\n[[vandrel]]\npath = " + folder.toUtf8() + "\n");
    QProcess *list = run(khard, {u"-c"_s, config, u"list"_s});
    QProcess *phones = run(khard, {u"-c"_s, config, u"phone"_s});
    const QString listed = QString::fromUtf8(list->readAllStandardOutput());
    const QString numbers = QString::fromUtf8(phones->readAllStandardOutput());
    QVERIFY2(list->exitCode() == 0, list->readAllStandardError().constData());
    for (const Person &p : People) {
        QVERIFY2(listed.contains(p.name), qPrintable(listed));
        QVERIFY2(numbers.contains(p.hand), qPrintable(numbers));
        QVERIFY2(numbers.contains(p.work), qPrintable(numbers));
    }
}

void TestContactPeers::importsWhatVobjectWrites()
{
    const QString py = python();
    if (py.isEmpty())
        QSKIP("python3-vobject is not installed (apt-get install python3-vobject)");
    const QString file = m_tmp->filePath(u"peer.vcf"_s);
    QProcess *p = run(py, {u"-c"_s, uR"(
import sys, vobject
c = vobject.vCard()
c.add('n').value = vobject.vcard.Name(family='이', given='영희')
c.add('fn').value = '이영희'
t = c.add('tel'); t.value = '010-5555-6666'; t.type_param = 'CELL'
t = c.add('tel'); t.value = '051-123-4567'; t.type_param = 'WORK'
c.add('email').value = 'younghee@example.kr'
a = c.add('adr'); a.type_param = 'HOME'
a.value = vobject.vcard.Address(street='해운대로 1, 101동', city='부산', code='48000')
c.add('org').value = ['동아식품', '총무부']
c.add('note').value = '메모; 세미콜론\n둘째 줄'
open(sys.argv[1], 'w', encoding='utf-8', newline='').write(c.serialize())
)"_s,
                           file});
    QVERIFY2(p->exitCode() == 0, p->readAllStandardError().constData());
    const ContactReport report = ContactImport::Import({file}, m_data);
    QCOMPARE(report.written, 1);
    const profile::Snapshot r(QDir(m_data).filePath(u"이영희.txt"_s));
    QCOMPARE(ReadRecordValue(r, u"Hand"_s), u"010-5555-6666"_s);
    QCOMPARE(ReadRecordValue(r, u"ODDD"_s), u"051"_s);
    QCOMPARE(ReadRecordValue(r, u"OPh1"_s), u"123-4567"_s);
    QCOMPARE(ReadRecordValue(r, u"EMail"_s), u"younghee@example.kr"_s);
    QCOMPARE(ReadRecordValue(r, u"ONme"_s), u"동아식품"_s);
    QCOMPARE(ReadRecordValue(r, u"OPst"_s), u"총무부"_s);
    QCOMPARE(ReadRecordValue(r, u"HZip"_s), u"48000"_s);
    // Korean order: the city before the street.
    QCOMPARE(ReadRecordLines(r, u"HAdd"_s), QStringList({u"부산 해운대로 1, 101동"_s}));
    QCOMPARE(ReadRecordLines(r, u"Memo"_s), QStringList({u"메모; 세미콜론"_s, u"둘째 줄"_s}));
}

QTEST_GUILESS_MAIN(TestContactPeers)
#include "tst_contactpeers.moc"
