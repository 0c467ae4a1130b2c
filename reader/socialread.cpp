#include "basemessage.h"
#include "idcardshow.h"
#include "kestreldriver.h"
#include "pages.h"
#include "ui_idcardshow.h"

void IDCardShow::on_pushButton_clicked()
{
    clearmsg();

    char data[SocialDataBufferSize] = {};
    // The result is 64 bits wide: a value non-zero only in its upper half is a failure too.
    const int64_t result = iReadCardBas_noPasam(1, 100, data);
    if (result != 0)
        return;

    // The last byte is the terminator's room; text never reaches into it.
    ui->label_shebao->setText(textInRoom(data, SocialDataBufferSize - 1));
    showPageRememberingCurrent(CardPage);
}
