#include "support/userdefaults.h"
#include "testmain.h"

#include <QSettings>
#include <thread>

class TestUserDefaults : public QObject {
    Q_OBJECT

    static QSettings store() {
        return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Modgate"),
                         QStringLiteral("Modgate"));
    }

private slots:
    void cleanup() {
        QSettings settings = store();
        settings.clear();
        settings.sync();
    }

    void registeredDefaultIsReadButNeverWritten() {
        UserDefaults& defaults = UserDefaults::standard();
        defaults.registerDefaults({{QStringLiteral("registeredFlag"), true}});
        QCOMPARE(defaults.objectForKey(QStringLiteral("registeredFlag")), QVariant(true));
        QVERIFY(defaults.boolForKey(QStringLiteral("registeredFlag")));
        QVERIFY(!store().contains(QStringLiteral("registeredFlag")));
        QVERIFY(!QFile::exists(store().fileName()) ||
                !store().allKeys().contains(QStringLiteral("registeredFlag")));
    }

    void storedValueOverridesTheDefaultAndAbsentRemovesIt() {
        UserDefaults& defaults = UserDefaults::standard();
        defaults.registerDefaults({{QStringLiteral("fadeFlag"), true}});
        defaults.setObjectForKey(false, QStringLiteral("fadeFlag"));
        QVERIFY(!defaults.boolForKey(QStringLiteral("fadeFlag")));
        defaults.setObjectForKey(std::nullopt, QStringLiteral("fadeFlag"));
        QVERIFY(defaults.boolForKey(QStringLiteral("fadeFlag")));
        QVERIFY(!store().contains(QStringLiteral("fadeFlag")));
    }

    void values_data() {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("asBool");
        QTest::addColumn<QString>("asString");
        QTest::newRow("nothing stored") << QVariant() << false << false << QString();
        QTest::newRow("path") << QVariant(QStringLiteral("/Games/UT.app")) << true << true
                              << QStringLiteral("/Games/UT.app");
        QTest::newRow("empty text is a value")
            << QVariant(QStringLiteral("")) << true << false << QStringLiteral("");
        QTest::newRow("text with ; , and quotes")
            << QVariant(QStringLiteral("/a;b,c \"d\"\\e")) << true << true
            << QStringLiteral("/a;b,c \"d\"\\e");
        QTest::newRow("true") << QVariant(true) << true << true << QStringLiteral("true");
        QTest::newRow("false") << QVariant(false) << true << false << QStringLiteral("false");
    }

    void values() {
        QFETCH(QVariant, stored);
        QFETCH(bool, present);
        QFETCH(bool, asBool);
        QFETCH(QString, asString);
        UserDefaults& defaults = UserDefaults::standard();
        const QString key = QStringLiteral("someKey");
        defaults.setObjectForKey(stored.isValid() ? std::optional<QVariant>(stored) : std::nullopt,
                                 key);
        QCOMPARE(defaults.objectForKey(key).has_value(), present);
        QCOMPARE(defaults.boolForKey(key), asBool);
        const auto text = defaults.stringForKey(key);
        QCOMPARE(text.has_value(), present);
        if (text) {
            QVERIFY(!text->isNull());
            QCOMPARE(*text, asString);
        }
    }

    void writesAreSeenByTheNextReaderOnAnyThread() {
        UserDefaults& defaults = UserDefaults::standard();
        const QString key = QStringLiteral("unrealPath");
        std::thread([&] { defaults.setObjectForKey(QStringLiteral("/from/worker"), key); }).join();
        QCOMPARE(defaults.stringForKey(key), QStringLiteral("/from/worker"));
        QCOMPARE(store().value(key).toString(), QStringLiteral("/from/worker"));

        defaults.setObjectForKey(QStringLiteral("/from/main"), key);
        std::optional<QString> seen;
        std::thread([&] { seen = defaults.stringForKey(key); }).join();
        QCOMPARE(seen, QStringLiteral("/from/main"));
    }
};

MODGATE_TEST_MAIN(TestUserDefaults)
#include "tst_userdefaults.moc"
