#pragma once

#include "binding/control_values.h"
#include "gui/channels_page.h"
#include "gui/control_table.h"
#include "gui/general_page.h"
#include "gui/relays_page.h"
#include "gui/top_bar.h"

#include <QString>
#include <QWidget>

#include <type_traits>

namespace pmv::test {

// The controls that show no control value, by what they do. FormName gives the form's name
// each keeps as its objectName.
enum class Button {
    ReadAll,
    ReadSelected,
    WriteAll,
    WriteSelected,
    StartLiveValues,  // hidden
    Report,           // hidden
    ReadAndReport,    // hidden
    PassportPage,
    ReadSerial,
    WriteSerial,
    Today,
};

enum class MenuItem {
    OpenProfile,
    SaveProfile,
    Ch1CalibrateKu10,
    Ch1CalibrateKu100,
    Ch2CalibrateKu100,
    OutputTestMode,
    NextOutput,
    OutputWalk,  // start and stop the walk over the outputs
    ToggleControlByte,
    Registers,
    Restart,
    FactoryReset,
};

enum class Part {
    Progress,
    Description,
    PortHeading,
    ChannelsHeading,
    DescriptionHeading,
    SetpointHeadings,  // the grid of setpoint values over the relay assignment grid
};

inline const char* FormName(Button button)
{
    switch (button) {
    case Button::ReadAll: return "Button1";
    case Button::ReadSelected: return "Button2";
    case Button::WriteAll: return "Button3";
    case Button::WriteSelected: return "Button4";
    case Button::StartLiveValues: return "Button5";
    case Button::Report: return "Button40";
    case Button::ReadAndReport: return "Button41";
    case Button::PassportPage: return "Button42";
    case Button::ReadSerial: return "Button44";
    case Button::WriteSerial: return "Button45";
    case Button::Today: return "Button46";
    }
    return "";
}

inline const char* FormName(MenuItem item)
{
    switch (item) {
    case MenuItem::OpenProfile: return "N2";
    case MenuItem::SaveProfile: return "N3";
    case MenuItem::Ch1CalibrateKu10: return "Button7";
    case MenuItem::Ch1CalibrateKu100: return "Button8";
    case MenuItem::Ch2CalibrateKu100: return "Button15";
    case MenuItem::OutputTestMode: return "Button20";
    case MenuItem::NextOutput: return "Button36";
    case MenuItem::OutputWalk: return "Button37";
    case MenuItem::ToggleControlByte: return "Button39";
    case MenuItem::Registers: return "Button21";
    case MenuItem::Restart: return "Button29";
    case MenuItem::FactoryReset: return "Button30";
    }
    return "";
}

inline const char* FormName(Part part)
{
    switch (part) {
    case Part::Progress: return "Panel76";
    case Part::Description: return "RichEdit1";
    case Part::PortHeading: return "Label1";
    case Part::ChannelsHeading: return "Label3";
    case Part::DescriptionHeading: return "Label5";
    case Part::SetpointHeadings: return "StringGrid2";
    }
    return "";
}

// A widget that shows a control value is named by the value's field in this object, as
// binding/control_values.h names it: `controls.channels[0].setpoint1` stands for the line edit
// of setpoint 1 of channel 1. The window's table of controls gives its form's name.
inline const binding::ControlValues controls{};

// A field of `controls`. A string literal is a form's name, never a field.
class Bound {
public:
    template <class Value>
    Bound(const Value& field) : field_(&field)
    {
        static_assert(!std::is_array_v<Value>, "a form's name, not a field of the control values");
    }

    // The form's name of the widget of `window` that shows the field; empty if none does.
    QString FormName(const QWidget& window) const
    {
        gui::TopBar* top = nullptr;
        gui::ChannelsPage* channels = nullptr;
        gui::RelaysPage* relays = nullptr;
        gui::GeneralPage* general = nullptr;
        for (QWidget* w : window.findChildren<QWidget*>()) {
            top = top ? top : dynamic_cast<gui::TopBar*>(w);
            channels = channels ? channels : dynamic_cast<gui::ChannelsPage*>(w);
            relays = relays ? relays : dynamic_cast<gui::RelaysPage*>(w);
            general = general ? general : dynamic_cast<gui::GeneralPage*>(w);
        }
        if (!top || !channels)
            return {};
        return QString::fromUtf8(gui::BoundObjectName({top, channels->channels, relays, general}, controls, field_));
    }

private:
    const void* field_;
};

}  // namespace pmv::test
