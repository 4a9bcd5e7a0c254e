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
    // No verb: the file's default action, which for some kinds is not "open".
    const auto result = ShellExecuteW(nullptr, nullptr, file.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                                      folder.empty() ? nullptr : folder.c_str(), showCommand);
    return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

namespace {

constexpr wchar_t RunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

[[noreturn]] void cannotWriteRunKey()
{
    throw Failure(std::wstring(L"Unable to write to HKEY_CURRENT_USER\\") + RunKey);
}

} // namespace

std::optional<std::wstring> loginCommand(const std::wstring& name)
{
    DWORD type = 0;
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, RunKey, name.c_str(), RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     &type, nullptr, &size)
        != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, RunKey, name.c_str(), RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     &type, text.data(), &size)
        != ERROR_SUCCESS)
        return std::nullopt;
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

void setLoginCommand(const std::wstring& name, const std::wstring& commandLine)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, RunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        cannotWriteRunKey();
    const auto bytes = static_cast<DWORD>((commandLine.size() + 1) * sizeof(wchar_t));
    const LSTATUS written
        = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(commandLine.c_str()), bytes);
    RegCloseKey(key);
    if (written != ERROR_SUCCESS)
        cannotWriteRunKey();
}

void removeLoginCommand(const std::wstring& name)
{
    const LSTATUS removed = RegDeleteKeyValueW(HKEY_CURRENT_USER, RunKey, name.c_str());
    if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND)
        cannotWriteRunKey();
}

std::wstring commandProgram(const std::wstring& commandLine)
{
    const std::size_t start = commandLine.find_first_not_of(L" \t");
    if (start == std::wstring::npos)
        return {};
    if (commandLine[start] == L'"') {
        const std::size_t end = commandLine.find(L'"', start + 1);
        return commandLine.substr(start + 1, end == std::wstring::npos ? std::wstring::npos : end - start - 1);
    }
    const std::size_t end = commandLine.find_first_of(L" \t", start);
    return commandLine.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

bool loginStartsProgram(const std::wstring& name, const std::wstring& program)
{
    const std::optional<std::wstring> command = loginCommand(name);
    if (!command)
        return false;
    const std::wstring named = commandProgram(*command);
    return CompareStringOrdinal(named.c_str(), static_cast<int>(named.size()), program.c_str(),
                                static_cast<int>(program.size()), TRUE)
        == CSTR_EQUAL;
}

} // namespace WinCore
