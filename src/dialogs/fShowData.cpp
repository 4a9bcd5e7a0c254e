#include "dialogs/fShowData.h"
#include "ui_fShowData.h"

#include "dialogs/widgetsupport.h"
#include "settings/settings.h"
#include "store/dmData.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int DesignLeft = 192;
constexpr int DesignTop = 107;

// Without a screen, the given size.
QSize ScreenSize(QSize fallback)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : fallback;
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
    , ui(std::make_unique<Ui::TfrmShowData>())
{
    // The form's own name is the class name; the window keeps its usual one.
    setObjectName(u"frmShowData"_s);
    // The form's layout has no size constraint: a remembered size may be smaller than the
    // controls would like.
    ui->setupUi(this);
    move(DesignLeft, DesignTop);
}

TfrmShowData::~TfrmShowData() = default;

void TfrmShowData::setDataText(const QString& text)
{
    QString shown = text;
    shown.replace(u"\r\n"_s, u"\n"_s);
    ui->memData->setPlainText(shown);
}

void TfrmShowData::setReadOnly(bool readOnly)
{
    ui->memData->setReadOnly(readOnly);
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
    form->setReadOnly(true);

    // Positions and sizes are the outer ones, frame included.
    const QRect design = form->frameGeometry();
    const QSize screen = ScreenSize(design.size());
    options.load();
    const int left = Limit(options.value(Setting::NotesFormLeft, design.x()), 0, screen.width() - 50);
    const int top = Limit(options.value(Setting::NotesFormTop, design.y()), 0, screen.height() - 50);
    const int width = Limit(options.value(Setting::NotesFormWidth, design.width()), 100, screen.width() - left);
    const int height = Limit(options.value(Setting::NotesFormHeight, design.height()), 50, screen.height() - top);
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
