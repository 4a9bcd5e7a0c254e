#include "delivery/globals.h"

#include "settings/settings.h"
#include "util/textutils.h"

using namespace Qt::StringLiterals;

namespace {

enum class MatchMode { StartsWith, Substring, TryBoth };

MatchMode ModeFromText(const QString& text)
{
    if (text.compare(u"Starts With"_s, Qt::CaseInsensitive) == 0)
        return MatchMode::StartsWith;
    if (text.compare(u"Substring"_s, Qt::CaseInsensitive) == 0)
        return MatchMode::Substring;
    return MatchMode::TryBoth;
}

bool SameText(const QString& wanted, const QString& actual)
{
    return wanted.isEmpty() || wanted.compare(actual.trimmed(), Qt::CaseInsensitive) == 0;
}

// One pass of one entry: the topmost window that passes the title test selected by
// startsWith (or, without a pattern, has no owner) and has the entry's class and role.
WindowHandle FindWindow(WindowSystem& windows, const TargetEntry& entry, bool startsWith)
{
    if (entry.isEmpty())
        return 0;
    for (const WindowHandle window : windows.topLevelWindows()) {
        // A paste into one of our own windows would land in our own key handling.
        if (windows.isOwnWindow(window))
            continue;
        bool candidate = false;
        if (entry.title.isEmpty()) {
            candidate = windows.windowOwner(window) == 0;
        } else {
            const qsizetype position = TextPosNoCase(entry.title, windows.windowTitle(window).left(MatchedTitleLength));
            candidate = startsWith ? position == 1 : position > 1 && windows.windowOwner(window) == 0;
        }
        const QString windowClass = windows.windowClass(window);
        if (candidate && windowClass.trimmed() != u"THintWindow"_s && SameText(entry.className, windowClass)
            && (entry.role.isEmpty() || windows.windowRole(window).startsWith(entry.role, Qt::CaseInsensitive)))
            return window;
    }
    return 0;
}

} // namespace

void BringWindowForward(WindowSystem& windows, WindowHandle window)
{
    windows.requestActivation(window);
    windows.raiseWindow(window);
}

QString TargetEntryKey(const QString& name, int entry)
{
    return entry == 1 ? name : name + QString::number(entry);
}

TargetEntry ReadTargetEntry(const IniFile& targets, const QString& destination, int entry)
{
    auto read = [&](const QString& name) { return targets.readText(destination, TargetEntryKey(name, entry), {}); };
    return {read(u"Target"_s), read(u"Search Type"_s), read(u"Class"_s), read(u"Role"_s)};
}

WindowHandle FindEntryWindow(WindowSystem& windows, const TargetEntry& entry)
{
    const MatchMode mode = ModeFromText(entry.searchType);
    WindowHandle result = FindWindow(windows, entry, mode != MatchMode::Substring);
    if (result == 0 && mode == MatchMode::TryBoth && !entry.title.isEmpty())
        result = FindWindow(windows, entry, false);
    return result;
}

WindowHandle FindTitledWindow(WindowSystem& windows, const QString& pattern, bool startsWith)
{
    const WindowHandle found = pattern.isEmpty() ? 0 : FindWindow(windows, {pattern, {}, {}, {}}, startsWith);
    if (found != 0)
        BringWindowForward(windows, found);
    return found;
}

WindowHandle LookUpDestinationWindow(WindowSystem& windows, const QString& target)
{
    // A missing targets.ini finds no window; one that can not be read is named. Read once.
    const IniFile targets = OpenTargetsFile().snapshot();
    targets.requireReadable();
    for (int entry = 1; entry <= TargetEntryCount; ++entry) {
        const WindowHandle result = FindEntryWindow(windows, ReadTargetEntry(targets, target, entry));
        if (result != 0)
            return result;
    }
    return 0;
}

WindowHandle FindDestinationWindow(WindowSystem& windows, const QString& target)
{
    const WindowHandle result = LookUpDestinationWindow(windows, target);
    if (result != 0)
        BringWindowForward(windows, result);
    return result;
}
