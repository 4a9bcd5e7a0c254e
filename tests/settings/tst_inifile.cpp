#include "settings/inifile.h"

#include "util/errors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class TestIniFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        QVERIFY(dir.isValid());
        path = dir.filePath(u"t.ini"_s);
        QFile::remove(path);
    }

    void readsLikePrivateProfile();
    void defaultsForMissingParts();
    void longValuesAreCut();
    void sectionNamesInFileOrder();
    void writeCreatesFileSectionAndKey();
    void writeKeepsEverythingElse();
    void writeKeepsByteOrderMarkAndLineEnds();
    void filesThatAreNotUtf8_data();
    void filesThatAreNotUtf8();
    void integers();
    void refusedWriteLeavesOldFile();
    void batchWriteEqualsSingleWrites_data();
    void batchWriteEqualsSingleWrites();
    void editsApplyTogether();
    void fileOfManySections();

private:
    QTemporaryDir dir;
    QString path;
};

void TestIniFile::readsLikePrivateProfile()
{
    writeAll(path,
             "\xEF\xBB\xBF; comment=ignored\r\n"
             "[Options]\r\n"
             "  Target  =  Outlook Express  \r\n"
             ";HotKey=F1\r\n"
             "HotKey=F9\r\n"
             "hotkey=F10\r\n"
             "Quoted=\"  spaced  \"\r\n"
             "Single='x'\r\n"
             "Mismatched=\"x'\r\n"
             "Empty=\r\n"
             "Equals=a=b\r\n"
             "[options]\r\n"
             "Second=found only in the first section\r\n"
             "[Ünïcode]\r\n"
             "Name=日本語 ✓\r\n");
    IniFile ini(path);
    QCOMPARE(ini.readText(u"OPTIONS"_s, u"target"_s, u"d"_s), u"Outlook Express"_s);
    QCOMPARE(ini.readText(u"Options"_s, u"HotKey"_s, u"d"_s), u"F9"_s);
    QCOMPARE(ini.readText(u"Options"_s, u"Quoted"_s, u"d"_s), u"  spaced  "_s);
    QCOMPARE(ini.readText(u"Options"_s, u"Single"_s, u"d"_s), u"x"_s);
    QCOMPARE(ini.readText(u"Options"_s, u"Mismatched"_s, u"d"_s), u"\"x'"_s);
    QCOMPARE(ini.readText(u"Options"_s, u"Empty"_s, u"d"_s), QString());
    QCOMPARE(ini.readText(u"Options"_s, u"Equals"_s, u"d"_s), u"a=b"_s);
    QCOMPARE(ini.readText(u"Options"_s, u"Second"_s, u"d"_s), u"d"_s);
    QCOMPARE(ini.readText(u"ünïcode"_s, u"name"_s, u"d"_s), u"日本語 ✓"_s);
    QCOMPARE(ini.readText(u"Options"_s, u"; comment"_s, u"d"_s), u"d"_s);
}

void TestIniFile::defaultsForMissingParts()
{
    IniFile ini(path);
    QCOMPARE(ini.readText(u"Options"_s, u"Target"_s, u"dflt"_s), u"dflt"_s); // no file
    writeAll(path, "[Other]\nTarget=x\n");
    QCOMPARE(ini.readText(u"Options"_s, u"Target"_s, u"dflt"_s), u"dflt"_s); // no section
    QCOMPARE(ini.readText(u"Other"_s, u"Target2"_s, u"dflt"_s), u"dflt"_s); // no key
    QVERIFY(ini.sectionNames() == QStringList{u"Other"_s});
}

void TestIniFile::longValuesAreCut()
{
    const QByteArray value(5000, 'v');
    writeAll(path, "[S]\nK=" + value + "\n");
    QCOMPARE(IniFile(path).readText(u"S"_s, u"K"_s, {}).size(), 2047);
}

void TestIniFile::sectionNamesInFileOrder()
{
    writeAll(path, "[Eudora]\n[Pegasus]\n; [Commented]\n[ Outlook ]\n[eudora]\n[Notepad]\n");
    QCOMPARE(IniFile(path).sectionNames(), (QStringList{u"Eudora"_s, u"Pegasus"_s, u"Outlook"_s, u"Notepad"_s}));
}

