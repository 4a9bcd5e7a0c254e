#pragma once

#include <QString>

#include <functional>

class DataSet;
class Interaction;
class QComboBox;
class QLineEdit;
class TdmFAQData;

// The search of the "Find A Message" group: the term and search type of its controls,
// looked up in the store. One result is shown, several are listed, none is said.
class SearchCommand {
public:
    struct Results {
        // Exactly one Message found.
        std::function<void(int messageID)> showOne;
        // Several rows (ID, ShortName, Text).
        std::function<void(const DataSet& rows)> showSeveral;
    };

    SearchCommand(QLineEdit& term, QComboBox& searchType, TdmFAQData& store, Interaction& boxes, Results results);

    void actSearchExecute();
    void SearchByHotword(const QString& term);

private:
    void ActOnSearchRows(const DataSet& rows, const QString& noneMessage);

    QLineEdit& m_term;
    QComboBox& m_searchType;
    TdmFAQData& m_store;
    Interaction& m_boxes;
    Results m_results;
};
