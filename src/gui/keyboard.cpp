#include "keyboard.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QAction>
#include <QCalendarWidget>
#include <QComboBox>
#include <QMainWindow>
#include <QMenuBar>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>

namespace pmv::gui {
namespace {

void CollectTabStops(QWidget& parent, std::vector<QWidget*>& stops)
{
    for (QObject* child : parent.children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w->isWindow())
            continue;
        if ((w->focusPolicy() & Qt::TabFocus) && !w->focusProxy())
            stops.push_back(w);
        // A list, a text field, a grid or a calendar is one stop: Tab leaves it as a whole.
        if (qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractScrollArea*>(w) ||
            qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QCalendarWidget*>(w))
            continue;
        CollectTabStops(*w, stops);
    }
}

void TurnPage(QTabWidget& pages, int step)
{
    const int count = pages.count();
    if (count == 0)
        return;
    pages.setCurrentIndex((pages.currentIndex() + step + count) % count);
    for (QWidget* w : TabStops(*pages.currentWidget()))
        if (w->isVisibleTo(&pages) && w->isEnabled()) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    pages.tabBar()->setFocus(Qt::TabFocusReason);
}

}  // namespace

std::vector<QWidget*> TabStops(QWidget& root)
{
    std::vector<QWidget*> stops;
    CollectTabStops(root, stops);
    return stops;
}

void InstallWindowKeys(QMainWindow& window, QTabWidget& pages)
{
    const std::pair<QKeySequence, int> turns[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
        {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
        {QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1},
    };
    for (const auto& [keys, step] : turns) {
        auto* shortcut = new QShortcut(keys, &window);
        shortcut->setObjectName(QStringLiteral("TurnPage%1").arg(step > 0 ? "Forward" : "Back"));
        QObject::connect(shortcut, &QShortcut::activated, &pages, [&pages, step = step] { TurnPage(pages, step); });
    }
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), &window);
    menuKey->setObjectName("OpenMenuBar");
    QObject::connect(menuKey, &QShortcut::activated, &window, [&window] {
        QMenuBar* bar = window.menuBar();
        for (QAction* menu : bar->actions())
            if (menu->isVisible() && menu->isEnabled()) {
                bar->setFocus(Qt::ShortcutFocusReason);
                bar->setActiveAction(menu);
                return;
            }
    });
}

void ChainTabOrder(const QTabWidget& pages, QWidget& above)
{
    std::vector<QWidget*> chain;
    for (int i = 0; i < pages.count(); ++i) {
        const std::vector<QWidget*> stops = TabStops(*pages.widget(i));
        chain.insert(chain.end(), stops.begin(), stops.end());
    }
    const std::vector<QWidget*> top = TabStops(above);
    chain.insert(chain.end(), top.begin(), top.end());
    chain.push_back(pages.tabBar());
    for (size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

}  // namespace pmv::gui
