#include "SyncSettings.h"

#include "SyncRunner.h"
#include "platform/Application.h"
#include "platform/DialogService.h"
#include "platform/Errors.h"
#include "platform/Keyring.h"
#include "platform/Paths.h"
#include "platform/Settings.h"
#include "sync/CardDavClient.h"
#include "sync/SyncAccount.h"
#include "sync/SyncState.h"
#include "widgets/funcs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
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

} // namespace

TfrmSyncSettings::TfrmSyncSettings(const Settings &settings, QWidget *parent)
    : TfrmBlueDialog(parent)
    , m_settings(settings)
{
    setObjectName(u"frmSyncSettings"_s);
    setWindowTitle(Caption);
    SetClientSize(380, 300);
    QWidget *area = ClientArea();
    edtName = Row(new QLineEdit(area), "edtName", u"계정 이름(&A)"_s, 30, area);
    edtServer = Row(new QLineEdit(area), "edtServer", u"서버 주소(&S)"_s, 56, area);
    edtServer->setPlaceholderText(u"https://서버 주소"_s);
    edtUser = Row(new QLineEdit(area), "edtUser", u"사용자(&U)"_s, 82, area);
    edtPassword = Row(new QLineEdit(area), "edtPassword", u"암호(&P)"_s, 108, area);
    edtPassword->setEchoMode(QLineEdit::Password);
    cmbBook = Row(new QComboBox(area), "cmbBook", u"주소록(&B)"_s, 134, area, 190);
    btnFind = new TzuGradiButton(u"찾기"_s, area);
    btnFind->setObjectName(u"btnFind"_s);
    btnFind->SetColors(zuGradiColors1);
    btnFind->setGeometry(298, 134, 56, 21);
    btnFind->setAccessibleDescription(u"서버에서 주소록을 찾습니다"_s);
    edtFolder = Row(new QLineEdit(area), "edtFolder", u"폴더(&F)"_s, 160, area);
    edtFolder->setPlaceholderText(u"자료 폴더 전체"_s);
    chkPeriodic = new QCheckBox(u"주기적으로 동기화(&T)"_s, area);
    chkPeriodic->setObjectName(u"chkPeriodic"_s);
    chkPeriodic->setGeometry(12, 188, 170, 19);
    spnMinutes = new QSpinBox(area);
    spnMinutes->setObjectName(u"spnMinutes"_s);
    spnMinutes->setGeometry(184, 187, 70, 21);
    spnMinutes->setRange(Settings::entry(Settings::SyncMinutes).low,
                         Settings::entry(Settings::SyncMinutes).high);
    spnMinutes->setSuffix(u"분마다"_s);
    spnMinutes->setAccessibleName(u"동기화 간격 (분)"_s);
    lblKeyring = new QLabel(area);
    lblKeyring->setObjectName(u"lblKeyring"_s);
    lblKeyring->setGeometry(12, 214, 356, 44);
    lblKeyring->setWordWrap(true);
    btnConfirm->setGeometry(235, 266, 65, btnConfirm->height());
    btnCancel->setGeometry(302, 266, 65, btnCancel->height());
    connect(btnFind, &QPushButton::clicked, this,
            [this] { VandrelApplication::guarded([this] { btnFindClick(); }); });
    connect(chkPeriodic, &QCheckBox::toggled, spnMinutes, &QWidget::setEnabled);
    SetTabChain({edtName, edtServer, edtUser, edtPassword, cmbBook, btnFind, edtFolder, chkPeriodic,
                 spnMinutes, btnConfirm, btnCancel});

    const std::optional<SyncAccount> account = SyncAccount::Load(settings);
    SyncAccount a;
    a.name = u"주소록"_s;
    if (account)
        a = *account;
    m_loadedName = account ? a.name : QString();
    edtName->setText(a.name);
    edtServer->setText(a.server);
    edtUser->setText(a.user);
    if (!a.book.isEmpty())
        cmbBook->addItem(a.bookName.isEmpty() ? a.book : a.bookName, a.book);
    edtFolder->setText(a.folder);
    chkPeriodic->setChecked(a.periodic);
    spnMinutes->setValue(a.minutes);
    spnMinutes->setEnabled(a.periodic);
    // Whether a password is kept, or no keyring runs at all.
    QPointer<TfrmSyncSettings> self(this);
    Keyring::current().read(a.KeyringEntry(), [self](const Keyring::Result &kept) {
        if (!self)
            return;
        if (kept.ok())
            self->edtPassword->setPlaceholderText(u"키링에 저장되어 있습니다"_s);
        else if (kept.status != Keyring::Status::NotFound)
            self->lblKeyring->setText(kept.message());
    });
}

