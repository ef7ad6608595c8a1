#include "FindDuplicates.h"

#include "PhoneFun.h"
#include "platform/DialogService.h"
#include "platform/Job.h"
#include "platform/Paths.h"
#include "widgets/funcs.h"

#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTableWidget>

#include <memory>

namespace {

QString folderOf(const QString &path)
{
    return Paths::WithoutTrailingSeparators(path.left(path.size() - Paths::FileName(path).size()));
}

// A value as one cell shows it: lines joined, a number with its block's area code.
QString shown(const Record &record, int field)
{
    const int code = AreaCodeIndex(field);
    const QString text = record.Text(field);
    if (code >= 0 && !text.isEmpty() && !record.Value(code).isEmpty())
        return record.Value(code) + u'-' + text;
    return QString(text).replace(u'\n', QStringLiteral(" / "));
}

} // namespace

TfrmFindDuplicates::TfrmFindDuplicates(const QString &root, QWidget *parent,
                                       const QStringList &only)
    : TfrmBlueDialog(parent)
    , m_root(root)
    , m_only(only)
{
    setObjectName(QStringLiteral("frmFindDuplicates"));
    setWindowTitle(QStringLiteral("중복 찾기"));
    SetClientSize(760, 470);
    const int top = StripHeight + 8;

    auto *labGroups = new QLabel(QStringLiteral("중복 묶음(&G)"), ClientArea());
    labGroups->setGeometry(10, top, 220, 16);
    lstGroups = new QListWidget(ClientArea());
    lstGroups->setObjectName(QStringLiteral("lstGroups"));
    lstGroups->setAccessibleName(QStringLiteral("중복 묶음"));
    lstGroups->setGeometry(10, top + 18, 220, 330);
    labGroups->setBuddy(lstGroups);

    auto *labFields = new QLabel(QStringLiteral("항목별로 남길 값(&V)"), ClientArea());
    labFields->setGeometry(240, top, 300, 16);
    tblFields = new QTableWidget(ClientArea());
    tblFields->setObjectName(QStringLiteral("tblFields"));
    tblFields->setAccessibleName(QStringLiteral("자료 비교"));
    tblFields->setGeometry(240, top + 18, 510, 330);
    tblFields->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblFields->verticalHeader()->setVisible(false);
    labFields->setBuddy(tblFields);

    const int line = top + 358;
    auto *labKept = new QLabel(QStringLiteral("남길 자료(&K)"), ClientArea());
    labKept->setGeometry(10, line, 70, 20);
    cmbKept = new QComboBox(ClientArea());
    cmbKept->setObjectName(QStringLiteral("cmbKept"));
    cmbKept->setAccessibleName(QStringLiteral("남길 자료"));
    cmbKept->setGeometry(82, line, 150, 20);
    labKept->setBuddy(cmbKept);
    auto *labName = new QLabel(QStringLiteral("이름(&N)"), ClientArea());
    labName->setGeometry(240, line, 50, 20);
    edtName = new QLineEdit(ClientArea());
    edtName->setObjectName(QStringLiteral("edtName"));
    edtName->setAccessibleName(QStringLiteral("합친 자료의 이름"));
    edtName->setGeometry(292, line, 160, 20);
    labName->setBuddy(edtName);
    auto *labFolder = new QLabel(QStringLiteral("폴더(&F)"), ClientArea());
    labFolder->setGeometry(462, line, 50, 20);
    cmbFolder = new QComboBox(ClientArea());
    cmbFolder->setObjectName(QStringLiteral("cmbFolder"));
    cmbFolder->setAccessibleName(QStringLiteral("합친 자료의 폴더"));
    cmbFolder->setGeometry(514, line, 236, 20);
    labFolder->setBuddy(cmbFolder);

    const int buttons = line + 32;
    lblStatus = new QLabel(ClientArea());
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setGeometry(10, buttons, 420, 22);
    btnConfirm->setText(QStringLiteral("합치기(&M)"));
    btnConfirm->setGeometry(480, buttons, 80, 22);
    btnNotSame = new TzuGradiButton(QStringLiteral("다른 사람(&D)"), ClientArea());
    btnNotSame->setObjectName(QStringLiteral("btnNotSame"));
    btnNotSame->setAutoDefault(false);
    btnNotSame->SetColors(zuGradiColors1);
    btnNotSame->setGeometry(570, buttons, 90, 22);
    btnCancel->setText(QStringLiteral("닫기(&C)"));
    btnCancel->setGeometry(670, buttons, 80, 22);
    SetTabChain(
        {lstGroups, tblFields, cmbKept, edtName, cmbFolder, btnConfirm, btnNotSame, btnCancel});

    connect(lstGroups, &QListWidget::currentRowChanged, this, &TfrmFindDuplicates::lstGroupsChange);
    connect(cmbKept, &QComboBox::currentIndexChanged, this, &TfrmFindDuplicates::cmbKeptChange);
    connect(btnNotSame, &QPushButton::clicked, this, &TfrmFindDuplicates::btnNotSameClick);
    lstGroupsChange();
}

