#include "util/interaction.h"

#include "util/errors.h"

using namespace Qt::StringLiterals;

namespace {
Interaction* installed = nullptr;
}

Interaction::~Interaction() = default;

Interaction& interaction()
{
    if (!installed)
        throw Error(u"No user interface is installed."_s);
    return *installed;
}

void setInteraction(Interaction* implementation)
{
    installed = implementation;
}

QString ApplicationTitle()
{
    return u"Tolvane Quillbay"_s;
}
