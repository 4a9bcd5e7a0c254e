#include "dialogs/fShowData.h"

#include "dialogs/widgetsupport.h"
#include "settings/settings.h"
#include "store/dmData.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int DesignLeft = 192;
constexpr int DesignTop = 107;
constexpr int DesignWidth = 312;
constexpr int DesignHeight = 297;

// Raises to lo first, then lowers to hi, so hi wins when the bounds cross.
int Clamp(int value, int lo, int hi)
{
    if (value < lo)
        value = lo;
    if (value > hi)
        value = hi;
    return value;
}

QSize ScreenSize()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(DesignWidth, DesignHeight);
}

void ShowList(const QStringList& lines, const QString& caption, QWidget* parent)
{
    auto form = std::make_unique<TfrmShowData>(parent);
    form->setWindowTitle(caption);
    QString text;
    for (const QString& line : lines)
        text += line + u"\r\n"_s;
    form->setDataText(text);
    form->exec();
}

} // namespace

TfrmShowData::TfrmShowData(QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"frmShowData"_s);
    setWindowTitle(u"<set caption>"_s);
    memData = new QPlainTextEdit(this);
    memData->setObjectName(u"memData"_s);
    memData->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    btnClose = new QPushButton(u"&Close"_s, this);
    btnClose->setObjectName(u"btnClose"_s);
    btnClose->setDefault(true);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    // The remembered size may be smaller than the controls would like.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    layout->setContentsMargins(8, 16, 8, 8);
    layout->addWidget(memData, 0, 0);
    layout->addWidget(btnClose, 1, 0, Qt::AlignRight);
    layout->setRowStretch(0, 1);

    move(DesignLeft, DesignTop);
    resize(DesignWidth, DesignHeight);
}

void TfrmShowData::setDataText(const QString& text)
{
    QString shown = text;
    shown.replace(u"\r\n"_s, u"\n"_s);
    memData->setPlainText(shown);
}

void TfrmShowData::PlaceAt(int left, int top, int width, int height)
{
    m_centred = false;
    SetFrameGeometry(this, {left, top, width, height});
}

void TfrmShowData::showEvent(QShowEvent* event)
{
    if (m_centred && !event->spontaneous()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect bounds = frameGeometry();
            bounds.moveCenter(screen->geometry().center());
            move(bounds.topLeft());
        }
    }
    QDialog::showEvent(event);
}

void ShowInternalNotes(const QString& notes, Options& options, QWidget* parent)
{
    auto form = std::make_unique<TfrmShowData>(parent);
    form->setWindowTitle(u"Internal Notes On Message"_s);
    form->setDataText(notes);
    form->memData->setReadOnly(true);

    // Positions and sizes are the outer ones, frame included.
    const QSize screen = ScreenSize();
    const QRect design = form->frameGeometry();
    options.load();
    const int left = Clamp(options.value(Setting::NotesFormLeft, design.x()), 0, screen.width() - 50);
    const int top = Clamp(options.value(Setting::NotesFormTop, design.y()), 0, screen.height() - 50);
    const int width = Clamp(options.value(Setting::NotesFormWidth, design.width()), 100, screen.width() - left);
    const int height = Clamp(options.value(Setting::NotesFormHeight, design.height()), 50, screen.height() - top);
    form->PlaceAt(left, top, width, height);
    form->exec();

    const QRect bounds = form->frameGeometry();
    options.load();
    options.setValue(Setting::NotesFormLeft, bounds.x());
    options.setValue(Setting::NotesFormTop, bounds.y());
    options.setValue(Setting::NotesFormWidth, bounds.width());
    options.setValue(Setting::NotesFormHeight, bounds.height());
    options.save();
}

void ShowHotwordList(TdmFAQData& store, QWidget* parent)
{
    QStringList lines;
    for (const TdmFAQData::HotwordEntry& entry : store.HotwordList())
        lines << entry.hotword + u" : "_s + entry.shortName;
    ShowList(lines, u"HotWord List"_s, parent);
}

void ShowUsageReport(TdmFAQData& store, QWidget* parent)
{
    QStringList lines;
    for (const TdmFAQData::UsageCount& usage : store.UsageReport())
        lines << usage.shortName + u" : "_s + QString::number(usage.count);
    ShowList(lines, u"HotWord List"_s, parent);
}
