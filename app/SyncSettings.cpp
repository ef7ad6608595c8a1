#include "SyncSettings.h"

#include "SyncRunner.h"
#include "platform/Application.h"
#include "platform/DialogService.h"
#include "platform/Errors.h"
#include "platform/Keyring.h"
#include "platform/Settings.h"
#include "sync/CardDavClient.h"
#include "sync/SyncAccount.h"
#include "sync/SyncState.h"
#include "widgets/funcs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QSignalBlocker>
#include <QSpinBox>

using namespace Qt::StringLiterals;

namespace {

const QString Caption = u"동기화 설정"_s;

template<typename W>
W *Row(W *widget, const char *name, const QString &label, int top, QWidget *parent, int width = 250)
{
    auto *caption = new QLabel(label, parent);
    caption->setObjectName(QString::fromLatin1(name) + u"Label"_s);
    caption->setGeometry(12, top + 3, 90, 16);
    caption->setBuddy(widget);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(104, top, width, 21);
    widget->setAccessibleName(QString(label).remove(u'&'));
    return widget;
}

TzuGradiButton *Button(const QString &caption, const char *name, const QString &description,
                       const QRect &place, QWidget *parent, TzuGradiColors *colors)
{
    auto *button = new TzuGradiButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->SetColors(colors);
    button->setGeometry(place);
    button->setAccessibleDescription(description);
    return button;
}

// Another server, address book or folder than before: the next sync compares both sides afresh.
bool PointsElsewhere(const SyncAccount &before, const SyncAccount &now)
{
    return before.book != now.book || before.server != now.server || before.folder != now.folder;
}

// A keyring that refused or failed is told; one that is not there has nothing to tell.
void NoteKeyring(const Keyring::Result &r, QStringList &problems)
{
    if (r.status == Keyring::Status::Denied || r.status == Keyring::Status::Failed)
        problems << r.message();
}

} // namespace

TfrmSyncSettings::TfrmSyncSettings(const Settings &settings, QWidget *parent)
    : TfrmBlueDialog(parent)
    , m_settings(settings)
{
    setObjectName(u"frmSyncSettings"_s);
    setWindowTitle(Caption);
    SetClientSize(380, 332);
    QWidget *area = ClientArea();
    cmbAccount = Row(new QComboBox(area), "cmbAccount", u"계정(&A)"_s, 30, area);
    btnAdd = Button(u"추가(&N)"_s, "btnAdd", u"동기화할 계정을 하나 더 만듭니다"_s,
                    {104, 56, 60, 21}, area, zuGradiColors1);
    btnRename = Button(u"이름 바꾸기(&R)"_s, "btnRename", u"고른 계정의 이름을 바꿉니다"_s,
                       {168, 56, 100, 21}, area, zuGradiColors1);
    btnRemove = Button(u"삭제(&D)"_s, "btnRemove",
                       u"고른 계정과 그 암호, 동기화 상태를 지웁니다. 연락처는 남습니다"_s,
                       {272, 56, 60, 21}, area, zuGradiColors1);
    edtServer = Row(new QLineEdit(area), "edtServer", u"서버 주소(&S)"_s, 88, area);
    edtServer->setPlaceholderText(u"https://서버 주소"_s);
    edtUser = Row(new QLineEdit(area), "edtUser", u"사용자(&U)"_s, 114, area);
    edtPassword = Row(new QLineEdit(area), "edtPassword", u"암호(&P)"_s, 140, area);
    edtPassword->setEchoMode(QLineEdit::Password);
    cmbBook = Row(new QComboBox(area), "cmbBook", u"주소록(&B)"_s, 166, area, 190);
    btnFind = Button(u"찾기"_s, "btnFind", u"서버에서 주소록을 찾습니다"_s, {298, 166, 56, 21},
                     area, zuGradiColors1);
    edtFolder = Row(new QLineEdit(area), "edtFolder", u"폴더(&F)"_s, 192, area);
    edtFolder->setPlaceholderText(u"자료 폴더 전체"_s);
    chkPeriodic = new QCheckBox(u"주기적으로 동기화(&T)"_s, area);
    chkPeriodic->setObjectName(u"chkPeriodic"_s);
    chkPeriodic->setGeometry(12, 220, 170, 19);
    spnMinutes = new QSpinBox(area);
    spnMinutes->setObjectName(u"spnMinutes"_s);
    spnMinutes->setGeometry(184, 219, 70, 21);
    spnMinutes->setRange(Settings::entry(Settings::SyncMinutes).low,
                         Settings::entry(Settings::SyncMinutes).high);
    spnMinutes->setSuffix(u"분마다"_s);
    spnMinutes->setAccessibleName(u"동기화 간격 (분)"_s);
    lblKeyring = new QLabel(area);
    lblKeyring->setObjectName(u"lblKeyring"_s);
    lblKeyring->setGeometry(12, 246, 356, 44);
    lblKeyring->setWordWrap(true);
    btnConfirm->setGeometry(235, 298, 65, btnConfirm->height());
    btnCancel->setGeometry(302, 298, 65, btnCancel->height());
    const auto click = [this](TzuGradiButton *button, void (TfrmSyncSettings::*act)()) {
        connect(button, &QPushButton::clicked, this,
                [this, act] { VandrelApplication::guarded([this, act] { (this->*act)(); }); });
    };
    click(btnFind, &TfrmSyncSettings::btnFindClick);
    click(btnAdd, &TfrmSyncSettings::btnAddClick);
    click(btnRename, &TfrmSyncSettings::btnRenameClick);
    click(btnRemove, &TfrmSyncSettings::btnRemoveClick);
    connect(chkPeriodic, &QCheckBox::toggled, spnMinutes, &QWidget::setEnabled);
    connect(cmbAccount, &QComboBox::currentIndexChanged, this, [this](int index) {
        KeepAccount();
        ShowAccount(index);
    });
    SetTabChain({cmbAccount, btnAdd, btnRename, btnRemove, edtServer, edtUser, edtPassword, cmbBook,
                 btnFind, edtFolder, chkPeriodic, spnMinutes, btnConfirm, btnCancel});

    for (const QString &name : SyncAccount::Names(settings))
        if (const std::optional<SyncAccount> a = SyncAccount::Load(settings, name)) {
            m_entries.append({*a, name, {}});
            m_stored.insert(name, *a);
        }
    if (m_entries.isEmpty()) {
        // A first account, ready to be filled in.
        Entry first;
        first.account.name = u"주소록"_s;
        m_entries.append(first);
    }
    FillAccounts(0);
}

