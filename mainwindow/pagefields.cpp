#include "pagefields.h"

#include <QComboBox>

namespace PageFields {

void showCode(QComboBox *box, int code, int firstCode)
{
    const int index = code - firstCode;
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
}

void captureCode(const QComboBox *box, int &code, int firstCode)
{
    if (box->currentIndex() >= 0)
        code = box->currentIndex() + firstCode;
}

} // namespace PageFields
