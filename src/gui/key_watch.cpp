#include "key_watch.h"

#include <QApplication>
#include <QKeyEvent>

#include <utility>

namespace pmv::gui {

KeyWatch::KeyWatch(QObject* parent) : QObject(parent) { qApp->installEventFilter(this); }

KeyWatch::~KeyWatch() { qApp->removeEventFilter(this); }

bool KeyWatch::TakeEscape() { return std::exchange(escape_, false); }

bool KeyWatch::TakeEnter() { return std::exchange(enter_, false); }

bool KeyWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && QApplication::activeModalWidget() == nullptr) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Escape: escape_ = true; break;
        case Qt::Key_Return:
        case Qt::Key_Enter: enter_ = true; break;
        default: break;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace pmv::gui
