// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/userdefaults.h"
#include "testmain.h"
#include "window/vxfadewindow.h"
#include "window/windowplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>

using namespace Qt::StringLiterals;

// A tick is the fade timer's own timeout, sent by hand: no event loop runs, so no tick comes alone.
class WindowTest : public QObject {
    Q_OBJECT

    // The alpha, on screen or not, and "fading" for each fade timer that runs.
    static QString state(const VXFadeWindow& window) {
        const auto running =
            std::ranges::count_if(window.findChildren<QTimer*>(), &QTimer::isActive);
        return QString::number(window.alphaValue()) +
               (window.isVisible() ? u" shown"_s : u" hidden"_s) + u" fading"_s.repeated(running);
    }

    static bool tick(VXFadeWindow& window) {
        return window.fadeTimer && QMetaObject::invokeMethod(window.fadeTimer, "timeout");
    }

private slots:
    void fades_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("trace");
        // From alpha 0.0, fading on: show, close, front (orderFrontRegardless), on / off, tick[*N];
        // "end" ticks to the fade's end and notes how many, "=" and the end note the state.
        QTest::newRow("first showing: 7 ticks; close: 11, on screen after the 10th")
            << "show = end close tick*10 = tick"
            << "0 shown fading 7 1.38778e-16 shown fading 0 hidden";
        QTest::newRow("fading off: still a first fade-in, then close at once, show plain")
            << "off show end close = show"
            << "7 1 hidden 1 shown";
        QTest::newRow("close during a fade-in: ignored") << "show tick*2 close end"
                                                         << "5 1 shown";
        QTest::newRow("close during a fade-in, fading off: at once, the fade-in ends unseen")
            << "show tick*2 off close = end show"
            << "0.3 hidden fading 5 1 shown";
        QTest::newRow("show before the first fade-out tick: stays") << "show end close show"
                                                                    << "7 1 shown";
        // The fade-in goes 0.85, just below 1.0 (the alpha rounds to 1.0), 1.15.
        QTest::newRow("show three ticks into a fade-out") << "show end close tick*3 = show end"
                                                          << "7 0.7 shown fading 3 1 shown";
        QTest::newRow("front during a fade-out: it goes on") << "show end close tick*3 front = end"
                                                             << "7 1 shown fading 8 0 hidden";
        QTest::newRow("close off screen: an unseen fade-out, then a fade-in")
            << "show end off close on close end show end"
            << "7 11 7 1 shown";
    }

    void fades() {
        QFETCH(QString, script);
        QFETCH(QString, trace);
        UserDefaults::standard().setObjectForKey(true, u"fadingWindows"_s);
        VXFadeWindow window;
        window.setAlphaValue(0.0f);
        QStringList seen;
        for (const QString& step : script.split(u' ')) {
            if (step == u"show")
                window.makeKeyAndOrderFront(nullptr);
            else if (step == u"close")
                window.close();
            else if (step == u"front")
                window.orderFrontRegardless();
            else if (step == u"on" || step == u"off")
                UserDefaults::standard().setObjectForKey(step == u"on", u"fadingWindows"_s);
            else if (step == u"=")
                seen << state(window);
            else if (step == u"end") {
                int ticks = 0;
                while (ticks < 100 && tick(window))
                    ++ticks;
                seen << QString::number(ticks);
            } else
                for (int n = qMax(1, step.section(u'*', 1).toInt()); n > 0; --n)
                    QVERIFY2(step.startsWith(u"tick") && tick(window), qPrintable(step));
        }
        seen << state(window);
        QCOMPARE(seen.join(u' '), trace);
    }

    // A frame on a screen's available area of 1280 x 994 at (0, 30): moved, and shrunk where
    // larger, as little as it takes to fit.
    void fitIntoScreen_data() {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("fitted");
        QTest::newRow("inside: as it is") << QRect(10, 40, 600, 400) << QRect(10, 40, 600, 400);
        QTest::newRow("title bar above the top")
            << QRect(100, -20, 600, 400) << QRect(100, 30, 600, 400);
        QTest::newRow("off the right and bottom")
            << QRect(1000, 900, 600, 400) << QRect(680, 624, 600, 400);
        QTest::newRow("off the left") << QRect(-700, 100, 600, 400) << QRect(0, 100, 600, 400);
        QTest::newRow("taller than the screen, centred (2x scale)")
            << QRect(340, -203, 600, 1400) << QRect(340, 30, 600, 994);
        QTest::newRow("larger both ways") << QRect(-5, -5, 2000, 2000) << QRect(0, 30, 1280, 994);
    }
    void fitIntoScreen() {
        QFETCH(QRect, frame);
        QFETCH(QRect, fitted);
        QCOMPARE(::fitIntoScreen(frame, QRect(0, 30, 1280, 994)), fitted);
        QCOMPARE(::fitIntoScreen(frame, QRect()), frame);
    }

    // Where the player leaves the window is where it opens next time; without a stored place it
    // opens in the middle of the screen, and always within it.
    void placementKept() {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QWidget first;
        first.resize(screen.width() + 100, 200); // as a large scale makes it
        new WindowPlacement(first);
        QCOMPARE(first.frameGeometry(), ::fitIntoScreen(first.frameGeometry(), screen));
        QCOMPARE(first.width(), screen.width());
        first.show();
        first.setGeometry(screen.left() + 20, screen.top() + 30, 300, 200);
        QTRY_VERIFY(UserDefaults::standard().objectForKey(u"windowGeometry"_s));
        QWidget second;
        new WindowPlacement(second);
        QCOMPARE(second.geometry(), first.geometry());
    }
};

MODGATE_TEST_MAIN(WindowTest)
#include "tst_window.moc"
