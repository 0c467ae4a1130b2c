#include "idcardshow.h"
#include "placement.h"

#include <QApplication>
#include <sys/resource.h>

// A core file would hold the card data the window has read: this process writes none.
static void disableCoreDumps()
{
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
}

int main(int argc, char *argv[])
{
    disableCoreDumps();
    QApplication app(argc, argv);
    IDCardShow window;
    centreOnDesktop(window);
    window.show();
    return app.exec();
}
