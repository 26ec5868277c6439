#include "waveform_overlay.h"

#include "ui/waveform_view.h"
#include "ui/waveform_window.h"

#include <QVBoxLayout>

WaveformOverlay::WaveformOverlay(std::function<std::optional<float>()> averagePowerDb, QObject* parent)
    : QObject(parent)
    , m_averagePowerDb(std::move(averagePowerDb))
    , m_window(std::make_unique<WaveformWindow>())
    , m_view(new WaveformView(m_window.get()))
{
    auto* layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    m_levelTimer.setInterval(50);
    m_levelTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_levelTimer, &QTimer::timeout, this, &WaveformOverlay::updateWaveform);
}

WaveformOverlay::~WaveformOverlay() = default;

void WaveformOverlay::showWaveformWindow()
{
    m_view->reset();
    m_window->show();
    m_window->raise();
    m_levelTimer.start();
}

void WaveformOverlay::hideWaveformWindow()
{
    m_levelTimer.stop();
    m_window->hide();
}

void WaveformOverlay::updateWaveform()
{
    if (!m_averagePowerDb)
        return;
    const std::optional<float> power = m_averagePowerDb();
    if (!power)
        return;
    m_view->updateLevel(levelForPower(*power));
}

float WaveformOverlay::levelForPower(float decibels)
{
    const float level = (decibels + 50.0f) / 50.0f;
    return level >= 0.0f ? level : 0.0f;
}
