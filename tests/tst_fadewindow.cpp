#include "testmain.h"

#include "support/userdefaults.h"
#include "window/vxfadewindow.h"

#include <QCloseEvent>
#include <QSignalSpy>
#include <QTimer>
#include <QWindow>

// Ticks are driven by calling the tick slots directly with no event loop in between, so the real
// 0.01 s timer a fade starts never gets to fire; only realTimerEndsFades lets it run.
class TestFadeWindow : public QObject {
    Q_OBJECT

private:
    static inline QtMessageHandler previousHandler = nullptr;

    static void setFading(bool fading) {
        UserDefaults::standard().setObjectForKey(QVariant(fading), QStringLiteral("fadingWindows"));
    }

    // At most one fade timer runs, and it is the one in fadeTimer.
    static bool invariantHolds(const VXFadeWindow& window) {
        int running = 0;
        for (const QTimer* timer : window.findChildren<QTimer*>())
            if (timer->isActive()) {
                ++running;
                if (timer != window.fadeTimer)
                    return false;
            }
        return running == (window.fadeTimer ? 1 : 0);
    }

    // Runs a script of space-separated steps, each optionally repeated ("in*7"): show, close,
    // wm (the window manager's close), front (orderFrontRegardless), in / out (one fade-in or
    // fade-out tick), on / off (the preference), min (minimise).
    static void run(VXFadeWindow& window, const QString& script) {
        for (const QString& token : script.split(u' ', Qt::SkipEmptyParts)) {
            const QStringList parts = token.split(u'*');
            const QString step = parts.at(0);
            for (int i = 0; i < (parts.size() > 1 ? parts.at(1).toInt() : 1); ++i) {
                if (step == u"show") {
                    window.makeKeyAndOrderFront(nullptr);
                    QVERIFY(window.isVisible() && !window.isMinimized());
                } else if (step == u"close") {
                    QVERIFY(!window.close());
                } else if (step == u"wm") {
                    // What the platform does for the title bar's close button: a close event for
                    // the native window, handed on to the widget as spontaneous.
                    QVERIFY(window.windowHandle());
                    QCloseEvent event;
                    QCoreApplication::sendEvent(window.windowHandle(), &event);
                    QVERIFY(!event.isAccepted());
                } else if (step == u"in" || step == u"out") {
                    QVERIFY2(window.fadeTimer, qPrintable(token));
                    step == u"in" ? window.fadeInTimerFired() : window.fadeTimerFired();
                } else if (step == u"front") {
                    window.orderFrontRegardless();
                } else if (step == u"on" || step == u"off") {
                    setFading(step == u"on");
                } else if (step == u"min") {
                    window.showMinimized();
                } else {
                    QFAIL(qPrintable(token));
                }
                QVERIFY(invariantHolds(window));
            }
        }
    }

