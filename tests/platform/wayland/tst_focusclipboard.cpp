// The clipboard through Qt's own, on a desktop that offers no other.
#include "platform/wayland/focusclipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>

using namespace Qt::StringLiterals;

class TestFocusClipboard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void offeredFormats_data();
    void offeredFormats();
    void restoresWhatItRead();
    void tooLargeContentIsNotRead();
};

void TestFocusClipboard::offeredFormats_data()
{
    QTest::addColumn<bool>("files");
    QTest::addColumn<bool>("transient");
    QTest::addColumn<QStringList>("formats");
    const QStringList marks{u"x-kde-passwordManagerHint"_s, u"application/x-copyq-hidden"_s};
    QTest::newRow("text") << false << false << QStringList{u"text/plain"_s};
    QTest::newRow("passing text") << false << true << QStringList{u"text/plain"_s} + marks;
    QTest::newRow("files") << true << false << QStringList{u"text/uri-list"_s, u"x-special/gnome-copied-files"_s};
    QTest::newRow("passing files") << true << true
                                   << QStringList{u"text/uri-list"_s, u"x-special/gnome-copied-files"_s} + marks;
}

void TestFocusClipboard::offeredFormats()
{
    QFETCH(bool, files);
    QFETCH(bool, transient);
    QFETCH(QStringList, formats);
    FocusClipboard clipboard;
    clipboard.setTransient(transient);
    if (files)
        clipboard.setFiles({u"/tmp/a b.pdf"_s, u"/tmp/c.txt"_s});
    else
        clipboard.setText(u"Dear Ann,\nthank you."_s);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data);
    QStringList offered = data->formats();
    offered.sort();
    formats.sort();
    QCOMPARE(offered, formats);
    // A file list is no text, though Qt takes it for one.
    QCOMPARE(clipboard.hasText(), !files);
    if (files) {
        QCOMPARE(clipboard.text(), QString());
        QCOMPARE(data->data(u"text/uri-list"_s), QByteArray("file:///tmp/a%20b.pdf\r\nfile:///tmp/c.txt\r\n"));
        QCOMPARE(data->data(u"x-special/gnome-copied-files"_s),
                 QByteArray("copy\nfile:///tmp/a%20b.pdf\nfile:///tmp/c.txt"));
    } else {
        QCOMPARE(clipboard.text(), u"Dear Ann,\nthank you."_s);
    }
    if (transient)
        QCOMPARE(data->data(u"x-kde-passwordManagerHint"_s), QByteArray("secret"));
}

void TestFocusClipboard::restoresWhatItRead()
{
    FocusClipboard clipboard;
    auto data = new QMimeData;
    data->setData(u"text/plain"_s, "kept");
    data->setData(u"image/png"_s, QByteArray("\x89PNG\0\1", 6));
    QGuiApplication::clipboard()->setMimeData(data);
    const std::optional<ClipboardContent> saved = clipboard.allFormats(1024);
    QVERIFY(saved);
    QCOMPARE(saved->size(), 2);

    clipboard.setTransient(true);
    clipboard.setText(u"passing"_s);
    clipboard.setTransient(false);
    clipboard.setAllFormats(*saved);
    // Every format comes back as it was, without the passing-content marks.
    QCOMPARE(clipboard.allFormats(1024), saved);

    clipboard.setAllFormats({});
    QCOMPARE(clipboard.allFormats(1024), ClipboardContent());
    QVERIFY(!clipboard.hasText());
}

void TestFocusClipboard::tooLargeContentIsNotRead()
{
    FocusClipboard clipboard;
    clipboard.setText(u"0123456789"_s);
    QVERIFY(clipboard.allFormats(10));
    QVERIFY(!clipboard.allFormats(9));
}

QTEST_MAIN(TestFocusClipboard)
#include "tst_focusclipboard.moc"
