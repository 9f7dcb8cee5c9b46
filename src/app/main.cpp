#include <QApplication>

#include "app/MainForm.h"
#include "app/icons.h"
#include "app/program_state.h"
#include "view/WbPopup.h"
#include "view/embedded_wb.h"

#ifndef _WIN32
#include <unistd.h>
#endif

int main(int argc, char *argv[])
{
#ifndef _WIN32
    // The web engine refuses to start as root with its sandbox on.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
    TEmbeddedWB::registerUrlScheme();
    QApplication app(argc, argv);
    app.setWindowIcon(programIcon());
    installRightButtonFilter();

    int result = 0;
    {
        TForm1 form;
        form.show();
        result = app.exec();
    }

    resetProgramState();
    removeRightButtonFilter();
    return result;
}
