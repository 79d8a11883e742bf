#include "options/general_options.h"

#include <algorithm>

namespace kelmor::options {

namespace {
constexpr int Opaque = 255;
}

int sliderValueForOpacity(int menuTransparency)
{
    if (menuTransparency <= 0 || menuTransparency > Opaque)
        return SliderMinimum;
    return std::clamp(Opaque - menuTransparency, SliderMinimum, SliderMaximum);
}

int opacityForSliderValue(int value)
{
    return Opaque - std::clamp(value, SliderMinimum, SliderMaximum);
}

QString transparencyPercentText(int value)
{
    return QString::number(value * 100 / Opaque) + QStringLiteral(" %");
}

GeneralOptions::GeneralOptions(bool toTrayOnClose, bool autorunOn, int menuTransparency)
    : m_trayOnClose(toTrayOnClose)
    , m_sliderValue(sliderValueForOpacity(menuTransparency))
{
    setAutorun(autorunOn);
}

void GeneralOptions::setTrayOnClose(bool on)
{
    if (trayOnCloseEnabled())
        m_trayOnClose = on;
}

void GeneralOptions::setAutorun(bool on)
{
    m_autorun = on;
    if (on)
        m_trayOnClose = true;
}

void GeneralOptions::setSliderValue(int value)
{
    m_sliderValue = std::clamp(value, SliderMinimum, SliderMaximum);
}

} // namespace kelmor::options
