// Expands large Message texts with many tokens and prints the median time of several runs,
// for texts of 1/4, 1/2, 1 and 2 MB, so that growth beyond linear shows in the ratios; then
// the 1 MB text once more with its includes read from an embedded database.

#include "compose/expandtokens.h"
#include "compose/standardsources.h"
#include "store/dmData.h"
#include "util/errors.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <QElapsedTimer>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct MemorySources : ClipboardTextSource, Clock, DateFormats, FreeTextPrompt, IncludeLookup {
    QHash<QString, QString> bodies;
    int prompts = 0;
    int lookups = 0;

    std::optional<QString> clipboardText() override { return u"clipboard text"_s; }
    QDateTime now() override { return QDateTime(QDate(2024, 3, 7), QTime(13, 4, 5)); }
    QString shortDate(QDate date) override { return date.toString(u"dd.MM.yyyy"_s); }
    QString longTime(QTime time) override { return time.toString(u"HH:mm:ss"_s); }
    std::optional<QString> askFreeText(const QString& prompt, const QString&) override
    {
        ++prompts;
        return u"answer to "_s + prompt;
    }
    HotwordText textByHotword(const QString& hotword) override
    {
        ++lookups;
        const auto it = bodies.constFind(hotword.toLower());
        return it == bodies.cend() ? HotwordText{} : HotwordText{1, *it};
    }
};

// A text of about `size` characters with `tokens` tokens: one in ten each clipboard, date
// and date-and-time, two in ten free-text fields (50 distinct), half includes (half of them
// distinct Hotwords, some nesting two more levels, a few not found).
QString MakeText(qsizetype size, int tokens, MemorySources& sources)
{
    const QString filler = u"Thank you for your message about the order. "_s;
    const qsizetype gap = size / tokens;
    QString text;
    text.reserve(size + tokens * 20);
    for (int i = 0; i < tokens; ++i) {
        while (text.size() < gap * i)
            text += filler;
        switch (i % 10) {
        case 0: text += u"%CLIPBOARD%"_s; break;
        case 1: text += u"%date%"_s; break;
        case 2: text += u"%DATETIME%"_s; break;
        case 3:
        case 4: text += u"^^INPUT:Field %1||default^^"_s.arg(i % 50); break;
        default: text += u"%INCLUDE:hw%1%"_s.arg(i % (tokens / 2)); break;
        }
    }
    while (text.size() < size)
        text += filler;
    for (int h = 0; h < tokens / 2; ++h) {
        if (h % 100 == 99)
            continue; // not found
        QString body = u"Included body %1 with a few words of its own."_s.arg(h);
        if (h % 10 == 0)
            body += u" %INCLUDE:inner%1%"_s.arg(h % 40);
        sources.bodies.insert(u"hw%1"_s.arg(h), body);
    }
    for (int h = 0; h < 40; ++h)
        sources.bodies.insert(u"inner%1"_s.arg(h), u"Inner %1 %INCLUDE:leaf%"_s.arg(h));
    sources.bodies.insert(u"leaf"_s, u"leaf"_s);
    return text;
}

double MedianMs(qsizetype size, int tokens, int runs, qsizetype& resultSize, TdmFAQData* data = nullptr)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        MemorySources sources;
        const QString text = MakeText(size, tokens, sources);
        std::optional<DataModuleIncludeLookup> databaseLookup;
        if (data)
            databaseLookup.emplace(*data);
        IncludeLookup& includes = data ? static_cast<IncludeLookup&>(*databaseLookup) : sources;
        const TokenSources all{sources, sources, sources, sources, includes};
        QElapsedTimer timer;
        timer.start();
        const QString result = ExpandTokens(text, all);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        resultSize = result.size();
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

// An embedded database holding the bodies as Messages.
std::unique_ptr<TdmFAQData> MakeDatabase(const QString& file, const QHash<QString, QString>& bodies)
{
    auto data = std::make_unique<TdmFAQData>(ConnectionSpec{ConnectionSpec::Kind::Sqlite, file, false});
    QStringList rows;
    for (auto it = bodies.cbegin(); it != bodies.cend(); ++it)
        rows << u"('m', '%1', '%2', 0)"_s.arg(it.key(), it.value());
    QSqlQuery insert(QSqlDatabase::database(data->connectionName()));
    if (!insert.exec(u"insert into FAQ (ShortName, Hotword, Text, GroupID) values "_s + rows.join(u',')))
        throw Error(insert.lastError().text());
    return data;
}

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    const qsizetype mb = 1024 * 1024;
    double oneMb = 0;
    for (const auto& [size, tokens] :
         {std::pair{mb / 4, 2500}, std::pair{mb / 2, 5000}, std::pair{mb, 10000}, std::pair{2 * mb, 20000}}) {
        qsizetype resultSize = 0;
        const double ms = MedianMs(size, tokens, 11, resultSize);
        if (size == mb)
            oneMb = ms;
        out << u"%1 KiB, %2 tokens -> %3 KiB: median %4 ms of 11 runs"_s.arg(size / 1024)
                   .arg(tokens)
                   .arg(resultSize / 1024)
                   .arg(ms, 0, 'f', 1);
        if (oneMb > 0)
            out << u" (%1 x the 1 MiB time)"_s.arg(ms / oneMb, 0, 'f', 2);
        out << Qt::endl;
    }

    QTemporaryDir dir;
    MemorySources sources;
    MakeText(mb, 10000, sources);
    const std::unique_ptr<TdmFAQData> data = MakeDatabase(dir.filePath(u"bench.db"_s), sources.bodies);
    qsizetype resultSize = 0;
    const double ms = MedianMs(mb, 10000, 5, resultSize, data.get());
    out << u"1024 KiB, 10000 tokens -> %1 KiB, includes from the embedded database: "
           u"median %2 ms of 5 runs"_s.arg(resultSize / 1024)
               .arg(ms, 0, 'f', 1)
        << Qt::endl;
    return 0;
}
