#include "window_fixture.h"

#include <QLineEdit>

namespace pmv::test {

QString WindowFixture::Text(Bound edit) const { return Get<QLineEdit>(edit)->text(); }

void WindowFixture::SetText(Bound edit, const char* text) const
{
    Get<QLineEdit>(edit)->setText(QString::fromUtf8(text));
}

}  // namespace pmv::test
