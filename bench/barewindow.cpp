// A bare toolkit window of the reader window's size, started as idcardshow starts: the floor
// that no window of the toolkit goes below. With the argument "text" it also shows one line
// of Chinese text, which loads a CJK font as any window with Chinese text must.

#include "placement.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(513, 397);
    if (app.arguments().contains("text"))
        new QLabel(QString::fromUtf8("请放卡片"), &window);
    centreOnDesktop(window);
    window.show();
    return app.exec();
}
