#include "platform/url_opener.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

std::function<bool(const QUrl &)> &testOpener()
{
    static std::function<bool(const QUrl &)> opener;
    return opener;
}

} // namespace

bool openUrl(const QUrl &url)
{
    if (testOpener())
        return testOpener()(url);
    return QDesktopServices::openUrl(url);
}

void setUrlOpenerForTests(std::function<bool(const QUrl &)> opener)
{
    testOpener() = std::move(opener);
}
