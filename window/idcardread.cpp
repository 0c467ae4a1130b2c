#include "idcardshow.h"

#include "basemessage.h"
#include "cardreads.h"
#include "cardtext.h"
#include "lastword.h"
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

// "ICC_Reader_Open=N", "ICC_ReadBaseMsgData=N" or, for an overrun, the call that wrote past its
// buffer, as a debug message of category "default" with no file, line or function, whatever the
// build type.
void logResult(DriverCall call, int64_t result)
{
    QMessageLogger(nullptr, 0, nullptr).debug("%s=%d", driverCallName(call), int32_t(result));
}

}

void IDCardShow::on_btn_reread_clicked()
{
    clearmsg();
    int64_t lastResult = 0;
    const auto observe = [&lastResult](DriverCall call, int64_t result) {
        lastResult = result;
        if (endsRead(call, result))
            logResult(call, result);
    };
    const IdCardRead read = readIdCard(linkedDriver(), observe, [this](const IdCardRead &card) {
        const HolderFields holder = decodeBaseMessage(card.record);
        showHolder(*ui, holder);
        ui->label_photo->setPixmap(loadPhoto(bytesInRoom(card.photoPath, PhotoPathBufferSize)));
        fingerprintLength = holder.fingerprint.size();
        ui->plainTextEdit_fp->setPlainText(fingerprintText(holder.fingerprint));
        ui->label_shebao->clear();
    });
    // A read stopped by an overrun fails as any other, with its call's result in the message.
    if (read.overrun.happened()) {
        reportOverrun(read.overrun);
        if (!endsRead(read.overrun.call, lastResult))
            logResult(read.overrun.call, lastResult);
    }
    if (!read.read)
        return;
    showPageRememberingCurrent(CardPage);
    growToFitPage();
}
