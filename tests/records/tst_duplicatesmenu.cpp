#include "app/ProjectInc.h"
#include "navigator/MenuTree.h"
#include "navigator/zuTree.h"
#include "platform/Job.h"
#include "platform/ShellFiles.h"
#include "records/FindDuplicates.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The 파일 menu's 중복 찾기: the groups it shows, what 합치기 and 다른 사람 leave on the disk.
class TestDuplicatesMenu : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void mergeOrKeepApart_data();
    void mergeOrKeepApart();
    void importOffersTheDuplicates_data();
    void importOffersTheDuplicates();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TzuPrjInfo> m_info;
    std::unique_ptr<TfrmMenuAndTree> m_pane;
    QProgressBar m_bar;
    QString m_data;
};

void TestDuplicatesMenu::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_data = QDir::toNativeSeparators(m_dir->filePath(u"data"_s));
    QDir().mkpath(m_dir->filePath(u"bin"_s));
    QDir().mkpath(m_dir->filePath(u"data/친구"_s));
    TestFiles::write(m_dir->filePath(u"data/김 철수.txt"_s),
                     "[data]\r\nHand=01012345678\r\nEMail=kim@a.kr\r\n"
                     "[Memo]\r\nmany=1\r\n1=둘째\r\n");
    TestFiles::write(m_dir->filePath(u"data/친구/김철수.txt"_s),
                     "[data]\r\nHand=010-1234-5678\r\n[Memo]\r\nmany=1\r\n1=첫째\r\n");
    m_info = std::make_unique<TzuPrjInfo>(m_dir->filePath(u"bin"_s));
    zuPrjInfo = m_info.get();
    TestFiles::write(m_info->SettingsFileName(),
                     "[PROGRAM]\r\nDirData=" + m_data.toUtf8() + "\r\n");
    m_pane = std::make_unique<TfrmMenuAndTree>();
    m_pane->ProgressBar = &m_bar;
    m_pane->ProgramSettings = &m_info->settings();
    m_pane->InitPane();
    m_pane->Tree->ShowRecord = [](const QString &) {};
    m_pane->show();
}

void TestDuplicatesMenu::cleanup()
{
    m_pane.reset();
    zuPrjInfo = nullptr;
    m_info.reset();
}

void TestDuplicatesMenu::mergeOrKeepApart_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("left"); // the record files afterwards, below the data folder
    QTest::newRow("merge into the one in the folder")
        << u"btnConfirm"_s << QStringList{u"친구/김철수.txt"_s};
    QTest::newRow("different people")
        << u"btnNotSame"_s << QStringList{u"김 철수.txt"_s, u"친구/김철수.txt"_s};
}

void TestDuplicatesMenu::mergeOrKeepApart()
{
    QFETCH(QString, button);
    QFETCH(QStringList, left);
    QTemporaryDir trash;
    ShellFiles::SetTrashFunction([&](const QString &p, QString *) {
        return QFile::rename(p, trash.filePath(QFileInfo(p).fileName()));
    });
    ScriptedDialogs dialogs;
    QString seen;
    dialogs.queueDialog([&](QDialog &d) {
        auto *dialog = qobject_cast<TfrmFindDuplicates *>(&d);
        if (!dialog)
            return int(QDialog::Rejected);
        [&] {
            QTRY_VERIFY(!dialog->Searching());
            QCOMPARE(dialog->lstGroups->count(), 1);
            seen = dialog->lstGroups->item(0)->text();
            // The records side by side: the mail differs, the number does not.
            const QTableWidget *table = dialog->tblFields;
            QCOMPARE(table->columnCount(), 4);
            QStringList captions;
            for (int row = 0; row < table->rowCount(); ++row)
                captions << table->item(row, 0)->text();
            QCOMPARE(captions, (QStringList{u"핸드폰"_s, u"≠ E-Mail"_s, u"≠ 메모"_s}));
            // Kept: the one in 친구, with the other's mail and both notes.
            dialog->cmbKept->setCurrentIndex(dialog->cmbKept->findData(
                QDir::toNativeSeparators(QDir(m_data).filePath(u"친구/김철수.txt"_s))));
            QCOMPARE(dialog->edtName->text(), u"김철수"_s);
            QComboBox *mail = dialog->Choice(FieldIndex(u"EMail"));
            QVERIFY(mail);
            QCOMPARE(mail->currentText(), u"김 철수: kim@a.kr"_s);
            QCOMPARE(dialog->Choice(FieldIndex(u"Memo"))->currentData().toInt(), -1);
            dialogs.queueButton(DialogService::Yes);
            QTest::mouseClick(dialog->findChild<QPushButton *>(button), Qt::LeftButton);
            QCOMPARE(dialog->lstGroups->count(), 0);
        }();
        return int(QDialog::Rejected);
    });
    m_pane->actFindDuplicates->trigger();
    ShellFiles::SetTrashFunction({});
    QVERIFY2(seen.contains(u"같은 핸드폰 010-1234-5678"_s), qPrintable(seen));
    QStringList files;
    for (const QString &rel : {u"김 철수.txt"_s, u"친구/김철수.txt"_s})
        if (QFileInfo::exists(QDir(m_data).filePath(rel)))
            files << rel;
    QCOMPARE(files, left);
    const Record kept = Record::Read(QDir(m_data).filePath(u"친구/김철수.txt"_s));
    if (button == u"btnConfirm") {
        QCOMPARE(kept.Value(u"EMail"), u"kim@a.kr"_s);
        QCOMPARE(kept.Lines(u"Memo"), (QStringList{u"첫째"_s, u"둘째"_s}));
        QVERIFY(QFileInfo::exists(trash.filePath(u"김 철수.txt"_s)));
    } else {
        QCOMPARE(kept.Value(u"EMail"), QString());
        // Not offered again.
        dialogs.queueDialog([&](QDialog &d) {
            auto *dialog = qobject_cast<TfrmFindDuplicates *>(&d);
            [&] {
                QVERIFY(dialog);
                QTRY_VERIFY(!dialog->Searching());
                QCOMPARE(dialog->lstGroups->count(), 0);
                seen = u"none"_s;
            }();
            return int(QDialog::Rejected);
        });
        m_pane->actFindDuplicates->trigger();
        QCOMPARE(seen, u"none"_s);
    }
}

