#include "basemessage.h"
#include "idcardshow.h"
#include "kestreldriver.h"
#include "pages.h"
#include "photo.h"
#include "ui_idcardshow.h"

#include <QMessageLogger>

namespace {

void showHolder(Ui_IDCardShow &ui, const HolderFields &holder)
{
    ui.label_name->setText(holder.name);
    ui.label_sex->setText(holder.sex);
    ui.label_nation->setText(holder.nation);
    ui.label_idcode->setText(holder.idCode);
    ui.label_birth_year->setText(holder.birth.year);
    ui.label_birth_month->setText(holder.birth.month);
    ui.label_birth_day->setText(holder.birth.day);
    ui.label_address->setText(holder.address);
    ui.label_agency->setText(holder.agency);
    ui.label_valid->setText(holder.validity);
}

// Category "default" with no file, line or function, whatever the build type.
void logFailure(const char *format, int32_t result)
{
    QMessageLogger(nullptr, 0, nullptr).debug(format, result);
}

}

void IDCardShow::on_btn_reread_clicked()
{
    clearmsg();

    const int32_t opened = ICC_Reader_Open("");
    if (opened != 1) {
        logFailure("ICC_Reader_Open=%d", opened);
        return;
    }

    char samId[SamIdBufferSize] = {};
    ICC_GetSAMIDToStr(0, samId);

    unsigned char powerOnReply[PowerOnReplySize] = {};
    ICC_Reader_PowerOff(0, CardSlot);
    ICC_Reader_PowerOn(0, CardSlot, powerOnReply);
    ICC_Authenticate(0);

    char photoPath[PhotoPathBufferSize] = {};
    BaseMessageRecord record = {};
    const int32_t read = ICC_ReadBaseMsgData(0, 0, photoPath, record);
    if (read != 0) {
        logFailure("ICC_ReadBaseMsgData=%d", read);
        ICC_Reader_PowerOff(0, CardSlot);
        ICC_Reader_Close();
        return;
    }

    const HolderFields holder = decodeBaseMessage(record);
    showHolder(*ui, holder);
    ui->label_photo->setPixmap(loadPhoto(bytesInRoom(photoPath, PhotoPathBufferSize)));
    fingerprintLength = holder.fingerprint.size();
    ui->plainTextEdit_fp->setPlainText(fingerprintText(holder.fingerprint));
    ui->label_shebao->clear();

    ICC_Reader_PowerOff(0, CardSlot);
    ICC_Reader_Close();
    showPageRememberingCurrent(CardPage);
}
