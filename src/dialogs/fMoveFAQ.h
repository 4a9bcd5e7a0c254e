#pragma once

#include "store/dmData.h"

#include <QDialog>
#include <QList>

#include <memory>
#include <optional>

namespace Ui {
class TfrmMoveFAQ;
}

class QTreeWidgetItem;

// Picks the group a Message is to be placed in, by keyboard as well as by mouse: "(top
// level)" and the tree of all Messages, narrowed by a filter on description and Hotword.
// The Message itself and the Messages it contains can not be picked.
class TfrmMoveFAQ : public QDialog {
    Q_OBJECT
public:
    TfrmMoveFAQ(const QList<TdmFAQData::OutlineEntry>& messages, int movingID, QWidget* parent = nullptr);
    ~TfrmMoveFAQ() override;

    // The picked group, 0 for the top level; none while nothing that may take the Message
    // is picked.
    std::optional<int> ChosenGroupID() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void txtFilterChange();
    void UpdateOK();

    const std::unique_ptr<Ui::TfrmMoveFAQ> ui;
    QTreeWidgetItem* m_topLevel;
};
