#include "platform/DialogService.h"

#include <QTest>

// Without a widget application (the command line) nothing is shown: a widget made here would end
// the process.
class TestDialogService : public QObject
{
    Q_OBJECT
private slots:
    void messageGetsItsDefaultButton_data();
    void messageGetsItsDefaultButton();
    void everythingElseIsCancelled();
    void installAndRestore();
};

void TestDialogService::messageGetsItsDefaultButton_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("defaultButton");
    QTest::addColumn<int>("answer");
    using D = DialogService;
    QTest::newRow("the default") << int(D::Yes | D::No) << int(D::No) << int(D::No);
    QTest::newRow("no default: the first shown")
        << int(D::Cancel | D::No | D::Yes) << int(D::NoButton) << int(D::Yes);
    QTest::newRow("a default not offered") << int(D::Ok | D::Cancel) << int(D::Yes) << int(D::Ok);
    QTest::newRow("no buttons: OK") << int(D::NoButton) << int(D::NoButton) << int(D::Ok);
}

void TestDialogService::messageGetsItsDefaultButton()
{
    QFETCH(int, buttons);
    QFETCH(int, defaultButton);
    QFETCH(int, answer);
    const int given = DialogService::current().message(
        {nullptr, DialogService::Icon::Question, QStringLiteral("Confirm"),
         QStringLiteral("Vandrel 을(를) 종료할까요?"), buttons,
         DialogService::Button(defaultButton)});
    QCOMPARE(given, answer);
}

void TestDialogService::everythingElseIsCancelled()
{
    DialogService &dialogs = DialogService::current();
    QCOMPARE(dialogs.input({nullptr, QStringLiteral("새폴더"), {}, QStringLiteral("x")}),
             std::nullopt);
    const DialogService::Files files{
        nullptr, QStringLiteral("가져오기"), QStringLiteral("/tmp"), {}};
    QCOMPARE(dialogs.chooseOpenFiles(files), std::nullopt);
    QCOMPARE(dialogs.chooseSaveFile(files), std::nullopt);
    QCOMPARE(dialogs.chooseOutputFolder(files), std::nullopt);
    QCOMPARE(dialogs.choose({nullptr, {}, {}, {QStringLiteral("a"), QStringLiteral("b")}, 1}),
             std::nullopt);
}

void TestDialogService::installAndRestore()
{
    struct Always : DialogService
    {
        Button message(const Message &) override { return No; }
        std::optional<QString> input(const Input &) override { return QStringLiteral("typed"); }
        int execDialog(QDialog &) override { return Accepted; }
    } always;
    const DialogService::Message question{
        nullptr, DialogService::Icon::Question,          {},
        {},      DialogService::Yes | DialogService::No, DialogService::Yes};
    DialogService::install(&always);
    QCOMPARE(DialogService::current().message(question), DialogService::No);
    DialogService::install(nullptr);
    QCOMPARE(DialogService::current().message(question), DialogService::Yes);
    QCOMPARE(DialogService::current().input({}), std::nullopt);
}

QTEST_GUILESS_MAIN(TestDialogService)
#include "tst_dialogservice.moc"
