// The settings file functions against hand-edited files and against failing writes.
#include "shell/codewindows.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QString Settings = QStringLiteral("Settings");

const QByteArray LongValue = QByteArray(300, 'x') + "END";

// A file as someone might edit it by hand.
QByteArray handEdited() {
    return "; settings of the programmer\r\n"
           "[Other]\r\n"
           "Options=99\r\n"
           "\r\n"
           "  [ settings ]  \r\n"
           "\tGameNumber0 =  1234  \r\n"
           "BONUS0=\"1.50\"\r\n"
           "Bonus1='  6000 '\r\n"
           "Bonus2=\"50.00'\r\n"
           "Bonus3=\r\n"
           ";DumpMemAddr=12\r\n"
           "   ; DumpMemCnt=13\r\n"
           "Options = 12abc\r\n"
           "PrinterType=\t-3\r\n"
           "PrinterBaudRate=abc\r\n"
           "HardwareType=+1\r\n"
           "gamenumber0=duplicate\r\n"
           "CommPort = \"7\"\r\n"
           "Long=" +
           LongValue +
           "\r\n"
           "NoEquals\r\n"
           "Place=Z\xC3\xBCrich\r\n"
           "[Settings]\r\n"
           "GameNumber1=second section\r\n";
}

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeAll(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class TestCodeWindows : public QObject {
    Q_OBJECT
private slots:
    void stringRead_data();
    void stringRead();
    void intRead_data();
    void intRead();
    void missingFileGivesDefaults();
    void leadingNumber_data();
    void leadingNumber();
    void write_data();
    void write();
    void writeKeepsSpellingAndRoundTrips_data();
    void writeKeepsSpellingAndRoundTrips();
    void writeRefusesNamesThatCannotBeStored();
    void writeCreatesFile();
    void failingWriteLeavesFile();
    void readOnlyFolderLeavesFile();
};

void TestCodeWindows::stringRead_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    QTest::newRow("blanks and tab around name and value") << "GameNumber0"
                                                          << "1234";
    QTest::newRow("other case, double quotes removed") << "Bonus0"
                                                       << "1.50";
    QTest::newRow("single quotes keep the blanks inside") << "Bonus1"
                                                          << "  6000 ";
    QTest::newRow("unmatched quotes stay") << "Bonus2"
                                           << "\"50.00'";
    QTest::newRow("empty value is not the default") << "Bonus3"
                                                    << "";
    QTest::newRow("commented key") << "DumpMemAddr"
                                   << "<default>";
    QTest::newRow("indented comment") << "DumpMemCnt"
                                      << "<default>";
    QTest::newRow("missing key") << "Missing"
                                 << "<default>";
    QTest::newRow("line without =") << "NoEquals"
                                    << "<default>";
    QTest::newRow("key of the other section") << "CommBaudRate"
                                              << "<default>";
    QTest::newRow("duplicate section: the first wins") << "GameNumber1"
                                                       << "<default>";
    QTest::newRow("longer than 254 characters, read in full") << "Long" << QString::fromLatin1(LongValue);
    QTest::newRow("system 8-bit encoding") << "Place" << QString::fromUtf8("Z\xC3\xBCrich");
}

void TestCodeWindows::stringRead() {
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString ini = dir.filePath("KelvaneProgrammer.ini");
    writeAll(ini, handEdited());
    QCOMPARE(ProfileStringGet(Settings, key, "<default>", ini), expected);
    QCOMPARE(ProfileStringGet("SETTINGS", key, "<default>", ini), expected);
}

void TestCodeWindows::intRead_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("blanks around") << "GameNumber0" << qint64(1234);
    QTest::newRow("leading digits only") << "Options" << qint64(12);
    QTest::newRow("tab and sign") << "PrinterType" << qint64(-3);
    QTest::newRow("plus sign") << "HardwareType" << qint64(1);
    QTest::newRow("no digits: default") << "PrinterBaudRate" << qint64(77);
    QTest::newRow("empty: default") << "Bonus3" << qint64(77);
    QTest::newRow("missing: default") << "DebugOptions" << qint64(77);
    QTest::newRow("quoted") << "CommPort" << qint64(7);
    QTest::newRow("first duplicate wins") << "gamenumber0" << qint64(1234);
}

void TestCodeWindows::intRead() {
    QFETCH(QString, key);
    QFETCH(qint64, expected);
    QTemporaryDir dir;
    const QString ini = dir.filePath("KelvaneProgrammer.ini");
    writeAll(ini, handEdited());
    QCOMPARE(ProfileIntGet(Settings, key, 77, ini), expected);
}

void TestCodeWindows::missingFileGivesDefaults() {
    QTemporaryDir dir;
    const QString ini = dir.filePath("none.ini");
    QCOMPARE(ProfileStringGet(Settings, "Bonus0", "1.00", ini), QString("1.00"));
    QCOMPARE(ProfileIntGet(Settings, "CommPort", 1, ini), qint64(1));
    QVERIFY(!QFile::exists(ini));
}

