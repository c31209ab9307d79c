#include "connection_menu.h"

#include "connection_check_dialog.h"
#include "history_place_dialog.h"
#include "instrument_search_dialog.h"
#include "link/port_line.h"
#include "live_values_page.h"
#include "messages/messages.h"

#include <QMainWindow>
#include <QMenuBar>

namespace pmv::gui {

QMenu* InstallConnectionMenu(QMainWindow& window, link::LinkPort& port, link::Exchange& exchange, link::PortLine& line,
                             const link::Clock& clock, Progress& progress, Messages& messages,
                             history::SelectedHistory& history, std::function<void(bool)> setBusy)
{
    QMenu* menu = window.menuBar()->addMenu(QString::fromUtf8("&Связь"));
    menu->setObjectName("ConnectionMenu");
    auto search = [&window, &port, &exchange, &line, &clock, setBusy] {
        setBusy(true);
        // The search moves the line through speeds and addresses a poll knows nothing of.
        LiveValuesPage* live = window.findChild<LiveValuesPage*>();
        if (live)
            live->HoldPolls(true);
        InstrumentSearchDialog dialog(&window, port, exchange, line, clock);
        dialog.exec();
        if (live)
            live->HoldPolls(false);
        setBusy(false);
    };
    QAction* check = menu->addAction(QString::fromUtf8("&Проверка связи…"));
    check->setObjectName("ConnectionCheckAction");
    QObject::connect(check, &QAction::triggered, &window,
                     [&window, &port, &exchange, &line, &progress, &messages, &history, setBusy, search] {
                         setBusy(true);
                         ConnectionCheckDialog dialog(&window, port, exchange, line, progress, history);
                         dialog.exec();
                         messages.ResultReported(dialog.Outcome());
                         setBusy(false);
                         if (dialog.SearchWanted())
                             search();
                     });
    QAction* find = menu->addAction(QString::fromUtf8("П&оиск прибора…"));
    find->setObjectName("InstrumentSearchAction");
    QObject::connect(find, &QAction::triggered, &window, search);
    QAction* place = menu->addAction(QString::fromUtf8("&Журнал приборов: где вести…"));
    place->setObjectName("HistoryPlaceAction");
    QObject::connect(place, &QAction::triggered, &window, [&window, &history, setBusy] {
        setBusy(true);
        HistoryPlaceDialog dialog(&window, history);
        dialog.exec();
        setBusy(false);
    });
    return menu;
}

}  // namespace pmv::gui