void TfrmSyncSettings::FillAccounts(int current)
{
    {
        const QSignalBlocker quiet(cmbAccount);
        cmbAccount->clear();
        for (const Entry &e : std::as_const(m_entries))
            cmbAccount->addItem(e.account.name);
        cmbAccount->setCurrentIndex(current);
    }
    ShowAccount(current);
}

void TfrmSyncSettings::ShowAccount(int index)
{
    m_current = index >= 0 && index < m_entries.size() ? index : -1;
    const bool any = m_current >= 0;
    const Entry e = any ? m_entries.at(m_current) : Entry();
    const SyncAccount &a = e.account;
    for (QWidget *w :
         std::initializer_list<QWidget *>{btnRename, btnRemove, edtServer, edtUser, edtPassword,
                                          cmbBook, btnFind, edtFolder, chkPeriodic})
        w->setEnabled(any);
    edtServer->setText(a.server);
    edtUser->setText(a.user);
    edtPassword->setText(e.password);
    edtPassword->setPlaceholderText(QString());
    cmbBook->clear();
    if (!a.book.isEmpty())
        cmbBook->addItem(a.bookName.isEmpty() ? a.book : a.bookName, a.book);
    edtFolder->setText(a.folder);
    chkPeriodic->setChecked(a.periodic);
    spnMinutes->setValue(a.minutes);
    spnMinutes->setEnabled(any && a.periodic);
    if (!any)
        return;
    // Whether a password is kept (under the name the keyring knows until OK), or no keyring
    // runs at all.
    SyncAccount kept;
    kept.name = e.stored.isEmpty() ? a.name : e.stored;
    const int shown = ++m_shown;
    QPointer<TfrmSyncSettings> self(this);
    Keyring::current().read(
        kept.KeyringEntry(), [self, shown, known = !e.stored.isEmpty()](const Keyring::Result &r) {
            if (!self)
                return;
            self->lblKeyring->setText(
                r.ok() || r.status == Keyring::Status::NotFound ? QString() : r.message());
            // A new account's name may find a password left by an account long gone.
            if (shown == self->m_shown && known && r.ok())
                self->edtPassword->setPlaceholderText(u"키링에 저장되어 있습니다"_s);
        });
}

void TfrmSyncSettings::KeepAccount()
{
    if (m_current < 0 || m_current >= m_entries.size())
        return;
    Entry &e = m_entries[m_current];
    SyncAccount &a = e.account;
    a.server = edtServer->text().trimmed();
    a.user = edtUser->text().trimmed();
    a.book = cmbBook->currentData().toString();
    a.bookName = a.book.isEmpty() ? QString() : cmbBook->currentText();
    a.folder = edtFolder->text().trimmed();
    a.periodic = chkPeriodic->isChecked();
    a.minutes = spnMinutes->value();
    e.password = edtPassword->text();
}