void TfrmSyncSettings::btnFindClick()
{
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
    if (account.password.isEmpty()) {
        // The kept one, where the user typed none.
        const std::optional<SyncAccount> kept = SyncAccount::Load(m_settings, m_loadedName);
        if (kept)
            account.password = Keyring::current().readBlocking(kept->KeyringEntry()).password;
    }
    auto *client = new CardDav::Client(account, this);
    btnFind->setEnabled(false);
    QPointer<TfrmSyncSettings> self(this);
    client->Discover({}, [self, client](CardDav::Discovery discovery) {
        client->deleteLater();
        if (!self)
            return;
        self->btnFind->setEnabled(true);
        if (!discovery.error.Ok()) {
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

void TfrmSyncSettings::btnConfirmClick()
{
    SyncAccount a;
    a.name = edtName->text().trimmed();
    if (!SyncAccount::ValidName(a.name)) {
        ShowErrorMessage(this, Caption, u"계정 이름을 입력하세요 (|와 ]는 쓸 수 없습니다)."_s);
        return;
    }
    a.server = edtServer->text().trimmed();
    if (const CardDav::Error bad =
            CardDav::Client::CheckAddress(CardDav::Client::AddressFromText(a.server));
        !bad.Ok()) {
        ShowErrorMessage(this, Caption, bad.Message());
        return;
    }
    a.user = edtUser->text().trimmed();
    a.book = cmbBook->currentData().toString();
    a.bookName = a.book.isEmpty() ? QString() : cmbBook->currentText();
    a.folder = edtFolder->text().trimmed();
    a.periodic = chkPeriodic->isChecked();
    a.minutes = spnMinutes->value();
    try {
        // Another address book or folder: the next sync compares both sides afresh.
        const std::optional<SyncAccount> before = SyncAccount::Load(m_settings, m_loadedName);
        const QString folder = Paths::WithoutTrailingSeparator(QDir::toNativeSeparators(
            a.folder.isEmpty() ? m_settings.dataDir()
                               : Paths::Join(m_settings.dataDir(), a.folder)));
        if (before
            && (before->book != a.book || before->server != a.server || before->folder != a.folder
                || SyncState::Load(before->StateFile(m_settings)).folder != folder)) {
            QFile::remove(before->StateFile(m_settings));
            QFile::remove(SyncState::JournalOf(before->StateFile(m_settings)));
        }
        if (!m_loadedName.isEmpty() && m_loadedName != a.name)
            SyncAccount::Remove(m_settings, m_loadedName);
        a.Save(m_settings);
    } catch (const VandrelError &e) {
        ShowErrorMessage(this, Caption, e.message());
        return;
    }
    if (!edtPassword->text().isEmpty()) {
        const Keyring::Result stored =
            Keyring::current().storeBlocking(a.KeyringEntry(), edtPassword->text());
        if (!stored.ok()) {
            SyncRunner::RememberPassword(a.KeyringEntry(), edtPassword->text());
            ShowWarningMessage(this, Caption,
                               stored.message()
                                   + u"\n암호는 저장하지 않았습니다. 동기화할 때마다 묻습니다."_s);
        }
    }
    accept();
}

bool RunSyncSettingsDialog(QWidget *owner, const Settings &settings)
{
    TfrmSyncSettings dialog(settings, owner);
    return DialogService::current().execDialog(dialog) == QDialog::Accepted;
}
