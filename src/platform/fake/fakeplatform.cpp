#include "platform/fake/fakeplatform.h"

#include "util/errors.h"
#include "util/virtualkeys.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QString hex(unsigned value)
{
    return u"0x"_s + QString::number(value, 16).rightJustified(2, u'0');
}

} // namespace

FakeWindowSystem::FakeWindowSystem(QStringList& journal)
    : m_journal(journal)
{ }

WindowHandle FakeWindowSystem::addWindow(const QString& title, const QString& className, WindowHandle owner)
{
    const WindowHandle handle = m_next++;
    m_windows.prepend({handle, title, className, owner, false, {}});
    return handle;
}

void FakeWindowSystem::addExistingWindow(WindowHandle handle, const QString& title, const QString& className)
{
    if (std::any_of(m_windows.begin(), m_windows.end(), [handle](const FakeWindow& w) { return w.handle == handle; }))
        throw Error(u"Fake window %1 exists"_s.arg(handle));
    m_windows.prepend({handle, title, className, 0, false, {}});
    m_next = std::max(m_next, handle + 1);
}

FakeWindow& FakeWindowSystem::window(WindowHandle handle)
{
    const auto found = std::find_if(m_windows.begin(), m_windows.end(),
                                    [handle](const FakeWindow& w) { return w.handle == handle; });
    if (found == m_windows.end())
        throw Error(u"No fake window %1"_s.arg(handle));
    return *found;
}

QList<WindowHandle> FakeWindowSystem::stacking() const
{
    QList<WindowHandle> handles;
    for (const FakeWindow& w : m_windows)
        handles.append(w.handle);
    return handles;
}

QList<WindowHandle> FakeWindowSystem::topLevelWindows()
{
    ++enumerations;
    m_journal.append(u"enumerate"_s);
    return stacking();
}

QString FakeWindowSystem::windowTitle(WindowHandle handle)
{
    return window(handle).title;
}

QString FakeWindowSystem::windowClass(WindowHandle handle)
{
    return window(handle).className;
}

QString FakeWindowSystem::windowRole(WindowHandle handle)
{
    return window(handle).role;
}

WindowHandle FakeWindowSystem::windowOwner(WindowHandle handle)
{
    return window(handle).owner;
}

WindowHandle FakeWindowSystem::activeWindow()
{
    return active;
}

bool FakeWindowSystem::isMinimized(WindowHandle handle)
{
    return window(handle).minimized;
}

void FakeWindowSystem::restoreWindow(WindowHandle handle)
{
    m_journal.append(u"restore %1"_s.arg(handle));
    window(handle).minimized = false;
}

void FakeWindowSystem::requestActivation(WindowHandle handle)
{
    m_journal.append(u"activate %1"_s.arg(handle));
    if (activationWorks) {
        window(handle).minimized = false;
        active = handle;
    }
}

void FakeWindowSystem::raiseWindow(WindowHandle handle)
{
    m_journal.append(u"raise %1"_s.arg(handle));
    const FakeWindow raised = window(handle);
    m_windows.removeIf([handle](const FakeWindow& w) { return w.handle == handle; });
    m_windows.prepend(raised);
}

bool FakeWindowSystem::isOwnWindow(WindowHandle handle)
{
    return ownWindows.contains(handle);
}

bool FakeWindowSystem::waitUntilActive(WindowHandle handle, int)
{
    m_journal.append(u"wait active %1"_s.arg(handle));
    return active == handle;
}

FakeKeyboardSynth::FakeKeyboardSynth(QStringList& journal)
    : m_journal(journal)
{ }

std::uint8_t FakeKeyboardSynth::pcScanCode(std::uint16_t virtualKey)
{
    static constexpr std::uint8_t letters[26]
        = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
           0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
    static constexpr std::uint8_t functionKeys[12]
        = {0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x41, 0x42, 0x43, 0x44, 0x57, 0x58};
    if (virtualKey >= Vk::KeyA && virtualKey <= Vk::KeyA + 25)
        return letters[virtualKey - Vk::KeyA];
    if (virtualKey >= Vk::Key0 + 1 && virtualKey <= Vk::Key0 + 9)
        return static_cast<std::uint8_t>(0x02 + virtualKey - (Vk::Key0 + 1));
    if (virtualKey == Vk::Key0)
        return 0x0B;
    if (virtualKey >= Vk::F1 && virtualKey < Vk::F1 + 12)
        return functionKeys[virtualKey - Vk::F1];
    switch (virtualKey) {
    case Vk::Shift: return 0x2A;
    case Vk::Control: return 0x1D;
    case Vk::Menu: return 0x38;
    case Vk::Return: return 0x1C;
    case Vk::Insert: return 0x52;
    default: return 0;
    }
}

std::uint8_t FakeKeyboardSynth::scanCode(std::uint16_t virtualKey)
{
    return pcScanCode(virtualKey);
}

