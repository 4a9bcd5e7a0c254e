#include "platform/win/core/winapi.h"

#include <shellapi.h>

namespace WinCore {

namespace {

using Formatter = int (*)(const SYSTEMTIME&, const wchar_t* locale, wchar_t* buffer, int size);

std::wstring formatted(const SYSTEMTIME& moment, const std::wstring& locale, Formatter format)
{
    const wchar_t* name = locale.empty() ? LOCALE_NAME_USER_DEFAULT : locale.c_str();
    const int size = format(moment, name, nullptr, 0);
    if (size <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    const int written = format(moment, name, text.data(), size);
    text.resize(written > 0 ? static_cast<std::size_t>(written - 1) : 0);
    return text;
}

} // namespace

std::wstring shortDate(int year, int month, int day, const std::wstring& locale)
{
    SYSTEMTIME moment{};
    moment.wYear = static_cast<WORD>(year);
    moment.wMonth = static_cast<WORD>(month);
    moment.wDay = static_cast<WORD>(day);
    return formatted(moment, locale, [](const SYSTEMTIME& at, const wchar_t* name, wchar_t* buffer, int size) {
        return GetDateFormatEx(name, DATE_SHORTDATE, &at, nullptr, buffer, size, nullptr);
    });
}

std::wstring longTime(int hour, int minute, int second, const std::wstring& locale)
{
    SYSTEMTIME moment{};
    moment.wYear = 2000;
    moment.wMonth = 1;
    moment.wDay = 1;
    moment.wHour = static_cast<WORD>(hour);
    moment.wMinute = static_cast<WORD>(minute);
    moment.wSecond = static_cast<WORD>(second);
    return formatted(moment, locale, [](const SYSTEMTIME& at, const wchar_t* name, wchar_t* buffer, int size) {
        return GetTimeFormatEx(name, 0, &at, nullptr, buffer, size);
    });
}

int runFile(const std::wstring& file, const std::wstring& parameters, int showCommand, const std::wstring& folder)
{
    const auto result = ShellExecuteW(nullptr, L"open", file.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                                      folder.empty() ? nullptr : folder.c_str(), showCommand);
    return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

} // namespace WinCore
