#include "delivery/globals.h"

#include "settings/settings.h"
#include "util/textutils.h"

#include <algorithm>

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

// The entry's class, or one of its classes separated by "|"; any class when it names none.
bool ClassMatches(const QString& wanted, const QString& actual)
{
    bool named = false;
    for (const QString& name : wanted.split(u'|')) {
        if (name.trimmed().isEmpty())
            continue;
        named = true;
        if (name.trimmed().compare(actual.trimmed(), Qt::CaseInsensitive) == 0)
            return true;
    }
    return !named;
}

bool RoleMatches(WindowSystem& windows, WindowHandle window, const QString& wanted)
{
    if (wanted.isEmpty())
        return true;
    const QString role = windows.windowRole(window);
    if (wanted.trimmed().compare(NoWindowRole, Qt::CaseInsensitive) == 0)
        return role.trimmed().isEmpty();
    return role.startsWith(wanted, Qt::CaseInsensitive);
}

bool HoldsExceptedText(const QString& title, const QString& exceptTitles)
{
    const QStringList texts = exceptTitles.split(u'|', Qt::SkipEmptyParts);
    return std::any_of(texts.cbegin(), texts.cend(), [&](const QString& text) {
        return !text.trimmed().isEmpty() && title.contains(text.trimmed(), Qt::CaseInsensitive);
    });
}

// One pass of one entry: the windows, topmost first, that pass the title test selected by
// startsWith (or, without a pattern, have no owner) and have the entry's class and role;
// with first, only the topmost of them.
QList<WindowHandle> FindWindows(WindowSystem& windows, const TargetEntry& entry, bool startsWith, bool first)
{
    QList<WindowHandle> found;
    if (entry.isEmpty())
        return found;
    for (const WindowHandle window : windows.topLevelWindows()) {
        // A paste into one of our own windows would land in our own key handling.
        if (windows.isOwnWindow(window))
            continue;
        const QString title = windows.windowTitle(window).left(MatchedTitleLength);
        bool candidate = false;
        if (entry.title.isEmpty()) {
            candidate = windows.windowOwner(window) == 0;
        } else {
            const qsizetype position = TextPosNoCase(entry.title, title);
            candidate = startsWith ? position == 1 : position > 1 && windows.windowOwner(window) == 0;
        }
        const QString windowClass = windows.windowClass(window);
        if (candidate && windowClass.trimmed() != u"THintWindow"_s && ClassMatches(entry.className, windowClass)
            && RoleMatches(windows, window, entry.role) && !HoldsExceptedText(title, entry.exceptTitles)) {
            found.append(window);
            if (first)
                break;
        }
    }
    return found;
}

// The entry's passes in its match mode: Try Both takes the substring pass only when the
// starts-with pass finds nothing.
QList<WindowHandle> EntryPasses(WindowSystem& windows, const TargetEntry& entry, bool first)
{
    const MatchMode mode = ModeFromText(entry.searchType);
    QList<WindowHandle> result = FindWindows(windows, entry, mode != MatchMode::Substring, first);
    if (result.isEmpty() && mode == MatchMode::TryBoth && !entry.title.isEmpty())
        result = FindWindows(windows, entry, false, first);
    return result;
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
    return {read(u"Target"_s), read(u"Search Type"_s), read(u"Class"_s), read(u"Role"_s), read(u"Except Title"_s)};
}

WindowHandle FindEntryWindow(WindowSystem& windows, const TargetEntry& entry)
{
    return EntryPasses(windows, entry, true).value(0);
}

QList<WindowHandle> FindEntryWindows(WindowSystem& windows, const TargetEntry& entry)
{
    return EntryPasses(windows, entry, false);
}

WindowHandle FindTitledWindow(WindowSystem& windows, const QString& pattern, bool startsWith)
{
    const WindowHandle found
        = pattern.isEmpty() ? 0 : FindWindows(windows, {pattern, {}, {}, {}, {}}, startsWith, true).value(0);
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
