#include "idcardshow.h"

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

namespace {

// A label's new text reaches the layouts above it through layout requests posted one level at
// a time; activating every layout at once, innermost first, lets each count it now.
void activateLayouts(QWidget &widget)
{
    for (QObject *child : widget.children()) {
        if (child->isWidgetType())
            activateLayouts(*static_cast<QWidget *>(child));
    }
    if (QLayout *layout = widget.layout())
        layout->activate();
}

// The least height at which the page's layout squeezes no row at the given width: its minimum,
// with each wrapped label as tall as its text needs at that width.
int unsqueezedHeight(const QWidget &page, int width)
{
    return qMax(page.minimumSizeHint().height(), page.layout()->minimumHeightForWidth(width));
}

}

// A window's minimum height leaves out what its wrapped labels need at its width, and a layout
// short of room squeezes every row, captions too, below its own height. So after a read the
// window grows until the page shown gets the height it needs, within the screen's free area.
void IDCardShow::growToFitPage()
{
    activateLayouts(*this);
    // The page shown fills the stack, whose height follows the window's one for one.
    const QRect room = ui->stackedWidget->contentsRect();
    const int needed = height() - room.height() + unsqueezedHeight(*ui->stackedWidget->currentWidget(), room.width());
    const std::optional<QRect> screen = availableScreenGeometry(*this);
    const int frame = frameGeometry().height() - height();
    const int grown = qMin(needed, screen ? screen->height() - frame : INT_MAX);
    if (grown <= height())
        return;
    resize(width(), grown);
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
