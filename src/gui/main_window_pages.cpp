#include "main_window.h"

#include "channels_page.h"
#include "configuration_page.h"
#include "control_table.h"
#include "edits_guard.h"
#include "general_page.h"
#include "keyboard.h"
#include "live_values_page.h"
#include "relays_page.h"
#include "top_bar.h"
#include "trend_chart.h"

#include <QPaintEvent>
#include <QTabWidget>
#include <QVBoxLayout>

// The notebook's pages: the first is built with the window, the others once its first frame is
// on the screen. Until then their values wait in the window's control values, which the control
// table leaves out of its walks for the pages not built.

namespace pmv::gui {
namespace {

constexpr std::array<const char*, 5> kPageTitles = {"Настройки каналов", "Настройки реле", "Общие", "Текущие значения",
                                                    "Конфигурация"};

// A page built into its tab, filling it; shown with the tab.
template <class Page>
Page* IntoTab(QWidget& tab, Page* page)
{
    auto* fill = new QVBoxLayout(&tab);
    fill->setContentsMargins({});
    fill->addWidget(page);
    fill->activate();
    return page;
}

}  // namespace

void MainWindow::BuildPages(QWidget& client)
{
    pages_ = new QTabWidget(&client);
    pages_->setObjectName("TabbedNotebook1");
    pages_->setGeometry(QRect(4, 108, 695, 349 + kTrendHeight));
    // Each page is born inside the notebook, so that it is laid out in the window's font.
    channels_ = new ChannelsPage(pages_);
    for (size_t i = 0; i < kPageTitles.size(); ++i) {
        QWidget* tab = i == 0 ? channels_ : (laterTabs_[i - 1] = new QWidget(pages_));
        const QString title = QString::fromUtf8(kPageTitles[i]);
        tab->setObjectName(title);
        pages_->addTab(tab, title);
    }
    NameBoundWidgets(Bound());
    // A turn to a page not built yet builds it before it is shown.
    connect(pages_, &QTabWidget::currentChanged, this, [this] { EnsurePages(); });
    buildPages_ = clock_.NewTicker([this] { EnsurePages(); }, true);
}

BoundWidgets MainWindow::Bound() const { return {top_, channels_->channels, relays_, general_}; }

void MainWindow::paintEvent(QPaintEvent* event)
{
    QMainWindow::paintEvent(event);
    // The first frame is drawn: the other pages follow as soon as the events that came with it
    // have run.
    if (!buildDue_ && !PagesBuilt()) {
        buildDue_ = true;
        buildPages_->Start(0);
    }
}

void MainWindow::EnsurePages()
{
    if (PagesBuilt())
        return;
    relays_ = IntoTab(*laterTabs_[0], new RelaysPage(laterTabs_[0]));
    general_ = IntoTab(*laterTabs_[1], new GeneralPage(laterTabs_[1]));
    live_ =
        IntoTab(*laterTabs_[2], new LiveValuesPage(laterTabs_[2], session_.exchange, session_.port.settings(), clock_));
    configuration_ = IntoTab(*laterTabs_[3], new ConfigurationPage(laterTabs_[3]));
    trend_ = new TrendChart(*live_, session_.model, messages_);
    live_->onGoodPoll = [this](const device::LiveValues& values) { trend_->Add(values, clock_.EpochMs()); };

    // Only the new pages take the waiting values: a value being typed on the first page stays.
    const BoundWidgets later{nullptr, {}, relays_, general_};
    NameBoundWidgets(later);
    PutControls(controls_, later);
    ConnectLaterPages();
    if (edits_)
        for (QWidget* tab : laterTabs_)
            edits_->Watch(*tab);
    // A page built for a turn to its tab comes up at once; the others with their tabs.
    for (QWidget* page : std::initializer_list<QWidget*>{relays_, general_, live_, configuration_})
        page->show();
    ChainTabOrder(*pages_, *top_);
}

}  // namespace pmv::gui
