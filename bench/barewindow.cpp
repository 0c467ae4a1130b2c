// A bare toolkit window of the reader window's size, started as idcardshow starts: the floor
// that no window of the toolkit goes below. With the argument "text" it also shows one line
// of Chinese text, which loads a CJK font as any window with Chinese text must. With "form"
// it is the reader window's form alone, on its read tip page, without the window's own code.

#include "placement.h"
#include "ui_idcardshow.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(513, 397);
    Ui_IDCardShow form;
    if (app.arguments().contains("text"))
        new QLabel(QString::fromUtf8("请放卡片"), &window);
    if (app.arguments().contains("form")) {
        form.setupUi(&window);
        form.stackedWidget->setCurrentIndex(1);
    }
    centreOnDesktop(window);
    window.show();
    return app.exec();
}