void TestCodeWindows::leadingNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hasNumber");
    QTest::addColumn<qint64>("number");
    QTest::newRow("plain") << "137" << true << qint64(137);
    QTest::newRow("leading zeros") << "007" << true << qint64(7);
    QTest::newRow("trailing text") << "12abc" << true << qint64(12);
    QTest::newRow("blanks first") << " \t 5" << true << qint64(5);
    QTest::newRow("negative") << "-300" << true << qint64(-300);
    QTest::newRow("blank after sign") << "- 3" << false << qint64(0);
    QTest::newRow("sign only") << "-" << false << qint64(0);
    QTest::newRow("letters") << "abc" << false << qint64(0);
    QTest::newRow("empty") << "" << false << qint64(0);
    QTest::newRow("hex is not read") << "0x10" << true << qint64(0);
    QTest::newRow("held at the upper limit")
        << "99999999999999999999999" << true << std::numeric_limits<qint64>::max();
    QTest::newRow("held at the lower limit")
        << "-99999999999999999999999" << true << std::numeric_limits<qint64>::min();
    QTest::newRow("lowest exactly") << "-9223372036854775808" << true << std::numeric_limits<qint64>::min();
}

void TestCodeWindows::leadingNumber() {
    QFETCH(QString, text);
    QFETCH(bool, hasNumber);
    QFETCH(qint64, number);
    const std::optional<qint64> read = profileLeadingNumber(text);
    QCOMPARE(read.has_value(), hasNumber);
    if (hasNumber)
        QCOMPARE(*read, number);
}

void TestCodeWindows::write_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    // Lines nobody writes keep their bytes, whatever they are (Latin-1, lone LF, odd spacing).
    const QByteArray odd =
        "; caf\xE9 \xFF\r\n[Settings]\r\n  Options = 3 \n\t\r\nBonus0=1.00\r\n\r\n[Other]\r\nX=\xE9\r\n";
    QTest::newRow("replace a value, other lines untouched")
        << odd << "bonus0"
        << "2.50"
        << QByteArray("; caf\xE9 \xFF\r\n[Settings]\r\n  Options = 3 "
                      "\n\t\r\nBonus0=2.50\r\n\r\n[Other]\r\nX=\xE9\r\n");
    QTest::newRow("replace keeps the name's spelling and indentation-free form")
        << odd << "OPTIONS"
        << "137"
        << QByteArray("; caf\xE9 "
                      "\xFF\r\n[Settings]\r\nOptions=137\r\n\t\r\nBonus0=1.00\r\n\r\n[Other]\r\nX=\xE9\r\n");
    QTest::newRow("new key after the section's last key, before the blank line")
        << odd << "CommPort"
        << "1"
        << QByteArray("; caf\xE9 \xFF\r\n[Settings]\r\n  Options = 3 "
                      "\n\t\r\nBonus0=1.00\r\nCommPort=1\r\n\r\n[Other]\r\nX=\xE9\r\n");
    QTest::newRow("new key in a section without keys goes under its header")
        << QByteArray("[Settings]\r\n\r\n[Other]\r\n") << "CommPort"
        << "1" << QByteArray("[Settings]\r\nCommPort=1\r\n\r\n[Other]\r\n");
    QTest::newRow("new key after a last line without line break")
        << QByteArray("[Settings]\r\nOptions=3") << "CommPort"
        << "1" << QByteArray("[Settings]\r\nOptions=3\r\nCommPort=1\r\n");
    QTest::newRow("new section at the end")
        << QByteArray("[Other]\r\nX=1\r\n") << "CommPort"
        << "1" << QByteArray("[Other]\r\nX=1\r\n[Settings]\r\nCommPort=1\r\n");
    QTest::newRow("new section after a last line without line break")
        << QByteArray("; only a comment") << "CommPort"
        << "1" << QByteArray("; only a comment\r\n[Settings]\r\nCommPort=1\r\n");
    QTest::newRow("only the first of duplicate keys") << QByteArray("[Settings]\r\nA=1\r\na=2\r\n") << "A"
                                                      << "3" << QByteArray("[Settings]\r\nA=3\r\na=2\r\n");
    QTest::newRow("only the first of duplicate sections")
        << QByteArray("[Settings]\r\nA=1\r\n[Other]\r\n[settings]\r\nB=2\r\n") << "B"
        << "3" << QByteArray("[Settings]\r\nA=1\r\nB=3\r\n[Other]\r\n[settings]\r\nB=2\r\n");
    QTest::newRow("commented key is not the key") << QByteArray("[Settings]\r\n;A=1\r\n") << "A"
                                                  << "2" << QByteArray("[Settings]\r\nA=2\r\n;A=1\r\n");
    QTest::newRow("empty value") << QByteArray("[Settings]\r\nA=1\r\n") << "A"
                                 << "" << QByteArray("[Settings]\r\nA=\r\n");
    QTest::newRow("UTF-8 mark kept") << QByteArray("\xEF\xBB\xBF[Settings]\r\nA=1\r\n") << "A"
                                     << "2" << QByteArray("\xEF\xBB\xBF[Settings]\r\nA=2\r\n");
    QTest::newRow("path written as it stands")
        << QByteArray() << "LocationFileName"
        << "/home/op/My Texts/loc.txt"
        << QByteArray("[Settings]\r\nLocationFileName=/home/op/My Texts/loc.txt\r\n");
}

