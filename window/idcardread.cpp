#include "idcardshow.h"

#include "basemessage.h"
#include "cardreads.h"
#include "cardtext.h"
#include "linkeddriver.h"
#include "pages.h"
#include "photo.h"
#include "ui_idcardshow.h"

#include <QMessageLogger>

namespace {

void showHolder(Ui_IDCardShow &ui, const HolderFields &holder)
{
    ui.label_name->setText(visibleCardText(holder.name));
    ui.label_sex->setText(visibleCardText(holder.sex));
    ui.label_nation->setText(visibleCardText(holder.nation));
    ui.label_idcode->setText(visibleCardText(holder.idCode));
    ui.label_birth_year->setText(visibleCardText(holder.birth.year));
    ui.label_birth_month->setText(visibleCardText(holder.birth.month));
    ui.label_birth_day->setText(visibleCardText(holder.birth.day));
    ui.label_address->setText(visibleCardText(holder.address));
    ui.label_agency->setText(visibleCardText(holder.agency));
    ui.label_valid->setText(visibleCardText(holder.validity));
}

// "ICC_Reader_Open=N" or "ICC_ReadBaseMsgData=N" as a debug message of category "default"
// with no file, line or function, whatever the build type.
void logFailure(DriverCall call, int64_t result)
{
    if (endsRead(call, result))
        QMessageLogger(nullptr, 0, nullptr).debug("%s=%d", driverCallName(call), int32_t(result));
}

}

void IDCardShow::on_btn_reread_clicked()
{
    clearmsg();
    const IdCardRead read = readIdCard(linkedDriver(), logFailure, [this](const IdCardRead &card) {
        const HolderFields holder = decodeBaseMessage(card.record);
        showHolder(*ui, holder);
        ui->label_photo->setPixmap(loadPhoto(bytesInRoom(card.photoPath, PhotoPathBufferSize)));
        fingerprintLength = holder.fingerprint.size();
        ui->plainTextEdit_fp->setPlainText(fingerprintText(holder.fingerprint));
        ui->label_shebao->clear();
    });
    if (!read.read)
        return;
    showPageRememberingCurrent(CardPage);
    growToFitPage();
}
