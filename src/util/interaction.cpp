#include "util/interaction.h"

using namespace Qt::StringLiterals;

Interaction::~Interaction() = default;

QString ApplicationTitle()
{
    return u"Tolvane Quillbay"_s;
}
