#pragma once

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class TfrmSelectFAQ;
}

class Interaction;

// Lists the Messages of a search with several results; the pick is shown in the main
// window. Not modal: one instance, hidden when closed, refilled by every such search.
class TfrmSelectFAQ : public QDialog {
    Q_OBJECT
public:
    // showFAQByID shows the picked Message in the main window.
    TfrmSelectFAQ(Interaction& boxes, std::function<void(int)> showFAQByID, QWidget* parent = nullptr);
    ~TfrmSelectFAQ() override;

    void ClearResults();
    void AddResult(const QString& id, const QString& shortName, const QString& text);
    // Shows the dialog without making it modal and brings it to the front.
    void ShowNonModal();
    // Selects the first row, which fills the preview; nothing when the list is empty.
    void SelectFirstResult();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void lvFAQsSelectItem();
    void btnSelectClick();

    const std::unique_ptr<Ui::TfrmSelectFAQ> ui;
    Interaction& m_boxes;
    std::function<void(int)> m_showFAQByID;
    bool m_placed = false;
};
