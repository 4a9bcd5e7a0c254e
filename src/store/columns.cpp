#include "store/columns.h"

QString HotwordWithSuffix(const QString& hotword, const QString& suffix)
{
    qsizetype keep = qMin(hotword.size(), Column::HotwordLength - suffix.size());
    if (keep > 0 && keep < hotword.size() && hotword[keep - 1].isHighSurrogate())
        --keep;
    return hotword.left(keep) + suffix;
}
