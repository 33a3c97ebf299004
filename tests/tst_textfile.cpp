#include "support/textfile.h"
#include "support/textlines.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QObject>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString fromUnits(std::initializer_list<char16_t> units) {
    QString text;
    for (const char16_t unit : units)
        text.append(QChar(unit));
    return text;
}

bool writeNative(const QByteArray& path, const QByteArray& bytes) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && written;
}

} // namespace

class TestTextFile : public QObject {
    Q_OBJECT

private slots:
    void decoding_data();
    void decoding();
    void splitting_data();
    void splitting();
    void reading_data();
    void reading();
    void readingNativePathThatIsNotUtf8();
    void readingUnreadableFile();

private:
    QTemporaryDir dir;
};

void TestTextFile::decoding_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("ASCII") << QByteArray("ModTitle=\"x\"\r\n")
                           << QStringLiteral("ModTitle=\"x\"\r\n");
    QTest::newRow("UTF-8") << QByteArray("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80")
                           << QStringLiteral("Café € \U0001F600");
    QTest::newRow("UTF-8 mark dropped")
        << QByteArray("\xEF\xBB\xBFModTitle=x") << QStringLiteral("ModTitle=x");
    QTest::newRow("mark only") << QByteArray("\xEF\xBB\xBF") << QString();
    QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFEM\0=\0\xE9\0\r\0\n\0", 12)
                               << QStringLiteral("M=é\r\n");
    QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF\0M\0=\x20\xAC", 8) << QStringLiteral("M=€");
    QTest::newRow("UTF-16 LE surrogate pair")
        << QByteArray("\xFF\xFE\x3D\xD8\x00\xDE", 6) << QStringLiteral("\U0001F600");
    QTest::newRow("UTF-16 odd byte left") << QByteArray("\xFF\xFE"
                                                        "a\0b",
                                                        5)
                                          << QStringLiteral("a\uFFFD");
    QTest::newRow("Windows-1252 Latin letters")
        << QByteArray("Caf\xE9 \xC4\xFF") << QStringLiteral("Café Äÿ");
    QTest::newRow("Windows-1252 0x80-0x9F")
        << QByteArray("\x80\x85\x93x\x94\x99\x9F") << QStringLiteral("€…“x”™Ÿ");
    QTest::newRow("Windows-1252 unassigned bytes")
        << QByteArray("\x81\x8D\x8F\x90\x9D") << fromUnits({0x81, 0x8D, 0x8F, 0x90, 0x9D});
    QTest::newRow("overlong UTF-8 is not UTF-8") << QByteArray("\xC0\xAF") << QStringLiteral("À¯");
    QTest::newRow("encoded surrogate is not UTF-8")
        << QByteArray("\xED\xA0\x80") << QStringLiteral("í\u00A0€");
    QTest::newRow("cut-off sequence is not UTF-8")
        << QByteArray("abc\xE2\x82") << QStringLiteral("abcâ‚");
    QTest::newRow("above U+10FFFF is not UTF-8")
        << QByteArray("\xF4\x90\x80\x80") << QStringLiteral("ô\u0090€€");
    QTest::newRow("nul bytes are text") << QByteArray("a\0b", 3) << fromUnits({u'a', 0, u'b'});
}

void TestTextFile::decoding() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QCOMPARE(decodeText(bytes), expected);
}

void TestTextFile::splitting_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("empty") << QString() << QStringList{QString()};
    QTest::newRow("one line") << QStringLiteral("a") << QStringList{"a"};
    QTest::newRow("LF") << QStringLiteral("a\nb\n") << QStringList{"a", "b", ""};
    QTest::newRow("CR LF") << QStringLiteral("a\r\nb\r\n") << QStringList{"a", "b", ""};
    QTest::newRow("CR") << QStringLiteral("a\rb\r") << QStringList{"a", "b", ""};
    QTest::newRow("CR with one stray LF")
        << QStringLiteral("a\rb\nc\rd") << QStringList{"a", "b", "c", "d"};
    QTest::newRow("mixed") << QStringLiteral("a\r\nb\nc\rd") << QStringList{"a", "b", "c", "d"};
    QTest::newRow("LF CR is two ends") << QStringLiteral("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("CR CR LF") << QStringLiteral("a\r\r\nb") << QStringList{"a", "", "b"};
    QTest::newRow("empty lines") << QStringLiteral("\n\n") << QStringList{"", "", ""};
    QTest::newRow("lone CR LF") << QStringLiteral("\r\n") << QStringList{"", ""};
    QTest::newRow("nothing trimmed")
        << QStringLiteral(" a \t\n\tb ") << QStringList{" a \t", "\tb "};
    QTest::newRow("other breaks stay") << QStringLiteral("a\u2028b\u0085c\fd")
                                       << QStringList{QStringLiteral("a\u2028b\u0085c\fd")};
}

