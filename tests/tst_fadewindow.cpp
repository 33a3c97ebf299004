#include "testmain.h"

#include "support/userdefaults.h"
#include "window/vxfadewindow.h"

#include <QCloseEvent>
#include <QPointer>
#include <QSignalSpy>
#include <QTimer>
#include <QWindow>
#include <optional>

// Ticks are driven by calling the tick slots directly with no event loop in between, so the real
// 0.01 s timer a fade starts never gets to fire; only realTimerEndsFades lets it run.
class TestFadeWindow : public QObject {
    Q_OBJECT

private:
    static inline QtMessageHandler previousHandler = nullptr;

    static void setFading(std::optional<bool> fading) {
        UserDefaults::standard().setObjectForKey(fading ? std::optional<QVariant>(*fading)
                                                        : std::nullopt,
                                                 QStringLiteral("fadingWindows"));
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
        return window.fadeTimer ? running == 1 : running == 0;
    }

    static bool near(double actual, double expected) { return qAbs(actual - expected) < 1e-9; }

    // One tick per expected value of timerAlphaValue; the fade ends at the last one, unless
    // endsAtLast is false.
    static void expectTicks(VXFadeWindow& window, void (VXFadeWindow::*tick)(),
                            const QList<double>& values, bool visibleDuring, bool visibleAtEnd,
                            bool endsAtLast = true) {
        for (qsizetype i = 0; i < values.size(); ++i) {
            const bool last = i == values.size() - 1;
            QVERIFY2(window.fadeTimer, qPrintable(QStringLiteral("before tick %1").arg(i + 1)));
            (window.*tick)();
            const double expected = values.at(i);
            QVERIFY2(near(window.timerAlphaValue, expected),
                     qPrintable(QStringLiteral("tick %1: %2 instead of %3")
                                    .arg(i + 1)
                                    .arg(window.timerAlphaValue)
                                    .arg(expected)));
            QCOMPARE(window.alphaValue(), qBound(0.0f, float(expected), 1.0f));
            QCOMPARE(window.fadeTimer == nullptr, last && endsAtLast);
            QCOMPARE(window.isVisible(), last ? visibleAtEnd : visibleDuring);
            QVERIFY(invariantHolds(window));
        }
    }

    static const QList<double>& fadeOutTicks() {
        static const QList<double> ticks{
            0.9, 0.8, 0.7, 0.6, 0.5, 0.4, 0.3, 0.2, 0.1, 1.3877787807814457e-16, -0.1};
        return ticks;
    }

    static const QList<double>& firstFadeInTicks() {
        static const QList<double> ticks{0.15, 0.3, 0.45, 0.6, 0.75, 0.9, 1.05};
        return ticks;
    }