TfrmFindDuplicates::~TfrmFindDuplicates()
{
    if (m_job) {
        m_job->cancel();
        m_job->waitForWork();
    }
}

void TfrmFindDuplicates::Search()
{
    if (m_job)
        return;
    lblStatus->setText(QStringLiteral("찾는 중..."));
    auto found = std::make_shared<QList<Duplicates::Group>>();
    const QString root = m_root;
    const QStringList only = m_only;
    m_job = Job::start(QStringLiteral("중복 찾기"), [found, root, only](Job &job) {
        *found = Duplicates::Find(root, job.cancelFlag(),
                                  [&job](qint64 done, qint64 total) { job.report(done, total); });
        if (only.isEmpty())
            return;
        QList<Duplicates::Group> wanted;
        for (const Duplicates::Group &g : std::as_const(*found))
            if (std::any_of(g.paths.begin(), g.paths.end(), [&](const QString &p) {
                    return std::any_of(only.begin(), only.end(), [&](const QString &o) {
                        return Paths::Native(o) == Paths::Native(p);
                    });
                }))
                wanted << g;
        *found = wanted;
    });
    connect(m_job, &Job::finished, this, [this, found] {
        m_groups = *found;
        ShowGroups();
        emit searchDone();
    });
}

void TfrmFindDuplicates::ShowGroups()
{
    lstGroups->clear();
    for (const Duplicates::Group &g : std::as_const(m_groups)) {
        auto *item = new QListWidgetItem(QStringLiteral("%1 외 %2개 — %3")
                                             .arg(FileBaseName(g.paths.first()))
                                             .arg(g.paths.size() - 1)
                                             .arg(g.Reason()),
                                         lstGroups);
        // The list is narrow; the whole reason and every member on pointing.
        QStringList names;
        for (const QString &p : g.paths)
            names << QDir(m_root).relativeFilePath(p);
        item->setToolTip(g.Reason() + u'\n' + names.join(u'\n'));
    }
    lblStatus->setText(m_groups.isEmpty() ? QStringLiteral("중복으로 보이는 자료가 없습니다.")
                                          : QStringLiteral("중복 묶음 %1개").arg(m_groups.size()));
    if (!m_groups.isEmpty())
        lstGroups->setCurrentRow(0);
    lstGroupsChange();
}

int TfrmFindDuplicates::CurrentGroup() const
{
    const int row = lstGroups->currentRow();
    return row >= 0 && row < m_groups.size() ? row : -1;
}