void TestTextFile::splitting() {
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(splitLines(text), lines);
}

void TestTextFile::reading_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<std::optional<QString>>("expected");
    QVERIFY(dir.isValid());

    auto file = [this](const QString& name, const QByteArray& bytes) {
        QFile out(dir.filePath(name));
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(bytes), bytes.size());
    };
    file(QStringLiteral("ascii.ini"), "ModTitle=x\r\n");
    file(QStringLiteral("utf16.ini"), QByteArray("\xFF\xFEM\0=\0x\0", 8));
    file(QStringLiteral("empty.ini"), QByteArray());
    file(QStringLiteral("Ünïcode näme.ini"), "ModUrl=y");
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.ini")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("ascii.ini")),
                        dir.filePath(QStringLiteral("link.ini"))));
    QCOMPARE(
        ::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo.ini"))).constData(), 0644), 0);

    QTest::newRow("ASCII") << "ascii.ini"
                           << std::optional<QString>(QStringLiteral("ModTitle=x\r\n"));
    QTest::newRow("UTF-16") << "utf16.ini" << std::optional<QString>(QStringLiteral("M=x"));
    QTest::newRow("empty file") << "empty.ini" << std::optional<QString>(QString());
    QTest::newRow("non-ASCII name")
        << "Ünïcode näme.ini" << std::optional<QString>(QStringLiteral("ModUrl=y"));
    QTest::newRow("symbolic link")
        << "link.ini" << std::optional<QString>(QStringLiteral("ModTitle=x\r\n"));
    QTest::newRow("missing") << "missing.ini" << std::optional<QString>();
    QTest::newRow("folder") << "folder.ini" << std::optional<QString>();
    QTest::newRow("below a file") << "ascii.ini/ut2k4mod.ini" << std::optional<QString>();
    QTest::newRow("FIFO, never waited on") << "fifo.ini" << std::optional<QString>();
}

void TestTextFile::reading() {
    QFETCH(QString, name);
    QFETCH(std::optional<QString>, expected);
    const QString path = dir.filePath(name);
    QCOMPARE(stringWithContentsOfFile(path), expected);
    QCOMPARE(stringWithContentsOfNativePath(QFile::encodeName(path)), expected);
}

// A name whose bytes are not UTF-8 has no faithful QString form; the native variant still reads it.
void TestTextFile::readingNativePathThatIsNotUtf8() {
    QVERIFY(dir.isValid());
    const QByteArray path = QFile::encodeName(dir.path()) + "/Caf\xE9.ini";
    QVERIFY(writeNative(path, "ModTitle=Caf\xE9"));
    const std::optional<QString> text = stringWithContentsOfNativePath(path);
    // Qt could not remove this name along with the folder.
    QCOMPARE(::unlink(path.constData()), 0);
    QCOMPARE(text, std::optional<QString>(QStringLiteral("ModTitle=Café")));
    QCOMPARE(stringWithContentsOfNativePath(QByteArray()), std::optional<QString>());
}

void TestTextFile::readingUnreadableFile() {
    if (::geteuid() == 0)
        QSKIP("root reads any file");
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("locked.ini"));
    QVERIFY(writeNative(QFile::encodeName(path), "ModTitle=x"));
    QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
    QCOMPARE(stringWithContentsOfFile(path), std::optional<QString>());
}

MODGATE_TEST_MAIN(TestTextFile)
#include "tst_textfile.moc"
