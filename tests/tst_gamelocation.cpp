#include "installation/gamelocation.h"
#include "testmain.h"

#include <QObject>
#include <QTest>
#include <optional>

using OptionalString = std::optional<QString>;
Q_DECLARE_METATYPE(OptionalString)

namespace {

const QString prefix = QStringLiteral("Init: Base directory: ");

} // namespace

class GameLocationTest : public QObject {
    Q_OBJECT
private slots:
    void bundlePathFromGameLog_data();
    void bundlePathFromGameLog();
};

void GameLocationTest::bundlePathFromGameLog_data() {
    QTest::addColumn<QString>("log");
    QTest::addColumn<OptionalString>("expected");

    const OptionalString none;
    const OptionalString game = QStringLiteral("/Games/Unreal Tournament 2004.app");
    const QString gameLine = prefix + QStringLiteral("/Games/Unreal Tournament 2004.app/System");

    QTest::newRow("empty text") << QString() << none;
    QTest::newRow("no base-directory line")
        << QStringLiteral("Log: Log file open\nInit: Version 3369\n") << none;
    QTest::newRow("one line") << QStringLiteral("Log: Log file open\n") + gameLine +
                                     QStringLiteral("\nInit: Computer: host\n")
                              << game;
    QTest::newRow("only the line, no line end") << gameLine << game;
    QTest::newRow("several, the last wins")
        << prefix + QStringLiteral("/One.app/System\n") + QStringLiteral("Log: between\n") +
               prefix + QStringLiteral("/Two.app/System\n") + prefix +
               QStringLiteral("/Three.app/System\nLog: after\n")
        << OptionalString(QStringLiteral("/Three.app"));
    QTest::newRow("the last one too short, no earlier one instead")
        << gameLine + QStringLiteral("\n") + prefix + QStringLiteral("System\n") << none;
    QTest::newRow("prefix differing in case")
        << QStringLiteral("init: base directory: /Games/Other.app/System\n") << none;
    QTest::newRow("a later line differing in case does not count")
        << gameLine + QStringLiteral("\nInit: Base Directory: /Games/Other.app/System\n") << game;
    QTest::newRow("prefix after a leading space") << QStringLiteral(" ") + gameLine << none;
    QTest::newRow("prefix inside a line")
        << QStringLiteral("Log: ") + gameLine + QStringLiteral("\n") << none;
    QTest::newRow("CR LF") << QStringLiteral("Log: Log file open\r\n") + gameLine +
                                  QStringLiteral("\r\nInit: Computer: host\r\n")
                           << game;
    QTest::newRow("CR LF, line last without an end")
        << QStringLiteral("Log: Log file open\r\n") + gameLine << game;
    QTest::newRow("CR only") << QStringLiteral("Log: Log file open\r") + gameLine +
                                    QStringLiteral("\rInit: Computer: host\r")
                             << game;
    QTest::newRow("mixed line ends") << prefix + QStringLiteral("/One.app/System\r\n") + prefix +
                                            QStringLiteral("/Two.app/System\rLog: after\n")
                                     << OptionalString(QStringLiteral("/Two.app"));
    QTest::newRow("text beyond ASCII")
        << prefix + QStringLiteral(u"/Spiele/Ünreal Türnament.app/System\n")
        << OptionalString(QStringLiteral(u"/Spiele/Ünreal Türnament.app"));

    // 22 to 29 characters leave 0 to 7 behind the prefix: nothing, never an empty path.
    const QString tail = QStringLiteral("ABCDEFGH");
    for (int length = 22; length <= 30; ++length) {
        const QString line = prefix + tail.left(length - 22);
        const QByteArray name = QByteArray::number(length) + " characters";
        QTest::newRow(name.constData())
            << line + QStringLiteral("\n")
            << (length == 30 ? OptionalString(QStringLiteral("A")) : none);
    }
}

void GameLocationTest::bundlePathFromGameLog() {
    QFETCH(QString, log);
    QFETCH(OptionalString, expected);
    QCOMPARE(::bundlePathFromGameLog(log), expected);
}

MODGATE_TEST_MAIN(GameLocationTest)
#include "tst_gamelocation.moc"
