#pragma once

#include "util/errors.h"

#include <QObject>

#include <type_traits>
#include <utility>

// Connects a signal to a member slot that runs through the guard, so no exception
// crosses Qt's event loop; errors are shown through boxes. The slot takes the signal's
// arguments or none.
template <typename Sender, typename Signal, typename Receiver, typename Slot>
QMetaObject::Connection ConnectGuarded(Interaction& boxes, Sender* sender, Signal signal, Receiver* receiver, Slot slot)
{
    return QObject::connect(sender, signal, receiver, [&boxes, receiver, slot](auto&&... args) {
        Guarded(boxes, [&] {
            if constexpr (std::is_invocable_v<Slot, Receiver*, decltype(args)...>)
                (receiver->*slot)(std::forward<decltype(args)>(args)...);
            else
                (receiver->*slot)();
        });
    });
}
