#include "Components/Images.h"

#include <BinaryData.h>

#define PELLION_IMAGES(X)                                                                                    \
    X (FSW_Down, png) X (FSW_Up, png)                                                                        \
    X (PL_chassis_Mono, jpg) X (PL_chassis_Mono_In, jpg) X (PL_chassis_Mono_Out, jpg)                         \
    X (PL_chassis_Stereo, jpg) X (PL_chassis_Stereo_In, jpg) X (PL_chassis_Stereo_Out, jpg)                   \
    X (LED_Green_On, png) X (LED_Red_Off, png) X (LED_Red_On, png) X (LED_USB_Off, png)                      \
    X (Link_Off, png) X (Link_On, png)                                                                       \
    X (Meter_Amber_Off, png) X (Meter_Amber_On, png) X (Meter_Green_Off, png) X (Meter_Green_On, png)        \
    X (Meter_Red_Off, png) X (Meter_Red_On, png)                                                             \
    X (Meter_Wide_Amber_Off, png) X (Meter_Wide_Amber_On, png) X (Meter_Wide_Green_Off, png)                 \
    X (Meter_Wide_Green_On, png) X (Meter_Wide_Red_Off, png) X (Meter_Wide_Red_On, png)                      \
    X (Meter_window_Amber, png) X (Meter_window_normal, png) X (Meter_window_Red, png)                       \
    X (Mix_knob, png) X (Mix_knob_marker, png) X (Slider_cap, png) X (Slider_cap_disabled, png)              \
    X (Status_Off, png) X (Status_On, png)                                                                   \
    X (Hamburger_button, png) X (Hamburger_hover, png) X (Menu_check, png) X (Menubar_base, png)             \
    X (Scroll_down, png) X (Scroll_up, png)

namespace Images
{
#define PELLION_DEFINE_IMAGE(name, type) \
    const ImageSelector name { BinaryData::name##_##type, BinaryData::name##_##type##Size, BinaryData::name##2x_##type, BinaryData::name##2x_##type##Size };

PELLION_IMAGES (PELLION_DEFINE_IMAGE)

const std::vector<Entry>& all()
{
#define PELLION_LIST_IMAGE(name, type) Entry { #name, name },
    static const std::vector<Entry> entries { PELLION_IMAGES (PELLION_LIST_IMAGE) };
    return entries;
}
} // namespace Images