void FakeKeyboardSynth::keyEvent(std::uint16_t virtualKey, std::uint8_t scan, std::uint32_t flags)
{
    events.append({virtualKey, scan, flags});
    m_journal.append(u"key %1 %2"_s.arg(hex(virtualKey), (flags & KeyUp) ? u"up"_s : u"down"_s));
}

bool FakeKeyboardSynth::waitUntilModifiersReleased(int)
{
    m_journal.append(u"wait modifiers"_s);
    return !modifiersHeld;
}

FakeClipboard::FakeClipboard(QStringList& journal)
    : m_journal(journal)
{ }

bool FakeClipboard::hasText()
{
    return content.has_value();
}

QString FakeClipboard::text()
{
    return content.value_or(QString());
}

void FakeClipboard::setText(const QString& text)
{
    if (busy)
        throw ClipboardBusy(u"Cannot open clipboard"_s);
    content = text;
    files.clear();
    otherFormats.clear();
    record(u"text "_s, text);
}

void FakeClipboard::setFiles(const QStringList& paths)
{
    content.reset();
    files = paths;
    otherFormats.clear();
    record({}, u"files:"_s + paths.join(u'|'));
}

std::optional<ClipboardContent> FakeClipboard::allFormats(qsizetype maxBytes)
{
    ClipboardContent result;
    if (content)
        result.append({TextFormat.toString(), content->toUtf8(), {}, 8});
    if (!files.isEmpty())
        result.append({FilesFormat.toString(), files.join(u'\n').toUtf8(), {}, 8});
    result += otherFormats;
    qsizetype total = 0;
    for (const ClipboardFormat& format : result)
        total += format.data.size();
    if (total > maxBytes)
        return std::nullopt;
    return result;
}

void FakeClipboard::setAllFormats(const ClipboardContent& formats)
{
    content.reset();
    files.clear();
    otherFormats.clear();
    QStringList names;
    for (const ClipboardFormat& format : formats) {
        names.append(format.name);
        if (format.name == TextFormat)
            content = QString::fromUtf8(format.data);
        else if (format.name == FilesFormat)
            files = QString::fromUtf8(format.data).split(u'\n');
        else
            otherFormats.append(format);
    }
    if (otherFormats.isEmpty() && files.isEmpty())
        record(u"content "_s, content.value_or(QString()));
    else if (otherFormats.isEmpty() && !content)
        record(u"content "_s, u"files:"_s + files.join(u'|'));
    else
        record(u"content "_s, u"formats:"_s + names.join(u'|'));
}

void FakeClipboard::setTransient(bool on)
{
    transient = on;
    m_journal.append(u"clipboard transient "_s + (on ? u"on"_s : u"off"_s));
}

void FakeClipboard::record(const QString& kind, const QString& entry)
{
    history.append(entry);
    historyTransient.append(transient);
    m_journal.append(u"clipboard "_s + kind + entry);
}

bool FakeClipboard::waitUntilRead(WindowHandle reader, int)
{
    m_journal.append(u"wait read "_s + QString::number(reader));
    if (duringReadWait)
        duringReadWait();
    if (!readerPresent || fetchesLeft == 0)
        return false;
    if (fetchesLeft)
        --*fetchesLeft;
    return true;
}

FakeGlobalHotKey::FakeGlobalHotKey(QStringList& journal)
    : m_journal(journal)
{ }

bool FakeGlobalHotKey::setKey(std::uint16_t virtualKey, std::uint8_t shift)
{
    m_journal.append(u"hot key %1 %2"_s.arg(hex(virtualKey)).arg(shift));
    key = 0;
    shiftState = 0;
    if (virtualKey == 0 || takenKeys.contains(virtualKey))
        return false;
    key = virtualKey;
    shiftState = shift;
    return true;
}

void FakeGlobalHotKey::clear()
{
    m_journal.append(u"hot key cleared"_s);
    key = 0;
    shiftState = 0;
}

void FakeGlobalHotKey::setCallback(std::function<void()> callback)
{
    m_callback = std::move(callback);
}

bool FakeGlobalHotKey::press()
{
    if (key == 0 || !m_callback)
        return false;
    m_callback();
    return true;
}

QString FakeDateFormats::shortDate(QDate date)
{
    return date.toString(u"yyyy-MM-dd"_s);
}

QString FakeDateFormats::longTime(QTime time)
{
    return time.toString(u"HH:mm:ss"_s);
}

FakeFileOpener::FakeFileOpener(QStringList& journal)
    : m_journal(journal)
{ }

int FakeFileOpener::openFile(const QString& file, const QString& parameters, int showCommand, const QString& folder)
{
    m_journal.append(u"open "_s + file);
    opened.append(u"%1|%2|%3|%4"_s.arg(file, parameters).arg(showCommand).arg(folder));
    return result;
}
