#include "delivery/globals.h"

#include "settings/settings.h"
#include "util/interaction.h"
#include "util/textutils.h"

using namespace Qt::StringLiterals;

namespace {

enum class MatchMode { StartsWith, Substring, TryBoth };

constexpr int TitleEntries = 9;

MatchMode ModeFromText(const QString& text)
{
    if (text.compare(u"Starts With"_s, Qt::CaseInsensitive) == 0)
        return MatchMode::StartsWith;
    if (text.compare(u"Substring"_s, Qt::CaseInsensitive) == 0)
        return MatchMode::Substring;
    return MatchMode::TryBoth;
}

// Entry 1 has plain key names; entries 2 to 9 append their digit.
QString EntryKey(const QString& name, int entry)
{
    return entry == 1 ? name : name + QString::number(entry);
}

} // namespace

WindowHandle FindTitledWindow(const QString& pattern, bool startsWith)
{
    if (pattern.isEmpty())
        return 0;
    WindowSystem& windows = platform().windows;
    WindowHandle found = 0;
    for (const WindowHandle window : windows.topLevelWindows()) {
        // A paste into one of our own windows would land in our own key handling.
        if (windows.isOwnWindow(window))
            continue;
        const qsizetype position = TextPosNoCase(pattern, windows.windowTitle(window).left(MatchedTitleLength));
        const bool candidate = startsWith ? position == 1 : position > 1 && windows.windowOwner(window) == 0;
        if (candidate && windows.windowClass(window).trimmed() != u"THintWindow"_s) {
            found = window;
            break;
        }
    }
    if (found != 0) {
        windows.requestActivation(found);
        windows.raiseWindow(found);
    }
    return found;
}

WindowHandle FindDestinationWindow()
{
    for (int entry = 1; entry <= TitleEntries; ++entry) {
        const QString application = ReadSetting(Setting::Target);
        const IniFile targets = OpenTargetsFile();
        const QString pattern = targets.readText(application, EntryKey(u"Target"_s, entry), {});
        const MatchMode mode = ModeFromText(targets.readText(application, EntryKey(u"Search Type"_s, entry), {}));

        WindowHandle result = FindTitledWindow(pattern, mode != MatchMode::Substring);
        if (result == 0 && mode == MatchMode::TryBoth)
            result = FindTitledWindow(pattern, false);
        if (result != 0)
            return result;
    }
    interaction().showMessage(u"Could not find a message window owned by \""_s + ReadSetting(Setting::Target)
                              + u"\""_s);
    return 0;
}
