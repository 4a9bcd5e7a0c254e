#pragma once

#include "platform/platform.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

// The Qt key code (key and modifier bits) of a virtual key with its shift state, the way
// KDE's global shortcut service stores keys; 0 for a key that has no Qt key.
int QtKeyCode(std::uint16_t virtualKey, std::uint8_t shiftState);

// The activation key held by KDE's global shortcut service (kglobalaccel, inside KWin on a
// Plasma Wayland session) on the session bus, as the action "activate" of the component
// "quillbay". The user sees it, and may change it, in Plasma's shortcut settings.
class KGlobalAccelHotKey : public QObject, public GlobalHotKey {
    Q_OBJECT
public:
    // Raises Error when the service is not on the session bus.
    KGlobalAccelHotKey();
    // Gives the key back.
    ~KGlobalAccelHotKey() override;

    bool setKey(std::uint16_t virtualKey, std::uint8_t shiftState) override;
    void clear() override;
    void setCallback(std::function<void()> callback) override;

private Q_SLOTS:
    void pressed(const QString& component, const QString& action, qlonglong timestamp);
    void released(const QString& component, const QString& action, qlonglong timestamp);

private:
    // Asks the service to give the action these keys; the keys it gave, or none when the
    // call failed.
    QList<int> assign(const QList<int>& keys);

    std::function<void()> m_callback;
    QString m_componentPath;
    // A held key repeats its press; the callback runs once until the release. Presses that
    // keep coming at a repeat's pace count as held even when a release went missing.
    bool m_down = false;
    QElapsedTimer m_lastPress;
};
