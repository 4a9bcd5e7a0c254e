#include "compose/standardsources.h"

#include "compose/expandtokens.h"
#include "platform/fake/fakeplatform.h"
#include "scriptedinteraction.h"
#include "store/dmData.h"
#include "util/errors.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct FixedClipboard : ClipboardTextSource {
    std::optional<QString> clipboardText() override { return u"clip"_s; }
};

} // namespace

class TestStandardSources : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void includesFromTheDataModule();
    void standardSourcesTogether();

private:
    void addMessage(const QString& hotword, const QString& text);

    QTemporaryDir dir;
    std::unique_ptr<TdmFAQData> dm;
};

void TestStandardSources::initTestCase()
{
    QVERIFY(dir.isValid());
    dm = std::make_unique<TdmFAQData>(
        ConnectionSpec{ConnectionSpec::Kind::Sqlite, dir.filePath(u"compose.db"_s), false});
    dm->OpenDatabase();
    addMessage(u"abc"_s, u"Body of abc"_s);
    addMessage(QString(), u"Body without Hotword"_s);
}

void TestStandardSources::addMessage(const QString& hotword, const QString& text)
{
    dm->NewMessage(0);
    // A Message without a Hotword has the empty one, not NULL.
    dm->SetPendingMessage({hotword.isNull() ? u""_s : hotword, u"m"_s, text, {}});
    dm->SaveFAQ();
}

void TestStandardSources::includesFromTheDataModule()
{
    DataModuleIncludeLookup lookup(*dm);
    const HotwordText found = lookup.textByHotword(u"abc"_s);
    QCOMPARE(found.rowCount, 1);
    QCOMPARE(found.text, u"Body of abc"_s);
    QCOMPARE(lookup.textByHotword(u"nosuch"_s).rowCount, 0);
    // "%INCLUDE:%" asks for the empty Hotword, not for NULL.
    QCOMPARE(lookup.textByHotword(QString()).text, u"Body without Hotword"_s);
}

void TestStandardSources::standardSourcesTogether()
{
    ScriptedInteraction ui;
    FixedClipboard clipboard;
    FakeDateFormats dates;
    StandardTokenSources standard(clipboard, dates, *dm, ui);
    // The dates come in the formats given, the clock is the system's.
    const QDate today = QDate::currentDate();
    const QString dated = ExpandTokens(u"%DATE%"_s, standard.sources());
    QVERIFY2(dated == today.toString(Qt::ISODate) || dated == QDate::currentDate().toString(Qt::ISODate),
             qPrintable(dated));
    ui.inputAnswers = {QString(), QString(300, u'x')};
    QCOMPARE(ExpandTokens(u"%CLIPBOARD% %INCLUDE:ABC% ^^INPUT:Name||Bob^^ %INCLUDE:nosuch%"_s, standard.sources()),
             u"clip Body of abc Bob HotWord \"nosuch\" not found."_s);
    QCOMPARE(ui.shown.size(), 1);
    QCOMPARE(ui.shown.first().caption, u"Free Text Entry"_s);
    QCOMPARE(ui.shown.first().text, u"Name"_s);
    // The box takes at most 255 characters; a cancel ends the expansion.
    QCOMPARE(ExpandTokens(u"^^INPUT:Long||^^"_s, standard.sources()).size(), 255);
    ui.inputAnswers = {std::nullopt};
    QVERIFY_THROWS_EXCEPTION(Abort, ExpandTokens(u"^^INPUT:Name||Bob^^"_s, standard.sources()));
}

QTEST_GUILESS_MAIN(TestStandardSources)
#include "tst_standardsources.moc"
