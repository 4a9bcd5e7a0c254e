// Turns a saved query's body into placeholder text for declared parameter names.
//
// Input: NUL-separated fields in UTF-8: the body, then the declared parameter names. Every
// placeholder must stand for a declared parameter, and every declared one must be taken.

#include "store/savedquery.h"
#include "util/errors.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QStringList fields = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)).split(QChar(0));
    const QStringList names = fields.mid(1);
    try {
        const PlaceholderText text = ToPlaceholders(fields.at(0), names, u"aspFuzz"_s);
        for (const int index : text.placeholders) {
            if (index < 0 || index >= names.size())
                std::abort();
        }
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (!text.placeholders.contains(int(i)))
                std::abort();
        }
    } catch (const Error&) { }
    return 0;
}
