// The settings file functions against hand-edited files and against failing writes.
#include "testsupport.h"

#include <sys/stat.h>

namespace {

const QString Settings = QStringLiteral("Settings");

const QByteArray LongValue = QByteArray(300, 'x') + "END";

// A single-key write, built on what the program uses.
bool ProfileStringWrite(const QString &section, const QString &key, const QString &value,
                        const QString &fileName) {
    QStringList refused;
    return ProfileStringsWrite(section, {{key, value}}, fileName, nullptr, &refused) && refused.isEmpty();
}

// The lines, each ended by CR LF.
template <typename... Lines> QByteArray crLfLines(const Lines &...lines) {
    return (QByteArray() + ... + (QByteArray(lines) + "\r\n"));
}

// A file as someone might edit it by hand.
QByteArray handEdited() {
    return crLfLines("; settings of the programmer", "[Other]", "Options=99", "", "  [ settings ]  ",
                     "\tGameNumber0 =  1234  ", "BONUS0=\"1.50\"", "Bonus1='  6000 '", "Bonus2=\"50.00'",
                     "Bonus3=", "   ;DumpMemAddr=12", "Options = 12abc", "PrinterType=\t-3",
                     "gamenumber0=duplicate", "CommPort = \"7\"", "Huge=99999999999999999999999",
                     "Long=" + LongValue, "NoEquals", "Place=Z\xC3\xBCrich", "[Settings]",
                     "GameNumber1=second section");
}

const ProfileValues shutDownValues = {
    {"Options", "137"},     {"PrinterType", "6"},   {"DumpMemAddr", " 1F00"}, {"Bonus0", "\"0.00\""},
    {"Bonus1", "\"1.00\""}, {"Bonus2", "\"2.00\""}, {"Bonus3", "\"3.00\""}};

} // namespace

