#include "util/errors.h"

#include "util/interaction.h"

#include <QtGlobal>

using namespace Qt::StringLiterals;

Error::Error(QString text)
    : m_text(std::move(text))
    , m_utf8(m_text.toUtf8())
{ }

void ReportException(Interaction& boxes, std::exception_ptr error) noexcept
{
    QString text;
    try {
        std::rethrow_exception(error);
    } catch (const Abort&) {
        return;
    } catch (const Error& e) {
        text = e.text();
    } catch (const std::exception& e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
        text = u"An unknown error occurred."_s;
    }
    try {
        boxes.showError(text);
    } catch (...) {
        qWarning("%s", qUtf8Printable(text));
    }
}

bool Guarded(Interaction& boxes, const std::function<void()>& action) noexcept
{
    try {
        action();
        return true;
    } catch (...) {
        ReportException(boxes, std::current_exception());
        return false;
    }
}
