#pragma once

#include <functional>

class QMouseEvent;
class QObject;

// A chain of mouse filters for the whole application, in the manner of
// thread mouse hooks: the newest filter is asked first, may ask the older
// ones through callNext() (false at the end of the chain), and its own
// answer alone decides. true withholds the event from its receiver.
//
// Filters see each press, release, double-click and move of the user once,
// with the widget that is about to receive it as `watched`.
using MouseFilter = std::function<bool(QObject *watched, QMouseEvent *event,
                                       const std::function<bool()> &callNext)>;

// 0 is never a valid handle.
using MouseFilterHandle = int;

// Puts the filter in front of the chain. Needs no QApplication yet: the
// chain starts working once one exists. An empty function installs nothing
// and returns 0.
MouseFilterHandle installMouseFilter(MouseFilter filter);

// Takes the filter out of the chain; unknown handles and 0 are ignored.
// Safe to call from inside a filter.
void removeMouseFilter(MouseFilterHandle handle);
