#include "dialogs/qtinteraction.h"

#include "dialogs/finputtext.h"
#include "platform/platform.h"
#include "util/errors.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPushButton>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

// The system's texts break lines with CR LF; a Qt label wants LF alone.
QString DisplayText(const QString& text)
{
    QString shown = text;
    shown.replace(u"\r\n"_s, u"\n"_s);
    return shown;
}

QMessageBox::StandardButton ShowBox(QMessageBox::Icon icon, const QString& caption, const QString& text,
                                    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton escapeButton,
                                    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton)
{
    QMessageBox box(icon, caption, DisplayText(text), buttons, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.setEscapeButton(escapeButton);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return QMessageBox::StandardButton(box.exec());
}

#ifndef Q_OS_WIN
// Icons and type names from a file's name alone. Qt's own provider and the desktops' native
// file dialogs read the start of a file whose name says too little, and so open and close the
// program's database files in its process; on POSIX systems closing any descriptor of a file
// drops every lock the process holds on it, SQLite's among them, and another program then
// takes the database for unused.
class NameOnlyIconProvider : public QFileIconProvider {
public:
    NameOnlyIconProvider()
        : m_folder(QFileIconProvider::icon(Folder))
        , m_file(QFileIconProvider::icon(File))
    { }
    // Called from the file model's own thread as well: gives copies of icons made here.
    QIcon icon(const QFileInfo& info) const override { return info.isDir() ? m_folder : m_file; }
    QString type(const QFileInfo& info) const override
    {
        if (info.isDir())
            return u"Folder"_s;
        const QList<QMimeType> types = m_mimeTypes.mimeTypesForFileName(info.fileName());
        if (types.isEmpty())
            return u"File"_s;
        return types.first().comment().isEmpty() ? types.first().name() : types.first().comment();
    }

private:
    QIcon m_folder;
    QIcon m_file;
    QMimeDatabase m_mimeTypes;
};
#endif

// The file chosen in a file dialog that starts in the folder, or nothing when it was
// cancelled; chosenFilter gets the filter in use. The dialog never opens the files it lists
// (see NameOnlyIconProvider); on Windows, whose file locks belong to the handle that took them,
// the system's own dialog is used.
std::optional<QString> RunFileDialog(QFileDialog::AcceptMode mode, const QString& folder, const QString& filter,
                                     QString* chosenFilter = nullptr)
{
#ifndef Q_OS_WIN
    // Made before the dialog, whose file model uses it until the dialog is gone.
    NameOnlyIconProvider icons;
    // The dialog lists its first folder at once, with Qt's provider: the file system's root,
    // until the provider above is in place.
    QFileDialog dialog(QApplication::activeWindow(), {}, QDir::rootPath(), filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setIconProvider(&icons);
    dialog.setDirectory(folder);
#else
    QFileDialog dialog(QApplication::activeWindow(), {}, folder, filter);
#endif
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    if (chosenFilter)
        *chosenFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().constFirst();
}

} // namespace

void QtInteraction::showMessage(const QString& text)
{
    ShowBox(QMessageBox::NoIcon, ApplicationTitle(), text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtInteraction::showWarning(const QString& text)
{
    ShowBox(QMessageBox::Warning, u"Warning"_s, text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtInteraction::showError(const QString& text)
{
    ShowBox(QMessageBox::Critical, ApplicationTitle(), text, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtInteraction::confirmYesNo(const QString& text)
{
    return ShowBox(QMessageBox::Question, u"Confirm"_s, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

bool QtInteraction::confirmYesNoDefaultNo(const QString& text)
{
    return ShowBox(QMessageBox::Question, u"Confirm"_s, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                   QMessageBox::No)
        == QMessageBox::Yes;
}

std::optional<QString> QtInteraction::inputText(const QString& caption, const QString& prompt, const QString& value,
                                                int maxLength)
{
    TfrmInputText dialog(caption, DisplayText(prompt), value, maxLength, QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Value();
}

QString QtFileFilter(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        entries.append(parts[i] + u" ("_s + patterns + u')');
    }
    return entries.join(u";;"_s);
}

std::optional<QString> QtInteraction::openFileName(const QString& folder, const QString& filter)
{
    return RunFileDialog(QFileDialog::AcceptOpen, folder, QtFileFilter(filter));
}

std::optional<QString> QtInteraction::saveFileName(const QString& folder, const QString& filter)
{
    QString chosenFilter;
    std::optional<QString> file = RunFileDialog(QFileDialog::AcceptSave, folder, QtFileFilter(filter), &chosenFilter);
    if (!file)
        return std::nullopt;
    // "Name (*.csv)": the first pattern's extension.
    static const QRegularExpression pattern(u"\\*\\.(\\w+)"_s);
    const QRegularExpressionMatch m = pattern.match(chosenFilter);
    if (QFileInfo(*file).suffix().isEmpty() && m.hasMatch())
        *file += u'.' + m.captured(1);
    return file;
}

int QtInteraction::choose(const QString& text, const QStringList& choices)
{
    QMessageBox box(QMessageBox::Question, ApplicationTitle(), DisplayText(text), QMessageBox::NoButton,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    QList<QAbstractButton*> buttons;
    for (const QString& choice : choices)
        buttons.append(box.addButton(choice, QMessageBox::AcceptRole));
    if (!buttons.isEmpty()) {
        box.setDefaultButton(qobject_cast<QPushButton*>(buttons.first()));
        box.setEscapeButton(buttons.last());
    }
    box.exec();
    const qsizetype index = buttons.indexOf(box.clickedButton());
    return int(index < 0 ? choices.size() - 1 : index);
}

void QtInteraction::setBusyCursor(bool busy)
{
    if (busy) {
        if (QGuiApplication::overrideCursor())
            QGuiApplication::changeOverrideCursor(Qt::WaitCursor);
        else
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        return;
    }
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

int QtInteraction::runFile(const QString& file, const QString& parameters, int showCommand, const QString& folder)
{
    if (m_files == nullptr)
        throw Error(u"No desktop platform is installed."_s);
    return m_files->openFile(file, parameters, showCommand, folder);
}
