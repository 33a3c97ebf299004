#include "app/weblink.h"
#include "testmain.h"

#include <QTest>

using namespace Qt::StringLiterals;

using OptionalString = std::optional<QString>;
Q_DECLARE_METATYPE(OptionalString)

class TestWebLink : public QObject {
    Q_OBJECT

private slots:
    void addressRule_data() {
        QTest::addColumn<OptionalString>("url");
        QTest::addColumn<bool>("button");
        QTest::addColumn<OptionalString>("opened");

        const OptionalString none;
        QTest::newRow("absent") << none << false << none;
        QTest::newRow("empty") << OptionalString(u""_s) << false << none;
        QTest::newRow("4 characters") << OptionalString(u"a.io"_s) << false << none;
        QTest::newRow("5 characters") << OptionalString(u"ab.io"_s) << true << none;
        QTest::newRow("6 characters") << OptionalString(u"abc.io"_s) << true << none;
        QTest::newRow("7 characters")
            << OptionalString(u"abcd.io"_s) << true << OptionalString(u"http://abcd.io"_s);
        QTest::newRow("http") << OptionalString(u"http://example.org/mod"_s) << true
                              << OptionalString(u"http://example.org/mod"_s);
        QTest::newRow("HTTP in capitals") << OptionalString(u"HTTP://EXAMPLE.ORG/"_s) << true
                                          << OptionalString(u"HTTP://EXAMPLE.ORG/"_s);
        QTest::newRow("https") << OptionalString(u"https://example.org/mod"_s) << true
                               << OptionalString(u"https://example.org/mod"_s);
        QTest::newRow("Https mixed case") << OptionalString(u"Https://example.org"_s) << true
                                          << OptionalString(u"Https://example.org"_s);
        QTest::newRow("ftp") << OptionalString(u"ftp://example.org/mod.zip"_s) << true
                             << OptionalString(u"http://ftp://example.org/mod.zip"_s);
        QTest::newRow("file") << OptionalString(u"file:///etc/passwd"_s) << true
                              << OptionalString(u"http://file:///etc/passwd"_s);
        QTest::newRow("javascript") << OptionalString(u"javascript:alert(1)"_s) << true
                                    << OptionalString(u"http://javascript:alert(1)"_s);
        QTest::newRow("bare host") << OptionalString(u"www.example.org"_s) << true
                                   << OptionalString(u"http://www.example.org"_s);
        QTest::newRow("percent unchanged") << OptionalString(u"example.org/a%20b%2Fc%"_s) << true
                                           << OptionalString(u"http://example.org/a%20b%2Fc%"_s);
        QTest::newRow("scheme alone")
            << OptionalString(u"http://"_s) << true << OptionalString(u"http://"_s);
        // Lengths count UTF-16 code units: an emoji is two.
        QTest::newRow("3 emoji are 6 units")
            << OptionalString(u"\U0001F600\U0001F600\U0001F600"_s) << true << none;
        QTest::newRow("2 emoji are 4 units")
            << OptionalString(u"\U0001F600\U0001F600"_s) << false << none;
    }

    void addressRule() {
        QFETCH(OptionalString, url);
        QFETCH(bool, button);
        QFETCH(OptionalString, opened);
        QCOMPARE(showsLinkButton(url), button);
        QCOMPARE(webAddressToOpen(url), opened);
    }
};

MODGATE_TEST_MAIN(TestWebLink)
#include "tst_weblink.moc"
