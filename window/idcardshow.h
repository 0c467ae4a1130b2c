#pragma once

#include <QWidget>

class Ui_IDCardShow;

// The reader window: a stack of four pages above a row of five buttons.
// Buttons reach the private slots by object name (connectSlotsByName in setupUi).
class IDCardShow : public QWidget
{
    Q_OBJECT

public:
    explicit IDCardShow(QWidget *parent = nullptr);
    ~IDCardShow() override;

    // Empties the thirteen card fields; every read starts with it.
    void clearmsg();

private slots:
    void on_btn_reread_clicked();
    void on_btn_close_clicked();
    void on_btn_back_clicked();
    void on_btn_fp_clicked();
    void on_pushButton_clicked();

private:
    // Shows the page and remembers the one it replaces for btn_back; nothing when it already shows.
    void showPageRememberingCurrent(int page);
    // Holds the window's minimum at what its layout asks for before it shows.
    void holdMinimumSize();
    // Makes the window as wide as the page's values and as tall as the page needs, never larger
    // than the screen's free area, and keeps it inside that area.
    void growToFitPage();
    int layoutMinimumWidth();
    void keepInside(const QRect &screen);

    Ui_IDCardShow *ui;
    qint32 savedPageIndex;
    qint32 fingerprintLength;
};
