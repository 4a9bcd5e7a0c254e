#pragma once

#include "platform/platform.h"

#include <QDateTime>
#include <QString>

#include <optional>

// What token expansion needs of the world around it. Each source is asked only when the
// text holds a token that needs it.

class ClipboardTextSource {
public:
    virtual ~ClipboardTextSource();
    // The clipboard's text; no value when it holds none (empty, a picture, files only).
    // Raises Error "Cannot open clipboard" when another program keeps it open.
    virtual std::optional<QString> clipboardText() = 0;
};

class Clock {
public:
    virtual ~Clock();
    // The current local date and time.
    virtual QDateTime now() = 0;
};

class FreeTextPrompt {
public:
    virtual ~FreeTextPrompt();
    // Asks for the value of a free-text field; no value when the user cancels.
    virtual std::optional<QString> askFreeText(const QString& prompt, const QString& defaultValue) = 0;
};

// What the Hotword query found: how many Messages, and the body of the one when exactly one.
struct HotwordText {
    int rowCount = 0;
    QString text;
};

class IncludeLookup {
public:
    virtual ~IncludeLookup();
    virtual HotwordText textByHotword(const QString& hotword) = 0;
};

struct TokenSources {
    ClipboardTextSource& clipboard;
    Clock& clock;
    DateFormats& dateFormats;
    FreeTextPrompt& prompt;
    IncludeLookup& includes;
};
