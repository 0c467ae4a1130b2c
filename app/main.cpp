#include "idcardshow.h"
#include "lastword.h"
#include "nocoredumps.h"
#include "placement.h"
#include "standarddescriptors.h"

#include <QApplication>

// The window draws with the raster engine and uses no OpenGL, yet the xcb platform would load
// the machine's GLX driver into this process; unless the user chose otherwise, it loads none.
static void skipOpenGlIntegration()
{
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
}

int main(int argc, char *argv[])
{
    // The driver libraries are loaded before main: one may have closed a standard descriptor,
    // which the X connection would otherwise take.
    reopenClosedStandardDescriptors();
    watchForLastWord();
    disableCoreDumps();
    skipOpenGlIntegration();
    QApplication app(argc, argv);
#if QT_VERSION >= QT_VERSION_CHECK(5, 7, 0)
    // On Wayland the app id names the desktop entry, whose icon the task bar then shows.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.idcardshow.idcardshow"));
#endif
    IDCardShow window;
    centreOnDesktop(window);
    window.show();
    return app.exec();
}