std::optional<QString> TfrmSyncSettings::AskName(const QString &prompt, const QString &value,
                                                 int own)
{
    DialogService::Input input;
    input.parent = this;
    input.caption = Caption;
    input.prompt = prompt;
    input.value = value;
    const std::optional<QString> typed = DialogService::current().input(input);
    if (!typed)
        return std::nullopt;
    const QString name = typed->trimmed();
    if (!SyncAccount::ValidName(name)) {
        ShowErrorMessage(this, Caption, u"계정 이름을 입력하세요 (|와 ]는 쓸 수 없습니다)."_s);
        return std::nullopt;
    }
    // The settings file tells its sections apart regardless of letter case.
    for (qsizetype i = 0; i < m_entries.size(); ++i)
        if (i != own && m_entries.at(i).account.name.compare(name, Qt::CaseInsensitive) == 0) {
            ShowErrorMessage(this, Caption,
                             u"'%1' 계정이 이미 있습니다. 다른 이름을 입력하세요."_s.arg(
                                 m_entries.at(i).account.name));
            return std::nullopt;
        }
    return name;
}

void TfrmSyncSettings::btnAddClick()
{
    const std::optional<QString> name = AskName(u"새 계정의 이름:"_s, QString(), -1);
    if (!name)
        return;
    KeepAccount();
    Entry e;
    e.account.name = *name;
    m_entries.append(e);
    FillAccounts(int(m_entries.size() - 1));
    edtServer->setFocus();
}

void TfrmSyncSettings::btnRenameClick()
{
    if (m_current < 0)
        return;
    Entry &e = m_entries[m_current];
    const std::optional<QString> name =
        AskName(u"'%1' 계정의 새 이름:"_s.arg(e.account.name), e.account.name, m_current);
    if (!name || *name == e.account.name)
        return;
    if (!e.stored.isEmpty())
        m_steps.append({e.account.name, *name});
    e.account.name = *name;
    const QSignalBlocker quiet(cmbAccount);
    cmbAccount->setItemText(m_current, *name);
}

void TfrmSyncSettings::btnRemoveClick()
{
    if (m_current < 0)
        return;
    const QString name = m_entries.at(m_current).account.name;
    const DialogService::Button answer = DialogService::current().message(
        {this, DialogService::Icon::Question, Caption,
         u"'%1' 계정을 지울까요?\n키링의 암호와 동기화 상태도 지웁니다. 연락처는 그대로 "
         u"남습니다."_s.arg(name),
         DialogService::Yes | DialogService::No, DialogService::No});
    if (answer != DialogService::Yes)
        return;
    if (!m_entries.at(m_current).stored.isEmpty())
        m_steps.append({name, QString()});
    m_entries.removeAt(m_current);
    const int next = std::min(m_current, int(m_entries.size()) - 1);
    m_current = -1; // gone: nothing of it to keep
    FillAccounts(next);
}

void TfrmSyncSettings::btnFindClick()
{
    if (m_current < 0)
        return;
    const QUrl address = CardDav::Client::AddressFromText(edtServer->text());
    if (const CardDav::Error bad = CardDav::Client::CheckAddress(address); !bad.Ok()) {
        ShowErrorMessage(this, Caption, bad.Message());
        emit found();
        return;
    }
    CardDav::Account account;
    account.address = address;
    account.user = edtUser->text().trimmed();
    account.password = edtPassword->text();
    if (const QString stored = m_entries.at(m_current).stored;
        account.password.isEmpty() && !stored.isEmpty()) {
        // The kept one, where the user typed none.
        SyncAccount kept;
        kept.name = stored;
        account.password = Keyring::current().readBlocking(kept.KeyringEntry()).password;
    }
    auto *client = new CardDav::Client(account, this);
    btnFind->setEnabled(false);
    QPointer<TfrmSyncSettings> self(this);
    client->Discover({}, [self, client, shown = m_shown](CardDav::Discovery discovery) {
        client->deleteLater();
        if (!self)
            return;
        self->btnFind->setEnabled(true);
        if (shown != self->m_shown) {
            // Another account is shown now; these books are not its.
        } else if (!discovery.error.Ok()) {
            ShowErrorMessage(self, Caption, discovery.error.Message());
        } else if (discovery.addressBooks.isEmpty()) {
            ShowErrorMessage(self, Caption, u"이 서버에 주소록이 없습니다."_s);
        } else {
            self->cmbBook->clear();
            for (const CardDav::AddressBook &book : discovery.addressBooks)
                self->cmbBook->addItem(book.displayName.isEmpty() ? book.url.path()
                                                                  : book.displayName,
                                       book.url.toString());
        }
        emit self->found();
    });
}

