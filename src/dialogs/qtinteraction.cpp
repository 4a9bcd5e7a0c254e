#include "dialogs/qtinteraction.h"

#include "dialogs/finputtext.h"
#include "platform/platform.h"
#include "util/errors.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
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
    const QString file = QFileDialog::getOpenFileName(QApplication::activeWindow(), {}, folder, QtFileFilter(filter));
    if (file.isEmpty())
        return std::nullopt;
    return file;
}

std::optional<QString> QtInteraction::saveFileName(const QString& folder, const QString& filter)
{
    QString chosenFilter;
    QString file
        = QFileDialog::getSaveFileName(QApplication::activeWindow(), {}, folder, QtFileFilter(filter), &chosenFilter);
    if (file.isEmpty())
        return std::nullopt;
    // "Name (*.csv)": the first pattern's extension.
    static const QRegularExpression pattern(u"\\*\\.(\\w+)"_s);
    const QRegularExpressionMatch m = pattern.match(chosenFilter);
    if (QFileInfo(file).suffix().isEmpty() && m.hasMatch())
        file += u'.' + m.captured(1);
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