    static QList<double> fadeOut() {
        return {0.9, 0.8, 0.7, 0.6, 0.5, 0.4, 0.3, 0.2, 0.1, 1.3877787807814457e-16, -0.1};
    }
    static QList<double> fadeIn() { return {0.15, 0.3, 0.45, 0.6, 0.75, 0.9, 1.05}; }

private slots:
    void initTestCase() {
        // The offscreen platform warns at every opacity change; keep the log readable.
        previousHandler = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                if (type == QtWarningMsg &&
                    message.startsWith(QLatin1String("This plugin does not support")))
                    return;
                if (previousHandler)
                    previousHandler(type, context, message);
            });
    }

    void cleanupTestCase() { qInstallMessageHandler(previousHandler); }

    void scenario_data() {
        QTest::addColumn<float>("startAlpha");
        QTest::addColumn<QString>("script");      // starts with the preference on
        QTest::addColumn<float>("alpha");         // the window's alpha after the script
        QTest::addColumn<bool>("visible");        // after the script and until the fade ends
        QTest::addColumn<QString>("fade");        // the fade left running: "in", "out" or none
        QTest::addColumn<QList<double>>("ticks"); // timerAlphaValue after each tick until it ends
        QTest::addColumn<bool>("visibleAtEnd");
        QTest::addColumn<int>("closes"); // didClose, all told
        const QList<double> none;
        // Three ticks into a fade-out the alpha is the float nearest 0.7; the second value of
        // the fade-in from there stays just below 1.0 while the alpha already rounds to 1.0.
        const double from07 = double(0.7f);
        const QList<double> fromFadeOut{from07 + 0.15, from07 + 0.3, from07 + 0.45};

        QTest::newRow("first showing")
            << 0.0f << "show" << 0.0f << true << "in" << fadeIn() << true << 0;
        QTest::newRow("first showing, fading off")
            << 0.0f << "off show" << 0.0f << true << "in" << fadeIn() << true << 0;
        QTest::newRow("first showing, opaque: ends at the first tick")
            << 1.0f << "show" << 1.0f << true << "in" << QList<double>{1.15} << true << 0;
        QTest::newRow("first showing, opaque, fading off")
            << 1.0f << "off show" << 1.0f << true << "" << none << true << 0;
        QTest::newRow("opaque, fading turned on after a plain showing")
            << 1.0f << "off show on show" << 1.0f << true << "in" << QList<double>{1.15} << true
            << 0;
        QTest::newRow("minimised")
            << 0.0f << "min show" << 0.0f << true << "in" << fadeIn() << true << 0;
        QTest::newRow("again after the first fade-in: plain")
            << 0.0f << "show in*7 show" << 1.0f << true << "" << none << true << 0;
        QTest::newRow("after a fade-out: from 0.0 again")
            << 0.0f << "show in*7 close out*11 show" << 0.0f << true << "in" << fadeIn() << true
            << 1;
        QTest::newRow("before the first fade-out tick: plain")
            << 0.0f << "show in*7 close show" << 1.0f << true << "" << none << true << 0;
        QTest::newRow("three ticks into a fade-out") << 0.0f << "show in*7 close out*3 show" << 0.7f
                                                     << true << "in" << fromFadeOut << true << 0;

        QTest::newRow("close opaque: 11 ticks")
            << 0.0f << "show in*7 close" << 1.0f << true << "out" << fadeOut() << false << 1;
        QTest::newRow("close opaque, fading off: at once")
            << 0.0f << "show in*7 off close" << 1.0f << false << "" << none << false << 1;
        QTest::newRow("close during a fade-in below 1.0: ignored")
            << 0.0f << "show in*2 close" << 0.3f << true << "in" << fadeIn().sliced(2) << true << 0;
        // From 0.7 two ticks leave the double just below 1.0 but the alpha at 1.0: opaque.
        QTest::newRow("close during a fade-in, alpha rounded to 1.0")
            << 0.7f << "show in*2 close" << 1.0f << true << "out" << fadeOut() << false << 1;
        QTest::newRow("close during a fade-in, fading off: fade-in ends unseen")
            << 0.0f << "show in*2 off close" << 0.3f << false << "in" << fadeIn().sliced(2) << false
            << 1;
        QTest::newRow("show after a fade-in ended unseen: plain")
            << 0.0f << "show in*2 off close in*5 show" << 1.0f << true << "" << none << true << 1;
        QTest::newRow("close off screen: unseen fade-out")
            << 0.0f << "show in*7 off close on close" << 1.0f << false << "out" << fadeOut()
            << false << 2;
        QTest::newRow("window manager's close")
            << 0.0f << "show in*7 wm" << 1.0f << true << "out" << fadeOut() << false << 1;
        QTest::newRow("window manager's close, fading off")
            << 0.0f << "show in*7 off wm" << 1.0f << false << "" << none << false << 1;
        // The native window survives, so a later close still arrives.
        QTest::newRow("own close after the window manager's")
            << 0.0f << "show in*7 off wm show close" << 1.0f << false << "" << none << false << 2;

        QTest::newRow("front during a fade-out: goes on")
            << 0.0f << "show in*7 close out*3 front" << 1.0f << true << "out" << fadeOut().sliced(3)
            << false << 1;
        QTest::newRow("front during a fade-in: goes on")
            << 0.0f << "show in*3 front" << 1.0f << true << "in" << fadeIn().sliced(3) << true << 0;
    }

    void scenario() {
        QFETCH(float, startAlpha);
        QFETCH(QString, script);
        QFETCH(float, alpha);
        QFETCH(bool, visible);
        QFETCH(QString, fade);
        QFETCH(QList<double>, ticks);
        QFETCH(bool, visibleAtEnd);
        QFETCH(int, closes);

        setFading(true);
        VXFadeWindow window;
        QSignalSpy closed(&window, &VXFadeWindow::didClose);
        QSignalSpy byUser(&window, &VXFadeWindow::closeRequestedByUser);
        window.setAlphaValue(startAlpha);
        run(window, script);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(window.alphaValue(), alpha);
        QCOMPARE(window.isVisible(), visible);
        QCOMPARE(window.fadeTimer != nullptr, !ticks.isEmpty());

        for (qsizetype i = 0; i < ticks.size(); ++i) {
            const bool last = i == ticks.size() - 1;
            fade == u"out" ? window.fadeTimerFired() : window.fadeInTimerFired();
            QVERIFY2(
                qAbs(window.timerAlphaValue - ticks.at(i)) < 1e-9,
                qPrintable(QStringLiteral("tick %1: %2").arg(i + 1).arg(window.timerAlphaValue)));
            QCOMPARE(window.alphaValue(), qBound(0.0f, float(ticks.at(i)), 1.0f));
            // Only the last tick ends the fade: after the tenth of a fade-out the value is still
            // just above 0.0.
            QCOMPARE(window.fadeTimer == nullptr, last);
            QCOMPARE(window.isVisible(), last ? visibleAtEnd : visible);
            QVERIFY(invariantHolds(window));
        }
        QCOMPARE(window.isVisible(), visibleAtEnd);
        QCOMPARE(closed.count(), closes);
        QCOMPARE(byUser.count(), script.count(QStringLiteral("wm")));
    }

    void realTimerEndsFades() {
        setFading(true);
        VXFadeWindow window;
        QSignalSpy closed(&window, &VXFadeWindow::didClose);
        window.setAlphaValue(0.0f);
        window.makeKeyAndOrderFront(this);
        QVERIFY(window.fadeTimer);
        QTRY_VERIFY_WITH_TIMEOUT(!window.fadeTimer, 30000);
        QCOMPARE(window.alphaValue(), 1.0f);
        QVERIFY(window.isVisible());
        QVERIFY(invariantHolds(window));

        window.close();
        QVERIFY(window.fadeTimer);
        QTRY_VERIFY_WITH_TIMEOUT(!window.fadeTimer, 30000);
        QCOMPARE(window.alphaValue(), 0.0f);
        QVERIFY(!window.isVisible());
        QCOMPARE(closed.count(), 1);
        QVERIFY(invariantHolds(window));
        // The stopped timers are gone once the event loop has run.
        QTRY_VERIFY_WITH_TIMEOUT(window.findChildren<QTimer*>().isEmpty(), 30000);
    }
};

MODGATE_TEST_MAIN(TestFadeWindow)
#include "tst_fadewindow.moc"
