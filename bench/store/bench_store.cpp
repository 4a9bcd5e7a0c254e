// Times the saved queries of the Message store on a generated database of 100,000
// Messages and prints medians. Run by hand:
//   bench_store                       embedded SQLite file (default /tmp/quillbay-bench.db)
//   bench_store --odbc                the ODBC data source QuillBay (see run-bench.sh)
// Options: --db PATH, --regenerate, --runs N.

#include "scriptedinteraction.h"
#include "store/dmData.h"
#include "util/errors.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

constexpr int messageCount = 100000;
constexpr int areaCount = 10; // level 1
constexpr int sectionsPerArea = 10; // level 2
constexpr int bigGroupChildren = 1000; // the one large group, under the first area
constexpr int keywordsPerMessage = 3;
constexpr int keywordVocabulary = 20000;
constexpr int rareMessages = 5;
const QString rareWord = u"quetzalcoatl"_s;
const QString commonWord = u"customer"_s;

void Exec(QSqlQuery& query)
{
    if (!query.exec())
        throw Error(query.lastError().text() + u" in: "_s + query.lastQuery());
}

void Exec(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery query(db);
    if (!query.exec(sql))
        throw Error(query.lastError().text() + u" in: "_s + sql);
}

QStringList Vocabulary()
{
    QRandomGenerator random(7);
    const QString letters = u"abcdefghijklmnoprstuvwy"_s;
    QStringList words;
    while (words.size() < 3000) {
        QString word;
        const int length = 3 + random.bounded(7);
        for (int i = 0; i < length; ++i)
            word += letters.at(random.bounded(int(letters.size())));
        // Keep the two probe words out of the filler text.
        if (!word.contains(u"quetz"_s) && !word.contains(commonWord))
            words << word;
    }
    return words;
}

struct Row {
    int id;
    int groupId;
    QString shortName;
    QString text;
};

// Inserts rows with many VALUES tuples per statement, inside one transaction.
class BatchInsert {
public:
    BatchInsert(QSqlDatabase db, QString prefix, int columns, int rowsPerStatement)
        : m_db(std::move(db))
        , m_prefix(std::move(prefix))
        , m_columns(columns)
        , m_rowsPerStatement(rowsPerStatement)
    { }
    void add(const QVariantList& row)
    {
        m_values << row;
        if (m_values.size() == qsizetype(m_columns) * m_rowsPerStatement)
            flush();
    }
    void flush()
    {
        if (m_values.isEmpty())
            return;
        const int rows = int(m_values.size() / m_columns);
        QStringList tuple(m_columns, u"?"_s);
        QStringList tuples(rows, u"("_s + tuple.join(u", "_s) + u")"_s);
        QSqlQuery query(m_db);
        if (!query.prepare(m_prefix + u" values "_s + tuples.join(u", "_s)))
            throw Error(query.lastError().text());
        for (qsizetype i = 0; i < m_values.size(); ++i)
            query.bindValue(int(i), m_values.at(i));
        Exec(query);
        m_values.clear();
    }

private:
    QSqlDatabase m_db;
    QString m_prefix;
    int m_columns;
    int m_rowsPerStatement;
    QVariantList m_values;
};

struct Layout {
    int bigGroup = 0;
    QList<int> sections;
};

