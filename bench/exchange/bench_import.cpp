// Times reading a CSV file of 100,000 Messages and importing it into an empty embedded
// database, and exporting them again; prints each run and the medians. Run by hand:
//   bench_import [--runs N] [--messages N]

#include "exchange/exchangeformats.h"
#include "scriptedinteraction.h"
#include "store/dmData.h"
#include "store/messageexchange.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

MessageCollection Generate(int count)
{
    QRandomGenerator random(11);
    const QStringList words{u"order"_s, u"refund"_s, u"delivery"_s, u"customer"_s, u"invoice"_s,
                            u"thank"_s, u"please"_s, u"account"_s,  u"password"_s, u"address"_s};
    MessageCollection collection;
    collection.messages.reserve(count);
    const int groups = std::max(1, count / 1000);
    for (int id = 1; id <= count; ++id) {
        CollectedMessage message;
        message.id = id;
        message.parentId = id <= groups ? 0 : 1 + random.bounded(groups);
        message.shortName = u"Answer %1"_s.arg(id);
        message.hotword = u"hw%1"_s.arg(id);
        QStringList text;
        for (int w = 0; w < 50; ++w)
            text << words.at(random.bounded(int(words.size())));
        message.text = u"Dear ^^INPUT:Name||^^,\n"_s + text.join(u' ') + u"\n%INCLUDE:sig%"_s;
        message.keywords = {words.at(id % words.size()), u"k%1"_s.arg(id % 5000)};
        if (id % 10 == 0)
            message.attachments = {{u"/srv/files/doc%1.pdf"_s.arg(id), id % 20 == 0}};
        collection.messages.append(std::move(message));
    }
    return collection;
}

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int runs = 3;
    int count = 100000;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == u"--runs"_s)
            runs = args.at(i + 1).toInt();
        else if (args.at(i) == u"--messages"_s)
            count = args.at(i + 1).toInt();
    }
    ScriptedInteraction ui;
    const QByteArray csv = WriteCsv(Generate(count));
    std::printf("%d Messages, CSV file of %.1f MB\n", count, csv.size() / 1e6);

    QList<double> imports;
    QList<double> importCpu;
    QList<double> exports;
    for (int run = 0; run < runs; ++run) {
        QTemporaryDir dir;
        ConnectionSpec spec;
        spec.database = dir.filePath(u"bench.db"_s);
        spec.createWithExamples = false;
        TdmFAQData dm(spec);
        dm.OpenDatabase();

        QElapsedTimer timer;
        timer.start();
        const std::clock_t cpuStart = std::clock();
        const MessageCollection read = ReadCsv(csv);
        const double reading = timer.elapsed() / 1000.0;
        const ImportOutcome outcome = ImportMessages(dm, read, ImportChoice::Skip);
        imports << timer.elapsed() / 1000.0;
        importCpu << double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        if (outcome.messages != count) {
            std::fprintf(stderr, "imported %d of %d\n", outcome.messages, count);
            return 1;
        }
        timer.restart();
        WriteCsv(ReadAllMessages(dm));
        exports << timer.elapsed() / 1000.0;
        std::printf("run %d: read and import %.2f s (processor time %.2f s, reading the file %.2f s), "
                    "read back and write %.2f s\n",
                    run + 1, imports.last(), importCpu.last(), reading, exports.last());
    }
    // On a busy machine the processor time tells more than the elapsed time.
    std::printf("median: import %.2f s (processor time %.2f s), export %.2f s\n", Median(imports), Median(importCpu),
                Median(exports));
    return 0;
}
