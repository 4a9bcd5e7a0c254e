#include "app/searchcommand.h"

#include "store/dataset.h"
#include "store/dmData.h"
#include "util/interaction.h"

#include <QComboBox>
#include <QLineEdit>

using namespace Qt::StringLiterals;

SearchCommand::SearchCommand(QLineEdit& term, QComboBox& searchType, TdmFAQData& store, Interaction& boxes,
                             Results results)
    : m_term(term)
    , m_searchType(searchType)
    , m_store(store)
    , m_boxes(boxes)
    , m_results(std::move(results))
{ }

void SearchCommand::actSearchExecute()
{
    if (m_term.text().isEmpty()) {
        m_boxes.showMessage(u"Please enter a search term and try again."_s);
        m_term.setFocus();
        return;
    }
    m_boxes.setBusyCursor(true);
    try {
        const QString term = m_term.text();
        switch (m_searchType.currentIndex()) {
        case 0: SearchByHotword(term); break;
        case 1:
            ActOnSearchRows(m_store.MessagesByKeyword(term), u"No matching records found using keyword search"_s);
            break;
        case 2:
            ActOnSearchRows(m_store.MessagesByFullText(term), u"No matching records found using full text search"_s);
            break;
        default: m_boxes.showMessage(u"Unrecognized search option"_s); break;
        }
    } catch (...) {
        // The cursor must not stay busy after a failed search.
        m_boxes.setBusyCursor(false);
        throw;
    }
    m_term.selectAll();
    m_boxes.setBusyCursor(false);
}

void SearchCommand::SearchByHotword(const QString& term)
{
    ActOnSearchRows(m_store.MessagesByHotword(term), u"No matching records found using HotWord search"_s);
}

void SearchCommand::ActOnSearchRows(const DataSet& rows, const QString& noneMessage)
{
    if (rows.recordCount() == 1)
        m_results.showOne(rows.integer(0, u"ID"_s));
    else if (rows.recordCount() > 1)
        m_results.showSeveral(rows);
    else
        m_boxes.showMessage(noneMessage);
}
