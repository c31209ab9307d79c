#include "window_fixture.h"

#include <QLineEdit>

namespace pmv::test {

QString WindowTest::Text(const char* edit) const
{
    return Get<QLineEdit>(edit)->text();
}

void WindowTest::SetText(const char* edit, const char* text) const
{
    Get<QLineEdit>(edit)->setText(QString::fromUtf8(text));
}

}  // namespace pmv::test
