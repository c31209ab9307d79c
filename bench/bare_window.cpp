// A bare Qt window that ends after its first paint: the floor under the window's start.
#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <cstdlib>

namespace {

class FirstPaint final : public QWidget {
protected:
    bool event(QEvent* e) override
    {
        const bool handled = QWidget::event(e);
        // Ends once the frame is flushed, without the teardown, which is no part of the start.
        if (e->type() == QEvent::Paint)
            QMetaObject::invokeMethod(
                this, [] { std::_Exit(0); }, Qt::QueuedConnection);
        return handled;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    FirstPaint window;
    window.resize(1024, 700);
    window.show();
    return QApplication::exec();
}