void TestIniFile::writeCreatesFileSectionAndKey()
{
    IniFile ini(path);
    ini.writeText(u"Options"_s, u"Target"_s, u"Notepad"_s);
    ini.writeText(u"Options"_s, u"HotKey"_s, u"Shift+F12"_s);
    ini.writeText(u"Startup Settings"_s, u"Main Form Left"_s, u"-20"_s);
    ini.writeText(u"options"_s, u"TARGET"_s, u"Eudora"_s);
    QCOMPARE(readAll(path), "[Options]\nTarget=Eudora\nHotKey=Shift+F12\n[Startup Settings]\nMain Form Left=-20\n");
    QCOMPARE(ini.readText(u"Options"_s, u"Target"_s, {}), u"Eudora"_s);
}

void TestIniFile::writeKeepsEverythingElse()
{
    writeAll(path,
             "; user's notes\n"
             "[Options]\n"
             "Unknown = keep me\n"
             "  Target = Old  \n"
             "; trailing comment\n"
             "\n"
             "[Custom]\n"
             "x=1\n");
    IniFile ini(path);
    ini.writeText(u"Options"_s, u"Target"_s, u"New\r\nLine"_s);
    ini.writeText(u"Options"_s, u"HotKey"_s, u"F12"_s);
    ini.writeText(u"Custom"_s, u"y"_s, u"2"_s);
    QCOMPARE(readAll(path),
             "; user's notes\n"
             "[Options]\n"
             "Unknown = keep me\n"
             "  Target =New  Line\n"
             "HotKey=F12\n"
             "; trailing comment\n"
             "\n"
             "[Custom]\n"
             "x=1\n"
             "y=2\n");
}

void TestIniFile::writeKeepsByteOrderMarkAndLineEnds()
{
    writeAll(path, "\xEF\xBB\xBF[A]\r\nk=1\r\n");
    IniFile(path).writeText(u"A"_s, u"k"_s, u"é"_s);
    QCOMPARE(readAll(path), "\xEF\xBB\xBF[A]\r\nk=\xC3\xA9\r\n");
}

void TestIniFile::filesThatAreNotUtf8_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("value"); // written to [A] k
    QTest::addColumn<QString>("name"); // read from [A] Name
    QTest::addColumn<QByteArray>("after");

    // Written by Notepad in the ANSI code page (Windows-1252).
    const QByteArray ansi = "; caf\xE9\r\n[A]\r\nName=M\xFCller \x80 \x93x\x94\r\nk=1\r\n";
    QTest::newRow("ansi, value fits") << ansi << u"\u00E9\u20AC"_s << u"M\u00FCller \u20AC \u201Cx\u201D"_s
                                      << QByteArray(
                                             "; caf\xE9\r\n[A]\r\nName=M\xFCller \x80 \x93x\x94\r\nk=\xE9\x80\r\n");
    QTest::newRow("ansi, value needs utf-8")
        << ansi << u"\u03A9"_s << u"M\u00FCller \u20AC \u201Cx\u201D"_s
        << QByteArray(
               "; caf\xC3\xA9\r\n[A]\r\nName=M\xC3\xBCller \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D\r\nk=\xCE\xA9\r\n");
    QTest::newRow("unassigned byte kept") << QByteArray("[A]\nName=\x81\x8D\nk=1\n") << u"2"_s << u"\u0081\u008D"_s
                                          << QByteArray("[A]\nName=\x81\x8D\nk=2\n");
    QTest::newRow("utf-8 stays utf-8") << QByteArray("[A]\nName=M\xC3\xBCller\nk=1\n") << u"\u00E9"_s
                                       << u"M\u00FCller"_s << QByteArray("[A]\nName=M\xC3\xBCller\nk=\xC3\xA9\n");
    // One stray byte makes the whole file 8-bit, also the bytes that would pass as UTF-8.
    QTest::newRow("mixed") << QByteArray("[A]\nName=\xC3\xBC\xFC\nk=1\n") << u"x"_s << u"\u00C3\u00BC\u00FC"_s
                           << QByteArray("[A]\nName=\xC3\xBC\xFC\nk=x\n");
    // Without its one stray byte the file would pass as UTF-8 and read otherwise.
    QTest::newRow("stray byte rewritten") << QByteArray("[A]\nName=\xC3\xBC\nk=\xFC\n") << u"x"_s << u"\u00C3\u00BC"_s
                                          << QByteArray("[A]\nName=\xC3\x83\xC2\xBC\nk=x\n");
    // A line of only a byte-order mark reads as empty, like the line before it.
    QTest::newRow("lines that read alike") << QByteArray("[A]\nName=x\n\n\xEF\xBB\xBF\nk=1\n") << u"2"_s << u"x"_s
                                           << QByteArray("[A]\nName=x\n\n\xEF\xBB\xBF\nk=2\n");
}

