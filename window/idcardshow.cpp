#include "idcardshow.h"

#include "cardlabel.h"
#include "pages.h"
#include "placement.h"
#include "ui_idcardshow.h"

#include <QLayout>
#include <climits>

IDCardShow::IDCardShow(QWidget *parent)
    : QWidget(parent), ui(new Ui_IDCardShow), savedPageIndex(ReadTipPage), fingerprintLength(0)
{
    ui->setupUi(this);
    ui->stackedWidget->setCurrentIndex(ReadTipPage);
}

// The widgets belong to the window; deleting the form object only drops the pointers.
IDCardShow::~IDCardShow()
{
    delete ui;
}

void IDCardShow::clearmsg()
{
    ui->label_name->clear();
    ui->label_sex->clear();
    ui->label_nation->clear();
    ui->label_idcode->clear();
    ui->label_birth_year->clear();
    ui->label_birth_month->clear();
    ui->label_birth_day->clear();
    ui->label_address->clear();
    ui->label_agency->clear();
    ui->label_valid->clear();
    ui->plainTextEdit_fp->clear();
    ui->label_photo->clear();
    ui->label_shebao->clear();
}

void IDCardShow::on_btn_close_clicked()
{
    close();
}

void IDCardShow::on_btn_back_clicked()
{
    ui->stackedWidget->setCurrentIndex(savedPageIndex);
}

void IDCardShow::on_btn_fp_clicked()
{
    showPageRememberingCurrent(FingerprintPage);
}

void IDCardShow::showPageRememberingCurrent(int page)
{
    const int current = ui->stackedWidget->currentIndex();
    if (current == page)
        return;
    savedPageIndex = current;
    ui->stackedWidget->setCurrentIndex(page);
}

// A window's minimum height leaves out what its labels need at its width, so at larger fonts a
// social security line wrapped onto more lines than the form has room for would be cut: then
// the window grows to the height its layout asks for at this width, within the screen.
void IDCardShow::growToFitWrappedText()
{
    // The window's layout would learn of the page just shown only from a posted layout request.
    layout()->invalidate();
    layout()->activate();
    const CardLabel *label = ui->label_shebao;
    if (label->heightForWidth(label->width()) <= label->height())
        return;
    const std::optional<QRect> screen = availableScreenGeometry(*this);
    const int frame = frameGeometry().height() - height();
    const int needed = qMin(heightForWidth(width()), screen ? screen->height() - frame : INT_MAX);
    if (needed <= height())
        return;
    resize(width(), needed);
    if (screen)
        keepBottomOn(*screen);
}

// The window grows downwards: it moves up as far as its frame left the free area, never above it.
void IDCardShow::keepBottomOn(const QRect &screen)
{
    const int below = frameGeometry().bottom() - screen.bottom();
    if (below > 0)
        move(x(), qMax(screen.top(), y() - below));
}
