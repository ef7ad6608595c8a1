#include "platform/Application.h"
#include "platform/DesktopDialogs.h"
#include "platform/Errors.h"
#include "support/ScriptedDialogs.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// A button whose click handler fails the way a failed settings write does.
class FailingButton : public QPushButton
{
public:
    int attempts = 0;
    int completed = 0;

protected:
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        ++attempts;
        if (attempts == 1)
            throw WriteError(QStringLiteral("/tmp/Vandrel.ini"));
        ++completed;
        QPushButton::mouseReleaseEvent(event);
    }
};

} // namespace

class TestApplication : public QObject
{
    Q_OBJECT
private slots:
    void errorInEventHandlerIsShownAndProgramGoesOn();
    void otherErrorsAreShownToo();
    void guardedReportsAndReturnsFalse();
    void desktopDialogsAnswerOnceTheResponderIsGone();
};

void TestApplication::errorInEventHandlerIsShownAndProgramGoesOn()
{
    ScriptedDialogs dialogs;
    VandrelApplication::setTitle(QStringLiteral("Vandrel 1.0 release 1"));
    FailingButton button;
    button.show();
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(dialogs.messageCount(), 1);
    const DialogService::Message &shown = dialogs.asked.first().message;
    QCOMPARE(shown.text, QStringLiteral("Unable to write to /tmp/Vandrel.ini"));
    QCOMPARE(shown.icon, DialogService::Icon::Error);
    QCOMPARE(shown.caption, QStringLiteral("Vandrel 1.0 release 1"));
    QCOMPARE(button.completed, 0);

    // The program still handles events afterwards.
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(button.completed, 1);
    bool timerRan = false;
    QTimer::singleShot(0, this, [&] { timerRan = true; });
    QTRY_VERIFY(timerRan);
    QCOMPARE(dialogs.messageCount(), 1);
}

void TestApplication::otherErrorsAreShownToo()
{
    ScriptedDialogs dialogs;
    QObject target;
    bool after = false;
    // Errors from a queued call are delivered through the application object as well.
    QMetaObject::invokeMethod(
        &target, [] { throw std::runtime_error("disk on fire"); }, Qt::QueuedConnection);
    QMetaObject::invokeMethod(
        &target, [&] { after = true; }, Qt::QueuedConnection);
    QTRY_VERIFY(after);
    QCOMPARE(dialogs.lastText(), QStringLiteral("disk on fire"));
}

void TestApplication::guardedReportsAndReturnsFalse()
{
    ScriptedDialogs dialogs;
    QVERIFY(VandrelApplication::guarded([] {}));
    QVERIFY(!VandrelApplication::guarded([] { throw VandrelError(QStringLiteral("stop")); }));
    QCOMPARE(dialogs.messageCount(), 1);
    QCOMPARE(dialogs.lastText(), QStringLiteral("stop"));
}

void TestApplication::desktopDialogsAnswerOnceTheResponderIsGone()
{
    {
        ScriptedDialogs dialogs;
    }
    QVERIFY(dynamic_cast<DesktopDialogs *>(&DialogService::current()));
}

int main(int argc, char **argv)
{
    VandrelApplication app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_application.moc"