void TestIniFile::filesThatAreNotUtf8()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, value);
    QFETCH(QString, name);
    QFETCH(QByteArray, after);
    writeAll(path, before);
    const IniFile ini(path);
    QCOMPARE(ini.readText(u"A"_s, u"Name"_s, {}), name);
    ini.writeText(u"A"_s, u"k"_s, value);
    QCOMPARE(readAll(path), after);
    QCOMPARE(ini.readText(u"A"_s, u"Name"_s, {}), name);
    QCOMPARE(ini.readText(u"A"_s, u"k"_s, {}), value);
}

void TestIniFile::integers()
{
    writeAll(path, "[S]\na=42\nb=-7\nc=12px\nd=\ne= 3\nf=99999999999\n");
    IniFile ini(path);
    QCOMPARE(ini.readInteger(u"S"_s, u"a"_s, 0), 42);
    QCOMPARE(ini.readInteger(u"S"_s, u"b"_s, 0), -7);
    QCOMPARE(ini.readInteger(u"S"_s, u"e"_s, 0), 3);
    QCOMPARE(ini.readInteger(u"S"_s, u"missing"_s, 178), 178);
    for (const auto& [key, text] :
         {std::pair{u"c"_s, u"12px"_s}, std::pair{u"d"_s, QString()}, std::pair{u"f"_s, u"99999999999"_s}}) {
        try {
            ini.readInteger(u"S"_s, key, 0);
            QFAIL("no conversion error");
        } catch (const Error& e) {
            // The file and the key are named, so that the user can find the value to mend.
            QCOMPARE(e.text(),
                     u"'%1' is not a valid integer value: key \"%2\" in section [S] of %3."_s.arg(
                         text, key, QDir::toNativeSeparators(path)));
        }
    }
}

void TestIniFile::refusedWriteLeavesOldFile()
{
#ifdef Q_OS_UNIX
    // A folder that refuses writing; root ignores permissions, so the check runs in a
    // child process without them.
    const QByteArray old = "[Options]\n; keep\nTarget=Old\n";
    writeAll(path, old);
    QFile::setPermissions(dir.path(),
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup
                              | QFile::ExeGroup);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadOther | QFile::ReadGroup);
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        try {
            IniFile(path).writeText(u"Options"_s, u"Target"_s, u"New"_s);
            _exit(1);
        } catch (const Error& e) {
            _exit(
                e.text() == u"Unable to write to "_s + path + u": it is write-protected. The file was left as it was."_s
                    ? 0
                    : 2);
        }
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QCOMPARE(readAll(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"t.ini"_s});
#else
    QSKIP("needs a POSIX process without write permission");
#endif
}

void TestIniFile::batchWriteEqualsSingleWrites_data()
{
    QTest::addColumn<QByteArray>("before"); // empty: no file
    QTest::newRow("no file") << QByteArray();
    QTest::newRow("keys present") << QByteArray("[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");
    QTest::newRow("comments and blank lines") << QByteArray("; top\n[a]\nX=1\n\n; tail of a\n[Other]\nk=v\n");
    QTest::newRow("section twice") << QByteArray("[A]\nx=1\n[B]\n[A]\ny=9\n");
    QTest::newRow("8-bit file") << QByteArray("[A]\nw=Gr\xfc\xdf"
                                              "e\n");
}