void TfrmFindDuplicates::lstGroupsChange()
{
    const int at = CurrentGroup();
    tblFields->clear();
    m_rows.clear();
    m_records.clear();
    cmbKept->clear();
    cmbFolder->clear();
    edtName->clear();
    btnConfirm->setEnabled(at >= 0);
    btnNotSame->setEnabled(at >= 0);
    cmbKept->setEnabled(at >= 0);
    edtName->setEnabled(at >= 0);
    cmbFolder->setEnabled(at >= 0);
    if (at < 0) {
        tblFields->setRowCount(0);
        tblFields->setColumnCount(0);
        return;
    }
    const Duplicates::Group &g = m_groups.at(at);
    QStringList headers{QStringLiteral("항목")};
    const QDir root(m_root);
    for (const QString &p : g.paths) {
        m_records << Record::Read(p);
        const QString rel = root.relativeFilePath(folderOf(p));
        headers << FileBaseName(p);
        cmbKept->addItem(
            rel == u"." ? FileBaseName(p) : QStringLiteral("%1 (%2)").arg(FileBaseName(p), rel), p);
        if (cmbFolder->findData(folderOf(p)) < 0)
            cmbFolder->addItem(rel == u"." ? QStringLiteral("(자료 폴더)") : rel, folderOf(p));
    }
    headers << QStringLiteral("남길 값");
    for (int i = 0; i < RecordFieldCount; ++i)
        if (std::any_of(m_records.begin(), m_records.end(),
                        [i](const Record &r) { return !r.Text(i).isEmpty(); }))
            m_rows << i;
    tblFields->setColumnCount(int(headers.size()));
    tblFields->setHorizontalHeaderLabels(headers);
    tblFields->setRowCount(int(m_rows.size()));
    for (int row = 0; row < m_rows.size(); ++row) {
        const int field = m_rows.at(row);
        const RecordField &f = RecordFields[size_t(field)];
        QStringList values;
        for (const Record &r : std::as_const(m_records))
            values << shown(r, field);
        // Numbers differ only when their digits do, whatever the notation.
        QStringList distinct;
        for (const Record &r : std::as_const(m_records)) {
            const int code = AreaCodeIndex(field);
            const QString key =
                f.IsTelephone()
                    ? Duplicates::NumberKey(code >= 0 ? r.Value(code) : QString(), r.Value(field))
                    : QString();
            const QString text = key.isEmpty() ? r.Text(field).trimmed() : key;
            if (!text.isEmpty() && !distinct.contains(text))
                distinct << text;
        }
        const bool differs = distinct.size() > 1 || values.contains(QString());
        auto *caption =
            new QTableWidgetItem((differs ? QStringLiteral("≠ ") : QString()) + FieldCaption(f));
        if (differs) {
            QFont bold = caption->font();
            bold.setBold(true);
            caption->setFont(bold);
            caption->setToolTip(QStringLiteral("값이 다릅니다"));
        }
        tblFields->setItem(row, 0, caption);
        for (int c = 0; c < values.size(); ++c)
            tblFields->setItem(row, c + 1, new QTableWidgetItem(values.at(c)));
        auto *choice = new QComboBox(tblFields);
        choice->setObjectName(f.Name());
        choice->setAccessibleName(f.SpokenName() + QStringLiteral(" 남길 값"));
        for (int c = 0; c < values.size(); ++c)
            if (!values.at(c).isEmpty())
                choice->addItem(QStringLiteral("%1: %2").arg(headers.at(c + 1), values.at(c)), c);
        // Notes and addresses are kept from every record unless the user says otherwise.
        if (f.multiLine && distinct.size() > 1) {
            choice->insertItem(0, QStringLiteral("모두 (줄을 이어서)"), -1);
            choice->setCurrentIndex(0);
        }
        tblFields->setCellWidget(row, int(headers.size()) - 1, choice);
    }
    tblFields->resizeColumnsToContents();
    // Tab goes down the choices between the table and the boxes below it.
    QWidget *previous = tblFields;
    for (int field : std::as_const(m_rows))
        if (QComboBox *choice = Choice(field)) {
            setTabOrder(previous, choice);
            previous = choice;
        }
    setTabOrder(previous, cmbKept);
    cmbKeptChange();
}

