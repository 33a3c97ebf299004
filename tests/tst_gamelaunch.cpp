#include "app/gamelaunch.h"
#include "testmain.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using Text = std::optional<QString>;

ModEntry entryWith(Text command, Text launchName) {
    ModEntry entry;
    entry.command = std::move(command);
    entry.launchName = std::move(launchName);
    return entry;
}

const Text absent = std::nullopt;

} // namespace

class GameLaunchTest : public QObject {
    Q_OBJECT
private slots:
    void argumentList_data();
    void argumentList();
    void cleanedCommand_data();
    void cleanedCommand();
};

void GameLaunchTest::argumentList_data() {
    QTest::addColumn<Text>("command");
    QTest::addColumn<Text>("launchName");
    QTest::addColumn<QStringList>("expected");
    // As the name cell's tooltip shows it.
    QTest::addColumn<QString>("line");

    QTest::newRow("base game: one empty argument")
        << Text(u""_s) << absent << QStringList{u""_s} << u""_s;
    QTest::newRow("leading spaces dropped")
        << Text(u"  -x"_s) << Text(u"ModA"_s) << QStringList{u"-x"_s, u"-mod=ModA"_s}
        << u"-x -mod=ModA"_s;
    QTest::newRow("spaces inside: still one argument")
        << Text(u"-x -y"_s) << Text(u"ModA"_s) << QStringList{u"-x -y"_s, u"-mod=ModA"_s}
        << u"-x -y -mod=ModA"_s;
    QTest::newRow("absent command")
        << absent << Text(u"ModA"_s) << QStringList{u"-mod=ModA"_s} << u"-mod=ModA"_s;
    QTest::newRow("command of spaces only")
        << Text(u"   "_s) << Text(u"ModA"_s) << QStringList{u"-mod=ModA"_s} << u"-mod=ModA"_s;
    QTest::newRow("CR LF removed, not turned into a space")
        << Text(u"-x\r\n-y"_s) << Text(u"ModA"_s) << QStringList{u"-x-y"_s, u"-mod=ModA"_s}
        << u"-x-y -mod=ModA"_s;
    QTest::newRow("present but empty launchName")
        << Text(u""_s) << Text(u""_s) << QStringList{u"-mod="_s} << u"-mod="_s;
    QTest::newRow("absent command and launchName")
        << absent << absent << QStringList{u""_s} << u""_s;
    QTest::newRow("command with absent launchName")
        << Text(u"-x"_s) << absent << QStringList{u"-x"_s, u""_s} << u"-x"_s;
    QTest::newRow("leading tab kept")
        << Text(u"\t-x"_s) << Text(u"ModA"_s) << QStringList{u"\t-x"_s, u"-mod=ModA"_s}
        << u"\t-x -mod=ModA"_s;
    QTest::newRow("trailing spaces kept")
        << Text(u"-x  "_s) << Text(u"ModA"_s) << QStringList{u"-x  "_s, u"-mod=ModA"_s}
        << u"-x   -mod=ModA"_s;
    QTest::newRow("launchName with a space")
        << absent << Text(u"My Mod"_s) << QStringList{u"-mod=My Mod"_s} << u"-mod=My Mod"_s;
}

void GameLaunchTest::argumentList() {
    QFETCH(Text, command);
    QFETCH(Text, launchName);
    QFETCH(QStringList, expected);
    QFETCH(QString, line);
    QCOMPARE(gameArgumentList(entryWith(command, launchName)), expected);
    QCOMPARE(launchArgumentLine(entryWith(command, launchName)), line);
}

void GameLaunchTest::cleanedCommand_data() {
    QTest::addColumn<Text>("command");
    QTest::addColumn<QString>("expected");

    QTest::newRow("absent") << absent << u""_s;
    QTest::newRow("empty") << Text(u""_s) << u""_s;
    QTest::newRow("spaces only") << Text(u"   "_s) << u""_s;
    QTest::newRow("leading spaces") << Text(u"   -x  -y"_s) << u"-x  -y"_s;
    QTest::newRow("trailing spaces stay") << Text(u"-x   "_s) << u"-x   "_s;
    QTest::newRow("leading tab stops the removal") << Text(u"\t -x"_s) << u"\t -x"_s;
    QTest::newRow("space then tab") << Text(u" \t-x"_s) << u"\t-x"_s;
    QTest::newRow("inner tab stays") << Text(u"-x\t-y"_s) << u"-x\t-y"_s;
    QTest::newRow("no-break space is not a space") << Text(u"\u00a0-x"_s) << u"\u00a0-x"_s;
    QTest::newRow("LF removed") << Text(u"-x\n-y\n"_s) << u"-x-y"_s;
    QTest::newRow("CR removed") << Text(u"-x\r-y"_s) << u"-x-y"_s;
    QTest::newRow("CR LF removed") << Text(u"-x\r\n-y\r\n"_s) << u"-x-y"_s;
    // The spaces go first, so spaces behind a leading line break stay.
    QTest::newRow("line break before spaces") << Text(u"\n  -x"_s) << u"  -x"_s;
    QTest::newRow("spaces, line break, spaces") << Text(u"  \r\n  -x"_s) << u"  -x"_s;
}

void GameLaunchTest::cleanedCommand() {
    QFETCH(Text, command);
    QFETCH(QString, expected);
    QCOMPARE(::cleanedCommand(command), expected);
}

MODGATE_TEST_MAIN(GameLaunchTest)
#include "tst_gamelaunch.moc"
