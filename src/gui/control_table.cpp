#include "control_table.h"

#include "channels_page.h"
#include "general_page.h"
#include "production_calendar.h"
#include "relays_page.h"
#include "top_bar.h"
#include "widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTableWidget>

namespace pmv::gui {
namespace {

enum class Step { Name, Put, Take, Find };

// One walk over the table; a Find walk looks for the row of the value at `sought`.
struct Pass {
    Step step;
    const void* sought = nullptr;
    const char* found = nullptr;
};

QString Q(const std::string& s) { return QString::fromStdString(s); }

// How each kind of widget shows and gives back its value.
void Put(QLineEdit* w, const std::string& v) { w->setText(Q(v)); }
void Take(const QLineEdit* w, std::string& v) { v = w->text().toStdString(); }
void Put(QComboBox* w, int v) { w->setCurrentIndex(v); }
void Take(const QComboBox* w, int& v) { v = w->currentIndex(); }
// The editable step lists: their text.
void Put(QComboBox* w, const std::string& v) { w->setEditText(Q(v)); }
void Take(const QComboBox* w, std::string& v) { v = w->currentText().toStdString(); }
void Put(QCheckBox* w, bool v) { w->setChecked(v); }
void Take(const QCheckBox* w, bool& v) { v = w->isChecked(); }
// Shown only.
void Put(QLabel* w, const std::string& v) { w->setText(Q(v)); }
void Take(const QLabel*, std::string&) {}
// A group panel: white while its group is selected.
void Put(QFrame* w, bool white)
{
    widgets::Paint(*w, white ? binding::PanelColour::White : binding::PanelColour::ButtonFace);
}
void Take(const QFrame*, bool&) {}

void Put(ProductionCalendar* w, const binding::CalendarDate& date)
{
    const QSignalBlocker hold(w);
    w->setSelectedDate(QDate(date.year, date.month, date.day));
}
void Take(const ProductionCalendar*, binding::CalendarDate&) {}

using Marks = std::array<std::array<std::string, 10>, 2>;

// The assignment marks: grid rows 1 and 2, columns 1 to 10.
void Put(QTableWidget* grid, const Marks& marks)
{
    for (int row = 1; row < widgets::kGridRows; ++row)
        for (int column = 1; column < widgets::kGridColumns; ++column)
            grid->item(row, column)->setText(Q(marks[row - 1][column - 1]));
}
void Take(const QTableWidget* grid, Marks& marks)
{
    for (int row = 1; row < widgets::kGridRows; ++row)
        for (int column = 1; column < widgets::kGridColumns; ++column)
            marks[row - 1][column - 1] = grid->item(row, column)->text().toStdString();
}

template <class Widget, class Value>
void Bind(Pass& pass, const char* name, Widget* widget, Value& value)
{
    switch (pass.step) {
    case Step::Name: widget->setObjectName(QString::fromUtf8(name)); break;
    case Step::Put: Put(widget, value); break;
    case Step::Take: Take(widget, value); break;
    case Step::Find:
        if (static_cast<const void*>(&value) == pass.sought)
            pass.found = name;
        break;
    }
}

// The one table of the form's names: each field of the control values, the widget that shows
// it, and the widget's objectName. Channel 1 and channel 2 are one row each.
void BindAll(Pass& pass, const BoundWidgets& w, binding::ControlValues& v)
{
    if (TopBar* top = w.top) {
        Bind(pass, "Label2", top->portNumber, v.top.portNumber);
        Bind(pass, "ComboBox17", top->port, v.top.port);
        Bind(pass, "CheckBox1", top->channel1Box, v.top.groupBoxes.channel1);
        Bind(pass, "CheckBox2", top->channel2Box, v.top.groupBoxes.channel2);
        Bind(pass, "CheckBox3", top->relaysBox, v.top.groupBoxes.relays);
        Bind(pass, "CheckBox10", top->generalBox, v.top.groupBoxes.general);
    }
    if (w.channels[0]) {
        Bind<QFrame>(pass, "Panel1", w.channels[0], v.top.groupPanels.channel1);
        Bind<QFrame>(pass, "Panel2", w.channels[1], v.top.groupPanels.channel2);
    }
    if (w.relays)
        Bind(pass, "Panel77", w.relays->panel, v.top.groupPanels.relays);
    if (w.general)
        Bind(pass, "Panel71", w.general->panel, v.top.groupPanels.general);

    for (size_t ch = 0; ch < 2; ++ch) {
        binding::ChannelControls& c = v.channels[ch];
        const auto name = [ch](const char* first, const char* second) { return ch == 0 ? first : second; };
        if (w.channels[ch]) {
            ChannelPanel& p = *w.channels[ch];
            Bind(pass, name("Edit1", "Edit13"), p.rangeMax, c.rangeMax);
            Bind(pass, name("Edit2", "Edit14"), p.rangeMin, c.rangeMin);
            Bind(pass, name("Edit3", "Edit15"), p.shift, c.shift);
            Bind(pass, name("Edit4", "Edit16"), p.rangeAdjust, c.rangeAdjust);
            Bind(pass, name("Edit5", "Edit17"), p.setpoint1, c.setpoint1);
            Bind(pass, name("Edit6", "Edit18"), p.hysteresis1, c.hysteresis1);
            Bind(pass, name("Edit7", "Edit19"), p.setpoint2, c.setpoint2);
            Bind(pass, name("Edit8", "Edit20"), p.hysteresis2, c.hysteresis2);
            Bind(pass, name("Edit9", "Edit21"), p.polynomial[0], c.polynomial[0]);
            Bind(pass, name("Edit10", "Edit22"), p.polynomial[1], c.polynomial[1]);
            Bind(pass, name("Edit11", "Edit23"), p.polynomial[2], c.polynomial[2]);
            Bind(pass, name("Edit12", "Edit24"), p.polynomial[3], c.polynomial[3]);
            Bind(pass, name("ComboBox21", "ComboBox23"), p.setpointStep, c.setpointStep);
            Bind(pass, name("ComboBox22", "ComboBox24"), p.hysteresisStep, c.hysteresisStep);
            Bind(pass, name("ComboBox1", "ComboBox7"), p.sensorType, c.sensorType);
            Bind(pass, name("ComboBox2", "ComboBox8"), p.setpoint1Type, c.setpoint1Type);
            Bind(pass, name("ComboBox3", "ComboBox9"), p.setpoint2Type, c.setpoint2Type);
            Bind(pass, name("ComboBox4", "ComboBox10"), p.averaging, c.averaging);
            Bind(pass, name("ComboBox5", "ComboBox11"), p.decimals, c.decimals);
            Bind(pass, name("ComboBox6", "ComboBox12"), p.observations, c.observations);
            Bind(pass, name("CheckBox4", "CheckBox6"), p.squareRoot, c.squareRoot);
            Bind(pass, name("CheckBox5", "CheckBox7"), p.exclude, c.exclude);
        }
        if (w.relays)
            Bind(pass, name("ComboBox13", "ComboBox14"), w.relays->relayLogic[ch], c.relayLogic);
    }

    if (RelaysPage* r = w.relays) {
        Bind(pass, "ComboBox15", r->decisionInterval, v.relays.decisionInterval);
        Bind(pass, "ComboBox16", r->pulseLength, v.relays.pulseLength);
        Bind(pass, "StringGrid1", r->grid, v.relays.grid);
        if (pass.step == Step::Name)
            r->headings->setObjectName("StringGrid2");
    }

    if (GeneralPage* g = w.general) {
        Bind(pass, "Panel78", g->firmwareVersion, v.general.firmwareVersion);
        Bind(pass, "ComboBox19", g->deviceType, v.general.deviceType);
        Bind(pass, "ComboBox20", g->errorDisplay, v.general.errorDisplay);
        Bind(pass, "ComboBox27", g->typeCode, v.general.typeCode);
        Bind(pass, "Edit53", g->serialNumber, v.general.serialNumber);
        Bind(pass, "Panel79", g->productionDate, v.general.productionDate);
        Bind(pass, "ComboBox25", g->productionMonth, v.general.productionMonth);
        Bind(pass, "ComboBox26", g->productionYear, v.general.productionYear);
        Bind(pass, "bcCalendar1", g->calendar, v.general.calendar);
    }
}

// The setpoints head both relay grids: their types in the assignment grid, their values in
// the heading grid.
void PutSetpointHeadings(const binding::ControlValues& v, const RelaysPage& relays)
{
    for (int ch = 0; ch < 2; ++ch)
        for (int s = 0; s < 2; ++s) {
            const binding::ChannelControls& c = v.channels[static_cast<size_t>(ch)];
            relays.grid->item(0, binding::SetpointGridColumn(ch, s))
                ->setText(Q(c.setpointTypeHeading[static_cast<size_t>(s)]));
            relays.headings->item(1, binding::SetpointGridColumn(ch, s))
                ->setText(Q(c.setpointValueHeading[static_cast<size_t>(s)]));
        }
}

}  // namespace

void NameBoundWidgets(const BoundWidgets& widgets)
{
    binding::ControlValues unused;
    Pass pass{Step::Name};
    BindAll(pass, widgets, unused);
}

void PutControls(const binding::ControlValues& values, const BoundWidgets& widgets)
{
    binding::ControlValues copy = values;
    Pass pass{Step::Put};
    BindAll(pass, widgets, copy);
    if (widgets.relays)
        PutSetpointHeadings(values, *widgets.relays);
}

void TakeControls(const BoundWidgets& widgets, binding::ControlValues& values)
{
    Pass pass{Step::Take};
    BindAll(pass, widgets, values);
}

const char* BoundObjectName(const BoundWidgets& widgets, const binding::ControlValues& values, const void* field)
{
    Pass pass{Step::Find, field};
    // A Find walk only compares addresses; it changes neither the values nor the widgets.
    BindAll(pass, widgets, const_cast<binding::ControlValues&>(values));
    return pass.found;
}

}  // namespace pmv::gui