void TfrmFindDuplicates::cmbKeptChange()
{
    const int kept = cmbKept->currentIndex();
    if (kept < 0)
        return;
    const QString path = cmbKept->currentData().toString();
    edtName->setText(FileBaseName(path));
    cmbFolder->setCurrentIndex(cmbFolder->findData(folderOf(path)));
    // Where the records differ, the kept record's value goes first.
    for (int row = 0; row < m_rows.size(); ++row) {
        QComboBox *choice = Choice(m_rows.at(row));
        const int own = choice ? choice->findData(kept) : -1;
        if (own >= 0 && choice->itemData(choice->currentIndex()).toInt() >= 0)
            choice->setCurrentIndex(own);
    }
}

QComboBox *TfrmFindDuplicates::Choice(int field) const
{
    const qsizetype row = m_rows.indexOf(field);
    if (row < 0)
        return nullptr;
    return qobject_cast<QComboBox *>(tblFields->cellWidget(int(row), tblFields->columnCount() - 1));
}

void TfrmFindDuplicates::btnConfirmClick()
{
    const int at = CurrentGroup();
    if (at < 0)
        return;
    const Duplicates::Group &g = m_groups.at(at);
    DialogService &dialogs = DialogService::current();
    const QString name = TrimName(edtName->text());
    if (const int problem = CheckEntryName(name, Paths::WithSeparator(m_root), false, false)) {
        dialogs.message({this, DialogService::Icon::Error, windowTitle(), NameMessageText(problem),
                         DialogService::Ok, DialogService::Ok});
        edtName->setFocus();
        return;
    }
    if (dialogs.message(
            {this, DialogService::Icon::Question, windowTitle(),
             QStringLiteral("자료 %1개를 '%2' 하나로 합칠까요?\n다른 자료는 휴지통으로 갑니다.")
                 .arg(g.paths.size())
                 .arg(name),
             DialogService::Yes | DialogService::No, DialogService::No})
        != DialogService::Yes)
        return;
    QList<int> choice(RecordFieldCount, cmbKept->currentIndex());
    for (int field : std::as_const(m_rows))
        if (QComboBox *box = Choice(field); box && box->currentIndex() >= 0)
            choice[field] = box->currentData().toInt();
    const Duplicates::Merge merge{
        g.paths, cmbKept->currentIndex(), name, cmbFolder->currentData().toString(),
        Duplicates::MergedValues(m_records, choice, cmbKept->currentIndex())};
    const QString why = Duplicates::MergeRecords(merge);
    if (!why.isEmpty()) {
        dialogs.message({this, DialogService::Icon::Error, windowTitle(), why, DialogService::Ok,
                         DialogService::Ok});
        return;
    }
    RemoveCurrentGroup();
}

void TfrmFindDuplicates::btnNotSameClick()
{
    const int at = CurrentGroup();
    if (at < 0)
        return;
    const QString why = Duplicates::MarkNotDuplicates(m_root, m_groups.at(at));
    if (!why.isEmpty()) {
        DialogService::current().message({this, DialogService::Icon::Error, windowTitle(), why,
                                          DialogService::Ok, DialogService::Ok});
        return;
    }
    RemoveCurrentGroup();
}

void TfrmFindDuplicates::RemoveCurrentGroup()
{
    const int at = CurrentGroup();
    m_groups.removeAt(at);
    const QSignalBlocker blocker(lstGroups);
    delete lstGroups->takeItem(at);
    lblStatus->setText(m_groups.isEmpty() ? QStringLiteral("남은 중복 묶음이 없습니다.")
                                          : QStringLiteral("중복 묶음 %1개").arg(m_groups.size()));
    lstGroups->setCurrentRow(std::min(at, int(m_groups.size()) - 1));
    lstGroupsChange();
}

void TfrmFindDuplicates::done(int result)
{
    // Closing stops a search that still runs.
    if (m_job)
        m_job->cancel();
    TfrmBlueDialog::done(result);
}
