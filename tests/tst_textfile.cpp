#include "support/textfile.h"
#include "support/textlines.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using Text = std::optional<QString>;

static bool writeFile(const QByteArray& nativePath, const char* bytes) {
    std::ofstream out(nativePath.constData(), std::ios::binary);
    return bool(out << bytes) && bool(out.flush());
}

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

private:
    QTemporaryDir dir;
};

void TestTextFile::decoding_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ASCII") << QByteArray("M=\"x\"\r\n") << QStringLiteral("M=\"x\"\r\n");
    QTest::newRow("UTF-8") << QByteArray("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80")
                           << QStringLiteral("é€\U0001F600");
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBFM=x") << QStringLiteral("M=x");
    QTest::newRow("UTF-16 LE mark") << QByteArray("\xFF\xFEM\0=\0\xE9\0\x3D\xD8\x00\xDE", 12)
                                    << QStringLiteral("M=é\U0001F600");
    QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF\0M\0=\x20\xACx", 9)
                               << QStringLiteral("M=€\uFFFD");
    QTest::newRow("Windows-1252") << QByteArray("Caf\xE9 \x80\x85\x93\x94\x99\x9F\x81\x8D\x9D")
                                  << QStringLiteral("Café €…“”™Ÿ\u0081\u008D\u009D");
    // Each of these breaks a different UTF-8 rule, so each must fall back.
    QTest::newRow("overlong") << QByteArray("\xC0\xAF") << QStringLiteral("À¯");
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << QStringLiteral("í\u00A0€");
    QTest::newRow("cut off") << QByteArray("abc\xE2\x82") << QStringLiteral("abcâ‚");
    QTest::newRow("too high") << QByteArray("\xF4\x90\x80\x80") << QStringLiteral("ô\u0090€€");
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
    QTest::newRow("LF") << QStringLiteral("a\nb\n") << QStringList{"a", "b", ""};
    QTest::newRow("CR LF") << QStringLiteral("a\r\nb\r\n") << QStringList{"a", "b", ""};
    QTest::newRow("CR") << QStringLiteral("a\rb\r") << QStringList{"a", "b", ""};
    QTest::newRow("mixed") << QStringLiteral("\ra\r\nb\nc\n\rd\r\r\n")
                           << QStringList{"", "a", "b", "c", "", "d", "", ""};
    QTest::newRow("nothing else split or trimmed")
        << QStringLiteral(" a \t\n\tb\u2028c\u0085d ")
        << QStringList{" a \t", QStringLiteral("\tb\u2028c\u0085d ")};
}

void TestTextFile::splitting() {
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(splitLines(text), lines);
}

void TestTextFile::reading_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<qsizetype>("maxBytes");
    QTest::addColumn<Text>("expected");
    QVERIFY(dir.isValid());
    const QByteArray root = QFile::encodeName(dir.path()) + '/';
    QVERIFY(writeFile(root + "Ünï näme.ini", "M=\xFF\r\n") && writeFile(root + "empty.ini", ""));
    QVERIFY(::mkdir(root + "folder.ini", 0755) == 0 && ::mkfifo(root + "fifo.ini", 0644) == 0);
    const qsizetype any = 1 << 20;
    QTest::newRow("regular file") << "Ünï näme.ini" << any << Text(QStringLiteral("M=ÿ\r\n"));
    QTest::newRow("empty file") << "empty.ini" << any << Text(QString());
    QTest::newRow("missing") << "missing.ini" << any << Text();
    QTest::newRow("folder") << "folder.ini" << any << Text();
    QTest::newRow("FIFO, never waited on") << "fifo.ini" << any << Text();
    // A file whose stated size is 0 is read past that, and the limit is still kept.
    QFile version("/proc/version");
    QVERIFY(version.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(version.readAll());
    QTest::newRow("stated size 0") << "/proc/version" << any << Text(text);
    QTest::newRow("stated size 0, over the limit") << "/proc/version" << qsizetype(8) << Text();
}

void TestTextFile::reading() {
    QFETCH(QString, name);
    QFETCH(qsizetype, maxBytes);
    QFETCH(Text, expected);
    const QString path = QDir(dir.path()).filePath(name);
    QCOMPARE(stringWithContentsOfFile(path, maxBytes), expected);
    QCOMPARE(stringWithContentsOfNativePath(QFile::encodeName(path), maxBytes), expected);
}

// A name whose bytes are not UTF-8 has no faithful QString form; the native variant still reads it.
void TestTextFile::readingNativePathThatIsNotUtf8() {
    const QByteArray path = QFile::encodeName(dir.path()) + "/Caf\xE9.ini";
    QVERIFY(writeFile(path, "M=Caf\xE9"));
    const Text text = stringWithContentsOfNativePath(path, 100);
    QCOMPARE(::unlink(path.constData()), 0); // Qt could not remove this name with the folder
    QCOMPARE(text, Text(QStringLiteral("M=Café")));
}

MODGATE_TEST_MAIN(TestTextFile)
#include "tst_textfile.moc"