    // A window on screen, opaque, after its first fade-in.
    static void showOpaque(VXFadeWindow& window) {
        window.setAlphaValue(0.0f);
        window.makeKeyAndOrderFront(nullptr);
        expectTicks(window, &VXFadeWindow::fadeInTimerFired, firstFadeInTicks(), true, true);
    }

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
        UserDefaults::standard().registerDefaults({{QStringLiteral("fadingWindows"), true}});
    }

    void cleanupTestCase() { qInstallMessageHandler(previousHandler); }

    void cleanup() { setFading(std::nullopt); }

    void showing_data() {
        QTest::addColumn<float>("startAlpha");
        QTest::addColumn<bool>("fading");
        QTest::addColumn<QList<double>>("ticks"); // empty: shown at once, no fade

        QTest::newRow("first showing from 0.0") << 0.0f << true << firstFadeInTicks();
        QTest::newRow("first showing from 0.0, fading off") << 0.0f << false << firstFadeInTicks();
        QTest::newRow("first showing, opaque: ends at the first tick")
            << 1.0f << true << QList<double>{1.15};
        QTest::newRow("first showing, opaque, fading off") << 1.0f << false << QList<double>{};
        QTest::newRow("half transparent, fading off")
            << 0.5f << false << QList<double>{0.65, 0.8, 0.95, 1.1};
    }

    void showing() {
        QFETCH(float, startAlpha);
        QFETCH(bool, fading);
        QFETCH(QList<double>, ticks);
        setFading(fading);

        VXFadeWindow window;
        window.setAlphaValue(startAlpha);
        window.makeKeyAndOrderFront(this);
        QVERIFY(window.isVisible());
        QCOMPARE(window.alphaValue(), startAlpha);
        QVERIFY(invariantHolds(window));
        if (ticks.isEmpty()) {
            QVERIFY(!window.fadeTimer);
            QVERIFY(!window.launched);
            return;
        }
        QCOMPARE(window.timerAlphaValue, double(startAlpha));
        QVERIFY(window.launched);
        expectTicks(window, &VXFadeWindow::fadeInTimerFired, ticks, true, true);
        QVERIFY(window.launched);
    }

    void showingBringsBackMinimisedWindow() {
        VXFadeWindow window;
        window.setAlphaValue(0.0f);
        window.showMinimized();
        QVERIFY(window.isMinimized());
        window.makeKeyAndOrderFront(this);
        QVERIFY(!window.isMinimized());
        QVERIFY(window.isVisible());
        QVERIFY(window.fadeTimer);
    }

    void closeOpaqueFadesOutInElevenTicks() {
        VXFadeWindow window;
        showOpaque(window);
        QSignalSpy closed(&window, &VXFadeWindow::didClose);

        window.close();
        QVERIFY(window.isVisible());
        QCOMPARE(window.timerAlphaValue, 1.0);
        QVERIFY(invariantHolds(window));

        expectTicks(window, &VXFadeWindow::fadeTimerFired, fadeOutTicks().first(10), true, true,
                    false);
        // Not yet, though it is closer to 0.0 than anything float can show.
        QVERIFY(window.timerAlphaValue > 0.0);
        QCOMPARE(closed.count(), 0);
        // The tenth tick did not end the fade; the eleventh does.
        QVERIFY(window.fadeTimer);
        window.fadeTimerFired();
        QVERIFY(near(window.timerAlphaValue, -0.1));
        QCOMPARE(window.alphaValue(), 0.0f);
        QVERIFY(!window.isVisible());
        QVERIFY(!window.fadeTimer);
        QCOMPARE(closed.count(), 1);
        QVERIFY(invariantHolds(window));

        // Back from transparent: a full fade-in from 0.0.
        window.makeKeyAndOrderFront(this);
        QCOMPARE(window.timerAlphaValue, 0.0);
        expectTicks(window, &VXFadeWindow::fadeInTimerFired, firstFadeInTicks(), true, true);
    }

    void closeWithFadingOff_data() {
        QTest::addColumn<int>("fadeInTicksBefore"); // -1: opaque, no fade running
        QTest::newRow("opaque") << -1;
        QTest::newRow("during a fade-in") << 2;
    }

    void closeWithFadingOff() {
        QFETCH(int, fadeInTicksBefore);
        VXFadeWindow window;
        if (fadeInTicksBefore < 0) {
            showOpaque(window);
        } else {
            window.setAlphaValue(0.0f);
            window.makeKeyAndOrderFront(this);
            for (int i = 0; i < fadeInTicksBefore; ++i)
                window.fadeInTimerFired();
        }
        QSignalSpy closed(&window, &VXFadeWindow::didClose);
        setFading(false);

        window.close();
        QVERIFY(!window.isVisible());
        QCOMPARE(closed.count(), 1);

        if (fadeInTicksBefore >= 0) {
            // The fade-in finishes on the closed window.
            QVERIFY(window.fadeTimer);
            expectTicks(window, &VXFadeWindow::fadeInTimerFired,
                        firstFadeInTicks().sliced(fadeInTicksBefore), false, false);
        }
        QVERIFY(!window.fadeTimer);
        QCOMPARE(window.alphaValue(), 1.0f);

        // Opaque and launched: the next showing is plain.
        window.makeKeyAndOrderFront(this);
        QVERIFY(window.isVisible());
        QVERIFY(!window.fadeTimer);
        QCOMPARE(window.alphaValue(), 1.0f);
        QCOMPARE(closed.count(), 1);
    }

    void closeDuringFadeIn_data() {
        QTest::addColumn<float>("startAlpha");
        QTest::addColumn<int>("ticksBefore");
        QTest::addColumn<bool>("fadesOut");
        // 0.3 after two ticks of the first fade-in: the close is dropped.
        QTest::newRow("below 1.0") << 0.0f << 2 << false;
        // From 0.7 the second tick leaves the double just below 1.0 while the alpha rounds to
        // 1.0: the window counts as opaque, so the close fades it out.
        QTest::newRow("alpha rounded to 1.0") << 0.7f << 2 << true;
    }

    void closeDuringFadeIn() {
        QFETCH(float, startAlpha);
        QFETCH(int, ticksBefore);
        QFETCH(bool, fadesOut);
        VXFadeWindow window;
        window.setAlphaValue(startAlpha);
        window.makeKeyAndOrderFront(this);
        for (int i = 0; i < ticksBefore; ++i)
            window.fadeInTimerFired();
        QVERIFY(window.timerAlphaValue < 1.0);
        const QPointer<QTimer> fadeIn = window.fadeTimer;
        QSignalSpy closed(&window, &VXFadeWindow::didClose);

        window.close();
        QVERIFY(window.isVisible());
        QCOMPARE(closed.count(), 0);
        QVERIFY(invariantHolds(window));
        if (!fadesOut) {
            QCOMPARE(window.fadeTimer, fadeIn.data());
            const double reached = window.timerAlphaValue;
            window.fadeInTimerFired();
            QVERIFY(near(window.timerAlphaValue, reached + 0.15));
            return;
        }
        QVERIFY(window.fadeTimer != fadeIn.data());
        QVERIFY(!fadeIn || !fadeIn->isActive());
        QCOMPARE(window.timerAlphaValue, 1.0);
        expectTicks(window, &VXFadeWindow::fadeTimerFired, fadeOutTicks(), true, false);
        QCOMPARE(closed.count(), 1);
    }

    void showDuringFadeOut_data() {
        QTest::addColumn<int>("fadeOutTicks");
        QTest::addColumn<QList<double>>("fadeInTicks"); // empty: shown at once, no fade

        // The game exited within the pause: the fade-out has not ticked yet.
        QTest::newRow("before the first tick") << 0 << QList<double>{};
        // The alpha is the float nearest 0.7; the second value stays just below 1.0 although
        // the window's alpha already reads 1.0, so a third tick is needed.
        const double from07 = double(0.7f);
        QTest::newRow("three ticks in")
            << 3 << QList<double>{from07 + 0.15, from07 + 0.3, from07 + 0.45};
        QTest::newRow("ten ticks in") << 10 << firstFadeInTicks();
    }

    void showDuringFadeOut() {
        QFETCH(int, fadeOutTicks);
        QFETCH(QList<double>, fadeInTicks);
        VXFadeWindow window;
        showOpaque(window);
        QSignalSpy closed(&window, &VXFadeWindow::didClose);
        window.close();
        for (int i = 0; i < fadeOutTicks; ++i)
            window.fadeTimerFired();
        const QPointer<QTimer> fadeOut = window.fadeTimer;

        window.makeKeyAndOrderFront(this);
        QVERIFY(window.isVisible());
        QVERIFY(!fadeOut || !fadeOut->isActive());
        QVERIFY(invariantHolds(window));
        if (fadeInTicks.isEmpty()) {
            QVERIFY(!window.fadeTimer);
            QCOMPARE(window.alphaValue(), 1.0f);
        } else {
            QVERIFY(window.fadeTimer);
            expectTicks(window, &VXFadeWindow::fadeInTimerFired, fadeInTicks, true, true);
            if (fadeOutTicks == 3) {
                // After the second tick of this fade-in the alpha had rounded to 1.0.
                QCOMPARE(float(fadeInTicks.at(1)), 1.0f);
                QVERIFY(fadeInTicks.at(1) < 1.0);
            }
        }
        QCOMPARE(closed.count(), 0);
    }

    void orderFrontRegardlessDuringFade_data() {
        QTest::addColumn<bool>("fadingOut");
        QTest::newRow("fade-out") << true;
        QTest::newRow("fade-in") << false;
    }

    void orderFrontRegardlessDuringFade() {
        QFETCH(bool, fadingOut);
        VXFadeWindow window;
        void (VXFadeWindow::*tick)() = nullptr;
        if (fadingOut) {
            showOpaque(window);
            window.close();
            tick = &VXFadeWindow::fadeTimerFired;
        } else {
            window.setAlphaValue(0.0f);
            window.makeKeyAndOrderFront(this);
            tick = &VXFadeWindow::fadeInTimerFired;
        }
        for (int i = 0; i < 3; ++i)
            (window.*tick)();
        QTimer* const timer = window.fadeTimer;
        const double reached = window.timerAlphaValue;

        window.orderFrontRegardless();
        QCOMPARE(window.alphaValue(), 1.0f);
        QVERIFY(window.isVisible());
        QCOMPARE(window.fadeTimer, timer);
        QCOMPARE(window.timerAlphaValue, reached);
        QVERIFY(window.launched);

        // The fade goes on from where it was.
        (window.*tick)();
        // 0.7 - 0.1 and 0.45 + 0.15 alike.
        QVERIFY(near(window.timerAlphaValue, 0.6));
        QCOMPARE(window.alphaValue(), float(window.timerAlphaValue));
    }

    void orderFrontRegardlessLeavesFieldsAlone() {
        VXFadeWindow window;
        window.setAlphaValue(0.0f);
        window.orderFrontRegardless();
        QVERIFY(window.isVisible());
        QCOMPARE(window.alphaValue(), 1.0f);
        QVERIFY(!window.fadeTimer);
        QVERIFY(!window.launched);
        QCOMPARE(window.timerAlphaValue, 0.0);
    }

    void closeOffScreen() {
        VXFadeWindow window;
        showOpaque(window);
        QSignalSpy closed(&window, &VXFadeWindow::didClose);
        setFading(false);
        window.close();
        QVERIFY(!window.isVisible());
        QCOMPARE(window.alphaValue(), 1.0f);

        // The hidden window still gets the rules: an unseen fade-out and a second close.
        setFading(true);
        window.close();
        QVERIFY(window.fadeTimer);
        QCOMPARE(window.timerAlphaValue, 1.0);
        QVERIFY(!window.isVisible());
        for (int i = 0; i < 11; ++i)
            window.fadeTimerFired();
        QVERIFY(!window.fadeTimer);
        QVERIFY(!window.isVisible());
        QCOMPARE(window.alphaValue(), 0.0f);
        QCOMPARE(closed.count(), 2);

        // Transparent now, so the next showing fades in.
        window.makeKeyAndOrderFront(this);
        QVERIFY(window.isVisible());
        expectTicks(window, &VXFadeWindow::fadeInTimerFired, firstFadeInTicks(), true, true);
    }

    void closeTransparentWindow_data() {
        QTest::addColumn<bool>("fading");
        QTest::addColumn<int>("closes");
        QTest::newRow("fading on: dropped") << true << 0;
        QTest::newRow("fading off: closed") << false << 1;
    }

    void closeTransparentWindow() {
        QFETCH(bool, fading);
        QFETCH(int, closes);
        VXFadeWindow window;
        window.setAlphaValue(0.0f);
        window.show();
        QSignalSpy closed(&window, &VXFadeWindow::didClose);
        setFading(fading);
        window.close();
        QCOMPARE(closed.count(), closes);
        QCOMPARE(window.isVisible(), closes == 0);
        QVERIFY(!window.fadeTimer);
    }

    void closeFromWindowManager_data() {
        QTest::addColumn<bool>("fromWindowManager");
        QTest::addColumn<bool>("fading");
        QTest::newRow("own close(), fading") << false << true;
        QTest::newRow("own close(), fading off") << false << false;
        QTest::newRow("window manager, fading") << true << true;
        QTest::newRow("window manager, fading off") << true << false;
    }

    void closeFromWindowManager() {
        QFETCH(bool, fromWindowManager);
        QFETCH(bool, fading);
        VXFadeWindow window;
        showOpaque(window);
        setFading(fading);
        QSignalSpy byUser(&window, &VXFadeWindow::closeRequestedByUser);
        QSignalSpy closed(&window, &VXFadeWindow::didClose);

        if (fromWindowManager) {
            // What the platform does when the title bar's close button is pressed: a close
            // event for the native window, which hands it on to the widget as spontaneous.
            QVERIFY(window.windowHandle());
            QCloseEvent event;
            QCoreApplication::sendEvent(window.windowHandle(), &event);
            QVERIFY(!event.isAccepted());
        } else {
            QVERIFY(!window.close());
        }
        QCOMPARE(byUser.count(), fromWindowManager ? 1 : 0);
        // Either way the close follows the fade rules.
        QCOMPARE(closed.count(), fading ? 0 : 1);
        QCOMPARE(window.isVisible(), fading);
        QCOMPARE(window.fadeTimer != nullptr, fading);
        if (fading) {
            expectTicks(window, &VXFadeWindow::fadeTimerFired, fadeOutTicks(), true, false);
            QCOMPARE(closed.count(), 1);
        }
        // The native window survives, so a later close still arrives.
        QVERIFY(window.windowHandle());
        setFading(false);
        window.makeKeyAndOrderFront(this);
        QVERIFY(!window.close());
        QVERIFY(!window.isVisible());
        QCOMPARE(closed.count(), 2);
        QCOMPARE(byUser.count(), fromWindowManager ? 1 : 0);
    }

    void realTimerEndsFades() {
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