void TestIniFile::batchWriteEqualsSingleWrites()
{
    QFETCH(QByteArray, before);
    // The same key twice, a new key in a present section, a new section, a multi-line value.
    const QList<IniFile::Entry> entries{{u"A"_s, u"x"_s, u"first"_s},
                                        {u"a"_s, u"Y"_s, u"Köln"_s},
                                        {u"C"_s, u"new"_s, u"1"_s},
                                        {u"A"_s, u"X"_s, u"second"_s},
                                        {u"B"_s, u"z"_s, u"two\nlines"_s}};
    const QString single = dir.filePath(u"single.ini"_s);
    QFile::remove(single);
    if (!before.isEmpty()) {
        writeAll(path, before);
        writeAll(single, before);
    }
    IniFile(path).writeTexts(entries);
    for (const IniFile::Entry& entry : entries)
        IniFile(single).writeText(entry.section, entry.key, entry.value);
    QCOMPARE(readAll(path), readAll(single));

    // Read back in one pass as each single read gives it.
    const QHash<QString, QString> values = IniFile(path).readValues();
    for (const IniFile::Entry& entry : entries) {
        QCOMPARE(values.value(IniFile::ValueId(entry.section, entry.key)),
                 IniFile(path).readText(entry.section, entry.key, u"<missing>"_s));
    }
}

void TestIniFile::editsApplyTogether()
{
    writeAll(path, "[A]\nx=1\n[B]\ny=2\n[C]\nz=3\n");
    IniFile::Edits edits;
    edits.removeSection(u"b"_s);
    edits.renameSection(u"A"_s, u"A2"_s);
    edits.writeText(u"A2"_s, u"x"_s, u"one"_s);
    edits.removeKey(u"C"_s, u"z"_s);
    edits.writeText(u"D"_s, u"w"_s, u"4"_s);
    const IniFile ini(path);
    ini.apply(edits);
    QCOMPARE(readAll(path), QByteArray("[A2]\nx=one\n[C]\n[D]\nw=4\n"));

    // A snapshot answers from its reading and its own writes, not from later changes by others.
    const IniFile snapshot = ini.snapshot();
    writeAll(path, "[Other]\n");
    QCOMPARE(snapshot.readText(u"a2"_s, u"X"_s, {}), u"one"_s);
    QCOMPARE(snapshot.sectionNames(), (QStringList{u"A2"_s, u"C"_s, u"D"_s}));
    snapshot.writeText(u"E"_s, u"v"_s, u"5"_s);
    QCOMPARE(snapshot.sectionNames(), (QStringList{u"Other"_s, u"E"_s}));
    QCOMPARE(snapshot.readText(u"E"_s, u"v"_s, {}), u"5"_s);
}

void TestIniFile::fileOfManySections()
{
    // About 5 MB in 100,000 sections, each name also twice in another case: every listing
    // and reading takes one pass over the file.
    constexpr int count = 100000;
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += "[Program " + QByteArray::number(i) + "]\nTarget=- Window title number " + QByteArray::number(i)
            + "\nSearch Type=Substring\n";
    for (const int i : {0, count / 2, count - 1})
        bytes += "[PROGRAM " + QByteArray::number(i) + "]\nTarget=later\n";
    writeAll(path, bytes);
    const IniFile ini(path);
    const QStringList names = ini.sectionNames();
    QCOMPARE(names.size(), count);
    QCOMPARE(names.first(), u"Program 0"_s);
    QCOMPARE(names.last(), u"Program %1"_s.arg(count - 1));
    QCOMPARE(ini.readValues().size(), 2 * count);

    const IniFile snapshot = ini.snapshot();
    for (int i = 0; i < count; ++i) {
        if (snapshot.readText(names[i], u"Target"_s, {}) != u"- Window title number %1"_s.arg(i))
            QFAIL(qPrintable(names[i]));
    }
    QCOMPARE(ini.readText(u"program 99999"_s, u"target"_s, {}), u"- Window title number 99999"_s);

    IniFile::Edits edits;
    for (int i = 0; i < 10; ++i)
        edits.renameSection(names[count - 2 - i], u"Renamed %1"_s.arg(i));
    ini.apply(edits);
    QCOMPARE(ini.sectionNames().size(), count);
    QCOMPARE(ini.readText(u"Renamed 0"_s, u"Target"_s, {}), u"- Window title number 99998"_s);
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
