#include "platform/missingdesktop.h"

#include "util/errors.h"

using namespace Qt::StringLiterals;

namespace {

[[noreturn]] void Missing()
{
    throw Error(u"No desktop platform is installed."_s);
}

} // namespace

MissingDesktop::MissingDesktop()
    : m_platform{*this, *this, *this, *this, m_dateFormats, m_files, nullptr}
{ }

#ifdef _WIN32
QString MissingDesktop::Unavailable::shortDate(QDate)
{
    Missing();
}
QString MissingDesktop::Unavailable::longTime(QTime)
{
    Missing();
}
int MissingDesktop::Unavailable::openFile(const QString&, const QString&, int, const QString&)
{
    Missing();
}
#endif

QList<WindowHandle> MissingDesktop::topLevelWindows()
{
    Missing();
}
QString MissingDesktop::windowTitle(WindowHandle)
{
    Missing();
}
QString MissingDesktop::windowClass(WindowHandle)
{
    Missing();
}
QString MissingDesktop::windowRole(WindowHandle)
{
    Missing();
}
WindowHandle MissingDesktop::windowOwner(WindowHandle)
{
    Missing();
}
WindowHandle MissingDesktop::activeWindow()
{
    Missing();
}
bool MissingDesktop::isMinimized(WindowHandle)
{
    Missing();
}
void MissingDesktop::restoreWindow(WindowHandle)
{
    Missing();
}
void MissingDesktop::requestActivation(WindowHandle)
{
    Missing();
}
void MissingDesktop::raiseWindow(WindowHandle)
{
    Missing();
}
bool MissingDesktop::waitUntilActive(WindowHandle, int)
{
    Missing();
}
bool MissingDesktop::isOwnWindow(WindowHandle)
{
    Missing();
}
bool MissingDesktop::hasNotificationArea()
{
    Missing();
}

std::uint8_t MissingDesktop::scanCode(std::uint16_t)
{
    Missing();
}
void MissingDesktop::keyEvent(std::uint16_t, std::uint8_t, std::uint32_t)
{
    Missing();
}
bool MissingDesktop::waitUntilModifiersReleased(int)
{
    Missing();
}

bool MissingDesktop::hasText()
{
    Missing();
}
QString MissingDesktop::text()
{
    Missing();
}
void MissingDesktop::setText(const QString&)
{
    Missing();
}
void MissingDesktop::setFiles(const QStringList&)
{
    Missing();
}
std::optional<ClipboardContent> MissingDesktop::allFormats(qsizetype)
{
    Missing();
}
void MissingDesktop::setAllFormats(const ClipboardContent&)
{
    Missing();
}
void MissingDesktop::setTransient(bool)
{
    Missing();
}
bool MissingDesktop::waitUntilRead(WindowHandle, int)
{
    Missing();
}

bool MissingDesktop::setKey(std::uint16_t, std::uint8_t)
{
    Missing();
}
void MissingDesktop::clear()
{
    Missing();
}
void MissingDesktop::setCallback(std::function<void()>)
{
    Missing();
}
