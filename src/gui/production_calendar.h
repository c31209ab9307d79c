#pragma once

#include <QDate>
#include <QWidget>

namespace pmv::gui {

// The production date's calendar on "Общие": hidden, it holds the day chosen with the month and
// year lists. A QCalendarWidget would cost the window's start a fifth of its work (its navigation
// icons are looked up in the icon theme) for a widget nobody sees.
class ProductionCalendar final : public QWidget {
    Q_OBJECT
public:
    explicit ProductionCalendar(QWidget* parent) : QWidget(parent) {}

    QDate selectedDate() const { return selected_; }
    void setSelectedDate(QDate date)
    {
        if (!date.isValid() || date == selected_)
            return;
        selected_ = date;
        Q_EMIT selectionChanged();
    }

Q_SIGNALS:
    void selectionChanged();

private:
    QDate selected_ = QDate::currentDate();
};

}  // namespace pmv::gui
