// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/userdefaults.h"
#include "testmain.h"
#include "window/vxfadewindow.h"

#include <QTimer>
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
};

MODGATE_TEST_MAIN(WindowTest)
#include "tst_window.moc"
