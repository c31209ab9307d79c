// A bare Qt window that ends after its first paint: the floor under the window's start.
#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace {

class FirstPaint final : public QWidget {
protected:
    bool event(QEvent* e) override
    {
        const bool handled = QWidget::event(e);
        if (e->type() == QEvent::Paint)
            QCoreApplication::exit(0);
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
