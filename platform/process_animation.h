#pragma once

#include <QTimer>
#include <QWidget>

namespace kelmor::platform {

// A small busy animation: a ring of dots with one bright dot going round while it plays.
// Windows show it while something long runs (loading the books, computing the calendar).
class ProcessAnimation : public QWidget
{
    Q_OBJECT
public:
    explicit ProcessAnimation(QWidget *parent = nullptr);

    // Starts the animation (from the current frame).
    void ProgressPlay();
    // Stops it at the current frame.
    void ProgressStop();
    // Back to the first frame.
    void ProgressReset();

    bool isPlaying() const { return m_timer.isActive(); }
    int frame() const { return m_frame; }

    QSize sizeHint() const override { return {18, 18}; }

    static constexpr int FrameCount = 8;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTimer m_timer;
    int m_frame = 0;
};

} // namespace kelmor::platform
