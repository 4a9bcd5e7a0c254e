#include "platform/x11/x11platform.h"

#include "platform/localedateformats.h"
#include "platform/x11/x11clipboard.h"
#include "platform/x11/x11connection.h"
#include "platform/x11/x11hotkey.h"
#include "platform/x11/x11keyboard.h"
#include "platform/x11/x11windowsystem.h"
#include "platform/xdgautostart.h"
#include "platform/xdgopen.h"

X11Platform::~X11Platform() = default;

namespace {

class X11Desktop : public X11Platform {
public:
    Platform& interfaces() override { return m_platform; }

private:
    X11Connection m_x11;
    X11KeyMap m_keys{m_x11};
    X11WindowSystem m_windows{m_x11};
    X11KeyboardSynth m_keyboard{m_x11, m_keys};
    X11Clipboard m_clipboard{m_x11};
    X11GlobalHotKey m_hotKey{m_x11, m_keys};
    LocaleDateFormats m_dateFormats;
    XdgOpen m_files;
    XdgAutostart m_loginStart = XdgAutostart::forThisProgram();
    Platform m_platform{m_windows, m_keyboard, m_clipboard, m_hotKey, m_dateFormats, m_files, &m_loginStart};
};

} // namespace

std::unique_ptr<X11Platform> CreateX11Platform()
{
    return std::make_unique<X11Desktop>();
}