// Keeps the ids of the generated tree: areas, sections, the big group, then leaves.
Layout Generate(QSqlDatabase db, bool postgres)
{
    QTextStream out(stdout);
    out << "Generating " << messageCount << " Messages..." << Qt::endl;
    QElapsedTimer timer;
    timer.start();
    const QStringList words = Vocabulary();
    QRandomGenerator random(42);
    auto filler = [&](int targetLength) {
        QString text;
        text.reserve(targetLength + 16);
        while (text.size() < targetLength) {
            text += words.at(random.bounded(int(words.size())));
            text += random.bounded(12) == 0 ? u". "_s : u" "_s;
        }
        return text;
    };

    Layout layout;
    QList<Row> rows;
    int next = 1;
    QList<int> areas;
    for (int a = 0; a < areaCount; ++a) {
        areas << next;
        rows << Row{next++, 0, u"Area %1"_s.arg(a), filler(200)};
    }
    for (int a = 0; a < areaCount; ++a) {
        for (int s = 0; s < sectionsPerArea; ++s) {
            layout.sections << next;
            rows << Row{next++, areas.at(a), u"Section %1.%2"_s.arg(a).arg(s), filler(200)};
        }
    }
    layout.bigGroup = next;
    rows << Row{next++, areas.at(0), u"Large group"_s, filler(200)};
    for (int c = 0; c < bigGroupChildren; ++c)
        rows << Row{next++, layout.bigGroup, u"Child %1 %2"_s.arg(words.at(random.bounded(int(words.size()))), c),
                    QString()};
    while (next <= messageCount) {
        const int section = layout.sections.at(random.bounded(int(layout.sections.size())));
        rows << Row{next, section, u"Message %1 %2"_s.arg(words.at(random.bounded(int(words.size())))).arg(next),
                    QString()};
        ++next;
    }
    // About 1 KB of text each; every text has the common word, five have the rare one.
    for (Row& row : rows) {
        if (row.text.isEmpty())
            row.text = u"Dear "_s + commonWord + u", "_s + filler(1000);
    }
    for (int i = 0; i < rareMessages; ++i)
        rows[rows.size() - 1 - i * 997].text += u" The "_s + rareWord + u" case."_s;

    if (!db.transaction())
        throw Error(db.lastError().text());
    // Keywords first: the index row of a Message, made when the Message is inserted, then
    // already holds them.
    BatchInsert keywords(db, u"insert into FAQKeywords (FAQID, Keyword)"_s, 2, 300);
    for (const Row& row : std::as_const(rows)) {
        for (int k = 0; k < keywordsPerMessage; ++k)
            keywords.add({row.id, u"kw%1"_s.arg(random.bounded(keywordVocabulary))});
    }
    keywords.flush();
    BatchInsert messages(db, u"insert into FAQ (ID, GroupID, ShortName, Hotword, Text)"_s, 5, 100);
    for (const Row& row : std::as_const(rows))
        messages.add({row.id, row.groupId, row.shortName.left(50), u"hw%1"_s.arg(row.id), row.text});
    messages.flush();
    if (postgres) {
        Exec(db, u"select setval(pg_get_serial_sequence('faq', 'id'), (select max(id) from faq))"_s);
    }
    if (!db.commit())
        throw Error(db.lastError().text());
    if (postgres) {
        // As autovacuum would leave it: statistics and the visibility map current.
        Exec(db, u"vacuum analyze"_s);
    } else {
        Exec(db, u"insert into FAQSearch (FAQSearch) values ('optimize')"_s);
        Exec(db, u"analyze"_s);
    }
    out << "  done in " << timer.elapsed() / 1000.0 << " s" << Qt::endl;
    return layout;
}

Layout ReadLayout(QSqlDatabase db)
{
    Layout layout;
    QSqlQuery query(db);
    if (!query.exec(u"select ID from FAQ where ShortName = 'Large group'"_s) || !query.next())
        throw Error(u"The benchmark database has no large group; run with --regenerate."_s);
    layout.bigGroup = query.value(0).toInt();
    if (!query.exec(u"select ID from FAQ where ShortName like 'Section %'"_s))
        throw Error(query.lastError().text());
    while (query.next())
        layout.sections << query.value(0).toInt();
    return layout;
}

int MessagesIn(QSqlDatabase db)
{
    QSqlQuery query(db);
    if (!query.exec(u"select count(*) from FAQ"_s) || !query.next())
        throw Error(query.lastError().text());
    return query.value(0).toInt();
}

