#include "idcardshow.h"
#include "nocoredumps.h"
#include "placement.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    disableCoreDumps();
    QApplication app(argc, argv);
    IDCardShow window;
    centreOnDesktop(window);
    window.show();
    return app.exec();
}
