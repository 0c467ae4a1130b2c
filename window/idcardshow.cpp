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
    holdMinimumSize();
    // CardLabel has no meta-object of its own: findChildren<CardLabel *> would give every QLabel.
    const QList<QLabel *> labels = findChildren<QLabel *>();
    for (QLabel *label : labels)
        if (auto *value = dynamic_cast<CardLabel *>(label))
            value->askForWholeText();
}

// A platform told of a new minimum after the window shows warns where it cannot pass it on
// (offscreen), so the minimum stays as the form gives it, and a read grows the window itself.
void IDCardShow::holdMinimumSize()
{
    ensurePolished();
    setMinimumSize(layout()->totalMinimumSize());
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

// The window's minimum is held, and a window's minimum height leaves out what its wrapped labels
// need at its width; a layout short of room cuts values and squeezes rows below their height.
// So after a read the window grows until its layout has the width its values ask for and the
// page shown the height it needs, within the screen's free area. Beyond that, the longest values
// are cut first, never a caption.
void IDCardShow::growToFitPage()
{
    const std::optional<QRect> screen = availableScreenGeometry(*this);
    const QSize frame = frameGeometry().size() - size();
    const QSize room = screen ? screen->size() - frame : QSize(INT_MAX, INT_MAX);
    const QSize before = size();
    const int wide = qMin(layoutMinimumWidth(), room.width());
    if (wide > width())
        resize(wide, height());
    activateLayouts(*this);
    // The page shown fills the stack, whose height follows the window's one for one.
    const QRect stack = ui->stackedWidget->contentsRect();
    const int needed = height() - stack.height() + unsqueezedHeight(*ui->stackedWidget->currentWidget(), stack.width());
    const int tall = qMin(needed, room.height());
    if (tall > height())
        resize(width(), tall);
    if (screen && size() != before)
        keepInside(*screen);
}

int IDCardShow::layoutMinimumWidth()
{
    activateLayouts(*this);
    return layout()->totalMinimumSize().width();
}

// A grown window moves back into the free area, its top-left corner first.
void IDCardShow::keepInside(const QRect &screen)
{
    const QRect frame = frameGeometry();
    const int left = qMax(screen.left(), qMin(frame.left(), screen.right() + 1 - frame.width()));
    const int top = qMax(screen.top(), qMin(frame.top(), screen.bottom() + 1 - frame.height()));
    if (left != frame.left() || top != frame.top())
        move(left, top);
}
