#pragma once

#include "Components/Face/ImageSelector.h"

#include <vector>

// The pictures the plug-in carries, at normal and double resolution: the pedal
// face's, and the editor's menu bar, settings button and menu icons.
namespace Images
{
extern const ImageSelector FSW_Down, FSW_Up;
extern const ImageSelector PL_chassis_Mono, PL_chassis_Mono_In, PL_chassis_Mono_Out;
extern const ImageSelector PL_chassis_Stereo, PL_chassis_Stereo_In, PL_chassis_Stereo_Out;
extern const ImageSelector LED_Green_On, LED_Red_Off, LED_Red_On, LED_USB_Off;
extern const ImageSelector Link_Off, Link_On;
extern const ImageSelector Meter_Amber_Off, Meter_Amber_On, Meter_Green_Off, Meter_Green_On, Meter_Red_Off, Meter_Red_On;
extern const ImageSelector Meter_Wide_Amber_Off, Meter_Wide_Amber_On, Meter_Wide_Green_Off, Meter_Wide_Green_On,
    Meter_Wide_Red_Off, Meter_Wide_Red_On;
extern const ImageSelector Meter_window_Amber, Meter_window_normal, Meter_window_Red;
extern const ImageSelector Mix_knob, Mix_knob_marker;
extern const ImageSelector Slider_cap, Slider_cap_disabled;
extern const ImageSelector Status_Off, Status_On;

extern const ImageSelector Hamburger_button, Hamburger_hover, Menu_check, Menubar_base, Scroll_down, Scroll_up;

struct Entry
{
    const char* name;
    const ImageSelector& selector;
};

// Every entry above, by name.
const std::vector<Entry>& all();
} // namespace Images