void TestDuplicatesMenu::importOffersTheDuplicates_data()
{
    QTest::addColumn<QByteArray>("card");
    QTest::addColumn<int>("offered"); // records of the group 중복 찾기 opens with; 0: no offer
    QTest::newRow("the same mobile in another notation")
        << QByteArray("FN:김철수\r\nTEL;TYPE=CELL:+82 10-1234-5678\r\n") << 3;
    QTest::newRow("nobody like it")
        << QByteArray("FN:이영희\r\nTEL;TYPE=CELL:010-5555-6666\r\n") << 0;
}

void TestDuplicatesMenu::importOffersTheDuplicates()
{
    QFETCH(QByteArray, card);
    QFETCH(int, offered);
    const QString vcf = m_dir->filePath(u"phone.vcf"_s);
    TestFiles::write(vcf, "BEGIN:VCARD\r\nVERSION:3.0\r\n" + card + "END:VCARD\r\n");
    ScriptedDialogs dialogs;
    dialogs.queueOpenFiles(QStringList{vcf});
    dialogs.queueButton(DialogService::Ok); // the report
    dialogs.queueButton(DialogService::Yes);
    int shown = -1;
    QString made;
    dialogs.queueDialog([&](QDialog &d) {
        auto *dialog = qobject_cast<TfrmFindDuplicates *>(&d);
        [&] {
            QVERIFY(dialog);
            QTRY_VERIFY(!dialog->Searching());
            QCOMPARE(dialog->Groups().size(), 1);
            shown = int(dialog->Groups().first().paths.size());
            made = dialog->Groups().first().paths.join(u',');
        }();
        return int(QDialog::Rejected);
    });
    m_pane->actImport->trigger();
    QVERIFY(Jobs::instance().waitAll());
    QTRY_VERIFY(dialogs.messageCount() >= 1);
    const QString report = dialogs.messageTexts().first();
    if (offered == 0) {
        QVERIFY2(!report.contains(u"같아 보이는"_s), qPrintable(report));
        QCOMPARE(dialogs.messageCount(), 1);
        QCOMPARE(dialogs.dialogCount(), 0);
        return;
    }
    QVERIFY2(report.contains(u"이미 있는 자료와 같아 보이는 자료 1개:"_s)
                 && report.contains(u"같은 핸드폰 010-1234-5678"_s),
             qPrintable(report));
    QTRY_COMPARE(shown, offered);
    QVERIFY2(made.contains(QDir::toNativeSeparators(QDir(m_data).filePath(u"김철수.txt"_s))),
             qPrintable(made));
}

QTEST_MAIN(TestDuplicatesMenu)
#include "tst_duplicatesmenu.moc"