class TestCodeWindows : public QObject {
    Q_OBJECT
private slots:
    void read_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("number");
        const auto row = [](const char *name, const QString &key, const QString &text, qint64 number) {
            QTest::newRow(name) << key << text << number;
        };
        const qint64 none = 77; // the default given to every number read
        row("blanks and tab around name and value", "GameNumber0", "1234", 1234);
        row("other case, double quotes removed", "Bonus0", "1.50", 1);
        row("single quotes keep the blanks inside", "Bonus1", "  6000 ", 6000);
        row("unmatched quotes stay", "Bonus2", "\"50.00'", none);
        row("empty value is not the default", "Bonus3", "", none);
        row("indented comment", "DumpMemAddr", "<default>", none);
        row("missing key", "DebugOptions", "<default>", none);
        row("line without =", "NoEquals", "<default>", none);
        row("key of the other section", "CommBaudRate", "<default>", none);
        row("duplicate section: the first wins", "GameNumber1", "<default>", none);
        row("duplicate key: the first wins", "gamenumber0", "1234", 1234);
        row("leading digits only", "Options", "12abc", 12);
        row("tab and minus sign", "PrinterType", "-3", -3);
        row("quoted number", "CommPort", "7", 7);
        row("held at the upper limit", "Huge", "99999999999999999999999", std::numeric_limits<qint64>::max());
        row("longer than 254 characters, read in full", "Long", QString::fromLatin1(LongValue), none);
        row("system 8-bit encoding", "Place", QString::fromUtf8("Z\xC3\xBCrich"), none);
    }

    void read() {
        QFETCH(QString, key);
        const ProgramFolder folder;
        folder.write("KelvaneProgrammer.ini", handEdited());
        QTEST(ProfileStringGet(Settings, key, "<default>", folder.ini()), "text");
        // A number as start-up reads it: the value's leading digits, else the default.
        QTEST(profileLeadingNumber(ProfileStringGet(Settings, key, QString(), folder.ini())).value_or(77),
              "number");
    }

    void write_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        const auto row = [](const char *name, const QByteArray &before, const QString &key,
                            const QString &value, const QByteArray &after) {
            QTest::newRow(name) << before << key << value << after;
        };

        // Lines nobody writes keep their bytes, whatever they are (Latin-1, lone LF, odd spacing).
        const QByteArray odd =
            "; caf\xE9 \xFF\r\n[Settings]\r\n  Options = 3 \n\t\r\nBonus0=1.00\r\n\r\n[Other]\r\n";
        row("replace a value, other lines untouched", odd, "bonus0", "2.50",
            "; caf\xE9 \xFF\r\n[Settings]\r\n  Options = 3 \n\t\r\nBonus0=2.50\r\n\r\n[Other]\r\n");
        row("new key after the section's last key, before the blank line", odd, "CommPort", "1",
            "; caf\xE9 \xFF\r\n[Settings]\r\n  Options = 3 "
            "\n\t\r\nBonus0=1.00\r\nCommPort=1\r\n\r\n[Other]\r\n");
        row("new key in a section without keys goes under its header", "[Settings]\r\n\r\n[Other]\r\n", "A",
            "1", "[Settings]\r\nA=1\r\n\r\n[Other]\r\n");
        row("new key after a last line without line break", "[Settings]\r\nB=3", "A", "1",
            "[Settings]\r\nB=3\r\nA=1\r\n");
        row("new section at the end", "[Other]\r\nX=1\r\n", "A", "1",
            "[Other]\r\nX=1\r\n[Settings]\r\nA=1\r\n");
        row("new section after a last line without line break", "; only a comment", "A", "1",
            "; only a comment\r\n[Settings]\r\nA=1\r\n");
        row("only the first of duplicate keys", "[Settings]\r\nA=1\r\na=2\r\n", "A", "3",
            "[Settings]\r\nA=3\r\na=2\r\n");
        row("commented key is not the key", "[Settings]\r\n;A=1\r\n", "A", "2",
            "[Settings]\r\nA=2\r\n;A=1\r\n");
        row("UTF-8 mark kept", "\xEF\xBB\xBF[Settings]\r\nA=1\r\n", "A", "2",
            "\xEF\xBB\xBF[Settings]\r\nA=2\r\n");
        // Values that reading would change are quoted so they read back as given.
        row("blanks inside need nothing", "", "A", "My Texts/a b", "[Settings]\r\nA=My Texts/a b\r\n");
        row("leading blank is protected", "", "A", " 12", "[Settings]\r\nA=\" 12\"\r\n");
        row("surrounding quotes are protected", "", "A", "\"x\"", "[Settings]\r\nA=\"\"x\"\"\r\n");
        row("longer than 254", "", "A", QString(400, u'9'),
            "[Settings]\r\nA=" + QByteArray(400, '9') + "\r\n");
        row("non-ASCII in the system encoding", "", "A", QString::fromUtf8("Z\xC3\xBCrich"),
            "[Settings]\r\nA=Z\xC3\xBCrich\r\n");
    }

    void write() {
        QFETCH(QByteArray, before);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const ProgramFolder folder;
        folder.write("KelvaneProgrammer.ini", before);
        QVERIFY(ProfileStringWrite(Settings, key, value, folder.ini()));
        QTEST(folder.read("KelvaneProgrammer.ini"), "after");
        QCOMPARE(ProfileStringGet(Settings, key, "<default>", folder.ini()), value);
    }

    // The first write creates the file; writes that fail (names that cannot be stored, a disk that
    // fills up while the new file is written) leave it whole, and nothing else is left behind.
    void createThenFailedWrites() {
        const ProgramFolder folder;
        const QString ini = folder.ini();
        QCOMPARE(ProfileStringGet(Settings, "Bonus0", "1.00", ini), QString("1.00"));
        QVERIFY(!QFile::exists(ini)); // reading does not create it
        QVERIFY(ProfileStringWrite(Settings, "CommPort", "1", ini));
        QVERIFY(ProfileStringWrite(Settings, "CommBaudRate", "0", ini));
        const QByteArray created = "[Settings]\r\nCommPort=1\r\nCommBaudRate=0\r\n";
        QCOMPARE(folder.read("KelvaneProgrammer.ini"), created);

        QVERIFY(!ProfileStringWrite(Settings, "CommPort", "two\r\nlines", ini));
        for (const char *key : {"A=B", ";A", ""})
            QVERIFY2(!ProfileStringWrite(Settings, key, "1", ini), key);
        QVERIFY(!ProfileStringWrite("Set]tings", "A", "1", ini));
        {
            const FileSizeLimit full(100);
            QVERIFY(!ProfileStringWrite(Settings, "LocationFileName", QString(500, u'a'), ini));
        }
        QCOMPARE(folder.read("KelvaneProgrammer.ini"), created);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"KelvaneProgrammer.ini"});
    }

    // A settings file that exists but cannot be read is never replaced, neither at once nor later.
    void unreadableNeverReplaced_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("a folder") << "folder";
        QTest::newRow("no read permission") << "unreadable";
        QTest::newRow("a pipe") << "fifo";
    }

    void unreadableNeverReplaced() {
        QFETCH(QString, kind);
        const ProgramFolder folder;
        const QString ini = folder.ini();
        if (kind == "folder") {
            QVERIFY(QDir().mkdir(ini));
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(ini).constData(), 0600), 0);
        } else {
            folder.write("KelvaneProgrammer.ini", "[Settings]\r\nOptions=3\r\n");
            QVERIFY(QFile::setPermissions(ini, QFile::WriteOwner));
            AsOrdinaryUser::own(folder.path());
            AsOrdinaryUser::own(ini);
        }
        {
            std::optional<AsOrdinaryUser> user;
            if (kind == "unreadable")
                user.emplace();
            QString error;
            QVERIFY(!ProfileStringsWrite(Settings, shutDownValues, ini, &error));
            QVERIFY(!error.isEmpty());
            QVERIFY(!profileFileBytes(ini));
            QCOMPARE(ProfileStringGet(Settings, "Options", "<default>", ini), QString("<default>"));
        }
        const QFileInfo info(ini);
        QVERIFY(kind == "folder" ? info.isDir() : kind == "fifo" ? !info.isFile() : info.size() == 23);
        QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner);
    }

    void settingsFileName_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("settings");
        const auto row = [](const char *program, const char *settings) {
            QTest::newRow(program) << QString(program) << QString(settings);
        };
        row("KelvaneProgrammer", "KelvaneProgrammer.ini");
        row("KelvaneProgrammer.exe", "KelvaneProgrammer.ini");
        row("KelvaneProgrammer.EXE", "KelvaneProgrammer.ini");
        row("KelvaneProgrammer.v2", "KelvaneProgrammer.v2.ini"); // a dot in the name
        row("KelvaneProgrammer-3.2.1.exe", "KelvaneProgrammer-3.2.1.ini");
        row("Kelvane.exe.old", "Kelvane.exe.old.ini"); // only a trailing .exe goes
    }

    void settingsFileName() {
        QFETCH(QString, program);
        QTEST(settingsFileNameFor(program), "settings");
    }
};

QTEST_GUILESS_MAIN(TestCodeWindows)
#include "test_codewindows.moc"