double MedianMs(int runs, const std::function<void(int)>& action)
{
    action(-1); // warm up
    QList<double> times;
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        action(i);
        times << timer.nsecsElapsed() / 1e6;
    }
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    bool odbc = false;
    bool regenerate = false;
    QString path = u"/tmp/quillbay-bench.db"_s;
    int runs = 31;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args.at(i) == u"--odbc"_s)
            odbc = true;
        else if (args.at(i) == u"--regenerate"_s)
            regenerate = true;
        else if (args.at(i) == u"--db"_s && i + 1 < args.size())
            path = args.at(++i);
        else if (args.at(i) == u"--runs"_s && i + 1 < args.size())
            runs = std::max(1, args.at(++i).toInt());
        else {
            std::fprintf(stderr, "usage: bench_store [--odbc] [--db PATH] [--regenerate] [--runs N]\n");
            return 2;
        }
    }

    ScriptedInteraction ui;
    QTextStream out(stdout);
    try {
        ConnectionSpec spec;
        if (odbc) {
            spec.kind = ConnectionSpec::Kind::Odbc;
            spec.database = u"QuillBay"_s;
        } else {
            if (regenerate) {
                for (const QString& suffix : {u""_s, u"-wal"_s, u"-shm"_s})
                    QFile::remove(path + suffix);
            }
            spec.kind = ConnectionSpec::Kind::Sqlite;
            spec.database = path;
            spec.createWithExamples = false;
        }
        TdmFAQData dm(spec);
        dm.OpenDatabase();
        QSqlDatabase db = QSqlDatabase::database(dm.connectionName());
        const bool postgres = dm.dialect().engine() == SqlDialect::Engine::PostgreSQL;
        Layout layout;
        if (MessagesIn(db) == 0)
            layout = Generate(db, postgres);
        else
            layout = ReadLayout(db);
        if (MessagesIn(db) != messageCount)
            throw Error(
                u"The benchmark database does not hold %1 Messages; run with --regenerate."_s.arg(messageCount));

        out << "Engine: " << dm.dialect().engineName() << (odbc ? " over ODBC" : " (embedded)") << ", " << messageCount
            << " Messages, median of " << runs << " runs" << Qt::endl;
        QRandomGenerator random(1);
        auto print = [&out](const QString& what, double ms) {
            out << qSetFieldWidth(44) << Qt::left << what << qSetFieldWidth(0) << QString::number(ms, 'f', 3) << " ms"
                << Qt::endl;
        };
        auto expect = [](const DataSet& rows, int atLeast, const char* what) {
            if (rows.recordCount() < atLeast)
                throw Error(u"%1 found %2 rows"_s.arg(QLatin1StringView(what)).arg(rows.recordCount()));
        };

        print(u"TextByHotWord"_s, MedianMs(runs, [&](int) {
                  expect(dm.MessagesByHotword(u"HW%1"_s.arg(1 + random.bounded(messageCount))), 1, "hotword");
              }));
        print(u"TextByID"_s,
              MedianMs(runs, [&](int) { expect(dm.MessageByID(1 + random.bounded(messageCount)), 1, "id"); }));
        print(u"FAQbyKeyword"_s,
              MedianMs(runs, [&](int) { dm.MessagesByKeyword(u"KW%1"_s.arg(random.bounded(keywordVocabulary))); }));
        const double rare
            = MedianMs(runs, [&](int) { expect(dm.MessagesByFullText(rareWord), rareMessages, "rare word"); });
        print(u"fulltext, rare word (5 hits)"_s, rare);
        const double common
            = MedianMs(runs, [&](int) { expect(dm.MessagesByFullText(u"Customer"_s), 50, "common word"); });
        print(u"fulltext, common word (50 of 100,000)"_s, common);
        print(u"fulltext, two-letter term"_s,
              MedianMs(std::min(runs, 5), [&](int) { dm.MessagesByFullText(u"zq"_s); }));
        print(u"FAQDescandIDByParentID, top level"_s,
              MedianMs(runs, [&](int) { expect(dm.ChildrenOf(0), areaCount, "top level"); }));
        print(u"CountByParentID"_s, MedianMs(runs, [&](int) {
                  dm.CountChildren(layout.sections.at(random.bounded(int(layout.sections.size()))));
              }));
        print(u"AttachmentsByID"_s, MedianMs(runs, [&](int) { dm.AttachmentsOf(1 + random.bounded(messageCount)); }));
        print(u"updateparentid"_s,
              MedianMs(runs, [&](int i) { dm.UpdateParentID(messageCount, layout.sections.at(i & 1)); }));
        print(u"fill the 1,000-child group (1,001 queries)"_s, MedianMs(std::min(runs, 11), [&](int) {
                  const DataSet children = dm.ChildrenOf(layout.bigGroup);
                  expect(children, bigGroupChildren, "children");
                  for (int i = 0; i < children.recordCount(); ++i)
                      dm.CountChildren(children.integer(i, u"ID"_s));
              }));

        // The same search without the index.
        QSqlQuery scan(db);
        scan.setForwardOnly(true);
        const QString like = postgres ? u"ilike"_s : u"like"_s;
        scan.prepare(u"select ID, ShortName, Hotword, Text, GroupID from FAQ where ShortName %1 ? or "
                     "Hotword %1 ? or Text %1 ? or ID in (select FAQID from FAQKeywords where Keyword %1 ?) "
                     "limit 50"_s.arg(like));
        auto scanFor = [&scan](const QString& word) {
            return [&scan, word](int) {
                for (int i = 0; i < 4; ++i)
                    scan.bindValue(i, QString(u"%"_s + word + u"%"_s));
                Exec(scan);
                while (scan.next()) { }
                scan.finish();
            };
        };
        const double rareScan = MedianMs(std::min(runs, 5), scanFor(rareWord));
        const double commonScan = MedianMs(std::min(runs, 5), scanFor(commonWord));
        print(u"LIKE scan, rare word"_s, rareScan);
        print(u"LIKE scan, common word"_s, commonScan);
        out << "Index against scan: rare word " << QString::number(rareScan / rare, 'f', 1) << "x faster, common word "
            << QString::number(commonScan / common, 'f', 1) << "x" << Qt::endl;
    } catch (const Error& e) {
        std::fprintf(stderr, "bench_store: %s\n", e.what());
        return 1;
    }
    return 0;
}
