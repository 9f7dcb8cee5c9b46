#pragma once

#include <functional>

class QUrl;

// Opens an address with the desktop's default handler (for a web address,
// the user's web browser). Returns false when no handler could take it.
bool openUrl(const QUrl &url);

// Tests record the addresses instead of opening them; an empty function
// brings the desktop back.
void setUrlOpenerForTests(std::function<bool(const QUrl &)> opener);
