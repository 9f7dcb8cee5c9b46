#pragma once

#include <functional>

class QMouseEvent;
class QObject;

// The right-button filter: withholds a right-button press over a browser
// view (a TEmbeddedWB or a class derived from it) from the view, and answers
// as the rest of the mouse filter chain does for everything else. A newer
// filter that lets everything through overrides it, which is how the view
// gets its context menu once start-up has finished.
bool RightButtonFilter(QObject *watched, QMouseEvent *event, const std::function<bool()> &callNext);

// main() installs the filter before the main window exists and removes it
// when the program ends. Installing twice keeps one filter.
void installRightButtonFilter();
void removeRightButtonFilter();
