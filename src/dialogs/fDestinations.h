#pragma once

#include "delivery/globals.h"

#include <QDialog>

#include <memory>

#include <array>

class Interaction;

class QComboBox;
class QTableWidgetItem;

// Edits the destinations of targets.ini: add, rename and delete them, and set the nine
// entries of each (title pattern and match type, window class and role). A window open now
// can be picked instead of typing (among other windows of its kind with other titles, with
// the start of its title too), and a line tells which window the entries find now.
// OK writes the changes, keeping comments and keys it does not know; Cancel writes nothing.
namespace Ui {
class TfrmDestinations;
}

class TfrmDestinations : public QDialog {
    Q_OBJECT
public:
    TfrmDestinations(WindowSystem& windows, Interaction& boxes, const QString& selected, QWidget* parent = nullptr);
    ~TfrmDestinations() override;

    // The destination selected in the list, or empty.
    QString CurrentDestination() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using Entries = std::array<TargetEntry, TargetEntryCount>;
    struct Destination {
        QString original; // its section in the file, empty for a new one
        QString name;
        Entries read;
        Entries entries;
    };

    void LoadDestinations(const QString& selected);
    void ShowEntries();
    void EntryEdited(int row);
    void grdEntriesItemChanged(QTableWidgetItem* item);
    void UpdateMatchesNow();
    void btnAddClick();
    void btnRenameClick();
    void btnDeleteClick();
    void btnPickWindowClick();
    void lstOpenWindowsPick();
    // Writes the changes and closes the dialog.
    void btnOKClick();
    // A new name from the user, or empty when cancelled or refused.
    QString AskName(const QString& caption, const QString& current);
    Destination* Current();
    QComboBox* MatchBox(int row) const;

    const std::unique_ptr<Ui::TfrmDestinations> ui;
    WindowSystem& m_windows;
    Interaction& m_boxes;
    QList<Destination> m_destinations;
    QStringList m_removed;
    bool m_showing = false;
};