void TestCodeWindows::write() {
    QFETCH(QByteArray, before);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString ini = dir.filePath("KelvaneProgrammer.ini");
    writeAll(ini, before);
    QVERIFY(ProfileStringWrite(Settings, key, value, ini));
    QCOMPARE(readAll(ini), after);
    QCOMPARE(ProfileStringGet(Settings, key, "<default>", ini), value);
}

void TestCodeWindows::writeKeepsSpellingAndRoundTrips_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("plain") << "5000" << QByteArray("Bonus1=5000\r\n");
    QTest::newRow("blanks inside") << "a b" << QByteArray("Bonus1=a b\r\n");
    QTest::newRow("leading blank is protected") << " 12" << QByteArray("Bonus1=\" 12\"\r\n");
    QTest::newRow("surrounding quotes are protected") << "\"x\"" << QByteArray("Bonus1=\"\"x\"\"\r\n");
    QTest::newRow("single quotes are protected") << "'x'" << QByteArray("Bonus1=\"'x'\"\r\n");
    QTest::newRow("a lone quote needs nothing") << "\"x" << QByteArray("Bonus1=\"x\r\n");
    QTest::newRow("longer than 254") << QString(400, u'9')
                                     << QByteArray("Bonus1=" + QByteArray(400, '9') + "\r\n");
    QTest::newRow("non-ASCII in the system encoding")
        << QString::fromUtf8("Z\xC3\xBCrich") << QByteArray("Bonus1=Z\xC3\xBCrich\r\n");
}

void TestCodeWindows::writeKeepsSpellingAndRoundTrips() {
    QFETCH(QString, value);
    QFETCH(QByteArray, line);
    QTemporaryDir dir;
    const QString ini = dir.filePath("KelvaneProgrammer.ini");
    writeAll(ini, "[settings]\r\nBONUS1=1\r\n");
    QVERIFY(ProfileStringWrite(Settings, "bonus1", value, ini));
    QCOMPARE(readAll(ini), "[settings]\r\nBONUS1" + line.mid(6));
    QCOMPARE(ProfileStringGet(Settings, "Bonus1", "<default>", ini), value);
}

void TestCodeWindows::writeRefusesNamesThatCannotBeStored() {
    QTemporaryDir dir;
    const QString ini = dir.filePath("KelvaneProgrammer.ini");
    const QByteArray before = "[Settings]\r\nA=1\r\n";
    writeAll(ini, before);
    QVERIFY(!ProfileStringWrite(Settings, "A", "two\r\nlines", ini));
    QVERIFY(!ProfileStringWrite(Settings, "A=B", "1", ini));
    QVERIFY(!ProfileStringWrite(Settings, ";A", "1", ini));
    QVERIFY(!ProfileStringWrite(Settings, "", "1", ini));
    QVERIFY(!ProfileStringWrite("Set]tings", "A", "1", ini));
    QCOMPARE(readAll(ini), before);
}

void TestCodeWindows::writeCreatesFile() {
    QTemporaryDir dir;
    const QString ini = dir.filePath("KelvaneProgrammer.ini");
    QVERIFY(ProfileStringWrite(Settings, "CommPort", "1", ini));
    QVERIFY(ProfileStringWrite(Settings, "CommBaudRate", "0", ini));
    QCOMPARE(readAll(ini), QByteArray("[Settings]\r\nCommPort=1\r\nCommBaudRate=0\r\n"));
    QCOMPARE(ProfileIntGet(Settings, "CommPort", 5, ini), qint64(1));
    // Nothing but the settings file is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"KelvaneProgrammer.ini"});
}

// A disk that fills up while the new file is written: the old file stays whole.
void TestCodeWindows::failingWriteLeavesFile() {
    QTemporaryDir dir;
    const QString ini = dir.filePath("KelvaneProgrammer.ini");
    const QByteArray before = "[Settings]\r\nCommPort=1\r\n";
    writeAll(ini, before);

    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    rlimit small = saved;
    small.rlim_cur = 100;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    const bool written = ProfileStringWrite(Settings, "LocationFileName", QString(500, u'a'), ini);
    QVERIFY(setrlimit(RLIMIT_FSIZE, &saved) == 0);

    QVERIFY(!written);
    QCOMPARE(readAll(ini), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"KelvaneProgrammer.ini"});
}

void TestCodeWindows::readOnlyFolderLeavesFile() {
    if (geteuid() == 0)
        QSKIP("running as root: a read-only folder is still writable");
    QTemporaryDir dir;
    const QString ini = dir.filePath("KelvaneProgrammer.ini");
    const QByteArray before = "[Settings]\r\nCommPort=1\r\n";
    writeAll(ini, before);
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool written = ProfileStringWrite(Settings, "CommPort", "2", ini);
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(!written);
    QCOMPARE(readAll(ini), before);
}

QTEST_GUILESS_MAIN(TestCodeWindows)
#include "test_codewindows.moc"
