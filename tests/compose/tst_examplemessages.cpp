// The example Messages of a new database, sent as they stand: every token in them is filled in.
#include "compose/expandtokens.h"
#include "compose/standardsources.h"
#include "platform/fake/fakeplatform.h"
#include "store/dmData.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct CustomerClipboard : ClipboardTextSource {
    std::optional<QString> clipboardText() override { return u"the customer's question"_s; }
};

// Answers every prompt, counting them.
struct Answers : FreeTextPrompt {
    std::optional<QString> askFreeText(const QString&, const QString&) override
    {
        ++asked;
        return u"Ann"_s;
    }
    int asked = 0;
};

} // namespace

class TestExampleMessages : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyTokenIsFilledIn();
};

void TestExampleMessages::everyTokenIsFilledIn()
{
    QTemporaryDir dir;
    TdmFAQData dm(ConnectionSpec{ConnectionSpec::Kind::Sqlite, dir.filePath(u"examples.db"_s), true});
    dm.OpenDatabase();
    CustomerClipboard clipboard;
    SystemClock clock;
    FakeDateFormats formats;
    Answers answers;
    DataModuleIncludeLookup includes(dm);
    const TokenSources sources{clipboard, clock, formats, answers, includes};

    QSqlQuery query(QSqlDatabase::database(dm.connectionName()));
    QVERIFY(query.exec(u"select Hotword, Text from FAQ order by ID"_s));
    int messages = 0;
    while (query.next()) {
        ++messages;
        const QString hotword = query.value(0).toString();
        const QString sent = ExpandTokens(query.value(1).toString(), sources);
        for (const QString& marker :
             {u"^^"_s, u"%INCLUDE:"_s, u"%CLIPBOARD%"_s, u"%DATE"_s, u"HotWord \""_s, u"Multiple entries found"_s}) {
            QVERIFY2(!sent.contains(marker, Qt::CaseInsensitive),
                     qPrintable(hotword + u" sends "_s + marker + u":\n"_s + sent));
        }
    }
    QVERIFY(messages > 5);
    // The examples show the prompt too.
    QVERIFY(answers.asked > 0);
}

QTEST_GUILESS_MAIN(TestExampleMessages)
#include "tst_examplemessages.moc"
