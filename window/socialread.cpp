#include "idcardshow.h"

#include "basemessage.h"
#include "cardreads.h"
#include "cardtext.h"
#include "lastword.h"
#include "linkeddriver.h"
#include "pages.h"
#include "ui_idcardshow.h"

void IDCardShow::on_pushButton_clicked()
{
    clearmsg();
    // A failed social security read is silent.
    const SocialRead read = readSocialCard(linkedDriver(), [](DriverCall, int64_t) {});
    if (read.overrun.happened())
        reportOverrun(read.overrun);
    if (!read.read)
        return;
    // The last byte is the terminator's room; text never reaches into it.
    ui->label_shebao->setText(visibleCardText(textInRoom(read.data, SocialDataBufferSize - 1)));
    showPageRememberingCurrent(CardPage);
    growToFitPage();
}
