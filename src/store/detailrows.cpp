#include "store/detailrows.h"

DetailRows::DetailRows(DataTable& table, QObject* parent)
    : QObject(parent)
    , m_table(table)
{
    connect(&m_table, &DataTable::stateChanged, this, &DetailRows::stateChanged);
    connect(&m_table, &DataTable::currentRowChanged, this, &DetailRows::currentRowChanged);
}