QStringList TfrmSyncSettings::MovePasswords()
{
    Keyring &keyring = Keyring::current();
    QStringList problems;
    const auto note = [&problems](const Keyring::Result &r) { NoteKeyring(r, problems); };
    const auto entryOf = [](const QString &name) {
        SyncAccount a;
        a.name = name;
        return a.KeyringEntry();
    };
    for (const Step &step : std::as_const(m_steps)) {
        const QString from = entryOf(step.from);
        if (step.to.isEmpty()) {
            note(keyring.removeBlocking(from));
            SyncRunner::ForgetPassword(from);
            continue;
        }
        const QString to = entryOf(step.to);
        SyncRunner::MovePassword(from, to);
        const Keyring::Result kept = keyring.readBlocking(from);
        if (kept.ok()) {
            const Keyring::Result stored = keyring.storeBlocking(to, kept.password);
            note(stored);
            if (stored.ok())
                note(keyring.removeBlocking(from));
            else
                SyncRunner::RememberPassword(to, kept.password);
        } else if (kept.status == Keyring::Status::NotFound) {
            // Nothing may be left there from an account of that name long gone.
            note(keyring.removeBlocking(to));
        } else {
            note(kept);
        }
    }
    return problems;
}

void TfrmSyncSettings::btnConfirmClick()
{
    KeepAccount();
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        const CardDav::Error bad = CardDav::Client::CheckAddress(
            CardDav::Client::AddressFromText(m_entries.at(i).account.server));
        if (!bad.Ok()) {
            cmbAccount->setCurrentIndex(int(i));
            ShowErrorMessage(this, Caption, bad.Message());
            return;
        }
        if (!m_entries.at(i).account.SyncedFolder(m_settings.dataDir())) {
            cmbAccount->setCurrentIndex(int(i));
            ShowErrorMessage(this, Caption,
                             u"동기화할 폴더는 자료 폴더 안의 상대 경로로 적으십시오: %1"_s.arg(
                                 m_entries.at(i).account.folder));
            return;
        }
    }
    // A running sync writes the state a rename, a removal or another address book would move
    // or drop under it.
    QStringList touched;
    for (const Step &step : std::as_const(m_steps))
        touched << step.from;
    for (const Entry &e : std::as_const(m_entries))
        if (!e.stored.isEmpty() && PointsElsewhere(m_stored.value(e.stored), e.account))
            touched << e.stored;
    for (const QString &name : std::as_const(touched)) {
        SyncAccount account;
        account.name = name;
        if (account.Syncing(m_settings)) {
            ShowErrorMessage(this, Caption,
                             u"'%1' 계정을 지금 동기화하고 있습니다. 동기화가 끝난 뒤 다시 "
                             u"확인을 누르세요."_s.arg(name));
            return;
        }
    }
    try {
        for (const Step &step : std::as_const(m_steps)) {
            if (step.to.isEmpty())
                SyncAccount::Remove(m_settings, step.from);
            else
                SyncAccount::Rename(m_settings, step.from, step.to);
        }
        for (const Entry &e : std::as_const(m_entries)) {
            const SyncAccount &a = e.account;
            // A new account starts clean, and so does one that points elsewhere now (also a
            // data directory switched under it).
            const QString folder = a.SyncedFolder(m_settings.dataDir()).value_or(QString());
            if (e.stored.isEmpty() || PointsElsewhere(m_stored.value(e.stored), a)
                || SyncState::Load(a.StateFile(m_settings)).folder != folder)
                a.DropState(m_settings);
            a.Save(m_settings);
        }
    } catch (const VandrelError &e) {
        ShowErrorMessage(this, Caption, e.message());
        return;
    }
    QStringList problems = MovePasswords();
    bool unsaved = false;
    for (const Entry &e : std::as_const(m_entries)) {
        const QString entry = e.account.KeyringEntry();
        if (e.stored.isEmpty() && e.password.isEmpty()) {
            // One left by an account of that name long gone is not this one's.
            NoteKeyring(Keyring::current().removeBlocking(entry), problems);
            SyncRunner::ForgetPassword(entry);
        }
        if (e.password.isEmpty())
            continue;
        const Keyring::Result stored = Keyring::current().storeBlocking(entry, e.password);
        if (!stored.ok()) {
            SyncRunner::RememberPassword(entry, e.password);
            problems << stored.message();
            unsaved = true;
        }
    }
    problems.removeDuplicates();
    if (!problems.isEmpty())
        ShowWarningMessage(this, Caption,
                           problems.join(u'\n')
                               + (unsaved
                                      ? u"\n암호는 저장하지 않았습니다. 동기화할 때마다 묻습니다."_s
                                      : QString()));
    accept();
}

bool RunSyncSettingsDialog(QWidget *owner, const Settings &settings)
{
    TfrmSyncSettings dialog(settings, owner);
    return DialogService::current().execDialog(dialog) == QDialog::Accepted;
}
