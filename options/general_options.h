#pragma once

// The "Общие" page of the options window apart from its widgets: tray-on-close, autorun and the
// transparency of the tray popup, with the rules that tie them together.

#include <QString>

namespace kelmor::options {

// The transparency slider runs from 0 to 220; value v is the opacity 255 − v, so the most
// transparent popup still has opacity 35.
inline constexpr int SliderMinimum = 0;
inline constexpr int SliderMaximum = 220;

// The slider value for a stored opacity: 0 and 255 (no transparency) give 0; an opacity the
// slider cannot reach gives its nearer end (below 35: the right end; outside 0..255: the left).
int sliderValueForOpacity(int menuTransparency);
// The opacity of a slider value: 255 − v, v kept within the slider's range.
int opacityForSliderValue(int value);
// The percentage shown beside the slider: the whole part of v / 255 × 100, then " %".
QString transparencyPercentText(int value);

class GeneralOptions
{
public:
    // The page as the window opens it: tray-on-close from the setting, autorun from the autorun
    // entry, applying its rule, and the slider for the opacity.
    GeneralOptions(bool toTrayOnClose, bool autorunOn, int menuTransparency);

    // Tray-on-close. While autorun is on it stays checked and cannot be changed.
    bool trayOnClose() const { return m_trayOnClose; }
    bool trayOnCloseEnabled() const { return !m_autorun; }
    void setTrayOnClose(bool on);
    // The small picture beside tray-on-close, shown exactly while it is checked.
    bool trayPictureVisible() const { return m_trayOnClose; }

    // Autorun. Checking it checks tray-on-close and disables it; unchecking enables tray-on-close
    // again, which keeps its state.
    bool autorun() const { return m_autorun; }
    void setAutorun(bool on);

    // The slider and the percentage beside it; the opacity follows the slider at once.
    int sliderValue() const { return m_sliderValue; }
    void setSliderValue(int value);
    QString percentText() const { return transparencyPercentText(m_sliderValue); }
    int menuTransparency() const { return opacityForSliderValue(m_sliderValue); }

private:
    bool m_trayOnClose = false;
    bool m_autorun = false;
    int m_sliderValue = 0;
};

} // namespace kelmor::options
